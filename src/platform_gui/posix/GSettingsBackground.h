#pragma once

#include <string>

#include "platform_gui/posix/DesktopBackground.h"

namespace velluma {

/// The background settings of GNOME and the desktops that share its way of keeping them,
/// through GIO's GSettings (the desktop follows the settings store).
class GSettingsBackground final : public DesktopBackground {
public:
    enum class Flavour {
        Gnome,     // org.gnome.desktop.background (also Budgie, Unity, Pantheon)
        Cinnamon,  // org.cinnamon.desktop.background
        Mate,      // org.mate.background
    };

    /// ownFolder: where our own pictures live.
    GSettingsBackground(Flavour flavour, std::string ownFolder);

    std::string name() const override;
    DesktopState read() override;
    void show(const std::string& file, Placement placement) override;
    void restore(const std::string& state) override;

private:
    Flavour m_flavour;
    std::string m_ownFolder;
};

}  // namespace velluma
