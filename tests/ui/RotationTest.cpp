// The window follows the desktop controller: its page, tool bar and status line.
#include <QAction>

#include "support/TestPaths.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

class RotationTest : public test::WindowFixture {
protected:
    RotationTest() { folder.makeFolder("imgLists/WorkDir"); }
};

TEST_F(RotationTest, ModeSwitchWhileOffChangesOnlyTheMode) {
    settings.options.Enabled = false;
    window->show();
    const int pageBefore = page();
    const std::string desktopBefore = test::readFile(folder.file("registry/HKEY_CURRENT_USER.reg"));
    window->desktop().tbbChStateClick();
    EXPECT_EQ(settings.options.state, 1);
    EXPECT_EQ(page(), pageBefore);
    EXPECT_EQ(test::readFile(folder.file("registry/HKEY_CURRENT_USER.reg")), desktopBefore);
    EXPECT_EQ(panel(1), QString());  // the fixture's language has no msg9
}

TEST_F(RotationTest, ModeSwitchWhileOnShowsThePicturesPageAndMarksTheMode) {
    settings.options.Enabled = true;
    settings.options.state = 0;
    settings.cImg = std::string(VELLUMA_DATA_DIR) + "/imgLists/abstract/abs001.jpg";
    window->show();
    window->desktop().tbbChStateClick();
    EXPECT_EQ(page(), 1);
    EXPECT_TRUE(child<QAction>("tbbONOFFPM01")->isChecked());
    EXPECT_FALSE(child<QAction>("tbbONOFFPM00")->isChecked());
    window->desktop().tbbONOFFPM2Click();
    EXPECT_TRUE(child<QAction>("tbbONOFFPM2")->isChecked());
    EXPECT_TRUE(boxes().shown.empty());
}

}  // namespace
}  // namespace velluma
