#include "app/Program.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "app/CommandLine.h"
#include "app/SessionEnd.h"
#include "app/SingleInstance.h"
#include "control/DesktopController.h"
#include "core/DataFolder.h"
#include "core/Options.h"
#include "core/PendingReports.h"
#include "core/ProgramFolder.h"
#include "core/ResolutionAgent.h"
#include "language/Language.h"
#include "platform/AtomicFile.h"
#include "platform/SessionEnding.h"
#include "platform_gui/PlatformFactory.h"
#include "platform_gui/posix/SessionEndWatcher.h"
#include "themes/Presenter.h"
#include "themes/ThemeContext.h"
#include "ui/About.h"
#include "ui/ErrorReport.h"
#include "ui/MainWindow.h"
#include "ui/TrayIcon.h"

namespace velluma {
namespace {

// The last safety net: an error that escaped every handler is reported, not fatal.
class VellumaApplication final : public QApplication {
public:
    using QApplication::QApplication;
    MessageBoxes* boxes = nullptr;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            if (boxes) boxes->reportError(e.what());
        } catch (...) {
            if (boxes) boxes->reportError("Unknown error");
        }
        return false;
    }
};

// An error before the message loop ends the program, as the platform's error report.
int reportFatal(const std::exception& e) {
    std::fprintf(stderr, "Velluma: %s\n", e.what());
    if (!sessionEnding())
        QMessageBox::critical(nullptr, QStringLiteral("Velluma"), QString::fromUtf8(e.what()));
    return 1;
}

// Archive work lets the window answer; once the session ends, the work stops there.
void processEventsUntilSessionEnd() {
    QCoreApplication::processEvents();
    if (sessionEnding()) throw std::runtime_error("Stopped: the session is ending");
}

}  // namespace

int runProgram(int argc, char** argv) {
    // --help and --version answer without a display.
    if (const int code = answerCommandLine(argc, argv); code >= 0) return code;
    VellumaApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // the window hides to the tray
    SessionEndWatcher sessionEndWatcher;
    SessionEnd sessionEnd(sessionEndWatcher);

    Platform platform;
    Settings settings;
    std::vector<TMLang> languages;
    // The data lives beside the program file, or in the user's own folder when that one
    // cannot be written (an installed package).
    ProgramFolders folders;
    try {
        folders = chooseProgramFolders(runningProgramFolder());
    } catch (const std::exception& e) {
        return reportFatal(e);
    }
    const std::string& folder = folders.data;
    SingleInstance instance(folder);
    if (!instance.claim()) return 0;  // the running copy shows itself

    // 1. Settings, the language list, the first-run lists and the links.
    try {
        prepareDataFolder(folders);
        for (const char* sub : {"/registry", "/advThemes", "/advThemes/Recycled", "/imgLists",
                                "/imgLists/Recycled", "/imgLists/WorkDir"})
            removeStaleTempFiles(folder + sub);
        platform = makeSystemPlatform(folder, folders.install);
        app.boxes = platform.messageBoxes.get();
        FindLanguages(folders.install + "/Languages", folders.install, languages);
        settings = ReadSettings(*platform.registry, folder, folders.install);
    } catch (const std::exception& e) {
        return reportFatal(e);
    }

    // 2, 3. The resolution agent; a new size is read where it is needed.
    TRAgent agent(*platform.screen);
    agent.OnResolutionChange = [](TRAgent&) {};

    // 3. The theme operations' services; archive work keeps the interface responsive.
    ThemeContext themes = MakeThemeContext(platform, folder);
    themes.desktopSize = [&agent] { return agent.GetResolution(); };
    themes.processEvents = processEventsUntilSessionEnd;

    // 4. The user's own background, put back at the end.
    DesktopRecord recorded;
    try {
        recorded = RecordDesktop(themes);
        RemoveOldWorkFolders(themes, recorded);
    } catch (const std::exception& e) {
        return reportFatal(e);
    }
    std::function<void()> restoreDesktop = [&themes, &recorded] {
        RestoreDesktop(themes, recorded);
    };

    // 12. The user's own background comes back. 13. Settings are written once, at the very
    // end.
    auto finish = [&] {
        MessageBoxes& boxes = *platform.messageBoxes;
        runExitStep(boxes, folder, restoreDesktop);
        const bool saved = runExitStep(boxes, folder, [&] {
            try {
                WriteSettings(*platform.registry, settings);
            } catch (const std::exception& e) {
                throw std::runtime_error(std::string("The settings could not be saved: ") +
                                         e.what());
            }
        });
        return saved ? 0 : 1;
    };

    // 6. The splash.
    if (settings.options.ShowAboutWindow && !sessionEnd.requested()) {
        TfSplash splash;
        splash.exec();
    }
    if (sessionEnd.requested()) return finish();  // nothing shown yet: no window to build

    // 7, 8. The main window, then the About window (created by the main window).
    QApplication::setApplicationName(QStringLiteral("Velluma"));
    AppContext context{platform, settings, languages, agent, themes};
    TfMain window(context);
    window.desktop().restoreDesktop = restoreDesktop;
    window.onClosed = [] { QCoreApplication::quit(); };
    instance.onShowRequested = [&window] {
        window.guard([&] { window.tray().TrayIconDblClick(); });
    };

    // 9, 10. No task-bar entry when the tray can bring the window back; a later run starts
    // hidden.
    if (TrayIcon::available()) window.setWindowFlag(Qt::Tool, true);
    if (sessionEnd.requested()) {
        // Ended while the window was being built.
    } else if (settings.options.FirstRun) {
        window.show();
    } else if (!TrayIcon::available()) {
        window.showMinimized();
    }

    // What the end of the last run could not show, once.
    QTimer::singleShot(0, &window, [&] {
        for (const std::string& report : takePendingReports(folder))
            platform.messageBoxes->reportError(report);
    });

    // 11. The message loop.
    if (!sessionEnd.requested()) app.exec();
    if (sessionEnd.requested()) window.sessionEnding();
    return finish();
}

}  // namespace velluma
