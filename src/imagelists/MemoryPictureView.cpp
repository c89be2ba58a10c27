#include "imagelists/MemoryPictureView.h"

#include <stdexcept>

namespace velluma {

PictureRow MemoryPictureView::row(int index) const {
    return m_rows.at(static_cast<std::size_t>(index));
}

void MemoryPictureView::setRows(std::vector<PictureRow> rows) {
    m_rows = std::move(rows);
    m_selected = -1;
}

void MemoryPictureView::clear() {
    m_rows.clear();
    m_selected = -1;
}

void MemoryPictureView::selectRow(int index) {
    if (index < 0 || index >= rowCount()) throw std::out_of_range("no such picture row");
    m_selected = index;
}

void MemoryPictureView::beginUpdate() {
    ++m_updateDepth;
    ++m_updatesOpened;
}

void MemoryPictureView::endUpdate() {
    --m_updateDepth;
}

}  // namespace velluma
