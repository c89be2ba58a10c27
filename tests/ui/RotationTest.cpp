#include <filesystem>
#include <set>

#include "imagelists/ListLibrary.h"
#include "imagelists/PictureView.h"
#include "platform/posix/EmulatedActiveDesktop.h"
#include "support/TestPaths.h"
#include "themes/DesktopComponents.h"
#include "themes/ThemeList.h"
#include "themes/ZipArchive.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

const char* kDesktopKey = "Control Panel\\Desktop";

class RotationTest : public test::WindowFixture {
protected:
    RotationTest() {
        folder.makeFolder("imgLists/WorkDir");
        settings.options.advRandOrOrder = 0;
        settings.options.ilRandOrOrder = 0;
    }
    ThemeList& themes() { return *window->themeList(); }
    void addThemes(std::initializer_list<const char*> paths) {
        for (const char* p : paths) themes().addRow({p, "?", p, 0});
    }
    std::string wallpaper() {
        return platform.registry->readString(Hive::CurrentUser, kDesktopKey, "Wallpaper");
    }
    // A real picture from the shipped sample set.
    std::string samplePicture() {
        return std::string(VELLUMA_DATA_DIR) + "/imgLists/abstract/abs001.jpg";
    }
};

TEST_F(RotationTest, ASingleThemeIsNeverReapplied) {
    addThemes({"/t/only.tvp"});
    settings.cadvTheme = "/t/only.tvp";
    window->Timer3Timer();
    EXPECT_EQ(settings.cadvTheme, "/t/only.tvp");
    EXPECT_TRUE(boxes().shown.empty());  // applying the missing package would have failed
}

TEST_F(RotationTest, AStartPageOutsideItsThemeIsReportedLikeAnyFailedApply) {
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

    EXPECT_FALSE(window->guard([this] { window->Timer3Timer(); }));
    EXPECT_EQ(settings.cadvTheme, escape);
    ASSERT_EQ(boxes().shown.size(), 1u);
    EXPECT_NE(boxes().shown[0].text.find("\\..\\..\\x.htm"), std::string::npos)
        << boxes().shown[0].text;
    EXPECT_EQ(boxes().shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(platform.registry->readString(Hive::CurrentUser, EmulatedActiveDesktop::kGeneralKey,
                                            "Wallpaper"),
              "");
}

TEST_F(RotationTest, InOrderThemesWrapAndAVanishedOneStartsOver) {
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
        window->ChooseNextTheme();
        EXPECT_EQ(settings.cadvTheme, c.next) << c.current;
    }
}

TEST_F(RotationTest, RandomThemesStayInTheList) {
    addThemes({"/t/A.tvp", "/t/B.tvp", "/t/C.tvp"});
    settings.options.advRandOrOrder = 1;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        window->ChooseNextTheme();
        seen.insert(settings.cadvTheme);
    }
    EXPECT_EQ(seen, (std::set<std::string>{"/t/A.tvp", "/t/B.tvp", "/t/C.tvp"}));
}

TEST_F(RotationTest, InOrderPicturesContinueWithLineOneWhenThePictureIsNotListed) {
    const std::string list =
        folder.write("imgLists/three.lst", "/p/0.jpg?1*1\r\n/p/1.jpg?1*1\r\n/p/2.jpg?1*1\r\n");
    window->listLibrary()->addRow({"three.lst", "3", list});
    settings.cIList = list;
    settings.cImg = "/p/elsewhere.jpg";
    window->ChooseNextPicture();
    EXPECT_EQ(settings.cImg, "/p/1.jpg");
    // The pictures view shows the list's pictures.
    window->pictureView()->setRows({{"/p/0.jpg", "1*1"}, {"/p/1.jpg", "1*1"}, {"/p/2.jpg", "1*1"}});
    settings.cImg = "/p/2.jpg";
    window->ChooseNextPicture();
    EXPECT_EQ(settings.cImg, "/p/0.jpg");
}

TEST_F(RotationTest, ModeSwitchWhileOffChangesOnlyTheMode) {
    settings.options.Enabled = false;
    window->show();
    const int pageBefore = page();
    const std::string desktopBefore = test::readFile(folder.file("registry/HKEY_CURRENT_USER.reg"));
    window->tbbChStateClick();
    EXPECT_EQ(settings.options.state, 1);
    EXPECT_EQ(page(), pageBefore);
    EXPECT_EQ(test::readFile(folder.file("registry/HKEY_CURRENT_USER.reg")), desktopBefore);
    EXPECT_EQ(panel(1), QString());  // the fixture's language has no msg9
}

TEST_F(RotationTest, OffByMenuThenOnByButtonShowsThePictureAgain) {
    settings.options.state = 1;
    settings.cImg = samplePicture();
    window->tbbONOFFPM01Click();
    const std::string shown = folder.file("imgLists/WorkDir/wallpaper.bmp");
    EXPECT_EQ(wallpaper(), shown);
    window->tbbONOFFPM2Click();
    EXPECT_FALSE(settings.options.Enabled);
    EXPECT_EQ(wallpaper(), "");
    window->tbbOnOffClick();
    EXPECT_TRUE(settings.options.Enabled);
    EXPECT_EQ(wallpaper(), shown);
    EXPECT_TRUE(boxes().shown.empty());
}

TEST_F(RotationTest, TheButtonBringsBackTheRecordedBackgroundBetweenOnAndOn) {
    int restored = 0;
    window->restoreDesktop = [&] { ++restored; };
    settings.options.state = 1;
    settings.cImg = samplePicture();
    window->tbbOnOffClick();  // on -> off
    EXPECT_EQ(restored, 1);
    window->tbbOnOffClick();  // off -> on
    EXPECT_EQ(restored, 1);
    EXPECT_NE(wallpaper(), "");
}

TEST_F(RotationTest, ThemeModeWithoutAThemeShowsThePicture) {
    settings.options.Enabled = false;
    settings.options.state = 0;
    settings.cadvTheme.clear();
    settings.cImg = samplePicture();
    window->tbbOnOffClick();
    EXPECT_EQ(wallpaper(), folder.file("imgLists/WorkDir/wallpaper.bmp"));
    auto active = platform.registry->value(Hive::CurrentUser, EmulatedActiveDesktop::kGeneralKey,
                                           "ActiveDesktop");
    ASSERT_TRUE(active);
    EXPECT_EQ(active->dword, 0u);
}

}  // namespace
}  // namespace velluma
