#pragma once

#include <optional>
#include <string>

#include "platform/ActiveDesktop.h"

namespace velluma {

class Registry;

/// The Active Desktop kept in HKCU "Software\Microsoft\Internet Explorer\Desktop\General"
/// ("Wallpaper", "TileWallpaper", "ActiveDesktop", "EnableComponents"), so its state
/// survives runs. Staged changes are written in one step by applyChanges().
class EmulatedActiveDesktop final : public ActiveDesktop {
public:
    static constexpr const char* kGeneralKey =
        "Software\\Microsoft\\Internet Explorer\\Desktop\\General";

    explicit EmulatedActiveDesktop(Registry& registry) : m_registry(registry) {}

    ComponentsOptions desktopItemOptions() override;
    void setDesktopItemOptions(const ComponentsOptions& options) override;
    void setWallpaper(const std::string& path) override;
    void applyChanges() override;

private:
    Registry& m_registry;
    std::optional<ComponentsOptions> m_stagedOptions;
    std::optional<std::string> m_stagedWallpaper;
};

}  // namespace velluma
