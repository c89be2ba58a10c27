#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <climits>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TempFolder.h"
#include "ui/MetafileFixtures.h"
#include "ui/MetafileRenderer.h"

namespace velluma {
namespace {

using test::Bytes;
using test::colorRef;
using test::EmfBuilder;
using test::WmfBuilder;

constexpr std::uint32_t kRed = colorRef(255, 0, 0);

bool isRed(QColor c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}
bool isWhite(QColor c) {
    return c.red() > 230 && c.green() > 230 && c.blue() > 230;
}
int darkPixels(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128) ++count;
    return count;
}

// EMF records that put a red brush and no pen in place.
EmfBuilder redEmf() {
    EmfBuilder e;
    e.brush(1, kRed).select(1).select(0x80000008);  // NULL_PEN
    return e;
}
// The same for a WMF: brush in slot 0, hollow pen in slot 1.
WmfBuilder redWmf() {
    WmfBuilder w;
    w.brush(kRed).select(0).pen(0, 5).select(1);
    return w;
}

std::string emfPolygon16(const std::vector<std::pair<int, int>>& points) {
    Bytes p;
    p.i32(0).i32(0).i32(0).i32(0).u32(static_cast<std::uint32_t>(points.size()));
    for (const auto& [x, y] : points) p.i16(x).i16(y);
    return p.str();
}

std::string emfStretchDib(int x, int y, int w, int h, const std::string& dib) {
    const std::string info = dib.substr(0, 40);
    const std::string bits = dib.substr(40);
    Bytes p;
    p.i32(0).i32(0).i32(0).i32(0);                // bounds
    p.i32(x).i32(y).i32(0).i32(0).i32(1).i32(1);  // dest origin, source rectangle
    p.u32(80).u32(40).u32(120).u32(static_cast<std::uint32_t>(bits.size()));  // offsets
    p.u32(0).u32(0x00CC0020).i32(w).i32(h);  // usage, SRCCOPY, dest size
    p.raw(info).raw(bits);
    return p.str();
}

struct HalfCase {
    const char* name;
    std::function<std::string()> bytes;
};

class LeftHalfTest : public ::testing::TestWithParam<HalfCase> {};

// Every case draws red over the left half of its picture, however it maps its coordinates.
TEST_P(LeftHalfTest, FillsTheTargetAsTheMappingSays) {
    const Metafile metafile = Metafile::fromBytes(GetParam().bytes());
    const QImage image = metafile.render(QSize(200, 100));
    for (const QPoint p : {QPoint(20, 20), QPoint(80, 80), QPoint(50, 50)})
        EXPECT_TRUE(isRed(image.pixelColor(p))) << p.x() << "," << p.y();
    for (const QPoint p : {QPoint(120, 20), QPoint(180, 80), QPoint(150, 50)})
        EXPECT_TRUE(isWhite(image.pixelColor(p))) << p.x() << "," << p.y();
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LeftHalfTest,
    ::testing::Values(
        HalfCase{"PlaceableBox",
                 [] { return redWmf().rectangle(0, 0, 100, 100).bytes(1440, 0, 0, 200, 100); }},
        HalfCase{
            "PlaceableBoxElsewhere",
            [] {
                return redWmf().rectangle(1000, 500, 1100, 600).bytes(1440, 1000, 500, 1200, 600);
            }},
        HalfCase{"WmfWindow",
                 [] {
                     return redWmf()
                         .windowOrg(0, 0)
                         .windowExt(200, 100)
                         .rectangle(0, 0, 100, 100)
                         .bytes();
                 }},
        HalfCase{"WmfUpwardWindow",
                 [] {
                     return redWmf()
                         .windowOrg(0, 100)
                         .windowExt(200, -100)
                         .rectangle(0, 0, 100, 100)
                         .bytes();
                 }},
        HalfCase{"WmfWithoutWindow",
                 [] {
                     WmfBuilder w = redWmf();
                     w.rectangle(0, 0, 100, 100).brush(colorRef(255, 255, 255)).select(2);
                     return w.rectangle(100, 0, 200, 100).bytes();
                 }},
        HalfCase{"WmfDibStretchBlt",
                 [] {
                     Bytes p;
                     p.u32(0x00CC0020).i16(1).i16(1).i16(0).i16(0).i16(100).i16(100).i16(0).i16(0);
                     p.raw(test::Dib24(1, 1, {0xFF0000}));
                     return WmfBuilder().windowExt(200, 100).rawRecord(0x0B41, p.str()).bytes();
                 }},
        HalfCase{"WmfUnknownRecordPassedOver",
                 [] {
                     return redWmf()
                         .record(0x0999, {1, 2, 3})
                         .rectangle(0, 0, 100, 100)
                         .bytes(1440, 0, 0, 200, 100);
                 }},
        HalfCase{"EmfMmText", [] { return redEmf().rectangle(0, 0, 100, 100).bytes(200, 100); }},
        HalfCase{"EmfAnisotropic",
                 [] {
                     return redEmf()
                         .record(17, {8})
                         .record(9, {2000, 1000})
                         .record(11, {200, 100})
                         .rectangle(0, 0, 1000, 1000)
                         .bytes(200, 100);
                 }},
        HalfCase{
            "EmfHimetricUpward",
            [] { return redEmf().record(17, {3}).rectangle(0, 0, 1000, -1000).bytes(200, 100); }},
        HalfCase{
            "EmfWorldTransform",
            [] {
                Bytes p;
                for (float f : {0.5f, 0.f, 0.f, 0.5f, 0.f, 0.f}) {
                    std::uint32_t bits;
                    std::memcpy(&bits, &f, 4);
                    p.u32(bits);
                }
                return redEmf().rawRecord(35, p.str()).rectangle(0, 0, 200, 200).bytes(200, 100);
            }},
        HalfCase{"EmfFilledPath",
                 [] {
                     return redEmf()
                         .record(59, {})
                         .rawRecord(86, emfPolygon16({{0, 0}, {100, 0}, {100, 100}, {0, 100}}))
                         .record(60, {})
                         .record(62, {0, 0, 0, 0})
                         .bytes(200, 100);
                 }},
        HalfCase{"EmfClipped",
                 [] {
                     return redEmf()
                         .record(30, {0, 0, 100, 100})
                         .rectangle(0, 0, 200, 100)
                         .bytes(200, 100);
                 }},
        HalfCase{"EmfStretchDibits",
                 [] {
                     return EmfBuilder()
                         .rawRecord(81,
                                    emfStretchDib(0, 0, 100, 100, test::Dib24(1, 1, {0xFF0000})))
                         .bytes(200, 100);
                 }},
        HalfCase{"EmfUnknownRecordPassedOver",
                 [] {
                     return redEmf().record(250, {7, 7}).rectangle(0, 0, 100, 100).bytes(200, 100);
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

struct PieCase {
    const char* name;
    std::function<std::string()> bytes;
    bool topRightRed;  // the quarter from 3 to 12 o'clock
};

class PieTest : public ::testing::TestWithParam<PieCase> {};

// Arcs run counter-clockwise on the picture unless the arc direction says otherwise, also
// where the y axis points up.
TEST_P(PieTest, SweepsInTheArcDirection) {
    const QImage image = Metafile::fromBytes(GetParam().bytes()).render(QSize(200, 200));
    EXPECT_EQ(isRed(image.pixelColor(150, 50)), GetParam().topRightRed);
    EXPECT_EQ(isRed(image.pixelColor(50, 150)), !GetParam().topRightRed);
    EXPECT_EQ(isRed(image.pixelColor(50, 50)), !GetParam().topRightRed);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, PieTest,
    ::testing::Values(
        PieCase{"Wmf",
                [] {
                    return redWmf()
                        .record(0x081A, {0, 100, 100, 200, 200, 200, 0, 0})
                        .bytes(1440, 0, 0, 200, 200);
                },
                true},
        PieCase{"Emf",
                [] {
                    return redEmf().record(47, {0, 0, 200, 200, 200, 100, 100, 0}).bytes(200, 200);
                },
                true},
        PieCase{"EmfClockwise",
                [] {
                    return redEmf()
                        .record(57, {2})
                        .record(47, {0, 0, 200, 200, 200, 100, 100, 0})
                        .bytes(200, 200);
                },
                false},
        PieCase{"EmfHimetricUpward",
                [] {
                    return redEmf()
                        .record(17, {3})
                        .record(47, {0, 0, 2000, -2000, 2000, -1000, 1000, 0})
                        .bytes(200, 200);
                },
                true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MetafileTest, DrawsTextWhereItIsAnchored) {
    // A 40-pixel font, then "HH" at (10, 10) in an EMF and at the same place in a WMF.
    Bytes font;
    font.u32(1).i32(-40).i32(0).i32(0).i32(0).i32(700).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(
        0);
    for (char c : std::string("DejaVu Sans")) font.u16(static_cast<unsigned char>(c));
    while (font.size() < 4 + 92) font.u16(0);
    Bytes text;
    text.i32(0).i32(0).i32(0).i32(0).u32(1).u32(0).u32(0);  // bounds, GM_COMPATIBLE, scales
    text.i32(10).i32(10).u32(2).u32(76).u32(0).i32(0).i32(0).i32(0).i32(0).u32(0);
    text.u16('H').u16('H');
    const std::string emf = EmfBuilder()
                                .rawRecord(82, font.str())
                                .select(1)
                                .record(18, {1})  // transparent background
                                .rawRecord(84, text.str())
                                .bytes(200, 100);

    Bytes wmfFont;
    wmfFont.i16(-40).i16(0).i16(0).i16(0).i16(700).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0);
    wmfFont.raw("DejaVu Sans").u8(0);
    Bytes textOut;
    textOut.i16(2).raw("HH").i16(10).i16(10);
    const std::string wmf = WmfBuilder()
                                .rawRecord(0x02FB, wmfFont.str())
                                .select(0)
                                .record(0x0102, {1})
                                .rawRecord(0x0521, textOut.str())
                                .bytes(1440, 0, 0, 200, 100);

    for (const std::string& bytes : {emf, wmf}) {
        const QImage image = Metafile::fromBytes(bytes).render(QSize(200, 100));
        EXPECT_GT(darkPixels(image, QRect(10, 10, 70, 45)), 100);
        EXPECT_EQ(darkPixels(image, QRect(120, 0, 80, 100)), 0);
        EXPECT_EQ(darkPixels(image, QRect(0, 60, 200, 40)), 0);
    }
}

TEST(MetafileTest, OwnSizeFollowsTheHeaderAndIsHeld) {
    EXPECT_EQ(Metafile::fromBytes(redWmf().bytes(1440, 0, 0, 2880, 1440)).naturalSize(),
              QSize(192, 96));
    EXPECT_EQ(Metafile::fromBytes(redWmf().windowExt(300, -50).bytes()).naturalSize(),
              QSize(300, 50));
    EXPECT_EQ(Metafile::fromBytes(EmfBuilder().bytes(200, 100)).naturalSize(), QSize(76, 38));
    EXPECT_TRUE(Metafile::fromBytes(EmfBuilder().bytes(200, 100)).enhanced());
    // A box of 32767 inches would be a picture of three million pixels a side.
    const QSize held = Metafile::fromBytes(redWmf().bytes(1, 0, 0, 32767, 16000)).naturalSize();
    EXPECT_EQ(held.width(), kMaxMetafileSide);
    EXPECT_NEAR(held.height(), 2000, 1);
}

struct BrokenCase {
    const char* name;
    std::function<std::string()> bytes;
};

class BrokenMetafileTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenMetafileTest, IsRefusedWithAnError) {
    EXPECT_THROW(
        {
            const Metafile metafile = Metafile::fromBytes(GetParam().bytes());
            metafile.render(QSize(64, 64));
        },
        std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenMetafileTest,
    ::testing::Values(
        BrokenCase{"Empty", [] { return std::string(); }},
        BrokenCase{"NotAMetafile", [] { return std::string("GIF89a, not a metafile at all"); }},
        BrokenCase{"WmfRecordPastTheEnd",
                   [] {
                       std::string b = redWmf().bytes(1440, 0, 0, 10, 10);
                       return b.substr(0, b.size() - 10);
                   }},
        BrokenCase{"WmfRecordOfNoSize",
                   [] {
                       return WmfBuilder()
                           .rawRecord(0x0000, "")
                           .bytes(1440, 0, 0, 10, 10)
                           .replace(40, 4, std::string("\0\0\0\0", 4));
                   }},
        BrokenCase{"WmfPolygonLongerThanItsRecord",
                   [] {
                       return redWmf().record(0x0324, {1000, 0, 0, 5, 5}).bytes(1440, 0, 0, 10, 10);
                   }},
        BrokenCase{"WmfTextOfNegativeLength",
                   [] {
                       return redWmf().record(0x0521, {-5, 0, 0}).bytes(1440, 0, 0, 10, 10);
                   }},
        BrokenCase{"WmfWithoutSize", [] { return redWmf().bytes(1440, 5, 5, 5, 20); }},
        BrokenCase{"EmfRecordSizeNotAMultipleOfFour",
                   [] {
                       std::string b = EmfBuilder().rectangle(0, 0, 5, 5).bytes(10, 10);
                       b[92] = 26;
                       return b;
                   }},
        BrokenCase{"EmfRecordPastTheEnd",
                   [] {
                       std::string b = EmfBuilder().rectangle(0, 0, 5, 5).bytes(10, 10);
                       b[92] = static_cast<char>(200);
                       return b;
                   }},
        BrokenCase{"EmfPolygonLongerThanItsRecord",
                   [] {
                       return EmfBuilder().record(3, {0, 0, 0, 0, 5000, 1, 1}).bytes(10, 10);
                   }},
        BrokenCase{"EmfWithoutSize",
                   [] {
                       std::string b = EmfBuilder().bytes(10, 10);
                       for (int i = 8; i < 40; ++i) b[static_cast<std::size_t>(i)] = 0;
                       for (int i = 16; i < 24; ++i) b[static_cast<std::size_t>(i)] = '\xFF';
                       return b;
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

struct HostileCase {
    const char* name;
    std::function<std::string()> bytes;
};

class HostileMetafileTest : public ::testing::TestWithParam<HostileCase> {};

// Valid records with absurd values draw what they can and end.
TEST_P(HostileMetafileTest, IsDrawnWithoutHarm) {
    const Metafile metafile = Metafile::fromBytes(GetParam().bytes());
    QImage image;
    EXPECT_NO_THROW(image = metafile.render(QSize(64, 64)));
    EXPECT_EQ(image.size(), QSize(64, 64));
}

INSTANTIATE_TEST_SUITE_P(
    Records, HostileMetafileTest,
    ::testing::Values(
        HostileCase{"ExtremeCoordinates",
                    [] {
                        return redEmf()
                            .rectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX)
                            .ellipse(INT_MIN, 0, INT_MAX, 10)
                            .record(30, {INT_MIN, INT_MIN, INT_MAX, INT_MAX})
                            .record(47, {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 0, 0})
                            .bytes(64, 64);
                    }},
        HostileCase{"HugeDashedPen",
                    [] {
                        return EmfBuilder()
                            .pen(1, 0, 0x00010001, 1000000000)
                            .select(1)
                            .ellipse(-100000, -100000, 100000, 100000)
                            .bytes(64, 64);
                    }},
        HostileCase{"CosmeticDashesAroundAHugeEllipse",
                    [] {
                        return EmfBuilder()
                            .pen(1, 0, 2, 0)
                            .select(1)
                            .ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX)
                            .ellipse(-1000000, -1000000, 1000000, 1000000)
                            .bytes(64, 64);
                    }},
        HostileCase{"ExtremeWindow",
                    [] {
                        return EmfBuilder()
                            .record(17, {8})
                            .record(9, {1, 1})
                            .record(11, {INT_MAX, INT_MIN})
                            .rectangle(-5, -5, 5, 5)
                            .bytes(64, 64);
                    }},
        HostileCase{
            "ManySavedStates",
            [] {
                EmfBuilder e;
                for (int i = 0; i < 5000; ++i) e.record(33, {});
                return e.record(34, {-4000}).record(34, {INT_MIN}).record(34, {3}).bytes(64, 64);
            }},
        HostileCase{
            "MoreObjectsThanTheTable",
            [] {
                WmfBuilder w;
                for (int i = 0; i < 2000; ++i) w.brush(kRed).select(i);
                return w.record(0x01F0, {65535}).rectangle(0, 0, 5, 5).bytes(1440, 0, 0, 10, 10, 0);
            }},
        HostileCase{"HugeFont",
                    [] {
                        Bytes font;
                        font.u32(1).i32(INT_MIN).i32(INT_MAX).i32(INT_MAX).i32(0).i32(INT_MAX);
                        while (font.size() < 4 + 92) font.u8(0);
                        Bytes text;
                        text.i32(0).i32(0).i32(0).i32(0).u32(1).u32(0).u32(0);
                        text.i32(0)
                            .i32(0)
                            .u32(1)
                            .u32(76)
                            .u32(6)
                            .i32(INT_MIN)
                            .i32(INT_MIN)
                            .i32(INT_MAX)
                            .i32(INT_MAX)
                            .u32(0);
                        text.u16('W').u16(0);
                        return EmfBuilder()
                            .rawRecord(82, font.str())
                            .select(1)
                            .rawRecord(84, text.str())
                            .bytes(64, 64);
                    }},
        HostileCase{
            "ClipRegionOfManyRectangles",
            [] {
                Bytes p;
                const int rects = 3000;
                p.u32(32 + rects * 16).u32(5).u32(32).u32(1).u32(rects).u32(rects * 16);
                p.i32(0).i32(0).i32(64).i32(64);
                for (int i = 0; i < rects; ++i)
                    p.i32(i % 64).i32(i / 64).i32(i % 64 + 1).i32(i / 64 + 1);
                return redEmf().rawRecord(75, p.str()).rectangle(0, 0, 64, 64).bytes(64, 64);
            }},
        HostileCase{
            "BitmapThatLies",
            [] {
                std::string dib = test::Dib24(2, 2, {0, 0, 0, 0});
                dib[4] = static_cast<char>(0xFF);  // width 255 over the pixels of 2
                dib[14] = 9;                       // and 9 bits a pixel
                return EmfBuilder().rawRecord(81, emfStretchDib(0, 0, 64, 64, dib)).bytes(64, 64);
            }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MetafileTest, LoadNamesAFileThatCannotBeRead) {
    test::TempFolder folder;
    const std::string broken = folder.write("broken.wmf", "not a metafile");
    for (const std::string& path : {folder.file("missing.emf"), broken}) {
        try {
            Metafile::load(path);
            ADD_FAILURE() << path;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace velluma
