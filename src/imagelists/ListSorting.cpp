#include "imagelists/ListSorting.h"

#include <stdexcept>

#include "imagelists/ListLibrary.h"
#include "imagelists/ListOperations.h"

namespace velluma {

int CompareListRows(const ListRow& a, const ListRow& b, int column, bool descending) {
    int result = 0;
    if (column == 1) {
        result = CompareCounts(a.count, b.count) < 0   ? -1
                 : CompareCounts(b.count, a.count) < 0 ? 1
                                                       : 0;
    } else {
        const int c = column == 2 ? a.path.compare(b.path) : a.caption.compare(b.caption);
        result = (c > 0) - (c < 0);
    }
    return descending ? -result : result;
}

ListSortState ListSortState::fromSortType(int sortType) {
    if (sortType < 0 || sortType > 5) sortType = 0;
    ListSortState state;
    const int column = sortType / 2;
    state.m_images[static_cast<std::size_t>(column)] = kSortAscendingImage + sortType % 2;
    state.m_keepOnce[static_cast<std::size_t>(column)] = true;
    state.columnClick(column);
    return state;
}

int ListSortState::columnClick(int column) {
    if (column < 0 || column >= kColumns) throw std::out_of_range("no such list column");
    const auto c = static_cast<std::size_t>(column);
    const int previous = m_images[c];
    for (std::size_t i = 0; i < m_images.size(); ++i)
        if (!m_keepOnce[i]) m_images[i] = kNoSortImage;
    if (!m_keepOnce[c])
        m_images[c] = previous == kSortAscendingImage ? kSortDescendingImage : kSortAscendingImage;
    m_keepOnce[c] = false;
    m_column = column;
    return sortType();
}

int ListSortState::headerImage(int column) const {
    return m_images.at(static_cast<std::size_t>(column));
}

int ListSortState::sortType() const {
    return m_column * 2 + (headerImage(m_column) - kSortAscendingImage);
}

}  // namespace velluma
