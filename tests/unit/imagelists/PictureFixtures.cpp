#include "PictureFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>

#include <jpeglib.h>

namespace velluma::test {
namespace {

void put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

RgbImage TestPattern(int width, int height) {
    RgbImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.rowData(y);
        for (int x = 0; x < width; ++x) {
            row[x * 3 + 0] = static_cast<std::uint8_t>(x);
            row[x * 3 + 1] = static_cast<std::uint8_t>(y);
            row[x * 3 + 2] = static_cast<std::uint8_t>(x + 2 * y);
        }
    }
    return image;
}

namespace {

// rowAt gives the RGB samples of row y.
std::string encodeJpegRows(int width, int height, const JpegOptions& options,
                           const std::function<const std::uint8_t*(int)>& rowAt) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);  // a fixture that fails may end the test program
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    const bool gray = options.grayscale || options.refinementPasses > 0;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    if (gray) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.fullChroma)
        for (int c = 0; c < info.num_components; ++c)
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    std::vector<jpeg_scan_info> script;
    if (options.refinementPasses > 0) {
        const int passes = options.refinementPasses;
        script.push_back({1, {0}, 0, 0, 0, 0});
        for (int k = 1; k <= 63; ++k) {
            script.push_back({1, {0}, k, k, 0, passes});
            for (int a = passes; a > 0; --a) script.push_back({1, {0}, k, k, a, a - 1});
        }
        info.scan_info = script.data();
        info.num_scans = static_cast<int>(script.size());
    } else if (options.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rowAt(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

}  // namespace

std::string EncodeJpeg(const RgbImage& image, const JpegOptions& options) {
    return encodeJpegRows(image.width, image.height, options,
                          [&](int y) { return image.rowData(y); });
}

std::string EncodeFlatJpeg(int width, int height, const JpegOptions& options) {
    const std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3, 128);
    return encodeJpegRows(width, height, options, [&](int) { return row.data(); });
}

std::string EncodeCmykJpeg(int width, int height, std::array<std::uint8_t, 4> cmyk) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 4);
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < 4; ++c) row[static_cast<std::size_t>(x * 4 + c)] = cmyk[c];
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

std::string BuildBmp(const RawBmp& bmp) {
    const bool core = bmp.headerSize == 12;
    const std::size_t entry = core ? 3 : 4;
    const bool masksAfter = bmp.compression == 3 && bmp.headerSize == 40;
    const std::uint64_t paletteStart = 14 + bmp.headerSize + (masksAfter ? 12 : 0);
    // The pixels always follow the palette; a given offset only changes what the header says.
    const std::uint64_t dataOffset = bmp.dataOffset >= 0
                                         ? static_cast<std::uint64_t>(bmp.dataOffset)
                                         : paletteStart + bmp.palette.size() * entry;

    std::string out = "BM";
    put(out, dataOffset + bmp.pixels.size(), 4);
    put(out, 0, 4);
    put(out, dataOffset, 4);
    put(out, bmp.headerSize, 4);
    if (core) {
        put(out, static_cast<std::uint16_t>(bmp.width), 2);
        put(out, static_cast<std::uint16_t>(bmp.height), 2);
        put(out, bmp.planes, 2);
        put(out, bmp.bitCount, 2);
    } else {
        put(out, static_cast<std::uint32_t>(bmp.width), 4);
        put(out, static_cast<std::uint32_t>(bmp.height), 4);
        put(out, bmp.planes, 2);
        put(out, bmp.bitCount, 2);
        put(out, bmp.compression, 4);
        put(out, bmp.pixels.size(), 4);
        put(out, 2835, 4);
        put(out, 2835, 4);
        put(out, bmp.colorsUsed, 4);
        put(out, 0, 4);
        if (bmp.headerSize > 40 || masksAfter)
            for (std::uint32_t m : bmp.masks) put(out, m, 4);
        while (out.size() < 14 + bmp.headerSize + (masksAfter ? 12 : 0)) out.push_back('\0');
    }
    for (std::uint32_t color : bmp.palette) {
        put(out, color & 0xFFFFFF, 3);  // blue, green, red
        if (!core) out.push_back('\0');
    }
    return out + bmp.pixels;
}

}  // namespace velluma::test
