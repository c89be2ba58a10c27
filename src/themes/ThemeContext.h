#pragma once

#include <functional>
#include <string>

#include "platform/Screen.h"

namespace velluma {

class ActiveDesktop;
class Clock;
class MessageBoxes;
class Registry;
class Shell;
class WallpaperRefresh;
class WorkFolderCleaner;
struct Platform;

/// The services the theme operations work with; the program builds one for the run.
struct ThemeContext {
    std::string programFolder;  // without a trailing slash
    Registry& registry;
    ActiveDesktop& activeDesktop;
    WallpaperRefresh& wallpaperRefresh;
    Shell& shell;
    MessageBoxes& messageBoxes;
    Clock& clock;
    /// The whole desktop's size now, as the resolution agent reports it.
    std::function<ScreenSize()> desktopSize;
    /// Dispatches pending window messages during archive work (QCoreApplication's
    /// processEvents in the program); may be empty.
    std::function<void()> processEvents;
    /// Takes the themes' old work folders away without holding up the window; may be null,
    /// then a failed application removes its folder itself.
    WorkFolderCleaner* workFolders = nullptr;

    /// programFolder + "/advThemes"
    std::string themeFolder() const { return programFolder + "/advThemes"; }
};

/// A context on the services of platform; the desktop size comes from its screen until
/// the caller sets another source.
ThemeContext MakeThemeContext(Platform& platform, const std::string& programFolder);

}  // namespace velluma
