#include <gtest/gtest.h>

#include "ThemeTestSupport.h"
#include "formats/IniFile.h"
#include "support/TempFolder.h"
#include "themes/BuiltPackage.h"

namespace velluma {
namespace {

TEST(BuiltPackage, ThemeConfigHasItsTenLinesAndNoFinalLineEnd) {
    EXPECT_EQ(BuiltThemeConfigText("Aurora", "Ann", "Northern lights"),
              "[Name]\r\nThemeName=Aurora\r\n[Author]\r\nThemeAuthor=Ann\r\n[Style]\r\nindex=0\r\n"
              "[Description]\r\nDescription=Northern lights\r\n[Files]\r\nstartup=\\index.htm");

    // Several lines keep their breaks; only the first is read back.
    const std::string text = BuiltThemeConfigText("A", "B", "first\r\nsecond\r\n  [Files]\r\nx");
    EXPECT_NE(text.find("Description=first\r\nsecond\r\n;  [Files]\r\nx\r\n[Files]\r\n"),
              std::string::npos);
    const IniFile ini(text);
    EXPECT_EQ(ini.readString("Description", "Description"), "first");
    EXPECT_EQ(ini.readString("Files", "startup"), "\\index.htm");

    // A line break in the one-line fields cannot add lines.
    EXPECT_NE(BuiltThemeConfigText("A", "B\r\n[Files]", "").find("ThemeAuthor=B  [Files]\r\n"),
              std::string::npos);
}

TEST(BuiltPackage, ThemeNamesMustNameOneFileInTheThemeFolder) {
    struct Case {
        std::string name;
        bool usable;
    };
    const Case cases[] = {
        {"Aurora", true},
        {" spaced  name ", true},
        {"..", true},  // "...tvp"
        {"", false},
        {"   ", false},
        {"\t", false},
        {"a/b", false},
        {"../evil", false},
        {"two\r\nlines", false},
        {std::string("nul\0x", 5), false},
        {std::string(251, 'n'), true},
        {std::string(252, 'n'), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThemeNameProblem(c.name).empty(), c.usable) << testing::PrintToString(c.name);
}

TEST(BuiltPackage, CompanionFilesKeepThePageIntact) {
    for (const char* usable : {"fly.swf", "back ground.jpg", "index.html", "it's.swf"})
        EXPECT_EQ(CompanionNameProblem(usable), "") << usable;
    for (const char* refused :
         {"INDEX.HTM", "theme.cfg", "Resol.js", "css.css", "a\"b.swf", "line\nbreak.swf"})
        EXPECT_NE(CompanionNameProblem(refused), "") << refused;
}

struct Staged {
    test::TempFolder temp;
    std::string files = temp.makeFolder("Files");
    std::string package = temp.file("Aurora.tvp");
    Staged() {
        for (const char* name : {"index.htm", "resol.js", "css.css", "fly.swf", "back.jpg"})
            temp.write(std::string("Files/") + name, std::string("<") + name + ">");
    }
    BuiltThemeFiles built(const std::string& picture) const {
        return {files, "fly.swf", picture, "cfg"};
    }
};

TEST(BuiltPackage, EntriesComeInTheirOrderWithThePictureOnlyWhenChosen) {
    Staged s;
    PackBuiltTheme(s.package, s.built("back.jpg"));
    EXPECT_EQ(test::ArchiveNames(s.package),
              (std::vector<std::string>{"index.htm", "theme.cfg", "fly.swf", "back.jpg", "resol.js",
                                        "css.css"}));
    EXPECT_EQ(test::ArchiveEntry(s.package, "theme.cfg"), "cfg");
    EXPECT_EQ(test::ArchiveEntry(s.package, "fly.swf"), "<fly.swf>");

    const std::string bare = s.temp.file("Bare.tvp");
    PackBuiltTheme(bare, s.built(""));
    EXPECT_EQ(
        test::ArchiveNames(bare),
        (std::vector<std::string>{"index.htm", "theme.cfg", "fly.swf", "resol.js", "css.css"}));
}

TEST(BuiltPackage, RebuildingReplacesEntriesOfTheSameNameAndKeepsTheOthers) {
    Staged s;
    test::WritePackage(s.package, {{"Theme.cfg", "old cfg"},
                                   {"old.swf", "old movie"},
                                   {"pics/star.png", "star"},
                                   {"fly.swf", "old fly"}});
    PackBuiltTheme(s.package, s.built(""));
    EXPECT_EQ(test::ArchiveNames(s.package),
              (std::vector<std::string>{"index.htm", "theme.cfg", "fly.swf", "resol.js", "css.css",
                                        "old.swf", "pics/star.png"}));
    EXPECT_EQ(test::ArchiveEntry(s.package, "fly.swf"), "<fly.swf>");
    EXPECT_EQ(test::ArchiveEntry(s.package, "pics/star.png"), "star");
}

TEST(BuiltPackage, AnExistingFileThatIsNoArchiveIsLeftAlone) {
    Staged s;
    s.temp.write("Aurora.tvp", "my notes, not a zip");
    EXPECT_THROW(PackBuiltTheme(s.package, s.built("")), ZipError);
    EXPECT_EQ(test::readFile(s.package), "my notes, not a zip");

    s.temp.makeFolder("Folder.tvp");
    EXPECT_THROW(PackBuiltTheme(s.temp.file("Folder.tvp"), s.built("")), ZipError);

    // A staged file that went missing fails the write; no half package remains.
    const std::string fresh = s.temp.file("Fresh.tvp");
    EXPECT_THROW(PackBuiltTheme(fresh, {s.files, "gone.swf", "", "cfg"}), ZipError);
    EXPECT_FALSE(test::fileExists(fresh));
}

}  // namespace
}  // namespace velluma
