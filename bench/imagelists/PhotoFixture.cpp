#include "PhotoFixture.h"

#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

namespace velluma::bench {

void WritePhoto(const std::string& path, int width, int height, bool progressive) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot create " + path);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::mt19937 grain(7);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            const int noise = static_cast<int>(grain() % 65) - 32;
            auto clamp = [](int v) { return static_cast<JSAMPLE>(v < 0 ? 0 : v > 255 ? 255 : v); };
            row[x * 3 + 0] = clamp(x * 255 / width + noise);
            row[x * 3 + 1] = clamp(y * 255 / height + noise);
            row[x * 3 + 2] = clamp(((x + y) / 16) % 256 + noise);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

}  // namespace velluma::bench
