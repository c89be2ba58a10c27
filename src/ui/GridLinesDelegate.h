#pragma once

#include <QStyledItemDelegate>

namespace velluma {

/// The list views' grid lines: a light line under and right of every cell.
class GridLinesDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace velluma
