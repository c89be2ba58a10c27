#include "imagelists/WallpaperSetter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "core/Options.h"
#include "formats/BmpCodec.h"
#include "formats/PictureSource.h"
#include "imagelists/FileAccess.h"
#include "imagelists/PictureFile.h"
#include "platform/Registry.h"
#include "platform/WallpaperRefresh.h"

namespace velluma {
namespace {

constexpr const char* kDesktopKey = "Control Panel\\Desktop";

int bandOf(int value, const std::array<int, 5>& limits) {
    int band = 0;
    while (band < 5 && value >= limits[static_cast<std::size_t>(band)]) ++band;
    return band;
}

void publish(const WallpaperContext& context, const std::string& wallpaper, int mode) {
    context.registry.setValues(
        Hive::CurrentUser, kDesktopKey,
        {{"Wallpaper", RegValue::string(wallpaper)},
         {"TileWallpaper", RegValue::string(mode == kTileMode ? "1" : "0")}});
    context.wallpaperRefresh.refresh();
}

void setFrom(const WallpaperContext& context, PictureSource& source) {
    const int mode = DisplayModeFor(context.options, source.width(), source.height());
    const std::string output = context.outputPath();
    // The rows go straight to a temp file that replaces the old wallpaper only once all of
    // them are written and flushed: a picture that fails half-way changes nothing.
    FileReplacement file(output);
    RenderWallpaper(source, mode, context.desktopSize(),
                    [&](std::uint64_t offset, const void* data, std::size_t size) {
                        file.writeAt(offset, data, size);
                    });
    file.commit();
    publish(context, output, mode);
}

// out[x] = in[column[x]] with red and blue exchanged; writes exactly 3 bytes a pixel. On
// little-endian machines all but the last pixel move as one unaligned 4-byte load and store
// (the fourth byte lands where the next pixel goes); in needs one spare byte at its end.
void reorderRow(const std::uint8_t* in, const std::vector<std::uint32_t>& column,
                std::uint8_t* out) {
    std::size_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 1 < column.size(); ++x) {
            std::uint32_t rgbx = 0;
            std::memcpy(&rgbx, in + column[x], 4);
            const std::uint32_t bgr =
                ((rgbx & 0xFFu) << 16) | (rgbx & 0xFF00u) | ((rgbx >> 16) & 0xFFu);
            std::memcpy(out + x * 3, &bgr, 4);
        }
    }
    for (; x < column.size(); ++x) {
        out[x * 3 + 0] = in[column[x] + 2];
        out[x * 3 + 1] = in[column[x] + 1];
        out[x * 3 + 2] = in[column[x] + 0];
    }
}

}  // namespace

int ResolutionGroupOf(int width, int height) {
    return std::min(bandOf(width, {100, 200, 400, 800, 1024}),
                    bandOf(height, {75, 150, 300, 600, 768}));
}

int DisplayModeFor(const TOptions& options, int width, int height) {
    const int mode =
        options.ilShowType == 0
            ? options.ilDisplType
            : options.GroupDisplay[static_cast<std::size_t>(ResolutionGroupOf(width, height))];
    return (mode == kOwnSizeMode || mode == kTileMode) ? mode : kStretchMode;
}

void RenderWallpaper(PictureSource& source, int mode, ScreenSize desktop,
                     const BitmapWriter& write) {
    const int sourceWidth = source.width();
    const int sourceHeight = source.height();
    CheckPictureSize(sourceWidth, sourceHeight, "The picture cannot be shown: ");
    const bool ownSize =
        mode != kStretchMode && sourceWidth <= desktop.width && sourceHeight <= desktop.height;
    const int width = ownSize ? sourceWidth : desktop.width;
    const int height = ownSize ? sourceHeight : desktop.height;
    CheckPictureSize(width, height, "Cannot make the wallpaper for this desktop: ");

    const std::size_t stride = Bmp24Stride(width);
    const auto header = Bmp24Header(width, height);
    write(0, header.data(), header.size());
    auto rowOffset = [&](int y) {  // bottom-up: the top row is stored last
        return header.size() + stride * static_cast<std::uint64_t>(height - 1 - y);
    };

    // Nearest neighbour, sampled at pixel centres; at its own size every map is the identity.
    std::vector<std::uint32_t> column(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        column[static_cast<std::size_t>(x)] = static_cast<std::uint32_t>(
            (static_cast<std::uint64_t>(2 * x + 1) * sourceWidth) / (2 * std::uint64_t(width)) * 3);
    auto sourceRowOf = [&](int y) {
        return static_cast<int>(
            (static_cast<std::uint64_t>(2 * std::int64_t(y) + 1) * sourceHeight) /
            (2 * std::uint64_t(height)));
    };

    // One spare byte after the source row lets its pixels move as 4-byte words; the row
    // starts at an odd address: libjpeg-turbo writes aligned rows with non-temporal stores,
    // which bypass the cache that the sampling reads them from next.
    std::vector<std::uint8_t> rgbBuffer(static_cast<std::size_t>(sourceWidth) * 3 + 2);
    std::uint8_t* const rgb = rgbBuffer.data() + 1;
    // Output rows are handed on in bands of about 1 MiB: a band of rows that follow each
    // other on the desktop is one stretch of the bottom-up file, stored in reverse.
    const int bandRows = static_cast<int>(std::clamp<std::size_t>(
        (std::size_t(1) << 20) / stride, 1, static_cast<std::size_t>(height)));
    std::vector<std::uint8_t> band(stride * static_cast<std::size_t>(bandRows), 0);  // padding: 0
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    int bandStart = 0;
    auto bandRow = [&](int y) {
        return band.data() + stride * static_cast<std::size_t>(bandRows - 1 - (y - bandStart));
    };
    auto flushBand = [&](int end) {  // rows bandStart .. end - 1 are ready
        if (end == bandStart) return;
        write(rowOffset(end - 1), bandRow(end - 1),
              stride * static_cast<std::size_t>(end - bandStart));
        bandStart = end;
    };

    int y = 0;
    for (int sy = 0; sy < sourceHeight && y < height; ++sy) {
        if (sourceRowOf(y) != sy) {
            source.readRow(nullptr);
            continue;
        }
        source.readRow(rgb);
        std::uint8_t* first = nullptr;
        for (; y < height && sourceRowOf(y) == sy; ++y) {
            if (y - bandStart == bandRows) flushBand(y);
            std::uint8_t* row = bandRow(y);
            if (first) {
                std::memcpy(row, first, rowBytes);
            } else {
                reorderRow(rgb, column, row);
                first = row;
            }
        }
    }
    flushBand(y);
}

void SetWallpaperPicture(const WallpaperContext& context, const std::string& path) {
    if (path.empty()) {
        publish(context, std::string(), kStretchMode);
        return;
    }
    const auto source = OpenPicture(path);
    setFrom(context, *source);
}

void SetWallpaperImage(const WallpaperContext& context, const RgbImage& image) {
    ImageSource source(image);
    setFrom(context, source);
}

}  // namespace velluma
