#include <gtest/gtest.h>

#include <chrono>

#include "DesktopServices.h"
#include "platform_gui/posix/DesktopCall.h"
#include "platform_gui/posix/PlasmaBackground.h"

namespace velluma {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::FakePlasmaShell;

const QString kImageGroup = u"Wallpaper/org.kde.image/General"_s;

// Two screens of the current activity and one desktop of another activity, each with a
// different kind of background.
std::vector<FakePlasmaShell::Desktop> userDesktops() {
    FakePlasmaShell::Desktop picture{1, 0, u"org.kde.image"_s, {}};
    picture.config[kImageGroup] = {{u"Image"_s, u"file:///usr/share/wallpapers/user.png"_s},
                                   {u"FillMode"_s, u"2"_s}};
    FakePlasmaShell::Desktop slides{2, 1, u"org.kde.slideshow"_s, {}};
    slides.config[u"Wallpaper/org.kde.slideshow/General"_s] = {{u"SlidePaths"_s, u"/pics"_s}};
    FakePlasmaShell::Desktop colour{7, -1, u"org.kde.color"_s, {}};
    return {picture, slides, colour};
}

// What each desktop shows: its plugin, and the picture plugin's settings as Plasma reads
// them (an unset key counts as its default).
std::vector<std::string> shown(const std::vector<FakePlasmaShell::Desktop>& desktops) {
    std::vector<std::string> out;
    for (auto d : desktops) {
        auto& image = d.config[kImageGroup];
        const QString picture = image.count(u"Image"_s) ? image[u"Image"_s] : QString();
        const QString fill = image.count(u"FillMode"_s) ? image[u"FillMode"_s] : u"2"_s;
        out.push_back((d.plugin + u' ' + picture + u' ' + fill).toStdString());
    }
    return out;
}

TEST(PlasmaBackground, ShowsThePictureOnEveryDesktopWithTheFillModeOfItsPlacement) {
    const std::pair<Placement, const char*> cases[] = {{Placement::Stretch, "0"},
                                                       {Placement::Span, "0"},
                                                       {Placement::Centre, "6"},
                                                       {Placement::Tile, "3"}};
    for (const auto& [placement, fill] : cases) {
        FakePlasmaShell shell(userDesktops());
        PlasmaBackground plasma("/srv/own");
        plasma.show("/srv/own/desktop 3.bmp", placement);
        for (const std::string& d : shown(shell.desktops()))
            EXPECT_EQ(d, std::string("org.kde.image file:///srv/own/desktop%203.bmp ") + fill);
    }
}

TEST(PlasmaBackground, NoPictureShowsThePlainColour) {
    FakePlasmaShell shell(userDesktops());
    PlasmaBackground plasma("/srv/own");
    plasma.show({}, Placement::None);
    for (const auto& d : shell.desktops()) EXPECT_EQ(d.plugin, u"org.kde.color"_s);
}

TEST(PlasmaBackground, ReadNamesTheFirstScreensPictureAndRestorePutsEveryDesktopBack) {
    FakePlasmaShell shell(userDesktops());
    PlasmaBackground plasma("/srv/own");
    const std::vector<std::string> before = shown(shell.desktops());

    const DesktopState user = plasma.read();
    EXPECT_EQ(user.wallpaper, "/usr/share/wallpapers/user.png");
    EXPECT_EQ(user.tileWallpaper, "0");
    EXPECT_FALSE(user.ownPicture);

    plasma.show("/srv/own/desktop-1.bmp", Placement::Tile);
    EXPECT_TRUE(plasma.read().ownPicture);
    plasma.restore(user.state);
    EXPECT_EQ(shown(shell.desktops()), before);
    EXPECT_EQ(shell.desktops()[1].plugin, u"org.kde.slideshow"_s);
}

TEST(PlasmaBackground, RefusalAndSilenceAreErrorsWithinTheTimeLimit) {
    {
        FakePlasmaShell shell(userDesktops());
        shell.refuse(u"Widgets are locked"_s);
        PlasmaBackground plasma("/srv/own");
        try {
            plasma.show("/srv/own/desktop-1.bmp", Placement::Centre);
            ADD_FAILURE() << "no error";
        } catch (const DesktopError& e) {
            EXPECT_NE(std::string(e.what()).find("Widgets are locked"), std::string::npos);
        }
    }
    {
        FakePlasmaShell shell(userDesktops());
        shell.delay(4000);
        PlasmaBackground plasma("/srv/own");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_THROW(plasma.read(), DesktopTimeout);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2600));
    }
    PlasmaBackground nobody("/srv/own");
    EXPECT_THROW(nobody.read(), DesktopError);
}

}  // namespace
}  // namespace velluma
