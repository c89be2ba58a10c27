#pragma once

#include <optional>
#include <string>

#include "platform/ActiveDesktop.h"
#include "themes/DesktopComponents.h"

namespace velluma {

struct ThemeContext;

/// The user's desktop background as it was at start-up; the program keeps it for the run.
struct DesktopRecord {
    ComponentsOptions options{false, true};
    std::string wallpaper;
    std::string tileWallpaper;  // as stored: "0", "1" or empty
};

/// The desktop values of HKEY_CURRENT_USER that the presenter reads and writes.
inline constexpr const char* kClassicDesktopKey = "Control Panel\\Desktop";
inline constexpr const char* kActiveDesktopGeneralKey =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Desktop\\General";

/// Reads the desktop's item options and the background that goes with them: the Active
/// Desktop's when it is on, the classic wallpaper's otherwise.
DesktopRecord RecordDesktop(ThemeContext& context);

/// Puts the recorded desktop back; can run any number of times.
void RestoreDesktop(ThemeContext& context, const DesktopRecord& record);

/// The start of a run: the work folders earlier runs left behind go, without holding up the
/// window, except the one the recorded background lies in, which stays for the whole run.
void RemoveOldWorkFolders(ThemeContext& context, const DesktopRecord& record);

/// Where a shown theme lives.
struct AppliedTheme {
    std::string workFolder;  // the package's unpacked copy
    std::string startPage;   // the page made the desktop background
};

/// Shows a theme package: unpacks it into a new numbered folder of advThemes/WorkDir and
/// makes its start page ([Files] startup of theme.cfg, "\tivora.htm" when empty) the Active
/// Desktop background with desktop items off. When the Active Desktop or the Flash player
/// is not installed it shows why, opens the help file (helpFilePath) and shows nothing
/// (no result). A package that cannot be read, or that is refused as unsafe, throws
/// (ZipError) before the desktop is touched; whatever fails, its work folder goes whole.
std::optional<AppliedTheme> ApplyThemePackage(ThemeContext& context, const std::string& path,
                                              const std::string& helpFilePath);

/// Switches the Active Desktop off (desktop items off as well).
void ActiveDesktopOff(ThemeContext& context);

}  // namespace velluma
