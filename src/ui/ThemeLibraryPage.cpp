#include "ui/ThemeLibraryPage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "imagelists/ListOperations.h"
#include "platform/FileTools.h"
#include "platform/Platform.h"
#include "themes/DesktopComponents.h"
#include "themes/Presenter.h"
#include "themes/ThemeContext.h"
#include "themes/ThemeFiles.h"
#include "themes/ThemePackage.h"
#include "ui/GridLinesDelegate.h"
#include "ui/Icons.h"
#include "ui/PageHost.h"
#include "ui/ReportPage.h"
#include "ui/SearchAndAddThread.h"
#include "ui/ThemeRows.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

constexpr int kBuilderSelectorTag = 3;
constexpr int kDesignWidths[3] = {150, 100, 253};
constexpr int kAscendingImage = 6;
constexpr int kDescendingImage = 7;
constexpr int kNeutralImage = 8;

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// "name.tvp" -> "name (n).tvp"
std::string numberedName(const std::string& name, int n) {
    if (n < 2) return name;
    const std::size_t dot = name.find_last_of('.');
    const std::string base = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = base.size() == name.size() ? "" : name.substr(dot);
    return base + " (" + std::to_string(n) + ")" + extension;
}

}  // namespace

// --- ThemeLibraryPage ------------------------------------------------------------------

ThemeLibraryPage::ThemeLibraryPage(PageHost& host, QWidget* sheet,
                                   std::unique_ptr<LibraryReadAhead> readAhead)
    : MainWindowPage(host, sheet),
      m_toolBar(new QWidget(sheet)),
      m_barLabel(makeBarLabel(sheet, "lbThemeBarCaption")),
      m_lvAdvanc(makeReportView(sheet, "lvAdvanc", 3)),
      m_rows(std::make_unique<ThemeRows>(m_lvAdvanc)),
      m_readAhead(std::move(readAhead)) {
    buildToolBar();
    layout()->addWidget(m_toolBar);
    layout()->addWidget(m_barLabel);
    layout()->addWidget(m_lvAdvanc, 1);

    m_lvAdvanc->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lvAdvanc->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvAdvanc->setIconSize(QSize(16, 16));
    m_lvAdvanc->setItemDelegate(new GridLinesDelegate(m_lvAdvanc));
    m_lvAdvanc->setContextMenuPolicy(Qt::CustomContextMenu);
    m_lvAdvanc->setAcceptDrops(true);
    m_lvAdvanc->viewport()->setAcceptDrops(true);
    m_lvAdvanc->setDropIndicatorShown(false);
    QTreeWidgetItem* header = m_lvAdvanc->headerItem();
    const char* captions[3] = {"Theme", "Add time", "Description"};
    for (int c = 0; c < 3; ++c) {
        header->setText(c, QString::fromLatin1(captions[c]));
        m_lvAdvanc->header()->resizeSection(c, kDesignWidths[c]);
        setHeaderImage(c, m_headerImage[static_cast<std::size_t>(c)]);
    }
    header->setTextAlignment(1, Qt::AlignCenter);
    m_lvAdvanc->header()->setSectionsClickable(true);
    m_lvAdvanc->header()->setSortIndicatorShown(false);
    m_lvAdvanc->header()->setSectionsMovable(false);

    buildMenus();

    m_lvAdvanc->installEventFilter(this);
    m_lvAdvanc->viewport()->installEventFilter(this);
    connect(m_lvAdvanc->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_host.guard([&] { lvAdvancColumnClick(column); }); });
    // A column keeps between its design width and its share of the window.
    connect(m_lvAdvanc->header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) {
                if (column < 0 || column > 2) return;
                const int bounded = std::clamp(
                    size, kDesignWidths[column],
                    std::max(kDesignWidths[column], m_maxWidth[static_cast<std::size_t>(column)]));
                if (bounded != size) m_lvAdvanc->header()->resizeSection(column, bounded);
            });
    connect(m_lvAdvanc->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_host.guard([this] { lvAdvancSelectItem(); }); });
    connect(m_lvAdvanc, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        m_padvlvPopup->popup(m_lvAdvanc->viewport()->mapToGlobal(at));
    });
    setDialogFilter();
}

ThemeLibraryPage::~ThemeLibraryPage() = default;

ThemeList& ThemeLibraryPage::themeList() const {
    return *m_rows;
}

void ThemeLibraryPage::buildToolBar() {
    m_toolBar->setObjectName(QStringLiteral("padvTB"));
    auto* row = new QHBoxLayout(m_toolBar);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(0);
    auto button = [this, row](const char* name, int image, int width) {
        auto* b = new QToolButton(m_toolBar);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(buttonImage(image));
        b->setIconSize(QSize(32, 32));
        b->setFixedSize(width, 34);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);  // the list keeps the focus, and with it the selection
        m_host.watchHover(b);
        row->addWidget(b);
        return b;
    };
    m_padvbApplay = button("padvbApplay", 6, 34);
    row->addSpacing(20);
    m_padvbCreate = button("padvbCreate", 5, 34);
    m_padvbOpen = button("padvbOpen", 7, 34);
    m_padvbRemove = button("padvbRemove", 12, 34);
    m_padvbDelete = button("padvbDelete", 10, 34);
    row->addSpacing(20);
    m_padvbReport = button("padvbReport", 9, 34);
    row->addSpacing(20);
    m_padvbDownload = button("padvbDownload", 8, 45);
    row->addStretch(1);

    auto on = [this](QToolButton* b, void (ThemeLibraryPage::*command)()) {
        connect(b, &QToolButton::clicked, this,
                [this, command] { m_host.guard([this, command] { (this->*command)(); }); });
    };
    on(m_padvbApplay, &ThemeLibraryPage::padvbApplayClick);
    on(m_padvbCreate, &ThemeLibraryPage::padvbCreateClick);
    on(m_padvbOpen, &ThemeLibraryPage::padvbOpenClick);
    on(m_padvbRemove, &ThemeLibraryPage::padvbRemoveClick);
    on(m_padvbDelete, &ThemeLibraryPage::padvbDeleteClick);
    on(m_padvbReport, &ThemeLibraryPage::padvbReportClick);
    on(m_padvbDownload, &ThemeLibraryPage::pilbDownloadClick);
}

void ThemeLibraryPage::buildMenus() {
    auto item = [this](QMenu* menu, const char* name, void (ThemeLibraryPage::*command)()) {
        QAction* action = menu->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this,
                [this, command] { m_host.guard([this, command] { (this->*command)(); }); });
        return action;
    };
    m_padvlvPopup = new QMenu(m_lvAdvanc);
    m_padvlvPopup->setObjectName(QStringLiteral("padvlvPopup"));
    m_padvPM[0] = item(m_padvlvPopup, "padvPM0", &ThemeLibraryPage::padvbApplayClick);
    m_padvPM[1] = item(m_padvlvPopup, "padvPM1", &ThemeLibraryPage::padvbRemPM1Click);
    m_padvPM[2] = item(m_padvlvPopup, "padvPM2", &ThemeLibraryPage::padvbDeleteClick);
    m_padvPM[3] = item(m_padvlvPopup, "padvPM3", &ThemeLibraryPage::padvbReportClick);
    m_padvPM[0]->setIcon(buttonImage(6));
    m_padvPM[1]->setIcon(buttonImage(12));
    m_padvPM[2]->setIcon(buttonImage(10));
    m_padvPM[3]->setIcon(buttonImage(9));

    m_padvbRemPM = new QMenu(m_padvbRemove);
    m_padvbRemPM->setObjectName(QStringLiteral("padvbRemPM"));
    m_padvbRemPM1 = item(m_padvbRemPM, "padvbRemPM1", &ThemeLibraryPage::padvbRemPM1Click);
    m_padvbRemPM2 = item(m_padvbRemPM, "padvbRemPM2", &ThemeLibraryPage::padvbRemPM2Click);
}

// --- Creation, texts, layout, status line ---------------------------------------------

void ThemeLibraryPage::formCreate() {
    Settings& s = m_host.settings();
    ThemeContext& themes = m_host.themes();
    m_rows->clear();
    {
        const ThemeListUpdate update(*m_rows);
        std::optional<std::vector<ThemeRow>> read;
        if (m_readAhead) read = std::exchange(m_readAhead, nullptr)->take(themes.processEvents);
        if (read)
            ListThemeRows(*m_rows, *read, s.cadvTheme);
        else
            ScanThemeFolder(themes, *m_rows, s.cadvTheme, themes.themeFolder());
    }
    // A stored order outside 0 to 5 starts as the default, by name ascending.
    std::int32_t& saved = s.options.lvadvSortType;
    if (saved < 0 || saved > 5) saved = 0;
    const int column = saved / 2;
    setHeaderImage(column, saved % 2 + kAscendingImage);
    m_columnTag[static_cast<std::size_t>(column)] = 1;
    lvAdvancColumnClick(column);
    ShowRecycleState();
    lvAdvancEnter();
}

void ThemeLibraryPage::applyLanguage() {
    auto t = [this](const char* key) { return m_host.text("PAGE_QUILLORY", key); };
    m_barLabel->setText(QStringLiteral("  ") + m_host.text("BUTTONS_CAPTIONS", "bc1"));
    for (int c = 0; c < 3; ++c) {
        const std::string key = "lvcolumn" + std::to_string(c);
        m_lvAdvanc->headerItem()->setText(c, t(key.c_str()));
    }
    setHint(m_padvbApplay, t("barbtn0"));
    setHint(m_padvbOpen, t("barbtn1"));
    setHint(m_padvbDelete, t("barbtn3"));
    setHint(m_padvbCreate, t("barbtn4"));
    setHint(m_padvbReport, t("barbtn5"));
    setHint(m_padvbDownload, t("barbtn6"));
    m_padvPM[0]->setText(literalMenuText(t("barbtn0")));
    m_padvPM[1]->setText(literalMenuText(t("barbtn2")));
    m_padvPM[2]->setText(literalMenuText(t("barbtn3")));
    m_padvPM[3]->setText(literalMenuText(t("barbtn5")));
    m_padvbRemPM1->setText(literalMenuText(t("bRemovePM0")));
    m_padvbRemPM2->setText(literalMenuText(t("bRemovePM1")));
    setDialogFilter();
    ShowRecycleState();
}

void ThemeLibraryPage::formResize(int w) {
    for (int c = 0; c < 3; ++c) {
        m_maxWidth[static_cast<std::size_t>(c)] = w * kDesignWidths[c] / 620;
        m_lvAdvanc->header()->resizeSection(c, w * kDesignWidths[c] / 620);
    }
}

QString ThemeLibraryPage::statusText() const {
    return m_host.text("STATUS_BAR", "msg0") + QStringLiteral(": ") +
           QString::number(m_rows->rowCount()) + QStringLiteral("   ") +
           m_host.text("STATUS_BAR", "msg1") + QStringLiteral(": ../advThemes/") +
           decodedFileName(fileNamePart(m_host.settings().cadvTheme));
}

void ThemeLibraryPage::setDialogFilter() {
    m_advOpenDialog.filter = m_host.text("PAGE_QUILLORY", "filter0").toStdString() + " (*.tvp)";
}

// --- Sorting ---------------------------------------------------------------------------

void ThemeLibraryPage::setHeaderImage(int column, int image) {
    m_headerImage[static_cast<std::size_t>(column)] = image;
    m_lvAdvanc->headerItem()->setIcon(column, m_rows->image(image));
}

void ThemeLibraryPage::lvAdvancColumnClick(int column) {
    if (column < 0 || column > 2) return;
    const auto c = static_cast<std::size_t>(column);
    const int remembered = m_headerImage[c];
    for (int i = 0; i < 3; ++i)
        if (m_columnTag[static_cast<std::size_t>(i)] != 1) setHeaderImage(i, -1);
    if (m_columnTag[c] != 1)
        setHeaderImage(column, remembered == kAscendingImage ? kDescendingImage : kAscendingImage);
    m_columnTag[c] = 0;
    m_host.settings().options.lvadvSortType = column * 2 + m_headerImage[c] - kAscendingImage;
    m_sortColumn = column;
    sortRows();
}

void ThemeLibraryPage::sortRows() {
    m_rows->sort(m_sortColumn,
                 m_headerImage[static_cast<std::size_t>(m_sortColumn)] == kDescendingImage);
}

// --- Command states --------------------------------------------------------------------

void ThemeLibraryPage::lvAdvancSelectItem() {
    // Bulk changes recompute the states once, when they are done.
    if (!m_rows->updating()) lvAdvancEnter();
}

void ThemeLibraryPage::lvAdvancEnter() {
    const auto count = m_lvAdvanc->selectionModel()->selectedRows().size();
    const bool selected = count > 0 && m_lvAdvanc->hasFocus();
    const bool single = count == 1;
    m_padvbApplay->setEnabled(selected && single);
    m_padvPM[0]->setEnabled(selected && single);
    m_padvbReport->setEnabled(selected && single);
    m_padvPM[3]->setEnabled(selected && single);
    m_padvbDelete->setEnabled(selected);
    m_padvPM[2]->setEnabled(selected);
    m_padvPM[1]->setEnabled(selected);
    m_padvbRemPM1->setEnabled(selected);
    m_padvbRemove->setEnabled(selected || RecycledHasThemes(m_host.settings().ProgramFolder));
    m_padvbCreate->setEnabled(true);
    m_padvbOpen->setEnabled(true);
    m_padvbDownload->setEnabled(true);
    m_padvbRemPM2->setEnabled(true);
}

void ThemeLibraryPage::ShowRecycleState() {
    const bool recycled = RecycledHasThemes(m_host.settings().ProgramFolder);
    m_padvbRemove->setIcon(buttonImage(recycled ? 11 : 12));
    setHint(m_padvbRemove, m_host.text("PAGE_QUILLORY", recycled ? "barbtn7" : "barbtn2"));
}

// --- Commands --------------------------------------------------------------------------

void ThemeLibraryPage::padvbApplayClick() {
    const int first = m_rows->firstSelected();
    if (first < 0) return;
    Settings& s = m_host.settings();
    s.cadvTheme = m_rows->row(first).path;
    m_host.showStatusMessage(m_host.text("STATUS_BAR", "msg3") + QStringLiteral(": ../advThemes/") +
                             decodedFileName(fileNamePart(s.cadvTheme)));
    // The message goes when the theme is on, or when showing it failed.
    struct ClearHint {
        PageHost& host;
        ~ClearHint() { host.clearHintMark(); }
    } clear{m_host};
    m_host.tbbONOFFPM00Click();
}

void ThemeLibraryPage::padvbCreateClick() {
    m_host.pressSelector(kBuilderSelectorTag);
}

void ThemeLibraryPage::padvbOpenClick() {
    Settings& s = m_host.settings();
    ThemeContext& themes = m_host.themes();
    // Step 2 runs whether or not the user confirmed, and also when an import failed.
    auto afterwards = [this] {
        m_advOpenDialog.initialDir.clear();
        m_advOpenDialog.noChangeDir = false;
        setDialogFilter();
        ShowRecycleState();
        sortRows();
        lvAdvancEnter();
    };
    try {
        std::vector<std::string> files;
        if (FileDialogs* dialogs = m_host.platform().fileDialogs.get())
            files =
                dialogs->getOpenFileNames({}, m_advOpenDialog.filter, m_advOpenDialog.initialDir);
        if (!files.empty()) {
            const ThemeListUpdate update(*m_rows);
            for (const std::string& file : files) {
                const bool added = AddThemePackage(themes, *m_rows, s.cadvTheme, file);
                // A package picked from a recycle folder moves back: the picked file goes once
                // its copy is in the library (never the library's own file, and never a
                // file the library refused).
                const bool ownFile =
                    file == themes.themeFolder() + "/" + std::string(FileNameOf(file));
                if (added && !ownFile && file.find("Recycled") != std::string::npos)
                    ::unlink(file.c_str());
            }
        }
    } catch (...) {
        afterwards();
        throw;
    }
    afterwards();
}

void ThemeLibraryPage::padvbRemPM2Click() {
    m_advOpenDialog.initialDir = m_host.settings().ProgramFolder + "/advThemes/Recycled";
    m_advOpenDialog.noChangeDir = true;
    setDialogFilter();
    padvbOpenClick();
    ShowRecycleState();
    lvAdvancEnter();
}

void ThemeLibraryPage::padvbRemoveClick() {
    if (RecycledHasThemes(m_host.settings().ProgramFolder))
        m_padvbRemPM->popup(m_padvbRemove->mapToGlobal(QPoint(16, 32)));
    else
        padvbRemPM1Click();
}

void ThemeLibraryPage::padvbRemPM1Click() {
    removeSelected(true);
}

void ThemeLibraryPage::padvbDeleteClick() {
    removeSelected(false);
}

void ThemeLibraryPage::removeSelected(bool recycle) {
    Settings& s = m_host.settings();
    int index = -1;
    {
        const ThemeListUpdate update(*m_rows);
        for (int first = m_rows->firstSelected(); first >= 0; first = m_rows->firstSelected()) {
            const std::string package = m_rows->row(first).path;
            if (package == s.cadvTheme) {
                s.cadvTheme.clear();
                ActiveDesktopOff(m_host.themes());
                m_host.showPicture({});
            }
            if (recycle)
                moveToRecycled(package);
            else
                ::unlink(package.c_str());  // a failed deletion leaves the file, unreported
            index = first;
            m_rows->removeRow(first);
        }
        // Reselect; the keyboard focus stays where it is.
        if (index > 0)
            m_rows->selectRow(index - 1);
        else if (m_rows->rowCount() > 0)
            m_rows->selectRow(0);
    }
    m_lvAdvanc->viewport()->update();
    if (recycle) ShowRecycleState();
    lvAdvancEnter();
}

void ThemeLibraryPage::moveToRecycled(const std::string& package) {
    // The recycle folder is made when it is missing, and a name it already holds gives the
    // newcomer a free one ("name (2).tvp"): both packages are kept.
    const std::string folder = m_host.settings().ProgramFolder + "/advThemes/Recycled";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string name(FileNameOf(package));
    for (int n = 1; n < 100000; ++n) {
        const std::string target = folder + "/" + numberedName(name, n);
        if (exists(target)) continue;
        if (RenameWithoutReplacing(package, target)) return;
        if (exists(target)) continue;  // taken meanwhile
        // Another file system: copy, and remove the package only once the copy is whole.
        try {
            CopyFileReplacing(package, target);
            ::unlink(package.c_str());
        } catch (const std::exception&) {
            // The package stays in the library, unreported, as every failed move does.
        }
        return;
    }
}

void ThemeLibraryPage::padvbReportClick() {
    const int first = m_rows->firstSelected();
    if (first < 0 || !m_host.reportPage()) return;
    const ThemeRow row = m_rows->row(first);
    m_host.reportPage()->makeReport(row.caption, row.path);
}

void ThemeLibraryPage::pilbDownloadClick() {
    m_host.openLink(m_host.settings().Links[2]);
}

void ThemeLibraryPage::padvbDownloadClick() {
    m_host.openLink(m_host.settings().Links[1]);
}

// --- List events -----------------------------------------------------------------------

void ThemeLibraryPage::lvAdvancDblClick() {
    if (m_padvbApplay->isEnabled()) padvbApplayClick();
}

bool ThemeLibraryPage::lvAdvancKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers & Qt::ControlModifier;
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (m_rows->hasSelection()) padvbApplayClick();
            return true;
        case Qt::Key_Insert:
            padvbOpenClick();
            return true;
        case Qt::Key_Delete:
            if ((modifiers & Qt::ShiftModifier) && m_padvbDelete->isEnabled())
                padvbDeleteClick();
            else if (m_padvbRemPM1->isEnabled())
                padvbRemPM1Click();
            return true;
        case Qt::Key_I:
            padvbDownloadClick();
            return true;
        case Qt::Key_R:
            if (m_padvbReport->isEnabled()) padvbReportClick();
            return true;
        case Qt::Key_N:
            if (!ctrl) return false;
            padvbCreateClick();
            return true;
        case Qt::Key_O:
            if (!ctrl) return false;
            padvbOpenClick();
            return true;
        default:
            return false;  // the view's own keys, then the window's shortcuts
    }
}

void ThemeLibraryPage::HandleThemeDrop(const std::vector<std::string>& names) {
    Settings& s = m_host.settings();
    auto afterwards = [this] {
        ShowRecycleState();
        lvAdvancEnter();
    };
    try {
        for (const std::string& name : names) {
            if (IsFolderWithEntries(name)) {
                TSearchAndAddThread search;
                search.Path = name;
                search.Kind = TSearchAndAddThread::ThemePackages;
                search.Start(m_host, this,
                             [this](const std::string& path, int) { searchFolder(path); });
                m_host.showStatusText(m_host.text("STATUS_BAR", "msg2") + QStringLiteral(": ") +
                                      decodedFileName(name) + QStringLiteral("/*.tvp"));
            } else {
                AddThemePackage(m_host.themes(), *m_rows, s.cadvTheme, name);
            }
        }
    } catch (...) {
        afterwards();
        throw;
    }
    afterwards();
}

void ThemeLibraryPage::searchFolder(const std::string& path) {
    // ScanThemeFolder on the dropped folder is the search itself: its subfolders first,
    // then the folder's own packages, each copied into the library. The view keeps its
    // rows; a package it lists already keeps its one row.
    {
        MergingThemeList merged(*m_rows);
        const ThemeListUpdate update(*m_rows);
        ScanThemeFolder(m_host.themes(), merged, m_host.settings().cadvTheme, path);
    }
    ShowRecycleState();
    lvAdvancEnter();
}

bool ThemeLibraryPage::dropEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            std::vector<std::string> names;
            for (const QUrl& url : drop->mimeData()->urls())
                if (url.isLocalFile()) names.push_back(encodedFileName(url.toLocalFile()));
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            m_host.guard([&] { HandleThemeDrop(names); });
            return true;
        }
        default:
            return false;
    }
}

bool ThemeLibraryPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_lvAdvanc) {
        switch (event->type()) {
            case QEvent::FocusIn:
            case QEvent::FocusOut:
                m_host.guard([this] { lvAdvancEnter(); });
                break;
            case QEvent::KeyPress: {
                auto* key = static_cast<QKeyEvent*>(event);
                bool taken = false;
                m_host.guard([&] { taken = lvAdvancKeyDown(key->key(), key->modifiers()); });
                if (taken) return true;
                break;
            }
            default:
                break;
        }
    } else if (watched == m_lvAdvanc->viewport()) {
        switch (event->type()) {
            case QEvent::MouseButtonRelease:
                m_host.guard([this] { lvAdvancEnter(); });
                break;
            case QEvent::MouseButtonDblClick:
                // Once the view has handled the click (and selected the row under it).
                QMetaObject::invokeMethod(
                    this, [this] { m_host.guard([this] { lvAdvancDblClick(); }); },
                    Qt::QueuedConnection);
                break;
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
                return dropEvent(event);
            default:
                break;
        }
    }
    return MainWindowPage::eventFilter(watched, event);
}

}  // namespace velluma
