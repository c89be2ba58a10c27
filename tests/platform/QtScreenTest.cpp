#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <array>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "DesktopServices.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using test::TempFolder;

// The probe in an environment of its own: Qt reads its scale at start-up.
std::string probedSize(const std::map<std::string, std::string>& env) {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                             "QT_ENABLE_HIGHDPI_SCALING", "QT_QPA_PLATFORM", "DISPLAY"})
        e.remove(QString::fromLatin1(name));
    for (const auto& [name, value] : env)
        e.insert(QString::fromStdString(name), QString::fromStdString(value));
    QProcess probe;
    probe.setProcessEnvironment(e);
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(VELLUMA_SCREEN_PROBE), {});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0) return "probe failed";
    return probe.readAllStandardOutput().trimmed().toStdString();
}

// Screens of the offscreen platform: "x,y,width,height,logical dpi" in device pixels each.
std::string offscreenScreens(const TempFolder& temp,
                             const std::vector<std::array<int, 5>>& screens) {
    std::string json = R"({"screens": [)";
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const auto& s = screens[i];
        json += (i ? "," : "") + std::string(R"({"name": "s)") + std::to_string(i) + R"(", "x": )" +
                std::to_string(s[0]) + R"(, "y": )" + std::to_string(s[1]) + R"(, "width": )" +
                std::to_string(s[2]) + R"(, "height": )" + std::to_string(s[3]) +
                R"(, "logicalDpi": )" + std::to_string(s[4]) +
                R"(, "logicalBaseDpi": 96, "dpr": 1})";
    }
    return "offscreen:configfile=" + temp.write("screens.json", json + "]}");
}

TEST(QtScreen, GivesTheDesktopInDevicePixelsAtEveryScale) {
    struct Case {
        const char* what;
        std::vector<std::array<int, 5>> screens;
        std::map<std::string, std::string> env;
        const char* size;
    };
    const std::vector<Case> cases = {
        {"unscaled", {{0, 0, 1366, 768, 96}}, {}, "1366x768"},
        {"QT_SCALE_FACTOR 2", {{0, 0, 1366, 768, 96}}, {{"QT_SCALE_FACTOR", "2"}}, "1366x768"},
        {"QT_SCALE_FACTOR 1.25",
         {{0, 0, 1366, 768, 96}},
         {{"QT_SCALE_FACTOR", "1.25"}},
         "1366x768"},
        {"150 % from the screen's dpi", {{0, 0, 1920, 1080, 144}}, {}, "1920x1080"},
        {"200 % from the screen's dpi", {{0, 0, 1366, 768, 192}}, {}, "1366x768"},
        {"two screens, the second at 200 %",
         {{0, 0, 1366, 768, 96}, {1366, 0, 1920, 1080, 192}},
         {},
         "3286x1080"},
        {"two screens scaled 1 and 2 by QT_SCREEN_SCALE_FACTORS",
         {{0, 0, 1024, 768, 96}, {1024, 0, 1024, 768, 96}},
         {{"QT_SCREEN_SCALE_FACTORS", "s0=1;s1=2"}},
         "2048x768"},
    };
    for (const Case& c : cases) {
        TempFolder temp;
        std::map<std::string, std::string> env = c.env;
        env["QT_QPA_PLATFORM"] = offscreenScreens(temp, c.screens);
        EXPECT_EQ(probedSize(env), c.size) << c.what;
    }
}

// Qt takes Xft.dpi from the root window's resources, as xrdb leaves them.
void setXftDpi(const std::string& display, int dpi) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const std::string resources = "Xft.dpi:\t" + std::to_string(dpi) + "\n";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, XCB_ATOM_RESOURCE_MANAGER,
                        XCB_ATOM_STRING, 8, std::uint32_t(resources.size()), resources.data());
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

TEST(QtScreen, GivesTheX11DesktopInDevicePixelsAtEveryScale) {
    test::XServer x(1366, 768);
    ASSERT_FALSE(x.display().empty());
    const std::string& display = x.display();
    for (int dpi : {96, 120, 144, 192}) {
        setXftDpi(x.display(), dpi);
        EXPECT_EQ(probedSize({{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display}}), "1366x768")
            << "Xft.dpi " << dpi;
    }
    EXPECT_EQ(
        probedSize({{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display}, {"QT_SCALE_FACTOR", "1.5"}}),
        "1366x768");
}

}  // namespace
}  // namespace velluma
