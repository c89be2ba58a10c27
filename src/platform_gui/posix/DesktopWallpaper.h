#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/WallpaperRefresh.h"
#include "platform_gui/posix/DesktopBackground.h"
#include "platform_gui/posix/DesktopDetection.h"

namespace velluma {

class MessageBoxes;
class Registry;
class Screen;

/// The classic wallpaper on the running desktop. At start the user's own background is
/// read from the desktop, kept in HKCU "Software\Corvalix\Velluma\UserBackground" until the
/// run ends cleanly and named in "Control Panel\Desktop", so that the program records it
/// and puts those values back at exit, which restores the desktop exactly. Any other values
/// are shown as a picture. A desktop that fails is reported once per run; a desktop that
/// did not answer is left alone for a minute before the next picture.
class DesktopWallpaperRefresh final : public WallpaperRefresh {
public:
    /// background may be null when there is no desktop to show on; the values are then
    /// only read. ownFolder holds our pictures and the copies the desktop shows. messages
    /// and screen are not used once the destructor runs.
    DesktopWallpaperRefresh(std::unique_ptr<DesktopBackground> background, Registry& registry,
                            MessageBoxes& messages, Screen& screen, std::string ownFolder);
    /// The end of a run: whatever of ours is still shown gives way to the user's own
    /// background, and only then the kept record goes.
    ~DesktopWallpaperRefresh() override;

    /// Reads the user's background (or the one a run that did not end left to restore),
    /// keeps it and writes its values to "Control Panel\Desktop". Call once, at start.
    void takeOverDesktop();
    void refresh() override;

    /// The HKCU key of the kept record.
    static constexpr const char* kRecordKey = "Software\\Corvalix\\Velluma\\UserBackground";

private:
    Placement placementFor(const std::string& wallpaper, const std::string& tile);
    std::string stableCopy(const std::string& file);
    void removeCopies(const std::string& keep);
    std::optional<DesktopState> loadRecord();
    void report(const std::string& problem);

    std::unique_ptr<DesktopBackground> m_background;
    Registry& m_registry;
    MessageBoxes& m_messages;
    Screen& m_screen;
    std::string m_ownFolder;
    std::optional<DesktopState> m_user;  // the user's own background, once known
    bool m_showingOurs = false;
    bool m_reported = false;
    std::chrono::steady_clock::time_point m_quietUntil{};
    unsigned m_nextCopy = 0;
};

/// The background service of a desktop, or null for DesktopKind::None.
std::unique_ptr<DesktopBackground> makeDesktopBackground(DesktopKind kind,
                                                         const DesktopProbe& probe,
                                                         const std::string& ownFolder);

}  // namespace velluma
