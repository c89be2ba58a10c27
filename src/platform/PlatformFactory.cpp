#include "platform/PlatformFactory.h"

#include "platform/posix/DesktopShell.h"
#include "platform/posix/EmulatedActiveDesktop.h"
#include "platform/posix/FileRegistry.h"
#include "platform/posix/MonotonicClock.h"
#include "platform/posix/QtMessageBoxes.h"
#include "platform/posix/QtScreen.h"
#include "platform/posix/RegistryWallpaperRefresh.h"

namespace velluma {

Platform makeSystemPlatform(const std::string& programFolder) {
    Platform p;
    p.registry = std::make_unique<FileRegistry>(programFolder + "/registry");
    p.activeDesktop = std::make_unique<EmulatedActiveDesktop>(*p.registry);
    p.wallpaperRefresh = std::make_unique<RegistryWallpaperRefresh>(*p.registry);
    p.shell = std::make_unique<DesktopShell>();
    p.screen = std::make_unique<QtScreen>();
    p.clock = std::make_unique<MonotonicClock>();
    p.messageBoxes = std::make_unique<QtMessageBoxes>();
    return p;
}

}  // namespace velluma
