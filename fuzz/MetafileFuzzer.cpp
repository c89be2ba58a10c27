// The metafile record reader on any bytes: what it accepts has a size that makes sense, and
// every record of it reads into values that stay within the record.
#include <cmath>
#include <string_view>
#include <type_traits>
#include <variant>

#include "FuzzSupport.h"
#include "formats/MetafileRecords.h"

namespace velluma {
namespace {

namespace mf = metafile;

// Fewer than a picture may hold: the reader's cost lies in each record, not in their number.
constexpr int kMaxRecords = 4096;

bool finitePoint(const mf::Point& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// Every point, character and rectangle a record gives takes some of its bytes.
void checkRecord(const mf::Record& record, std::size_t recordBytes) {
    std::visit(
        [&](const auto& r) {
            using R = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<R, mf::Poly>) {
                FUZZ_CHECK(r.points.size() * 4 <= recordBytes);
                for (const mf::Point& p : r.points) FUZZ_CHECK(finitePoint(p));
            } else if constexpr (std::is_same_v<R, mf::PolyPoly>) {
                std::size_t points = 0;
                for (const auto& shape : r.shapes) points += shape.size();
                FUZZ_CHECK(points * 4 <= recordBytes);
            } else if constexpr (std::is_same_v<R, mf::Text>) {
                FUZZ_CHECK(r.text.size() <= recordBytes);
                FUZZ_CHECK(r.dx.size() * 2 <= recordBytes);
            } else if constexpr (std::is_same_v<R, mf::ClipRegion>) {
                FUZZ_CHECK(r.rects.size() * 16 <= recordBytes);
            } else if constexpr (std::is_same_v<R, mf::Bitmap>) {
                FUZZ_CHECK(r.image.width > 0 && r.image.height > 0);
                FUZZ_CHECK(r.image.pixels.size() ==
                           std::size_t(r.image.width) * std::size_t(r.image.height) * 3);
            } else if constexpr (std::is_same_v<R, mf::SetWorld> ||
                                 std::is_same_v<R, mf::ModifyWorld>) {
                for (const double m : r.m) FUZZ_CHECK(std::isfinite(m));
            } else if constexpr (std::is_same_v<R, mf::SetExtent>) {
                FUZZ_CHECK(r.width != 0 && r.height != 0);
            } else if constexpr (std::is_same_v<R, mf::ScaleExtent>) {
                FUZZ_CHECK(r.xNum != 0 && r.xDenom != 0 && r.yNum != 0 && r.yDenom != 0);
            } else if constexpr (std::is_same_v<R, mf::GradientFill>) {
                // The record was measured when read: no shape of it reads past its end.
                mf::GradientShape shape;
                for (std::uint64_t i = 0; i < r.shapes && i < 256; ++i) {
                    try {
                        mf::gradientShape(r, i, shape);
                    } catch (const ByteRangeError&) {
                        fuzz::propertyFailed("a gradient shape reads past its record");
                    }
                }
            }
        },
        record);
}

}  // namespace
}  // namespace velluma

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string_view bytes = fuzz::bytesOf(data, size);
    mf::Layout layout;
    try {
        layout = mf::readLayout(bytes);
    } catch (const BrokenMetafile&) {
        return 0;
    } catch (const ByteRangeError&) {
        return 0;
    }
    FUZZ_CHECK(layout.firstRecord <= bytes.size());
    if (layout.frame) {
        FUZZ_CHECK(layout.frame->width != 0 && layout.frame->height != 0);
        FUZZ_CHECK(layout.natural.width >= 1 && layout.natural.width <= kMaxMetafileSide);
        FUZZ_CHECK(layout.natural.height >= 1 && layout.natural.height <= kMaxMetafileSide);
    } else {
        FUZZ_CHECK(!layout.enhanced);  // only a WMF may leave its size to its drawing
    }

    int records = 0;
    try {
        if (layout.enhanced) {
            mf::forEachEmfRecord(bytes, layout.firstRecord,
                                 [&](std::uint32_t type, const ByteReader& r) {
                                     checkRecord(mf::readEmfRecord(type, r), r.size());
                                     return ++records < kMaxRecords;
                                 });
        } else {
            mf::forEachWmfRecord(bytes, layout.firstRecord,
                                 [&](std::uint16_t function, const ByteReader& p) {
                                     checkRecord(mf::readWmfRecord(function, p), p.size() + 6);
                                     return ++records < kMaxRecords;
                                 });
        }
    } catch (const BrokenMetafile&) {
    } catch (const ByteRangeError&) {
    }
    return 0;
}
