// The movie writer, checked by reading its bytes back: the header through the program's own
// reader, everything else through a small independent decoder of the tags it writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/SwfHeader.h"
#include "tools/SwfWriter.h"

namespace velluma {
namespace {

constexpr double kPi = 3.14159265358979323846;

unsigned byteAt(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b.at(at));
}

unsigned le16(const std::string& b, std::size_t at) {
    return byteAt(b, at) | byteAt(b, at + 1) << 8;
}

// Bit fields, most significant bit first.
class Bits {
public:
    Bits(const std::string& bytes, std::size_t at) : m_bytes(bytes), m_bit(at * 8) {}
    std::uint32_t u(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++m_bit)
            v = v << 1 | ((byteAt(m_bytes, m_bit / 8) >> (7 - m_bit % 8)) & 1);
        return v;
    }
    std::int32_t s(int n) {
        if (n == 0) return 0;
        const std::int64_t v = u(n);
        return static_cast<std::int32_t>(
            v >= (std::int64_t(1) << (n - 1)) ? v - (std::int64_t(1) << n) : v);
    }
    std::size_t nextByte() const { return (m_bit + 7) / 8; }

private:
    const std::string& m_bytes;
    std::size_t m_bit;
};

struct Tag {
    unsigned code;
    std::string body;
};

struct Decoded {
    std::size_t stageEnd = 0;  // where the tags begin
    std::vector<Tag> tags;
    bool endsExactly = false;  // an End tag is the last byte of the file
};

Decoded decode(const std::string& swf) {
    Decoded d;
    Bits rect(swf, 8);
    const int n = static_cast<int>(rect.u(5));
    for (int i = 0; i < 4; ++i) rect.s(n);
    std::size_t at = rect.nextByte() + 4;
    while (at + 2 <= swf.size()) {
        const unsigned head = le16(swf, at);
        at += 2;
        std::size_t length = head & 0x3f;
        if (length == 0x3f) {
            length = le16(swf, at) | le16(swf, at + 2) << 16;
            at += 4;
        }
        d.tags.push_back({head >> 6, swf.substr(at, length)});
        at += length;
        if (head >> 6 == 0) {
            d.endsExactly = at == swf.size();
            break;
        }
    }
    return d;
}

struct Matrix {
    double a = 1, b = 0, c = 0, d = 1;
    double tx = 0, ty = 0;  // twips
};

Matrix readMatrix(Bits& bits) {
    Matrix m;
    if (bits.u(1)) {
        const int n = static_cast<int>(bits.u(5));
        m.a = bits.s(n) / 65536.0;
        m.d = bits.s(n) / 65536.0;
    }
    if (bits.u(1)) {
        const int n = static_cast<int>(bits.u(5));
        m.b = bits.s(n) / 65536.0;
        m.c = bits.s(n) / 65536.0;
    }
    const int n = static_cast<int>(bits.u(5));
    m.tx = bits.s(n);
    m.ty = bits.s(n);
    return m;
}

struct Place {
    unsigned flags = 0;
    unsigned depth = 0;
    unsigned character = 0;
    Matrix matrix;
    std::vector<int> mult, add;  // 8.8 factors and additions, when stated
};

Place readPlace(const std::string& body) {
    Place p;
    p.flags = byteAt(body, 0);
    p.depth = le16(body, 1);
    std::size_t at = 3;
    if (p.flags & 0x02) {
        p.character = le16(body, at);
        at += 2;
    }
    if (p.flags & 0x04) {
        Bits bits(body, at);
        p.matrix = readMatrix(bits);
        at = bits.nextByte();
    }
    if (p.flags & 0x08) {
        Bits bits(body, at);
        const bool hasAdd = bits.u(1), hasMult = bits.u(1);
        const int n = static_cast<int>(bits.u(4));
        if (hasMult)
            for (int i = 0; i < 4; ++i) p.mult.push_back(bits.s(n));
        if (hasAdd)
            for (int i = 0; i < 4; ++i) p.add.push_back(bits.s(n));
    }
    return p;
}

std::vector<Place> placesOf(const Decoded& d) {
    std::vector<Place> places;
    for (const Tag& t : d.tags)
        if (t.code == 26) places.push_back(readPlace(t.body));
    return places;
}

// The outline of a shape as the decoder walks it, in twips.
struct Walk {
    struct Point {
        double x, y;
    };
    unsigned code = 0;
    int bounds[4] = {};  // xMin, xMax, yMin, yMax
    unsigned fillType = 0;
    std::vector<unsigned> fillBytes;           // the fill style after its type byte
    std::vector<std::vector<Point>> contours;  // anchors and sampled curve points
    std::vector<Point> controls;
};

Walk walkShape(const Tag& tag) {
    Walk w;
    w.code = tag.code;
    const std::string& b = tag.body;
    Bits rect(b, 2);
    const int n = static_cast<int>(rect.u(5));
    for (int& v : w.bounds) v = rect.s(n);
    std::size_t at = rect.nextByte();
    EXPECT_EQ(byteAt(b, at), 1u) << "one fill style";
    w.fillType = byteAt(b, at + 1);
    const bool alpha = tag.code == 32;
    std::size_t styleEnd = at + 2;
    if (w.fillType == 0x00) {
        styleEnd += alpha ? 4 : 3;
    } else {
        Bits gm(b, at + 2);
        readMatrix(gm);
        const std::size_t stops = byteAt(b, gm.nextByte()) & 0x0f;
        styleEnd = gm.nextByte() + 1 + stops * (alpha ? 5 : 4);
    }
    for (std::size_t i = at + 2; i < styleEnd; ++i) w.fillBytes.push_back(byteAt(b, i));
    EXPECT_EQ(byteAt(b, styleEnd), 0u) << "no line styles";

    Bits bits(b, styleEnd + 1);
    const int fillBits = static_cast<int>(bits.u(4));
    const int lineBits = static_cast<int>(bits.u(4));
    double x = 0, y = 0;
    for (;;) {
        if (bits.u(1) == 0) {
            const unsigned flags = bits.u(5);
            if (flags == 0) break;
            EXPECT_EQ(flags & 0x10, 0u) << "no new styles";
            if (flags & 0x01) {
                const int m = static_cast<int>(bits.u(5));
                x = bits.s(m);
                y = bits.s(m);
                w.contours.push_back({{x, y}});
            }
            if (flags & 0x02) bits.u(fillBits);
            if (flags & 0x04) bits.u(fillBits);
            if (flags & 0x08) bits.u(lineBits);
            continue;
        }
        const bool straight = bits.u(1);
        const int m = static_cast<int>(bits.u(4)) + 2;
        EXPECT_FALSE(w.contours.empty()) << "an edge before the first move";
        if (w.contours.empty()) w.contours.emplace_back();
        if (straight) {
            if (bits.u(1)) {
                x += bits.s(m);
                y += bits.s(m);
            } else if (bits.u(1)) {
                y += bits.s(m);
            } else {
                x += bits.s(m);
            }
            w.contours.back().push_back({x, y});
        } else {
            const double cx = x + bits.s(m), cy = y + bits.s(m);
            const double ax = cx + bits.s(m), ay = cy + bits.s(m);
            w.controls.push_back({cx, cy});
            for (int i = 1; i <= 8; ++i) {
                const double t = i / 8.0;
                w.contours.back().push_back(
                    {(1 - t) * (1 - t) * x + 2 * (1 - t) * t * cx + t * t * ax,
                     (1 - t) * (1 - t) * y + 2 * (1 - t) * t * cy + t * t * ay});
            }
            x = ax;
            y = ay;
        }
    }
    return w;
}

SwfMovie oneFrame(std::vector<SwfShape> shapes, std::vector<SwfPlacement> placements) {
    SwfMovie movie;
    movie.shapes = std::move(shapes);
    movie.frames = {std::move(placements)};
    return movie;
}

SwfShape dot() {
    return {SwfFill::solid({255, 0, 0, 255}), {SwfEllipse({0, 0}, 5, 5)}};
}

TEST(SwfWriter, HeaderReadsBackThroughTheProgramsReader) {
    struct Case {
        int width, height;
        double rate;
        SwfColour background;
        int frames;
        int version;
    };
    const Case cases[] = {
        {1920, 1080, 30, {11, 10, 36, 255}, 3, 10},
        {550, 400, 12.5, {255, 255, 255, 255}, 1, 10},
        {1, 1, 120, {0, 0, 0, 255}, 2, 6},
        {100000, 2, 0.25, {1, 2, 3, 255}, 1, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        SwfMovie movie = oneFrame({dot()}, {{1, 0, {}, std::nullopt}});
        movie.width = c.width;
        movie.height = c.height;
        movie.frameRate = c.rate;
        movie.background = c.background;
        movie.version = c.version;
        movie.frames.resize(static_cast<std::size_t>(c.frames), movie.frames[0]);
        const std::string swf = WriteSwf(movie);

        const SwfHeader header = ParseSwfHeader(swf);
        EXPECT_EQ(header.compression, SwfCompression::None);
        EXPECT_EQ(header.version, c.version);
        EXPECT_EQ(header.fileLength, swf.size());
        ASSERT_TRUE(header.stage);
        EXPECT_EQ(header.stage->xMin, 0);
        EXPECT_EQ(header.stage->yMin, 0);
        EXPECT_EQ(header.stage->widthPixels(), c.width);
        EXPECT_EQ(header.stage->heightPixels(), c.height);
        EXPECT_EQ(header.stage->frameRate, c.rate);
        EXPECT_EQ(header.stage->frameCount, c.frames);
        EXPECT_EQ(header.stage->background, std::uint32_t(c.background.red) << 16 |
                                                c.background.green << 8 | c.background.blue);

        const Decoded d = decode(swf);
        EXPECT_TRUE(d.endsExactly);
        ASSERT_FALSE(d.tags.empty());
        // Newer players want the file attributes first; older versions know no such tag.
        EXPECT_EQ(d.tags.front().code == 69, c.version >= 8);
        int shown = 0;
        for (const Tag& t : d.tags) shown += t.code == 1;
        EXPECT_EQ(shown, c.frames);
    }
}

TEST(SwfWriter, PlacementsDecodeToTheirTransformsAndColours) {
    struct Case {
        SwfTransform transform;
        std::optional<SwfColourTransform> colour;
        std::vector<int> mult, add;  // expected; empty when not stated
    };
    SwfColourTransform tint;
    tint.redFactor = 0.5;
    tint.blueAdd = -40;
    tint.alphaAdd = 255;
    const Case cases[] = {
        {{}, std::nullopt, {}, {}},
        {{-12.5, 3000, 1, 1, 0}, SwfColourTransform::fade(0.25), {256, 256, 256, 64}, {}},
        {{100, 200, 2.5, 0.5, 0}, SwfColourTransform::fade(0), {256, 256, 256, 0}, {}},
        {{0, 0, 1, 1, 90}, tint, {128, 256, 256, 256}, {0, 0, -40, 255}},
        {{960, 540, 1.5, 0.75, 30}, std::nullopt, {}, {}},
        {{-5, -5, 3, 3, -135}, std::nullopt, {}, {}},
    };
    std::vector<SwfPlacement> placements;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        placements.push_back(
            {static_cast<std::uint16_t>(i + 1), 0, cases[i].transform, cases[i].colour});
    const std::vector<Place> places = placesOf(decode(WriteSwf(oneFrame({dot()}, placements))));
    ASSERT_EQ(places.size(), std::size(cases));

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        const Place& p = places[i];
        EXPECT_EQ(p.depth, i + 1);
        EXPECT_EQ(p.character, 1u);
        EXPECT_EQ(p.flags & 0x07, 0x06u) << "a new placement with a matrix";
        // Scale about the origin, turn clockwise (y grows downwards), then move.
        const double r = c.transform.rotation * kPi / 180;
        for (const auto& [x, y] :
             {std::pair{10.0, 0.0}, std::pair{0.0, 10.0}, std::pair{7.0, -3.0}}) {
            const double sx = x * c.transform.scaleX, sy = y * c.transform.scaleY;
            const double wantX = (sx * std::cos(r) - sy * std::sin(r) + c.transform.x) * 20;
            const double wantY = (sx * std::sin(r) + sy * std::cos(r) + c.transform.y) * 20;
            const Matrix& m = p.matrix;
            EXPECT_NEAR(m.a * x * 20 + m.c * y * 20 + m.tx, wantX, 0.01);
            EXPECT_NEAR(m.b * x * 20 + m.d * y * 20 + m.ty, wantY, 0.01);
        }
        // The first frame states every colour transform, an empty one too.
        EXPECT_TRUE(p.flags & 0x08);
        EXPECT_EQ(p.mult, c.mult);
        EXPECT_EQ(p.add, c.add);
    }
}

TEST(SwfWriter, OutlinesDecodeToTheirPointsAndFills) {
    // A rectangle too wide for one edge record, an ellipse, a blob and a petal.
    const std::vector<SwfShape> shapes{
        {SwfFill::solid({10, 20, 30, 255}), {SwfRectangle(-100, 50, 4000, 3500)}},
        {SwfFill::solid({10, 20, 30, 128}), {SwfEllipse({300, 200}, 120, 60)}},
        {SwfFill::radial({0, 0}, 50, 80,
                         {{0, {255, 255, 255, 255}}, {0.5, {255, 0, 0, 100}}, {1, {0, 0, 0, 0}}}),
         {SwfBlob({0, 0}, {50, 80, 40, 70, 60})}},
        {SwfFill::linear({0, 0}, {0, -200}, {{0, {1, 2, 3, 255}}, {1, {4, 5, 6, 255}}}),
         {SwfPetal(200, 80)}},
    };
    const Decoded d = decode(WriteSwf(oneFrame(shapes, {{1, 0, {}, std::nullopt}})));
    std::vector<Walk> walks;
    for (const Tag& t : d.tags)
        if (t.code == 2 || t.code == 32) walks.push_back(walkShape(t));
    ASSERT_EQ(walks.size(), shapes.size());

    // Opaque fills go into the plain shape tag, translucent ones into the one with alpha.
    EXPECT_EQ(walks[0].code, 2u);
    EXPECT_EQ(walks[1].code, 32u);
    EXPECT_EQ(walks[2].code, 32u);
    EXPECT_EQ(walks[3].code, 2u);
    EXPECT_EQ(walks[0].fillType, 0x00u);
    EXPECT_EQ(walks[0].fillBytes, (std::vector<unsigned>{10, 20, 30}));
    EXPECT_EQ(walks[1].fillBytes, (std::vector<unsigned>{10, 20, 30, 128}));
    EXPECT_EQ(walks[2].fillType, 0x12u);
    EXPECT_EQ(walks[3].fillType, 0x10u);
    // The stops: ratio and colour each, in order, after their count.
    const std::vector<unsigned>& radial = walks[2].fillBytes;
    ASSERT_GE(radial.size(), 15u);
    EXPECT_EQ(std::vector<unsigned>(radial.end() - 15, radial.end()),
              (std::vector<unsigned>{0, 255, 255, 255, 255, 128, 255, 0, 0, 100, 255, 0, 0, 0, 0}));

    for (std::size_t i = 0; i < walks.size(); ++i) {
        SCOPED_TRACE(i);
        const Walk& w = walks[i];
        ASSERT_EQ(w.contours.size(), 1u);
        const std::vector<Walk::Point>& points = w.contours[0];
        // Closed, and inside the bounds the shape declares (curves included).
        EXPECT_EQ(points.front().x, points.back().x);
        EXPECT_EQ(points.front().y, points.back().y);
        std::vector<Walk::Point> all = points;
        all.insert(all.end(), w.controls.begin(), w.controls.end());
        for (const Walk::Point& p : all) {
            EXPECT_GE(p.x, w.bounds[0]);
            EXPECT_LE(p.x, w.bounds[1]);
            EXPECT_GE(p.y, w.bounds[2]);
            EXPECT_LE(p.y, w.bounds[3]);
        }
    }

    // The rectangle's corners are where they were asked for, its long edges split.
    const std::vector<Walk::Point>& rect = walks[0].contours[0];
    EXPECT_GT(rect.size(), 5u);
    const int corners[4][2] = {{-2000, 1000}, {78000, 1000}, {78000, 71000}, {-2000, 71000}};
    for (const auto& corner : corners)
        EXPECT_TRUE(
            std::any_of(rect.begin(), rect.end(),
                        [&](const Walk::Point& p) { return p.x == corner[0] && p.y == corner[1]; }))
            << corner[0] << "," << corner[1];
    EXPECT_EQ(walks[0].bounds[0], -2000);
    EXPECT_EQ(walks[0].bounds[3], 71000);

    // The ellipse stays on the true ellipse to within its stated error.
    for (const Walk::Point& p : walks[1].contours[0]) {
        const double u = (p.x - 6000) / 2400, v = (p.y - 4000) / 1200;
        EXPECT_NEAR(std::hypot(u, v), 1, 0.004);
    }

    // The petal runs from its base to its tip and is as wide as asked.
    double minX = 0, maxX = 0, minY = 0;
    for (const Walk::Point& p : walks[3].contours[0]) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
    }
    EXPECT_EQ(minY, -4000);
    EXPECT_NEAR(maxX - minX, 80 * 20, 80);
    EXPECT_NEAR(maxX, -minX, 1);
}

TEST(SwfWriter, LaterFramesStateOnlyWhatChanged) {
    const SwfShape other{SwfFill::solid({0, 0, 255, 255}), {SwfRectangle(0, 0, 10, 10)}};
    SwfMovie movie;
    movie.shapes = {dot(), other};
    const SwfTransform at{10, 10, 1, 1, 0};
    const SwfTransform moved{20, 10, 1, 1, 0};
    movie.frames = {
        {{1, 0, at, SwfColourTransform::fade(0.5)}, {2, 1, at, std::nullopt}},
        {{1, 0, at, SwfColourTransform::fade(0.5)}, {2, 1, at, std::nullopt}},  // unchanged
        {{1, 0, moved, SwfColourTransform::fade(0.5)}},                         // depth 2 leaves
        {{1, 1, moved, SwfColourTransform::fade(0.5)}},                         // new shape
        {{1, 1, moved, std::nullopt}},                                          // colour cleared
    };
    const Decoded d = decode(WriteSwf(movie));

    // The tags of each frame, up to its ShowFrame.
    std::vector<std::vector<Tag>> frames(1);
    bool inFrames = false;
    for (const Tag& t : d.tags) {
        if (t.code == 26 || t.code == 28) inFrames = true;
        if (!inFrames) continue;
        if (t.code == 1)
            frames.emplace_back();
        else if (t.code != 0)
            frames.back().push_back(t);
    }
    ASSERT_EQ(frames.size(), 6u);  // five frames and nothing after the last
    EXPECT_TRUE(frames[5].empty());

    ASSERT_EQ(frames[0].size(), 2u);
    EXPECT_TRUE(frames[1].empty()) << "an unchanged frame states nothing";

    ASSERT_EQ(frames[2].size(), 2u);
    EXPECT_EQ(frames[2][0].code, 28u);
    EXPECT_EQ(le16(frames[2][0].body, 0), 2u);
    const Place move = readPlace(frames[2][1].body);
    EXPECT_EQ(move.flags, 0x05u) << "a move with a matrix only";
    EXPECT_EQ(move.matrix.tx, 400);

    ASSERT_EQ(frames[3].size(), 1u);
    const Place replace = readPlace(frames[3][0].body);
    EXPECT_EQ(replace.flags, 0x0fu) << "replaced, with its matrix and colour stated";
    EXPECT_EQ(replace.character, 2u);
    EXPECT_EQ(replace.mult, (std::vector<int>{256, 256, 256, 128}));

    ASSERT_EQ(frames[4].size(), 1u);
    const Place cleared = readPlace(frames[4][0].body);
    EXPECT_EQ(cleared.flags, 0x09u);
    EXPECT_TRUE(cleared.mult.empty());
    EXPECT_TRUE(cleared.add.empty());
}

TEST(SwfWriter, RefusesMoviesItCannotWrite) {
    const SwfMovie good = oneFrame({dot()}, {{1, 0, {}, std::nullopt}});
    struct Case {
        const char* what;
        std::function<void(SwfMovie&)> spoil;
    };
    const Case cases[] = {
        {"no frames", [](SwfMovie& m) { m.frames.clear(); }},
        {"too many frames", [](SwfMovie& m) { m.frames.resize(65536); }},
        {"depth 0", [](SwfMovie& m) { m.frames[0][0].depth = 0; }},
        {"shared depth", [](SwfMovie& m) { m.frames[0].push_back(m.frames[0][0]); }},
        {"no such shape", [](SwfMovie& m) { m.frames[0][0].shape = 1; }},
        {"rate 0", [](SwfMovie& m) { m.frameRate = 0; }},
        {"rate 256", [](SwfMovie& m) { m.frameRate = 256; }},
        {"empty stage", [](SwfMovie& m) { m.width = 0; }},
        {"far away", [](SwfMovie& m) { m.frames[0][0].transform.x = 1e9; }},
        {"not a number", [](SwfMovie& m) { m.frames[0][0].transform.rotation = NAN; }},
        {"colour factor",
         [](SwfMovie& m) { m.frames[0][0].colour = SwfColourTransform::fade(200); }},
        {"nine stops",
         [](SwfMovie& m) {
             m.shapes[0].fill = SwfFill::linear({0, 0}, {1, 0}, std::vector<SwfGradientStop>(9));
         }},
        {"stops out of order",
         [](SwfMovie& m) {
             m.shapes[0].fill = SwfFill::radial({0, 0}, 1, 1, {{0.8, {}}, {0.2, {}}});
         }},
        {"flat radial",
         [](SwfMovie& m) {
             m.shapes[0].fill = SwfFill::radial({0, 0}, 0, 1, {{0, {}}});
         }},
    };
    EXPECT_NO_THROW(WriteSwf(good));
    for (const Case& c : cases) {
        SwfMovie movie = good;
        c.spoil(movie);
        EXPECT_THROW(WriteSwf(movie), std::invalid_argument) << c.what;
    }
}

}  // namespace
}  // namespace velluma
