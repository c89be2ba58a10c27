#include "platform_gui/PlatformFactory.h"

#include <QGuiApplication>

#include "platform/posix/EmulatedActiveDesktop.h"
#include "platform/posix/FileRegistry.h"
#include "platform/posix/MonotonicClock.h"
#include "platform_gui/posix/DesktopDetection.h"
#include "platform_gui/posix/DesktopShell.h"
#include "platform_gui/posix/DesktopWallpaper.h"
#include "platform_gui/posix/GnomeShellBackground.h"
#include "platform_gui/posix/LiveActiveDesktop.h"
#include "platform_gui/posix/LivePageProcess.h"
#include "platform_gui/posix/QtColourDialog.h"
#include "platform_gui/posix/QtFileDialogs.h"
#include "platform_gui/posix/QtMessageBoxes.h"
#include "platform_gui/posix/QtScreen.h"

namespace velluma {

Platform makeSystemPlatform(const std::string& programFolder, const std::string& installFolder) {
    Platform p;
    p.registry = std::make_unique<FileRegistry>(programFolder + "/registry");
    p.screen = std::make_unique<QtScreen>();
    p.clock = std::make_unique<MonotonicClock>();
    p.messageBoxes = std::make_unique<QtMessageBoxes>();

    // The running desktop, and the user's own background taken from it before anything
    // reads or changes the desktop values.
    const DesktopProbe probe =
        probeDesktop(QGuiApplication::platformName().toStdString(), {}, userRuntimeFolder());
    const DesktopKind desktop = chooseDesktop(probe);
    const std::string ownFolder = programFolder + "/imgLists/WorkDir";
    auto refresh = std::make_unique<DesktopWallpaperRefresh>(
        makeDesktopBackground(desktop, probe, ownFolder), *p.registry, *p.messageBoxes, *p.screen,
        ownFolder);
    refresh->takeOverDesktop();
    p.wallpaperRefresh = std::move(refresh);
    // The Active Desktop's state lives in the registry; its pages play in a process of
    // their own.
    p.workFolders = std::make_unique<WorkFolderCleaner>(programFolder + "/advThemes/WorkDir");
    // GNOME on Wayland keeps no place behind the windows; our Shell extension lends one.
    std::shared_ptr<BackgroundLayer> backgroundLayer;
    if (desktop == DesktopKind::Gnome && probe.qtPlatform.starts_with("wayland"))
        backgroundLayer = std::make_shared<GnomeShellBackground>(
            *p.registry, *p.messageBoxes, installFolder + "/gnome-shell",
            GnomeShellBackground::userDataHome());
    p.activeDesktop = std::make_unique<LiveActiveDesktop>(
        std::make_unique<EmulatedActiveDesktop>(*p.registry),
        std::make_unique<LivePageProcess>(
            installFolder + "/velluma-page", programFolder + "/advThemes/WorkDir",
            programFolder + "/advThemes/Still",
            LivePageProcess::Services{*p.messageBoxes, *p.registry, *p.wallpaperRefresh, *p.screen,
                                      std::move(backgroundLayer)}),
        p.workFolders.get());
    p.shell = std::make_unique<DesktopShell>(desktop);
    p.fileDialogs = std::make_unique<QtFileDialogs>();
    p.colourDialog = std::make_unique<QtColourDialog>();
    return p;
}

}  // namespace velluma
