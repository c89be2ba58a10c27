#pragma once

#include <memory>

#include "platform/ActiveDesktop.h"
#include "platform/Clock.h"
#include "platform/ColourDialog.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "platform/Screen.h"
#include "platform/Shell.h"
#include "platform/WallpaperRefresh.h"
#include "platform/WorkFolderCleaner.h"

namespace velluma {

/// One instance of every platform service. The program builds the real bundle in main;
/// tests build one with doubles.
struct Platform {
    std::unique_ptr<Registry> registry;
    /// Removes the themes' old work folders; before the desktop that uses it, so it goes
    /// after it. May be empty (tests).
    std::unique_ptr<WorkFolderCleaner> workFolders;
    std::unique_ptr<ActiveDesktop> activeDesktop;
    std::unique_ptr<WallpaperRefresh> wallpaperRefresh;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<Screen> screen;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<MessageBoxes> messageBoxes;
    std::unique_ptr<FileDialogs> fileDialogs;
    std::unique_ptr<ColourDialog> colourDialog;
};

}  // namespace velluma
