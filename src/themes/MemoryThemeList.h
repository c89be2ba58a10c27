#pragma once

#include <vector>

#include "themes/ThemeList.h"

namespace velluma {

/// Theme rows kept in memory: for tests, benchmarks and anything without a view.
class MemoryThemeList final : public ThemeList {
public:
    int rowCount() const override { return static_cast<int>(m_rows.size()); }
    ThemeRow row(int index) const override;
    int addRow(const ThemeRow& row) override;
    void clear() override;
    bool hasSelection() const override;
    void selectRow(int index) override;
    void beginUpdate() override;
    void endUpdate() override;

    bool isSelected(int index) const;
    /// The focused row, or -1.
    int focusedRow() const { return m_focused; }
    /// How many brackets are open now (negative when more were closed than opened).
    int updateDepth() const { return m_updateDepth; }
    /// How many brackets were opened in all.
    int updatesOpened() const { return m_updatesOpened; }

private:
    struct Entry {
        ThemeRow row;
        bool selected = false;
    };
    std::vector<Entry> m_rows;
    int m_focused = -1;
    int m_updateDepth = 0;
    int m_updatesOpened = 0;
};

}  // namespace velluma
