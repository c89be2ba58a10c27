#include "ui/PictureListView.h"

#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QPixmap>
#include <QUrl>

#include "platform/Platform.h"
#include "ui/ErrorReport.h"
#include "ui/Icons.h"
#include "ui/PageHost.h"
#include "ui/PicturesPanel.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

const char* const kRowMime = "application/x-velluma-picture-row";

}  // namespace

// --- The rows --------------------------------------------------------------------------

PictureRowsModel::PictureRowsModel(QObject* parent)
    : QAbstractTableModel(parent),
      m_jpegImage(listImage(kJpegImageIndex)),
      m_bitmapImage(listImage(kBitmapImageIndex)) {
    // Rows without an image keep their captions in line with the others.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    m_blankImage = QIcon(blank);
}

int PictureRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PictureRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant PictureRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const PictureRow& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return decodedFileName(index.column() == 0 ? row.caption : row.sizeText);
        case Qt::ToolTipRole:
            return index.column() == 0 ? decodedFileName(row.caption) : QVariant();
        case Qt::DecorationRole:
            if (index.column() != 0) return {};
            if (row.imageIndex == kJpegImageIndex) return m_jpegImage;
            if (row.imageIndex == kBitmapImageIndex) return m_bitmapImage;
            return m_blankImage;
        default:
            return {};
    }
}

QVariant PictureRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1)
        return {};
    return m_headers[section];
}

Qt::ItemFlags PictureRowsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

void PictureRowsModel::setRows(std::vector<PictureRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void PictureRowsModel::setHeaders(const QString& first, const QString& second) {
    m_headers[0] = first;
    m_headers[1] = second;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 1);
}

int PictureRowsModel::moveRowBefore(int from, int to) {
    if (to == from || to == from + 1) return from;
    beginMoveRows({}, from, from, {}, to);
    PictureRow moved = std::move(m_rows[static_cast<std::size_t>(from)]);
    m_rows.erase(m_rows.begin() + from);
    const int at = to > from ? to - 1 : to;
    m_rows.insert(m_rows.begin() + at, std::move(moved));
    endMoveRows();
    return at;
}

void PictureDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_MouseOver) option->font.setUnderline(true);
}

// --- The view --------------------------------------------------------------------------

PictureListView::PictureListView(PageHost& host, PicturesPanel& panel, QWidget* parent)
    : QTreeView(parent), m_host(host), m_boxes(*host.platform().messageBoxes), m_panel(panel) {}

QByteArray PictureListView::dragToken(int row) const {
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(reinterpret_cast<quintptr>(this)) + ':' + QByteArray::number(row);
}

void PictureListView::keyPressEvent(QKeyEvent* event) {
    bool taken = false;
    m_host.guard([&] { taken = m_panel.lvILFilesKeyDown(*event); });
    if (!taken) QTreeView::keyPressEvent(event);
}

// The focus also leaves while the window is taken down: these reach no further than the
// panel, and report through the message boxes, not through the window.
void PictureListView::focusInEvent(QFocusEvent* event) {
    // Before the view makes row 0 its current row: entering selects it then.
    if (event->reason() != Qt::PopupFocusReason)
        runGuarded(m_boxes, [this] { m_panel.lvILFilesEnter(); });
    QTreeView::focusInEvent(event);
}

void PictureListView::focusOutEvent(QFocusEvent* event) {
    QTreeView::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        runGuarded(m_boxes, [this] { m_panel.lvILFilesEnter(); });
}

void PictureListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    m_host.guard([this] { m_panel.lvILFilesEnter(); });
}

void PictureListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    m_host.guard([this] { m_panel.lvILFilesDblClick(); });
}

void PictureListView::startDrag(Qt::DropActions) {
    const int row = m_panel.pictureView().selectedRow();
    if (row < 0) return;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kRowMime), dragToken(row));
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
}

void PictureListView::dragEnterEvent(QDragEnterEvent* event) {
    acceptDrag(event);
}

void PictureListView::dragMoveEvent(QDragMoveEvent* event) {
    QTreeView::dragMoveEvent(event);  // scrolls near the edges
    acceptDrag(event);
}

void PictureListView::dropEvent(QDropEvent* event) {
    const int dragged = ownRow(event->mimeData());
    if (dragged >= 0) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
        const int target = indexAt(event->position().toPoint()).row();
        m_host.guard([&] { m_panel.lvILFilesDragDrop(dragged, target); });
        return;
    }
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    std::vector<std::string> names;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) names.push_back(encodedFileName(url.toLocalFile()));
    event->acceptProposedAction();
    m_host.guard([&] { m_panel.HandlePictureDrop(names); });
}

int PictureListView::ownRow(const QMimeData* data) const {
    if (!data || !data->hasFormat(QString::fromLatin1(kRowMime))) return -1;
    const QByteArray token = data->data(QString::fromLatin1(kRowMime));
    const int colon = token.lastIndexOf(':');
    if (colon < 0 || token.left(colon) != dragToken(0).left(dragToken(0).lastIndexOf(':')))
        return -1;
    bool ok = false;
    const int row = token.mid(colon + 1).toInt(&ok);
    return ok && row >= 0 && row < model()->rowCount() ? row : -1;
}

void PictureListView::acceptDrag(QDragMoveEvent* event) {
    if (ownRow(event->mimeData()) >= 0) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

}  // namespace velluma
