// On/off, the mode and the two rotations, without a window: the rows are kept in memory.
#include <gtest/gtest.h>

#include <QTimer>
#include <set>

#include "control/DesktopController.h"
#include "core/Options.h"
#include "core/ResolutionAgent.h"
#include "imagelists/MemoryListLibrary.h"
#include "imagelists/MemoryPictureView.h"
#include "platform/posix/EmulatedActiveDesktop.h"
#include "support/TempFolder.h"
#include "support/TestPaths.h"
#include "support/TestPlatform.h"
#include "themes/DesktopComponents.h"
#include "themes/MemoryThemeList.h"
#include "themes/ThemeContext.h"
#include "themes/ZipArchive.h"

namespace velluma {
namespace {

const char* kDesktopKey = "Control Panel\\Desktop";

class DesktopControllerTest : public ::testing::Test {
protected:
    DesktopControllerTest()
        : platform(makeFolderPlatform(folder)),
          settings(ReadSettings(*platform.registry, folder.path())),
          agent(*platform.screen),
          themeContext(MakeThemeContext(platform, folder.path())),
          desktop({settings, platform, themeContext, agent, [] { return std::string(); },
                   [this](const std::function<void()>& handler) { guard(handler); }}) {
        settings.options.advRandOrOrder = 0;
        settings.options.ilRandOrOrder = 0;
        desktop.setRows(&themes, &lists, nullptr);
        QObject::connect(&desktop, &DesktopController::stateChanged, [this] { ++stateChanges; });
        QObject::connect(&desktop, &DesktopController::pageWanted,
                         [this](int tag) { pagesWanted.push_back(tag); });
    }
    static Platform makeFolderPlatform(test::TempFolder& folder) {
        folder.makeFolder("imgLists/WorkDir");
        return test::makeTestPlatform(folder.file("registry"));
    }
    // Stands for the program's error report: a handler's error ends it and is kept.
    bool guard(const std::function<void()>& handler) {
        try {
            handler();
            return true;
        } catch (const std::exception& e) {
            errors.push_back(e.what());
            return false;
        }
    }
    test::RecordingMessageBoxes& boxes() {
        return static_cast<test::RecordingMessageBoxes&>(*platform.messageBoxes);
    }
    void addThemes(std::initializer_list<const char*> paths) {
        for (const char* p : paths) themes.addRow({p, "?", p, 0});
    }
    std::string wallpaper() {
        return platform.registry->readString(Hive::CurrentUser, kDesktopKey, "Wallpaper");
    }
    // A real picture from the shipped sample set.
    std::string samplePicture() {
        return std::string(VELLUMA_DATA_DIR) + "/imgLists/abstract/abs001.jpg";
    }
    QTimer* timer(const char* name) {
        return desktop.findChild<QTimer*>(QString::fromLatin1(name));
    }

    test::TempFolder folder;
    Platform platform;
    Settings settings;
    TRAgent agent;
    ThemeContext themeContext;
    MemoryThemeList themes;
    MemoryListLibrary lists;
    MemoryPictureView pictures;
    DesktopController desktop;
    std::vector<std::string> errors;
    int stateChanges = 0;
    std::vector<int> pagesWanted;
};

TEST_F(DesktopControllerTest, ASingleThemeIsNeverReapplied) {
    addThemes({"/t/only.tvp"});
    settings.cadvTheme = "/t/only.tvp";
    settings.options.Enabled = true;
    settings.options.state = 0;
    settings.options.advChType = 2;
    EXPECT_TRUE(guard([this] { desktop.Timer3Timer(); }));
    EXPECT_EQ(settings.cadvTheme, "/t/only.tvp");
    EXPECT_TRUE(errors.empty());  // applying the missing package would have failed
}

TEST_F(DesktopControllerTest, AStartPageOutsideItsThemeIsReportedLikeAnyFailedApply) {
    platform.registry->createKey(Hive::ClassesRoot, kActiveDesktopClassKey);
    platform.registry->createKey(Hive::ClassesRoot, kFlashPlayerClassKey);
    const std::string escape = folder.makeFolder("advThemes") + "/Escape.tvp";
    writeZipArchive(escape, {ZipInput::data("theme.cfg", "[Files]\r\nstartup=\\..\\..\\x.htm\r\n"),
                             ZipInput::data("index.htm", "<html></html>")});
    addThemes({"/t/A.tvp", escape.c_str()});
    settings.cadvTheme = "/t/A.tvp";
    settings.options.Enabled = true;
    settings.options.state = 0;
    settings.options.advChType = 2;

    EXPECT_FALSE(guard([this] { desktop.Timer3Timer(); }));
    EXPECT_EQ(settings.cadvTheme, escape);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("\\..\\..\\x.htm"), std::string::npos) << errors[0];
    EXPECT_EQ(platform.registry->readString(Hive::CurrentUser, EmulatedActiveDesktop::kGeneralKey,
                                            "Wallpaper"),
              "");
}

TEST_F(DesktopControllerTest, InOrderThemesWrapAndAVanishedOneStartsOver) {
    addThemes({"/t/A.tvp", "/t/B.tvp", "/t/C.tvp"});
    struct Case {
        const char* current;
        const char* next;
    };
    // The last row matched only in another letter case wraps too.
    for (const Case& c :
         {Case{"/t/C.tvp", "/t/A.tvp"}, Case{"/t/gone.tvp", "/t/A.tvp"},
          Case{"/t/a.TVP", "/t/B.tvp"}, Case{"", "/t/A.tvp"}, Case{"/t/c.TVP", "/t/A.tvp"}}) {
        settings.cadvTheme = c.current;
        desktop.ChooseNextTheme();
        EXPECT_EQ(settings.cadvTheme, c.next) << c.current;
    }
}

TEST_F(DesktopControllerTest, RandomThemesStayInTheList) {
    addThemes({"/t/A.tvp", "/t/B.tvp", "/t/C.tvp"});
    settings.options.advRandOrOrder = 1;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        desktop.ChooseNextTheme();
        seen.insert(settings.cadvTheme);
    }
    EXPECT_EQ(seen, (std::set<std::string>{"/t/A.tvp", "/t/B.tvp", "/t/C.tvp"}));
}

TEST_F(DesktopControllerTest, NothingToChooseFromLeavesTheChoiceAlone) {
    desktop.setRows(nullptr, nullptr, nullptr);
    settings.cadvTheme = "/t/kept.tvp";
    settings.cImg = "/p/kept.jpg";
    desktop.ChooseNextTheme();
    desktop.ChooseNextPicture();
    EXPECT_EQ(settings.cadvTheme, "/t/kept.tvp");
    EXPECT_EQ(settings.cImg, "/p/kept.jpg");
}

TEST_F(DesktopControllerTest, InOrderPicturesContinueWithLineOneWhenThePictureIsNotListed) {
    const std::string list =
        folder.write("imgLists/three.lst", "/p/0.jpg?1*1\r\n/p/1.jpg?1*1\r\n/p/2.jpg?1*1\r\n");
    lists.addRow({"three.lst", "3", list});
    settings.cIList = list;
    settings.cImg = "/p/elsewhere.jpg";
    desktop.ChooseNextPicture();
    EXPECT_EQ(settings.cImg, "/p/1.jpg");
    // With a pictures view, the place is found among its rows.
    desktop.setRows(&themes, &lists, &pictures);
    pictures.setRows({{"/p/0.jpg", "1*1"}, {"/p/1.jpg", "1*1"}, {"/p/2.jpg", "1*1"}});
    settings.cImg = "/p/2.jpg";
    desktop.ChooseNextPicture();
    EXPECT_EQ(settings.cImg, "/p/0.jpg");
}

TEST_F(DesktopControllerTest, OffByMenuThenOnByButtonShowsThePictureAgain) {
    settings.options.state = 1;
    settings.cImg = samplePicture();
    desktop.tbbONOFFPM01Click();
    const std::string shown = folder.file("imgLists/WorkDir/wallpaper.bmp");
    EXPECT_EQ(wallpaper(), shown);
    desktop.tbbONOFFPM2Click();
    EXPECT_FALSE(settings.options.Enabled);
    EXPECT_EQ(wallpaper(), "");
    desktop.tbbOnOffClick();
    EXPECT_TRUE(settings.options.Enabled);
    EXPECT_EQ(wallpaper(), shown);
    EXPECT_TRUE(boxes().shown.empty());
    EXPECT_EQ(stateChanges, 3);  // the controls follow each switch
}

TEST_F(DesktopControllerTest, TheButtonBringsBackTheRecordedBackgroundBetweenOnAndOn) {
    int restored = 0;
    desktop.restoreDesktop = [&] { ++restored; };
    settings.options.state = 1;
    settings.cImg = samplePicture();
    desktop.tbbOnOffClick();  // on -> off
    EXPECT_EQ(restored, 1);
    desktop.tbbOnOffClick();  // off -> on
    EXPECT_EQ(restored, 1);
    EXPECT_NE(wallpaper(), "");
}

TEST_F(DesktopControllerTest, ThemeModeWithoutAThemeShowsThePicture) {
    settings.options.Enabled = false;
    settings.options.state = 0;
    settings.cadvTheme.clear();
    settings.cImg = samplePicture();
    desktop.tbbOnOffClick();
    EXPECT_EQ(wallpaper(), folder.file("imgLists/WorkDir/wallpaper.bmp"));
    auto active = platform.registry->value(Hive::CurrentUser, EmulatedActiveDesktop::kGeneralKey,
                                           "ActiveDesktop");
    ASSERT_TRUE(active);
    EXPECT_EQ(active->dword, 0u);
}

TEST_F(DesktopControllerTest, TheModeSwitchAsksForTheNewModesPageOnlyWhileOn) {
    settings.cImg = samplePicture();
    struct Case {
        bool enabled;
        std::uint8_t state;
        std::vector<int> pages;
    };
    // Theme mode without a theme shows the picture, on the pictures page.
    for (const Case& c :
         {Case{false, 0, {}}, Case{false, 1, {}}, Case{true, 0, {1}}, Case{true, 1, {1}}}) {
        settings.options.Enabled = c.enabled;
        settings.options.state = c.state;
        pagesWanted.clear();
        stateChanges = 0;
        desktop.tbbChStateClick();
        EXPECT_EQ(settings.options.state, c.state == 0 ? 1 : 0);
        EXPECT_EQ(pagesWanted, c.pages) << c.enabled << " " << int(c.state);
        EXPECT_EQ(stateChanges, 1);
    }
}

TEST_F(DesktopControllerTest, RotationTimersFollowTheSettings) {
    struct Case {
        int minutes;
        int seconds;
        bool active;
        int interval;
    };
    for (const Case& c : {Case{1, 30, true, 90000}, Case{0, 0, false, 0}, Case{0, 5, true, 5000}}) {
        settings.options.advMin = c.minutes;
        settings.options.AdvSec = static_cast<std::uint8_t>(c.seconds);
        settings.options.ilMin = c.minutes;
        settings.options.ilSec = static_cast<std::uint8_t>(c.seconds);
        desktop.armRotationTimers();
        for (const char* name : {"Timer3", "Timer4"}) {
            ASSERT_NE(timer(name), nullptr);
            EXPECT_EQ(timer(name)->isActive(), c.active) << name << " " << c.seconds;
            EXPECT_EQ(timer(name)->interval(), c.interval) << name;
        }
    }
}

}  // namespace
}  // namespace velluma
