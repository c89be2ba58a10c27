#pragma once

#include <QIcon>
#include <QTreeWidgetItem>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "themes/ThemeList.h"

class QTreeWidget;

namespace velluma {

class ThemeRows;

/// One row of lvAdvanc: the row as the package operations gave it, and its display.
class ThemeItem final : public QTreeWidgetItem {
public:
    ThemeItem(const ThemeRows& owner, const ThemeRow& row);

    const ThemeRow& row() const { return m_row; }
    /// Replaces what the row shows.
    void setRow(const ThemeRow& row);
    /// The ascending order of the sort column (lvAdvancCompare); Qt reverses it for a
    /// descending sort.
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    friend class ThemeRows;
    const ThemeRows& m_owner;
    ThemeRow m_row;
    std::int64_t m_dateKey = 0;  // DateOrderKey of the date, set before a date sort
};

/// The rows of the theme library on its list view: the ThemeList the package operations
/// and the rotation work with.
class ThemeRows final : public ThemeList {
public:
    /// The images of iladvLV: 0..4 the theme styles, 5 a theme this machine cannot show,
    /// 6 and 7 the ascending and descending header marks, 8 the neutral header mark.
    static constexpr int kImageCount = 11;

    explicit ThemeRows(QTreeWidget* view);
    ~ThemeRows() override;
    ThemeRows(const ThemeRows&) = delete;
    ThemeRows& operator=(const ThemeRows&) = delete;

    int rowCount() const override;
    ThemeRow row(int index) const override;
    int addRow(const ThemeRow& row) override;
    void clear() override;
    bool hasSelection() const override;
    void selectRow(int index) override;
    void beginUpdate() override;
    void endUpdate() override;

    /// Whether a bracket of bulk changes is open.
    bool updating() const { return m_updateDepth > 0; }
    ThemeItem* item(int index) const;
    /// Replaces the row at index.
    void setRow(int index, const ThemeRow& row);
    /// Deletes the row at index.
    void removeRow(int index);
    /// The first row whose path equals path, or -1.
    int findRow(const std::string& path) const;
    /// The selected rows' indexes, in row order.
    std::vector<int> selectedRows() const;
    /// The first selected row, or -1.
    int firstSelected() const;

    /// lvAdvancCompare for column 0 (captions), 1 (dates, CompareDates) or 2 (paths):
    /// negative when a goes before b in ascending order. Dates never compare equal.
    static int compare(int column, const ThemeRow& a, const ThemeRow& b);
    /// Sorts every row by column, ascending or descending; selection and focus stay with
    /// their rows. Two rows of the same date keep no defined order.
    void sort(int column, bool descending);

    /// Image index of iladvLV (0 .. kImageCount - 1); any other index has no image.
    QIcon image(int index) const;

private:
    friend class ThemeItem;
    /// Puts the rows added inside the bracket into the view.
    void flush() const;

    QTreeWidget* m_view;
    // Rows added inside a bracket reach the view in one insertion when it is needed: one
    // insertion per row would have the view schedule a layout for each.
    mutable QList<QTreeWidgetItem*> m_pending;
    std::array<QIcon, kImageCount> m_images;
    int m_updateDepth = 0;
    int m_sortColumn = 0;
};

/// The rows a folder search adds: every row stays (emptying the list does nothing), and a
/// package that already has a row gets that row back, refreshed, instead of a second one.
class MergingThemeList final : public ThemeList {
public:
    explicit MergingThemeList(ThemeRows& rows) : m_rows(rows) {}

    int rowCount() const override { return m_rows.rowCount(); }
    ThemeRow row(int index) const override { return m_rows.row(index); }
    int addRow(const ThemeRow& row) override;
    void clear() override {}
    bool hasSelection() const override { return m_rows.hasSelection(); }
    void selectRow(int index) override { m_rows.selectRow(index); }
    void beginUpdate() override { m_rows.beginUpdate(); }
    void endUpdate() override { m_rows.endUpdate(); }

private:
    ThemeRows& m_rows;
};

}  // namespace velluma
