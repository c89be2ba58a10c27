#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>

#include "PictureFixtures.h"
#include "formats/BmpCodec.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using test::BuildBmp;
using test::RawBmp;

using Rgb = std::array<std::uint8_t, 3>;
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};

std::vector<Rgb> pixelsOf(const RgbImage& image) {
    std::vector<Rgb> pixels;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.rowData(y) + x * 3;
            pixels.push_back({p[0], p[1], p[2]});
        }
    return pixels;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

// Every supported layout stores the same 3 x 2 picture: red green blue over blue green red.
TEST(BmpCodec, ReadsEveryBitCountAndRowOrder) {
    const std::vector<Rgb> expected{kRed, kGreen, kBlue, kBlue, kGreen, kRed};
    const std::vector<std::uint32_t> palette{0xFF0000, 0x00FF00, 0x0000FF};
    std::vector<std::uint32_t> palette256 = palette;  // a core header has no colour count
    palette256.resize(256);
    const std::array<std::uint32_t, 3> rgb565{0xF800, 0x07E0, 0x001F};
    const std::array<std::uint32_t, 3> rgbx{0x000000FF, 0x0000FF00, 0x00FF0000};
    struct Case {
        const char* what;
        RawBmp bmp;
    };
    auto layout = [](std::uint32_t headerSize, std::int32_t height, std::uint16_t bits,
                     std::uint32_t compression, std::uint32_t colorsUsed,
                     std::vector<std::uint32_t> palette, std::array<std::uint32_t, 3> masks,
                     std::string pixels) {
        RawBmp b;
        b.headerSize = headerSize;
        b.width = 3;
        b.height = height;
        b.bitCount = bits;
        b.compression = compression;
        b.colorsUsed = colorsUsed;
        b.palette = std::move(palette);
        b.masks = masks;
        b.pixels = std::move(pixels);
        return b;
    };
    // Stored rows run bottom-up unless the height is negative; each is padded to 4 bytes.
    const std::string rows8 = bytes({2, 1, 0, 0, 0, 1, 2, 0});
    const std::string rows32rgbx = bytes({0,   0, 255, 0, 0, 255, 0, 0, 255, 0, 0,   0,  //
                                          255, 0, 0,   0, 0, 255, 0, 0, 0,   0, 255, 0});
    const Case cases[] = {
        {"24 bits",
         layout(40, 2, 24, 0, 0, {}, {}, bytes({255, 0, 0,   0, 255, 0, 0,   0, 255, 0, 0, 0,  //
                                                0,   0, 255, 0, 255, 0, 255, 0, 0,   0, 0, 0}))},
        {"24 bits top-down",
         layout(40, -2, 24, 0, 0, {}, {}, bytes({0,   0, 255, 0, 255, 0, 255, 0, 0,   0, 0, 0,  //
                                                 255, 0, 0,   0, 255, 0, 0,   0, 255, 0, 0, 0}))},
        {"8 bits", layout(40, 2, 8, 0, 3, palette, {}, rows8)},
        {"8 bits, core header", layout(12, 2, 8, 0, 0, palette256, {}, rows8)},
        {"4 bits",
         layout(40, 2, 4, 0, 3, palette, {}, bytes({0x21, 0x00, 0, 0, 0x01, 0x20, 0, 0}))},
        {"16 bits 5-5-5", layout(40, 2, 16, 0, 0, {}, {},
                                 bytes({0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C, 0, 0,  //
                                        0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0, 0}))},
        {"16 bits 5-6-5 masks", layout(40, 2, 16, 3, 0, {}, rgb565,
                                       bytes({0x1F, 0x00, 0xE0, 0x07, 0x00, 0xF8, 0, 0,  //
                                              0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0}))},
        {"32 bits",
         layout(40, 2, 32, 0, 0, {}, {}, bytes({255, 0, 0,   0, 0, 255, 0, 0, 0,   0, 255, 0,  //
                                                0,   0, 255, 0, 0, 255, 0, 0, 255, 0, 0,   0}))},
        {"32 bits masks in a V5 header", layout(124, 2, 32, 3, 0, {}, rgbx, rows32rgbx)},
        {"32 bits masks in a V3 header", layout(56, 2, 32, 3, 0, {}, rgbx, rows32rgbx)},
    };
    for (const Case& c : cases) {
        const RgbImage image = DecodeBmp(BuildBmp(c.bmp));
        EXPECT_EQ(image.width, 3) << c.what;
        EXPECT_EQ(image.height, 2) << c.what;
        EXPECT_EQ(pixelsOf(image), expected) << c.what;
    }

    // One bit per pixel, most significant first: red green red over green red green.
    const RgbImage mono = DecodeBmp(BuildBmp(
        layout(40, 2, 1, 0, 0, {0xFF0000, 0x00FF00}, {}, bytes({0xA0, 0, 0, 0, 0x40, 0, 0, 0}))));
    EXPECT_EQ(pixelsOf(mono), (std::vector<Rgb>{kRed, kGreen, kRed, kGreen, kRed, kGreen}));
}

TEST(BmpCodec, PaletteIndexesPastThePaletteAreBlack) {
    RawBmp bmp;
    bmp.height = 1;
    bmp.bitCount = 8;
    bmp.colorsUsed = 1;
    bmp.palette = {0xFFFFFF};
    bmp.pixels = bytes({0, 200, 0, 0});
    const RgbImage image = DecodeBmp(BuildBmp(bmp));
    EXPECT_EQ(pixelsOf(image), (std::vector<Rgb>{{255, 255, 255}, {0, 0, 0}}));
}

TEST(BmpCodec, WritesUncompressedBottomUp24BitBitmapsThatReadBack) {
    const RgbImage image = test::TestPattern(5, 3);  // 15 bytes a row: one byte of padding
    const std::string file = EncodeBmp24(image);
    ASSERT_EQ(file.size(), 54u + 16u * 3u);
    EXPECT_EQ(file.substr(0, 2), "BM");
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, file.data() + at, 4);
        return v;
    };
    EXPECT_EQ(u32(2), file.size());
    EXPECT_EQ(u32(10), 54u);                           // pixel data offset
    EXPECT_EQ(u32(14), 40u);                           // BITMAPINFOHEADER
    EXPECT_EQ(static_cast<std::int32_t>(u32(22)), 3);  // positive: bottom-up
    EXPECT_EQ(file[28], 24);
    EXPECT_EQ(u32(30), 0u);  // BI_RGB
    // The first stored row is the bottom one, blue green red.
    const std::uint8_t* bottomLeft = image.rowData(2);
    EXPECT_EQ(static_cast<std::uint8_t>(file[54]), bottomLeft[2]);
    EXPECT_EQ(static_cast<std::uint8_t>(file[56]), bottomLeft[0]);
    EXPECT_EQ(DecodeBmp(file).pixels, image.pixels);
}

TEST(BmpCodec, RefusesHostileHeadersWithAClearError) {
    const std::string row24 = bytes({1, 2, 3, 4, 5, 6, 0, 0});  // two pixels a row
    RawBmp good;
    good.pixels = row24 + row24;
    ASSERT_NO_THROW(DecodeBmp(BuildBmp(good)));
    auto with = [&](auto change) {
        RawBmp b = good;
        change(b);
        return BuildBmp(b);
    };
    std::string noSignature = BuildBmp(good);
    noSignature[0] = 'X';
    std::string shortMasks = with([](RawBmp& b) {
        b.bitCount = 32;
        b.compression = 3;
    });
    shortMasks.resize(54 + 6);
    struct Case {
        const char* what;
        std::string file;
        const char* reason;
    };
    const Case cases[] = {
        {"empty file", "", "too short"},
        {"signature only", "BM", "too short"},
        {"no signature", noSignature, "\"BM\""},
        {"header size 64", with([](RawBmp& b) { b.headerSize = 64; }), "header size 64"},
        {"header cut short", BuildBmp(good).substr(0, 30), "header is cut short"},
        {"two planes", with([](RawBmp& b) { b.planes = 2; }), "2 planes"},
        {"2 bits", with([](RawBmp& b) { b.bitCount = 2; }), "bit count 2"},
        {"0 bits", with([](RawBmp& b) { b.bitCount = 0; }), "bit count 0"},
        {"64 bits", with([](RawBmp& b) { b.bitCount = 64; }), "bit count 64"},
        {"RLE8", with([](RawBmp& b) { b.compression = 1; }), "compression 1"},
        {"embedded JPEG", with([](RawBmp& b) { b.compression = 4; }), "compression 4"},
        {"masks on 24 bits", with([](RawBmp& b) { b.compression = 3; }), "colour masks with 24"},
        {"masks cut short", shortMasks, "masks are cut short"},
        {"width 0", with([](RawBmp& b) { b.width = 0; }), "no pixels"},
        {"negative width", with([](RawBmp& b) { b.width = -2; }), "no pixels"},
        {"height 0", with([](RawBmp& b) { b.height = 0; }), "no pixels"},
        {"height INT_MIN", with([](RawBmp& b) { b.height = INT_MIN; }), "invalid height"},
        {"width 70000", with([](RawBmp& b) { b.width = 70000; }), "too large"},
        {"40000 x 40000", with([](RawBmp& b) { b.width = b.height = 40000; }), "too large"},
        {"rows past the end", with([](RawBmp& b) { b.height = 3; }), "pixel data is cut short"},
        {"huge rows past the end", with([](RawBmp& b) {
             b.width = 65535;
             b.height = -2048;
         }),
         "pixel data is cut short"},
        {"pixel data in the header", with([](RawBmp& b) { b.dataOffset = 20; }), "overlaps"},
        {"pixel data far away", with([](RawBmp& b) { b.dataOffset = 0xFFFFFFF0; }), "cut short"},
        {"300 colours", with([](RawBmp& b) {
             b.bitCount = 8;
             b.colorsUsed = 300;
         }),
         "palette of 300"},
        {"palette cut short", with([](RawBmp& b) {
             b.bitCount = 8;
             b.colorsUsed = 256;
             b.palette = {1, 2};
             b.pixels.clear();
         }),
         "palette is cut short"},
    };
    for (const Case& c : cases) {
        try {
            DecodeBmp(c.file);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

TEST(BmpCodec, FilesAreCheckedTheSameWayAndNamedInTheError) {
    test::TempFolder temp;
    const std::string cut =
        temp.write("cut.bmp", EncodeBmp24(test::TestPattern(4, 4)).substr(0, 80));
    try {
        BmpSource::openFile(cut);
        ADD_FAILURE() << "a cut-off bitmap was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(cut), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("cut short"), std::string::npos) << e.what();
    }
    const std::string fifo = temp.file("pipe.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(BmpSource::openFile(fifo), std::runtime_error);  // refused, not waited on
    EXPECT_THROW(BmpSource::openFile(temp.makeFolder("folder.bmp")), std::runtime_error);
    EXPECT_THROW(BmpSource::openFile(temp.file("missing.bmp")), std::runtime_error);

    const RgbImage image = test::TestPattern(7, 5);
    const auto source = BmpSource::openFile(temp.write("good.bmp", EncodeBmp24(image)));
    EXPECT_EQ(ReadAllRows(*source).pixels, image.pixels);
}

}  // namespace
}  // namespace velluma
