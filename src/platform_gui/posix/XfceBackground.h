#pragma once

#include <string>
#include <vector>

#include "platform_gui/posix/DesktopBackground.h"

namespace velluma {

/// The background of Xfce: last-image and image-style of every monitor and workspace in
/// the xfce4-desktop channel of xfconf, over D-Bus.
class XfceBackground final : public DesktopBackground {
public:
    /// monitors: the output names, for a desktop that has kept no background yet.
    XfceBackground(std::string ownFolder, std::vector<std::string> monitors);

    std::string name() const override { return "Xfce"; }
    DesktopState read() override;
    void show(const std::string& file, Placement placement) override;
    void restore(const std::string& state) override;

    /// Xfce's image-style for a placement.
    static int imageStyleFor(Placement placement);

private:
    std::vector<std::string> backdrops();

    std::string m_ownFolder;
    std::vector<std::string> m_monitors;
};

}  // namespace velluma
