#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "DesktopServices.h"
#include "platform/posix/FileRegistry.h"
#include "platform_gui/posix/DesktopWallpaper.h"
#include "platform_gui/posix/GSettingsBackground.h"
#include "platform_gui/posix/PlasmaBackground.h"
#include "support/TempFolder.h"
#include "support/TestPlatform.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kUserUri = "file:///usr/share/backgrounds/user.jpg";

// GNOME's background keys, read and set through GSettings as the desktop sees them.
std::string gnome(const char* key) {
    GSettings* s = g_settings_new("org.gnome.desktop.background");
    char* v = g_settings_get_string(s, key);
    std::string out = v;
    g_free(v);
    g_object_unref(s);
    return out;
}

void setGnome(const char* key, const char* value) {
    GSettings* s = g_settings_new("org.gnome.desktop.background");
    g_settings_set_string(s, key, value);
    g_settings_sync();
    g_object_unref(s);
}

// A program folder, the user's GNOME background, and the refresh that works on both.
class DesktopWallpaperRefreshTest : public ::testing::Test {
protected:
    void SetUp() override {
        setGnome("picture-uri", kUserUri);
        setGnome("picture-uri-dark", "file:///usr/share/backgrounds/user-dark.jpg");
        setGnome("picture-options", "zoom");
        own = folder.makeFolder("imgLists/WorkDir");
        registry = std::make_unique<FileRegistry>(folder.file("registry"));
    }

    std::unique_ptr<DesktopWallpaperRefresh> makeRefresh(
        std::unique_ptr<DesktopBackground> background = nullptr) {
        if (!background)
            background =
                std::make_unique<GSettingsBackground>(GSettingsBackground::Flavour::Gnome, own);
        return std::make_unique<DesktopWallpaperRefresh>(std::move(background), *registry, boxes,
                                                         screen, own);
    }

    // What the wallpaper setter does: the picture file and the two values.
    void setWallpaper(const QImage& picture, const char* tile) {
        std::string path;
        if (!picture.isNull()) path = test::writeBitmap(own + "/wallpaper.bmp", picture);
        registry->setValues(
            Hive::CurrentUser, kDesktopKey,
            {{"Wallpaper", RegValue::string(path)}, {"TileWallpaper", RegValue::string(tile)}});
    }
    std::string value(const char* key, const char* name) {
        return registry->readString(Hive::CurrentUser, key, name);
    }
    std::vector<std::string> copies() {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(own))
            if (e.path().filename().string().rfind("desktop-", 0) == 0)
                out.push_back(e.path().string());
        return out;
    }
    bool showsUsersBackground() {
        return gnome("picture-uri") == kUserUri &&
               gnome("picture-uri-dark") == "file:///usr/share/backgrounds/user-dark.jpg" &&
               gnome("picture-options") == "zoom";
    }

    test::TempFolder folder;
    std::string own;
    std::unique_ptr<FileRegistry> registry;
    test::RecordingMessageBoxes boxes;
    test::FakeScreen screen;  // 1024 x 768
};

TEST_F(DesktopWallpaperRefreshTest, TheUsersBackgroundBecomesTheDesktopValuesAndIsKept) {
    auto refresh = makeRefresh();
    refresh->takeOverDesktop();
    EXPECT_EQ(value(kDesktopKey, "Wallpaper"), "/usr/share/backgrounds/user.jpg");
    EXPECT_EQ(value(kDesktopKey, "TileWallpaper"), "0");
    EXPECT_EQ(value(DesktopWallpaperRefresh::kRecordKey, "Desktop"), "GNOME");
    EXPECT_NE(value(DesktopWallpaperRefresh::kRecordKey, "State").find(kUserUri),
              std::string::npos);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DesktopWallpaperRefreshTest, ShowsAFreshCopyOfThePictureByItsSizeAndTiling) {
    const struct {
        int width, height;
        const char* tile;
        const char* options;
    } cases[] = {{1024, 768, "0", "stretched"},
                 {300, 200, "0", "centered"},
                 {300, 200, "1", "wallpaper"},
                 {1024, 768, "1", "wallpaper"}};
    auto refresh = makeRefresh();
    refresh->takeOverDesktop();
    std::string previous;
    int seed = 0;
    for (const auto& c : cases) {
        const QImage picture = test::patternPicture(c.width, c.height, ++seed);
        setWallpaper(picture, c.tile);
        refresh->refresh();
        EXPECT_EQ(gnome("picture-options"), c.options);
        const std::string uri = gnome("picture-uri");
        EXPECT_EQ(gnome("picture-uri-dark"), uri);
        EXPECT_EQ(uri.rfind("file://" + own + "/desktop-", 0), 0u) << uri;
        EXPECT_NE(uri, previous);  // a new name, so the desktop reads it anew
        previous = uri;
        const std::string path = uri.substr(7);
        // Replacing wallpaper.bmp later must not change what the desktop shows.
        setWallpaper(test::patternPicture(10, 10, 99), c.tile);
        EXPECT_TRUE(QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32) ==
                    picture);
        EXPECT_EQ(copies(), std::vector<std::string>{path});
    }
    setWallpaper({}, "0");
    refresh->refresh();
    EXPECT_EQ(gnome("picture-options"), "none");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DesktopWallpaperRefreshTest, TheRecordedValuesPutTheUsersBackgroundBackExactly) {
    auto refresh = makeRefresh();
    refresh->takeOverDesktop();
    const std::string wallpaper = value(kDesktopKey, "Wallpaper");
    setWallpaper(test::patternPicture(300, 200, 1), "1");
    refresh->refresh();
    ASSERT_FALSE(showsUsersBackground());

    // What RestoreDesktop writes back before it asks for a refresh.
    registry->setValues(
        Hive::CurrentUser, kDesktopKey,
        {{"Wallpaper", RegValue::string(wallpaper)}, {"TileWallpaper", RegValue::string("0")}});
    refresh->refresh();
    EXPECT_TRUE(showsUsersBackground());
    EXPECT_TRUE(copies().empty());
}

TEST_F(DesktopWallpaperRefreshTest, TheEndOfTheRunPutsTheUsersBackgroundBackAndForgetsIt) {
    {
        auto refresh = makeRefresh();
        refresh->takeOverDesktop();
        setWallpaper(test::patternPicture(300, 200, 1), "0");
        refresh->refresh();
        ASSERT_FALSE(showsUsersBackground());
    }
    EXPECT_TRUE(showsUsersBackground());
    EXPECT_EQ(value(DesktopWallpaperRefresh::kRecordKey, "State"), "");
    EXPECT_TRUE(copies().empty());
}

TEST_F(DesktopWallpaperRefreshTest, ARunThatNeverEndedIsPutRightByTheNextOne) {
    const std::string hive = folder.file("registry/HKEY_CURRENT_USER.reg");
    std::string crashedHive;
    std::string ourCopy;
    {
        auto refresh = makeRefresh();
        refresh->takeOverDesktop();
        setWallpaper(test::patternPicture(300, 200, 1), "0");
        refresh->refresh();
        ourCopy = gnome("picture-uri").substr(7);
        crashedHive = test::readFile(hive);
        fs::copy_file(ourCopy, folder.file("kept.bmp"));
    }
    // What the killed run left: its registry, and its picture on the desktop.
    fs::rename(folder.file("kept.bmp"), ourCopy);
    std::ofstream(hive, std::ios::binary) << crashedHive;
    GSettingsBackground(GSettingsBackground::Flavour::Gnome, own).show(ourCopy, Placement::Centre);
    registry = std::make_unique<FileRegistry>(folder.file("registry"));

    {
        auto refresh = makeRefresh();
        refresh->takeOverDesktop();
        // The values name the user's background, not the picture left on screen.
        EXPECT_EQ(value(kDesktopKey, "Wallpaper"), "/usr/share/backgrounds/user.jpg");
    }
    EXPECT_TRUE(showsUsersBackground());
    EXPECT_TRUE(copies().empty());
}

TEST_F(DesktopWallpaperRefreshTest, AFailingDesktopIsReportedOncePerRun) {
    auto refresh = makeRefresh(std::make_unique<PlasmaBackground>(own));  // no shell runs
    refresh->takeOverDesktop();
    for (int i = 0; i < 3; ++i) {
        setWallpaper(test::patternPicture(300, 200, i), "0");
        refresh->refresh();
    }
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("KDE Plasma"), std::string::npos) << boxes.shown[0].text;
    EXPECT_EQ(boxes.shown[0].caption, "Velluma");
}

TEST_F(DesktopWallpaperRefreshTest, ADesktopThatDoesNotAnswerKeepsNobodyWaiting) {
    test::FakePlasmaShell shell({});
    shell.delay(4000);
    auto refresh = makeRefresh(std::make_unique<PlasmaBackground>(own));
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    refresh->takeOverDesktop();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2600));
    setWallpaper(test::patternPicture(300, 200, 1), "0");
    start = Clock::now();
    refresh->refresh();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2600));
    start = Clock::now();
    refresh->refresh();  // left alone for a while after a time-out
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(DesktopWallpaperRefreshTest, WithoutADesktopTheValuesAreOnlyRead) {
    DesktopWallpaperRefresh refresh(nullptr, *registry, boxes, screen, own);
    refresh.takeOverDesktop();
    setWallpaper(test::patternPicture(300, 200, 1), "0");
    refresh.refresh();
    EXPECT_TRUE(showsUsersBackground());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(value(DesktopWallpaperRefresh::kRecordKey, "Desktop"), "");
}

}  // namespace
}  // namespace velluma
