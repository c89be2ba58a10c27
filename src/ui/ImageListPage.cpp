#include "ui/ImageListPage.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <set>

#include "core/LogSystem.h"
#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "imagelists/ListFile.h"
#include "imagelists/ListLibrary.h"
#include "imagelists/PictureView.h"
#include "platform/Platform.h"
#include "ui/GridLinesDelegate.h"
#include "ui/Icons.h"
#include "ui/PageHost.h"
#include "ui/PicturesPanel.h"
#include "ui/SearchAndAddThread.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

constexpr int kColumns = 3;
constexpr int kDesignWidth = 620;
constexpr int kColumnWidths[kColumns] = {150, 100, 250};
constexpr int kButtonSize = 34;
constexpr int kDownloadWidth = 45;
constexpr int kGap = 20;
constexpr int kToolBarHeight = 40;
constexpr int kListsHeight = 104;
constexpr int kApplyGlyph = 6;
constexpr int kCreateGlyph = 5;
constexpr int kAddGlyph = 7;
constexpr int kRecycledGlyph = 11;
constexpr int kRemoveGlyph = 12;
constexpr int kDeleteGlyph = 10;
constexpr int kDownloadGlyph = 8;
constexpr int kDownloadLink = 2;

// The row's exact texts are kept as bytes beside the shown ones: file names need not be
// valid UTF-8, and every command finds its file through them.
constexpr int kCaptionRole = Qt::UserRole;
constexpr int kCountRole = Qt::UserRole + 1;
constexpr int kPathRole = Qt::UserRole + 2;

QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string stdString(const QVariant& value) {
    return value.toByteArray().toStdString();
}

ListRow rowOf(const QTreeWidgetItem& item) {
    return {stdString(item.data(0, kCaptionRole)), stdString(item.data(0, kCountRole)),
            stdString(item.data(0, kPathRole))};
}

void showRow(QTreeWidgetItem& item, const ListRow& row) {
    item.setData(0, kCaptionRole, bytes(row.caption));
    item.setData(0, kCountRole, bytes(row.count));
    item.setData(0, kPathRole, bytes(row.path));
    item.setText(0, decodedFileName(row.caption));
    item.setText(1, QString::fromStdString(row.count));
    item.setText(2, decodedFileName(row.path));
}

// One row of lvILists; it orders itself by the view's sort column (lvIListsCompare).
class ListItem final : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        return CompareListRows(rowOf(*this), rowOf(other), column, false) < 0;
    }
};

std::vector<int> rowsIn(const QItemSelection& selection) {
    std::set<int> rows;
    for (const QModelIndex& index : selection.indexes()) rows.insert(index.row());
    return {rows.begin(), rows.end()};
}

}  // namespace

// The rows of lvILists behind the interface the list operations use.
class ListViewRows final : public ListLibrary {
public:
    ListViewRows(ImageListPage& page, QTreeWidget& view) : m_page(page), m_view(view) {}

    int rowCount() const override { return m_view.topLevelItemCount(); }
    ListRow row(int index) const override { return rowOf(*item(index)); }
    int addRow(const ListRow& row) override {
        auto* added = new ListItem();
        added->setFlags(added->flags() | Qt::ItemIsEditable);
        added->setIcon(0, listImage(kListImageIndex));
        added->setTextAlignment(1, Qt::AlignCenter);
        showRow(*added, row);
        m_view.addTopLevelItem(added);
        return rowCount() - 1;
    }
    void setRow(int index, const ListRow& row) override { showRow(*item(index), row); }
    void removeRow(int index) override { delete m_view.takeTopLevelItem(checked(index)); }
    void clear() override { m_view.clear(); }
    bool isSelected(int index) const override { return item(index)->isSelected(); }
    void selectRow(int index) override {
        m_view.selectionModel()->setCurrentIndex(
            m_view.model()->index(checked(index), 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void beginUpdate() override {
        if (m_depth++ == 0) m_view.setUpdatesEnabled(false);
    }
    void endUpdate() override {
        if (m_depth == 0 || --m_depth > 0) return;
        m_view.setUpdatesEnabled(true);
        m_page.sortRows();
    }

    /// True inside a bracket of bulk changes.
    bool updating() const { return m_depth > 0; }

private:
    int checked(int index) const {
        if (index < 0 || index >= rowCount()) throw std::out_of_range("no such list row");
        return index;
    }
    QTreeWidgetItem* item(int index) const { return m_view.topLevelItem(checked(index)); }

    ImageListPage& m_page;
    QTreeWidget& m_view;
    int m_depth = 0;
};

// Draws the grid lines and edits captions in place; a confirmed name is handed to the page
// once the editor has closed, so a failing rename reports with no editor left open.
class ListItemDelegate final : public GridLinesDelegate {
public:
    ListItemDelegate(ImageListPage& page, QObject* parent)
        : GridLinesDelegate(parent), m_page(&page) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() != 0) return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) return;
        const QPersistentModelIndex row(index);
        const QString caption = line->text();
        // An editor open while the window closes commits after the page has gone.
        if (!m_page) return;
        QMetaObject::invokeMethod(
            m_page, [page = m_page, row, caption] { page->editFinished(row, caption); },
            Qt::QueuedConnection);
    }

private:
    QPointer<ImageListPage> m_page;
};

ImageListPage::ImageListPage(PageHost& host, QWidget* sheet)
    : MainWindowPage(host, sheet), m_context{host.settings(), [this] { m_host.showPicture({}); }} {
    buildToolBar();
    m_barLabel = makeBarLabel(sheet, "lbListBarCaption");
    m_lvILists = makeReportView(sheet, "lvILists", kColumns);
    m_lvILists->setFixedHeight(kListsHeight);
    m_lvILists->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lvILists->setEditTriggers(QAbstractItemView::SelectedClicked |
                                QAbstractItemView::EditKeyPressed);
    m_lvILists->setItemDelegate(new ListItemDelegate(*this, m_lvILists));
    m_lvILists->setContextMenuPolicy(Qt::CustomContextMenu);
    m_lvILists->setIconSize(QSize(16, 16));
    m_lvILists->headerItem()->setTextAlignment(1, Qt::AlignCenter);
    m_lvILists->header()->setSectionsClickable(true);
    m_lvILists->header()->setSortIndicatorShown(false);
    m_lvILists->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_lvILists->setAcceptDrops(true);
    m_lvILists->viewport()->setAcceptDrops(true);
    m_lvILists->installEventFilter(this);
    m_lvILists->viewport()->installEventFilter(this);
    m_rows = std::make_unique<ListViewRows>(*this, *m_lvILists);

    m_p22articlelabel = makeArticleLabel(sheet, "p22articlelabel");
    m_lowerHalf = new QWidget(sheet);
    m_lowerHalf->setObjectName(QStringLiteral("pilLowerHalf"));
    auto* lower = new QVBoxLayout(m_lowerHalf);
    lower->setContentsMargins(0, 0, 0, 0);
    lower->setSpacing(0);
    m_p23articlelabel = makeArticleLabel(m_lowerHalf, "p23articlelabel");
    lower->addWidget(m_p23articlelabel);
    lower->addStretch(1);
    // Takes the half over.
    m_pictures = new PicturesPanel(host, m_lowerHalf, m_p23articlelabel, m_lvILists,
                                   [this] { m_pilbCreate->click(); });

    layout()->addWidget(m_toolBar);
    layout()->addWidget(m_barLabel);
    layout()->addWidget(m_lvILists);
    layout()->addWidget(m_p22articlelabel);
    layout()->addWidget(m_lowerHalf, 1);

    buildMenus();
    connect(m_lvILists->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                selectionChanged(selected, deselected);
            });
    connect(m_lvILists->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_host.guard([&] { lvIListsColumnClick(column); }); });
    connect(m_lvILists, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        m_pilILPM->popup(m_lvILists->viewport()->mapToGlobal(at));
    });
}

ImageListPage::~ImageListPage() = default;

ListLibrary& ImageListPage::listLibrary() const {
    return *m_rows;
}

QToolButton* ImageListPage::addButton(const char* name, int glyph, int width) {
    auto* button = new QToolButton(m_toolBar);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(buttonImage(glyph));
    button->setIconSize(QSize(26, 26));
    button->setFixedSize(width, kButtonSize);
    button->setAutoRaise(true);
    // The lists keep the keyboard focus, so the commands still see their selection.
    button->setFocusPolicy(Qt::NoFocus);
    m_toolBar->addWidget(button);
    m_host.watchHover(button);
    return button;
}

void ImageListPage::buildToolBar() {
    m_toolBar = new QToolBar(m_sheet);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setFixedHeight(kToolBarHeight);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    auto gap = [this] {
        auto* spacer = new QWidget(m_toolBar);
        spacer->setFixedWidth(kGap);
        m_toolBar->addWidget(spacer);
    };
    m_pilbApplay = addButton("pilbApplay", kApplyGlyph, kButtonSize);
    gap();
    m_pilbCreate = addButton("pilbCreate", kCreateGlyph, kButtonSize);
    m_pilbAdd = addButton("pilbAdd", kAddGlyph, kButtonSize);
    m_pilbRemove = addButton("pilbRemove", kRemoveGlyph, kButtonSize);
    m_pilbDelete = addButton("pilbDelete", kDeleteGlyph, kButtonSize);
    gap();
    m_pilbDownload = addButton("pilbDownload", kDownloadGlyph, kDownloadWidth);

    auto bind = [this](QToolButton* button, void (ImageListPage::*handler)()) {
        connect(button, &QToolButton::clicked, this,
                [this, handler] { m_host.guard([&] { (this->*handler)(); }); });
    };
    bind(m_pilbApplay, &ImageListPage::pilbApplayClick);
    bind(m_pilbCreate, &ImageListPage::pilbCreateClick);
    bind(m_pilbAdd, &ImageListPage::pilbAddClick);
    bind(m_pilbRemove, &ImageListPage::pilbRemoveClick);
    bind(m_pilbDelete, &ImageListPage::pilbDeleteClick);
    bind(m_pilbDownload, &ImageListPage::pilbDownloadClick);
}

void ImageListPage::buildMenus() {
    auto item = [this](QMenu* menu, const char* name, void (ImageListPage::*handler)()) {
        QAction* action = menu->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this,
                [this, handler] { m_host.guard([&] { (this->*handler)(); }); });
        return action;
    };
    m_pilILPM = new QMenu(m_lvILists);
    m_pilILPM->setObjectName(QStringLiteral("pilILPM"));
    m_pilILPM1 = item(m_pilILPM, "pilILPM1", &ImageListPage::pilbCreateClick);
    m_pilILPM2 = item(m_pilILPM, "pilILPM2", &ImageListPage::pilbAddClick);
    m_pilILPM3 = item(m_pilILPM, "pilILPM3", &ImageListPage::pilILPM3Click);
    m_pilILPM4 = item(m_pilILPM, "pilILPM4", &ImageListPage::pilbDeleteClick);
    m_pilbRemPM = new QMenu(m_pilbRemove);
    m_pilbRemPM->setObjectName(QStringLiteral("pilbRemPM"));
    m_pilbRemPM1 = item(m_pilbRemPM, "pilbRemPM1", &ImageListPage::pilILPM3Click);
    m_pilbRemPM2 = item(m_pilbRemPM, "pilbRemPM2", &ImageListPage::pilbRemPM2Click);
}

// --- Window hooks ------------------------------------------------------------------

void ImageListPage::formCreate() {
    // The saved sort order first, so that the fill below ends sorted by it.
    m_sort = ListSortState::fromSortType(m_host.settings().options.lvIListsSortType);
    m_host.settings().options.lvIListsSortType = m_sort.sortType();
    showSortImages();
    // A list that cannot be read is reported; the rest of the start-up goes on.
    m_host.guard([this] { LoadListLibrary(m_context, *m_rows); });
    m_host.guard([this] {
        const int current = m_rows->firstSelected();
        if (current >= 0)
            lvIListsSelectItem(current, true);
        else
            fillPictures(-1, true);
        lvIListsEnter();
    });
}

void ImageListPage::applyLanguage() {
    auto t = [this](const char* key) { return m_host.text("PAGE_IMAGE_LISTS", key); };
    m_barLabel->setText(QStringLiteral("  ") + m_host.text("BUTTONS_CAPTIONS", "bc2"));
    m_p22articlelabel->setText(QStringLiteral(":: ") + m_host.text("PAGES_ARTICLES", "p5") +
                               QStringLiteral(" ::"));
    m_p23articlelabel->setText(QStringLiteral(":: ") + m_host.text("PAGES_ARTICLES", "p6") +
                               QStringLiteral("::"));
    for (int c = 0; c < kColumns; ++c) {
        const std::string key = "lvilistscolumn" + std::to_string(c);
        m_lvILists->headerItem()->setText(c, t(key.c_str()));
    }
    setHint(m_pilbApplay, t("barbtn0"));
    setHint(m_pilbCreate, t("barbtn4"));
    setHint(m_pilbAdd, t("barbtn1"));
    setHint(m_pilbDelete, t("barbtn3"));
    setHint(m_pilbDownload, t("barbtn6"));
    m_pilILPM1->setText(literalMenuText(t("barbtn4")));
    m_pilILPM2->setText(literalMenuText(t("barbtn1")));
    m_pilILPM3->setText(literalMenuText(t("barbtn2")));
    m_pilILPM4->setText(literalMenuText(t("barbtn3")));
    m_pilbRemPM1->setText(literalMenuText(t("bRemovePM0")));
    m_pilbRemPM2->setText(literalMenuText(t("bRemovePM1")));
    updateRemoveButton();
    m_pictures->applyLanguage();
}

void ImageListPage::formResize(int w) {
    for (int c = 0; c < kColumns; ++c)
        m_lvILists->header()->resizeSection(c, w * kColumnWidths[c] / kDesignWidth);
}

QString ImageListPage::statusText() const {
    return m_host.text("STATUS_BAR", "msg4") + QStringLiteral(": ") +
           QString::number(m_lvILists->topLevelItemCount()) + QStringLiteral("   ") +
           m_host.text("STATUS_BAR", "msg5") + QStringLiteral(": ../imgLists/") +
           decodedFileName(fileNamePart(m_host.settings().cIList));
}

void ImageListPage::updateRemoveButton() {
    const bool recycled = RecycledHasLists(m_host.settings().ProgramFolder);
    m_pilbRemove->setIcon(buttonImage(recycled ? kRecycledGlyph : kRemoveGlyph));
    setHint(m_pilbRemove, m_host.text("PAGE_IMAGE_LISTS", recycled ? "barbtn7" : "barbtn2"));
}

// --- Sorting -------------------------------------------------------------------------

void ImageListPage::lvIListsColumnClick(int column) {
    m_host.settings().options.lvIListsSortType = m_sort.columnClick(column);
    showSortImages();
    sortRows();
}

void ImageListPage::showSortImages() {
    for (int c = 0; c < kColumns; ++c) {
        const int image = m_sort.headerImage(c);
        m_lvILists->headerItem()->setIcon(c, image == kNoSortImage ? QIcon() : listImage(image));
    }
}

void ImageListPage::sortRows() {
    m_lvILists->sortItems(m_sort.sortColumn(),
                          m_sort.descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

// --- Selection and enabled states ------------------------------------------------------

void ImageListPage::selectionChanged(const QItemSelection& selected,
                                     const QItemSelection& deselected) {
    if (m_rows->updating()) return;  // bulk changes settle the view themselves
    // One change can touch many rows; the last one decides what the page shows, as the
    // earlier ones are overwritten by it.
    const std::vector<int> on = rowsIn(selected);
    const std::vector<int> off = rowsIn(deselected);
    const int count = m_rows->rowCount();
    m_host.guard([&] {
        if (!on.empty() && on.back() < count)
            lvIListsSelectItem(on.back(), true);
        else if (!off.empty() && off.back() < count)
            lvIListsSelectItem(off.back(), false);
    });
}

void ImageListPage::lvIListsSelectItem(int row, bool selected) {
    logsystem::Log("begin select");
    setListTitle({});
    if (selected) {
        logsystem::Log("begin update");
        fillPictures(row, true);
        if (m_rows->selectedRows().size() == 1)
            setListTitle(decodedFileName(m_rows->row(row).caption));
    } else {
        fillPictures(-1, true);
    }
    logsystem::Log("begin enter");
    lvIListsEnter();
    // The preview of the pictures view's first row joins here with the pictures view.
    m_pictures->previewFirstRow();
}

void ImageListPage::setListTitle(const QString& caption) {
    m_p22articlelabel->setText(QStringLiteral(".: ") + m_host.text("PAGES_ARTICLES", "p5") +
                               QStringLiteral(" ..") + caption);
}

void ImageListPage::fillPictures(int row, bool reportErrors) {
    PictureView* pictures = m_host.pictureView();
    if (!pictures) return;
    if (reportErrors) {
        FillPictureView(*pictures, *m_rows, row);
        return;
    }
    try {
        FillPictureView(*pictures, *m_rows, row);
    } catch (const std::exception&) {
        // Reported when the row was selected; focus changes must not report it again.
    }
}

void ImageListPage::lvIListsEnter() {
    // A message box shown from here moves the focus, which would run this again.
    if (m_inEnter) return;
    m_inEnter = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_inEnter};

    fillPictures(m_rows->firstSelected(), false);
    const std::size_t selected = m_rows->selectedRows().size();
    const bool active = selected > 0 && m_lvILists->hasFocus();
    const bool single = selected == 1;
    const bool recycled = RecycledHasLists(m_host.settings().ProgramFolder);
    if (!single) fillPictures(-1, false);
    m_pilbRemove->setEnabled(recycled || active);
    m_pilbRemPM1->setEnabled(active);
    m_pilbDelete->setEnabled(active);
    m_pilILPM3->setEnabled(active);
    m_pilILPM4->setEnabled(active);
    m_pilbApplay->setEnabled(single && active);
    for (QToolButton* b : {m_pilbCreate, m_pilbAdd, m_pilbDownload}) b->setEnabled(true);
    m_pilILPM1->setEnabled(true);
    m_pilILPM2->setEnabled(true);
    // The pictures view's own enabled states join here with the pictures view.
}

// --- Commands ------------------------------------------------------------------------

void ImageListPage::pilbApplayClick() {
    const int row = m_rows->firstSelected();
    if (row < 0) return;  // nothing to apply
    Settings& settings = m_host.settings();
    const std::string list = m_rows->row(row).path;
    std::string first;
    if (const PictureView* pictures = m_host.pictureView()) {
        if (pictures->rowCount() > 0) first = pictures->row(0).caption;
    } else {
        const std::string text = ReadListFile(list);
        const std::vector<std::string_view> lines = SplitListLines(text);
        if (!lines.empty()) first = std::string(LinePicturePath(lines.front()));
    }
    settings.cIList = list;
    settings.cImg = first;
    m_host.tbbONOFFPM01Click();
}

void ImageListPage::pilbCreateClick() {
    const int row = CreateList(m_context, *m_rows);
    QTreeWidgetItem* item = m_lvILists->topLevelItem(row);
    m_lvILists->scrollToItem(item);
    m_lvILists->editItem(item, 0);
}

void ImageListPage::editFinished(const QPersistentModelIndex& index, const QString& caption) {
    if (!index.isValid()) return;  // the row went away meanwhile
    m_host.guard([&] { lvIListsEdited(index.row(), caption); });
}

void ImageListPage::lvIListsEdited(int row, const QString& caption) {
    // An empty name would make a hidden file without a name: keep the old one, as a
    // cancelled edit does.
    if (caption.trimmed().isEmpty()) return;
    const std::string name = RenameList(m_context, *m_rows, row, encodedFileName(caption));
    const std::vector<int> selected = m_rows->selectedRows();
    if (selected.size() == 1 && selected.front() == row) setListTitle(decodedFileName(name));
}

void ImageListPage::pilbAddClick() {
    importLists(m_importFolder, m_host.text("PAGE_IMAGE_LISTS", "barbtn1"));
}

void ImageListPage::pilbRemPM2Click() {
    const std::string& program = m_host.settings().ProgramFolder;
    QString title = m_host.text("PAGE_IMAGE_LISTS", "bRemovePM1");
    while (title.endsWith(QLatin1Char('.')) || title.endsWith(QChar(0x2026))) title.chop(1);
    m_importFolder = program;  // where the import dialog opens from now on
    importLists(m_context.recycleFolder(), title);
}

void ImageListPage::importLists(const std::string& folder, const QString& title) {
    const QString filter = m_host.text("PAGE_QUILLORY", "filter2") + QStringLiteral(" (*.lst)");
    const std::vector<std::string> files = m_host.platform().fileDialogs->getOpenFileNames(
        title.toStdString(), filter.toStdString(), folder);
    if (files.empty()) return;
    // The view and the remove button follow what was imported, also when a file failed.
    struct Refresh {
        ImageListPage& page;
        ~Refresh() {
            page.m_host.guard([this] {
                page.updateRemoveButton();
                page.lvIListsEnter();
            });
        }
    } refresh{*this};
    ImportListFiles(m_context, *m_rows, files);
}

void ImageListPage::pilbRemoveClick() {
    if (RecycledHasLists(m_host.settings().ProgramFolder)) {
        updateRemoveButton();
        m_pilbRemPM->popup(m_pilbRemove->mapToGlobal(QPoint(16, 32)));
        return;
    }
    pilILPM3Click();
}

void ImageListPage::pilILPM3Click() {
    RemoveListsToRecycled(m_context, *m_rows);
    afterRemoval(true);
}

void ImageListPage::pilbDeleteClick() {
    DeleteLists(m_context, *m_rows);
    afterRemoval(false);
}

void ImageListPage::afterRemoval(bool refresh) {
    if (!m_rows->hasSelection()) {
        // No row is left to describe: the title and the pictures must not name a list
        // that is gone.
        setListTitle({});
        fillPictures(-1, false);
    }
    if (refresh) {
        m_lvILists->viewport()->update();
        updateRemoveButton();
    }
    lvIListsEnter();
}

void ImageListPage::pilbDownloadClick() {
    const std::string& link = m_host.settings().Links[kDownloadLink];
    if (link.empty()) return;  // nothing to open
    m_host.openLink(link);
}

// --- Keys, mouse and drops -------------------------------------------------------------

bool ImageListPage::lvIListsKeyDown(const QKeyEvent& event) {
    const int key = event.key();
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool keypad = modifiers & Qt::KeypadModifier;
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        if (!m_pilbApplay->isEnabled()) return false;
        pilbApplayClick();
        return true;
    }
    if (key == Qt::Key_Insert) {
        pilbAddClick();
        return true;
    }
    if (key == Qt::Key_Delete) {
        if (modifiers & Qt::ShiftModifier) {
            if (m_pilbDelete->isEnabled()) pilbDeleteClick();
        } else if (m_pilbRemPM1->isEnabled()) {
            pilbRemoveClick();
        }
        return true;
    }
    // Ctrl+N and Ctrl+O, also on the keypad's decimal and divide keys.
    const bool create =
        key == Qt::Key_N || (keypad && (key == Qt::Key_Period || key == Qt::Key_Comma));
    const bool open = key == Qt::Key_O || (keypad && key == Qt::Key_Slash);
    if (ctrl && create) {
        pilbCreateClick();
        return true;
    }
    if (ctrl && open) {
        pilbAddClick();
        return true;
    }
    return false;  // the view's own keys; the rest reach the window's key handler
}

void ImageListPage::HandleListDrop(const std::vector<std::string>& names) {
    std::exception_ptr firstError;
    for (const std::string& name : names) {
        // One name that fails does not lose the others; the first error is reported.
        try {
            switch (ClassifyListDrop(name)) {
                case ListDrop::Folder: {
                    TSearchAndAddThread search;
                    search.Path = name;
                    search.Kind = TSearchAndAddThread::ListFiles;
                    search.Start(m_host, this, [this](const std::string& path, int) {
                        AddListsFromFolder(m_context, *m_rows, path);
                    });
                    m_host.showStatusMessage(m_host.text("STATUS_BAR", "msg2") +
                                             QStringLiteral(": ") + decodedFileName(name) +
                                             QStringLiteral("/*.lst"));
                    break;
                }
                case ListDrop::ListFile:
                    AddListFile(m_context, *m_rows, name);
                    break;
                case ListDrop::Ignored:
                    break;
            }
        } catch (const std::exception&) {
            if (!firstError) firstError = std::current_exception();
        }
    }
    if (firstError) std::rethrow_exception(firstError);
}

bool ImageListPage::eventFilter(QObject* watched, QEvent* event) {
    // While the window is being destroyed its widgets still lose the focus; the window's
    // handlers are gone by then.
    if (!m_sheet->window()->inherits("velluma::TfMain"))
        return MainWindowPage::eventFilter(watched, event);
    if (watched == m_lvILists) {
        switch (event->type()) {
            case QEvent::KeyPress: {
                bool taken = false;
                m_host.guard([&] { taken = lvIListsKeyDown(*static_cast<QKeyEvent*>(event)); });
                return taken;
            }
            case QEvent::FocusIn:
            case QEvent::FocusOut:
                // A pop-up menu leaves the focus where it was.
                if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
                    m_host.guard([this] { lvIListsEnter(); });
                break;
            default:
                break;
        }
        return MainWindowPage::eventFilter(watched, event);
    }
    if (watched == m_lvILists->viewport()) {
        switch (event->type()) {
            case QEvent::MouseButtonRelease:
                m_host.guard([this] { lvIListsEnter(); });
                break;
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                const QList<QUrl> urls = drop->mimeData()->urls();
                const bool files = std::any_of(urls.begin(), urls.end(),
                                               [](const QUrl& url) { return url.isLocalFile(); });
                if (!files || !(drop->possibleActions() & Qt::CopyAction)) return false;
                // Always a copy: a source told "moved" could delete the user's files.
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                if (event->type() != QEvent::Drop) return true;
                std::vector<std::string> names;
                for (const QUrl& url : urls)
                    if (url.isLocalFile()) names.push_back(encodedFileName(url.toLocalFile()));
                m_host.guard([&] { HandleListDrop(names); });
                return true;
            }
            default:
                break;
        }
    }
    return MainWindowPage::eventFilter(watched, event);
}

}  // namespace velluma
