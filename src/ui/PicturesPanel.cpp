#include "ui/PicturesPanel.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDrag>
#include <QDropEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <utility>

#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "core/ResolutionAgent.h"
#include "imagelists/FileAccess.h"
#include "imagelists/ListFile.h"
#include "imagelists/ListLibrary.h"
#include "imagelists/ListOperations.h"
#include "imagelists/PictureFile.h"
#include "imagelists/PictureView.h"
#include "imagelists/WallpaperSetter.h"
#include "platform/FileTools.h"
#include "platform/Platform.h"
#include "platform/SessionEnding.h"
#include "themes/Presenter.h"
#include "ui/ErrorReport.h"
#include "ui/Icons.h"
#include "ui/MetafileRenderer.h"
#include "ui/PageHost.h"
#include "ui/PictureListView.h"
#include "ui/PreviewImage.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

constexpr int kPanel5Width = 30;
constexpr int kViewWidth = 297;
constexpr int kColumnWidths[2] = {200, 77};
constexpr int kButtonSize = 22;
constexpr int kButtonX = 4;
constexpr int kStripWidth = 28;
constexpr int kStripHeight = 10;
constexpr std::size_t kMaxIconBytes = std::size_t(4) << 20;
constexpr int kMaxIconImages = 64;
// A dropped folder adds at most this many pictures, from at most this deep.
constexpr std::size_t kMaxFolderPictures = 100000;
constexpr int kMaxFolderDepth = 32;
const char* const kErrorCaption = "Error.:.";

// The texts of the six picture commands in section PAGE_IMAGE_LISTS.
const char* const kCommandKeys[6] = {"barbtn8",  "barbtn9",  "barbtn10",
                                     "barbtn11", "barbtn12", "barbtn13"};

bool isPictureName(std::string_view name) {
    return EndsWithNoCase(name, ".bmp") || EndsWithNoCase(name, ".jpg") ||
           EndsWithNoCase(name, ".jpeg");
}

bool sameLine(std::string_view line, const PictureRow& row) {
    return LinePicturePath(line) == row.caption && LineSizeText(line) == row.sizeText;
}

bool sameLineNoCase(std::string_view line, const PictureRow& row) {
    auto equal = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && EndsWithNoCase(a, b);
    };
    return equal(LinePicturePath(line), row.caption) && equal(LineSizeText(line), row.sizeText);
}

// The line of the list file that a picture row shows: its own line while the file still
// holds it there (a drag reorders the view alone), else the first line equal to it, letter
// case counting first, as file names on Linux differ by case. -1 when none is.
int findLine(const std::vector<std::string_view>& lines, const PictureRow& row, int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < lines.size() &&
        sameLine(lines[static_cast<std::size_t>(index)], row))
        return index;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (sameLine(lines[i], row)) return static_cast<int>(i);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (sameLineNoCase(lines[i], row)) return static_cast<int>(i);
    return -1;
}

// Pictures of a folder and its subfolders: each folder's own pictures in name order, then
// its subfolders. Hidden entries and links to folders are passed over; a folder reached
// twice is searched once.
void findPictures(const std::string& folder, int depth, std::set<std::pair<dev_t, ino_t>>& seen,
                  std::vector<std::string>& found) {
    struct stat st {};
    if (depth > kMaxFolderDepth || ::stat(folder.c_str(), &st) != 0 ||
        !seen.insert({st.st_dev, st.st_ino}).second)
        return;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.empty() && name.front() != '.') names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    std::vector<std::string> subfolders;
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        struct stat entry {};
        if (::lstat(path.c_str(), &entry) != 0) continue;
        if (S_ISDIR(entry.st_mode)) {
            subfolders.push_back(path);
        } else if (isPictureName(name) && ::stat(path.c_str(), &entry) == 0 &&
                   S_ISREG(entry.st_mode)) {
            if (found.size() >= kMaxFolderPictures) return;
            found.push_back(path);
        }
    }
    for (const std::string& subfolder : subfolders) findPictures(subfolder, depth + 1, seen, found);
}

// The largest picture of an icon file, read by Qt's icon reader.
QImage loadIcon(const std::string& path) {
    const std::string bytes = ReadFileBytes(path, kMaxIconBytes);
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    reader.setAllocationLimit(64);
    QImage best;
    const int count = std::min(reader.imageCount(), kMaxIconImages);
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i)) break;
        const QImage image = reader.read();
        if (!image.isNull() &&
            qint64(image.width()) * image.height() > qint64(best.width()) * best.height())
            best = image;
    }
    if (best.isNull()) throw std::runtime_error("The icon \"" + path + "\" cannot be read");
    return best;
}

// Disables a control for its lifetime, also when an error passes.
class Disabled final {
public:
    explicit Disabled(QWidget* control) : m_control(control) {
        if (m_control) {
            m_wasEnabled = m_control->isEnabled();
            m_control->setEnabled(false);
        }
    }
    ~Disabled() {
        if (m_control) m_control->setEnabled(m_wasEnabled);
    }
    Disabled(const Disabled&) = delete;
    Disabled& operator=(const Disabled&) = delete;

private:
    QPointer<QWidget> m_control;
    bool m_wasEnabled = true;
};

}  // namespace

// --- The rows --------------------------------------------------------------------------

// The view's rows behind the interface the list operations use.
class PictureViewRows final : public PictureView {
public:
    PictureViewRows(PicturesPanel& panel, PictureRowsModel& model, QTreeView& view)
        : m_panel(panel), m_model(model), m_view(view) {}

    int rowCount() const override { return m_model.rowCount(); }
    PictureRow row(int index) const override { return m_model.row(checked(index)); }
    void setRows(std::vector<PictureRow> rows) override {
        m_model.setRows(std::move(rows));
        if (m_depth == 0) m_panel.rowsChanged();
    }
    void clear() override { setRows({}); }
    int selectedRow() const override {
        const QModelIndexList rows = m_view.selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    void selectRow(int index) override {
        const QModelIndex at = m_model.index(checked(index), 0);
        m_view.selectionModel()->setCurrentIndex(
            at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_view.scrollTo(at);
    }
    void beginUpdate() override {
        if (m_depth++ == 0) m_view.setUpdatesEnabled(false);
    }
    void endUpdate() override {
        if (m_depth == 0 || --m_depth > 0) return;
        m_view.setUpdatesEnabled(true);
        m_panel.rowsChanged();
    }

private:
    int checked(int index) const {
        if (index < 0 || index >= rowCount()) throw std::out_of_range("no such picture row");
        return index;
    }

    PicturesPanel& m_panel;
    PictureRowsModel& m_model;
    QTreeView& m_view;
    int m_depth = 0;
};

// --- The panel -------------------------------------------------------------------------

PicturesPanel::PicturesPanel(PageHost& host, QWidget* half, QLabel* title, QWidget* lists,
                             std::function<void()> createList)
    : QWidget(half),
      m_host(host),
      m_title(title),
      m_lists(lists),
      m_createList(std::move(createList)) {
    setObjectName(QStringLiteral("pilPicturesPanel"));
    // The half becomes ours: its title moves into the preview and its filler goes.
    if (QLayout* halfLayout = half->layout()) {
        while (QLayoutItem* item = halfLayout->takeAt(0)) delete item;
        halfLayout->addWidget(this);
    }

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    m_panel5 = new QFrame(this);
    m_panel5->setObjectName(QStringLiteral("Panel5"));
    static_cast<QFrame*>(m_panel5)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel5->setFixedWidth(kPanel5Width);
    m_panel5->setMinimumHeight(180);
    buildButtons(m_panel5);
    row->addWidget(m_panel5);

    m_model = new PictureRowsModel(this);
    m_view = new PictureListView(m_host, *this, this);
    m_view->setObjectName(QStringLiteral("lvILFiles"));
    m_view->setModel(m_model);
    m_view->setItemDelegate(new PictureDelegate(m_view));
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSortingEnabled(false);
    m_view->setIconSize(QSize(16, 16));
    m_view->setMouseTracking(true);
    m_view->viewport()->setAttribute(Qt::WA_Hover);
    m_view->setDragEnabled(true);
    m_view->setDragDropMode(QAbstractItemView::DragDrop);
    m_view->setDefaultDropAction(Qt::MoveAction);
    m_view->setAcceptDrops(true);
    m_view->viewport()->setAcceptDrops(true);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->setFixedWidth(kViewWidth);
    QHeaderView* header = m_view->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    for (int c = 0; c < 2; ++c) header->resizeSection(c, kColumnWidths[c]);
    row->addWidget(m_view);
    m_rows = std::make_unique<PictureViewRows>(*this, *m_model, *m_view);

    m_pPrewiev = new QFrame(this);
    m_pPrewiev->setObjectName(QStringLiteral("pPrewiev"));
    m_pPrewiev->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette border = m_pPrewiev->palette();
    border.setColor(QPalette::WindowText, QColor(0xb9, 0xcc, 0xd6));
    m_pPrewiev->setPalette(border);
    auto* preview = new QVBoxLayout(m_pPrewiev);
    preview->setContentsMargins(1, 1, 1, 1);
    preview->setSpacing(0);
    m_title->setParent(m_pPrewiev);
    preview->addWidget(m_title);
    m_title->show();
    m_pilprewIMage =
        new PreviewImage(m_pPrewiev, [this] { m_host.guard([this] { pilprewIMageDblClick(); }); });
    preview->addWidget(m_pilprewIMage, 1);
    row->addWidget(m_pPrewiev, 1);

    buildMenu();
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                // Nothing happens when a row loses the selection.
                if (selected.isEmpty()) return;
                const int row = selected.indexes().first().row();
                m_host.guard([&] { lvILFilesSelectItem(row); });
            });
    connect(m_view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_pilIFPM->popup(m_view->viewport()->mapToGlobal(at)); });
    lvILFilesEnter();
    // The preview's title follows the selection a moment later.
    auto* timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("Timer2"));
    timer->setInterval(200);
    connect(timer, &QTimer::timeout, this, [this] { m_host.guard([this] { Timer2Timer(); }); });
    timer->start();
}

PicturesPanel::~PicturesPanel() = default;

PictureView& PicturesPanel::pictureView() {
    return *m_rows;
}

QTreeView* PicturesPanel::lvILFiles() const {
    return m_view;
}

QToolButton* PicturesPanel::addButton(QWidget* column, const char* name, int glyph, int y) {
    auto* button = new QToolButton(column);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(buttonImage(glyph));
    button->setIconSize(QSize(16, 16));
    button->setGeometry(kButtonX, y, kButtonSize, kButtonSize);
    button->setAutoRaise(true);
    // The pictures view keeps the keyboard focus, so the commands still see their row.
    button->setFocusPolicy(Qt::NoFocus);
    m_host.watchHover(button);
    return button;
}

void PicturesPanel::buildButtons(QWidget* column) {
    struct Button {
        const char* name;
        int glyph;
        int y;
        const char* strip;
        QColor ground;
        void (PicturesPanel::*command)();
    };
    const QColor buttonText = palette().color(QPalette::ButtonText);
    const Button buttons[5] = {
        {"pilbIFAdd", 13, 4, "Label3", QColor(0x00, 0x80, 0x00), &PicturesPanel::pilbIFAddClick},
        {"pilbIFRemove", 14, 39, "Label4", QColor(0x80, 0x00, 0x00),
         &PicturesPanel::pilbIFRemoveClick},
        {"pilbIFWallPaper", 15, 75, "Label5", QColor(0x00, 0x80, 0x80),
         &PicturesPanel::pilbIFWallPaperClick},
        {"pilbIFMoveUp", 17, 110, "Label1", buttonText, &PicturesPanel::pilbIFMoveUpClick},
        {"pilbIFMoveDown", 18, 145, "Label2", buttonText, &PicturesPanel::pilbIFMoveDownClick},
    };
    QToolButton** fields[5] = {&m_pilbIFAdd, &m_pilbIFRemove, &m_pilbIFWallPaper, &m_pilbIFMoveUp,
                               &m_pilbIFMoveDown};
    QFont small = font();
    small.setPixelSize(8);
    for (int i = 0; i < 5; ++i) {
        const Button& b = buttons[i];
        QToolButton* button = addButton(column, b.name, b.glyph, b.y);
        *fields[i] = button;
        const auto command = b.command;
        connect(button, &QToolButton::clicked, this,
                [this, command] { m_host.guard([&] { (this->*command)(); }); });
        auto* strip = new QLabel(column);
        strip->setObjectName(QString::fromLatin1(b.strip));
        strip->setGeometry(1, b.y + kButtonSize + 1, kStripWidth, kStripHeight);
        strip->setAlignment(Qt::AlignCenter);
        strip->setFont(small);
        strip->setAutoFillBackground(true);
        QPalette colours = strip->palette();
        colours.setColor(QPalette::Window, b.ground);
        colours.setColor(QPalette::WindowText, palette().color(QPalette::Base));
        strip->setPalette(colours);
        m_strips[i] = strip;
    }
}

void PicturesPanel::buildMenu() {
    m_pilIFPM = new QMenu(this);
    m_pilIFPM->setObjectName(QStringLiteral("pilIFPM"));
    const int glyphs[6] = {13, 14, 15, 16, 17, 18};
    void (PicturesPanel::*commands[6])() = {
        &PicturesPanel::pilbIFAddClick,       &PicturesPanel::pilbIFRemoveClick,
        &PicturesPanel::pilbIFWallPaperClick, &PicturesPanel::pilbIFChangeClick,
        &PicturesPanel::pilbIFMoveUpClick,    &PicturesPanel::pilbIFMoveDownClick};
    for (int i = 0; i < 6; ++i) {
        QAction* item = m_pilIFPM->addAction(buttonImage(glyphs[i]), QString());
        item->setObjectName(QStringLiteral("pilIFPM%1").arg(i));
        const auto command = commands[i];
        connect(item, &QAction::triggered, this,
                [this, command] { m_host.guard([&] { (this->*command)(); }); });
        m_menuItems[i] = item;
    }
    connect(m_pilIFPM, &QMenu::aboutToShow, this,
            [this] { m_host.guard([this] { pilIFPMPopup(); }); });
}

void PicturesPanel::applyLanguage() {
    auto t = [this](const char* key) { return m_host.text("PAGE_IMAGE_LISTS", key); };
    m_model->setHeaders(t("lvilfilescolumn0"), t("lvilfilescolumn1"));
    if (m_pilprewIMage->caption() != QLatin1String(kErrorCaption))
        m_pilprewIMage->setCaption(t("prewievPanel"));
    m_title->setText(QStringLiteral(":: ") + m_host.text("PAGES_ARTICLES", "p6") +
                     QStringLiteral("::"));
    QToolButton* buttons[5] = {m_pilbIFAdd, m_pilbIFRemove, m_pilbIFWallPaper, m_pilbIFMoveUp,
                               m_pilbIFMoveDown};
    const char* hints[5] = {"barbtn8", "barbtn9", "barbtn10", "barbtn12", "barbtn13"};
    for (int i = 0; i < 5; ++i) {
        setHint(buttons[i], t(hints[i]));
        const std::string key = "wa" + std::to_string(i);
        m_strips[i]->setText(m_host.text("WALLPAPERS_ACTIONS", key.c_str()));
    }
    for (int i = 0; i < 6; ++i) m_menuItems[i]->setText(literalMenuText(t(kCommandKeys[i])));
}

// --- Selection, enabled states and preview ------------------------------------------------

void PicturesPanel::rowsChanged() {
    try {
        if (m_rows->rowCount() == 0) m_pilprewIMage->clear();
        updateButtons();
    } catch (const std::exception&) {
        // Called as a bracket closes, perhaps while an error passes: nothing may escape.
    }
}

int PicturesPanel::selectedList() const {
    const ListLibrary* lists = m_host.listLibrary();
    if (!lists) return -1;
    const std::vector<int> rows = lists->selectedRows();
    return rows.size() == 1 ? rows.front() : -1;
}

void PicturesPanel::refill(int list) {
    const ListLibrary* lists = m_host.listLibrary();
    FillPictureView(*m_rows, *lists, list);
}

void PicturesPanel::updateButtons() {
    const bool active = m_rows->selectedRow() >= 0 && m_view->hasFocus();
    for (QToolButton* b : {m_pilbIFRemove, m_pilbIFWallPaper, m_pilbIFMoveUp, m_pilbIFMoveDown})
        b->setEnabled(active);
    m_pilbIFAdd->setEnabled(true);
}

void PicturesPanel::lvILFilesEnter() {
    updateButtons();
    if (m_rows->rowCount() > 0 && m_view->isVisible() && m_view->isEnabled() &&
        m_view->hasFocus() && m_rows->selectedRow() < 0 && m_view->currentIndex().row() != 0)
        m_rows->selectRow(0);
}

void PicturesPanel::pilIFPMPopup() {
    const bool active = m_rows->selectedRow() >= 0 && m_view->hasFocus();
    for (int i : {1, 2, 4, 5}) m_menuItems[i]->setEnabled(active);
    m_menuItems[0]->setEnabled(true);
    m_menuItems[3]->setEnabled(true);
}

void PicturesPanel::previewFirstRow() {
    if (m_rows->rowCount() > 0)
        lvILFilesSelectItem(0);
    else
        m_pilprewIMage->clear();
}

void PicturesPanel::lvILFilesSelectItem(int row) {
    lvILFilesEnter();
    m_pilprewIMage->clear();
    m_pilprewIMage->repaint();
    if (row < 0 || row >= m_rows->rowCount()) return;
    previewFile(m_rows->row(row).caption);
}

void PicturesPanel::previewFile(const std::string& path) {
    const std::string extension = UpperExtension(path);
    const bool raster = extension == ".BMP" || extension == ".JPG" || extension == ".JPEG";
    const bool metafile = extension == ".WMF" || extension == ".EMF";
    // A stale "Error.:." would describe the picture before this one.
    m_pilprewIMage->setCaption(m_host.text("PAGE_IMAGE_LISTS", "prewievPanel"));
    if (!raster && !metafile && extension != ".ICO") return;  // nothing to show
    try {
        if (raster)
            m_pilprewIMage->showRgb(DecodePicture(path));
        else if (metafile)
            m_pilprewIMage->showMetafile(Metafile::load(path));
        else
            m_pilprewIMage->showImage(loadIcon(path));
    } catch (const std::exception&) {
        m_pilprewIMage->clear();
        m_pilprewIMage->repaint();
        m_pilprewIMage->setCaption(QString::fromLatin1(kErrorCaption));
    }
}

void PicturesPanel::Timer2Timer() {
    const QString title =
        QStringLiteral(".: ") + m_host.text("PAGES_ARTICLES", "p6") + QStringLiteral(":..");
    const int row = m_rows->selectedRow();
    if (row >= 0) {
        m_title->setText(title + decodedFileName(fileNamePart(m_rows->row(row).caption)));
    } else {
        m_title->setText(title);
        m_view->header()->viewport()->update();
    }
}

void PicturesPanel::pilprewIMageDblClick() {
    if (!m_pilprewIMage->hasPicture()) return;
    Settings& settings = m_host.settings();
    const WallpaperContext context{settings.ProgramFolder, settings.options,
                                   *m_host.platform().registry, *m_host.platform().wallpaperRefresh,
                                   [this] { return m_host.agent().GetResolution(); }};
    RgbImage picture;
    if (const Metafile* metafile = m_pilprewIMage->metafile()) {
        // A drawing has no pixels of its own: one that is going to be stretched is drawn at
        // the desktop's size, which gives the same picture, only sharp.
        QSize size = metafile->naturalSize();
        const ScreenSize desktop = context.desktopSize();
        if (desktop.width > 0 && desktop.height > 0 &&
            (DisplayModeFor(settings.options, size.width(), size.height()) == kStretchMode ||
             size.width() > desktop.width || size.height() > desktop.height))
            size = QSize(desktop.width, desktop.height);
        picture = toRgb(metafile->render(size));
    } else {
        picture = m_pilprewIMage->ownSize();
    }
    ActiveDesktopOff(m_host.themes());
    SetWallpaperImage(context, picture);
}

// --- Commands ------------------------------------------------------------------------

void PicturesPanel::reportNoList() {
    m_host.showStatusMessage(m_host.text("PAGE_IMAGE_LISTS", "msg0"));
}

void PicturesPanel::reportRefusal(const std::string& picture, PictureRefusal why, bool stopped) {
    const char* reason = why == PictureRefusal::Name         ? "msg4"
                         : why == PictureRefusal::CannotOpen ? "msg5"
                                                             : "msg6";
    m_host.showStatusMessage(m_host.text("PAGE_IMAGE_LISTS", stopped ? "msg3" : "msg2") +
                             QStringLiteral(": ") + decodedFileName(fileNamePart(picture)) +
                             QStringLiteral(" (") + m_host.text("PAGE_IMAGE_LISTS", reason) +
                             QStringLiteral(")"));
}

bool PicturesPanel::appendPictures(const std::string& listPath,
                                   const std::vector<std::string>& pictures) {
    // Folder searches wait meanwhile; the file is read and written after the measuring,
    // with nothing in between.
    m_busy = true;
    struct Idle {
        bool& busy;
        ~Idle() { busy = false; }
    } idle{m_busy};

    std::vector<std::string> lines;
    bool refused = false;
    for (auto it = pictures.begin(); it != pictures.end(); ++it) {
        if (!isPictureName(*it)) continue;  // other files are ignored
        AdmittedPicture admitted = AdmitPicture(*it);
        if (admitted.refusal != PictureRefusal::None) {
            const bool more = std::any_of(std::next(it), pictures.end(),
                                          [](const std::string& p) { return isPictureName(p); });
            reportRefusal(*it, admitted.refusal, more);
            refused = true;
            break;
        }
        lines.push_back(std::move(admitted.line));
        // Big pictures take a while to measure: keep painting, but take no input meanwhile.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (sessionEnding()) break;  // what is measured is kept; the rest waits for no one
    }
    if (!lines.empty()) {
        const std::string bytes = ReadListFile(listPath);
        std::vector<std::string_view> all = SplitListLines(bytes);
        all.insert(all.end(), lines.begin(), lines.end());
        WriteListFile(listPath, all);
        if (ListLibrary* lists = m_host.listLibrary()) {
            for (const int index : lists->findRows(listPath)) {
                ListRow row = lists->row(index);
                row.count = std::to_string(all.size());
                lists->setRow(index, row);
            }
        }
    }
    return !refused;
}

void PicturesPanel::pilbIFAddClick() {
    ListLibrary* lists = m_host.listLibrary();
    if (!lists) return;
    if (lists->rowCount() == 0) {
        // No list yet: make one first, as the list tool bar does.
        if (m_createList) m_createList();
        return;
    }
    const int list = selectedList();
    if (list < 0) {
        reportNoList();
        return;
    }
    const std::string listPath = lists->row(list).path;
    const QString filter = m_host.text("PAGE_QUILLORY", "filter3") +
                           QStringLiteral(" (*.bmp *.jpg *.jpeg *.BMP *.JPG *.JPEG)");
    const std::vector<std::string> files = m_host.platform().fileDialogs->getOpenFileNames(
        m_host.text("PAGE_IMAGE_LISTS", "barbtn8").toStdString(), filter.toStdString(),
        m_pictureFolder);
    if (files.empty()) return;
    m_pictureFolder = folderOf(files.front());
    appendPictures(listPath, files);

    // The dialog ran its own event loop: the list may have moved meanwhile.
    const std::vector<int> rows = lists->findRows(listPath);
    if (rows.empty() || selectedList() != rows.front()) return;
    refill(rows.front());
    const int count = m_rows->rowCount();
    if (count >= 2)
        m_rows->selectRow(count - 2);
    else if (count == 1)
        m_rows->selectRow(0);
    lvILFilesEnter();
}

void PicturesPanel::pictureGone(int list) {
    refill(list);
    lvILFilesEnter();
    m_host.showStatusMessage(m_host.text("PAGE_IMAGE_LISTS", "msg1"));
}

void PicturesPanel::pilbIFRemoveClick() {
    const int list = selectedList();
    const int row = m_rows->selectedRow();
    if (list < 0 || row < 0) return;
    ListLibrary& lists = *m_host.listLibrary();
    ListRow listRow = lists.row(list);
    const std::string bytes = ReadListFile(listRow.path);
    std::vector<std::string_view> lines = SplitListLines(bytes);
    const int index = findLine(lines, m_rows->row(row), row);
    if (index < 0) {
        pictureGone(list);
        return;
    }
    lines.erase(lines.begin() + index);
    WriteListFile(listRow.path, lines);
    listRow.count = std::to_string(lines.size());
    lists.setRow(list, listRow);
    refill(list);
    if (index > 0)
        m_rows->selectRow(index - 1);
    else if (m_rows->rowCount() > 0)
        m_rows->selectRow(0);
    lvILFilesEnter();
}

void PicturesPanel::movePicture(bool up) {
    const int list = selectedList();
    const int row = m_rows->selectedRow();
    if (list < 0 || row < 0) return;
    const std::string path = m_host.listLibrary()->row(list).path;
    const std::string bytes = ReadListFile(path);
    std::vector<std::string_view> lines = SplitListLines(bytes);
    const int index = findLine(lines, m_rows->row(row), row);
    if (index < 0) {
        pictureGone(list);
        return;
    }
    // The first picture up and the last one down swap the first and the last entries.
    const int last = static_cast<int>(lines.size()) - 1;
    int moved = 0;
    if (up)
        moved = index == 0 ? last : index - 1;
    else
        moved = index < last ? index + 1 : 0;
    std::swap(lines[static_cast<std::size_t>(index)], lines[static_cast<std::size_t>(moved)]);
    if (moved != index) WriteListFile(path, lines);
    refill(list);
    m_rows->selectRow(moved);
    lvILFilesEnter();
}

void PicturesPanel::pilbIFMoveUpClick() {
    movePicture(true);
}

void PicturesPanel::pilbIFMoveDownClick() {
    movePicture(false);
}

void PicturesPanel::pilbIFWallPaperClick() {
    const int list = selectedList();
    const int row = m_rows->selectedRow();
    if (list < 0 || row < 0) return;
    Settings& settings = m_host.settings();
    settings.cIList = m_host.listLibrary()->row(list).path;
    settings.cImg = m_rows->row(row).caption;
    m_host.tbbONOFFPM01Click();
}

void PicturesPanel::pilbIFChangeClick() {
    const int list = selectedList();
    const int row = m_rows->selectedRow();
    if (list < 0 || row < 0) return;
    const std::string listPath = m_host.listLibrary()->row(list).path;
    const PictureRow old = m_rows->row(row);
    const QString filter = m_host.text("PAGE_QUILLORY", "filter3") +
                           QStringLiteral(" (*.bmp *.jpg *.jpeg *.BMP *.JPG *.JPEG)");
    const std::vector<std::string> files = m_host.platform().fileDialogs->getOpenFileNames(
        m_host.text("PAGE_IMAGE_LISTS", "barbtn11").toStdString(), filter.toStdString(),
        m_pictureFolder.empty() ? folderOf(old.caption) : m_pictureFolder);
    if (files.empty()) return;
    const std::string& picture = files.front();
    m_pictureFolder = folderOf(picture);
    const AdmittedPicture admitted = isPictureName(picture)
                                         ? AdmitPicture(picture)
                                         : AdmittedPicture{{}, PictureRefusal::NotAPicture};
    if (admitted.refusal != PictureRefusal::None) {
        reportRefusal(picture, admitted.refusal, false);
        return;
    }
    const std::string& line = admitted.line;

    // The dialog ran its own event loop: find the list and its line again.
    ListLibrary& lists = *m_host.listLibrary();
    const std::vector<int> rows = lists.findRows(listPath);
    if (rows.empty()) return;
    const std::string bytes = ReadListFile(listPath);
    std::vector<std::string_view> lines = SplitListLines(bytes);
    const int index = findLine(lines, old, row);
    if (index < 0) {
        if (selectedList() == rows.front()) pictureGone(rows.front());
        return;
    }
    lines[static_cast<std::size_t>(index)] = line;
    WriteListFile(listPath, lines);
    Settings& settings = m_host.settings();
    if (settings.cIList == listPath && settings.cImg == old.caption) settings.cImg = picture;
    if (selectedList() != rows.front()) return;
    refill(rows.front());
    m_rows->selectRow(index);
    lvILFilesEnter();
}

bool PicturesPanel::lvILFilesKeyDown(const QKeyEvent& event) {
    const int key = event.key();
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool keypad = modifiers & Qt::KeypadModifier;
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        if (m_pilbIFWallPaper->isEnabled()) pilbIFWallPaperClick();
        return true;
    }
    if (key == Qt::Key_Up && shift && m_pilbIFMoveUp->isEnabled()) {
        pilbIFMoveUpClick();
        return true;
    }
    if (key == Qt::Key_Down && shift && m_pilbIFMoveDown->isEnabled()) {
        pilbIFMoveDownClick();
        return true;
    }
    if (key == Qt::Key_Delete) {
        if (m_pilbIFRemove->isEnabled()) pilbIFRemoveClick();
        return true;
    }
    if (key == Qt::Key_Insert) {
        pilbIFAddClick();
        return true;
    }
    // Ctrl+O, also on the keypad's divide key; without Ctrl these keys do nothing.
    if (key == Qt::Key_O || (keypad && key == Qt::Key_Slash)) {
        if (ctrl) pilbIFAddClick();
        return true;
    }
    return false;
}

void PicturesPanel::lvILFilesDblClick() {
    if (m_rows->selectedRow() >= 0) pilbIFWallPaperClick();
}

void PicturesPanel::lvILFilesDragDrop(int dragged, int target) {
    const int count = m_rows->rowCount();
    if (dragged < 0 || dragged >= count) return;
    if (target < 0 || target > count) target = count;
    const int at = m_model->moveRowBefore(dragged, target);
    m_rows->selectRow(at);
}

void PicturesPanel::HandlePictureDrop(const std::vector<std::string>& names) {
    const Disabled lists(m_lists);
    const int list = selectedList();
    const std::string listPath = list >= 0 ? m_host.listLibrary()->row(list).path : std::string();
    std::vector<std::string> pictures;
    bool ignored = false;
    for (const std::string& name : names) {
        if (IsFolderWithEntries(name)) {
            if (list < 0) {
                ignored = true;
                continue;
            }
            m_searches.push_back({name, listPath});
            m_host.showStatusMessage(m_host.text("STATUS_BAR", "msg2") + QStringLiteral(": ") +
                                     decodedFileName(name) + QStringLiteral("/*.bmp|*.jpg|*.jpeg"));
        } else if (isPictureName(name)) {
            if (list < 0)
                ignored = true;
            else
                pictures.push_back(name);
        }
    }
    if (ignored) reportNoList();
    if (!pictures.empty()) {
        appendPictures(listPath, pictures);
        refillIfShown(listPath);
    }
    // The folders are searched once the drop has been answered.
    if (!m_searches.empty()) scheduleFolderSearch(0);
}

void PicturesPanel::scheduleFolderSearch(int delay) {
    QTimer::singleShot(delay, this, [this] { m_host.guard([this] { startFolderSearches(); }); });
}

void PicturesPanel::startFolderSearches() {
    if (m_searches.empty()) return;
    if (m_busy) {  // pictures are being added: after them
        scheduleFolderSearch(100);
        return;
    }
    const FolderSearch search = m_searches.front();
    m_searches.pop_front();
    searchFolder(search.folder, search.listPath);
    if (!m_searches.empty()) scheduleFolderSearch(0);
}

void PicturesPanel::searchFolder(const std::string& folder, const std::string& listPath) {
    const Disabled lists(m_lists);
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<std::string> pictures;
    findPictures(folder, 0, seen, pictures);
    const bool allAdded = appendPictures(listPath, pictures);
    refillIfShown(listPath);
    if (allAdded && m_searches.empty()) {
        // The search is over: "Searching" must not stay in the status line.
        m_host.clearHintMark();
        m_host.UpdateStatusBar();
    }
}

void PicturesPanel::refillIfShown(const std::string& listPath) {
    const ListLibrary* lists = m_host.listLibrary();
    if (!lists) return;
    const std::vector<int> rows = lists->findRows(listPath);
    if (!rows.empty() && selectedList() == rows.front()) refill(rows.front());
}

}  // namespace velluma
