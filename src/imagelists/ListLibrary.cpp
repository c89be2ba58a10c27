#include "imagelists/ListLibrary.h"

namespace velluma {

int ListLibrary::firstSelected() const {
    const int count = rowCount();
    for (int i = 0; i < count; ++i)
        if (isSelected(i)) return i;
    return -1;
}

std::vector<int> ListLibrary::selectedRows() const {
    std::vector<int> rows;
    const int count = rowCount();
    for (int i = 0; i < count; ++i)
        if (isSelected(i)) rows.push_back(i);
    return rows;
}

std::vector<int> ListLibrary::findRows(std::string_view path) const {
    std::vector<int> found;
    const int count = rowCount();
    for (int i = 0; i < count; ++i)
        if (row(i).path == path) found.push_back(i);
    return found;
}

}  // namespace velluma
