#pragma once

#include <vector>

#include "imagelists/ListLibrary.h"

namespace velluma {

/// List rows kept in memory: for tests, benchmarks and anything without a view.
class MemoryListLibrary final : public ListLibrary {
public:
    int rowCount() const override { return static_cast<int>(m_rows.size()); }
    ListRow row(int index) const override;
    int addRow(const ListRow& row) override;
    void setRow(int index, const ListRow& row) override;
    void removeRow(int index) override;
    void clear() override;
    bool isSelected(int index) const override;
    void selectRow(int index) override;
    void beginUpdate() override;
    void endUpdate() override;

    /// Drops the selection of the row at index.
    void unselectRow(int index);
    /// The focused row, or -1.
    int focusedRow() const { return m_focused; }
    /// How many brackets are open now (negative when more were closed than opened).
    int updateDepth() const { return m_updateDepth; }
    /// How many brackets were opened in all.
    int updatesOpened() const { return m_updatesOpened; }
    /// All rows, in order.
    std::vector<ListRow> rows() const;

private:
    struct Entry {
        ListRow row;
        bool selected = false;
    };
    std::vector<Entry> m_rows;
    int m_focused = -1;
    int m_updateDepth = 0;
    int m_updatesOpened = 0;
};

}  // namespace velluma
