#pragma once

#include <QString>
#include <string>

#include "platform_gui/posix/DesktopBackground.h"

namespace velluma {

/// The background of KDE Plasma 5 and 6: scripts run by the shell's evaluateScript over
/// D-Bus, for every desktop of every screen and activity.
class PlasmaBackground final : public DesktopBackground {
public:
    /// service: the shell's bus name (org.kde.plasmashell).
    explicit PlasmaBackground(std::string ownFolder,
                              QString service = QStringLiteral("org.kde.plasmashell"));

    std::string name() const override { return "KDE Plasma"; }
    DesktopState read() override;
    void show(const std::string& file, Placement placement) override;
    void restore(const std::string& state) override;

    /// The fill mode of org.kde.image for a placement (0 stretch, 6 centred, 3 tile).
    static int fillModeFor(Placement placement);

private:
    QString evaluate(const QString& script);

    std::string m_ownFolder;
    QString m_service;
};

}  // namespace velluma
