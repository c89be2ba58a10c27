#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velluma {

/// The image index every list row shows.
inline constexpr int kListImageIndex = 8;

/// One row of the list library.
struct ListRow {
    std::string caption;  // the list's file name with its extension
    std::string count;    // the number of entries, as decimal text
    std::string path;     // full path of the list file: the row's identity
    bool operator==(const ListRow&) const = default;
};

/// The rows of the list library as the list operations see them. The image-list page
/// implements it on its list view; MemoryListLibrary keeps the rows in memory.
class ListLibrary {
public:
    virtual ~ListLibrary() = default;

    virtual int rowCount() const = 0;
    /// The row at index (0 <= index < rowCount()).
    virtual ListRow row(int index) const = 0;
    /// Appends a row and returns its index.
    virtual int addRow(const ListRow& row) = 0;
    /// Replaces the texts of the row at index.
    virtual void setRow(int index, const ListRow& row) = 0;
    /// Removes the row at index; the rows after it move up by one.
    virtual void removeRow(int index) = 0;
    /// Removes every row.
    virtual void clear() = 0;
    virtual bool isSelected(int index) const = 0;
    /// Selects and focuses the row at index; other selected rows stay selected.
    virtual void selectRow(int index) = 0;
    /// Opens a bracket of bulk changes (no repaint, no sort until the outermost one closes;
    /// a sorted view sorts again then).
    virtual void beginUpdate() = 0;
    /// Closes the innermost bracket.
    virtual void endUpdate() = 0;

    /// True when at least one row is selected.
    bool hasSelection() const { return firstSelected() >= 0; }
    /// The first selected row, or -1.
    int firstSelected() const;
    /// The selected rows, in row order.
    std::vector<int> selectedRows() const;
    /// Indexes of the rows whose path equals path (case-sensitive), in row order.
    std::vector<int> findRows(std::string_view path) const;
};

/// Holds a bracket of bulk changes open for its lifetime, also when an error passes.
class ListLibraryUpdate final {
public:
    explicit ListLibraryUpdate(ListLibrary& list) : m_list(list) { m_list.beginUpdate(); }
    ~ListLibraryUpdate() { m_list.endUpdate(); }
    ListLibraryUpdate(const ListLibraryUpdate&) = delete;
    ListLibraryUpdate& operator=(const ListLibraryUpdate&) = delete;

private:
    ListLibrary& m_list;
};

}  // namespace velluma
