#include "themes/MemoryThemeList.h"

#include <algorithm>

namespace velluma {

ThemeRow MemoryThemeList::row(int index) const {
    return m_rows.at(static_cast<std::size_t>(index)).row;
}

int MemoryThemeList::addRow(const ThemeRow& row) {
    m_rows.push_back({row, false});
    return static_cast<int>(m_rows.size()) - 1;
}

void MemoryThemeList::clear() {
    m_rows.clear();
    m_focused = -1;
}

bool MemoryThemeList::hasSelection() const {
    return std::any_of(m_rows.begin(), m_rows.end(), [](const Entry& e) { return e.selected; });
}

void MemoryThemeList::selectRow(int index) {
    m_rows.at(static_cast<std::size_t>(index)).selected = true;
    m_focused = index;
}

bool MemoryThemeList::isSelected(int index) const {
    return m_rows.at(static_cast<std::size_t>(index)).selected;
}

void MemoryThemeList::beginUpdate() {
    ++m_updateDepth;
    ++m_updatesOpened;
}

void MemoryThemeList::endUpdate() {
    --m_updateDepth;  // a negative depth shows an unbalanced bracket to the tests
}

}  // namespace velluma
