#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <random>

#include "ThemeTestSupport.h"
#include "formats/IniFile.h"
#include "themes/FlashConversion.h"
#include "themes/MemoryThemeList.h"
#include "themes/ThemePackage.h"

namespace velluma {
namespace {

using test::ArchiveEntry;
using test::ArchiveNames;
using test::SortedNames;
using test::ThemeWorld;
using test::WritePackage;

std::string fixture(const std::string& name) {
    return test::readFile(std::string(VELLUMA_THEME_FIXTURES) + "/" + name);
}

std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
}

TEST(ConvertFlashPackage, MovieAndStyleSheetOnly) {
    ThemeWorld w;
    const std::string config = "[Files]\r\nFlashMovie=movie.swf\r\ncss=style.css\r\n";
    const std::string path =
        WritePackage(w.themeFolder() + "/Bare.tvp", {{"theme.cfg", config},
                                                     {"movie.swf", "FWS movie"},
                                                     {"style.css", "body{}"},
                                                     {"loaded.jpg", "picture the movie loads"},
                                                     {"more/extra.swf", "FWS"}});
    ASSERT_TRUE(ConvertFlashPackage(w.context, path));

    EXPECT_EQ(ArchiveNames(path),
              (std::vector<std::string>{"theme.cfg", "tivora.htm", "style.css", "movie.swf"}));
    EXPECT_EQ(ArchiveEntry(path, "tivora.htm"), fixture("tivora_minimal.htm"));
    EXPECT_EQ(ArchiveEntry(path, "movie.swf"), "FWS movie");
    const IniFile converted(ArchiveEntry(path, "theme.cfg"));
    EXPECT_EQ(converted.readString("Style", "index"), "0");
    EXPECT_EQ(converted.readString("Files", "startup"), "\\tivora.htm");
    EXPECT_EQ(converted.readString("Files", "FlashMovie"), "movie.swf");
    EXPECT_EQ(ArchiveEntry(path, "theme.cfg").rfind(config, 0), 0u) << "the rest stays";
    // The staging folder stays, with the whole package unpacked.
    const auto staging = SortedNames(w.workDir());
    ASSERT_EQ(staging, std::vector<std::string>{"1000"});
    EXPECT_TRUE(test::fileExists(w.workDir() + "/1000/more/extra.swf"));
    EXPECT_GT(w.eventsProcessed, 0);
}

TEST(ConvertFlashPackage, DisplayOptionsReachThePage) {
    ThemeWorld w;
    w.desktop = {1366, 768};
    const std::string path = WritePackage(
        w.themeFolder() + "/Snow.tvp",
        {{"theme.cfg",
          "[Name]\r\nThemeName=Snow\r\n[Files]\r\nFlashMovie=snow.swf\r\ncss=snow.css\r\n"
          "[FlashFile]\r\nDefaultWidth(in percents)=33\r\nDefaultHeight(in percents)=50\r\n"
          "Quality=5\r\nbgcolor=ffffff\r\n"},
         {"snow.swf", "FWS"},
         {"snow.css", "body{}"}});
    ASSERT_TRUE(ConvertFlashPackage(w.context, path));
    EXPECT_EQ(ArchiveEntry(path, "tivora.htm"), fixture("tivora_white.htm"));
}

TEST(ConvertFlashPackage, PacksOnlyFilesInsideThePackageEachOnce) {
    struct Case {
        std::string css;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"missing.css", {"theme.cfg", "tivora.htm", "movie.swf"}},
        {"sub\\style.css", {"theme.cfg", "tivora.htm", "style.css", "movie.swf"}},
        {"..\\..\\..\\..\\secret.txt", {"theme.cfg", "tivora.htm", "movie.swf"}},
        {"/etc/hostname", {"theme.cfg", "tivora.htm", "movie.swf"}},
        {"sub\\theme.cfg", {"theme.cfg", "tivora.htm", "movie.swf"}},
        {"sub", {"theme.cfg", "tivora.htm", "movie.swf"}},
    };
    for (const Case& c : cases) {
        ThemeWorld w;
        w.temp.write("secret.txt", "private");
        const std::string path =
            WritePackage(w.themeFolder() + "/Bare.tvp",
                         {{"theme.cfg", "[Files]\r\nFlashMovie=movie.swf\r\ncss=" + c.css + "\r\n"},
                          {"movie.swf", "FWS"},
                          {"sub/style.css", "body{}"},
                          {"sub/theme.cfg", "[Name]\r\nThemeName=impostor\r\n"}});
        ASSERT_TRUE(ConvertFlashPackage(w.context, path)) << c.css;
        EXPECT_EQ(ArchiveNames(path), c.names) << c.css;
        EXPECT_NE(ArchiveEntry(path, "theme.cfg").find("FlashMovie"), std::string::npos);
    }
}

TEST(ConvertFlashPackage, AFailedWriteKeepsTheUsersPackageWhole) {
    ThemeWorld w;
    // Two incompressible files of 64 KiB: each unpacks under the limit, the new archive
    // holding both cannot be written. The limit stands in for a full disk.
    const std::string path =
        WritePackage(w.temp.file("elsewhere/Bare.tvp"),
                     {{"theme.cfg", "[Files]\r\nFlashMovie=movie.swf\r\ncss=style.css\r\n"},
                      {"movie.swf", noise(64 << 10, 1)},
                      {"style.css", noise(64 << 10, 2)}});
    const std::string before = test::readFile(path);
    MemoryThemeList list;

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited{96 << 10, old.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool converted = ConvertFlashPackage(w.context, path);
    const bool added = AddThemePackage(w.context, list, "", path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);

    EXPECT_FALSE(converted);
    EXPECT_FALSE(added);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(test::readFile(path), before);
    EXPECT_EQ(SortedNames(w.temp.file("elsewhere")), std::vector<std::string>{"Bare.tvp"});
    EXPECT_EQ(SortedNames(w.themeFolder()), (std::vector<std::string>{"Recycled", "WorkDir"}));
}

}  // namespace
}  // namespace velluma
