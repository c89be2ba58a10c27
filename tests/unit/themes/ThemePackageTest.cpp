#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDate>
#include <QLocale>
#include <filesystem>

#include "ThemeTestSupport.h"
#include "formats/IniFile.h"
#include "themes/DesktopComponents.h"
#include "themes/MemoryThemeList.h"
#include "themes/ThemeDates.h"
#include "themes/ThemePackage.h"

namespace velluma {
namespace {

using test::Files;
using test::SortedNames;
using test::ThemeWorld;
using test::WritePackage;

constexpr const char* kAurora = "[Style]\r\nindex=3\r\n[Name]\r\nThemeName=Aurora\r\n";

std::string themePackage(const std::string& path, const std::string& config = kAurora) {
    return WritePackage(path, {{"theme.cfg", config}, {"index.htm", "<html></html>"}});
}

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

void setWriteTime(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0},
                               {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(ReadThemeInfo, NameAndStyleWithTheirDefaults) {
    struct Case {
        const char* what;
        Files files;
        bool read;
        int style;
        std::string name;
    };
    const Case cases[] = {
        {"complete", {{"theme.cfg", kAurora}}, true, 3, "Aurora"},
        {"no index", {{"theme.cfg", "[Style]\r\n[Name]\r\nThemeName=B\r\n"}}, true, 0, "B"},
        {"no name", {{"theme.cfg", "[Style]\r\nindex=1\r\n"}}, true, 1, "No name"},
        {"no style section", {{"theme.cfg", "[Name]\r\nThemeName=Bare\r\n"}}, true, 255, "Bare"},
        {"index 255", {{"theme.cfg", "[style]\r\nINDEX=255\r\n"}}, true, 255, "No name"},
        {"index -1", {{"theme.cfg", "[Style]\r\nindex=-1\r\n"}}, true, 255, "No name"},
        {"index 260", {{"theme.cfg", "[Style]\r\nindex=260\r\n"}}, true, 4, "No name"},
        {"not a number", {{"theme.cfg", "[Style]\r\nindex=two\r\n"}}, true, 0, "No name"},
        {"name in other case", {{"Theme.CFG", kAurora}}, true, 3, "Aurora"},
        {"no theme.cfg", {{"index.htm", "x"}}, false, 7, "before"},
        {"empty theme.cfg", {{"theme.cfg", ""}}, false, 7, "before"},
        {"theme.cfg in a folder", {{"sub/theme.cfg", kAurora}}, false, 7, "before"},
    };
    for (const Case& c : cases) {
        test::TempFolder temp;
        TThemeInfo info{7, "before"};
        EXPECT_EQ(ReadThemeInfo(WritePackage(temp.file("p.tvp"), c.files), info), c.read) << c.what;
        EXPECT_EQ(info.Style, c.style) << c.what;
        EXPECT_EQ(info.Name, c.name) << c.what;
    }
    test::TempFolder temp;
    TThemeInfo info{7, "before"};
    EXPECT_FALSE(ReadThemeInfo(temp.write("text.tvp", "just text"), info));
    EXPECT_FALSE(ReadThemeInfo(temp.file("missing.tvp"), info));
    EXPECT_EQ(info.Name, "before");
}

TEST(AddThemePackage, ImportsIntoTheThemeFolderUnderTheTvpExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"Pack.zip", "Pack.tvp"}, {"Other.ZIP", "Other.tvp"},       {"Caps.TVP", "Caps.TVP"},
        {"plain", "plain.tvp"},   {"my.theme.pkg", "my.theme.tvp"},
    };
    for (const auto& [source, library] : cases) {
        ThemeWorld w;
        MemoryThemeList list;
        const std::string from = themePackage(w.temp.file(std::string("elsewhere/") + source));
        ASSERT_TRUE(AddThemePackage(w.context, list, "", from)) << source;
        ASSERT_EQ(list.rowCount(), 1);
        EXPECT_EQ(list.row(0).path, w.themeFolder() + "/" + library);
        EXPECT_EQ(test::readFile(list.row(0).path), test::readFile(from));
        EXPECT_TRUE(test::fileExists(from)) << "the source stays";
        std::vector<std::string> expected{"Recycled", "WorkDir", library};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(SortedNames(w.themeFolder()), expected);
    }
}

TEST(AddThemePackage, APackageAlreadyInTheFolderIsListedWhereItIs) {
    ThemeWorld w;
    MemoryThemeList list;
    const std::string here = themePackage(w.themeFolder() + "/Here.tvp");
    const ino_t before = inodeOf(here);
    ASSERT_TRUE(AddThemePackage(w.context, list, "", here));
    EXPECT_EQ(inodeOf(here), before);
    EXPECT_EQ(list.row(0).path, here);
    EXPECT_EQ(SortedNames(w.themeFolder()),
              (std::vector<std::string>{"Here.tvp", "Recycled", "WorkDir"}));
}

TEST(AddThemePackage, RowShowsNameUtcDateAndStyleIcon) {
    const std::int64_t lateEvening = 1614900600;  // 2021-03-04 23:30 UTC
    const std::string expectedDate =
        QLocale::system().toString(QDate(2021, 3, 4), QLocale::ShortFormat).toStdString();
    for (bool components : {true, false}) {
        ThemeWorld w(components);
        MemoryThemeList list;
        const std::string from = themePackage(w.temp.file("elsewhere/Aurora.tvp"));
        setWriteTime(from, lateEvening);
        ASSERT_TRUE(AddThemePackage(w.context, list, "", from));
        const ThemeRow expected{"Aurora", expectedDate, w.themeFolder() + "/Aurora.tvp",
                                components ? 3 : 5};
        EXPECT_EQ(list.row(0), expected);
        EXPECT_EQ(ShortDateText(lateEvening), expectedDate);
    }
}

TEST(AddThemePackage, SelectsTheCurrentThemeOnlyWhenNoRowIsSelected) {
    ThemeWorld w;
    const std::string current = themePackage(w.themeFolder() + "/Current.tvp");
    MemoryThemeList fresh;
    ASSERT_TRUE(AddThemePackage(w.context, fresh, current, current));
    EXPECT_TRUE(fresh.isSelected(0));
    EXPECT_EQ(fresh.focusedRow(), 0);

    MemoryThemeList busy;
    busy.selectRow(busy.addRow({"Other", "?", "/x.tvp", 0}));
    ASSERT_TRUE(AddThemePackage(w.context, busy, current, current));
    EXPECT_FALSE(busy.isSelected(1));
    EXPECT_EQ(busy.findRows(current), std::vector<int>{1});

    MemoryThemeList other;
    ASSERT_TRUE(AddThemePackage(w.context, other, current + "x", current));
    EXPECT_FALSE(other.hasSelection());
}

TEST(AddThemePackage, BareFlashPackagesAreConvertedAndListedAsStyleZero) {
    const std::pair<const char*, const char*> cases[] = {
        {"no style section", "[Files]\r\nFlashMovie=m.swf\r\ncss=s.css\r\n"},
        {"index 255", "[Style]\r\nindex=255\r\n[Files]\r\nFlashMovie=m.swf\r\n"},
        {"index -1", "[Style]\r\nindex=-1\r\n[Files]\r\nFlashMovie=m.swf\r\n"},
    };
    for (const auto& [what, config] : cases) {
        ThemeWorld w;
        MemoryThemeList list;
        const std::string from = WritePackage(w.temp.file("elsewhere/Bare.tvp"),
                                              {{"theme.cfg", config}, {"m.swf", "FWS"}});
        ASSERT_TRUE(AddThemePackage(w.context, list, "", from)) << what;
        // The conversion's "Nameless" only reaches the page.
        EXPECT_EQ(list.row(0).caption, "No name") << what;
        EXPECT_EQ(list.row(0).imageIndex, 0) << what;
        const IniFile converted(test::ArchiveEntry(list.row(0).path, "theme.cfg"));
        EXPECT_EQ(converted.readString("Style", "index"), "0") << what;
        EXPECT_EQ(test::ArchiveEntry(from, "theme.cfg"), converted.text())
            << "the user's file is converted where it lies";
    }
}

TEST(AddThemePackage, WhatIsNotAThemeAddsNothing) {
    ThemeWorld w;
    MemoryThemeList list;
    const std::string outside = w.temp.path() + "/escaped.txt";
    const std::string cases[] = {
        WritePackage(w.temp.file("in/none.tvp"), {{"index.htm", "x"}}),
        WritePackage(w.temp.file("in/empty.tvp"), {{"theme.cfg", ""}}),
        w.temp.write("in/text.tvp", "not an archive"),
        w.temp.write("in/hostile.tvp",
                     test::BuildRawZip({{"theme.cfg", "[Files]\r\nFlashMovie=m.swf\r\n"},
                                        {"../../../../escaped.txt", "x"}})),
        w.temp.file("in/missing.tvp"),
    };
    for (const std::string& path : cases)
        EXPECT_FALSE(AddThemePackage(w.context, list, "", path)) << path;
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(SortedNames(w.themeFolder()), (std::vector<std::string>{"Recycled", "WorkDir"}));
    EXPECT_EQ(SortedNames(w.workDir()), std::vector<std::string>{});
    EXPECT_FALSE(test::fileExists(outside));
}

// The package keeps a .tvp name the next scan lists, and the installed one stays whole.
TEST(AddThemePackage, ATakenTvpNameGivesTheCopyANumberedOne) {
    ThemeWorld w;
    MemoryThemeList list;
    const std::string twin = themePackage(w.themeFolder() + "/Twin.tvp");
    themePackage(w.themeFolder() + "/Twin (2).tvp");
    const std::string before = test::readFile(twin);
    const std::string from =
        themePackage(w.temp.file("elsewhere/Twin.zip"), "[Style]\r\n[Name]\r\nThemeName=Y\r\n");
    ASSERT_TRUE(AddThemePackage(w.context, list, "", from));
    EXPECT_EQ(list.row(0).path, w.themeFolder() + "/Twin (3).tvp");
    EXPECT_EQ(list.row(0).caption, "Y");
    EXPECT_EQ(test::readFile(list.row(0).path), test::readFile(from));
    EXPECT_EQ(test::readFile(twin), before);
    EXPECT_EQ(SortedNames(w.themeFolder()),
              (std::vector<std::string>{"Recycled", "Twin (2).tvp", "Twin (3).tvp", "Twin.tvp",
                                        "WorkDir"}));
}

TEST(ScanThemeFolder, ImportsSubfoldersAndListsTheRoot) {
    ThemeWorld w;
    const std::string root = w.themeFolder();
    themePackage(root + "/Root.tvp");
    themePackage(root + "/Upper.TVP");
    themePackage(root + "/sub/Deep.tvp");
    themePackage(root + "/sub/inner/Deeper.tvp");
    themePackage(root + "/recycled/Lower.tvp");  // only the exact name "Recycled" is skipped
    themePackage(root + "/Recycled/Gone.tvp");
    themePackage(root + "/.hidden/Hidden.tvp");
    themePackage(w.temp.file("elsewhere/Linked.tvp"));
    std::filesystem::create_directory_symlink(w.temp.file("elsewhere"), root + "/linked");
    w.temp.write("Velluma/advThemes/Broken.tvp", "PK\x03\x04 cut short");
    w.temp.write("Velluma/advThemes/notes.txt", "not a package");

    MemoryThemeList list;
    list.addRow({"stale", "?", "/old.tvp", 0});
    const std::string current = root + "/Deep.tvp";
    ScanThemeFolder(w.context, list, current, root + "/");

    std::vector<std::string> paths;
    for (int i = 0; i < list.rowCount(); ++i) paths.push_back(list.row(i).path);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{root + "/Deep.tvp", root + "/Deeper.tvp",
                                               root + "/Lower.tvp", root + "/Root.tvp",
                                               root + "/Upper.TVP"}));
    EXPECT_TRUE(test::fileExists(root + "/sub/Deep.tvp"));
    EXPECT_FALSE(test::fileExists(root + "/Gone.tvp"));
    EXPECT_FALSE(test::fileExists(root + "/Hidden.tvp"));
    EXPECT_FALSE(test::fileExists(root + "/Linked.tvp"));
    EXPECT_EQ(list.findRows(current).size(), 1u);
    EXPECT_TRUE(list.isSelected(list.findRows(current)[0]));
    EXPECT_EQ(list.updateDepth(), 0);
    EXPECT_GT(w.eventsProcessed, 0);
}

// The window reads its own library on a second thread with these; they must list what the
// scan lists and leave importing and converting to it.
TEST(ReadPackageRow, AgreesWithTheScanAndLeavesConversionToIt) {
    ThemeWorld w;
    const std::string root = w.themeFolder();
    themePackage(root + "/Aurora.tvp");
    w.temp.write("Velluma/advThemes/Broken.tvp", "PK\x03\x04 cut short");
    WritePackage(root + "/Bare.tvp",
                 {{"theme.cfg", "[Files]\r\nFlashMovie=m.swf\r\n"}, {"m.swf", "FWS"}});
    w.temp.write("Velluma/advThemes/notes.txt", "not a package");

    const auto packages = LibraryPackages(root);
    ASSERT_TRUE(packages.has_value());
    std::vector<std::string> sorted = *packages;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{root + "/Aurora.tvp", root + "/Bare.tvp",
                                                root + "/Broken.tvp"}));

    ThemeRow row;
    EXPECT_EQ(ReadPackageRow(root + "/Broken.tvp", true, row), PackageReading::Skipped);
    EXPECT_EQ(ReadPackageRow(root + "/Bare.tvp", true, row), PackageReading::MustConvert);
    const std::string bareBefore = test::readFile(root + "/Bare.tvp");
    ASSERT_EQ(ReadPackageRow(root + "/Aurora.tvp", true, row), PackageReading::Listed);
    EXPECT_EQ(test::readFile(root + "/Bare.tvp"), bareBefore) << "reading converts nothing";

    MemoryThemeList scanned;
    ScanThemeFolder(w.context, scanned, "", root);
    EXPECT_EQ(scanned.row(scanned.findRows(root + "/Aurora.tvp").at(0)), row);
    ThemeRow missingComponents;
    ReadPackageRow(root + "/Aurora.tvp", false, missingComponents);
    EXPECT_EQ(missingComponents.imageIndex, 5);

    MemoryThemeList listed;
    listed.addRow({"stale", "?", "/old.tvp", 0});
    const ThemeRow other{"Other", "?", root + "/Other.tvp", 1};
    ListThemeRows(listed, {row, other}, root + "/Other.tvp");
    ASSERT_EQ(listed.rowCount(), 2);
    EXPECT_EQ(listed.row(0), row);
    EXPECT_TRUE(listed.isSelected(1));
    EXPECT_EQ(listed.updateDepth(), 0);

    // A package in a subfolder must be imported first: only the scan may do that.
    themePackage(root + "/sub/Deep.tvp");
    EXPECT_FALSE(LibraryPackages(root).has_value());
}

TEST(RecycledHasThemes, LooksForAnyTvpInTheRecycleFolder) {
    ThemeWorld w;
    EXPECT_FALSE(RecycledHasThemes(w.programFolder));
    w.temp.write("Velluma/advThemes/Recycled/note.txt", "x");
    EXPECT_FALSE(RecycledHasThemes(w.programFolder));
    w.temp.write("Velluma/advThemes/Recycled/Old.TVP", "x");
    EXPECT_TRUE(RecycledHasThemes(w.programFolder));
}

TEST(CompareDates, LaterSecondDateIsNegativeEverythingElsePositive) {
    const std::string lastOf1999 = ShortDateText(946598400);  // 1999-12-31
    const std::string firstOf2000 = ShortDateText(946684800);
    const std::string later = ShortDateText(1614900600);  // 2021-03-04
    EXPECT_EQ(CompareDates(lastOf1999, firstOf2000), -1);
    EXPECT_EQ(CompareDates(firstOf2000, lastOf1999), 1);
    EXPECT_EQ(CompareDates(firstOf2000, later), -1);
    EXPECT_EQ(CompareDates(later, later), 1);
    EXPECT_EQ(CompareDates("?", later), -1);
    EXPECT_EQ(CompareDates("?", "?"), 1);
}

}  // namespace
}  // namespace velluma
