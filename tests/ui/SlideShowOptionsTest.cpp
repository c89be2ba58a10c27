#include <QComboBox>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "ui/RadioGroup.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

// Texts for the tab, so labels and items can be checked.
const char* kOptionsTexts =
    "[PAGE_OPTIONS]\r\ntsIllb0=size\r\ncbitem0=Stretch\r\ncbitem1=Own size\r\ncbitem2=Tile\r\n"
    "tsAdvrgitem0=Never\r\ntsAdvrgitem1=At start\r\ntsAdvrgitem2=Timer\r\n"
    "tsAdvrgitem3=In order\r\ntsAdvrgitem4=Random\r\ntsILrg13item0=One\r\ntsILrg13item1=Groups\r\n";

class SlideShowOptionsTest : public test::WindowFixture {
protected:
    SlideShowOptionsTest() {
        folder.write("Languages/alpha.lng", std::string(test::kAlpha) + kOptionsTexts);
        window = std::make_unique<TfMain>(*context);
        window->show();
    }
    RadioGroup* group(const char* name) { return child<RadioGroup>(name); }
    QComboBox* combo(const char* name) { return child<QComboBox>(name); }
    QSlider* tb1() { return child<QSlider>("tb1"); }
    void chooseMode(int index) {
        combo("cb2")->setCurrentIndex(index);
        Q_EMIT combo("cb2")->activated(index);
    }
};

TEST_F(SlideShowOptionsTest, DefaultsOnTheTab) {
    EXPECT_EQ(group("rg13")->itemIndex(), 0);
    EXPECT_EQ(combo("cb1")->currentText(), QStringLiteral("Stretch"));
    EXPECT_TRUE(combo("cb1")->isEnabled());
    EXPECT_EQ(tb1()->value(), 0);
    EXPECT_FALSE(tb1()->isEnabled());
    EXPECT_EQ(child<QLabel>("plb1")->text(), QStringLiteral("100x75 > size"));
    EXPECT_EQ(combo("cb2")->currentText(), QStringLiteral("Tile"));
    EXPECT_FALSE(combo("cb2")->isEnabled());
    EXPECT_EQ(child<QLabel>("plb3")->text(), QStringLiteral(": 1024x768"));
}

TEST_F(SlideShowOptionsTest, EnabledStatesFollowTheChoices) {
    group("rg13")->setItemIndex(1);
    EXPECT_TRUE(tb1()->isEnabled());
    EXPECT_TRUE(combo("cb2")->isEnabled());
    EXPECT_FALSE(combo("cb1")->isEnabled());

    group("rg11")->setItemIndex(1);
    EXPECT_TRUE(group("rg12")->isEnabled());
    EXPECT_FALSE(child<QGroupBox>("gb1")->isEnabled());
    EXPECT_FALSE(child<QSpinBox>("semin1")->isEnabled());
    group("rg11")->setItemIndex(2);
    EXPECT_TRUE(child<QSpinBox>("sesec2")->isEnabled());
}

TEST_F(SlideShowOptionsTest, GroupModesAreCommittedTogether) {
    struct Case {
        int group;
        int mode;
        std::int32_t packed;
    };
    for (const Case& c : {Case{5, 0, 222}, Case{0, 1, 100221}}) {
        settings.options.GroupDisplay = settings.options.GroupDisplayEdit = {2, 2, 2, 0, 0, 1};
        window->SettingsToControls();
        group("rg13")->setItemIndex(1);
        tb1()->setValue(c.group);
        if (c.group == 5) {
            EXPECT_EQ(combo("cb2")->currentText(), QStringLiteral("Own size"));
        }
        chooseMode(c.mode);
        EXPECT_EQ(PackGroupDisplay(settings.options.GroupDisplay), 100222);  // not yet
        window->ControlsToSettings();
        EXPECT_EQ(PackGroupDisplay(settings.options.GroupDisplay), c.packed);
        EXPECT_EQ(settings.options.LastPos, c.group);
    }
}

TEST_F(SlideShowOptionsTest, AChosenModeShowsAgainWhenTheGroupComesBack) {
    group("rg13")->setItemIndex(1);
    tb1()->setValue(2);
    chooseMode(1);
    tb1()->setValue(3);
    EXPECT_EQ(combo("cb2")->currentText(), QStringLiteral("Stretch"));
    tb1()->setValue(2);
    EXPECT_EQ(combo("cb2")->currentText(), QStringLiteral("Own size"));
    EXPECT_EQ(child<QLabel>("plb1")->text(), QStringLiteral("200x150 <= size < 400x300"));
}

// The label and cb2 describe the group the slider is on: at start-up on a saved group, and
// when restoring the window takes back a move that was not committed.
TEST_F(SlideShowOptionsTest, GroupLabelAndModeFollowTheSliderAtStartAndRestore) {
    settings.options.ilShowType = 1;
    settings.options.LastPos = 3;
    settings.options.GroupDisplay = settings.options.GroupDisplayEdit = {2, 2, 2, 1, 0, 0};
    window = std::make_unique<TfMain>(*context);
    window->show();
    const auto shows = [&](const char* label, const char* mode) {
        EXPECT_EQ(child<QLabel>("plb1")->text(), QString::fromLatin1(label));
        EXPECT_EQ(combo("cb2")->currentText(), QString::fromLatin1(mode));
    };
    ASSERT_EQ(tb1()->value(), 3);
    shows("400x300 <= size < 800x600", "Own size");

    tb1()->setFocus();
    QTest::keyClick(tb1(), Qt::Key_End);
    ASSERT_EQ(tb1()->value(), 5);
    shows("size => 1024x768", "Stretch");
    window->showMinimized();
    QCoreApplication::processEvents();
    child<QAction>("pmtryIcon0")->trigger();
    ASSERT_EQ(tb1()->value(), 3);
    shows("400x300 <= size < 800x600", "Own size");
}

TEST_F(SlideShowOptionsTest, PictureIntervalFromMinutesAndSeconds) {
    child<QSpinBox>("semin1")->setValue(2);
    child<QSpinBox>("sesec2")->setValue(30);
    window->ControlsToSettings();
    EXPECT_EQ(child<QTimer>("Timer4")->interval(), 150000);
    // Seconds typed beyond the range stand for the most there is.
    auto* seconds = child<QSpinBox>("sesec2");
    QTest::keyClick(seconds, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(seconds, QStringLiteral("75"));
    EXPECT_EQ(seconds->value(), 59);
    window->ControlsToSettings();
    EXPECT_EQ(child<QTimer>("Timer4")->interval(), 179000);
    EXPECT_TRUE(child<QTimer>("Timer4")->isActive());
}

}  // namespace
}  // namespace velluma
