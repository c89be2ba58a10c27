#pragma once

#include <vector>

#include "imagelists/PictureView.h"

namespace velluma {

/// Picture rows kept in memory: for tests, benchmarks and anything without a view.
class MemoryPictureView final : public PictureView {
public:
    int rowCount() const override { return static_cast<int>(m_rows.size()); }
    PictureRow row(int index) const override;
    void setRows(std::vector<PictureRow> rows) override;
    void clear() override;
    int selectedRow() const override { return m_selected; }
    void selectRow(int index) override;
    void beginUpdate() override;
    void endUpdate() override;

    const std::vector<PictureRow>& rows() const { return m_rows; }
    /// How many brackets are open now (negative when more were closed than opened).
    int updateDepth() const { return m_updateDepth; }
    /// How many brackets were opened in all.
    int updatesOpened() const { return m_updatesOpened; }

private:
    std::vector<PictureRow> m_rows;
    int m_selected = -1;
    int m_updateDepth = 0;
    int m_updatesOpened = 0;
};

}  // namespace velluma
