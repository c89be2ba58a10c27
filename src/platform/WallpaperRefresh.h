#pragma once

namespace velluma {

/// Asks the desktop to re-read "Wallpaper" and "TileWallpaper" of HKCU
/// "Control Panel\Desktop" and redraw (SPI_SETDESKWALLPAPER).
class WallpaperRefresh {
public:
    virtual ~WallpaperRefresh() = default;

    /// Re-reads the classic wallpaper values and shows them.
    virtual void refresh() = 0;
};

}  // namespace velluma
