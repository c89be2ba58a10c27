#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QTreeView>
#include <string>
#include <vector>

#include "imagelists/PictureView.h"
#include "ui/GridLinesDelegate.h"

class QMimeData;

namespace velluma {

class MessageBoxes;
class PageHost;
class PicturesPanel;

/// The rows of lvILFiles, all replaced in one reset so that a long list fills at once.
class PictureRowsModel final : public QAbstractTableModel {
public:
    explicit PictureRowsModel(QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const PictureRow& row(int index) const { return m_rows.at(static_cast<std::size_t>(index)); }
    void setRows(std::vector<PictureRow> rows);
    void setHeaders(const QString& first, const QString& second);
    /// The row at from goes before the row at to (to == rowCount(): the end). Returns where
    /// it is now.
    int moveRowBefore(int from, int to);

private:
    std::vector<PictureRow> m_rows;
    QString m_headers[2];
    QIcon m_jpegImage;
    QIcon m_bitmapImage;
    QIcon m_blankImage;
};

/// Grid lines, and the caption under the mouse underlined.
class PictureDelegate final : public GridLinesDelegate {
public:
    using GridLinesDelegate::GridLinesDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

/// lvILFiles: keys, clicks, focus and drops go to the panel's handlers.
class PictureListView final : public QTreeView {
public:
    PictureListView(PageHost& host, PicturesPanel& panel, QWidget* parent);

    /// Marks a drag as one of our own rows.
    QByteArray dragToken(int row) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// The dragged row when the drag is one of ours, else -1.
    int ownRow(const QMimeData* data) const;
    void acceptDrag(QDragMoveEvent* event);

    PageHost& m_host;
    MessageBoxes& m_boxes;
    PicturesPanel& m_panel;
};

}  // namespace velluma
