#include "themes/ThemeContext.h"

#include "platform/Platform.h"

namespace velluma {

ThemeContext MakeThemeContext(Platform& platform, const std::string& programFolder) {
    Screen* screen = platform.screen.get();
    return ThemeContext{programFolder,
                        *platform.registry,
                        *platform.activeDesktop,
                        *platform.wallpaperRefresh,
                        *platform.shell,
                        *platform.messageBoxes,
                        *platform.clock,
                        [screen] { return screen->virtualDesktopSize(); },
                        {},
                        platform.workFolders.get()};
}

}  // namespace velluma
