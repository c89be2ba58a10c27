#include <gtest/gtest.h>
#include <unistd.h>

#include "DesktopServices.h"
#include "platform_gui/posix/DesktopDetection.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using namespace Qt::Literals::StringLiterals;
using K = DesktopKind;

TEST(DesktopDetection, ChoosesTheDesktopFromWhatTheSessionOffers) {
    struct Case {
        const char* what;
        DesktopProbe probe;
        DesktopKind expected;
    };
    const Case cases[] = {
        {"offscreen Qt has no desktop",
         {"offscreen", {"org.gnome.Shell"}, true, true, "", ""},
         K::None},
        {"GNOME on Wayland", {"wayland", {"org.gnome.Shell"}, false, false, "", ""}, K::Gnome},
        {"GNOME on X11", {"xcb", {"org.gnome.Shell"}, true, true, "GNOME Shell", ""}, K::Gnome},
        {"Plasma wins over names it shares",
         {"wayland",
          {"org.gnome.Mutter.DisplayConfig", "org.kde.plasmashell"},
          false,
          false,
          "",
          ""},
         K::Plasma},
        {"Cinnamon", {"xcb", {"org.Cinnamon"}, true, true, "Mutter (Muffin)", ""}, K::Cinnamon},
        {"Xfce",
         {"xcb", {"org.xfce.Xfconf", "org.xfce.xfdesktop"}, true, true, "Xfwm4", ""},
         K::Xfce},
        {"xfconf alone draws nothing",
         {"xcb", {"org.xfce.Xfconf"}, true, true, "Openbox", ""},
         K::X11Root},
        {"MATE by its settings daemon",
         {"xcb", {"org.mate.SettingsDaemon"}, true, true, "", ""},
         K::Mate},
        {"MATE by its window manager", {"xcb", {}, true, true, "Metacity (Marco)", ""}, K::Mate},
        {"Budgie", {"xcb", {"org.buddiesofbudgie.BudgieWM"}, true, true, "Budgie", ""}, K::Gnome},
        {"sway", {"wayland", {}, false, false, "", "/run/user/1/sway-ipc.1.5.sock"}, K::Sway},
        {"Xwayland under sway", {"xcb", {}, true, true, "wlroots wm", "/run/sway.sock"}, K::Sway},
        {"a window manager alone", {"xcb", {}, true, true, "i3", ""}, K::X11Root},
        {"a bare X server is no other session's desktop",
         {"xcb", {"org.kde.plasmashell"}, true, false, "", ""},
         K::X11Root},
        {"an unknown Wayland compositor", {"wayland", {}, false, false, "", ""}, K::None},
    };
    for (const Case& c : cases) EXPECT_EQ(chooseDesktop(c.probe), c.expected) << c.what;
}

TEST(DesktopDetection, ProbesTheBusTheXDisplayAndSwaysSocket) {
    test::XServer x;
    ASSERT_FALSE(x.display().empty());
    test::TempFolder runtime;

    DesktopProbe bare = probeDesktop("xcb", x.display(), runtime.path());
    EXPECT_TRUE(bare.x11);
    EXPECT_FALSE(bare.x11WindowManager);
    EXPECT_EQ(chooseDesktop(bare), K::X11Root);

    test::pretendWindowManager(x.display(), "KWin");
    test::BusNames names({u"org.kde.plasmashell"_s});
    test::FakeSway sway(runtime.path(), "");
    const DesktopProbe plasma = probeDesktop("xcb", x.display(), runtime.path());
    EXPECT_TRUE(plasma.x11WindowManager);
    EXPECT_EQ(plasma.x11WindowManagerName, "KWin");
    EXPECT_EQ(plasma.swaySocket, sway.socketPath());
    EXPECT_EQ(chooseDesktop(plasma), K::Plasma);

    const DesktopProbe headless = probeDesktop("offscreen", x.display(), runtime.path());
    EXPECT_TRUE(headless.busNames.empty());
    EXPECT_FALSE(headless.x11);
}

TEST(DesktopDetection, IgnoresSocketsOfSwaysThatAreGone) {
    test::TempFolder runtime;
    const std::string uid = std::to_string(getuid());
    runtime.write("sway-ipc." + uid + ".999999999.sock", "");  // no such process
    runtime.write("sway-ipc." + uid + "." + std::to_string(getpid()) + ".sock", "");  // no socket
    runtime.write("sway-ipc." + uid + ".x.sock", "");
    EXPECT_EQ(findSwaySocket(runtime.path()), "");
    EXPECT_EQ(findSwaySocket(runtime.file("missing")), "");

    // A live socket under a name that is no process number: 0 is our own process group to
    // kill(), the others do not fit a pid_t and would wrap onto a process that is there.
    const std::string wrapsOntoUs = std::to_string((1LL << 32) + getpid());
    for (const std::string& pid :
         {std::string("0"), wrapsOntoUs, std::string("99999999999999999999999")}) {
        test::FakeSway sway(runtime.path(), "", pid);
        EXPECT_EQ(findSwaySocket(runtime.path()), "") << pid;
    }
}

}  // namespace
}  // namespace velluma
