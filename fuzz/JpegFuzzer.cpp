// The JPEG decoding path on any bytes: measuring (a decode at an eighth of the size),
// opening and passing over every row, and rendering the wallpaper, which decodes some rows
// and passes over others.
#include <stdexcept>
#include <string>

#include "FuzzSupport.h"
#include "formats/JpegSource.h"
#include "imagelists/WallpaperSetter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string path = fuzz::writeScratchFile("fuzz.jpg", fuzz::bytesOf(data, size));
    try {
        const PictureSize measured = JpegSource::measureFile(path);
        FUZZ_CHECK(measured.width > 0 && measured.height > 0);
    } catch (const std::runtime_error&) {
    }
    try {
        const auto source = JpegSource::openFile(path);
        for (int y = 0; y < source->height(); ++y) source->readRow(nullptr);
    } catch (const std::runtime_error&) {
    }
    try {
        const auto source = JpegSource::openFile(path);
        std::uint64_t total = 0;
        RenderWallpaper(*source, static_cast<int>(size % 3), {40, 30},
                        [&](std::uint64_t, const void*, std::size_t n) { total += n; });
        FUZZ_CHECK(total > 54);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
