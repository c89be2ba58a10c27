#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/PictureSource.h"

namespace velluma::test {

/// A picture whose neighbouring pixels all differ: red = x, green = y, blue = x + 2y
/// (each mod 256).
RgbImage TestPattern(int width, int height);

struct JpegOptions {
    int quality = 95;
    bool progressive = false;
    bool grayscale = false;
    bool fullChroma = false;  // no chroma subsampling (4:4:4)
    /// > 0: a progressive script that sends every AC coefficient of a grayscale picture in
    /// its own band with this many refinement passes (63 x (passes + 1) + 1 scans).
    int refinementPasses = 0;
};

/// The bytes of a JPEG of image, written by libjpeg's compressor.
std::string EncodeJpeg(const RgbImage& image, const JpegOptions& options = {});

/// The bytes of a JPEG of a plain grey picture: tiny files, however large or many-scanned.
std::string EncodeFlatJpeg(int width, int height, const JpegOptions& options = {});

/// The bytes of a JPEG of one CMYK colour, as libjpeg writes it (with Adobe's marker).
std::string EncodeCmykJpeg(int width, int height, std::array<std::uint8_t, 4> cmyk);

/// Every field of a bitmap that a hostile file could lie about.
struct RawBmp {
    std::uint32_t headerSize = 40;
    std::int32_t width = 2;
    std::int32_t height = 2;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    /// Written after the header (and after the masks of a 40-byte header): 0x00RRGGBB.
    std::vector<std::uint32_t> palette;
    /// With compression 3: after a 40-byte header, inside the longer ones.
    std::array<std::uint32_t, 3> masks{};
    std::int64_t dataOffset = -1;  // what the header says; -1: the truth
    std::string pixels;            // the stored rows, always right after the palette
};

/// The bytes of the bitmap the fields describe.
std::string BuildBmp(const RawBmp& bmp);

}  // namespace velluma::test
