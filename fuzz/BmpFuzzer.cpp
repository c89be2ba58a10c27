// The bitmap decoder on any bytes, from memory and from a file, and the wallpaper renderer
// on whatever it accepts: the rendered bitmap must be whole and readable by the decoder.
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "formats/BmpCodec.h"
#include "imagelists/WallpaperSetter.h"

namespace velluma {
namespace {

// A desktop smaller than most inputs' pictures, so both stretching and own size happen.
constexpr ScreenSize kDesktop{40, 30};

void renderAndCheck(PictureSource& source, int mode) {
    const bool ownSize = mode != kStretchMode && source.width() <= kDesktop.width &&
                         source.height() <= kDesktop.height;
    const int width = ownSize ? source.width() : kDesktop.width;
    const int height = ownSize ? source.height() : kDesktop.height;
    std::string out(54 + Bmp24Stride(width) * static_cast<std::size_t>(height), '\x5a');
    std::vector<bool> written(out.size(), false);
    RenderWallpaper(source, mode, kDesktop,
                    [&](std::uint64_t offset, const void* data, std::size_t size) {
                        FUZZ_CHECK(offset <= out.size() && size <= out.size() - offset);
                        std::memcpy(out.data() + offset, data, size);
                        for (std::size_t i = 0; i < size; ++i) written[offset + i] = true;
                    });
    for (const bool w : written) FUZZ_CHECK(w);
    const RgbImage image = DecodeBmp(out);
    FUZZ_CHECK(image.width == width && image.height == height);
}

}  // namespace
}  // namespace velluma

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string_view bytes = fuzz::bytesOf(data, size);
    RgbImage fromMemory;
    try {
        fromMemory = DecodeBmp(bytes);
    } catch (const std::runtime_error&) {
        // Refused from memory: refused from a file too.
        const std::string path = fuzz::writeScratchFile("fuzz.bmp", bytes);
        bool refused = false;
        try {
            BmpSource::openFile(path);
        } catch (const std::runtime_error&) {
            refused = true;
        }
        FUZZ_CHECK(refused);
        return 0;
    }
    FUZZ_CHECK(fromMemory.pixels.size() ==
               std::size_t(fromMemory.width) * std::size_t(fromMemory.height) * 3);

    // The same rows come from the file, read one at a time.
    const std::string path = fuzz::writeScratchFile("fuzz.bmp", bytes);
    const auto fromFile = BmpSource::openFile(path);
    FUZZ_CHECK(fromFile->width() == fromMemory.width && fromFile->height() == fromMemory.height);
    std::vector<std::uint8_t> row(std::size_t(fromMemory.width) * 3);
    for (int y = 0; y < fromMemory.height; ++y) {
        fromFile->readRow(row.data());
        FUZZ_CHECK(std::memcmp(row.data(), fromMemory.rowData(y), row.size()) == 0);
    }

    const int mode = static_cast<int>(size % 3);
    renderAndCheck(*BmpSource::fromBytes(bytes), mode);
    return 0;
}
