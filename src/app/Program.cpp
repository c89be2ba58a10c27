#include "app/Program.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "core/ResolutionAgent.h"
#include "language/Language.h"
#include "platform/AtomicFile.h"
#include "platform/PlatformFactory.h"
#include "platform/posix/SessionEndWatcher.h"
#include "ui/MainWindow.h"

namespace velluma {
namespace {

// An error before the message loop ends the program, as the platform's error report.
int reportFatal(const std::exception& e) {
    std::fprintf(stderr, "Velluma: %s\n", e.what());
    QMessageBox::critical(nullptr, QStringLiteral("Velluma"), QString::fromUtf8(e.what()));
    return 1;
}

}  // namespace

int runProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velluma"));
    QApplication::setQuitOnLastWindowClosed(false);  // the window hides to the tray
    SessionEndWatcher sessionEnd;

    Platform platform;
    Settings settings;
    std::vector<TMLang> languages;
    try {
        const std::string folder = runningProgramFolder();
        removeStaleTempFiles(folder + "/registry");
        platform = makeSystemPlatform(folder);
        FindLanguages(folder + "/Languages", folder, languages);
        settings = ReadSettings(*platform.registry, folder);
    } catch (const std::exception& e) {
        return reportFatal(e);
    }

    TRAgent agent(*platform.screen);
    agent.OnResolutionChange = [](TRAgent&) {};  // a new size is read where it is needed

    AppContext context{platform, settings, languages, agent};
    TfMain window(context);
    window.onClosed = [] { QCoreApplication::quit(); };
    QObject::connect(&sessionEnd, &SessionEndWatcher::sessionEnding, &window,
                     [&window] { window.sessionEnding(); });

    if (settings.options.FirstRun) window.show();
    app.exec();

    try {
        WriteSettings(*platform.registry, settings);
    } catch (const std::exception& e) {
        platform.messageBoxes->reportError(std::string("The settings could not be saved: ") +
                                           e.what());
        return 1;
    }
    return 0;
}

}  // namespace velluma
