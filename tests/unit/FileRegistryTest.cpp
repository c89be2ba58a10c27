#include "platform/posix/FileRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <random>
#include <stdexcept>

#include "support/TempFolder.h"

namespace velluma::test {
namespace {

namespace fs = std::filesystem;

const char* const kDesktop = "Control Panel\\Desktop";

// Joins lines with CR LF after each.
std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (auto line : lines) (out += line) += "\r\n";
    return out;
}

std::optional<RegValue> text(std::string s) {
    return RegValue::string(std::move(s));
}
std::optional<RegValue> dword(std::uint32_t d) {
    return RegValue::number(d);
}

TEST(FileRegistry, WritesTheExactFileText) {
    TempFolder folder;
    FileRegistry registry(folder.path());
    registry.setValues(
        Hive::CurrentUser, kDesktop,
        {{"Wallpaper", RegValue::string("C:\\pics\\\"x\".bmp")}, {"state", RegValue::number(10)}});
    registry.createKey(Hive::CurrentUser, "Empty");

    EXPECT_EQ(readFile(folder.file("HKEY_CURRENT_USER.reg")),
              crlf({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Control Panel\\Desktop]",
                    R"("Wallpaper"="C:\\pics\\\"x\".bmp")", R"("state"=dword:0000000a)", "",
                    "[HKEY_CURRENT_USER\\Empty]", ""}));
}

TEST(FileRegistry, ValuesSurviveAReload) {
    const std::vector<NamedValue> values = {
        {"plain", RegValue::string("C:\\Windows\\web\\wallpaper.jpg")},
        {"quotes", RegValue::string("say \"hi\" \\\" end\\")},
        {"utf8", RegValue::string("Fond d’écran — 壁纸 🖼")},
        {"empty", RegValue::string("")},
        {"", RegValue::string("default value")},
        {"zero", RegValue::number(0)},
        {"max", RegValue::number(0xffffffffu)},
        {"mixed", RegValue::number(0x00ABCdef)},
    };
    TempFolder folder;
    FileRegistry(folder.path()).setValues(Hive::CurrentUser, kDesktop, values);

    FileRegistry reloaded(folder.path());
    for (const auto& [name, value] : values) {
        SCOPED_TRACE(name);
        EXPECT_EQ(reloaded.value(Hive::CurrentUser, kDesktop, name), value);
    }
    // A value may change type.
    reloaded.setDword(Hive::CurrentUser, kDesktop, "plain", 7);
    reloaded.setString(Hive::CurrentUser, kDesktop, "zero", "now text");
    FileRegistry again(folder.path());
    EXPECT_EQ(again.value(Hive::CurrentUser, kDesktop, "plain"), dword(7));
    EXPECT_EQ(again.readString(Hive::CurrentUser, kDesktop, "zero"), "now text");
    EXPECT_EQ(again.readString(Hive::CurrentUser, kDesktop, "max"), "4294967295");
}

TEST(FileRegistry, NamesIgnoreCaseAndKeepTheFirstSpelling) {
    TempFolder folder;
    FileRegistry registry(folder.path());
    registry.setString(Hive::LocalMachine, "SOFTWARE\\Corvalix\\Velluma", "LastTheme", "a");
    registry.setString(Hive::LocalMachine, "software\\CORVALIX\\velluma", "LASTTHEME", "b");
    registry.createKey(Hive::LocalMachine, "Software\\corvalix\\VELLUMA");

    FileRegistry reloaded(folder.path());
    EXPECT_EQ(reloaded.value(Hive::LocalMachine, "Software\\Corvalix\\Velluma", "lasttheme"),
              text("b"));
    EXPECT_EQ(readFile(folder.file("HKEY_LOCAL_MACHINE.reg")),
              crlf({"REGEDIT4", "", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvalix\\Velluma]",
                    R"("LastTheme"="b")", ""}));
}

TEST(FileRegistry, KeysExistWithoutValuesAndImplyTheirParents) {
    TempFolder folder;
    FileRegistry registry(folder.path());
    EXPECT_TRUE(registry.keyExists(Hive::ClassesRoot, ""));
    EXPECT_FALSE(registry.keyExists(Hive::ClassesRoot, "CLSID"));
    registry.createKey(Hive::ClassesRoot, "CLSID\\{AB-12}\\InProcServer32");
    registry.setString(Hive::ClassesRoot, "Flash.Player", "x", "y");
    registry.deleteValue(Hive::ClassesRoot, "Flash.Player", "X");
    registry.deleteValue(Hive::ClassesRoot, "Flash.Player", "missing");
    registry.deleteValue(Hive::ClassesRoot, "No\\Such\\Key", "x");

    // A hand-written file with only a deep block implies its parents too.
    folder.write("HKEY_CURRENT_USER.reg", crlf({"REGEDIT4", "",
                                                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet "
                                                "Explorer\\Desktop\\General]"}));

    FileRegistry reloaded(folder.path());
    EXPECT_EQ(reloaded.value(Hive::ClassesRoot, "Flash.Player", "x"), std::nullopt);
    struct Case {
        Hive hive;
        const char* key;
        bool exists;
    };
    for (const Case& c : std::initializer_list<Case>{
             {Hive::ClassesRoot, "Flash.Player", true},
             {Hive::ClassesRoot, "clsid\\{ab-12}\\inprocserver32", true},
             {Hive::ClassesRoot, "CLSID\\{AB-12}", true},
             {Hive::ClassesRoot, "CLSID", true},
             {Hive::ClassesRoot, "\\CLSID\\", true},
             {Hive::ClassesRoot, "CLS", false},
             {Hive::ClassesRoot, "CLSID\\{AB-1", false},
             {Hive::ClassesRoot, "CLSID\\{AB-12}\\InProcServer32\\More", false},
             {Hive::ClassesRoot, "Flash", false},
             {Hive::CurrentUser, "software\\microsoft", true},
             {Hive::CurrentUser, "Software\\Microsoft\\Internet Explorer\\Desktop\\General", true},
             {Hive::LocalMachine, "CLSID", false},
         }) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(reloaded.keyExists(c.hive, c.key), c.exists);
    }
}

TEST(FileRegistry, HivesLiveInSeparateFiles) {
    TempFolder folder;
    const std::string registryFolder = folder.file("registry");  // not there yet
    {
        FileRegistry registry(registryFolder);
        registry.setDword(Hive::LocalMachine, "Same", "v", 1);
        registry.setDword(Hive::CurrentUser, "Same", "v", 2);
    }
    FileRegistry reloaded(registryFolder);
    EXPECT_EQ(reloaded.value(Hive::LocalMachine, "Same", "v"), dword(1));
    EXPECT_EQ(reloaded.value(Hive::CurrentUser, "Same", "v"), dword(2));
    EXPECT_FALSE(reloaded.keyExists(Hive::ClassesRoot, "Same"));
    EXPECT_FALSE(fileExists(reloaded.hivePath(Hive::ClassesRoot)));
    EXPECT_EQ(readFile(reloaded.hivePath(Hive::CurrentUser)),
              crlf({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Same]", R"("v"=dword:00000002)", ""}));
}

TEST(FileRegistryParse, AcceptsTheUsualVariations) {
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"LF", "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"x\"\n\"b\"=dword:0000002A\n"},
        {"CR", "REGEDIT4\r\r[HKEY_CURRENT_USER\\K]\r\"a\"=\"x\"\r\"b\"=dword:0000002a\r"},
        {"BOM, no final line end",
         "\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"x\"\r\n\"b\"=dword:"
         "0000002a"},
        {"blank lines around blocks",
         "REGEDIT4\r\n\r\n\r\n[hkey_current_user\\K]\r\n\"a\"=\"x\"\r\n \r\n\r\n"
         "[HKEY_CURRENT_USER\\k]\r\n\"b\"=dword:0000002a\r\n\r\n\r\n\t\r\n"},
        {"repeats merge, later wins",
         "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"old\"\r\n\"b\"=\"old\"\r\n\r\n"
         "[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"x\"\r\n\"B\"=dword:0000002a\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto keys = parseHiveText(c.text, Hive::CurrentUser);
        ASSERT_TRUE(keys);
        ASSERT_EQ(keys->size(), 1u);
        EXPECT_EQ((*keys)[0].name, "K");
        EXPECT_EQ((*keys)[0].values, (std::vector<NamedValue>{{"a", RegValue::string("x")},
                                                              {"b", RegValue::number(42)}}));
    }
    auto empty = parseHiveText("REGEDIT4", Hive::ClassesRoot);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

// Each corrupt file is kept aside under a new name, and the hive starts empty.
TEST(FileRegistry, CorruptFilesAreKeptAsideAndReplacedByAFreshHive) {
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"empty file", ""},
        {"no header", "[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"x\"\r\n"},
        {"other header", "Windows Registry Editor Version 5.00\r\n\r\n"},
        {"other hive", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"},
        {"hive name prefix", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USERS\\K]\r\n"},
        {"unclosed header", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K\r\n"},
        {"value before any block", "REGEDIT4\r\n\r\n\"a\"=\"x\"\r\n"},
        {"value after the block ended", head + "\r\n\"a\"=\"x\"\r\n"},
        {"bad escape", head + "\"a\"=\"C:\\temp\"\r\n"},
        {"unterminated text", head + "\"a\"=\"x\r\n"},
        {"junk after text", head + "\"a\"=\"x\" \r\n"},
        {"no equals", head + "\"a\" \"x\"\r\n"},
        {"short dword", head + "\"a\"=dword:0000001\r\n"},
        {"long dword", head + "\"a\"=dword:000000001\r\n"},
        {"non-hex dword", head + "\"a\"=dword:0000000g\r\n"},
        {"other type", head + "\"a\"=hex:00\r\n"},
        {"comment", head + "; note\r\n"},
        {"binary junk", head + std::string("\0\xff\xfe", 3) + "\r\n"},
        {"oversized", head + std::string(FileRegistry::kMaxFileBytes, '\n')},
    };
    TempFolder folder;
    const std::string path = folder.file("HKEY_CURRENT_USER.reg");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        if (cases[i].text.size() < FileRegistry::kMaxFileBytes) {
            EXPECT_FALSE(parseHiveText(cases[i].text, Hive::CurrentUser));
        }
        folder.write("HKEY_CURRENT_USER.reg", cases[i].text);
        const std::string aside = path + ".corrupt" + (i ? "." + std::to_string(i) : "");

        FileRegistry registry(folder.path());
        EXPECT_FALSE(registry.keyExists(Hive::CurrentUser, "K"));
        EXPECT_FALSE(fileExists(path));
        EXPECT_TRUE(readFile(aside) == cases[i].text) << aside;  // no 16 MiB dumps
        registry.setString(Hive::CurrentUser, "New", "n", "v");
        EXPECT_EQ(readFile(path),
                  crlf({"REGEDIT4", "", "[HKEY_CURRENT_USER\\New]", R"("n"="v")", ""}));
    }
    EXPECT_EQ(readFile(path + ".corrupt"), "");  // the first copy was never overwritten
}

TEST(FileRegistry, AFailedSaveChangesNothing) {
    TempFolder folder;
    const std::string registryFolder = folder.makeFolder("registry");
    FileRegistry registry(registryFolder);
    registry.setString(Hive::CurrentUser, kDesktop, "Wallpaper", "old.bmp");
    const std::string before = readFile(registry.hivePath(Hive::CurrentUser));

    // A regular file where the folder should be makes every save fail, even as root.
    fs::rename(registryFolder, folder.file("moved"));
    folder.write("registry", "not a folder");
    EXPECT_THROW(registry.setValues(Hive::CurrentUser, kDesktop,
                                    {{"Wallpaper", RegValue::string("new.bmp")},
                                     {"TileWallpaper", RegValue::string("1")}}),
                 std::runtime_error);
    EXPECT_THROW(registry.createKey(Hive::CurrentUser, "Other"), std::runtime_error);
    EXPECT_THROW(registry.deleteValue(Hive::CurrentUser, kDesktop, "Wallpaper"),
                 std::runtime_error);
    fs::remove(registryFolder);
    fs::rename(folder.file("moved"), registryFolder);

    EXPECT_EQ(readFile(registry.hivePath(Hive::CurrentUser)), before);
    EXPECT_EQ(registry.value(Hive::CurrentUser, kDesktop, "Wallpaper"), text("old.bmp"));
    EXPECT_FALSE(registry.value(Hive::CurrentUser, kDesktop, "TileWallpaper"));
    EXPECT_FALSE(registry.keyExists(Hive::CurrentUser, "Other"));
    registry.setString(Hive::CurrentUser, kDesktop, "TileWallpaper", "0");
    FileRegistry reloaded(registryFolder);
    EXPECT_EQ(reloaded.value(Hive::CurrentUser, kDesktop, "Wallpaper"), text("old.bmp"));
    EXPECT_EQ(reloaded.value(Hive::CurrentUser, kDesktop, "TileWallpaper"), text("0"));
    EXPECT_EQ(std::distance(fs::directory_iterator(registryFolder), fs::directory_iterator()),
              1);  // no temp file left behind

    // A folder in the hive file's place is not a corrupt file: left alone, saves fail.
    folder.makeFolder("registry/HKEY_CLASSES_ROOT.reg/inside");
    EXPECT_FALSE(reloaded.keyExists(Hive::ClassesRoot, "K"));
    EXPECT_THROW(reloaded.createKey(Hive::ClassesRoot, "K"), std::runtime_error);
    EXPECT_FALSE(reloaded.keyExists(Hive::ClassesRoot, "K"));
    EXPECT_TRUE(fileExists(folder.file("registry/HKEY_CLASSES_ROOT.reg/inside")));
}

TEST(FileRegistry, LineBreaksCannotBeStored) {
    TempFolder folder;
    FileRegistry registry(folder.path());
    EXPECT_THROW(
        registry.setValues(Hive::CurrentUser, "K",
                           {{"ok", RegValue::number(1)}, {"bad", RegValue::string("two\nlines")}}),
        std::runtime_error);
    EXPECT_THROW(registry.setString(Hive::CurrentUser, "K", "a\rb", "x"), std::runtime_error);
    EXPECT_THROW(registry.createKey(Hive::CurrentUser, "K\n[HKEY_LOCAL_MACHINE]"),
                 std::runtime_error);
    EXPECT_FALSE(registry.keyExists(Hive::CurrentUser, "K"));
    EXPECT_FALSE(fileExists(registry.hivePath(Hive::CurrentUser)));
}

// Whatever the parser accepts renders to text that parses back to the same keys; nothing
// it is given makes it crash.
TEST(FileRegistryParse, MangledTextNeverCrashesAndAcceptedTextRoundTrips) {
    const std::string seed =
        crlf({"\xEF\xBB\xBFREGEDIT4", "", "[HKEY_CURRENT_USER\\A\\B]", R"("x"="a\\b\"c")",
              R"("y"=dword:0000ffff)", R"(@="d")", "", "[HKEY_CURRENT_USER]", "",
              "[hkey_current_user\\a\\b]", R"("X"="e")", ""});
    const std::string alphabet = "[]\\\"=@:\r\n dwor0fF9xK\xEF\xBB\xBF";
    std::mt19937 random(12345);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        for (int edits = 1 + int(random() % 4); edits > 0; --edits) {
            std::size_t at = random() % (text.size() + 1);
            char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
                case 0:
                    text.insert(text.begin() + std::ptrdiff_t(at), c);
                    break;
                case 1:
                    if (at < text.size()) text.erase(at, 1);
                    break;
                default:
                    if (at < text.size()) text[at] = c;
                    break;
            }
        }
        auto keys = parseHiveText(text, Hive::CurrentUser);
        if (!keys) continue;
        ++accepted;
        auto again = parseHiveText(renderHiveText(*keys, Hive::CurrentUser), Hive::CurrentUser);
        ASSERT_TRUE(again) << text;
        ASSERT_EQ(again->size(), keys->size()) << text;
        for (std::size_t i = 0; i < keys->size(); ++i) {
            EXPECT_EQ((*again)[i].name, (*keys)[i].name) << text;
            EXPECT_EQ((*again)[i].values, (*keys)[i].values) << text;
        }
    }
    EXPECT_GT(accepted, 100);  // the mangling must leave enough valid files to mean anything
}

}  // namespace
}  // namespace velluma::test
