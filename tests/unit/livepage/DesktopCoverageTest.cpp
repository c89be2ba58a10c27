#include <gtest/gtest.h>

#include "livepage/DesktopCoverage.h"

namespace velluma {
namespace {

const QRect kLeft(0, 0, 1920, 1080);
const QRect kRight(1920, 0, 1280, 1024);

ClientWindow maximised(const QRect& rect) {
    ClientWindow w;
    w.rect = rect;
    w.maximised = true;
    return w;
}

struct CoverageCase {
    const char* name;
    QList<QRect> screens;
    QList<ClientWindow> windows;
    bool covered;
};

TEST(DesktopCoverage, CoveredOnlyWhenEveryScreenHasAShownMaximisedOrFullScreenWindow) {
    ClientWindow hidden = maximised(kLeft);
    hidden.hidden = true;
    ClientWindow elsewhere = maximised(kLeft);
    elsewhere.onCurrentWorkspace = false;
    ClientWindow normal;
    normal.rect = QRect(0, 0, 1920, 1080);  // as big as the screen, but not maximised
    ClientWindow halfMaximised = maximised(kLeft);
    halfMaximised.maximised = false;  // maximised one way only
    ClientWindow fullScreen;
    fullScreen.rect = kLeft;
    fullScreen.fullScreen = true;
    ClientWindow spanning;
    spanning.rect = kLeft.united(kRight);
    spanning.fullScreen = true;

    const CoverageCase cases[] = {
        {"maximised, panel left free", {kLeft}, {maximised(QRect(0, 30, 1920, 1050))}, true},
        {"full screen", {kLeft}, {fullScreen}, true},
        {"normal window of screen size", {kLeft}, {normal}, false},
        {"maximised one way only", {kLeft}, {halfMaximised}, false},
        {"minimised", {kLeft}, {hidden}, false},
        {"other workspace", {kLeft}, {elsewhere}, false},
        {"hidden window beside a covering one", {kLeft}, {hidden, fullScreen}, true},
        {"no windows", {kLeft}, {}, false},
        {"two screens, one covered", {kLeft, kRight}, {maximised(kLeft)}, false},
        {"two screens, both covered",
         {kLeft, kRight},
         {maximised(kLeft), maximised(kRight.adjusted(0, 0, 0, -40))},
         true},
        {"full screen across both screens", {kLeft, kRight}, {spanning}, true},
    };
    for (const CoverageCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(desktopCovered(c.screens, c.windows), c.covered);
    }
}

}  // namespace
}  // namespace velluma
