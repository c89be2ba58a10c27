// The theme builder page on the real window.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "formats/IniFile.h"
#include "support/TestPaths.h"
#include "themes/DesktopComponents.h"
#include "themes/PageGenerator.h"
#include "themes/Presenter.h"
#include "themes/ThemeList.h"
#include "themes/ZipArchive.h"
#include "ui/BuilderPage.h"
#include "ui/MoviePreview.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

const char* kEditorTexts =
    "[PAGE_EDITOR]\r\ncaption0=Movie\r\ncaption1=Colour\r\ncaption2=Movie position\r\n"
    "caption5=Name\r\ncaption8=Build\r\ncaption12=Picture\r\n"
    "[PAGE_QUILLORY]\r\nfilter1=Flash movies\r\n";

std::string le16(unsigned v) {
    return {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
}

// A 550 x 400 movie, 24 frames a second, 120 frames, background #336699.
std::string movieBytes() {
    // Frame rect: 15-bit fields 0, 11000, 0, 8000 twips.
    std::string rect;
    std::uint64_t bits = 0;
    int count = 0;
    const auto put = [&](std::uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            bits = bits << 1 | ((value >> i) & 1);
            if (++count % 8 == 0) rect += static_cast<char>(bits & 0xff);
        }
    };
    put(15, 5);
    for (std::uint32_t v : {0u, 11000u, 0u, 8000u}) put(v, 15);
    while (count % 8 != 0) put(0, 1);
    const std::string body = rect + le16(24 << 8) + le16(120) + le16(9 << 6 | 3) + "\x33\x66\x99" +
                             le16(1 << 6) + le16(0);
    const std::size_t length = 8 + body.size();
    return std::string("FWS\x06", 4) + le16(length & 0xffff) + le16(length >> 16) + body;
}

std::vector<std::string> archiveNames(const std::string& path) {
    const ZipReader reader = ZipReader::openFile(path);
    std::vector<std::string> names;
    for (const ZipEntry& e : reader.entries()) names.push_back(e.name);
    return names;
}

std::string archiveEntry(const std::string& path, const std::string& name) {
    const ZipReader reader = ZipReader::openFile(path);
    const auto index = reader.findFile(name);
    return index ? reader.read(*index, 1 << 20) : std::string();
}

bool emptyFolder(const std::string& path) {
    return std::filesystem::is_empty(path);
}

class BuilderPageTest : public test::WindowFixture {
protected:
    BuilderPageTest() {
        folder.makeFolder("advThemes/Recycled");
        workDir = folder.makeFolder("advThemes/WorkDir");
        const std::string language = folder.file("Languages/alpha.lng");
        folder.write("Languages/alpha.lng", std::string(test::kAlpha) + kEditorTexts);
        window->language().Load(language);
        window->ApplyLanguage();
        builder = window->builderPage();
        movie = folder.write("media/fly.swf", movieBytes());
        picture = folder.file("media/back.jpg");
        QImage image(64, 40, QImage::Format_RGB32);
        image.fill(QColor(20, 140, 160));
        image.save(QString::fromStdString(picture), "JPG");
    }

    QLineEdit* edit(const char* name) { return child<QLineEdit>(name); }
    QPushButton* create() { return child<QPushButton>("bcreate"); }
    QWidget* frame() { return child<QWidget>("panel7"); }
    MoviePreview* preview() { return child<MoviePreview>("ShockwaveFlash1"); }
    std::string package(const std::string& name) {
        return folder.file("advThemes/" + name + ".tvp");
    }

    void fill(const std::string& name, const std::string& movieFile, const std::string& pictureFile,
              const QString& description = {}) {
        edit("foeffile")->setText(QString::fromStdString(movieFile));
        edit("fobgimg")->setText(QString::fromStdString(pictureFile));
        edit("edname")->setText(QString::fromStdString(name));
        edit("edauthor")->setText(QStringLiteral("Ann"));
        child<QPlainTextEdit>("meDescription")->setPlainText(description);
    }
    void drag(QWidget* source, int x, int y, Qt::MouseButtons buttons = Qt::LeftButton) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), source->mapToGlobal(QPointF(x, y)),
                         Qt::NoButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(source, &move);
    }

    BuilderPage* builder = nullptr;
    std::string workDir, movie, picture;
};

TEST_F(BuilderPageTest, CreateNeedsBothAMovieAndAName) {
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->pressSelector(3);
    EXPECT_FALSE(create()->isEnabled());

    edit("foeffile")->setText(QString::fromStdString(movie));
    EXPECT_FALSE(create()->isEnabled());
    EXPECT_TRUE(edit("edname")->hasFocus());  // the movie is there: on to its name
    ASSERT_TRUE(preview()->header());
    EXPECT_DOUBLE_EQ(preview()->header()->stage->widthPixels(), 550);

    QTest::keyClicks(edit("edname"), QStringLiteral("Aurora"));
    EXPECT_TRUE(create()->isEnabled());
    edit("edname")->clear();
    EXPECT_FALSE(create()->isEnabled());
    edit("foeffile")->clear();
    edit("edname")->setText(QStringLiteral("Aurora"));
    EXPECT_FALSE(create()->isEnabled());
}

TEST_F(BuilderPageTest, TypedPercentagesClampAndSizeTheFrameHalvesToEven) {
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->pressSelector(3);
    struct Case {
        const char* typed;
        int kept, frameWidth;
    };
    for (const Case c : {Case{"0", 1, 2}, Case{"150", 100, 221}, Case{"50", 50, 110},
                         Case{"1000", 100, 221}, Case{"25", 25, 55}}) {
        for (auto* box : {child<QSpinBox>("RxSpinEdit1"), child<QSpinBox>("RxSpinEdit2")}) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(box, QString::fromLatin1(c.typed));
            QTest::keyClick(box, Qt::Key_Tab);  // the focus moves on
            EXPECT_EQ(box->value(), c.kept) << box->objectName().toStdString() << " " << c.typed;
        }
        EXPECT_EQ(frame()->width(), c.frameWidth) << c.typed;
    }
    child<QSpinBox>("RxSpinEdit2")->setValue(50);
    EXPECT_EQ(frame()->height(), 68);  // 68.5

    // A frame that grows at the right edge moves back inside.
    child<QSpinBox>("RxSpinEdit1")->setValue(20);
    drag(child<QWidget>("Panel6"), 300, 0);
    EXPECT_EQ(frame()->x(), 221 - 44);
    child<QSpinBox>("RxSpinEdit1")->setValue(60);
    EXPECT_EQ(frame()->x() + frame()->width(), 221);
}

TEST_F(BuilderPageTest, DraggingFollowsThePointerAndStaysInTheArea) {
    QWidget* area = child<QWidget>("Panel6");
    ASSERT_EQ(frame()->size(), QSize(110, 68));  // 50 % of 221 x 137
    struct Move {
        bool onFrame;
        int x, y;
        Qt::MouseButtons buttons;
        int left, top;
    };
    const Move moves[] = {
        {false, -5, -9, Qt::LeftButton, 0, 0},       // past the left and top edges
        {false, 500, 400, Qt::LeftButton, 111, 69},  // past the right and bottom edges
        {false, 40, 30, Qt::LeftButton, 41, 31},     // inside: the pointer plus one
        {true, 10, 5, Qt::LeftButton, 52, 37},       // frame coordinates: 51, 36
        {false, 111, 69, Qt::LeftButton, 111, 69},   // plus one would leave the area
        {false, 20, 20, Qt::NoButton, 111, 69},      // not dragging
        {false, 20, 20, Qt::RightButton, 111, 69},
    };
    for (const Move& m : moves) {
        drag(m.onFrame ? frame() : area, m.x, m.y, m.buttons);
        EXPECT_EQ(frame()->pos(), QPoint(m.left, m.top)) << m.x << "," << m.y;
    }
}

TEST_F(BuilderPageTest, ReadoutGivesTheCornerInDesktopPixels) {
    drag(child<QWidget>("Panel6"), 109, -1);
    ASSERT_EQ(frame()->pos(), QPoint(110, 0));
    // 1024 x 110 / 221 = 509.68
    EXPECT_EQ(child<QLabel>("lbalign")->text(), QStringLiteral("Movie position: X=510  Y=0"));
    drag(child<QWidget>("Panel6"), 20, 68);
    EXPECT_EQ(child<QLabel>("lbalign")->text(),
              QStringLiteral("Movie position: X=97  Y=387"));  // 97.3, 386.8
}

TEST_F(BuilderPageTest, ColourPaintsThePreviewAndATextSwitchResetsIt) {
    auto& colours = static_cast<test::NextAnswerColourDialog&>(*platform.colourDialog);
    colours.nextAnswers.push_back(Rgb{255, 0, 0});
    child<QToolButton>("cebgcolorButton")->click();
    EXPECT_EQ(edit("cebgcolor")->text(), QStringLiteral("#FF0000"));
    EXPECT_EQ(child<QWidget>("Panel6")->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(frame()->palette().color(QPalette::Window), QColor(0, 255, 255));  // inverse
    EXPECT_EQ(builder->colour(), (Rgb{255, 0, 0}));

    child<QToolButton>("cebgcolorButton")->click();  // cancelled
    ASSERT_EQ(colours.asked.size(), 2u);
    EXPECT_EQ(colours.asked[1], (Rgb{255, 0, 0}));
    EXPECT_EQ(builder->colour(), (Rgb{255, 0, 0}));

    edit("cebgcolor")->setText(QStringLiteral("#8000"));  // still being typed
    EXPECT_EQ(builder->colour(), (Rgb{255, 0, 0}));
    edit("cebgcolor")->setText(QStringLiteral("#800000"));
    EXPECT_EQ(builder->colour(), (Rgb{128, 0, 0}));

    window->ApplyLanguage();
    EXPECT_EQ(edit("cebgcolor")->text(), QStringLiteral("#000000"));
    EXPECT_EQ(child<QWidget>("Panel6")->palette().color(QPalette::Window), QColor(0, 0, 0));
    EXPECT_EQ(frame()->palette().color(QPalette::Window), QColor(255, 255, 255));
}

TEST_F(BuilderPageTest, BrowseButtonsFillTheFieldsWithTheirFilters) {
    auto& dialogs = static_cast<test::NextAnswerFileDialogs&>(*platform.fileDialogs);
    dialogs.nextAnswers.push_back({movie});
    child<QToolButton>("foeffileButton")->click();
    EXPECT_EQ(edit("foeffile")->text().toStdString(), movie);
    dialogs.nextAnswers.push_back({picture});
    child<QToolButton>("fobgimgButton")->click();
    EXPECT_EQ(edit("fobgimg")->text().toStdString(), picture);
    child<QToolButton>("fobgimgButton")->click();  // cancelled: the field stays
    EXPECT_EQ(edit("fobgimg")->text().toStdString(), picture);

    ASSERT_EQ(dialogs.asked.size(), 3u);
    EXPECT_EQ(dialogs.asked[0].filter, "Flash movies (*.swf)");
    EXPECT_EQ(dialogs.asked[0].title, "Movie");
    EXPECT_EQ(dialogs.asked[1].filter, "JPG (JFIF JPEG) (*.jpg *.jpeg)");
    EXPECT_EQ(dialogs.asked[2].folder, folder.file("media"));
}

TEST_F(BuilderPageTest, BuildsAPackageWithOrWithoutAPicture) {
    struct Case {
        std::string name;
        bool withPicture;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"Aurora", true, {"index.htm", "theme.cfg", "fly.swf", "back.jpg", "resol.js", "css.css"}},
        {"Plain", false, {"index.htm", "theme.cfg", "fly.swf", "resol.js", "css.css"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->pressSelector(3);
        fill(c.name, movie, c.withPicture ? picture : "",
             QStringLiteral("Northern lights\nover the sea"));
        ASSERT_TRUE(create()->isEnabled());
        create()->click();
        EXPECT_TRUE(boxes().shown.empty());

        const std::string path = package(c.name);
        EXPECT_EQ(archiveNames(path), c.entries);
        const std::string config = archiveEntry(path, "theme.cfg");
        EXPECT_EQ(config, "[Name]\r\nThemeName=" + c.name +
                              "\r\n[Author]\r\nThemeAuthor=Ann\r\n[Style]\r\nindex=0\r\n"
                              "[Description]\r\nDescription=Northern lights\r\nover the sea\r\n"
                              "[Files]\r\nstartup=\\index.htm");
        EXPECT_EQ(IniFile(config).readString("Description", "Description"), "Northern lights");
        EXPECT_EQ(archiveEntry(path, "fly.swf"), movieBytes());

        // The library shows the new theme; the name and movie fields are ready for the next.
        EXPECT_EQ(page(), 0);
        ASSERT_NE(window->desktop().themeList(), nullptr);
        EXPECT_EQ(window->desktop().themeList()->findRows(path).size(), 1u);
        EXPECT_EQ(settings.cadvTheme, path);
        EXPECT_TRUE(edit("foeffile")->text().isEmpty());
        EXPECT_TRUE(edit("edname")->text().isEmpty());
        EXPECT_FALSE(create()->isEnabled());
        EXPECT_EQ(edit("edauthor")->text(), QStringLiteral("Ann"));
        EXPECT_EQ(preview()->movie().toStdString(), movie);  // still previewed
        EXPECT_TRUE(emptyFolder(workDir));                   // no staging left behind
    }
}

TEST_F(BuilderPageTest, AppliedPackageShowsTheGeneratedPage) {
    platform.registry->createKey(Hive::ClassesRoot, kActiveDesktopClassKey);
    platform.registry->createKey(Hive::ClassesRoot, kFlashPlayerClassKey);
    drag(child<QWidget>("Panel6"), 109, -1);  // left 110 of 221: 50 %
    child<QComboBox>("cbquality")->setCurrentIndex(1);
    fill("Aurora", movie, picture);
    create()->click();
    ASSERT_TRUE(boxes().shown.empty());

    const auto applied = ApplyThemePackage(*themes, package("Aurora"), "");
    ASSERT_TRUE(applied);
    const std::string fixtures = VELLUMA_SOURCE_DIR "/tests/unit/themes/fixtures/";
    EXPECT_EQ(test::readFile(applied->workFolder + "/resol.js"),
              test::readFile(fixtures + "resol.js"));
    EXPECT_EQ(test::readFile(applied->workFolder + "/css.css"),
              test::readFile(fixtures + "css_black.css"));
    BuilderInputs inputs;
    inputs.picturePath = picture;
    inputs.moviePath = movie;
    inputs.widthPercent = 50;
    inputs.heightPercent = 50;
    inputs.quality = 1;
    inputs.frameLeft = 110;
    inputs.areaWidth = 221;
    inputs.areaHeight = 137;
    const std::string index = test::readFile(applied->workFolder + "/index.htm");
    EXPECT_EQ(index, IndexPageText(inputs, {1024, 768}));
    for (const char* line : {"\r\n<img src=\"back.jpg\" width=100% height=100%>\r\n",
                             "\r\nWriteLT(50,0)\r\n", "\r\nWriteWH(50,50)\r\n",
                             "<param name=quality value=autolow>", "width=\"512\" height=\"384\""})
        EXPECT_NE(index.find(line), std::string::npos) << line;
    EXPECT_EQ(applied->startPage, applied->workFolder + "/index.htm");
}

TEST_F(BuilderPageTest, MissingFilesAndUnusableNamesWriteNothing) {
    struct Case {
        std::string name, movieFile, pictureFile, message;
    };
    const std::string gone = folder.file("media/gone.swf");
    const Case cases[] = {
        {"Aurora", gone, "", "File not found."},
        {"Aurora", folder.file("media"), "", "File not found."},  // a folder is no movie
        {"Aurora", movie, folder.file("media/gone.jpg"), "File not found."},
        {"   ", movie, "", "Please give the theme a name."},
        {"a/b", movie, "", "A theme name cannot contain \"/\": it names the theme's package file."},
        {"../../evil", movie, "",
         "A theme name cannot contain \"/\": it names the theme's package file."},
    };
    window->pressSelector(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " " + c.movieFile + " " + c.pictureFile);
        boxes().shown.clear();
        fill(c.name, c.movieFile, c.pictureFile);
        create()->click();
        ASSERT_EQ(boxes().shown.size(), 1u);
        EXPECT_EQ(boxes().shown[0].text, c.message);
        EXPECT_EQ(boxes().shown[0].caption, "Velluma v1.2");
        EXPECT_EQ(boxes().shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(page(), 3);
        EXPECT_EQ(edit("edname")->text().toStdString(), c.name);  // nothing of it lost
        EXPECT_TRUE(emptyFolder(workDir));
        EXPECT_EQ(test::readFile(folder.file("advThemes/Aurora.tvp")), "");
    }
    EXPECT_FALSE(test::fileExists(folder.file("evil.tvp")));
}

TEST_F(BuilderPageTest, RebuildingUnderTheSameNameReplacesEntriesAndKeepsOneRow) {
    fill("Aurora", movie, picture);
    create()->click();
    fill("Aurora", movie, "");
    create()->click();
    EXPECT_TRUE(boxes().shown.empty());
    const std::string path = package("Aurora");
    EXPECT_EQ(archiveNames(path), (std::vector<std::string>{"index.htm", "theme.cfg", "fly.swf",
                                                            "resol.js", "css.css", "back.jpg"}));
    EXPECT_EQ(window->desktop().themeList()->findRows(path).size(), 1u);
}

TEST_F(BuilderPageTest, AFailedPackIsReportedAndLosesNothing) {
    const std::string notes = folder.write("advThemes/Aurora.tvp", "my notes, not a package");
    window->pressSelector(3);
    fill("Aurora", movie, picture);
    create()->click();
    ASSERT_EQ(boxes().shown.size(), 1u);
    EXPECT_EQ(boxes().shown[0].caption, "Velluma");
    EXPECT_NE(boxes().shown[0].text.find("cannot be updated"), std::string::npos);
    EXPECT_EQ(test::readFile(notes), "my notes, not a package");
    EXPECT_EQ(window->desktop().themeList()->rowCount(), 0);
    EXPECT_EQ(page(), 3);
    EXPECT_EQ(edit("edname")->text(), QStringLiteral("Aurora"));
    EXPECT_TRUE(create()->isEnabled());  // ready for another try
    EXPECT_TRUE(emptyFolder(workDir));
}

TEST_F(BuilderPageTest, APictureThatCannotBeReadKeepsTheOldOne) {
    auto* image = child<QLabel>("Image1");
    edit("fobgimg")->setText(QString::fromStdString(picture));
    ASSERT_FALSE(image->pixmap().isNull());
    const QImage shown = image->pixmap().toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2).blue() > 100, true);

    edit("fobgimg")->setText(QString::fromStdString(folder.file("media/ba")));  // being typed
    EXPECT_TRUE(boxes().shown.empty());
    edit("fobgimg")->setText(QString::fromStdString(folder.write("media/bad.jpg", "not a jpeg")));
    ASSERT_EQ(boxes().shown.size(), 1u);
    EXPECT_EQ(boxes().shown[0].caption, "Velluma");
    EXPECT_EQ(image->pixmap().toImage(), shown);

    edit("fobgimg")->clear();
    EXPECT_TRUE(image->pixmap().isNull());
}

TEST_F(BuilderPageTest, PreviewShowsTheStageAndTheQuality) {
    EXPECT_EQ(preview()->quality2(), QStringLiteral("High"));
    child<QComboBox>("cbquality")->setCurrentIndex(1);
    EXPECT_EQ(preview()->quality2(), QStringLiteral("Autolow"));

    edit("foeffile")->setText(QString::fromStdString(movie));
    EXPECT_EQ(preview()->lines(),
              (QStringList{QStringLiteral("fly.swf"), QStringLiteral("550 \u00d7 400 px"),
                           QStringLiteral("24 fps \u00b7 120 frames")}));
    EXPECT_EQ(preview()->header()->stage->background, 0x336699u);
    // Fitted whole and centred, as the player fits it: 550 x 400 into 104 x 62.
    EXPECT_EQ(preview()->stageRect(QSizeF(104, 62)), QRectF(9.375, 0, 85.25, 62));
    EXPECT_TRUE(frame()->toolTip().contains(QStringLiteral("Autolow")));

    edit("foeffile")->setText(QString::fromStdString(folder.write("media/notes.swf", "hello")));
    EXPECT_FALSE(preview()->header());
    EXPECT_FALSE(preview()->problem().isEmpty());
    EXPECT_EQ(preview()->lines().value(1), QStringLiteral("Not a readable Flash movie"));
}

}  // namespace
}  // namespace velluma
