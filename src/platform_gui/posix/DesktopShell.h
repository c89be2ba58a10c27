#pragma once

#include <memory>
#include <string>

#include "platform/Shell.h"
#include "platform_gui/posix/DesktopDetection.h"

namespace velluma {

/// The shell of a freedesktop.org desktop: the default handlers through QDesktopServices,
/// the display settings of the running desktop, XDG autostart entries.
class DesktopShell final : public Shell {
public:
    explicit DesktopShell(DesktopKind desktop = DesktopKind::None);
    ~DesktopShell() override;

    int open(const std::string& target, ShowMode mode, OpenFailed failedLater = {}) override;
    void openDisplaySettings() override;
    void createShortcut(const std::string& target, const std::string& arguments,
                        const std::string& workingFolder, const std::string& linkPath) override;
    std::string defaultStartupFolder() override;

private:
    class Openers;

    DesktopKind m_desktop;
    std::unique_ptr<Openers> m_openers;  // xdg-open runs still being watched
};

/// The text of an XDG desktop entry that starts target in workingFolder.
std::string autostartEntryText(const std::string& target, const std::string& arguments,
                               const std::string& workingFolder);

}  // namespace velluma
