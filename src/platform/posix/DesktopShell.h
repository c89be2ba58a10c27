#pragma once

#include <string>

#include "platform/Shell.h"
#include "platform/posix/DesktopDetection.h"

namespace velluma {

/// The shell of a freedesktop.org desktop: the default handlers through QDesktopServices,
/// the display settings of the running desktop, XDG autostart entries.
class DesktopShell final : public Shell {
public:
    explicit DesktopShell(DesktopKind desktop = DesktopKind::None) : m_desktop(desktop) {}

    int open(const std::string& target, ShowMode mode) override;
    void openDisplaySettings() override;
    void createShortcut(const std::string& target, const std::string& arguments,
                        const std::string& workingFolder, const std::string& linkPath) override;
    std::string defaultStartupFolder() override;

private:
    DesktopKind m_desktop;
};

/// The text of an XDG desktop entry that starts target in workingFolder.
std::string autostartEntryText(const std::string& target, const std::string& arguments,
                               const std::string& workingFolder);

}  // namespace velluma
