#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Screen.h"

namespace velluma {

class PictureSource;
class Registry;
class WallpaperRefresh;
struct RgbImage;
struct TOptions;

/// Display modes.
inline constexpr int kStretchMode = 0;  // stretched to the desktop
inline constexpr int kOwnSizeMode = 1;  // own size unless larger than the desktop
inline constexpr int kTileMode = 2;     // own size, repeated, unless larger than the desktop

/// What the wallpaper setter works with; the program builds one for the run.
struct WallpaperContext {
    std::string programFolder;  // without a trailing slash
    const TOptions& options;    // ilShowType, ilDisplType, GroupDisplay: read at each call
    Registry& registry;
    WallpaperRefresh& wallpaperRefresh;
    /// The whole desktop's size now (the resolution agent's GetResolution); must be set.
    std::function<ScreenSize()> desktopSize;

    /// programFolder + "/imgLists/WorkDir/wallpaper.bmp"
    std::string outputPath() const { return programFolder + "/imgLists/WorkDir/wallpaper.bmp"; }
};

/// The resolution group (0 to 5) of a picture: its width is banded by 100, 200, 400, 800
/// and 1024 pixels, its height by 75, 150, 300, 600 and 768; when the two bands differ
/// the smaller one counts.
int ResolutionGroupOf(int width, int height);

/// The display mode for a picture of width x height: ilDisplType, or with ilShowType 1
/// the mode of its resolution group. A stored mode outside 0..2 counts as stretch.
int DisplayModeFor(const TOptions& options, int width, int height);

/// Receives the bytes of a rendered bitmap: size bytes for the given file offset. The pieces
/// arrive in any order.
using BitmapWriter = std::function<void(std::uint64_t offset, const void* data, std::size_t size)>;

/// Renders a picture by mode for a desktop of the given size as an uncompressed bottom-up
/// 24-bit bitmap, handed to write row by row. In stretch mode, or when the picture is wider
/// or higher than the desktop, it is stretched to the desktop's size by nearest-neighbour
/// sampling (each axis on its own, at pixel centres); otherwise it keeps its own size. Only
/// the source rows that are needed are converted, and no more than two rows are held.
/// Throws std::runtime_error.
void RenderWallpaper(PictureSource& source, int mode, ScreenSize desktop,
                     const BitmapWriter& write);

/// Makes the picture at path the desktop wallpaper: decodes it (JPEG by a ".jpg" or
/// ".jpeg" extension, a Windows bitmap otherwise), renders it by its display mode into
/// outputPath(), sets HKCU "Control Panel\Desktop" "Wallpaper" and "TileWallpaper" and
/// refreshes the wallpaper. An empty path clears the wallpaper ("Wallpaper" empty,
/// "TileWallpaper" "0") and writes no file. A picture that cannot be decoded, or an output
/// file that cannot be written, throws std::runtime_error and leaves the wallpaper file
/// and the registry as they were.
void SetWallpaperPicture(const WallpaperContext& context, const std::string& path);

/// As SetWallpaperPicture for a picture already in memory (the preview).
void SetWallpaperImage(const WallpaperContext& context, const RgbImage& image);

}  // namespace velluma
