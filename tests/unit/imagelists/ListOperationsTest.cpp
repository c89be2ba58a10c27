#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "FileSizeLimit.h"
#include "PictureFixtures.h"
#include "core/Options.h"
#include "formats/BmpCodec.h"
#include "imagelists/ListOperations.h"
#include "imagelists/ListSorting.h"
#include "imagelists/MemoryListLibrary.h"
#include "imagelists/MemoryPictureView.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

Names namesIn(const std::string& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Names captionsOf(const ListLibrary& lists) {
    Names captions;
    for (int i = 0; i < lists.rowCount(); ++i) captions.push_back(lists.row(i).caption);
    return captions;
}

/// A program folder with imgLists, its Recycled and WorkDir folders, settings, a context
/// that counts the wallpaper clearings, and the two views in memory.
class ListWorld {
public:
    ListWorld() {
        temp.makeFolder("Velluma/imgLists/Recycled");
        temp.makeFolder("Velluma/imgLists/WorkDir");
        settings.ProgramFolder = temp.file("Velluma");
    }

    /// Writes a list into the list folder; returns its path.
    std::string list(const std::string& name, const std::string& text = "") const {
        return temp.write("Velluma/imgLists/" + name, text);
    }
    std::string recycled(const std::string& name, const std::string& text = "") const {
        return temp.write("Velluma/imgLists/Recycled/" + name, text);
    }
    std::string listFolder() const { return temp.file("Velluma/imgLists"); }
    std::string recycleFolder() const { return temp.file("Velluma/imgLists/Recycled"); }

    test::TempFolder temp;
    Settings settings;
    int wallpaperClears = 0;
    ListContext context{settings, [this] { ++wallpaperClears; }};
    MemoryListLibrary lists;
    MemoryPictureView pictures;
};

TEST(CreateList, TakesTheSmallestFreeUntitledNumber) {
    ListWorld w;
    w.list("untitled1.lst", "x?1*1\r\n");
    w.list("untitled3.lst");
    const int row = CreateList(w.context, w.lists);
    EXPECT_EQ(w.lists.row(row), (ListRow{"untitled2.lst", "0", w.listFolder() + "/untitled2.lst"}));
    EXPECT_TRUE(test::fileExists(w.listFolder() + "/untitled2.lst"));
    EXPECT_EQ(fs::file_size(w.listFolder() + "/untitled2.lst"), 0u);
    EXPECT_EQ(w.lists.row(CreateList(w.context, w.lists)).caption, "untitled4.lst");
    EXPECT_EQ(test::readFile(w.listFolder() + "/untitled1.lst"), "x?1*1\r\n");

    ListWorld broken;  // no list folder: an error and no row without a file
    fs::remove_all(broken.listFolder());
    EXPECT_THROW(CreateList(broken.context, broken.lists), std::runtime_error);
    EXPECT_EQ(broken.lists.rowCount(), 0);
}

TEST(RenameList, AppendsLstUnlessTheNameHoldsItAndKeepsTheContent) {
    const std::pair<const char*, const char*> cases[] = {
        {"holiday", "holiday.lst"},
        {"Trip.LST", "Trip.LST.lst"},  // the test for ".lst" minds the letter case
        {"mine.lst", "mine.lst"},
        {"old.lst.bak", "old.lst.bak"},
        {"untitled1.lst", "untitled1.lst"},  // its own name: nothing moves
    };
    for (const auto& [typed, stored] : cases) {
        ListWorld w;
        const std::string text = "/p/a.jpg?1*1\n/p/b.jpg?2*2\n";
        const std::string old = w.list("untitled1.lst", text);
        w.settings.cIList = old;
        const int row = AddListFile(w.context, w.lists, old);
        EXPECT_EQ(RenameList(w.context, w.lists, row, typed), stored) << typed;
        const std::string now = w.listFolder() + "/" + stored;
        EXPECT_EQ(w.lists.row(row), (ListRow{stored, "2", now})) << typed;
        EXPECT_EQ(test::readFile(now), text) << typed;
        Names expected{"Recycled", "WorkDir", stored};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(namesIn(w.listFolder()), expected) << typed;
        EXPECT_EQ(w.settings.cIList, now) << typed;  // the current list follows its file
    }
}

TEST(RenameList, ANameThatCannotBeWrittenKeepsTheListUnderItsOldName) {
    struct Case {
        const char* what;
        std::string name;
    };
    const Case cases[] = {
        {"folder separator", "trips/2024"},
        {"too long for the file system", std::string(300, 'n')},
        {"another list's name", "other"},
    };
    for (const Case& c : cases) {
        ListWorld w;
        const std::string text = "/p/a.jpg?1*1\r\n";
        const std::string old = w.list("mine.lst", text);
        w.list("other.lst", "/p/other.jpg?5*5\r\n");
        const int row = AddListFile(w.context, w.lists, old);
        const ListRow before = w.lists.row(row);
        try {
            RenameList(w.context, w.lists, row, c.name);
            ADD_FAILURE() << c.what << ": renamed";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("mine.lst"), std::string::npos) << e.what();
        }
        EXPECT_EQ(w.lists.row(row), before) << c.what;
        EXPECT_EQ(test::readFile(old), text) << c.what;
        EXPECT_EQ(test::readFile(w.listFolder() + "/other.lst"), "/p/other.jpg?5*5\r\n");
        EXPECT_EQ(namesIn(w.listFolder()), (Names{"Recycled", "WorkDir", "mine.lst", "other.lst"}))
            << c.what;
    }
}

TEST(AddListFile, CopiesAListFromElsewhereUnderALowerCaseLstExtension) {
    ListWorld w;
    const std::string text = "/p/a.jpg?1*1\r\n/p/b.bmp?2*2\r\n\r\nno mark";
    const std::string outside = w.temp.write("D/Pics/TRAVEL.LST", text);
    const int row = AddListFile(w.context, w.lists, outside);
    const std::string stored = w.listFolder() + "/TRAVEL.lst";
    EXPECT_EQ(w.lists.row(row), (ListRow{"TRAVEL.lst", "4", stored}));
    EXPECT_EQ(test::readFile(stored), text);
    EXPECT_EQ(test::readFile(outside), text);
    EXPECT_FALSE(w.lists.hasSelection());

    // A list of the same name is replaced, and both rows then name the one file.
    w.settings.cIList = stored;
    const std::string newer = w.temp.write("E/TRAVEL.lst", "/p/c.jpg?3*3\r\n");
    const int second = AddListFile(w.context, w.lists, newer);
    EXPECT_EQ(w.lists.row(second), (ListRow{"TRAVEL.lst", "1", stored}));
    EXPECT_EQ(test::readFile(stored), "/p/c.jpg?3*3\r\n");
    EXPECT_EQ(w.lists.findRows(stored), (std::vector<int>{0, 1}));
    EXPECT_TRUE(w.lists.isSelected(second));  // the current list, and nothing was selected

    EXPECT_THROW(AddListFile(w.context, w.lists, w.temp.file("missing.lst")), std::runtime_error);
    EXPECT_EQ(w.lists.rowCount(), 2);  // no row for a list that cannot be read
}

TEST(AddListsFromFolder, CopiesSubfolderListsUpAndSkipsRecycledHiddenAndLinks) {
    ListWorld w;
    w.list("a.lst", "/p/1.jpg?1*1\r\n");
    w.list("B.LST", "/p/2.jpg?1*1\r\n/p/3.jpg?1*1\r\n");
    w.list("notes.txt", "not a list");
    w.list("sub/deeper/c.lst", "/p/4.jpg?1*1\r\n");
    w.recycled("gone.lst");
    w.list(".hidden/h.lst");
    w.temp.write("elsewhere/l.lst", "");
    fs::create_directory_symlink(w.temp.file("elsewhere"), w.listFolder() + "/link");
    fs::create_directory(w.listFolder() + "/folder.lst");
    w.settings.cIList = w.listFolder() + "/c.lst";
    const std::string staleList = w.list(".a.lst.velluma-tmp-42", "half");
    const std::string staleWallpaper = w.list("WorkDir/.wallpaper.bmp.velluma-tmp-7", "half");

    LoadListLibrary(w.context, w.lists);
    EXPECT_FALSE(test::fileExists(staleList));
    EXPECT_FALSE(test::fileExists(staleWallpaper));
    EXPECT_EQ(captionsOf(w.lists), (Names{"c.lst", "B.LST", "a.lst"}));
    EXPECT_EQ(w.lists.row(0), (ListRow{"c.lst", "1", w.listFolder() + "/c.lst"}));
    EXPECT_EQ(w.lists.row(1).count, "2");
    EXPECT_TRUE(w.lists.isSelected(0));
    EXPECT_EQ(w.lists.updateDepth(), 0);
    EXPECT_GE(w.lists.updatesOpened(), 1);
    EXPECT_TRUE(test::fileExists(w.listFolder() + "/sub/deeper/c.lst"));  // copied, not moved
}

TEST(AddListsFromFolder, AListThatCannotBeReadDoesNotHideTheOthers) {
    ListWorld w;
    w.list("a.lst", "/p/1.jpg?1*1\r\n");
    const std::string huge = w.list("b.lst");
    fs::resize_file(huge, (std::uintmax_t(300) << 20));  // sparse: no disk used
    w.list("c.lst", "/p/2.jpg?1*1\r\n");
    EXPECT_THROW(AddListsFromFolder(w.context, w.lists, w.listFolder() + "/"), std::runtime_error);
    EXPECT_EQ(captionsOf(w.lists), (Names{"a.lst", "c.lst"}));
}

TEST(AddPictureToList, MeasuresAppendsAndSavesWithCrLf) {
    ListWorld w;
    const std::string sea =
        w.temp.write("pics/sea.jpg", test::EncodeJpeg(test::TestPattern(64, 48)));
    const std::string map = w.temp.write("pics/map.BMP", EncodeBmp24(test::TestPattern(5, 3)));
    const std::string list = w.list("l.lst", "/p/a.jpg?1*1\n/p/b.jpg?2*2");
    const int row = AddListFile(w.context, w.lists, list);

    EXPECT_TRUE(AddPictureToList(w.lists, row, sea, false, w.pictures));
    EXPECT_EQ(test::readFile(list), "/p/a.jpg?1*1\r\n/p/b.jpg?2*2\r\n" + sea + "?64*48\r\n");
    EXPECT_EQ(w.lists.row(row).count, "3");
    EXPECT_EQ(w.pictures.rowCount(), 0);  // no refresh asked for

    EXPECT_TRUE(AddPictureToList(w.lists, row, map, true, w.pictures));
    EXPECT_EQ(w.lists.row(row).count, "4");
    ASSERT_EQ(w.pictures.rowCount(), 4);
    EXPECT_EQ(w.pictures.row(2), (PictureRow{sea, "64*48", kJpegImageIndex}));
    EXPECT_EQ(w.pictures.row(3), (PictureRow{map, "5*3", kBitmapImageIndex}));

    const std::string before = test::readFile(list);
    EXPECT_FALSE(AddPictureToList(w.lists, row, w.temp.write("notes.txt", "x"), false, w.pictures));
    EXPECT_EQ(test::readFile(list), before);
    EXPECT_EQ(w.lists.row(row).count, "4");
}

TEST(AddPictureToList, APictureThatCannotBeAddedLeavesTheListAsItWas) {
    ListWorld w;
    const std::string jpeg = test::EncodeJpeg(test::TestPattern(64, 48));
    test::JpegOptions fullChroma;
    fullChroma.fullChroma = true;
    const std::string photo = test::EncodeJpeg(test::TestPattern(800, 600), fullChroma);
    struct Case {
        const char* what;
        std::string name;
        std::string bytes;
    };
    const Case cases[] = {
        {"cut-off JPEG", "cut.jpg", jpeg.substr(0, jpeg.size() - 20)},
        {"first 3000 bytes of an 800 x 600 JPEG", "photo.jpg", photo.substr(0, 3000)},
        {"GIF named .bmp", "photo.bmp", "GIF89a..."},
        {"missing picture", "missing.jpeg", ""},
        {"line end in the name", "two\nlines.jpg", jpeg},
        {"question mark in the name", "what?.jpg", jpeg},
    };
    const std::string text = "/p/a.jpg?1*1\r\n";
    const std::string list = w.list("l.lst", text);
    const int row = AddListFile(w.context, w.lists, list);
    for (const Case& c : cases) {
        const std::string picture =
            c.bytes.empty() ? w.temp.file(c.name) : w.temp.write(c.name, c.bytes);
        EXPECT_THROW(AddPictureToList(w.lists, row, picture, true, w.pictures), std::runtime_error)
            << c.what;
        EXPECT_EQ(test::readFile(list), text) << c.what;
        EXPECT_EQ(w.lists.row(row).count, "1") << c.what;
    }

    // A disk that fills up while the list is saved.
    const std::string sea = w.temp.write("sea.jpg", jpeg);
    {
        const test::FileSizeLimit diskFull(8);
        EXPECT_THROW(AddPictureToList(w.lists, row, sea, false, w.pictures), std::runtime_error);
    }
    EXPECT_EQ(test::readFile(list), text);
    EXPECT_EQ(namesIn(w.listFolder()), (Names{"Recycled", "WorkDir", "l.lst"}));
}

TEST(FillPictureView, OneRowPerLineWithItsPathSizeAndPictureKind) {
    ListWorld w;
    const std::string list = w.list("l.lst",
                                    "C:\\p\\x.bmp?640*480?old\r\n"
                                    "\r\n"
                                    "no mark\r\n"
                                    "/a/b.JPEG?1*1\n"
                                    "/a/c.Jpg?2*2\r"
                                    "/a/d.gif?3*3\r\n"
                                    "/a.jpg/e?4*4");
    const int row = AddListFile(w.context, w.lists, list);
    FillPictureView(w.pictures, w.lists, row);
    EXPECT_EQ(w.pictures.rows(), (std::vector<PictureRow>{
                                     {"C:\\p\\x.bmp", "640*480?old", kBitmapImageIndex},
                                     {"", "", kNoImageIndex},
                                     {"", "no mark", kNoImageIndex},
                                     {"/a/b.JPEG", "1*1", kJpegImageIndex},
                                     {"/a/c.Jpg", "2*2", kJpegImageIndex},
                                     {"/a/d.gif", "3*3", kNoImageIndex},
                                     {"/a.jpg/e", "4*4", kNoImageIndex},
                                 }));
    EXPECT_EQ(w.lists.row(row).count, "7");
    EXPECT_EQ(w.pictures.updateDepth(), 0);

    FillPictureView(w.pictures, w.lists, -1);
    EXPECT_EQ(w.pictures.rowCount(), 0);

    FillPictureView(w.pictures, w.lists, row);
    fs::remove(list);
    EXPECT_THROW(FillPictureView(w.pictures, w.lists, row), std::runtime_error);
    EXPECT_EQ(w.pictures.rowCount(), 0);
    EXPECT_EQ(w.pictures.updateDepth(), 0);
}

TEST(ListSorting, CountsCompareAsNumbers) {
    EXPECT_EQ(CompareCounts("9", "10"), -1);
    EXPECT_EQ(CompareCounts("100", "10"), 1);
    EXPECT_EQ(CompareCounts("7", "7"), 1);  // equal gives +1, never 0
    EXPECT_EQ(CompareCounts("x", "1"), -1);

    std::vector<ListRow> rows{
        {"b", "100", "/l/b"}, {"a", "9", "/l/a"}, {"c", "10", "/l/c"}, {"d", "9", "/l/d"}};
    auto sorted = [&](int column, bool descending) {
        std::vector<ListRow> copy = rows;
        std::stable_sort(copy.begin(), copy.end(), [&](const ListRow& a, const ListRow& b) {
            return CompareListRows(a, b, column, descending) < 0;
        });
        Names captions;
        for (const ListRow& r : copy) captions.push_back(r.caption);
        return captions;
    };
    EXPECT_EQ(sorted(1, false), (Names{"a", "d", "c", "b"}));  // 9, 9, 10, 100
    EXPECT_EQ(sorted(1, true), (Names{"b", "c", "a", "d"}));
    EXPECT_EQ(sorted(0, false), (Names{"a", "b", "c", "d"}));
    EXPECT_EQ(sorted(2, true), (Names{"d", "c", "b", "a"}));
    EXPECT_EQ(CompareListRows({"B", "", ""}, {"a", "", ""}, 0, false), -1);  // by code
}

TEST(ListSorting, HeaderClicksAndTheStartUpRestore) {
    for (int type = 0; type <= 5; ++type) {
        const ListSortState state = ListSortState::fromSortType(type);
        EXPECT_EQ(state.sortType(), type);
        EXPECT_EQ(state.sortColumn(), type / 2);
        EXPECT_EQ(state.headerImage(type / 2), 6 + type % 2);
        EXPECT_EQ(state.headerImage((type / 2 + 1) % 3), kNoSortImage);
    }
    EXPECT_EQ(ListSortState::fromSortType(42).sortType(), 0);

    ListSortState state = ListSortState::fromSortType(2);  // count, ascending
    EXPECT_EQ(state.columnClick(1), 3);                    // same column: descending
    EXPECT_TRUE(state.descending());
    EXPECT_EQ(state.columnClick(1), 2);  // descending: ascending again
    EXPECT_EQ(state.columnClick(2), 4);  // another column: ascending
    EXPECT_EQ(state.headerImage(1), kNoSortImage);
    EXPECT_EQ(ListSortState::fromSortType(5).columnClick(2), 4);
}

TEST(RemoveLists, TheCurrentListGoesToTheRecycleFolderAndClearsTheWallpaper) {
    ListWorld w;
    for (const char* name : {"a.lst", "b.lst", "c.lst"})
        AddListFile(w.context, w.lists, w.list(name, name));
    w.settings.cIList = w.listFolder() + "/b.lst";
    w.settings.cImg = "/p/1.jpg";
    w.recycled("b.lst", "older b");
    w.lists.selectRow(1);

    RemoveListsToRecycled(w.context, w.lists);
    EXPECT_EQ(captionsOf(w.lists), (Names{"a.lst", "c.lst"}));
    EXPECT_TRUE(w.lists.isSelected(0));
    EXPECT_EQ(w.settings.cIList, "");
    EXPECT_EQ(w.settings.cImg, "");
    EXPECT_EQ(w.wallpaperClears, 1);
    // The recycle folder already held a b.lst: both are kept.
    EXPECT_EQ(namesIn(w.recycleFolder()), (Names{"b (2).lst", "b.lst"}));
    EXPECT_EQ(test::readFile(w.recycleFolder() + "/b.lst"), "older b");
    EXPECT_EQ(test::readFile(w.recycleFolder() + "/b (2).lst"), "b.lst");
    EXPECT_TRUE(RecycledHasLists(w.settings.ProgramFolder));
    EXPECT_EQ(w.lists.updateDepth(), 0);

    // Several at once; another list is not the current one: the wallpaper stays.
    w.lists.selectRow(1);
    RemoveListsToRecycled(w.context, w.lists);
    EXPECT_EQ(captionsOf(w.lists), Names{});
    EXPECT_EQ(w.wallpaperClears, 1);
    EXPECT_EQ(namesIn(w.recycleFolder()), (Names{"a.lst", "b (2).lst", "b.lst", "c.lst"}));
}

TEST(DeleteLists, DeletesTheFilesAndSelectsTheRowBefore) {
    ListWorld w;
    for (const char* name : {"a.lst", "b.lst", "c.lst", "d.lst"})
        AddListFile(w.context, w.lists, w.list(name));
    w.settings.cIList = w.listFolder() + "/d.lst";
    w.settings.cImg = "/p/x.jpg";
    w.lists.selectRow(3);
    w.lists.selectRow(1);
    DeleteLists(w.context, w.lists);
    EXPECT_EQ(captionsOf(w.lists), (Names{"a.lst", "c.lst"}));
    EXPECT_TRUE(w.lists.isSelected(1));  // the row before the last one removed (index 2)
    EXPECT_FALSE(w.lists.isSelected(0));
    EXPECT_EQ(namesIn(w.listFolder()), (Names{"Recycled", "WorkDir", "a.lst", "c.lst"}));
    EXPECT_EQ(namesIn(w.recycleFolder()), Names{});
    EXPECT_EQ(w.settings.cIList, "");
    EXPECT_EQ(w.settings.cImg, "");
    EXPECT_EQ(w.wallpaperClears, 1);

    w.lists.unselectRow(1);
    w.lists.selectRow(0);
    DeleteLists(w.context, w.lists);
    EXPECT_EQ(captionsOf(w.lists), Names{"c.lst"});
    EXPECT_TRUE(w.lists.isSelected(0));  // the first row went: the new first one
    DeleteLists(w.context, w.lists);
    EXPECT_EQ(w.lists.rowCount(), 0);
    DeleteLists(w.context, w.lists);  // nothing selected: nothing happens
}

TEST(ImportListFiles, AListFromTheRecycleFolderMovesBackKeepingBothOnAClash) {
    ListWorld w;
    AddListFile(w.context, w.lists, w.list("b.lst", "newer b"));
    const std::string a = w.recycled("a.lst", "a");
    const std::string b = w.recycled("b.lst", "older b");
    const std::string c = w.recycled("C.LST", "c");
    ImportListFiles(w.context, w.lists, {a, b, c});
    EXPECT_EQ(namesIn(w.recycleFolder()), Names{});
    EXPECT_FALSE(RecycledHasLists(w.settings.ProgramFolder));
    EXPECT_EQ(captionsOf(w.lists), (Names{"b.lst", "a.lst", "b (2).lst", "C.lst"}));
    EXPECT_EQ(test::readFile(w.listFolder() + "/b.lst"), "newer b");
    EXPECT_EQ(test::readFile(w.listFolder() + "/b (2).lst"), "older b");
    EXPECT_EQ(w.lists.row(3).path, w.listFolder() + "/C.lst");
    EXPECT_EQ(w.lists.updateDepth(), 0);

    // A folder that is merely called Recycled is someone else's: its file is copied, kept.
    const std::string theirs = w.temp.write("home/Recycled/trip.lst", "t");
    ImportListFiles(w.context, w.lists, {theirs});
    EXPECT_EQ(test::readFile(theirs), "t");
    EXPECT_EQ(test::readFile(w.listFolder() + "/trip.lst"), "t");
}

TEST(ListDrops, FoldersListFilesAndTheRest) {
    ListWorld w;
    const std::string longName = std::string(150, 'n') + ".Lst";  // whole names, any length
    struct Case {
        std::string name;
        ListDrop drop;
    };
    const Case cases[] = {
        {w.temp.makeFolder("dropped"), ListDrop::Folder},
        {w.temp.makeFolder("empty.lst"), ListDrop::Folder},
        {w.temp.write("notes.txt", "x"), ListDrop::Ignored},
        {w.temp.write("a.Lst", "/p/1.jpg?1*1\r\n"), ListDrop::ListFile},
        {w.temp.write(longName, ""), ListDrop::ListFile},
        {w.temp.file("missing.lst"), ListDrop::ListFile},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyListDrop(c.name), c.drop) << c.name;
    EXPECT_TRUE(IsFolderWithEntries(w.temp.makeFolder("dropped")));
    EXPECT_FALSE(IsFolderWithEntries(w.temp.file("notes.txt")));
    EXPECT_FALSE(IsFolderWithEntries(""));

    AddListFile(w.context, w.lists, w.temp.file("a.Lst"));
    AddListFile(w.context, w.lists, w.temp.file(longName));
    EXPECT_EQ(captionsOf(w.lists), (Names{"a.lst", std::string(150, 'n') + ".lst"}));
}

TEST(RecycledHasLists, LooksForAnyLstInTheRecycleFolder) {
    ListWorld w;
    EXPECT_FALSE(RecycledHasLists(w.settings.ProgramFolder));
    w.recycled("readme.txt");
    EXPECT_FALSE(RecycledHasLists(w.settings.ProgramFolder));
    w.recycled("OLD.LST");
    EXPECT_TRUE(RecycledHasLists(w.settings.ProgramFolder));
}

}  // namespace
}  // namespace velluma
