#include <gtest/gtest.h>

#include <chrono>

#include "DesktopServices.h"
#include "platform_gui/posix/DesktopCall.h"
#include "platform_gui/posix/SwayBackground.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

const char* const kConfig = R"(# sway configuration
set $pics /usr/share/backgrounds
output * bg $pics/user.png tile
# output * bg /not/this.png fill
output HDMI-A-1 {
    mode 1920x1080
    background "/home/u/my wall.jpg" fill
}
output DP-1 resolution 1280x1024
output DP-2 bg #203040 solid_color
)";

TEST(SwayBackground, FindsEveryBackgroundOfTheConfiguration) {
    EXPECT_EQ(SwayBackground::backgroundCommands(kConfig),
              (std::vector<std::string>{"output * bg $pics/user.png tile",
                                        "output HDMI-A-1 background \"/home/u/my wall.jpg\" fill",
                                        "output DP-2 bg #203040 solid_color"}));
    EXPECT_TRUE(SwayBackground::backgroundCommands("output * mode 800x600\n").empty());
}

TEST(SwayBackground, ShowsByPlacementAndRestoresTheConfiguredBackgrounds) {
    test::TempFolder runtime;
    test::FakeSway sway(runtime.path(), kConfig);
    SwayBackground background(sway.socketPath());

    const DesktopState user = background.read();
    EXPECT_EQ(user.wallpaper, "$pics/user.png");
    EXPECT_EQ(user.tileWallpaper, "1");

    background.show("/srv/own/desktop 1.bmp", Placement::Centre);
    background.show("/srv/own/desktop-2.bmp", Placement::Tile);
    background.show("/srv/own/desktop-3.bmp", Placement::Span);
    background.show({}, Placement::None);
    background.restore(user.state);
    EXPECT_EQ(sway.commands(),
              (std::vector<std::string>{"output * bg \"/srv/own/desktop 1.bmp\" center",
                                        "output * bg \"/srv/own/desktop-2.bmp\" tile",
                                        "output * bg \"/srv/own/desktop-3.bmp\" stretch",
                                        "output * bg #000000 solid_color",
                                        "output * bg $pics/user.png tile",
                                        "output HDMI-A-1 background \"/home/u/my wall.jpg\" fill",
                                        "output DP-2 bg #203040 solid_color"}));
}

TEST(SwayBackground, RefusalsUnsafePathsAndSilenceAreErrors) {
    test::TempFolder runtime;
    test::FakeSway sway(runtime.path(), "");
    SwayBackground background(sway.socketPath());
    EXPECT_THROW(background.show("/srv/refuse/desktop-1.bmp", Placement::Centre), DesktopError);
    EXPECT_THROW(background.show("/srv/$HOME/desktop-1.bmp", Placement::Centre), DesktopError);
    EXPECT_EQ(sway.commands().size(), 1u);  // the unsafe path never went out

    sway.goSilent();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(background.read(), DesktopTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2600));
    EXPECT_THROW(SwayBackground(runtime.file("none.sock")).read(), DesktopError);
}

}  // namespace
}  // namespace velluma
