#pragma once

#include <string>

#include "platform/WallpaperRefresh.h"

namespace velluma {

class Registry;

/// The classic wallpaper as last asked for.
struct ClassicWallpaper {
    std::string wallpaper;
    std::string tileWallpaper;
};

/// Re-reads HKCU "Control Panel\Desktop" on every refresh and keeps what it read. Showing
/// it on the running desktop is the job of a desktop backend that does not exist yet.
class RegistryWallpaperRefresh final : public WallpaperRefresh {
public:
    explicit RegistryWallpaperRefresh(Registry& registry) : m_registry(registry) {}

    void refresh() override;

    /// The values read by the last refresh.
    const ClassicWallpaper& current() const { return m_current; }
    int refreshCount() const { return m_refreshCount; }

private:
    Registry& m_registry;
    ClassicWallpaper m_current;
    int m_refreshCount = 0;
};

}  // namespace velluma
