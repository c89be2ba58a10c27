#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>

#include "formats/BmpCodec.h"
#include "imagelists/FileAccess.h"
#include "imagelists/ListFile.h"
#include "imagelists/ListLibrary.h"
#include "imagelists/ListOperations.h"
#include "imagelists/PictureView.h"
#include "ui/ImageListPage.h"
#include "ui/MetafileFixtures.h"
#include "ui/PicturesPanel.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

const char* kPictureTexts =
    "[PAGE_IMAGE_LISTS]\r\nlvilfilescolumn0=Picture\r\nlvilfilescolumn1=Size\r\n"
    "prewievPanel=Nothing to preview\r\nbarbtn4=Create\r\nbarbtn8=Add pictures\r\n"
    "barbtn9=Remove picture\r\nbarbtn10=Set as wallpaper\r\nbarbtn11=Change picture\r\n"
    "barbtn12=Move up\r\nbarbtn13=Move down\r\n"
    "msg2=Refused\r\nmsg3=Stopped at\r\nmsg4=bad name\r\nmsg5=cannot open\r\nmsg6=no picture\r\n"
    "[PAGES_ARTICLES]\r\np5=Pictures in the list\r\np6=Preview\r\n"
    "[WALLPAPERS_ACTIONS]\r\nwa0=ADD\r\nwa1=DEL\r\nwa2=SET\r\nwa3=UP\r\nwa4=DOWN\r\n"
    "[PAGE_QUILLORY]\r\nfilter3=Pictures\r\n";

class PicturesPanelTest : public test::WindowFixture {
protected:
    PicturesPanelTest() {
        folder.write("Languages/alpha.lng", std::string(test::kAlpha) + kPictureTexts);
        folder.makeFolder("imgLists/Recycled");
        folder.makeFolder("imgLists/WorkDir");
        std::filesystem::remove(folder.file("imgLists/abstract.lst"));
        std::filesystem::remove(folder.file("imgLists/corvalix.lst"));
        settings.options.ActivePage = 1;  // the lists are on display
        restart();
    }

    void restart() {
        window.reset();
        window = std::make_unique<TfMain>(*context);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    PicturesPanel& pictures() { return *window->findChild<PicturesPanel*>(); }
    PictureView& rows() { return pictures().pictureView(); }
    QTreeView* view() { return pictures().lvILFiles(); }
    ListLibrary& lists() { return window->listPage()->listLibrary(); }
    QToolButton* button(const char* name) { return child<QToolButton>(name); }
    test::NextAnswerFileDialogs& dialogs() {
        return static_cast<test::NextAnswerFileDialogs&>(*platform.fileDialogs);
    }

    // A picture of one colour; BMP, JPEG or ICO by its extension.
    std::string picture(const std::string& name, int width = 8, int height = 6,
                        QColor colour = Qt::red) {
        const std::string path = folder.file("pics/" + name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        QImage image(width, height, QImage::Format_RGB888);
        image.fill(colour);
        if (EndsWithNoCase(name, ".bmp")) {
            RgbImage rgb{width, height, {}};
            for (int y = 0; y < height; ++y)
                rgb.pixels.insert(rgb.pixels.end(), image.constScanLine(y),
                                  image.constScanLine(y) + width * 3);
            folder.write("pics/" + name, EncodeBmp24(rgb));
        } else {
            EXPECT_TRUE(image.save(QString::fromStdString(path),
                                   EndsWithNoCase(name, ".ico") ? "ICO" : "JPG", 95));
        }
        return path;
    }
    static std::string line(const std::string& path, int width = 8, int height = 6) {
        return path + "?" + std::to_string(width) + "*" + std::to_string(height);
    }
    std::string writeList(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& l : lines) text += l + "\r\n";
        return folder.write("imgLists/" + name, text);
    }
    std::vector<std::string> fileLines(const std::string& name) {
        const std::string text = test::readFile(folder.file("imgLists/" + name));
        std::vector<std::string> all;
        for (std::string_view l : SplitListLines(text)) all.emplace_back(l);
        return all;
    }
    std::vector<std::string> captions() {
        std::vector<std::string> all;
        for (int i = 0; i < rows().rowCount(); ++i) all.push_back(rows().row(i).caption);
        return all;
    }
    int listRow(const std::string& name) {
        for (int i = 0; i < lists().rowCount(); ++i)
            if (lists().row(i).caption == name) return i;
        return -1;
    }
    // Selects the list, as a click in lvILists does.
    void selectList(const std::string& name) {
        auto* lvILists = window->listPage()->lvILists();
        lvILists->setFocus();
        lvILists->clearSelection();
        lists().selectRow(listRow(name));
    }
    // Writes the lists, starts the window on them and selects the first.
    void open(const std::vector<std::pair<std::string, std::vector<std::string>>>& all) {
        for (const auto& [name, lines] : all) writeList(name, lines);
        restart();
        selectList(all.front().first);
    }
    // The pictures view with the keyboard focus and row selected.
    void focusRow(int row) {
        view()->setFocus();
        ASSERT_TRUE(view()->hasFocus());
        rows().selectRow(row);
    }
    void drop(const std::vector<std::string>& names) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& name : names)
            urls << QUrl::fromLocalFile(QString::fromStdString(name));
        data.setUrls(urls);
        // As the file manager does it: the drop goes where the drag was accepted.
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view()->viewport(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view()->viewport(), &event);
    }
    void waitIdle() {
        for (int i = 0; i < 500 && pictures().busy(); ++i) QTest::qWait(10);
        QCoreApplication::processEvents();
    }
    QWidget* preview() { return child<QWidget>("pilprewIMage"); }
    QColor previewColour() {
        const QImage shot = preview()->grab().toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() / 2);
    }
    QLabel* caption() { return child<QLabel>("pPrewievCaption"); }
    QLabel* title() { return child<QLabel>("p23articlelabel"); }
};

bool isRed(QColor c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

struct AddCase {
    int existing;
    int selected;
};

class AddPictureTest : public PicturesPanelTest, public ::testing::WithParamInterface<AddCase> {};

// The row before the new last one is selected and previewed (the only row when it is alone).
TEST_P(AddPictureTest, AppendsTheMeasuredLineAndSelectsTheRowBeforeTheLast) {
    std::vector<std::string> lines;
    for (int i = 0; i < GetParam().existing; ++i)
        lines.push_back(line(picture("old" + std::to_string(i) + ".bmp", 8, 6, Qt::blue)));
    if (!lines.empty()) lines.back() = line(picture("last.bmp"));  // red: the one previewed
    open({{"holiday.lst", lines}});
    const std::string sea = picture("sea.jpg", 1024, 768);
    dialogs().nextAnswers.push_back({sea});

    button("pilbIFAdd")->click();

    ASSERT_EQ(dialogs().asked.size(), 1u);
    EXPECT_EQ(dialogs().asked[0].title, "Add pictures");
    EXPECT_EQ(dialogs().asked[0].filter.rfind("Pictures (*.bmp *.jpg *.jpeg", 0), 0u);
    lines.push_back(sea + "?1024*768");
    EXPECT_EQ(fileLines("holiday.lst"), lines);
    EXPECT_EQ(lists().row(listRow("holiday.lst")).count, std::to_string(lines.size()));
    ASSERT_EQ(rows().rowCount(), static_cast<int>(lines.size()));
    EXPECT_EQ(rows().row(rows().rowCount() - 1).imageIndex, kJpegImageIndex);
    EXPECT_EQ(rows().selectedRow(), GetParam().selected);
    EXPECT_TRUE(isRed(previewColour()));
}

INSTANTIATE_TEST_SUITE_P(Lists, AddPictureTest,
                         ::testing::Values(AddCase{0, 0}, AddCase{2, 1}, AddCase{3, 2}));

// Adding ends at the first picture that cannot be listed: the ones before it stay added,
// and the status line names it and says why, whether the pictures came by the dialog or
// by a drop.
TEST_F(PicturesPanelTest, AddingStopsAtTheFirstUnreadablePictureAndNamesIt) {
    const struct {
        const char* refused;  // written as given; "gone.jpg" is not written at all
        bool last;            // nothing follows it
        bool byDrop;
        const char* message;
    } cases[] = {
        {"broken.jpg", false, false, "Stopped at: broken.jpg (no picture)"},
        {"broken.jpg", false, true, "Stopped at: broken.jpg (no picture)"},
        {"gone.jpg", true, true, "Refused: gone.jpg (cannot open)"},
        {"gone.jpg", true, false, "Refused: gone.jpg (cannot open)"},
        {"odd?.bmp", false, false, "Stopped at: odd?.bmp (bad name)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.refused) + (c.byDrop ? " dropped" : " chosen"));
        std::filesystem::remove_all(folder.file("pics"));
        const std::string first = picture("first.bmp");
        std::string refused = folder.file(std::string("pics/") + c.refused);
        if (std::string(c.refused) == "broken.jpg") folder.write("pics/broken.jpg", "not a JPEG");
        if (std::string(c.refused) == "odd?.bmp") refused = picture(c.refused);
        std::vector<std::string> names{first, refused};
        if (!c.last) names.push_back(picture("after.bmp"));
        open({{"a.lst", {}}});

        if (c.byDrop) {
            drop(names);
            waitIdle();
        } else {
            dialogs().nextAnswers.push_back(names);
            button("pilbIFAdd")->click();
        }

        EXPECT_EQ(fileLines("a.lst"), (std::vector<std::string>{line(first)}));
        EXPECT_EQ(lists().row(listRow("a.lst")).count, "1");
        EXPECT_EQ(captions(), (std::vector<std::string>{first}));
        EXPECT_EQ(panel(0).toStdString(), c.message);
        EXPECT_TRUE(boxes().shown.empty());
    }
    // A message longer than the status line can still be read whole in its tip.
    const std::string name(80, 'n');
    drop({folder.file("pics/" + name + ".jpg")});
    auto* status = child<QLabel>("StatusPanel0");
    EXPECT_EQ(status->text().toStdString(), "Refused: " + name + ".jpg (cannot open)");
    EXPECT_EQ(status->toolTip(), status->text());
}

TEST_F(PicturesPanelTest, AddingWithoutAListCreatesOneAndWithoutASelectionSaysSo) {
    restart();
    button("pilbIFAdd")->click();
    EXPECT_TRUE(dialogs().asked.empty());
    EXPECT_EQ(listRow("untitled1.lst"), 0);  // made by the list tool bar's create command

    writeList("b.lst", {});
    restart();
    window->listPage()->lvILists()->clearSelection();
    button("pilbIFAdd")->click();
    EXPECT_TRUE(dialogs().asked.empty());
    EXPECT_NE(panel(0).indexOf(QStringLiteral("Select one image list")), -1);
}

TEST_F(PicturesPanelTest, DroppedNamesAddPicturesAndFoldersAndNothingElse) {
    const std::string first = picture("first.bmp");
    open({{"a.lst", {line(first)}}});
    const std::string notes = folder.write("pics/notes.txt", "hello");
    const std::string before = test::readFile(folder.file("imgLists/a.lst"));

    drop({notes});
    EXPECT_EQ(test::readFile(folder.file("imgLists/a.lst")), before);
    EXPECT_EQ(lists().row(listRow("a.lst")).count, "1");

    const std::string dropped = picture("dropped.JPG", 4, 4);
    const std::string b = picture("album/b.bmp");
    const std::string a = picture("album/a.jpeg", 3, 2);
    const std::string deep = picture("album/more/deep.bmp");
    folder.write("pics/album/readme.txt", "not a picture");
    folder.write("pics/album/.hidden/secret.bmp", "hidden");
    drop({dropped, folder.file("pics/album")});
    waitIdle();

    EXPECT_EQ(fileLines("a.lst"), (std::vector<std::string>{line(first), line(dropped, 4, 4),
                                                            line(a, 3, 2), line(b), line(deep)}));
    EXPECT_EQ(lists().row(listRow("a.lst")).count, "5");
    EXPECT_EQ(rows().rowCount(), 5);
    EXPECT_TRUE(window->listPage()->lvILists()->isEnabled());
    EXPECT_EQ(window->statusLine().hintMark(), 0);  // "Searching" is gone with the search
}

TEST_F(PicturesPanelTest, RemovingTakesTheSelectedPicturesLine) {
    const std::string a = picture("a.bmp");
    const std::string b = picture("b.bmp");
    open({{"a.lst", {line(a), line(a), line(b)}}});
    focusRow(1);
    ASSERT_TRUE(button("pilbIFRemove")->isEnabled());

    button("pilbIFRemove")->click();

    EXPECT_EQ(fileLines("a.lst"), (std::vector<std::string>{line(a), line(b)}));
    EXPECT_EQ(captions(), (std::vector<std::string>{a, b}));
    EXPECT_EQ(rows().selectedRow(), 0);
    EXPECT_EQ(lists().row(listRow("a.lst")).count, "2");

    // The file changed outside: its line is gone, so the view shows the file as it is.
    focusRow(1);
    writeList("a.lst", {line(a)});
    button("pilbIFRemove")->click();
    EXPECT_EQ(fileLines("a.lst"), (std::vector<std::string>{line(a)}));
    EXPECT_EQ(captions(), (std::vector<std::string>{a}));
    EXPECT_NE(panel(0).indexOf(QStringLiteral("no longer in the list")), -1);

    // A list that cannot be read ends the command with the error report.
    focusRow(0);
    std::filesystem::remove(folder.file("imgLists/a.lst"));
    button("pilbIFRemove")->click();
    ASSERT_EQ(boxes().shown.size(), 1u);
    EXPECT_NE(boxes().shown[0].text.find("a.lst"), std::string::npos) << boxes().shown[0].text;
}

TEST_F(PicturesPanelTest, MovesSwapNeighboursAndTheEndsWrapAround) {
    std::vector<std::string> abcd;
    for (const char* name : {"A.bmp", "B.bmp", "C.bmp", "D.bmp"}) abcd.push_back(picture(name));
    auto lines = [&](std::initializer_list<int> order) {
        std::vector<std::string> all;
        for (int i : order) all.push_back(line(abcd[static_cast<std::size_t>(i)]));
        return all;
    };
    open({{"a.lst", lines({0, 1, 2, 3})}});
    focusRow(0);

    button("pilbIFMoveUp")->click();
    EXPECT_EQ(fileLines("a.lst"), lines({3, 1, 2, 0}));
    EXPECT_EQ(rows().selectedRow(), 3);
    button("pilbIFMoveDown")->click();
    EXPECT_EQ(fileLines("a.lst"), lines({0, 1, 2, 3}));
    EXPECT_EQ(rows().selectedRow(), 0);
    focusRow(2);
    button("pilbIFMoveUp")->click();
    EXPECT_EQ(fileLines("a.lst"), lines({0, 2, 1, 3}));
    EXPECT_EQ(rows().selectedRow(), 1);
    EXPECT_EQ(captions(), (std::vector<std::string>{abcd[0], abcd[2], abcd[1], abcd[3]}));
}

TEST_F(PicturesPanelTest, DraggingReordersTheViewUntilTheListIsSelectedAgain) {
    std::vector<std::string> abcd;
    for (const char* name : {"A.bmp", "B.bmp", "C.bmp", "D.bmp"}) abcd.push_back(picture(name));
    std::vector<std::string> lines;
    for (const std::string& p : abcd) lines.push_back(line(p));
    open({{"a.lst", lines}, {"b.lst", {}}});
    focusRow(3);

    pictures().lvILFilesDragDrop(3, 1);
    EXPECT_EQ(captions(), (std::vector<std::string>{abcd[0], abcd[3], abcd[1], abcd[2]}));
    EXPECT_EQ(rows().selectedRow(), 1);
    EXPECT_EQ(fileLines("a.lst"), lines);

    // A command on the dragged row works on that picture, wherever the view shows it.
    view()->setFocus();
    button("pilbIFMoveUp")->click();
    EXPECT_EQ(fileLines("a.lst"),
              (std::vector<std::string>{lines[0], lines[1], lines[3], lines[2]}));

    pictures().lvILFilesDragDrop(0, -1);  // below the last row
    EXPECT_EQ(captions().back(), abcd[0]);
    selectList("b.lst");
    selectList("a.lst");
    EXPECT_EQ(captions(), (std::vector<std::string>{abcd[0], abcd[1], abcd[3], abcd[2]}));
}

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    int row;                 // selected before the key
    std::vector<int> order;  // the list afterwards, by picture
    std::size_t dialogs;     // picture dialogs opened
    bool wallpaper;          // the picture went on the desktop
};

class PictureKeyTest : public PicturesPanelTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(PictureKeyTest, RunsItsCommand) {
    std::vector<std::string> abc;
    for (const char* name : {"A.bmp", "B.bmp", "C.bmp"}) abc.push_back(picture(name));
    std::vector<std::string> lines;
    for (const std::string& p : abc) lines.push_back(line(p));
    open({{"a.lst", lines}});
    focusRow(GetParam().row);

    QTest::keyClick(view(), static_cast<Qt::Key>(GetParam().key), GetParam().modifiers);

    std::vector<std::string> expected;
    for (int i : GetParam().order) expected.push_back(line(abc[static_cast<std::size_t>(i)]));
    EXPECT_EQ(fileLines("a.lst"), expected);
    EXPECT_EQ(dialogs().asked.size(), GetParam().dialogs);
    EXPECT_EQ(settings.cImg == abc[static_cast<std::size_t>(GetParam().row)], GetParam().wallpaper);
    if (GetParam().wallpaper) {
        EXPECT_EQ(settings.cIList, folder.file("imgLists/a.lst"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PictureKeyTest,
    ::testing::Values(
        KeyCase{"ShiftUpOnTheFirst", Qt::Key_Up, Qt::ShiftModifier, 0, {2, 1, 0}, 0, false},
        KeyCase{"ShiftDown", Qt::Key_Down, Qt::ShiftModifier, 0, {1, 0, 2}, 0, false},
        KeyCase{"PlainUp", Qt::Key_Up, Qt::NoModifier, 1, {0, 1, 2}, 0, false},
        KeyCase{"Delete", Qt::Key_Delete, Qt::NoModifier, 1, {0, 2}, 0, false},
        KeyCase{"Insert", Qt::Key_Insert, Qt::NoModifier, 0, {0, 1, 2}, 1, false},
        KeyCase{"CtrlO", Qt::Key_O, Qt::ControlModifier, 0, {0, 1, 2}, 1, false},
        KeyCase{"PlainO", Qt::Key_O, Qt::NoModifier, 0, {0, 1, 2}, 0, false},
        KeyCase{"Return", Qt::Key_Return, Qt::NoModifier, 2, {0, 1, 2}, 0, true},
        KeyCase{"Space", Qt::Key_Space, Qt::NoModifier, 1, {0, 1, 2}, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PicturesPanelTest, OtherKeysReachTheWindow) {
    open({{"a.lst", {line(picture("a.bmp"))}}});
    focusRow(0);
    QTest::keyClick(view(), Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(page(), 0);
}

struct PreviewCase {
    const char* name;
    const char* file;
    bool shown;
    const char* caption;
};

class PreviewTest : public PicturesPanelTest, public ::testing::WithParamInterface<PreviewCase> {};

// Bitmaps, icons, metafiles and JPEG pictures preview; one that fails says so.
TEST_P(PreviewTest, ShowsThePictureOrSaysWhy) {
    picture("red.bmp");
    picture("red.jpg");
    picture("red.ico", 32, 32);
    test::WmfBuilder wmf;
    wmf.brush(test::colorRef(255, 0, 0)).select(0).rectangle(-5, -5, 110, 110);
    folder.write("pics/red.wmf", wmf.bytes(1440, 0, 0, 100, 100));
    test::EmfBuilder emf;
    emf.brush(1, test::colorRef(255, 0, 0)).select(1).rectangle(-5, -5, 110, 110);
    folder.write("pics/red.emf", emf.bytes(100, 100));
    for (const char* broken : {"broken.bmp", "broken.jpg", "broken.emf", "broken.ico"})
        folder.write(std::string("pics/") + broken, "damaged");
    folder.write("pics/red.gif", "GIF89a");
    // An entry that failed before must not leave its caption behind.
    open({{"a.lst",
           {line(folder.file("pics/broken.bmp")),
            line(folder.file(std::string("pics/") + GetParam().file))}}});

    focusRow(1);

    EXPECT_EQ(isRed(previewColour()), GetParam().shown);
    EXPECT_EQ(caption()->isHidden(), GetParam().shown);
    EXPECT_EQ(caption()->text(), QString::fromLatin1(GetParam().caption));
}

INSTANTIATE_TEST_SUITE_P(
    Files, PreviewTest,
    ::testing::Values(PreviewCase{"Bitmap", "red.bmp", true, "Nothing to preview"},
                      PreviewCase{"Jpeg", "red.jpg", true, "Nothing to preview"},
                      PreviewCase{"Icon", "red.ico", true, "Nothing to preview"},
                      PreviewCase{"Wmf", "red.wmf", true, "Nothing to preview"},
                      PreviewCase{"Emf", "red.emf", true, "Nothing to preview"},
                      PreviewCase{"BrokenBitmap", "broken.bmp", false, "Error.:."},
                      PreviewCase{"BrokenJpeg", "broken.jpg", false, "Error.:."},
                      PreviewCase{"BrokenMetafile", "broken.emf", false, "Error.:."},
                      PreviewCase{"BrokenIcon", "broken.ico", false, "Error.:."},
                      PreviewCase{"Missing", "missing.bmp", false, "Error.:."},
                      PreviewCase{"OtherKind", "red.gif", false, "Nothing to preview"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PicturesPanelTest, SelectingAListPreviewsItsFirstPicture) {
    const std::string red = picture("red.bmp");
    open({{"a.lst", {line(red)}}, {"b.lst", {}}});
    EXPECT_TRUE(isRed(previewColour()));
    selectList("b.lst");
    EXPECT_FALSE(isRed(previewColour()));
    EXPECT_FALSE(caption()->isHidden());
}

TEST_F(PicturesPanelTest, DoubleClicksPutThePictureOnTheDesktop) {
    const std::string red = picture("red.bmp", 40, 30);
    open({{"a.lst", {line(red, 40, 30)}}});
    focusRow(0);
    const std::string current = settings.cImg;

    // The preview goes up once, as it is, leaving the current picture alone.
    QTest::mouseDClick(preview(), Qt::LeftButton);
    const std::string output = folder.file("imgLists/WorkDir/wallpaper.bmp");
    EXPECT_EQ(
        platform.registry->readString(Hive::CurrentUser, "Control Panel\\Desktop", "Wallpaper"),
        output);
    EXPECT_TRUE(test::fileExists(output));
    EXPECT_EQ(settings.cImg, current);

    // A picture row becomes the current picture.
    const QRect first = view()->visualRect(view()->model()->index(0, 0));
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(settings.cImg, red);
    EXPECT_EQ(settings.cIList, folder.file("imgLists/a.lst"));
    EXPECT_TRUE(settings.options.Enabled);
}

TEST_F(PicturesPanelTest, ChangeReplacesThePictureInItsPlace) {
    const std::string a = picture("a.bmp");
    const std::string b = picture("b.bmp");
    const std::string c = picture("c.bmp");
    const std::string x = picture("x.jpg", 16, 9);
    open({{"a.lst", {line(a), line(b), line(c)}}});
    settings.cIList = folder.file("imgLists/a.lst");
    settings.cImg = b;
    focusRow(1);
    dialogs().nextAnswers.push_back({x});

    child<QAction>("pilIFPM3")->trigger();

    EXPECT_EQ(fileLines("a.lst"), (std::vector<std::string>{line(a), line(x, 16, 9), line(c)}));
    EXPECT_EQ(rows().selectedRow(), 1);
    EXPECT_EQ(settings.cImg, x);  // the slide show goes on from the new picture
}

TEST_F(PicturesPanelTest, CommandsNeedAPictureAndTheFocus) {
    const std::string a = picture("a.bmp");
    open({{"a.lst", {line(a), line(a)}}});
    const char* active[] = {"pilbIFRemove", "pilbIFWallPaper", "pilbIFMoveUp", "pilbIFMoveDown"};
    for (const char* name : active) EXPECT_FALSE(button(name)->isEnabled()) << name;
    EXPECT_TRUE(button("pilbIFAdd")->isEnabled());

    // Entering the view selects its first row.
    view()->setFocus();
    EXPECT_EQ(rows().selectedRow(), 0);
    for (const char* name : active) EXPECT_TRUE(button(name)->isEnabled()) << name;
    pictures().pilIFPMPopup();
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(
            child<QAction>(QStringLiteral("pilIFPM%1").arg(i).toLatin1().constData())->isEnabled());

    window->listPage()->lvILists()->setFocus();
    for (const char* name : active) EXPECT_FALSE(button(name)->isEnabled()) << name;
    pictures().pilIFPMPopup();
    EXPECT_FALSE(child<QAction>("pilIFPM1")->isEnabled());
    EXPECT_TRUE(child<QAction>("pilIFPM3")->isEnabled());
}

TEST_F(PicturesPanelTest, TextsComeFromTheLanguageAndTheTitleNamesThePicture) {
    const std::string sea = picture("sea.bmp");
    open({{"a.lst", {line(sea)}}});
    const char* strips[5] = {"Label3", "Label4", "Label5", "Label1", "Label2"};
    const char* texts[5] = {"ADD", "DEL", "SET", "UP", "DOWN"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(pictures().findChild<QLabel*>(QLatin1String(strips[i]))->text(),
                  QLatin1String(texts[i]));
    EXPECT_EQ(button("pilbIFMoveDown")->toolTip(), QStringLiteral("Move down"));
    EXPECT_EQ(child<QAction>("pilIFPM3")->text(), QStringLiteral("Change picture"));
    EXPECT_EQ(view()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
    pictures().applyLanguage();
    EXPECT_EQ(title()->text(), QStringLiteral(":: Preview::"));

    pictures().Timer2Timer();
    EXPECT_EQ(title()->text(), QStringLiteral(".: Preview:.."));
    focusRow(0);
    pictures().Timer2Timer();
    EXPECT_EQ(title()->text(), QStringLiteral(".: Preview:..sea.bmp"));
}

TEST_F(PicturesPanelTest, AHundredThousandEntriesFillAtOnce) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "/pictures/p" + std::to_string(i) + ".jpg?640*480\r\n";
    folder.write("imgLists/big.lst", text);
    restart();
    selectList("big.lst");
    EXPECT_EQ(rows().rowCount(), 100000);
    EXPECT_EQ(rows().row(99999).caption, "/pictures/p99999.jpg");

    QElapsedTimer clock;
    clock.start();
    FillPictureView(rows(), lists(), listRow("big.lst"));
    QCoreApplication::processEvents();  // and the view lays itself out
    EXPECT_LT(clock.elapsed(), 1500);   // a sanitizer build; a release build takes a fraction
    EXPECT_EQ(rows().rowCount(), 100000);
}

}  // namespace
}  // namespace velluma
