#include "imagelists/MemoryListLibrary.h"

#include <stdexcept>

namespace velluma {

ListRow MemoryListLibrary::row(int index) const {
    return m_rows.at(static_cast<std::size_t>(index)).row;
}

int MemoryListLibrary::addRow(const ListRow& row) {
    m_rows.push_back({row, false});
    return static_cast<int>(m_rows.size()) - 1;
}

void MemoryListLibrary::setRow(int index, const ListRow& row) {
    m_rows.at(static_cast<std::size_t>(index)).row = row;
}

void MemoryListLibrary::removeRow(int index) {
    if (index < 0 || index >= rowCount()) throw std::out_of_range("no such list row");
    m_rows.erase(m_rows.begin() + index);
    if (m_focused == index)
        m_focused = -1;
    else if (m_focused > index)
        --m_focused;
}

void MemoryListLibrary::clear() {
    m_rows.clear();
    m_focused = -1;
}

bool MemoryListLibrary::isSelected(int index) const {
    return m_rows.at(static_cast<std::size_t>(index)).selected;
}

void MemoryListLibrary::selectRow(int index) {
    m_rows.at(static_cast<std::size_t>(index)).selected = true;
    m_focused = index;
}

void MemoryListLibrary::unselectRow(int index) {
    m_rows.at(static_cast<std::size_t>(index)).selected = false;
}

void MemoryListLibrary::beginUpdate() {
    ++m_updateDepth;
    ++m_updatesOpened;
}

void MemoryListLibrary::endUpdate() {
    --m_updateDepth;  // a negative depth shows an unbalanced bracket to the tests
}

std::vector<ListRow> MemoryListLibrary::rows() const {
    std::vector<ListRow> all;
    all.reserve(m_rows.size());
    for (const Entry& e : m_rows) all.push_back(e.row);
    return all;
}

}  // namespace velluma
