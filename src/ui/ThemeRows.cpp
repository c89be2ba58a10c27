#include "ui/ThemeRows.h"

#include <QItemSelectionModel>
#include <QTreeWidget>
#include <algorithm>
#include <unordered_map>

#include "themes/ThemeDates.h"
#include "ui/Icons.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

QString shown(const std::string& text) {
    return QString::fromStdString(text);
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

}  // namespace

// --- ThemeItem -----------------------------------------------------------------------

ThemeItem::ThemeItem(const ThemeRows& owner, const ThemeRow& row) : m_owner(owner) {
    setTextAlignment(1, Qt::AlignCenter);
    setRow(row);
}

void ThemeItem::setRow(const ThemeRow& row) {
    m_row = row;
    setText(0, shown(row.caption));
    setText(1, shown(row.date));
    setText(2, decodedFileName(row.path));
    setIcon(0, m_owner.image(row.imageIndex));
}

bool ThemeItem::operator<(const QTreeWidgetItem& other) const {
    const auto& o = static_cast<const ThemeItem&>(other);
    switch (m_owner.m_sortColumn) {
        case 1:
            return m_dateKey < o.m_dateKey;
        case 2:
            return m_row.path < o.m_row.path;
        default:
            return m_row.caption < o.m_row.caption;
    }
}

// --- ThemeRows -----------------------------------------------------------------------

ThemeRows::ThemeRows(QTreeWidget* view) : m_view(view) {
    for (int i = 0; i < kImageCount; ++i) m_images[static_cast<std::size_t>(i)] = listImage(i);
}

ThemeRows::~ThemeRows() {
    qDeleteAll(m_pending);
}

void ThemeRows::flush() const {
    if (m_pending.isEmpty()) return;
    QList<QTreeWidgetItem*> rows;
    rows.swap(m_pending);
    m_view->addTopLevelItems(rows);
}

QIcon ThemeRows::image(int index) const {
    if (index < 0 || index >= kImageCount) return {};
    return m_images[static_cast<std::size_t>(index)];
}

int ThemeRows::rowCount() const {
    return m_view->topLevelItemCount() + static_cast<int>(m_pending.size());
}

ThemeItem* ThemeRows::item(int index) const {
    flush();
    return static_cast<ThemeItem*>(m_view->topLevelItem(index));
}

ThemeRow ThemeRows::row(int index) const {
    const ThemeItem* found = item(index);
    return found ? found->row() : ThemeRow{};
}

int ThemeRows::addRow(const ThemeRow& row) {
    auto* added = new ThemeItem(*this, row);
    if (m_updateDepth > 0)
        m_pending.push_back(added);
    else
        m_view->addTopLevelItem(added);
    return rowCount() - 1;
}

void ThemeRows::setRow(int index, const ThemeRow& row) {
    if (ThemeItem* found = item(index)) found->setRow(row);
}

void ThemeRows::removeRow(int index) {
    flush();
    delete m_view->takeTopLevelItem(index);
}

void ThemeRows::clear() {
    qDeleteAll(m_pending);
    m_pending.clear();
    m_view->clear();
}

bool ThemeRows::hasSelection() const {
    return m_view->selectionModel()->hasSelection();
}

void ThemeRows::selectRow(int index) {
    flush();
    const QModelIndex at = m_view->model()->index(index, 0);
    m_view->selectionModel()->setCurrentIndex(
        at, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void ThemeRows::beginUpdate() {
    if (m_updateDepth++ == 0) m_view->setUpdatesEnabled(false);
}

void ThemeRows::endUpdate() {
    if (m_updateDepth == 0) return;  // more closed than opened: nothing to close
    if (--m_updateDepth > 0) return;
    flush();
    m_view->setUpdatesEnabled(true);
}

int ThemeRows::findRow(const std::string& path) const {
    const int count = rowCount();
    for (int i = 0; i < count; ++i)
        if (item(i)->row().path == path) return i;
    return -1;
}

std::vector<int> ThemeRows::selectedRows() const {
    flush();
    std::vector<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int ThemeRows::firstSelected() const {
    flush();
    int first = -1;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
        if (first < 0 || index.row() < first) first = index.row();
    return first;
}

int ThemeRows::compare(int column, const ThemeRow& a, const ThemeRow& b) {
    switch (column) {
        case 1:
            return CompareDates(a.date, b.date);
        case 2:
            return sign(a.path.compare(b.path));
        default:
            return sign(a.caption.compare(b.caption));
    }
}

void ThemeRows::sort(int column, bool descending) {
    flush();
    m_sortColumn = column;
    const int count = rowCount();
    if (column == 1) {
        // Each distinct date text is parsed once, not at every comparison.
        std::unordered_map<std::string, std::int64_t> keys;
        for (int i = 0; i < count; ++i) {
            ThemeItem* row = item(i);
            auto [at, added] = keys.try_emplace(row->row().date, 0);
            if (added) at->second = DateOrderKey(at->first);
            row->m_dateKey = at->second;
        }
    }
    m_view->sortItems(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

// --- MergingThemeList ----------------------------------------------------------------

int MergingThemeList::addRow(const ThemeRow& row) {
    const int existing = m_rows.findRow(row.path);
    if (existing < 0) return m_rows.addRow(row);
    m_rows.setRow(existing, row);
    return existing;
}

}  // namespace velluma
