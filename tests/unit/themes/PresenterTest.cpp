#include <gtest/gtest.h>

#include "ThemeTestSupport.h"
#include "platform/Registry.h"
#include "platform/WorkFolderCleaner.h"
#include "platform/posix/RegistryWallpaperRefresh.h"
#include "themes/Presenter.h"
#include "themes/ZipArchive.h"

namespace velluma {
namespace {

using test::SortedNames;
using test::ThemeWorld;
using test::WritePackage;

std::string general(ThemeWorld& w, const char* name) {
    return w.platform.registry->readString(Hive::CurrentUser, kActiveDesktopGeneralKey, name);
}

std::string classic(ThemeWorld& w, const char* name) {
    return w.platform.registry->readString(Hive::CurrentUser, kClassicDesktopKey, name);
}

std::string themePackage(ThemeWorld& w, const std::string& startup = "\\index.htm") {
    return WritePackage(
        w.themeFolder() + "/Aurora.tvp",
        {{"theme.cfg", "[Style]\r\nindex=0\r\n[Files]\r\nstartup=" + startup + "\r\n"},
         {"index.htm", "<html></html>"},
         {"pages/start.htm", "<html></html>"}});
}

TEST(Presenter, RestoresTheActiveDesktopItFoundOnAtStartUp) {
    ThemeWorld w;
    w.platform.registry->setValues(Hive::CurrentUser, kActiveDesktopGeneralKey,
                                   {{"ActiveDesktop", RegValue::number(1)},
                                    {"EnableComponents", RegValue::number(1)},
                                    {"Wallpaper", RegValue::string("/home/u/page.htm")},
                                    {"TileWallpaper", RegValue::string("0")}});
    const DesktopRecord record = RecordDesktop(w.context);
    EXPECT_EQ(record.options, (ComponentsOptions{true, true}));
    EXPECT_EQ(record.wallpaper, "/home/u/page.htm");

    ASSERT_TRUE(ApplyThemePackage(w.context, themePackage(w), "/help"));
    EXPECT_EQ(general(w, "EnableComponents"), "0");
    for (int run = 0; run < 2; ++run) {
        RestoreDesktop(w.context, record);
        EXPECT_EQ(general(w, "ActiveDesktop"), "1");
        EXPECT_EQ(general(w, "EnableComponents"), "1");
        EXPECT_EQ(general(w, "Wallpaper"), "/home/u/page.htm");
    }
    EXPECT_EQ(w.refresh().refreshCount(), 0);
}

TEST(Presenter, SwitchesTheActiveDesktopOffAgainAndRewritesTheClassicWallpaper) {
    ThemeWorld w;
    w.platform.registry->setValues(Hive::CurrentUser, kClassicDesktopKey,
                                   {{"Wallpaper", RegValue::string("/home/u/sea.bmp")},
                                    {"TileWallpaper", RegValue::string("1")}});
    const DesktopRecord record = RecordDesktop(w.context);
    EXPECT_EQ(record.options, (ComponentsOptions{false, false}));
    EXPECT_EQ(record.wallpaper, "/home/u/sea.bmp");
    EXPECT_EQ(record.tileWallpaper, "1");

    ASSERT_TRUE(ApplyThemePackage(w.context, themePackage(w), "/help"));
    EXPECT_EQ(general(w, "ActiveDesktop"), "1");
    // A picture shown in between.
    ActiveDesktopOff(w.context);
    w.platform.registry->setValues(Hive::CurrentUser, kClassicDesktopKey,
                                   {{"Wallpaper", RegValue::string("/v/wallpaper.bmp")},
                                    {"TileWallpaper", RegValue::string("0")}});
    RestoreDesktop(w.context, record);
    EXPECT_EQ(general(w, "ActiveDesktop"), "0");
    EXPECT_EQ(classic(w, "Wallpaper"), "/home/u/sea.bmp");
    EXPECT_EQ(classic(w, "TileWallpaper"), "1");
    EXPECT_EQ(w.refresh().refreshCount(), 1);
    EXPECT_EQ(w.refresh().current().wallpaper, "/home/u/sea.bmp");
}

TEST(Presenter, TheStartPageComesFromThemeCfg) {
    struct Case {
        std::string startup;  // "-": no theme.cfg at all
        std::string page;
    };
    const Case cases[] = {
        {"\\index.htm", "/index.htm"},
        {"\\pages\\start.htm", "/pages/start.htm"},
        {"", "/tivora.htm"},
        {"-", "/tivora.htm"},
    };
    for (const Case& c : cases) {
        ThemeWorld w;
        const std::string path =
            c.startup == "-" ? WritePackage(w.themeFolder() + "/NoCfg.tvp", {{"a.htm", "x"}})
                             : themePackage(w, c.startup);
        const auto applied = ApplyThemePackage(w.context, path, "/help");
        ASSERT_TRUE(applied) << c.startup;
        EXPECT_EQ(applied->workFolder, w.workDir() + "/1000");
        EXPECT_EQ(applied->startPage, applied->workFolder + c.page);
        EXPECT_EQ(general(w, "Wallpaper"), applied->startPage);
        EXPECT_EQ(general(w, "ActiveDesktop"), "1");
        EXPECT_EQ(general(w, "EnableComponents"), "0");
        EXPECT_GT(w.eventsProcessed, 0);
    }
}

TEST(Presenter, AStartPageOutsideTheThemesFolderFailsTheApplyAndKeepsThePageShown) {
    ThemeWorld w;
    const auto shown = ApplyThemePackage(w.context, themePackage(w), "/help");
    ASSERT_TRUE(shown);
    for (const std::string startup :
         {"\\..\\..\\x.htm", "\\pages\\..\\..\\1000\\index.htm", "C:\\x.htm", "index.htm"}) {
        try {
            ApplyThemePackage(w.context, themePackage(w, startup), "/help");
            ADD_FAILURE() << "applied " << startup;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("\"" + startup + "\""), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(general(w, "Wallpaper"), shown->startPage) << startup;
    }
    // Within the folder, a way round is no way out.
    const auto inside =
        ApplyThemePackage(w.context, themePackage(w, "\\pages\\..\\index.htm"), "/help");
    ASSERT_TRUE(inside);
    EXPECT_EQ(general(w, "Wallpaper"), inside->workFolder + "/pages/../index.htm");
}

TEST(Presenter, EveryApplicationGetsAFolderOfItsOwn) {
    ThemeWorld w;
    w.temp.makeFolder("Velluma/advThemes/WorkDir/1001");  // a staging name already taken
    const std::string path = themePackage(w);
    const auto first = ApplyThemePackage(w.context, path, "/help");
    const auto second = ApplyThemePackage(w.context, path, "/help");  // same millisecond
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->workFolder, w.workDir() + "/1000");
    EXPECT_EQ(second->workFolder, w.workDir() + "/1002");
    EXPECT_EQ(SortedNames(w.workDir()), (std::vector<std::string>{"1000", "1001", "1002"}));
    EXPECT_TRUE(test::fileExists(first->workFolder + "/index.htm"));
    EXPECT_TRUE(test::fileExists(second->workFolder + "/pages/start.htm"));
}

TEST(Presenter, APackageReplacedWhileItIsUnpackedIsStillReadWhole) {
    ThemeWorld w;
    test::Files files{{"theme.cfg", "[Files]\r\nstartup=\\p0.htm\r\n"}};
    for (int i = 0; i < 60; ++i) files.emplace_back("p" + std::to_string(i) + ".htm", "old");
    const std::string path = WritePackage(w.themeFolder() + "/Busy.tvp", files);
    // Another command runs while events are dispatched and replaces the package.
    bool replaced = false;
    w.context.processEvents = [&] {
        if (!replaced) WritePackage(path, {{"theme.cfg", "[Files]\r\nstartup=\\new.htm\r\n"}});
        replaced = true;
    };
    const auto applied = ApplyThemePackage(w.context, path, "/help");
    ASSERT_TRUE(replaced);
    ASSERT_TRUE(applied);
    EXPECT_EQ(applied->startPage, applied->workFolder + "/p0.htm");
    EXPECT_EQ(SortedNames(applied->workFolder).size(), 61u);
    EXPECT_EQ(test::readFile(applied->workFolder + "/p59.htm"), "old");
}

TEST(Presenter, MissingComponentsShowWhyAndOpenTheHelp) {
    for (int shellResult : {kShellSuccess, kShellFileNotFound}) {
        ThemeWorld w(false);
        w.shell().openResult = shellResult;
        EXPECT_FALSE(ApplyThemePackage(w.context, themePackage(w), "/prog/help.chm"));
        const auto& shown = w.boxes().shown;
        ASSERT_EQ(shown.size(), shellResult == kShellFileNotFound ? 2u : 1u);
        EXPECT_EQ(shown[0].text, "Error: ActiveDesktop or ShockWave ActiveX not found.");
        EXPECT_EQ(shown[0].caption, "Tivora 2.00 Error");
        EXPECT_EQ(shown[0].icon, MessageIcon::Error);
        if (shown.size() == 2) {
            EXPECT_EQ(shown[1].text, "Help file not found");
            EXPECT_EQ(shown[1].caption, "Tivora 2.00");
            EXPECT_EQ(shown[1].icon, MessageIcon::Error);
        }
        ASSERT_EQ(w.shell().opened.size(), 1u);
        EXPECT_EQ(w.shell().opened[0].target, "/prog/help.chm");
        EXPECT_EQ(w.shell().opened[0].mode, ShowMode::Show);
        EXPECT_EQ(general(w, "Wallpaper"), "");
        EXPECT_EQ(SortedNames(w.workDir()), std::vector<std::string>{});
    }
}

TEST(Presenter, BadPackagesFailClearlyAndLeaveTheDesktopAlone) {
    ThemeWorld w;
    const std::string good = themePackage(w);
    const std::string whole = test::readFile(good);
    const std::string cases[] = {
        w.themeFolder() + "/missing.tvp",
        w.temp.write("Velluma/advThemes/cut.tvp", whole.substr(0, whole.size() / 2)),
        w.temp.write("Velluma/advThemes/escape.tvp",
                     test::BuildRawZip({{"theme.cfg", "[Files]\r\nstartup=\\a.htm\r\n"},
                                        {"../../../../escaped.htm", "x"}})),
        // b's header and data lie inside a's data: the shape of an overlapping bomb.
        w.temp.write("Velluma/advThemes/overlap.tvp",
                     test::BuildRawZip({{"a", test::BuildRawZip({{"b", "inner"}}).substr(0, 36)},
                                        {"b", "inner", 0, -1, -1, 0, 3, -1, 0, 31}})),
    };
    for (const std::string& path : cases) {
        try {
            ApplyThemePackage(w.context, path, "/help");
            ADD_FAILURE() << "applied " << path;
        } catch (const ZipError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(general(w, "Wallpaper"), "");
    EXPECT_FALSE(test::fileExists(w.temp.path() + "/escaped.htm"));
    EXPECT_EQ(SortedNames(w.workDir()), std::vector<std::string>{});
}

TEST(Presenter, APackageThatFailsPartWayLeavesNoFolderBehind) {
    struct Case {
        const char* what;
        test::RawEntry last;  // after two entries that unpack well
    };
    const std::string data(std::size_t(1) << 20, 'z');
    const Case cases[] = {
        {"a CRC error", {"z.htm", "damaged", 0, -1, 12345}},
        {"a name too long", {"pages/" + std::string(300, 'n') + ".htm", "x"}},
        {"more data than declared", {"liar.bin", test::RawDeflate(data), 8, 100, 0}},
    };
    for (const bool inBackground : {false, true}) {
        for (const Case& c : cases) {
            ThemeWorld w;
            WorkFolderCleaner cleaner(w.workDir());
            if (inBackground) w.context.workFolders = &cleaner;
            const std::string path =
                w.temp.write("Velluma/advThemes/Bad.tvp",
                             test::BuildRawZip({{"theme.cfg", "[Files]\r\nstartup=\\a.htm\r\n"},
                                                {"pages/a.htm", "<html></html>"},
                                                c.last}));
            EXPECT_THROW(ApplyThemePackage(w.context, path, "/help"), ZipError) << c.what;
            cleaner.waitUntilDone();
            EXPECT_EQ(SortedNames(w.workDir()), std::vector<std::string>{}) << c.what;
            EXPECT_EQ(general(w, "Wallpaper"), "") << c.what;
        }
    }
}

TEST(Presenter, ComponentTestsAndSwitchingOff) {
    ThemeWorld none(false);
    EXPECT_FALSE(ActiveDesktopInstalled(*none.platform.registry));
    EXPECT_FALSE(FlashInstalled(*none.platform.registry));
    none.platform.registry->createKey(Hive::ClassesRoot, kActiveDesktopClassKey);
    EXPECT_TRUE(ActiveDesktopInstalled(*none.platform.registry));
    EXPECT_FALSE(FlashInstalled(*none.platform.registry));

    ThemeWorld w;
    ASSERT_TRUE(ApplyThemePackage(w.context, themePackage(w), "/help"));
    ActiveDesktopOff(w.context);
    EXPECT_EQ(general(w, "ActiveDesktop"), "0");
    EXPECT_EQ(general(w, "EnableComponents"), "0");
}

}  // namespace
}  // namespace velluma
