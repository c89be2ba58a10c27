#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QStackedWidget>
#include <memory>

#include "control/DesktopController.h"
#include "core/Options.h"
#include "core/ResolutionAgent.h"
#include "support/TempFolder.h"
#include "support/TestPlatform.h"
#include "themes/ThemeContext.h"
#include "ui/MainWindow.h"
#include "ui/StatusLine.h"
#include "ui/TrayIcon.h"

namespace velluma::test {

// Two languages; "alpha" lacks the on/off hint that "beta" has.
inline const char* kAlpha =
    "[LANGUAGE_NAME]\r\nname=Alpha & Co\r\n[MAINFORM_CAPTION]\r\ncaption=Alpha window\r\n"
    "[HELPFILE]\r\nfilename=\\help.html\r\n"
    "[BUTTONLIST_CAPTIONS]\r\nbutton0=Themes A\r\nhint0=Theme hint A\r\n"
    "[TOOL_BAR]\r\nb1hint=Mode A\r\n"
    "[STATUS_BAR]\r\nmsg0=Themes\r\nmsg1=Current\r\nmsg8=Theme mode\r\n"
    "[MAINMENU]\r\na0name=File A\r\n";
inline const char* kBeta =
    "[LANGUAGE_NAME]\r\nname=Beta\r\n[MAINFORM_CAPTION]\r\ncaption=Beta window\r\n"
    "[BUTTONLIST_CAPTIONS]\r\nbutton0=Themes B\r\n"
    "[TOOL_BAR]\r\nb0hint=On/off B\r\nb1hint=Mode B\r\n"
    "[MAINMENU]\r\na0name=File B\r\n";

/// A real main window on the offscreen platform with test doubles, in a scratch program
/// folder with two small languages.
class WindowFixture : public ::testing::Test {
protected:
    WindowFixture() {
        folder.write("Languages/alpha.lng", kAlpha);
        folder.write("Languages/beta.lng", kBeta);
        folder.makeFolder("imgLists");
        platform = makeTestPlatform(folder.file("registry"));
        shell().startupFolder = folder.file("autostart");
        FindLanguages(folder.file("Languages"), folder.path(), languages);
        settings = ReadSettings(*platform.registry, folder.path());
        settings.options.LanguageFileName = folder.file("Languages/alpha.lng");
        agent = std::make_unique<TRAgent>(*platform.screen);
        themes = std::make_unique<ThemeContext>(MakeThemeContext(platform, folder.path()));
        context = std::make_unique<AppContext>(
            AppContext{platform, settings, languages, *agent, *themes});
        window = std::make_unique<TfMain>(*context);
    }

    RecordingShell& shell() { return static_cast<RecordingShell&>(*platform.shell); }
    RecordingMessageBoxes& boxes() {
        return static_cast<RecordingMessageBoxes&>(*platform.messageBoxes);
    }
    template <typename T>
    T* child(const char* name) {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    int page() { return child<QStackedWidget>("PageControl")->currentIndex(); }
    QString panel(int i) {
        return child<QLabel>(QStringLiteral("StatusPanel%1").arg(i).toLatin1().constData())->text();
    }
    QAction* menuItem(int tag) {
        return window->findChild<QAction*>(QStringLiteral("MainMenuItem%1").arg(tag));
    }

    TempFolder folder;
    Platform platform;
    Settings settings;
    std::vector<TMLang> languages;
    std::unique_ptr<TRAgent> agent;
    std::unique_ptr<ThemeContext> themes;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<TfMain> window;
};

}  // namespace velluma::test
