#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "PictureFixtures.h"
#include "formats/JpegSource.h"
#include "imagelists/PictureFile.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using test::EncodeJpeg;
using test::JpegOptions;
using test::TestPattern;

// The largest difference of any channel between two pictures of one size.
int largestDifference(const RgbImage& a, const RgbImage& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        largest = std::max(largest, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return largest;
}

// A smooth picture, so that JPEG keeps it close.
RgbImage smoothPicture(int width, int height) {
    RgbImage image = TestPattern(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.rowData(y) + x * 3;
            p[0] = static_cast<std::uint8_t>(x * 255 / width);
            p[1] = static_cast<std::uint8_t>(y * 255 / height);
            p[2] = 128;
        }
    return image;
}

// The offset of the first marker 0xFF code in a JPEG.
std::size_t markerAt(const std::string& jpeg, unsigned char code) {
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF &&
            static_cast<unsigned char>(jpeg[i + 1]) == code)
            return i;
    return std::string::npos;
}

// The same JPEG with the frame header claiming another size.
std::string withFrameSize(std::string jpeg, unsigned char sofCode, int width, int height) {
    const std::size_t sof = markerAt(jpeg, sofCode);
    EXPECT_NE(sof, std::string::npos);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xFF);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

JpegOptions progressiveJpeg() {
    JpegOptions options;
    options.progressive = true;
    return options;
}

JpegOptions progressiveFullChroma() {
    JpegOptions options = progressiveJpeg();
    options.fullChroma = true;
    return options;
}

JpegOptions greyJpeg() {
    JpegOptions options;
    options.grayscale = true;
    return options;
}

JpegOptions manyScans(int refinementPasses) {
    JpegOptions options;
    options.refinementPasses = refinementPasses;
    return options;
}

TEST(JpegSource, DecodesBaselineProgressiveAndGreyPicturesAtFullSize) {
    test::TempFolder temp;
    const RgbImage picture = smoothPicture(40, 24);
    struct Case {
        const char* what;
        JpegOptions options;
    };
    const Case cases[] = {
        {"baseline", {}},
        {"progressive", progressiveJpeg()},
        {"grey", greyJpeg()},
    };
    for (const Case& c : cases) {
        const std::string path =
            temp.write(std::string(c.what) + ".jpg", EncodeJpeg(picture, c.options));
        const RgbImage decoded = DecodePicture(path);
        ASSERT_EQ(decoded.width, 40) << c.what;
        ASSERT_EQ(decoded.height, 24) << c.what;
        if (c.options.grayscale) {
            for (std::size_t i = 0; i < decoded.pixels.size(); i += 3) {
                EXPECT_EQ(decoded.pixels[i], decoded.pixels[i + 1]) << c.what;
                EXPECT_EQ(decoded.pixels[i], decoded.pixels[i + 2]) << c.what;
            }
        } else {
            EXPECT_LE(largestDifference(decoded, picture), 12) << c.what;
        }
        EXPECT_EQ(MeasurePicture(path), (PictureSize{40, 24})) << c.what;
    }
}

TEST(JpegSource, CmykPicturesAreConvertedByAdobesInvertedConvention) {
    test::TempFolder temp;
    // Adobe stores CMYK inverted: red = C x K / 255 of the stored values, and so on.
    const RgbImage decoded =
        DecodePicture(temp.write("cmyk.jpg", test::EncodeCmykJpeg(16, 16, {255, 128, 0, 255})));
    ASSERT_EQ(decoded.width, 16);
    const std::uint8_t* p = decoded.rowData(8) + 8 * 3;
    EXPECT_NEAR(p[0], 255, 3);
    EXPECT_NEAR(p[1], 128, 3);
    EXPECT_NEAR(p[2], 0, 3);
}

TEST(JpegSource, RefusesDamagedAndHostileFilesWithAClearError) {
    test::TempFolder temp;
    const std::string good = EncodeJpeg(smoothPicture(64, 64));
    const std::string progressive = EncodeJpeg(smoothPicture(64, 64), progressiveJpeg());
    std::string corrupt = good;
    const std::size_t scan = markerAt(good, 0xDA);
    ASSERT_NE(scan, std::string::npos);
    for (std::size_t i = scan + 40; i < scan + 60; ++i) corrupt[i] = static_cast<char>(0xFF);

    struct Case {
        const char* what;
        std::string file;
        const char* reason;
    };
    const Case cases[] = {
        {"empty file", "", "JPEG"},
        {"not a JPEG", "GIF89a and the rest", "Not a JPEG file"},
        {"cut off half-way", good.substr(0, good.size() / 2), "Premature end"},
        {"cut off progressive", progressive.substr(0, progressive.size() * 2 / 3), "Premature end"},
        {"corrupt data", corrupt, "Corrupt JPEG data"},
        {"65000 x 65000", withFrameSize(good, 0xC0, 65000, 65000), "too large"},
        {"no height", withFrameSize(good, 0xC0, 64, 0), "Empty JPEG image"},
        {"631 scans", EncodeJpeg(smoothPicture(16, 16), manyScans(9)), "more than 500 scans"},
        {"progressive 16000 x 16000", withFrameSize(progressive, 0xC2, 16000, 16000), "too large"},
        // Under the pixel cap, but its coefficients would need more than the memory cap.
        {"progressive 11000 x 11000, no subsampling",
         withFrameSize(EncodeJpeg(smoothPicture(64, 64), progressiveFullChroma()), 0xC2, 11000,
                       11000),
         "more than 512 MiB"},
    };
    for (const Case& c : cases) {
        const std::string path = temp.write(std::string(c.what) + ".jpg", c.file);
        try {
            MeasurePicture(path);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path), std::string::npos) << c.what << ": " << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << c.what << ": " << message;
        }
    }

    const std::string fifo = temp.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(JpegSource::openFile(fifo), std::runtime_error);  // refused, not waited on
    EXPECT_THROW(JpegSource::openFile(temp.file("missing.jpg")), std::runtime_error);
}

TEST(JpegSource, MeasuringReadsEveryByteThatDecodingReads) {
    test::TempFolder temp;
    JpegOptions fullChroma;
    fullChroma.fullChroma = true;
    struct Case {
        const char* what;
        int width;
        int height;
        JpegOptions options;
    };
    // Skipping rows instead of decoding them left the missing data of these unread.
    const Case cases[] = {
        {"4:2:0", 800, 600, {}},
        {"4:4:4", 800, 600, fullChroma},
        {"grey", 800, 600, greyJpeg()},
        {"odd size", 803, 597, fullChroma},
    };
    for (const Case& c : cases) {
        const std::string jpeg = EncodeJpeg(TestPattern(c.width, c.height), c.options);
        const std::string whole = temp.write(std::string(c.what) + ".jpg", jpeg);
        EXPECT_EQ(MeasurePicture(whole), (PictureSize{c.width, c.height})) << c.what;
        const std::string cut = temp.write(std::string(c.what) + " cut.jpg", jpeg.substr(0, 3000));
        try {
            MeasurePicture(cut);
            ADD_FAILURE() << c.what << ": a cut-off file measured";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("Premature end"), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

TEST(JpegSource, PicturesOfTooManyScansForTheirSizeAreRefusedButBigPhotosAreNot) {
    test::TempFolder temp;
    // An ordinary big photo: 6000 x 4000 in 10 scans.
    const std::string photo =
        temp.write("photo.jpg", test::EncodeFlatJpeg(6000, 4000, progressiveJpeg()));
    EXPECT_EQ(MeasurePicture(photo), (PictureSize{6000, 4000}));

    // 127 scans, under the scan cap, each a pass over 8192 x 4096 samples: a file of a few
    // hundred kilobytes that takes seconds to decode.
    const std::string costly =
        temp.write("costly.jpg", test::EncodeFlatJpeg(8192, 4096, manyScans(1)));
    for (const bool measuring : {true, false}) {
        try {
            if (measuring)
                MeasurePicture(costly);
            else
                JpegSource::openFile(costly);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("too many scans"), std::string::npos) << e.what();
        }
    }
}

TEST(JpegSource, ExtensionsChooseTheDecoder) {
    EXPECT_EQ(PictureFormatOf("/p/photo.jpeg"), PictureFormat::Jpeg);
    EXPECT_EQ(PictureFormatOf("/p/PHOTO.JPG"), PictureFormat::Jpeg);
    EXPECT_EQ(PictureFormatOf("/p/photo.Jpeg"), PictureFormat::Jpeg);
    EXPECT_EQ(PictureFormatOf("/p/photo.gif"), PictureFormat::Bitmap);
    EXPECT_EQ(PictureFormatOf("/p/photo.jpg.bmp"), PictureFormat::Bitmap);
    EXPECT_EQ(PictureFormatOf("/p.jpg/photo"), PictureFormat::Bitmap);
}

}  // namespace
}  // namespace velluma
