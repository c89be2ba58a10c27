#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>

#include "imagelists/ListLibrary.h"
#include "ui/ImageListPage.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

const char* kListTexts =
    "[PAGE_IMAGE_LISTS]\r\nlvilistscolumn0=Image list\r\nlvilistscolumn1=Pictures\r\n"
    "lvilistscolumn2=List file\r\nbarbtn0=Apply\r\nbarbtn1=Import\r\nbarbtn2=Recycle\r\n"
    "barbtn3=Delete\r\nbarbtn4=Create\r\nbarbtn6=Download\r\nbarbtn7=Recycle bin\r\n"
    "bRemovePM0=Move to bin\r\nbRemovePM1=Restore...\r\n"
    "[PAGES_ARTICLES]\r\np1=Lists page\r\np5=Pictures in the list\r\n"
    "[BUTTONS_CAPTIONS]\r\nbc2=Your image lists\r\n"
    "[STATUS_BAR]\r\nmsg2=Searching\r\nmsg4=Image lists\r\nmsg5=Current list\r\n"
    "[PAGE_QUILLORY]\r\nfilter2=Image lists\r\n";

const char* kWallpaperKey = "Control Panel\\Desktop";

// A list file of n entries.
std::string entries(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "/p/" + std::to_string(i) + ".jpg?10*10\r\n";
    return text;
}

class ImageListPageTest : public test::WindowFixture {
protected:
    ImageListPageTest() {
        settings.options.LanguageFileName = folder.write("lists.lng", kListTexts);
        settings.options.ActivePage = 1;  // the lists are on display
        folder.makeFolder("imgLists/Recycled");
        folder.makeFolder("imgLists/WorkDir");
        // Only the lists a test writes.
        std::filesystem::remove(folder.file("imgLists/abstract.lst"));
        std::filesystem::remove(folder.file("imgLists/corvalix.lst"));
    }

    // Starts the window again, so that it reads the list folder as it is now.
    void restart() {
        window.reset();
        window = std::make_unique<TfMain>(*context);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    std::string list(const std::string& name) const { return folder.file("imgLists/" + name); }
    std::string writeList(const std::string& name, int count) const {
        return folder.write("imgLists/" + name, entries(count));
    }
    ImageListPage& listPage() { return *window->listPage(); }
    QTreeWidget* view() { return listPage().lvILists(); }
    ListLibrary& rows() { return listPage().listLibrary(); }
    std::vector<std::string> captions() {
        std::vector<std::string> all;
        for (int i = 0; i < rows().rowCount(); ++i) all.push_back(rows().row(i).caption);
        return all;
    }
    int rowOf(const std::string& caption) {
        for (int i = 0; i < rows().rowCount(); ++i)
            if (rows().row(i).caption == caption) return i;
        return -1;
    }
    // Gives the lists view the keyboard focus with exactly these rows selected.
    void select(std::initializer_list<const char*> names) {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        view()->setFocus();
        view()->clearSelection();
        for (const char* name : names) rows().selectRow(rowOf(name));
        ASSERT_TRUE(view()->hasFocus());
    }
    QToolButton* button(const char* name) { return child<QToolButton>(name); }
    QAction* action(const char* name) { return child<QAction>(name); }
    test::NextAnswerFileDialogs& dialogs() {
        return static_cast<test::NextAnswerFileDialogs&>(*platform.fileDialogs);
    }
    std::string wallpaper() {
        return platform.registry->readString(Hive::CurrentUser, kWallpaperKey, "Wallpaper");
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
        EXPECT_TRUE(event.isAccepted());
        EXPECT_EQ(event.dropAction(), Qt::CopyAction);  // the source keeps its files
    }
};

struct SortCase {
    int savedType;
    int storedType;
    int markedColumn;
    std::vector<std::string> order;
};

class StartupSortTest : public ImageListPageTest, public ::testing::WithParamInterface<SortCase> {};

TEST_P(StartupSortTest, RestoresTheSavedOrderAndSelectsTheCurrentList) {
    writeList("b.lst", 10);
    writeList("c.lst", 9);
    writeList("a.lst", 100);
    settings.options.lvIListsSortType = GetParam().savedType;
    settings.cIList = list("c.lst");
    restart();
    EXPECT_EQ(captions(), GetParam().order);
    EXPECT_EQ(settings.options.lvIListsSortType, GetParam().storedType);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(view()->headerItem()->icon(c).isNull(), c != GetParam().markedColumn) << c;
    EXPECT_EQ(rows().selectedRows(), std::vector<int>{rowOf("c.lst")});
    EXPECT_EQ(child<QLabel>("p22articlelabel")->text(),
              QStringLiteral(".: Pictures in the list ..c.lst"));
    EXPECT_EQ(child<QLabel>("p2articlelabel")->text(), QStringLiteral(":: Lists page::"));
    EXPECT_EQ(listPage().statusText(),
              QStringLiteral("Image lists: 3   Current list: ../imgLists/c.lst"));
}

INSTANTIATE_TEST_SUITE_P(
    SortTypes, StartupSortTest,
    ::testing::Values(SortCase{0, 0, 0, {"a.lst", "b.lst", "c.lst"}},
                      SortCase{2, 2, 1, {"c.lst", "b.lst", "a.lst"}},  // 9, 10, 100: numeric
                      SortCase{3, 3, 1, {"a.lst", "b.lst", "c.lst"}},
                      SortCase{5, 5, 2, {"c.lst", "b.lst", "a.lst"}},
                      SortCase{9, 0, 0, {"a.lst", "b.lst", "c.lst"}}));  // unknown: caption

TEST_F(ImageListPageTest, ColumnClicksToggleTheDirectionAndStoreIt) {
    writeList("b.lst", 10);
    writeList("c.lst", 9);
    writeList("a.lst", 100);
    restart();
    QHeaderView* header = view()->header();
    auto click = [&](int column) {
        const int middle =
            header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(middle, 5));
    };
    click(1);
    EXPECT_EQ(captions(), (std::vector<std::string>{"c.lst", "b.lst", "a.lst"}));
    EXPECT_EQ(settings.options.lvIListsSortType, 2);
    click(1);
    EXPECT_EQ(captions(), (std::vector<std::string>{"a.lst", "b.lst", "c.lst"}));
    EXPECT_EQ(settings.options.lvIListsSortType, 3);
    EXPECT_TRUE(view()->headerItem()->icon(0).isNull());
    click(0);
    EXPECT_EQ(settings.options.lvIListsSortType, 0);
    EXPECT_TRUE(view()->headerItem()->icon(1).isNull());
    EXPECT_FALSE(view()->headerItem()->icon(0).isNull());
}

TEST_F(ImageListPageTest, CreateTakesTheFirstFreeNameAndRenamesInPlace) {
    folder.write("imgLists/untitled1.lst", "");
    folder.write("imgLists/untitled3.lst", "");
    restart();
    button("pilbCreate")->click();
    const std::string created = list("untitled2.lst");
    ASSERT_TRUE(std::filesystem::exists(created));
    EXPECT_EQ(std::filesystem::file_size(created), 0u);
    ASSERT_EQ(rows().rowCount(), 3);
    EXPECT_EQ(rows().row(2), (ListRow{"untitled2.lst", "0", created}));  // appended, unsorted

    auto* editor = view()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QCoreApplication::processEvents();
    // The whole name is selected: typing "holiday" or "holiday.lst" both give holiday.lst.
    EXPECT_EQ(editor->selectedText(), QStringLiteral("untitled2.lst"));
    editor->setText(QStringLiteral("holiday"));
    QTest::keyClick(editor, Qt::Key_Return);
    // The commit and the rename are queued, two hops that a loaded machine can spread out.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !std::filesystem::exists(created); }));
    EXPECT_EQ(rows().row(2), (ListRow{"holiday.lst", "0", list("holiday.lst")}));
    EXPECT_FALSE(std::filesystem::exists(created));
    EXPECT_TRUE(boxes().shown.empty());
}

struct RenameCase {
    const char* typed;
    const char* caption;  // the row's caption afterwards
    bool reported;
};

class RenameTest : public ImageListPageTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameTest, RenamesOrKeepsTheList) {
    writeList("trip.lst", 2);
    writeList("other.lst", 1);
    settings.cIList = list("trip.lst");
    restart();
    const int row = rowOf("trip.lst");
    window->guard([&] { listPage().lvIListsEdited(row, QString::fromUtf8(GetParam().typed)); });
    EXPECT_EQ(rows().row(row).caption, GetParam().caption);
    const std::string path = list(GetParam().caption);
    EXPECT_EQ(rows().row(row).path, path);
    EXPECT_EQ(test::readFile(path), entries(2));  // the lines survive in every case
    EXPECT_EQ(settings.cIList, path);             // the current list follows its file
    EXPECT_EQ(test::readFile(list("other.lst")), entries(1));
    EXPECT_EQ(boxes().shown.size(), GetParam().reported ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Names, RenameTest,
                         ::testing::Values(RenameCase{"holiday", "holiday.lst", false},
                                           RenameCase{"Trip.LST", "Trip.LST.lst", false},
                                           RenameCase{"a/b", "trip.lst", true},
                                           RenameCase{"other.lst", "trip.lst", true},
                                           RenameCase{"  ", "trip.lst", false}));

TEST_F(ImageListPageTest, ImportRemoveAndRestoreKeepEveryList) {
    restart();
    const std::string outside = folder.write("Pics/TRAVEL.LST", entries(4));
    dialogs().nextAnswers.push_back({outside});
    button("pilbAdd")->click();
    ASSERT_EQ(dialogs().asked.size(), 1u);
    EXPECT_EQ(dialogs().asked[0].filter, "Image lists (*.lst)");
    EXPECT_EQ(dialogs().asked[0].title, "Import");
    EXPECT_EQ(rows().row(0), (ListRow{"TRAVEL.lst", "4", list("TRAVEL.lst")}));
    EXPECT_EQ(button("pilbRemove")->toolTip(), QStringLiteral("Recycle"));

    // Removed twice under the same name: the recycle folder keeps both.
    select({"TRAVEL.lst"});
    action("pilILPM3")->trigger();
    EXPECT_EQ(rows().rowCount(), 0);
    EXPECT_TRUE(test::fileExists(folder.file("imgLists/Recycled/TRAVEL.lst")));
    EXPECT_EQ(button("pilbRemove")->toolTip(), QStringLiteral("Recycle bin"));
    EXPECT_TRUE(button("pilbRemove")->isEnabled());
    EXPECT_FALSE(button("pilbDelete")->isEnabled());

    writeList("TRAVEL.lst", 2);
    restart();
    select({"TRAVEL.lst"});
    QTest::keyClick(view(), Qt::Key_Delete);  // the recycle folder holds lists: menu
    auto* menu = child<QMenu>("pilbRemPM");
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    EXPECT_EQ(rows().rowCount(), 1);
    action("pilbRemPM1")->trigger();
    EXPECT_EQ(test::readFile(folder.file("imgLists/Recycled/TRAVEL (2).lst")), entries(2));

    // Restore brings the first one back and leaves no copy behind.
    dialogs().nextAnswers.push_back({folder.file("imgLists/Recycled/TRAVEL.lst")});
    action("pilbRemPM2")->trigger();
    EXPECT_EQ(dialogs().asked.back().folder, folder.file("imgLists/Recycled"));
    EXPECT_EQ(dialogs().asked.back().title, "Restore");
    EXPECT_EQ(captions(), std::vector<std::string>{"TRAVEL.lst"});
    EXPECT_EQ(test::readFile(list("TRAVEL.lst")), entries(4));
    EXPECT_FALSE(test::fileExists(folder.file("imgLists/Recycled/TRAVEL.lst")));
    // The next import opens in the program folder.
    button("pilbAdd")->click();
    EXPECT_EQ(dialogs().asked.back().folder, folder.path());
    EXPECT_TRUE(boxes().shown.empty());
}

class RemovalTest : public ImageListPageTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RemovalTest, RemovingTheCurrentListClearsTheWallpaper) {
    const bool recycle = GetParam();
    writeList("a.lst", 1);
    writeList("b.lst", 1);
    writeList("c.lst", 1);
    settings.cIList = list("b.lst");
    settings.cImg = "/p/0.jpg";
    platform.registry->setString(Hive::CurrentUser, kWallpaperKey, "Wallpaper", "old.bmp");
    restart();
    select({"b.lst", "c.lst"});
    button(recycle ? "pilbRemove" : "pilbDelete")->click();
    EXPECT_EQ(captions(), std::vector<std::string>{"a.lst"});
    EXPECT_EQ(rows().selectedRows(), std::vector<int>{0});
    EXPECT_TRUE(settings.cIList.empty());
    EXPECT_TRUE(settings.cImg.empty());
    EXPECT_EQ(wallpaper(), "");
    EXPECT_FALSE(test::fileExists(list("b.lst")));
    EXPECT_EQ(test::fileExists(folder.file("imgLists/Recycled/b.lst")), recycle);
    EXPECT_EQ(child<QLabel>("p22articlelabel")->text(),
              QStringLiteral(".: Pictures in the list ..a.lst"));
}

INSTANTIATE_TEST_SUITE_P(RecycleOrDelete, RemovalTest, ::testing::Bool());

TEST_F(ImageListPageTest, ApplySetsTheListAndItsFirstPictureAndSwitchesOn) {
    const std::string picture = folder.file("pic.bmp");
    ASSERT_TRUE(QImage(4, 3, QImage::Format_RGB32).save(QString::fromStdString(picture), "BMP"));
    folder.write("imgLists/show.lst", picture + "?4*3\r\n/p/x.jpg?1*1\r\n");
    writeList("empty.lst", 0);
    restart();
    select({"show.lst"});
    ASSERT_TRUE(button("pilbApplay")->isEnabled());
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_EQ(settings.cIList, list("show.lst"));
    EXPECT_EQ(settings.cImg, picture);
    EXPECT_TRUE(settings.options.Enabled);
    EXPECT_EQ(settings.options.state, 1);
    EXPECT_EQ(wallpaper(), folder.file("imgLists/WorkDir/wallpaper.bmp"));

    select({"empty.lst"});
    QTest::keyClick(view(), Qt::Key_Space);
    EXPECT_EQ(settings.cIList, list("empty.lst"));
    EXPECT_EQ(settings.cImg, "");
    EXPECT_EQ(wallpaper(), "");
    EXPECT_TRUE(boxes().shown.empty());
}

TEST_F(ImageListPageTest, CommandsAreEnabledByFocusAndSelection) {
    writeList("a.lst", 1);
    writeList("b.lst", 1);
    restart();
    select({"a.lst"});
    for (const char* name : {"pilbApplay", "pilbRemove", "pilbDelete", "pilbCreate"})
        EXPECT_TRUE(button(name)->isEnabled()) << name;
    EXPECT_EQ(child<QLabel>("p22articlelabel")->text(),
              QStringLiteral(".: Pictures in the list ..a.lst"));
    rows().selectRow(rowOf("b.lst"));
    EXPECT_FALSE(button("pilbApplay")->isEnabled());  // two rows
    EXPECT_TRUE(action("pilILPM4")->isEnabled());
    EXPECT_EQ(child<QLabel>("p22articlelabel")->text(),
              QStringLiteral(".: Pictures in the list .."));

    auto* elsewhere = new QLineEdit(listPage().lowerHalf());
    elsewhere->show();
    elsewhere->setFocus();  // the focus leaves the lists
    for (const char* name : {"pilbApplay", "pilbRemove", "pilbDelete"})
        EXPECT_FALSE(button(name)->isEnabled()) << name;
    EXPECT_FALSE(action("pilILPM3")->isEnabled());
    EXPECT_FALSE(action("pilbRemPM1")->isEnabled());
    EXPECT_TRUE(action("pilILPM1")->isEnabled());
    EXPECT_TRUE(button("pilbAdd")->isEnabled());
    EXPECT_EQ(window->desktop().listLibrary(), &rows());

    Q_EMIT view()->customContextMenuRequested(QPoint(5, 5));
    auto* menu = child<QMenu>("pilILPM");
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(button("pilbCreate"), &enter);
    EXPECT_EQ(panel(0), QStringLiteral("Create"));
}

struct KeyCase {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int created;  // new lists
    int dialogs;  // import dialogs opened
};

class ListKeyTest : public ImageListPageTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ListKeyTest, KeysRunTheirCommands) {
    writeList("a.lst", 1);
    restart();
    select({"a.lst"});
    QTest::keyClick(view(), GetParam().key, GetParam().modifiers);
    QCoreApplication::processEvents();
    EXPECT_EQ(rows().rowCount(), 1 + GetParam().created);
    EXPECT_EQ(test::fileExists(list("untitled1.lst")), GetParam().created == 1);
    EXPECT_EQ(static_cast<int>(dialogs().asked.size()), GetParam().dialogs);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ListKeyTest,
    ::testing::Values(KeyCase{Qt::Key_N, Qt::ControlModifier, 1, 0},
                      KeyCase{Qt::Key_Period, Qt::ControlModifier | Qt::KeypadModifier, 1, 0},
                      KeyCase{Qt::Key_O, Qt::ControlModifier, 0, 1},
                      KeyCase{Qt::Key_Slash, Qt::ControlModifier | Qt::KeypadModifier, 0, 1},
                      KeyCase{Qt::Key_Insert, Qt::NoModifier, 0, 1},
                      KeyCase{Qt::Key_N, Qt::NoModifier, 0, 0},
                      KeyCase{Qt::Key_O, Qt::NoModifier, 0, 0}));

TEST_F(ImageListPageTest, DeleteKeysAndOtherKeysReachTheirHandlers) {
    writeList("a.lst", 1);
    writeList("b.lst", 1);
    restart();
    select({"a.lst"});
    QTest::keyClick(view(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_FALSE(test::fileExists(list("a.lst")));
    EXPECT_FALSE(test::fileExists(folder.file("imgLists/Recycled/a.lst")));
    QTest::keyClick(view(), Qt::Key_Delete);  // the recycle folder is empty: at once
    EXPECT_TRUE(test::fileExists(folder.file("imgLists/Recycled/b.lst")));
    EXPECT_EQ(rows().rowCount(), 0);
    QTest::keyClick(view(), Qt::Key_F1, Qt::ControlModifier);  // the window's key
    EXPECT_EQ(page(), 0);
}

TEST_F(ImageListPageTest, DropsImportListsAndSearchFoldersAfterTheDrop) {
    restart();
    const std::string dropped = folder.makeFolder("Drop");
    folder.write("Drop/inner/deep.lst", entries(2));
    folder.write("Drop/top.lst", entries(1));
    const std::string notes = folder.write("Other/notes.txt", "x");
    const std::string mixed = folder.write("Other/a.Lst", entries(3));
    const std::string longName =
        folder.write("Other/" + std::string(120, 'n') + ".lst", entries(1));
    drop({dropped, notes, mixed, longName});
    // The files are in at once; the folder's search waits for the drop to be handled.
    EXPECT_EQ(captions(), (std::vector<std::string>{"a.lst", std::string(120, 'n') + ".lst"}));
    EXPECT_EQ(panel(0), QStringLiteral("Searching: ") + QString::fromStdString(dropped) +
                            QStringLiteral("/*.lst"));
    QCoreApplication::processEvents();
    EXPECT_EQ(rows().rowCount(), 4);
    EXPECT_GE(rowOf("deep.lst"), 0);
    EXPECT_GE(rowOf("top.lst"), 0);
    EXPECT_EQ(test::readFile(list("a.lst")), entries(3));
    EXPECT_FALSE(test::fileExists(list("notes.txt")));
    EXPECT_TRUE(boxes().shown.empty());
}

TEST_F(ImageListPageTest, ADroppedListThatCannotBeReadDoesNotStopTheOthers) {
    restart();
    const std::string missing = folder.file("Other/gone.lst");
    const std::string good = folder.write("Other/good.lst", entries(1));
    drop({missing, good});
    EXPECT_EQ(captions(), std::vector<std::string>{"good.lst"});
    ASSERT_EQ(boxes().shown.size(), 1u);
    EXPECT_NE(boxes().shown[0].text.find("gone.lst"), std::string::npos);
}

TEST_F(ImageListPageTest, TextsHintsAndColumnWidths) {
    restart();
    EXPECT_EQ(child<QLabel>("lbListBarCaption")->text(), QStringLiteral("  Your image lists"));
    EXPECT_EQ(child<QLabel>("p22articlelabel")->text(),
              QStringLiteral(":: Pictures in the list ::"));
    EXPECT_EQ(view()->headerItem()->text(1), QStringLiteral("Pictures"));
    const std::pair<const char*, const char*> hints[] = {
        {"pilbApplay", "Apply"},   {"pilbCreate", "Create"}, {"pilbAdd", "Import"},
        {"pilbRemove", "Recycle"}, {"pilbDelete", "Delete"}, {"pilbDownload", "Download"}};
    for (const auto& [name, hint] : hints) {
        EXPECT_EQ(button(name)->toolTip(), QString::fromLatin1(hint)) << name;
        EXPECT_EQ(button(name)->property("hint").toString(), QString::fromLatin1(hint)) << name;
    }
    EXPECT_EQ(action("pilILPM1")->text(), QStringLiteral("Create"));
    EXPECT_EQ(action("pilILPM4")->text(), QStringLiteral("Delete"));
    EXPECT_EQ(action("pilbRemPM2")->text(), QStringLiteral("Restore..."));
    EXPECT_EQ(button("pilbDownload")->width(), 45);
    EXPECT_EQ(button("pilbApplay")->size(), QSize(34, 34));

    window->resize(628, 520);
    QCoreApplication::processEvents();
    ASSERT_EQ(window->width(), 628);
    EXPECT_EQ(view()->header()->sectionSize(0), 151);
    EXPECT_EQ(view()->header()->sectionSize(1), 101);
    EXPECT_EQ(view()->header()->sectionSize(2), 253);

    settings.Links[2] = "https://example.org/lists";
    button("pilbDownload")->click();
    ASSERT_EQ(shell().opened.size(), 1u);
    EXPECT_EQ(shell().opened[0].target, "https://example.org/lists");
    EXPECT_EQ(shell().opened[0].mode, ShowMode::Normal);
}

}  // namespace
}  // namespace velluma
