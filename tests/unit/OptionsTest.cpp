#include <gtest/gtest.h>

#include <filesystem>

#include "core/Options.h"
#include "platform/posix/FileRegistry.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using test::readFile;
using test::TempFolder;

class OptionsTest : public ::testing::Test {
protected:
    OptionsTest() {
        folder.makeFolder("imgLists");
        folder.makeFolder("registry");
    }
    void store(const char* name, RegValue value) {
        registry.setValues(Hive::LocalMachine, kOptionsKey, {{name, value}});
    }
    Settings read() { return ReadSettings(registry, folder.path()); }

    TempFolder folder;
    FileRegistry registry{folder.file("registry")};
};

TEST_F(OptionsTest, EmptyRegistryGivesDefaults) {
    const Settings s = read();
    const TOptions& o = s.options;
    EXPECT_TRUE(o.FirstRun);
    EXPECT_TRUE(o.Enabled);
    EXPECT_EQ(o.state, 0);
    EXPECT_EQ(o.advChType, 2);
    EXPECT_EQ(o.ilChType, 2);
    EXPECT_EQ(o.advRandOrOrder, 1);
    EXPECT_EQ(o.ilRandOrOrder, 1);
    EXPECT_EQ(o.advMin, 1);
    EXPECT_EQ(o.AdvSec, 0);
    EXPECT_EQ(o.ilMin, 1);
    EXPECT_EQ(o.ilSec, 0);
    EXPECT_TRUE(o.ShowAboutWindow);
    EXPECT_TRUE(o.RunAtStartup);
    EXPECT_EQ(o.LanguageFileName, folder.path() + "/Languages/english.lng");
    EXPECT_EQ(o.GroupDisplay, (std::array<std::uint8_t, 6>{2, 2, 2, 0, 0, 1}));
    EXPECT_EQ(o.GroupDisplayEdit, o.GroupDisplay);
    EXPECT_EQ(s.ProgramFolder, folder.path());
    EXPECT_EQ(std::filesystem::current_path(), folder.path());
}

TEST_F(OptionsTest, StoredValuesAreNarrowedAndMistypedOnesIgnored) {
    store("AdvSec", RegValue::number(300));
    store("state", RegValue::number(257));
    store("Enabled", RegValue::number(7));
    store("advMin", RegValue::string("15"));  // wrong type: the default stands
    store("ilMin", RegValue::number(0xFFFFFFFFu));
    store("cadvTheme", RegValue::number(3));  // wrong type: stays empty
    store("cImg", RegValue::string("/pics/a.jpg"));
    const Settings s = read();
    EXPECT_EQ(s.options.AdvSec, 44);
    EXPECT_EQ(s.options.state, 1);
    EXPECT_TRUE(s.options.Enabled);
    EXPECT_EQ(s.options.advMin, 1);
    EXPECT_EQ(s.options.ilMin, -1);
    EXPECT_EQ(s.cadvTheme, "");
    EXPECT_EQ(s.cImg, "/pics/a.jpg");
}

TEST_F(OptionsTest, GroupDisplayPacking) {
    struct Case {
        std::int32_t packed;
        std::array<std::uint8_t, 6> groups;
    };
    for (const Case& c : {Case{100222, {2, 2, 2, 0, 0, 1}}, Case{5, {5, 0, 0, 0, 0, 0}},
                          Case{12345678, {8, 7, 6, 5, 4, 3}}}) {
        store("ilgrDispl", RegValue::number(static_cast<std::uint32_t>(c.packed)));
        EXPECT_EQ(read().options.GroupDisplay, c.groups) << c.packed;
    }
    EXPECT_EQ(PackGroupDisplay({2, 2, 2, 0, 0, 1}), 100222);
}

TEST_F(OptionsTest, WriteThenReadRoundTripsAndMarksFirstRun) {
    Settings s = read();
    s.options.state = 1;
    s.options.Enabled = false;
    s.options.advMin = 90;
    s.options.AdvSec = 30;
    s.options.lvadvSortType = 3;
    s.options.GroupDisplay = {0, 1, 2, 0, 1, 2};
    s.cadvTheme = "/t/a \"b\" \\c.tvp";
    s.cIList = "/l/x.lst";
    WriteSettings(registry, s);

    FileRegistry reopened(folder.file("registry"));
    const Settings back = ReadSettings(reopened, folder.path());
    EXPECT_FALSE(back.options.FirstRun);
    EXPECT_EQ(back.options.state, 1);
    EXPECT_FALSE(back.options.Enabled);
    EXPECT_EQ(back.options.advMin, 90);
    EXPECT_EQ(back.options.AdvSec, 30);
    EXPECT_EQ(back.options.lvadvSortType, 3);
    EXPECT_EQ(back.options.GroupDisplay, s.options.GroupDisplay);
    EXPECT_EQ(back.cadvTheme, s.cadvTheme);
    EXPECT_EQ(back.cIList, s.cIList);
    auto firstrun = reopened.value(Hive::LocalMachine, kOptionsKey, "firstrun");
    ASSERT_TRUE(firstrun);
    EXPECT_EQ(*firstrun, RegValue::number(1));
}

TEST_F(OptionsTest, WriteKeepsTheValueOrder) {
    WriteSettings(registry, read());
    const std::string text = readFile(registry.hivePath(Hive::LocalMachine));
    const char* order[] = {"LanguageFileName",
                           "cadvTheme",
                           "cIList",
                           "cImg",
                           "lvadvSortType",
                           "ActivePage",
                           "lvIListsSortType",
                           "Enabled",
                           "state",
                           "ShowAboutWindow",
                           "firstrun",
                           "RunAtStartup",
                           "advChType",
                           "advRandOrOrder",
                           "AdvSec",
                           "advMin",
                           "ilChType",
                           "ilRandOrOrder",
                           "ilSec",
                           "ilMin",
                           "ilShowType",
                           "LastPos",
                           "ilDisplType",
                           "ilgrDispl"};
    std::size_t at = 0;
    for (const char* name : order) {
        auto found = text.find("\"" + std::string(name) + "\"=", at);
        ASSERT_NE(found, std::string::npos) << name;
        at = found;
    }
    EXPECT_NE(text.find("\"ilgrDispl\"=dword:0001877e"), std::string::npos);  // 100222
    EXPECT_NE(text.find("\"cadvTheme\"=\"\""), std::string::npos);
}

// A registry file as WriteSettings leaves it: the lines below the key's header.
std::string hiveText(std::initializer_list<const char*> values) {
    std::string text =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvalix\\Velluma\\Options]\r\n";
    for (const char* line : values) text += std::string(line) + "\r\n";
    return text + "\r\n";
}

Settings everySettingChanged() {
    Settings s;
    TOptions& o = s.options;
    o.LanguageFileName = "/opt/V/Languages/deutsch \"neu\" \\\u00e4.lng";
    o.lvadvSortType = 5;
    o.lvIListsSortType = -3;
    o.state = 1;
    o.Enabled = false;
    o.ShowAboutWindow = false;
    o.RunAtStartup = false;
    o.advChType = 1;
    o.advRandOrOrder = 0;
    o.advMin = 1440;
    o.AdvSec = 59;
    o.ilChType = 0;
    o.ilRandOrOrder = 255;
    o.ilMin = 7;
    o.ilSec = 30;
    o.ilShowType = 1;
    o.ilDisplType = 4;
    o.LastPos = 5;
    o.GroupDisplay = {9, 8, 7, 6, 5, 4};
    o.GroupDisplayEdit = {1, 1, 1, 1, 1, 1};  // not stored
    o.ilgrDispl = 42;                         // packed afresh from GroupDisplay
    o.ActivePage = 2;
    s.cadvTheme = "/t/a \"b\" \\c.tvp";
    s.cIList = "/l/x.lst";
    s.cImg = "/p/\u00fc.jpg";
    return s;
}

// The registry file is the user's data from one version to the next: every byte of it stays.
TEST_F(OptionsTest, WrittenSettingsMatchTheKnownFileByteForByte) {
    const std::string defaults = hiveText({
        R"("LanguageFileName"="")",
        R"("cadvTheme"="")",
        R"("cIList"="")",
        R"("cImg"="")",
        R"("lvadvSortType"=dword:00000000)",
        R"("ActivePage"=dword:00000000)",
        R"("lvIListsSortType"=dword:00000000)",
        R"("Enabled"=dword:00000001)",
        R"("state"=dword:00000000)",
        R"("ShowAboutWindow"=dword:00000001)",
        R"("firstrun"=dword:00000001)",
        R"("RunAtStartup"=dword:00000001)",
        R"("advChType"=dword:00000002)",
        R"("advRandOrOrder"=dword:00000001)",
        R"("AdvSec"=dword:00000000)",
        R"("advMin"=dword:00000001)",
        R"("ilChType"=dword:00000002)",
        R"("ilRandOrOrder"=dword:00000001)",
        R"("ilSec"=dword:00000000)",
        R"("ilMin"=dword:00000001)",
        R"("ilShowType"=dword:00000000)",
        R"("LastPos"=dword:00000000)",
        R"("ilDisplType"=dword:00000000)",
        R"("ilgrDispl"=dword:0001877e)",
    });
    const std::string changed = hiveText({
        "\"LanguageFileName\"=\"/opt/V/Languages/deutsch \\\"neu\\\" \\\\\u00e4.lng\"",
        R"("cadvTheme"="/t/a \"b\" \\c.tvp")",
        R"("cIList"="/l/x.lst")",
        "\"cImg\"=\"/p/\u00fc.jpg\"",
        R"("lvadvSortType"=dword:00000005)",
        R"("ActivePage"=dword:00000002)",
        R"("lvIListsSortType"=dword:fffffffd)",
        R"("Enabled"=dword:00000000)",
        R"("state"=dword:00000001)",
        R"("ShowAboutWindow"=dword:00000000)",
        R"("firstrun"=dword:00000001)",
        R"("RunAtStartup"=dword:00000000)",
        R"("advChType"=dword:00000001)",
        R"("advRandOrOrder"=dword:00000000)",
        R"("AdvSec"=dword:0000003b)",
        R"("advMin"=dword:000005a0)",
        R"("ilChType"=dword:00000000)",
        R"("ilRandOrOrder"=dword:000000ff)",
        R"("ilSec"=dword:0000001e)",
        R"("ilMin"=dword:00000007)",
        R"("ilShowType"=dword:00000001)",
        R"("LastPos"=dword:00000005)",
        R"("ilDisplType"=dword:00000004)",
        R"("ilgrDispl"=dword:0006f855)",
    });
    const std::string hive = registry.hivePath(Hive::LocalMachine);

    WriteSettings(registry, Settings{});
    EXPECT_EQ(readFile(hive), defaults);
    WriteSettings(registry, everySettingChanged());
    EXPECT_EQ(readFile(hive), changed);
    // Read back and written again, nothing changes.
    FileRegistry reopened(folder.file("registry"));
    WriteSettings(reopened, ReadSettings(reopened, folder.path()));
    EXPECT_EQ(readFile(hive), changed);
}

TEST_F(OptionsTest, FirstRunWritesTheSampleLists) {
    read();
    const std::string p = folder.path();
    EXPECT_EQ(readFile(p + "/imgLists/corvalix.lst"),
              p + "/imgLists/Corvalix/ilwallpap.jpg?800*600\r\n");
    std::string expected;
    for (const char* n : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"})
        expected += p + "/imgLists/abstract/abs00" + n + ".jpg?1024*768\r\n";
    EXPECT_EQ(readFile(p + "/imgLists/abstract.lst"), expected);
}

TEST_F(OptionsTest, SampleListsAreNotRewrittenAfterTheFirstRun) {
    store("firstrun", RegValue::number(1));
    read();
    EXPECT_FALSE(test::fileExists(folder.file("imgLists/abstract.lst")));
}

TEST_F(OptionsTest, FirstRunKeepsAListTheUserAlreadyHas) {
    folder.write("imgLists/abstract.lst", "/mine.jpg?10*10\r\n");
    read();
    EXPECT_EQ(readFile(folder.file("imgLists/abstract.lst")), "/mine.jpg?10*10\r\n");
    EXPECT_TRUE(test::fileExists(folder.file("imgLists/corvalix.lst")));
}

TEST_F(OptionsTest, MissingListFolderIsNoError) {
    std::filesystem::remove_all(folder.file("imgLists"));
    EXPECT_NO_THROW(read());
}

TEST_F(OptionsTest, LinksComeFromLinksIni) {
    folder.write("links.ini",
                 "[INTERNET_LINKS]\r\nlink0=https://a.example/\r\nLINK2 = https://b.example/x "
                 "\r\n");
    const Settings s = read();
    EXPECT_EQ(s.Links[0], "https://a.example/");
    EXPECT_EQ(s.Links[1], "");
    EXPECT_EQ(s.Links[2], "https://b.example/x");
}

}  // namespace
}  // namespace velluma
