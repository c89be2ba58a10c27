#include "platform/posix/RegistryWallpaperRefresh.h"

#include "platform/Registry.h"

namespace velluma {

void RegistryWallpaperRefresh::refresh() {
    static const std::string kDesktopKey = "Control Panel\\Desktop";
    m_current.wallpaper = m_registry.readString(Hive::CurrentUser, kDesktopKey, "Wallpaper");
    m_current.tileWallpaper =
        m_registry.readString(Hive::CurrentUser, kDesktopKey, "TileWallpaper");
    ++m_refreshCount;
}

}  // namespace velluma
