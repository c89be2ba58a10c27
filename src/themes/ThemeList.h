#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velluma {

/// One row of the theme library.
struct ThemeRow {
    std::string caption;  // the theme's name
    std::string date;     // the package's last-write date as text, or "?"
    std::string path;     // full path of the package: the row's identity
    int imageIndex = 0;   // the style icon; 5 when a component is missing
    bool operator==(const ThemeRow&) const = default;
};

/// The rows of the theme library as the package operations see them. The library page
/// implements it on its list view; MemoryThemeList keeps the rows in memory.
class ThemeList {
public:
    virtual ~ThemeList() = default;

    virtual int rowCount() const = 0;
    /// The row at index (0 <= index < rowCount()).
    virtual ThemeRow row(int index) const = 0;
    /// Appends a row and returns its index.
    virtual int addRow(const ThemeRow& row) = 0;
    /// Removes every row.
    virtual void clear() = 0;
    /// True when at least one row is selected.
    virtual bool hasSelection() const = 0;
    /// Selects and focuses the row at index; other selected rows stay selected.
    virtual void selectRow(int index) = 0;
    /// Opens a bracket of bulk changes (no repaint, no sort until the outermost one closes).
    virtual void beginUpdate() = 0;
    /// Closes the innermost bracket.
    virtual void endUpdate() = 0;

    /// Indexes of the rows whose path equals path (case-sensitive), in row order.
    std::vector<int> findRows(std::string_view path) const;
};

/// Holds a bracket of bulk changes open for its lifetime, also when an error passes.
class ThemeListUpdate final {
public:
    explicit ThemeListUpdate(ThemeList& list) : m_list(list) { m_list.beginUpdate(); }
    ~ThemeListUpdate() { m_list.endUpdate(); }
    ThemeListUpdate(const ThemeListUpdate&) = delete;
    ThemeListUpdate& operator=(const ThemeListUpdate&) = delete;

private:
    ThemeList& m_list;
};

}  // namespace velluma
