#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>

#include "core/Options.h"
#include "core/ResolutionAgent.h"
#include "platform_gui/posix/PageLauncher.h"
#include "support/TestPaths.h"
#include "ui/About.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

using MainWindowTest = test::WindowFixture;

TEST_F(MainWindowTest, CtrlFunctionKeysSwitchPagesAndPlainOnesDoNothing) {
    window->show();
    QTest::keyClick(window.get(), Qt::Key_F3, Qt::ControlModifier);
    EXPECT_EQ(page(), 2);
    QTest::keyClick(window.get(), Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(page(), 0);
    QTest::keyClick(window.get(), Qt::Key_F3);
    EXPECT_EQ(page(), 0);
    QTest::keyClick(window.get(), Qt::Key_F4, Qt::ControlModifier);
    EXPECT_EQ(page(), 3);
    EXPECT_TRUE(shell().opened.empty());  // no key opens the help
}

// The builder and the report page are built when first needed: saved as the page on display,
// they show whole at start-up, and they follow a language switch like the other pages.
TEST_F(MainWindowTest, ASavedBuilderOrReportPageShowsWholeAndFollowsTheLanguage) {
    folder.write("Languages/alpha.lng", std::string(test::kAlpha) +
                                            "[PAGE_EDITOR]\r\ncaption8=Create A\r\n"
                                            "[PAGE_REPORT]\r\nr6=Back A\r\n");
    const struct {
        int index;
        const char* name;
        const char* hint;
    } cases[] = {{3, "bcreate", "Create A"}, {4, "prepBBack", "Back A"}};
    for (const auto& [index, name, hint] : cases) {
        settings.options.ActivePage = index;
        window = std::make_unique<TfMain>(*context);
        window->show();
        EXPECT_EQ(page(), index);
        auto* control = child<QWidget>(name);
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->isVisible()) << name;
        EXPECT_EQ(control->property("hint").toString(), QString::fromLatin1(hint));
        window->language().Load(folder.file("Languages/beta.lng"));
        window->ApplyLanguage();
        EXPECT_EQ(control->property("hint").toString(), QString()) << name;
    }
}

TEST_F(MainWindowTest, HelpButtonKeepsThePageAndReportsAMissingFile) {
    window->show();
    child<QToolButton>("b4")->click();
    ASSERT_EQ(page(), 1);
    shell().openResult = kShellFileNotFound;
    child<QToolButton>("b1")->click();
    EXPECT_EQ(page(), 1);
    ASSERT_EQ(shell().opened.size(), 1u);
    EXPECT_EQ(shell().opened[0].target, folder.path() + "/help.html");
    EXPECT_EQ(shell().opened[0].mode, ShowMode::Show);
    ASSERT_EQ(boxes().shown.size(), 1u);
    EXPECT_EQ(boxes().shown[0].text, "Help file not found");
    EXPECT_EQ(boxes().shown[0].caption, "Tivora 2.00");
    EXPECT_EQ(boxes().shown[0].icon, MessageIcon::Error);
}

// The guide shown by ourselves, found among the top-level windows.
QTextBrowser* guideOnScreen() {
    for (QWidget* w : QApplication::topLevelWidgets())
        for (auto* browser : w->findChildren<QTextBrowser*>())
            if (browser->isVisible()) return browser;
    return nullptr;
}

// A desktop without a browser: the guide shows in a window of our own, and a web link
// that nothing opens is named in a message.
TEST_F(MainWindowTest, GuideAndLinksThatNoProgramOpens) {
    folder.write("Languages/alpha.lng",
                 std::string(test::kAlpha) + "[MESSAGES]\r\nnolink=Nothing opens:\r\n");
    window = std::make_unique<TfMain>(*context);
    folder.write("help.html",
                 "<html><head><title>Guide A</title></head><body><h1>Welcome</h1>"
                 "<p><a href=\"https://www.velluma.example/more\">more</a></p></body></html>");
    settings.Links[0] = "https://www.velluma.example/";
    window->show();
    shell().openResult = 31;  // no program for it
    child<QToolButton>("b1")->click();
    QTextBrowser* guide = guideOnScreen();
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->toPlainText().contains(QStringLiteral("Welcome")));
    EXPECT_EQ(guide->window()->windowTitle(), QStringLiteral("Guide A"));
    EXPECT_TRUE(boxes().shown.empty());

    menuItem(200)->trigger();
    ASSERT_EQ(boxes().shown.size(), 1u);
    EXPECT_EQ(boxes().shown[0].text, "Nothing opens:\nhttps://www.velluma.example/");
    EXPECT_EQ(boxes().shown[0].caption, "Velluma");

    // A web link in the guide goes to the desktop's browser.
    shell().openResult = kShellSuccess;
    guide->setSource(QUrl(QStringLiteral("https://www.velluma.example/more")));
    EXPECT_EQ(shell().opened.back().target, "https://www.velluma.example/more");
    EXPECT_TRUE(guide->toPlainText().contains(QStringLiteral("Welcome")));
    guide->window()->close();

    // The desktop's opener starts, then finds no program.
    child<QToolButton>("b1")->click();
    EXPECT_EQ(guideOnScreen(), nullptr);
    shell().opened.back().failedLater();
    ASSERT_NE(guideOnScreen(), nullptr);
    menuItem(200)->trigger();
    EXPECT_EQ(boxes().shown.size(), 1u);
    shell().opened.back().failedLater();
    EXPECT_EQ(boxes().shown.size(), 2u);
}

TEST_F(MainWindowTest, ResizeSetsProportionalWidths) {
    window->show();
    window->resize(628, 520);
    QCoreApplication::processEvents();
    ASSERT_EQ(window->width(), 628);
    auto* header = child<QTreeWidget>("lvAdvanc")->header();
    EXPECT_EQ(header->sectionSize(0), 151);
    EXPECT_EQ(header->sectionSize(1), 101);
    EXPECT_EQ(header->sectionSize(2), 256);
    for (int i = 0; i < 3; ++i) {
        const int expected[3] = {324, 151, 151};
        EXPECT_EQ(
            child<QLabel>(QStringLiteral("StatusPanel%1").arg(i).toLatin1().constData())->width(),
            expected[i]);
    }
}

TEST_F(MainWindowTest, HoveredHintStaysUntilTheMouseLeaves) {
    window->show();
    auto* button = child<QToolButton>("tbbChState");
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_EQ(panel(0), QStringLiteral("Mode A"));
    EXPECT_EQ(window->statusLine().hintMark(), 1);
    window->statusLine().Timer1Timer();
    EXPECT_EQ(panel(0), QStringLiteral("Mode A"));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_EQ(window->statusLine().hintMark(), 0);
    EXPECT_EQ(panel(0), QStringLiteral("Themes: 0   Current: ../advThemes/"));
    EXPECT_EQ(panel(1), QStringLiteral("Theme mode"));
}

TEST_F(MainWindowTest, AnUnconfinedPageIsToldInTheStatusLineOnce) {
    window->show();
    const PageLauncher cannot(PageLauncher::Confinement::WhereTheMachineCan, "/nonexistent/bwrap");
    QProcess page;
    cannot.start(page, QStringLiteral("/usr/bin/true"), {}, {});
    page.waitForFinished(5000);
    QTest::qWait(50);
    EXPECT_TRUE(panel(0).contains(QStringLiteral("unconfined"))) << panel(0).toStdString();
    window->statusLine().Timer1Timer();  // it stays until a hint takes the line
    EXPECT_TRUE(panel(0).contains(QStringLiteral("unconfined"))) << panel(0).toStdString();

    window->statusLine().showStatusText(QStringLiteral("other"));
    QProcess again;
    cannot.start(again, QStringLiteral("/usr/bin/true"), {}, {});
    again.waitForFinished(5000);
    QTest::qWait(50);
    EXPECT_EQ(panel(0), QStringLiteral("other"));
}

TEST_F(MainWindowTest, CommittingOptionsRestartsTheRotationOnlyWhenTheIntervalChanges) {
    window->show();
    auto* timer3 = child<QTimer>("Timer3");
    ASSERT_TRUE(timer3->isActive());
    EXPECT_EQ(timer3->interval(), 60000);
    QTest::qWait(300);
    window->ControlsToSettings();
    EXPECT_LE(timer3->remainingTime(), 60000 - 250);  // still counting
    child<QSpinBox>("seMin")->setValue(2);
    window->ControlsToSettings();
    EXPECT_EQ(timer3->interval(), 120000);
    EXPECT_GT(timer3->remainingTime(), 120000 - 150);  // counting again
    EXPECT_EQ(settings.options.advMin, 2);
}

TEST_F(MainWindowTest, ZeroIntervalNeverFires) {
    settings.options.ilMin = 0;
    settings.options.ilSec = 0;
    window->SettingsToControls();
    EXPECT_FALSE(child<QTimer>("Timer4")->isActive());
}

TEST_F(MainWindowTest, SwitchingLanguageTwiceLeavesNoMiddleText) {
    ASSERT_EQ(languages.size(), 2u);
    QMenu* languageMenu = child<QMenu>("MainMenu2");
    const auto items = languageMenu->actions();
    ASSERT_EQ(items.size(), 2);
    const int alpha = languages[0].Name == "Beta" ? 1 : 0;
    EXPECT_EQ(items[alpha]->text(), QStringLiteral("Alpha && Co"));  // shown as written
    EXPECT_TRUE(items[alpha]->isChecked());

    window->LangItemClick(items[1 - alpha]);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Beta window"));
    EXPECT_EQ(child<QToolButton>("tbbOnOff")->toolTip(), QStringLiteral("On/off B"));
    EXPECT_TRUE(items[1 - alpha]->isChecked());
    EXPECT_FALSE(items[alpha]->isChecked());
    EXPECT_EQ(settings.options.LanguageFileName, folder.file("Languages/beta.lng"));

    window->LangItemClick(items[alpha]);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Alpha window"));
    EXPECT_EQ(child<QToolButton>("tbbOnOff")->toolTip(), QString());
    EXPECT_EQ(child<QLabel>("lb1")->text(), QStringLiteral("Themes A"));
    EXPECT_EQ(child<QMenu>("MainMenu0")->title(), QStringLiteral("File A"));
    EXPECT_EQ(languageMenu->actions().size(), 2);  // re-captioned, not rebuilt
}

TEST_F(MainWindowTest, SameNamedLanguagesBothListedFirstWins) {
    folder.write("Languages/beta2.lng", test::kBeta);
    languages.clear();
    FindLanguages(folder.file("Languages"), folder.path(), languages);
    TfMain second(*context);
    QMenu* menu = second.findChild<QMenu*>(QStringLiteral("MainMenu2"));
    ASSERT_EQ(menu->actions().size(), 3);
    std::string firstBeta;
    for (const TMLang& l : languages)
        if (l.Name == "Beta" && firstBeta.empty()) firstBeta = l.Path;
    for (QAction* item : menu->actions()) {
        if (item->text() != QStringLiteral("Beta")) continue;
        second.LangItemClick(item);
        EXPECT_EQ(settings.options.LanguageFileName, firstBeta);
    }
}

// Languages come in the order of their file names, each with its flag, and the current one
// carries a mark that shows (the menu looks different without it).
TEST_F(MainWindowTest, LanguageMenuInFileNameOrderWithTheCurrentOneMarked) {
    folder.makeFolder("Languages/flags");
    std::filesystem::copy_file(std::string(VELLUMA_DATA_DIR) + "/Languages/flags/flag.ico",
                               folder.file("Languages/flags/flag.ico"));
    for (const char* name : {"delta", "charlie", "echo", "golf", "foxtrot"}) {
        std::string title = name;
        title[0] = static_cast<char>(title[0] - 'a' + 'A');
        folder.write(std::string("Languages/") + name + ".lng",
                     "[LANGUAGE_NAME]\r\nname=" + title + "\r\n");
    }
    languages.clear();
    FindLanguages(folder.file("Languages"), folder.path(), languages);
    settings.options.LanguageFileName = folder.file("Languages/charlie.lng");
    window = std::make_unique<TfMain>(*context);
    QMenu* menu = child<QMenu>("MainMenu2");
    QStringList captions;
    for (QAction* item : menu->actions()) captions << item->text();
    EXPECT_EQ(captions.join(QLatin1Char(',')),
              QStringLiteral("Alpha && Co,Beta,Charlie,Delta,Echo,Foxtrot,Golf"));
    QAction* current = menu->actions().value(2);
    ASSERT_NE(current, nullptr);
    EXPECT_FALSE(current->icon().isNull());
    EXPECT_TRUE(current->isChecked());
    // Styles draw no check beside an icon: the flag's checked picture carries it.
    EXPECT_NE(current->icon().pixmap(16, QIcon::Normal, QIcon::On).toImage(),
              current->icon().pixmap(16, QIcon::Normal, QIcon::Off).toImage());
    menu->adjustSize();
    const QImage marked = menu->grab().toImage();
    current->setChecked(false);
    EXPECT_NE(menu->grab().toImage(), marked);
}

// The switch-on items mark the mode the program is in.
TEST_F(MainWindowTest, SwitchOnMenuMarksTheCurrentMode) {
    auto* themeMode = window->findChild<QAction*>(QStringLiteral("tbbONOFFPM00"));
    auto* pictureMode = window->findChild<QAction*>(QStringLiteral("tbbONOFFPM01"));
    ASSERT_TRUE(themeMode && pictureMode);
    EXPECT_TRUE(themeMode->isChecked());
    EXPECT_FALSE(pictureMode->isChecked());
    child<QToolButton>("tbbChState")->click();
    EXPECT_FALSE(themeMode->isChecked());
    EXPECT_TRUE(pictureMode->isChecked());
}

TEST_F(MainWindowTest, OptionsMenuItemsShowTheirSheet) {
    window->show();
    menuItem(20)->trigger();
    EXPECT_EQ(page(), 2);
    EXPECT_EQ(child<QTabWidget>("PCOptions")->currentIndex(), 1);
    menuItem(30)->trigger();
    EXPECT_EQ(child<QTabWidget>("PCOptions")->currentIndex(), 2);
}

TEST_F(MainWindowTest, ErrorsInCommandsAreReportedAndTheProgramGoesOn) {
    shell().displaySettingsError = "No display tool";
    menuItem(1)->trigger();
    ASSERT_EQ(boxes().shown.size(), 1u);
    EXPECT_EQ(boxes().shown[0].text, "No display tool.");
    EXPECT_EQ(boxes().shown[0].caption, "Velluma");
    EXPECT_EQ(boxes().shown[0].icon, MessageIcon::Error);
    shell().displaySettingsError.clear();
    window->findChild<QAction*>(QStringLiteral("pmtryIcon1"))->trigger();
    EXPECT_EQ(shell().displaySettingsOpened, 1);
}

TEST_F(MainWindowTest, StartupShortcutFollowsRunAtStartup) {
    const std::string link = folder.file("autostart/Velluma.desktop");
    window->show();
    window->ControlsToSettings();
    EXPECT_TRUE(test::fileExists(link));
    EXPECT_NE(test::readFile(link).find(folder.path() + "/velluma"), std::string::npos);

    window->SettingsToControls();
    child<QCheckBox>("cbAutoRun")->setChecked(false);
    window->ControlsToSettings();
    EXPECT_FALSE(settings.options.RunAtStartup);
    EXPECT_FALSE(test::fileExists(link));
    window->ControlsToSettings();  // already gone: no error
    EXPECT_TRUE(boxes().shown.empty());
}

TEST_F(MainWindowTest, SessionEndRestoresTheDesktopAndCloses) {
    int restored = 0, closed = 0;
    window->desktop().restoreDesktop = [&] { ++restored; };
    window->onClosed = [&] { ++closed; };
    window->show();
    window->sessionEnding();
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace velluma
