#include "ui/BuilderPage.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

#include "core/Options.h"
#include "core/ResolutionAgent.h"
#include "formats/JpegSource.h"
#include "platform/FileTools.h"
#include "platform/Platform.h"
#include "themes/BuiltPackage.h"
#include "themes/PageGenerator.h"
#include "themes/ThemeContext.h"
#include "themes/ThemeFiles.h"
#include "themes/ThemeList.h"
#include "themes/ThemePackage.h"
#include "ui/ClampingSpinBox.h"
#include "ui/Icons.h"
#include "ui/MoviePreview.h"
#include "ui/PageHost.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

// Positions are given from the page's top; its title bar takes the first 17 pixels.
constexpr int kTitleHeight = 17;
constexpr int kFrameBorder = 3;
constexpr const char* kCaption = "Velluma v1.2";
constexpr const char* kFileNotFound = "File not found.";
constexpr const char* kPictureFilter = "JPG (JFIF JPEG) (*.jpg *.jpeg)";
// The player's words for the entries of cbquality; the entries show the language's names.
const char* const kPlayerQualities[6] = {"Low", "Autolow", "Autohigh", "Medium", "High", "Best"};

// The current rounding mode rounds halves to the even neighbour.
int roundEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

bool isFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

QString colourText(Rgb c) {
    return QString::fromStdString(ColourText(c.red, c.green, c.blue));
}

std::optional<Rgb> parseColour(const QString& text) {
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1Char('#'))) digits.remove(0, 1);
    if (digits.size() != 6) return std::nullopt;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok) return std::nullopt;
    return Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
               static_cast<std::uint8_t>(value)};
}

QIcon swatch(Rgb c) {
    QPixmap pixmap(14, 14);
    pixmap.fill(QColor(c.red, c.green, c.blue));
    QPainter painter(&pixmap);
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(0, 0, 13, 13);
    return QIcon(pixmap);
}

void paintBackground(QWidget* widget, Rgb c) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColor(c.red, c.green, c.blue));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Palettes rather than style sheets: a style sheet would give the children another font.
void paintText(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// Line breaks as theme.cfg keeps them.
std::string crLfText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toStdString();
}

// The staging folder is only a step on the way to the package.
class StagingFolder {
public:
    explicit StagingFolder(std::string path) : m_path(std::move(path)) {}
    ~StagingFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

private:
    std::string m_path;
};

// Holds a flag up for a scope and runs a step when it comes down, also after an error.
class Busy {
public:
    Busy(bool& flag, std::function<void()> done) : m_flag(flag), m_done(std::move(done)) {
        m_flag = true;
        m_done();
    }
    ~Busy() {
        m_flag = false;
        m_done();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    bool& m_flag;
    std::function<void()> m_done;
};

}  // namespace

BuilderPage::BuilderPage(PageHost& host, QWidget* sheet) : MainWindowPage(host, sheet) {
    build();
}

void BuilderPage::build() {
    m_area = new QWidget(m_sheet);
    m_area->setObjectName(QStringLiteral("BuilderArea"));
    m_area->setMinimumSize(520, 356 - kTitleHeight);
    layout()->addWidget(m_area);
    layout()->addStretch(1);

    auto place = [this](QWidget* w, const char* name, int x, int y, int width, int height) {
        w->setParent(m_area);
        placeControl(w, name, x, y, width, height, kTitleHeight);
    };
    auto label = [&](const char* name, int x, int y, int width, int height = 16) {
        auto* l = new QLabel(m_area);
        place(l, name, x, y, width, height);
        return l;
    };
    // A file field: the edit and its browse button share the field's width.
    auto fileField = [&](QLineEdit*& edit, QToolButton*& button, const char* name, int x, int y,
                         int width, int height) {
        edit = new QLineEdit(m_area);
        place(edit, name, x, y, width - height - 1, height);
        edit->setClearButtonEnabled(true);
        button = new QToolButton(m_area);
        place(button, (std::string(name) + "Button").c_str(), x + width - height, y, height,
              height);
        button->setText(QStringLiteral("\u2026"));
        button->setFocusPolicy(Qt::TabFocus);
    };

    m_lbminihelp = label("lbminihelp", 4, 24, 514);
    m_lbffile = label("lbffile", 4, 40, 221, 15);
    fileField(m_foeffile, m_foeffileButton, "foeffile", 4, 55, 221, 21);
    m_lbbgcolor = label("lbbgcolor", 4, 88, 221);
    fileField(m_cebgcolor, m_cebgcolorButton, "cebgcolor", 4, 104, 221, 20);
    m_cebgcolor->setClearButtonEnabled(false);
    m_cebgcolor->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("#?[0-9A-Fa-f]{0,6}")), m_cebgcolor));
    m_cebgcolor->setMaxLength(7);
    QAction* swatchAction = m_cebgcolorSwatch =
        m_cebgcolor->addAction(swatch(m_colour), QLineEdit::LeadingPosition);
    swatchAction->setObjectName(QStringLiteral("cebgcolorSwatch"));
    m_lbbgimg = label("lbbgimg", 4, 136, 221);
    fileField(m_fobgimg, m_fobgimgButton, "fobgimg", 4, 152, 221, 21);

    // The preview area stands for the whole desktop; the frame for the movie.
    m_panel6 = new QFrame(m_area);
    place(m_panel6, "Panel6", 4, 200, 221, 137);
    m_panel6->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    paintBackground(m_panel6, {});
    m_image1 = new QLabel(m_panel6);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setGeometry(m_panel6->contentsRect());
    m_image1->setScaledContents(true);
    m_image1->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_panel7 = new QFrame(m_panel6);
    m_panel7->setObjectName(QStringLiteral("panel7"));
    m_panel7->setCursor(Qt::SizeAllCursor);
    m_panel7->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_panel7->setLineWidth(kFrameBorder);
    auto* frameLayout = new QVBoxLayout(m_panel7);
    frameLayout->setContentsMargins(0, 0, 0, 0);  // the frame's line keeps it off the border
    m_flash = new MoviePreview(m_panel7);
    m_flash->setPageProgram(decodedFileName(m_host.settings().InstallFolder) +
                            QStringLiteral("/velluma-page"));
    frameLayout->addWidget(m_flash);
    m_panel6->installEventFilter(this);
    m_panel7->installEventFilter(this);
    m_lbalign = label("lbalign", 4, 340, 221);

    m_lbdescription = label("lbdescription", 238, 40, 270, 15);
    m_meDescription = new QPlainTextEdit(m_area);
    place(m_meDescription, "meDescription", 240, 55, 270, 70);
    m_meDescription->setTabChangesFocus(true);
    m_lbname = label("lbname", 238, 136, 158);
    m_edname = new QLineEdit(m_area);
    place(m_edname, "edname", 240, 152, 153, 21);
    m_lbauthor = label("lbauthor", 398, 136, 112);
    m_edauthor = new QLineEdit(m_area);
    place(m_edauthor, "edauthor", 400, 152, 110, 21);
    m_lbw = label("lbw", 238, 184, 158);
    m_RxSpinEdit1 = new ClampingSpinBox(m_area);
    place(m_RxSpinEdit1, "RxSpinEdit1", 240, 200, 153, 21);
    m_lbquality = label("lbquality", 398, 184, 112);
    m_cbquality = new QComboBox(m_area);
    place(m_cbquality, "cbquality", 400, 200, 110, 21);
    for (const char* q : kPlayerQualities) m_cbquality->addItem(QString::fromLatin1(q));
    m_cbquality->setCurrentIndex(4);
    m_lbh = label("lbh", 238, 232, 158);
    m_RxSpinEdit2 = new ClampingSpinBox(m_area);
    place(m_RxSpinEdit2, "RxSpinEdit2", 240, 248, 153, 21);
    for (QSpinBox* box : {m_RxSpinEdit1, m_RxSpinEdit2}) {
        box->setRange(1, 100);
        box->setValue(50);
        box->setSuffix(QStringLiteral(" %"));
    }
    m_lbnote = label("lbnote", 240, 272, 161, 73);
    m_lbnote->setWordWrap(true);
    m_lbnote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    paintText(m_lbnote, QColor(0x4a, 0x5a, 0x63));
    m_bcreate = new QPushButton(m_area);
    place(m_bcreate, "bcreate", 408, 304, 110, 34);
    m_bcreate->setIcon(buttonImage(5));
    m_bcreate->setIconSize(QSize(16, 16));
    m_bcreate->setEnabled(false);

    // Field labels in the title's colour; regular weight leaves room for longer languages.
    for (QLabel* l : {m_lbffile, m_lbbgcolor, m_lbbgimg, m_lbdescription, m_lbname, m_lbauthor,
                      m_lbw, m_lbquality, m_lbh})
        paintText(l, QColor(0x10, 0x59, 0x78));

    // Tab order follows the page's columns.
    QWidget::setTabOrder(m_foeffile, m_foeffileButton);
    QWidget::setTabOrder(m_foeffileButton, m_cebgcolor);
    QWidget::setTabOrder(m_cebgcolor, m_cebgcolorButton);
    QWidget::setTabOrder(m_cebgcolorButton, m_fobgimg);
    QWidget::setTabOrder(m_fobgimg, m_fobgimgButton);
    QWidget::setTabOrder(m_fobgimgButton, m_meDescription);
    QWidget::setTabOrder(m_meDescription, m_edname);
    QWidget::setTabOrder(m_edname, m_edauthor);
    QWidget::setTabOrder(m_edauthor, m_RxSpinEdit1);
    QWidget::setTabOrder(m_RxSpinEdit1, m_cbquality);
    QWidget::setTabOrder(m_cbquality, m_RxSpinEdit2);
    QWidget::setTabOrder(m_RxSpinEdit2, m_bcreate);

    PageHost& w = m_host;
    connect(m_foeffile, &QLineEdit::textChanged, this,
            [this, &w] { w.guard([this] { foeffileChange(); }); });
    connect(m_edname, &QLineEdit::textChanged, this,
            [this, &w] { w.guard([this] { foeffileChange(); }); });
    connect(m_cebgcolor, &QLineEdit::textChanged, this,
            [this, &w] { w.guard([this] { cebgcolorChange(); }); });
    connect(m_fobgimg, &QLineEdit::textChanged, this,
            [this, &w] { w.guard([this] { fobgimgChange(); }); });
    for (QSpinBox* box : {m_RxSpinEdit1, m_RxSpinEdit2})
        connect(box, &QSpinBox::valueChanged, this,
                [this, &w] { w.guard([this] { RxSpinEdit1Change(); }); });
    connect(m_cbquality, &QComboBox::currentIndexChanged, this,
            [this, &w] { w.guard([this] { cbqualityChange(); }); });
    connect(m_bcreate, &QPushButton::clicked, this,
            [this, &w] { w.guard([this] { bcreateClick(); }); });
    connect(m_foeffileButton, &QToolButton::clicked, this,
            [this, &w] { w.guard([this] { browseMovie(); }); });
    connect(m_fobgimgButton, &QToolButton::clicked, this,
            [this, &w] { w.guard([this] { browsePicture(); }); });
    connect(m_cebgcolorButton, &QToolButton::clicked, this,
            [this, &w] { w.guard([this] { chooseColour(); }); });
    connect(swatchAction, &QAction::triggered, this,
            [this, &w] { w.guard([this] { chooseColour(); }); });
    setColour({});
    sizeFrame();
}

void BuilderPage::formCreate() {
    m_picturePath.clear();
    m_lastX = 0;
    m_lastY = 0;
    m_cbquality->setCurrentIndex(4);
    cbqualityChange();
    m_bcreate->setEnabled(false);
}

void BuilderPage::applyLanguage() {
    auto t = [this](const char* key) { return m_host.text("PAGE_EDITOR", key); };
    m_lbffile->setText(t("caption0"));
    m_lbbgcolor->setText(t("caption1"));
    m_lbquality->setText(t("caption3"));
    for (int i = 0; i < m_cbquality->count(); ++i)  // renamed in place: the choice stays
        m_cbquality->setItemText(i, t(("cbitem" + std::to_string(i)).c_str()));
    m_lbdescription->setText(t("caption4"));
    m_lbname->setText(t("caption5"));
    m_lbauthor->setText(t("caption6"));
    // One line: a longer help text is cut, and shown whole as the label's tip.
    const QString help = t("caption7");
    m_lbminihelp->setText(
        m_lbminihelp->fontMetrics().elidedText(help, Qt::ElideRight, m_lbminihelp->width()));
    m_lbminihelp->setToolTip(m_lbminihelp->text() == help ? QString() : help);
    m_bcreate->setText(t("caption8"));
    m_bcreate->setToolTip(t("caption8"));
    m_bcreate->setProperty("hint", t("caption8"));
    m_lbw->setText(t("caption9"));
    m_lbh->setText(t("caption10"));
    m_lbnote->setText(t("caption11"));
    m_lbbgimg->setText(t("caption12"));
    m_foeffile->setProperty(
        "filter", m_host.text("PAGE_QUILLORY", "filter1") + QStringLiteral(" (*.swf)|*.swf"));
    m_fobgimg->setProperty("filter", QStringLiteral("JPG (JFIF JPEG)|*.jpg;*.jpeg"));
    for (QToolButton* b : {m_foeffileButton, m_fobgimgButton, m_cebgcolorButton})
        b->setToolTip(b == m_cebgcolorButton  ? t("caption1")
                      : b == m_foeffileButton ? t("caption0")
                                              : t("caption12"));
    m_flash->setTexts({t("preview0"), t("preview1"), t("preview2"), t("preview3"), t("preview4"),
                       t("preview5"), t("preview6"), t("preview7"), t("preview8"), t("preview9"),
                       t("preview10")});
    // The preview starts again from black, with the frame sized from the boxes.
    setColour({});
    sizeFrame();
    keepFrameInside();
    updateAlign();
}

QString BuilderPage::statusText() const {
    return m_host.text("BUTTONLIST_CAPTIONS", "hint3");
}

// --- Handlers -------------------------------------------------------------------------

void BuilderPage::foeffileChange() {
    updateCreateEnabled();
    const QString movie = m_foeffile->text();
    if (!isFile(encodedFileName(movie))) return;
    if (movie != m_flash->movie()) m_flash->setMovie(movie);
    m_edname->setFocus();
}

void BuilderPage::cebgcolorChange() {
    if (m_cebgcolor->text().isEmpty()) return;
    // A colour still being typed leaves the preview as it is.
    if (const auto parsed = parseColour(m_cebgcolor->text())) setColour(*parsed);
}

void BuilderPage::fobgimgChange() {
    const QString text = m_fobgimg->text();
    if (text.isEmpty()) {
        m_image1->clear();
        return;
    }
    // Nothing to show while a path is still being typed.
    const std::string path = encodedFileName(text);
    if (!isFile(path)) return;
    const RgbImage decoded = ReadAllRows(*JpegSource::openFile(path));
    const QImage view(decoded.pixels.data(), decoded.width, decoded.height,
                      qsizetype(decoded.width) * 3, QImage::Format_RGB888);
    // Only the preview's size is kept, not the whole picture.
    const QSize size = m_image1->size() * m_image1->devicePixelRatioF();
    m_image1->setPixmap(
        QPixmap::fromImage(view.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void BuilderPage::RxSpinEdit1Change() {
    try {
        for (QSpinBox* box : {m_RxSpinEdit1, m_RxSpinEdit2}) {
            if (box->value() < 1) box->setValue(1);
            if (box->value() > 100) box->setValue(100);
        }
        // Resized first, then kept inside: a grown frame must not stick out of the area.
        sizeFrame();
        keepFrameInside();
        updateAlign();
    } catch (...) {
        // The frame keeps whatever it reached; nothing here is worth a message.
    }
}

void BuilderPage::cbqualityChange() {
    const int index = m_cbquality->currentIndex();
    m_flash->setQuality2(index >= 0 ? QString::fromLatin1(kPlayerQualities[index]) : QString());
}

void BuilderPage::Panel7MouseMove(bool fromFrame, int x, int y, Qt::MouseButtons buttons) {
    if (fromFrame) {
        x += m_panel7->x();
        y += m_panel7->y();
    }
    if (!(buttons & Qt::LeftButton) || (x == m_lastX && y == m_lastY)) return;
    const auto place = [](int pointer, int area, int frame) {
        const int last = std::max(0, area - frame);
        if (pointer < 0) return 0;
        if (pointer > last) return last;
        return std::min(pointer + 1, last);  // the frame never leaves the area
    };
    m_panel7->move(place(x, m_panel6->width(), m_panel7->width()),
                   place(y, m_panel6->height(), m_panel7->height()));
    m_lastX = x;
    m_lastY = y;
    updateAlign();
}

void BuilderPage::bcreateClick() {
    if (m_building) return;
    // Everything is read now: archive work lets the user edit the page meanwhile.
    const std::string name = encodedFileName(m_edname->text());
    const std::string movie = encodedFileName(m_foeffile->text());
    const std::string author = m_edauthor->text().toStdString();
    const std::string description = crLfText(m_meDescription->toPlainText());

    if (const std::string problem = ThemeNameProblem(name); !problem.empty())
        return refuse(problem);
    if (!isFile(movie)) return refuse(kFileNotFound);
    m_picturePath = encodedFileName(m_fobgimg->text());
    const std::string& picture = m_picturePath;
    if (!picture.empty() && !isFile(picture)) return refuse(kFileNotFound);
    const std::string movieName(FileNameOf(movie));
    const std::string pictureName(FileNameOf(picture));
    for (const std::string& file : {movieName, pictureName}) {
        if (file.empty()) continue;
        if (const std::string problem = CompanionNameProblem(file); !problem.empty())
            return refuse(problem);
    }
    if (!pictureName.empty() &&
        QString::fromStdString(pictureName)
                .compare(QString::fromStdString(movieName), Qt::CaseInsensitive) == 0)
        return refuse("The movie and the picture have the same file name \"" + movieName +
                      "\". Please rename one of them.");

    ThemeContext& themes = m_host.themes();
    const std::string programFolder = themes.programFolder;
    const NumberedFolder staging =
        CreateNumberedFolder(programFolder + "/advThemes/WorkDir", themes.clock.tickCount() - 100u);
    const StagingFolder cleanup(staging.path);
    const std::string stagingName = std::to_string(staging.number);
    const std::string files = StagingFilesFolder(programFolder, stagingName);
    std::filesystem::create_directory(files);
    CopyFileReplacing(movie, files + "/" + movieName);
    if (!picture.empty()) CopyFileReplacing(picture, files + "/" + pictureName);

    BuilderInputs inputs;
    inputs.red = m_colour.red;
    inputs.green = m_colour.green;
    inputs.blue = m_colour.blue;
    inputs.picturePath = picture;
    inputs.moviePath = movie;
    inputs.widthPercent = m_RxSpinEdit1->value();
    inputs.heightPercent = m_RxSpinEdit2->value();
    inputs.quality = m_cbquality->currentIndex();
    inputs.frameLeft = m_panel7->x();
    inputs.frameTop = m_panel7->y();
    inputs.areaWidth = m_panel6->width();
    inputs.areaHeight = m_panel6->height();
    WriteStyleSheet(programFolder, stagingName, inputs);
    WriteResolScript(programFolder, stagingName);
    WriteIndexPage(programFolder, stagingName, inputs, m_host.agent().GetResolution());

    const std::string package = themes.themeFolder() + "/" + name + ".tvp";
    {
        const Busy busy(m_building, [this] { updateCreateEnabled(); });
        // A failure here ends the command with its message; the inputs stay for another try.
        PackBuiltTheme(
            package,
            {files, movieName, pictureName, BuiltThemeConfigText(name, author, description)},
            themes.processEvents);
    }

    // A package rebuilt under its old name already has its row.
    if (ThemeList* list = m_host.themeList(); list && list->findRows(package).empty())
        AddThemePackage(themes, *list, m_host.settings().cadvTheme, package);
    m_foeffile->clear();
    m_edname->clear();
    updateCreateEnabled();
    m_host.settings().cadvTheme = package;
    m_host.pressSelector(0);
}

// --- Helpers --------------------------------------------------------------------------

bool BuilderPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove && (watched == m_panel6 || watched == m_panel7)) {
        const auto* move = static_cast<QMouseEvent*>(event);
        const QPoint at = move->position().toPoint();
        m_host.guard(
            [&] { Panel7MouseMove(watched == m_panel7, at.x(), at.y(), move->buttons()); });
        return true;  // handled here: passed on to the area, it would move the frame twice
    }
    return MainWindowPage::eventFilter(watched, event);
}

void BuilderPage::browseMovie() {
    FileDialogs* dialogs = m_host.platform().fileDialogs.get();
    if (!dialogs) return;
    const QString filter = m_host.text("PAGE_QUILLORY", "filter1") + QStringLiteral(" (*.swf)");
    const QString current = m_foeffile->text();
    const auto chosen = dialogs->getOpenFileNames(
        m_lbffile->text().toStdString(), filter.toStdString(),
        current.isEmpty() ? std::string() : encodedFileName(QFileInfo(current).absolutePath()));
    if (!chosen.empty()) m_foeffile->setText(decodedFileName(chosen.front()));
}

void BuilderPage::browsePicture() {
    FileDialogs* dialogs = m_host.platform().fileDialogs.get();
    if (!dialogs) return;
    const QString current = m_fobgimg->text();
    const auto chosen = dialogs->getOpenFileNames(
        m_lbbgimg->text().toStdString(), kPictureFilter,
        current.isEmpty() ? std::string() : encodedFileName(QFileInfo(current).absolutePath()));
    if (!chosen.empty()) m_fobgimg->setText(decodedFileName(chosen.front()));
}

void BuilderPage::chooseColour() {
    ColourDialog* dialog = m_host.platform().colourDialog.get();
    if (!dialog) return;
    if (const auto chosen = dialog->chooseColour(m_lbbgcolor->text().toStdString(), m_colour))
        m_cebgcolor->setText(colourText(*chosen));
}

void BuilderPage::setColour(Rgb colour) {
    m_colour = colour;
    const QString text = colourText(colour);
    if (parseColour(m_cebgcolor->text()) != colour) {
        const QSignalBlocker block(m_cebgcolor);
        m_cebgcolor->setText(text);
    }
    if (m_cebgcolorSwatch) m_cebgcolorSwatch->setIcon(swatch(colour));
    paintBackground(m_panel6, colour);
    const Rgb inverse{static_cast<std::uint8_t>(~colour.red),
                      static_cast<std::uint8_t>(~colour.green),
                      static_cast<std::uint8_t>(~colour.blue)};
    paintBackground(m_panel7, inverse);
    paintText(m_panel7, QColor(255, 0, 0));  // the frame's border
}

void BuilderPage::sizeFrame() {
    m_panel7->resize(roundEven(m_RxSpinEdit1->value() * m_panel6->width() / 100.0),
                     roundEven(m_RxSpinEdit2->value() * m_panel6->height() / 100.0));
}

void BuilderPage::keepFrameInside() {
    const int left =
        std::clamp(m_panel7->x(), 0, std::max(0, m_panel6->width() - m_panel7->width()));
    const int top =
        std::clamp(m_panel7->y(), 0, std::max(0, m_panel6->height() - m_panel7->height()));
    m_panel7->move(left, top);
}

void BuilderPage::updateAlign() {
    const ScreenSize desktop = m_host.agent().GetResolution();
    const auto scaled = [](int extent, int edge, int area) {
        return area > 0 ? roundEven(static_cast<double>(extent) * edge / area) : 0;
    };
    m_lbalign->setText(m_host.text("PAGE_EDITOR", "caption2") + QStringLiteral(": X=") +
                       QString::number(scaled(desktop.width, m_panel7->x(), m_panel6->width())) +
                       QStringLiteral("  Y=") +
                       QString::number(scaled(desktop.height, m_panel7->y(), m_panel6->height())));
}

void BuilderPage::updateCreateEnabled() {
    m_bcreate->setEnabled(!m_building && !m_foeffile->text().isEmpty() &&
                          !m_edname->text().isEmpty());
}

void BuilderPage::refuse(const std::string& message) {
    m_host.platform().messageBoxes->show(message, kCaption, MessageIcon::Error, MessageButtons::Ok);
}

}  // namespace velluma
