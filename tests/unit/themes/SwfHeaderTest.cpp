#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <chrono>
#include <random>

#include "formats/SwfHeader.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

// Bit fields as the format stores them: most significant bit first.
std::string rectBytes(int bits, std::int64_t xMin, std::int64_t xMax, std::int64_t yMin,
                      std::int64_t yMax) {
    std::vector<bool> stream;
    const auto put = [&](std::int64_t value, int count) {
        for (int i = count - 1; i >= 0; --i) stream.push_back(((value >> i) & 1) != 0);
    };
    put(bits, 5);
    for (std::int64_t v : {xMin, xMax, yMin, yMax}) put(v, bits);
    std::string bytes((stream.size() + 7) / 8, '\0');
    for (std::size_t i = 0; i < stream.size(); ++i)
        if (stream[i]) bytes[i / 8] = static_cast<char>(bytes[i / 8] | (0x80 >> (i % 8)));
    return bytes;
}

std::string le16(unsigned v) {
    return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)};
}

std::string le32(std::uint32_t v) {
    return le16(v & 0xffff) + le16(v >> 16);
}

std::string tag(unsigned code, const std::string& body, bool longForm = false) {
    if (!longForm && body.size() < 0x3f)
        return le16(code << 6 | static_cast<unsigned>(body.size())) + body;
    return le16(code << 6 | 0x3f) + le32(static_cast<std::uint32_t>(body.size())) + body;
}

const std::string kBlue = tag(9, "\x33\x66\x99");
const std::string kShowFrame = tag(1, "");
const std::string kEnd = tag(0, "");

// The body after the eight fixed bytes: frame rect, rate (8.8), frame count, tags.
std::string body(const std::string& rect, unsigned rate, unsigned frames, const std::string& tags) {
    return rect + le16(rate) + le16(frames) + tags;
}

std::string movie(const std::string& signature, const std::string& rest, int version = 6) {
    const std::string head =
        signature + static_cast<char>(version) + le32(static_cast<std::uint32_t>(8 + rest.size()));
    if (signature != "CWS") return head + rest;
    uLongf size = compressBound(rest.size());
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
              reinterpret_cast<const Bytef*>(rest.data()), rest.size(), 9);
    packed.resize(size);
    return head + packed;
}

const std::string kStage = rectBytes(15, 0, 11000, 0, 8000);  // 550 x 400 pixels

TEST(SwfHeader, ReadsStageRateFramesAndFirstFrameBackground) {
    struct Case {
        const char* what;
        std::string bytes;
        double width, height, rate;
        unsigned frames;
        std::optional<std::uint32_t> background;
    };
    const std::string typical = body(kStage, 24 << 8, 120, kBlue + kShowFrame + kEnd);
    const Case cases[] = {
        {"plain", movie("FWS", typical), 550, 400, 24, 120, 0x336699},
        {"zlib", movie("CWS", typical), 550, 400, 24, 120, 0x336699},
        {"fractional rate", movie("FWS", body(kStage, 12 << 8 | 0x80, 1, kEnd)), 550, 400, 12.5, 1,
         std::nullopt},
        {"empty frame rect", movie("FWS", body(rectBytes(0, 0, 0, 0, 0), 1 << 8, 1, kBlue)), 0, 0,
         1, 1, 0x336699},
        {"negative origin, widest fields",
         movie("FWS", body(rectBytes(31, -1000000, 1000000, -20, 20), 30 << 8, 2, kEnd)), 100000, 2,
         30, 2, std::nullopt},
        {"other tags first, long form",
         movie("FWS", body(kStage, 25 << 8, 3,
                           tag(69, std::string("\x08\0\0\0", 4)) +
                               tag(9, std::string("\xff\0\x10", 3), true))),
         550, 400, 25, 3, 0xff0010},
        {"colour of a later frame", movie("FWS", body(kStage, 24 << 8, 2, kShowFrame + kBlue)), 550,
         400, 24, 2, std::nullopt},
        {"tag longer than the file",
         movie("FWS", body(kStage, 24 << 8, 2, le16(9 << 6 | 0x3f) + le32(0xffffffff) + "x")), 550,
         400, 24, 2, std::nullopt},
        {"no tags at all", movie("FWS", body(kStage, 24 << 8, 0, "")), 550, 400, 24, 0,
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SwfHeader h = ParseSwfHeader(c.bytes);
        EXPECT_EQ(h.version, 6);
        EXPECT_EQ(h.fileLength,
                  c.bytes.substr(0, 3) == "CWS" ? 8 + typical.size() : c.bytes.size());
        ASSERT_TRUE(h.stage);
        EXPECT_DOUBLE_EQ(h.stage->widthPixels(), c.width);
        EXPECT_DOUBLE_EQ(h.stage->heightPixels(), c.height);
        EXPECT_DOUBLE_EQ(h.stage->frameRate, c.rate);
        EXPECT_EQ(h.stage->frameCount, c.frames);
        EXPECT_EQ(h.stage->background, c.background);
    }
}

TEST(SwfHeader, LzmaMoviesGiveTheirVersionButNoStage) {
    const std::string bytes =
        std::string("ZWS") + char(13) + le32(5000) + le32(40) + std::string(45, '\x5d');
    const SwfHeader h = ParseSwfHeader(bytes);
    EXPECT_EQ(h.compression, SwfCompression::Lzma);
    EXPECT_EQ(h.version, 13);
    EXPECT_EQ(h.fileLength, 5000u);
    EXPECT_FALSE(h.stage);
}

TEST(SwfHeader, RefusesWhatIsNotAWholeHeader) {
    const std::string full = movie("FWS", body(kStage, 24 << 8, 120, kEnd));
    const std::string cases[] = {
        "",
        "FW",
        "GIF89a\x01\0\x01\0",
        full.substr(0, 7),                                            // fixed bytes cut short
        full.substr(0, 9),                                            // inside the rect
        full.substr(0, 8 + kStage.size() + 3),                        // inside rate and count
        movie("FWS", body(rectBytes(15, 100, 50, 0, 10), 1, 1, "")),  // right of left
        std::string("CWS\x06") + le32(100) + "this is not zlib data at all",
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_THROW(ParseSwfHeader(bytes), SwfError);
    }
}

// Hostile bytes: every cut and random damage either reads or is refused, nothing else.
TEST(SwfHeader, DamagedMoviesNeverGoBeyondTheirBytes) {
    const std::string tags = kBlue + tag(2, std::string(80, 'a'), true) + kShowFrame + kEnd;
    std::mt19937 random(7);
    for (const std::string& good : {movie("FWS", body(kStage, 24 << 8, 9, tags)),
                                    movie("CWS", body(kStage, 24 << 8, 9, tags))}) {
        for (std::size_t cut = 0; cut <= good.size(); ++cut) {
            try {
                ParseSwfHeader(std::string_view(good).substr(0, cut));
            } catch (const SwfError&) {
            }
        }
        for (int round = 0; round < 500; ++round) {
            std::string bad = good;
            for (int flips = 0; flips < 3; ++flips)
                bad[3 + random() % (bad.size() - 3)] = static_cast<char>(random());
            try {
                ParseSwfHeader(bad);
            } catch (const SwfError&) {
            }
        }
    }
}

TEST(SwfHeader, UnpacksOnlyTheBeginningOfABomb) {
    // 64 MiB of zeros behind a valid header unpack to no more than the inspection limit.
    z_stream z{};
    ASSERT_EQ(deflateInit(&z, 9), Z_OK);
    std::string packed;
    const std::string head = body(kStage, 24 << 8, 1, "");
    std::string zeros(std::size_t(1) << 20, '\0');
    std::vector<unsigned char> out(1 << 16);
    for (int i = 0; i <= 64; ++i) {
        const std::string& chunk = i == 0 ? head : zeros;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
        z.avail_in = static_cast<uInt>(chunk.size());
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, i == 64 ? Z_FINISH : Z_NO_FLUSH);
            packed.append(reinterpret_cast<char*>(out.data()), out.size() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    const auto start = std::chrono::steady_clock::now();
    const SwfHeader h = ParseSwfHeader(std::string("CWS\x0a") + le32(0xffffffff) + packed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_TRUE(h.stage);
    EXPECT_DOUBLE_EQ(h.stage->widthPixels(), 550);
    EXPECT_FALSE(h.stage->background);  // zero tags are End
}

TEST(SwfHeader, ReadsOnlyRegularFilesAndNamesThePath) {
    test::TempFolder temp;
    const std::string path =
        temp.write("fly.swf", movie("CWS", body(kStage, 24 << 8, 120, kBlue + kEnd)));
    EXPECT_EQ(ReadSwfHeader(path).stage->background, 0x336699u);

    const std::string pipe = temp.file("pipe.swf");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& bad :
         {temp.path(), pipe, temp.file("missing.swf"), temp.write("notes.swf", "hello")}) {
        try {
            ReadSwfHeader(bad);  // a pipe with no writer must not hold the reader up
            ADD_FAILURE() << bad;
        } catch (const SwfError& e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace velluma
