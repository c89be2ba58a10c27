#include "formats/MetafileRecords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <string>

#include "ui/MetafileFixtures.h"

namespace velluma {
namespace {

namespace mf = metafile;
using test::Bytes;

std::string describe(const mf::Point& p) {
    std::ostringstream out;
    out << '(' << p.x << ',' << p.y << ')';
    return out.str();
}

// The fields the cases below look at, in a form a failure shows.
std::string describe(const mf::Record& record) {
    std::ostringstream out;
    if (std::holds_alternative<std::monostate>(record)) out << "nothing";
    if (const auto* r = std::get_if<mf::BoxShape>(&record))
        out << (r->kind == mf::BoxKind::Rectangle ? "rectangle " : "ellipse ")
            << describe(r->box.from) << describe(r->box.to);
    if (const auto* r = std::get_if<mf::ArcShape>(&record))
        out << "arc " << describe(r->box.from) << describe(r->box.to) << " from "
            << describe(r->start) << " to " << describe(r->end);
    if (const auto* r = std::get_if<mf::SetPixel>(&record))
        out << "pixel " << describe(r->at) << ' ' << std::hex << r->colorRef;
    if (const auto* r = std::get_if<mf::PatternBlt>(&record))
        out << "blt " << r->dest.x << ',' << r->dest.y << ' ' << r->dest.width << 'x'
            << r->dest.height << ' ' << std::hex << r->rop;
    if (const auto* r = std::get_if<mf::SetExtent>(&record))
        out << "extent " << r->width << 'x' << r->height;
    if (const auto* r = std::get_if<mf::Text>(&record))
        out << "text " << describe(r->at) << ' ' << std::string(r->text.begin(), r->text.end())
            << " advances " << r->dx.size();
    return out.str();
}

mf::Record wmf(std::uint16_t function, const Bytes& parameters) {
    return mf::readWmfRecord(function, ByteReader(parameters.str(), mf::kShortRecord));
}

// An EMF record: type, size, then the parameters.
std::string emfBytes(std::uint32_t type, const Bytes& parameters) {
    return Bytes().u32(type).u32(std::uint32_t(8 + parameters.size())).raw(parameters.str()).str();
}
mf::Record emf(std::uint32_t type, const Bytes& parameters) {
    const std::string bytes = emfBytes(type, parameters);
    return mf::readEmfRecord(type, ByteReader(bytes, mf::kShortRecord));
}

Bytes words(std::initializer_list<int> values) {
    Bytes b;
    for (const int v : values) b.i16(v);
    return b;
}
Bytes longs(std::initializer_list<std::int32_t> values) {
    Bytes b;
    for (const std::int32_t v : values) b.i32(v);
    return b;
}

struct RecordCase {
    const char* name;
    std::function<mf::Record()> read;
    const char* expected;
};

class RecordTest : public ::testing::TestWithParam<RecordCase> {};

// WMF records list their arguments last first, EMF records first first.
TEST_P(RecordTest, ReadsTheFieldsInTheFileOrder) {
    EXPECT_EQ(describe(GetParam().read()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordTest,
    ::testing::Values(
        RecordCase{"WmfRectangle",
                   [] {
                       return wmf(0x041B, words({40, 30, 20, 10}));
                   },
                   "rectangle (10,20)(30,40)"},
        RecordCase{"WmfPie",
                   [] {
                       return wmf(0x081A, words({1, 2, 3, 4, 40, 30, 20, 10}));
                   },
                   "arc (10,20)(30,40) from (4,3) to (2,1)"},
        RecordCase{"WmfSetPixel", [] { return wmf(0x041F, Bytes().u32(0xABCDEF).i16(7).i16(5)); },
                   "pixel (5,7) abcdef"},
        RecordCase{"WmfPatBlt",
                   [] { return wmf(0x061D, Bytes().u32(0xF00021).i16(4).i16(3).i16(2).i16(1)); },
                   "blt 1,2 3x4 f00021"},
        RecordCase{
            "WmfDibBitBltWithoutBitmap",
            [] {
                return wmf(0x0940, Bytes().u32(0x00FF0062).raw(words({0, 0, 0, 4, 3, 2, 1}).str()));
            },
            "blt 1,2 3x4 ff0062"},
        RecordCase{"WmfTextOut",
                   [] { return wmf(0x0521, Bytes().i16(3).raw("Hi!").u8(0).i16(20).i16(10)); },
                   "text (10,20) Hi! advances 0"},
        RecordCase{"WmfWindowExtentOfNoWidth",
                   [] {
                       return wmf(0x020C, words({5, 0}));
                   },
                   "nothing"},
        RecordCase{"EmfEllipse",
                   [] {
                       return emf(42, longs({10, 20, 30, 40}));
                   },
                   "ellipse (10,20)(30,40)"},
        RecordCase{"EmfArc",
                   [] {
                       return emf(45, longs({10, 20, 30, 40, 1, 2, 3, 4}));
                   },
                   "arc (10,20)(30,40) from (1,2) to (3,4)"},
        RecordCase{"EmfBitBltWithoutBitmap",
                   [] {
                       Bytes p = longs({0, 0, 0, 0, 1, 2, 3, 4});
                       p.u32(0x00FF0062);
                       while (p.size() < 84) p.u32(0);  // no source bitmap
                       return emf(76, p);
                   },
                   "blt 1,2 3x4 ff0062"},
        // Reading stops where the record's meaning is settled: these short records are
        // passed over, not refused.
        RecordCase{"EmfExtentOfNoWidthWithoutItsHeight", [] { return emf(9, longs({0})); },
                   "nothing"},
        RecordCase{"EmfWorldTransformNotFiniteThenCut",
                   [] {
                       const float nan = std::numeric_limits<float>::quiet_NaN();
                       std::uint32_t bits = 0;
                       std::memcpy(&bits, &nan, sizeof bits);
                       return emf(36, Bytes().u32(bits));
                   },
                   "nothing"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ShortCase {
    const char* name;
    std::function<mf::Record()> read;
    bool structural;  // BrokenMetafile rather than a field past the end
};

class ShortRecordTest : public ::testing::TestWithParam<ShortCase> {};

TEST_P(ShortRecordTest, IsRefused) {
    if (GetParam().structural)
        EXPECT_THROW(GetParam().read(), BrokenMetafile);
    else
        EXPECT_THROW(GetParam().read(), ByteRangeError);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ShortRecordTest,
    ::testing::Values(ShortCase{"WmfRectangleCut",
                                [] {
                                    return wmf(0x041B, words({40, 30, 20}));
                                },
                                false},
                      ShortCase{"WmfPolygonPointsCut",
                                [] {
                                    return wmf(0x0324, words({3, 0, 0, 5, 5}));
                                },
                                true},
                      ShortCase{"WmfTextOfNegativeLength",
                                [] {
                                    return wmf(0x0521, words({-1, 0, 0}));
                                },
                                true},
                      ShortCase{"EmfExtentCutAfterItsWidth", [] { return emf(9, longs({7})); },
                                false},
                      ShortCase{"EmfPolyPolygonOverItsCount",
                                [] {
                                    return emf(8, longs({0, 0, 0, 0, 1, 1, 2, 0, 0, 1, 1}));
                                },
                                true},
                      ShortCase{"EmfGradientCut",
                                [] {
                                    return emf(118, longs({0, 0, 0, 0, 5, 1, 0}));
                                },
                                true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MetafileGradientTest, ShapesReadWithinTheirRecord) {
    Bytes p = longs({0, 0, 0, 0, 2, 2, 0});
    p.i32(0).i32(0).u16(0xFF00).u16(0).u16(0).u16(0);
    p.i32(8).i32(6).u16(0).u16(0x8000).u16(0xFF00).u16(0);
    p.u32(0).u32(1).u32(1).u32(7);  // the second shape names a vertex that is not there
    const std::string bytes = emfBytes(118, p);
    const auto fill = std::get<mf::GradientFill>(mf::readEmfRecord(118, ByteReader(bytes)));
    mf::GradientShape shape;
    ASSERT_TRUE(mf::gradientShape(fill, 0, shape));
    EXPECT_EQ(describe(shape.b), "(8,6)");
    EXPECT_EQ(shape.from.red, 255);
    EXPECT_EQ(shape.to.green, 128);
    EXPECT_EQ(shape.to.blue, 255);
    EXPECT_FALSE(mf::gradientShape(fill, 1, shape));
}

}  // namespace
}  // namespace velluma
