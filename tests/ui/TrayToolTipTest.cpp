#include <gtest/gtest.h>

#include <QSystemTrayIcon>

#include "ui/TrayToolTip.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

TEST(TrayToolTipTest, NamesTheProgramTheModeAndWhatIsShown) {
    struct Case {
        std::uint8_t state;
        const char* mode;
        const char* theme;
        const char* picture;
        const char* expected;
    };
    const Case cases[] = {
        {0, "Mode: animated themes", "/d/advThemes/Aurora Veil.tvp", "/d/imgLists/a/abs001.jpg",
         "Velluma\nMode: animated themes\nAurora Veil"},
        {1, "Mode: slide show", "/d/advThemes/Aurora Veil.tvp", "/d/imgLists/a/abs001.jpg",
         "Velluma\nMode: slide show\nabs001.jpg"},
        {0, "Mode: animated themes", "", "/d/imgLists/a/abs001.jpg",
         "Velluma\nMode: animated themes"},
        {1, "Mode: slide show", "/d/advThemes/x.tvp", "", "Velluma\nMode: slide show"},
        // Only a theme package's own extension goes; a picture keeps its name whole.
        {0, "Modus", "/d/advThemes/Petal.TVP.tvp", "", "Velluma\nModus\nPetal.TVP"},
        {0, "Modus", "/d/advThemes/Old.TVP", "", "Velluma\nModus\nOld"},
        {1, "Modus", "", "/d/pics/movie.tvp", "Velluma\nModus\nmovie.tvp"},
        {0, "Modus", "/d/advThemes/Été.tvp", "", "Velluma\nModus\nÉté"},
        {0, "", "", "", "Velluma"},  // a language file without the mode texts
    };
    for (const Case& c : cases)
        EXPECT_EQ(trayToolTip(c.state, QString::fromUtf8(c.mode), c.theme, c.picture),
                  QString::fromUtf8(c.expected))
            << c.theme << " " << c.picture;
}

class TrayTipWindowTest : public test::WindowFixture {};

TEST_F(TrayTipWindowTest, FollowsTheModeAndEachNewPicture) {
    settings.options.Enabled = false;  // nothing to show on the desktop
    settings.cadvTheme = folder.file("advThemes/Dusk Tide.tvp");
    settings.cImg = folder.file("imgLists/abstract/abs003.jpg");
    window->statusLine().Timer1Timer();
    EXPECT_EQ(window->tray().icon()->toolTip(), QStringLiteral("Velluma\nTheme mode\nDusk Tide"));

    window->desktop().tbbChStateClick();  // alpha has no text for picture mode
    EXPECT_EQ(window->tray().icon()->toolTip(), QStringLiteral("Velluma\nabs003.jpg"));

    settings.cImg = folder.file("imgLists/abstract/abs004.jpg");  // as a rotation's step does
    window->statusLine().Timer1Timer();
    EXPECT_EQ(window->tray().icon()->toolTip(), QStringLiteral("Velluma\nabs004.jpg"));
}

}  // namespace
}  // namespace velluma
