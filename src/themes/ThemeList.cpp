#include "themes/ThemeList.h"

namespace velluma {

std::vector<int> ThemeList::findRows(std::string_view path) const {
    std::vector<int> found;
    const int count = rowCount();
    for (int i = 0; i < count; ++i)
        if (row(i).path == path) found.push_back(i);
    return found;
}

}  // namespace velluma
