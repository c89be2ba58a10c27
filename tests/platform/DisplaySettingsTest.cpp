#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "platform_gui/posix/DesktopShell.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

// Stand-ins for the desktops' settings programs on PATH, each noting how it was started.
class DisplaySettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = qgetenv("PATH");
        const std::string bin = folder.makeFolder("bin");
        for (const char* tool :
             {"gnome-control-center", "cinnamon-settings", "mate-display-properties",
              "systemsettings", "kcmshell6", "xfce4-display-settings", "wdisplays",
              "lxqt-config-monitor", "arandr"}) {
            const std::string file = folder.write(
                std::string("bin/") + tool, "#!/bin/sh\necho \"${0##*/} $*\" >> '" + log() + "'\n");
            ::chmod(file.c_str(), 0755);
        }
    }
    void TearDown() override { qputenv("PATH", m_path); }

    std::string log() const { return folder.file("started.log"); }
    std::string started() {
        for (int i = 0; i < 100 && test::readFile(log()).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::string text = test::readFile(log());
        std::remove(log().c_str());
        return text;
    }

    test::TempFolder folder;
    QByteArray m_path;
};

TEST_F(DisplaySettingsTest, OpensTheRunningDesktopsOwnSettings) {
    qputenv("PATH", QByteArray::fromStdString(folder.file("bin")));
    const std::pair<DesktopKind, const char*> cases[] = {
        {DesktopKind::Gnome, "gnome-control-center display\n"},
        {DesktopKind::Cinnamon, "cinnamon-settings display\n"},
        {DesktopKind::Mate, "mate-display-properties \n"},
        {DesktopKind::Plasma, "systemsettings kcm_kscreen\n"},
        {DesktopKind::Xfce, "xfce4-display-settings \n"},
        {DesktopKind::Sway, "wdisplays \n"},
        {DesktopKind::X11Root, "lxqt-config-monitor \n"},
    };
    for (const auto& [desktop, expected] : cases) {
        DesktopShell(desktop).openDisplaySettings();
        EXPECT_EQ(started(), expected) << desktopName(desktop);
    }
}

TEST_F(DisplaySettingsTest, AMissingToolIsNamedInTheMessage) {
    qputenv("PATH", QByteArray::fromStdString(folder.makeFolder("empty")));
    const std::pair<DesktopKind, const char*> cases[] = {
        {DesktopKind::Gnome, "gnome-control-center"},    {DesktopKind::Plasma, "systemsettings"},
        {DesktopKind::Xfce, "xfce4-display-settings"},   {DesktopKind::Sway, "wdisplays"},
        {DesktopKind::None, "No display settings tool"},
    };
    for (const auto& [desktop, named] : cases) {
        try {
            DesktopShell(desktop).openDisplaySettings();
            ADD_FAILURE() << "no error for " << desktopName(desktop);
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace velluma
