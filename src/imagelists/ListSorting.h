#pragma once

#include <array>

namespace velluma {

struct ListRow;

/// Header images of the list library's columns.
inline constexpr int kSortAscendingImage = 6;
inline constexpr int kSortDescendingImage = 7;
inline constexpr int kNoSortImage = -1;

/// Compares two list rows for the list library's sort: column 0 by caption, 2 by stored
/// path (case-sensitive, by character code), 1 by count (CompareCounts, numeric: 9, 10,
/// 100); negated when descending. Unlike CompareCounts, equal counts compare 0, so the
/// result orders consistently (a sort given "less" = "< 0" needs that).
int CompareListRows(const ListRow& a, const ListRow& b, int column, bool descending);

/// The sort state of the list library's header: the sort column, each column's header
/// image and its one-shot flag (keep the image start-up has just set).
class ListSortState final {
public:
    static constexpr int kColumns = 3;

    /// The state start-up restores from lvIListsSortType (column = type / 2, descending
    /// when odd); a type outside 0..5 counts as 0.
    static ListSortState fromSortType(int sortType);

    /// A click on a column header: every other column loses its image; the clicked one
    /// turns descending when it was ascending, ascending otherwise (or keeps the image
    /// start-up set once). Returns the new lvIListsSortType.
    int columnClick(int column);

    int sortColumn() const { return m_column; }
    bool descending() const { return headerImage(m_column) == kSortDescendingImage; }
    int headerImage(int column) const;
    /// sort column x 2 + (header image - 6)
    int sortType() const;

private:
    int m_column = 0;
    std::array<int, kColumns> m_images{kNoSortImage, kNoSortImage, kNoSortImage};
    std::array<bool, kColumns> m_keepOnce{};
};

}  // namespace velluma
