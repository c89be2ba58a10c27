#include "formats/MetafileRecords.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "formats/BmpCodec.h"

namespace velluma::metafile {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::size_t kEmfHeaderBytes = 88;
constexpr double kScreenDpi = 96.0;
constexpr double kMmPerInch = 25.4;
// A bitmap inside a metafile larger than this is passed over: a preview has no use for it.
constexpr std::uint64_t kMaxBitmapPixels = std::uint64_t(16) << 20;
constexpr std::uint64_t kMaxClipRects = 100000;

constexpr int kPsUserStyle = 7;
constexpr std::uint32_t kEtoOpaque = 0x0002;
constexpr std::uint32_t kEtoClipped = 0x0004;
constexpr std::uint32_t kEtoNoRect = 0x0100;
constexpr std::uint32_t kEtoSmallChars = 0x0200;
constexpr std::uint32_t kEtoPdy = 0x2000;
constexpr std::uint32_t kSrcCopy = 0x00CC0020;

// Single-byte text in the Windows Western code page.
std::u16string fromAnsi(std::string_view text) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::u16string result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) continue;
        result.push_back(byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char16_t(byte));
    }
    return result;
}

std::u16string fromUtf16(const ByteReader& fields, std::size_t at, std::uint64_t count) {
    const ByteReader raw = fields.part(at, count * 2);
    std::u16string result;
    result.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const auto unit = static_cast<char16_t>(raw.u16(2 * i));
        if (unit != 0) result.push_back(unit);
    }
    return result;
}

// A pen of one of the records that give only style, width and colour.
PenDef plainPen(std::uint32_t style, double width, std::uint32_t colorRef) {
    PenDef pen;
    pen.style = style;
    pen.width = width;
    pen.colorRef = colorRef;
    return pen;
}

// --- Bitmaps -------------------------------------------------------------------------------

// The size of a packed DIB's header and colour table, where its pixels begin.
std::size_t dibInfoSize(std::string_view dib) {
    const ByteReader f(dib, kShortRecord);
    const std::uint32_t headerSize = f.u32(0);
    if (headerSize == 12) {
        const int bits = f.u16(10);
        return 12 + (bits <= 8 ? (std::size_t(1) << bits) * 3 : 0);
    }
    if (headerSize < 40 || headerSize > dib.size()) throw BrokenMetafile("a bitmap is damaged");
    const int bits = f.u16(14);
    const std::uint32_t compression = f.u32(16);
    const std::uint64_t used = f.u32(32);
    std::uint64_t size = headerSize;
    if (compression == 3 && headerSize == 40) size += 12;
    const std::uint64_t entries = used != 0 ? used : (bits <= 8 ? (std::uint64_t(1) << bits) : 0);
    size += entries * 4;
    return static_cast<std::size_t>(std::min<std::uint64_t>(size, dib.size()));
}

struct DibPicture {
    RgbImage image;
    bool bottomUp = true;
};

// A DIB (its header and colour table, and its pixels) as a picture, through our own bitmap
// reader; none when it is compressed, too large or damaged: the record is then passed over.
std::optional<DibPicture> decodeDib(std::string_view info, std::string_view bits) {
    std::string file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    const std::uint64_t total = 14 + std::uint64_t(info.size()) + bits.size();
    const std::uint64_t offset = 14 + std::uint64_t(info.size());
    if (total > 0xFFFFFFFFu) return std::nullopt;
    storeLe32(&file[2], static_cast<std::uint32_t>(total));
    storeLe32(&file[10], static_cast<std::uint32_t>(offset));
    file.append(info);
    file.append(bits);
    try {
        const auto source = BmpSource::fromBytes(file);
        if (std::uint64_t(source->width()) * std::uint64_t(source->height()) > kMaxBitmapPixels)
            return std::nullopt;
        return DibPicture{ReadAllRows(*source), !source->layout().topDown};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// A packed DIB: its info, then its pixels.
std::optional<DibPicture> decodePackedDib(std::string_view dib) {
    const std::size_t info = dibInfoSize(dib);
    return decodeDib(dib.substr(0, info), dib.substr(info));
}

// Source rectangles of some records count rows from a bottom-up DIB's last row.
Rect fromBottom(const DibPicture& picture, Rect source) {
    if (picture.bottomUp) source.y = picture.image.height - source.y - source.height;
    return source;
}

// --- WMF -----------------------------------------------------------------------------------

// Most records list their arguments last one first: Y before X, bottom before top.
Point wmfPoint(const ByteReader& p, std::size_t word) {
    const double y = p.i16(2 * word);
    return {double(p.i16(2 * word + 2)), y};
}
Box wmfBox(const ByteReader& p, std::size_t word) {  // bottom, right, top, left
    return {{double(p.i16(2 * word + 6)), double(p.i16(2 * word + 4))},
            {double(p.i16(2 * word + 2)), double(p.i16(2 * word))}};
}
Rect wmfRect(const ByteReader& p, std::size_t word) {  // height, width, y, x
    return {double(p.i16(2 * word + 6)), double(p.i16(2 * word + 4)), double(p.i16(2 * word + 2)),
            double(p.i16(2 * word))};
}

std::size_t wmfCount(const ByteReader& p, std::size_t at) {
    const int n = p.i16(at);
    if (n < 0) throw BrokenMetafile("a shape has a negative number of points");
    return static_cast<std::size_t>(n);
}

std::vector<Point> wmfPoints(const ByteReader& p, std::size_t at, std::size_t n) {
    if (!p.has(at, std::uint64_t(n) * 4)) throw BrokenMetafile("a shape's points are cut short");
    std::vector<Point> result;
    result.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        result.push_back({double(p.i16(at + i * 4)), double(p.i16(at + i * 4 + 2))});
    return result;
}

FontDef wmfFont(const ByteReader& p) {
    FontDef f;
    f.height = p.i16(0);
    f.escapement = p.i16(4);
    f.weight = p.i16(8);
    f.italic = p.u8(10) != 0;
    f.underline = p.u8(11) != 0;
    f.strikeOut = p.u8(12) != 0;
    f.pitchAndFamily = p.u8(17);
    const std::string_view face = p.bytes(18, std::min<std::size_t>(32, p.size() - 18));
    f.face = fromAnsi(face.substr(0, face.find('\0')));
    return f;
}

Text wmfExtTextOut(const ByteReader& p) {
    Text t;
    t.at = {double(p.i16(2)), double(p.i16(0))};
    const int length = p.i16(4);
    if (length < 0) throw BrokenMetafile("a text has a negative length");
    t.options = p.u16(6);
    std::size_t offset = 8;
    if (t.options & (kEtoOpaque | kEtoClipped)) {
        t.box = Box{{double(p.i16(8)), double(p.i16(10))}, {double(p.i16(12)), double(p.i16(14))}};
        offset += 8;
    }
    t.text = fromAnsi(p.bytes(offset, std::size_t(length)));
    offset += (std::size_t(length) + 1) & ~std::size_t(1);
    if (p.has(offset, std::uint64_t(length) * 2))
        for (int i = 0; i < length; ++i) t.dx.push_back(p.i16(offset + std::size_t(i) * 2));
    return t;
}

// The records without a bitmap are one word longer than their function says.
bool wmfHasBitmap(const ByteReader& p, std::uint16_t function) {
    return (p.size() + 6) / 2 != (std::size_t{function} >> 8) + 3;
}

Record wmfBitmap(std::string_view dib, const Rect& dest, const Rect& source, std::uint32_t rop,
                 bool sourceFromBottom) {
    auto picture = decodePackedDib(dib);
    if (!picture) return {};
    const Rect from = sourceFromBottom ? fromBottom(*picture, source) : source;
    return Bitmap{std::move(picture->image), dest, from, rop};
}

// rop, source y, x, [reserved], height, width, dest y, x, DIB
Record wmfDibBitBlt(const ByteReader& p, std::uint16_t function) {
    const std::uint32_t rop = p.u32(0);
    if (!wmfHasBitmap(p, function)) return PatternBlt{wmfRect(p, 5), rop};
    const Rect dest = wmfRect(p, 4);
    const Rect source{double(p.i16(6)), double(p.i16(4)), double(p.i16(10)), double(p.i16(8))};
    return wmfBitmap(p.bytes(16, p.size() - 16), dest, source, rop, false);
}

// rop, source h, w, y, x, [reserved], dest h, w, y, x, DIB
Record wmfDibStretchBlt(const ByteReader& p, std::uint16_t function) {
    const std::uint32_t rop = p.u32(0);
    if (!wmfHasBitmap(p, function)) return PatternBlt{wmfRect(p, 7), rop};
    const Rect dest = wmfRect(p, 6);
    const Rect source = wmfRect(p, 2);
    return wmfBitmap(p.bytes(20, p.size() - 20), dest, source, rop, false);
}

Record wmfPolyPolygon(const ByteReader& p) {
    const std::size_t polygons = p.u16(0);
    std::size_t at = 2 + polygons * 2;
    PolyPoly all{true, {}};
    for (std::size_t i = 0; i < polygons; ++i) {
        const std::size_t n = p.u16(2 + i * 2);
        all.shapes.push_back(wmfPoints(p, at, n));
        at += n * 4;
    }
    return all;
}

Record wmfScaleWindowExt(const ByteReader& p) {  // yDenom, yNum, xDenom, xNum
    const int yDenom = p.i16(0), yNum = p.i16(2), xDenom = p.i16(4), xNum = p.i16(6);
    if (yDenom == 0 || xDenom == 0 || yNum == 0 || xNum == 0) return {};
    return ScaleExtent{Space::Window, double(xNum), double(xDenom), double(yNum), double(yDenom)};
}

Record wmfText(const ByteReader& p) {  // length, string, y, x
    const int length = p.i16(0);
    if (length < 0) throw BrokenMetafile("a text has a negative length");
    const std::size_t after = 2 + ((std::size_t(length) + 1) & ~std::size_t(1));
    Text t;
    t.at = {double(p.i16(after + 2)), double(p.i16(after))};
    t.text = fromAnsi(p.bytes(2, std::size_t(length)));
    t.options = 0;
    return t;
}

Record wmfPatternBrush(const ByteReader& p) {  // style, colour usage, DIB
    PatternBrushDef brush;
    if (auto picture = decodePackedDib(p.bytes(4, p.size() - 4)))
        brush.pattern = std::move(picture->image);
    return CreateObject{std::nullopt, std::move(brush)};
}

// --- EMF -----------------------------------------------------------------------------------

Point emfPoint(const ByteReader& r, std::size_t at) {
    return {double(r.i32(at)), double(r.i32(at + 4))};
}
Box emfBox(const ByteReader& r, std::size_t at) {  // left, top, right, bottom
    return {emfPoint(r, at), emfPoint(r, at + 8)};
}
Rect emfRect(const ByteReader& r, std::size_t xAt, std::size_t widthAt) {
    return {double(r.i32(xAt)), double(r.i32(xAt + 4)), double(r.i32(widthAt)),
            double(r.i32(widthAt + 4))};
}

std::vector<Point> emfPointsAt(const ByteReader& r, std::size_t at, std::uint64_t n, bool small) {
    const std::size_t size = small ? 4 : 8;
    if (!r.has(at, n * size)) throw BrokenMetafile("a shape's points are cut short");
    std::vector<Point> result;
    result.reserve(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t p = at + i * size;
        result.push_back(small ? Point{double(r.i16(p)), double(r.i16(p + 2))} : emfPoint(r, p));
    }
    return result;
}

// Bounds, count, then the points (32 or 16 bits each coordinate).
Record emfPoly(const ByteReader& r, PolyKind kind, bool small) {
    const std::uint64_t n = r.u32(24);
    return Poly{kind, emfPointsAt(r, 28, n, small)};
}

// Bounds, polygon count, point count, the polygons' point counts, the points.
Record emfPolyPoly(const ByteReader& r, bool closed, bool small) {
    const std::uint64_t polygons = r.u32(24);
    const std::uint64_t total = r.u32(28);
    if (!r.has(32, polygons * 4)) throw BrokenMetafile("a shape's point counts are cut short");
    std::size_t at = static_cast<std::size_t>(32 + polygons * 4);
    std::uint64_t used = 0;
    PolyPoly all{closed, {}};
    for (std::size_t i = 0; i < polygons; ++i) {
        const std::uint64_t n = r.u32(32 + i * 4);
        used += n;
        if (used > total) throw BrokenMetafile("a shape has more points than it says");
        all.shapes.push_back(emfPointsAt(r, at, n, small));
        at += static_cast<std::size_t>(n * (small ? 4 : 8));
    }
    return all;
}

// An extent is read no further than its first 0.
Record emfExtent(const ByteReader& r, Space which) {
    if (r.i32(8) == 0 || r.i32(12) == 0) return {};
    return SetExtent{which, double(r.i32(8)), double(r.i32(12))};
}

Record emfScale(const ByteReader& r, Space which) {
    const double xNum = r.i32(8), xDenom = r.i32(12), yNum = r.i32(16), yDenom = r.i32(20);
    if (xNum == 0 || xDenom == 0 || yNum == 0 || yDenom == 0) return {};
    return ScaleExtent{which, xNum, xDenom, yNum, yDenom};
}

// Read up to the first number that is not finite.
bool emfTransform(const ByteReader& r, std::size_t at, double (&m)[6]) {
    for (int i = 0; i < 6; ++i) {
        m[i] = r.f32(at + std::size_t(i) * 4);
        if (!std::isfinite(m[i])) return false;
    }
    return true;
}

FontDef emfFont(const ByteReader& r) {
    FontDef f;
    f.height = r.i32(12);
    f.escapement = r.i32(20);
    f.weight = r.i32(28);
    f.italic = r.u8(32) != 0;
    f.underline = r.u8(33) != 0;
    f.strikeOut = r.u8(34) != 0;
    f.pitchAndFamily = r.u8(39);
    f.face = fromUtf16(r, 40, 32);
    return f;
}

// handle, bitmap offsets and sizes, then style, width, brush style, colour, hatch, style
// entries
Record emfExtCreatePen(const ByteReader& r) {
    PenDef pen;
    pen.style = r.u32(28);
    pen.width = r.u32(32);
    pen.colorRef = r.u32(40);
    pen.hollow = r.u32(36) == 1;  // a hollow brush draws nothing
    const std::uint64_t entries = r.u32(48);
    if ((pen.style & 0x0F) == kPsUserStyle && r.has(52, entries * 4))
        for (std::size_t i = 0; i < entries && i < 16; ++i) pen.dashes.push_back(r.u32(52 + i * 4));
    return CreateObject{r.u32(8), std::move(pen)};
}

std::optional<DibPicture> emfDib(const ByteReader& r, std::size_t offBmi, std::size_t cbBmi,
                                 std::size_t offBits, std::size_t cbBits, std::uint32_t usage) {
    if (usage != 0) return std::nullopt;  // palette indexes instead of colours
    const std::uint32_t infoSize = r.u32(cbBmi);
    if (infoSize == 0) return std::nullopt;
    return decodeDib(r.bytes(r.u32(offBmi), infoSize), r.bytes(r.u32(offBits), r.u32(cbBits)));
}

Record emfPatternBrush(const ByteReader& r) {
    PatternBrushDef brush;
    if (auto picture = emfDib(r, 16, 20, 24, 28, r.u32(12)))
        brush.pattern = std::move(picture->image);
    return CreateObject{r.u32(8), std::move(brush)};
}

Record emfBitBlt(const ByteReader& r, bool stretch) {
    const Rect dest = emfRect(r, 24, 32);
    const std::uint32_t rop = r.u32(40);
    if (r.u32(88) == 0) return PatternBlt{dest, rop};  // no source bitmap
    Rect source{double(r.i32(44)), double(r.i32(48)), dest.width, dest.height};
    if (stretch) {
        source.width = r.i32(100);
        source.height = r.i32(104);
    }
    auto picture = emfDib(r, 84, 88, 92, 96, r.u32(80));
    if (!picture) return {};
    return Bitmap{std::move(picture->image), dest, source, rop};
}

Record emfDibToDevice(const ByteReader& r, bool stretch) {
    const Rect source = emfRect(r, 32, 40);
    const Rect dest = emfRect(r, 24, stretch ? 72 : 40);
    auto picture = emfDib(r, 48, 52, 56, 60, r.u32(64));
    if (!picture) return {};
    const std::uint32_t rop = stretch ? r.u32(68) : kSrcCopy;
    const Rect from = fromBottom(*picture, source);
    return Bitmap{std::move(picture->image), dest, from, rop};
}

// bounds, graphics mode, scales, then the text: reference, count, string offset, options,
// rectangle, advances offset
Record emfExtTextOut(const ByteReader& r, bool wide) {
    Text t;
    t.at = emfPoint(r, 36);
    const std::uint64_t count = r.u32(44);
    const std::uint32_t offString = r.u32(48);
    t.options = r.u32(52);
    const Box box = emfBox(r, 56);
    const std::uint32_t offDx = r.u32(72);
    t.text = wide ? fromUtf16(r, offString, count) : fromAnsi(r.bytes(offString, count));
    const std::uint64_t step = (t.options & kEtoPdy) ? 8 : 4;
    if (offDx != 0 && count > 0 && r.has(offDx, count * step))
        for (std::size_t i = 0; i < count; ++i) t.dx.push_back(r.i32(offDx + i * step));
    if (box.to.x - box.from.x != 0 || box.to.y - box.from.y != 0) t.box = box;
    return t;
}

Record emfSmallTextOut(const ByteReader& r) {
    Text t;
    t.at = emfPoint(r, 8);
    const std::uint64_t count = r.u32(16);
    t.options = r.u32(20);
    std::size_t offset = 36;
    if (!(t.options & kEtoNoRect)) {
        t.box = emfBox(r, 36);
        offset += 16;
    }
    t.text = (t.options & kEtoSmallChars) ? fromAnsi(r.bytes(offset, count))
                                          : fromUtf16(r, offset, count);
    return t;
}

Record emfClipRegion(const ByteReader& r) {
    const std::uint32_t size = r.u32(8);
    const std::uint32_t mode = r.u32(12);
    if (size == 0) {
        if (mode == 5) return ResetClip{};  // RGN_COPY of no region: clipping ends
        return {};
    }
    const std::uint64_t rects = r.u32(16 + 8);
    if (!r.has(16 + 32, rects * 16)) throw BrokenMetafile("a clipping region is cut short");
    if (rects > kMaxClipRects) return {};
    ClipRegion region{mode, {}};
    region.rects.reserve(static_cast<std::size_t>(rects));
    for (std::size_t i = 0; i < rects; ++i) region.rects.push_back(emfBox(r, 48 + i * 16));
    return region;
}

Record emfGradientFill(const ByteReader& r) {
    const std::uint64_t vertices = r.u32(24);
    const std::uint64_t shapes = r.u32(28);
    const std::uint32_t mode = r.u32(32);
    const std::uint64_t shapeSize = mode == 2 ? 12 : 8;
    if (!r.has(36, vertices * 16) || !r.has(36 + vertices * 16, shapes * shapeSize))
        throw BrokenMetafile("a gradient is cut short");
    return GradientFill{r, vertices, shapes, mode};
}

}  // namespace

Size heldSize(double width, double height) {
    width = std::fabs(width);
    height = std::fabs(height);
    if (!std::isfinite(width) || !std::isfinite(height))
        throw BrokenMetafile("the picture has no size");
    const double longer = std::max(width, height);
    if (longer > kMaxMetafileSide) {
        width = width * kMaxMetafileSide / longer;
        height = height * kMaxMetafileSide / longer;
    }
    return {std::max(1, int(std::lround(width))), std::max(1, int(std::lround(height)))};
}

namespace {

Layout wmfLayout(std::string_view bytes) {
    const ByteReader data(bytes, kShortRecord);
    Layout layout;
    std::size_t at = 0;
    std::optional<Box> bounds;
    double inch = 1440;
    if (data.size() >= 22 && data.u32(0) == kPlaceableKey) {
        bounds = Box{{double(data.i16(6)), double(data.i16(8))},
                     {double(data.i16(10)), double(data.i16(12))}};
        if (data.u16(14) != 0) inch = data.u16(14);
        at = 22;
    }
    if (data.size() < at + 18) throw BrokenMetafile("it is no metafile");
    const std::uint16_t type = data.u16(at);
    if ((type != 1 && type != 2) || data.u16(at + 2) != 9)
        throw BrokenMetafile("it is no metafile");
    layout.objectCount = data.u16(at + 10);
    layout.firstRecord = at + 18;

    std::optional<Point> windowOrg;
    std::optional<Point> windowExt;
    forEachWmfRecord(bytes, layout.firstRecord, [&](std::uint16_t function, const ByteReader& p) {
        if (function == 0x020B && !windowOrg && p.has(0, 4)) windowOrg = wmfPoint(p, 0);
        if (function == 0x020C && !windowExt && p.has(0, 4) && p.i16(0) != 0 && p.i16(2) != 0)
            windowExt = wmfPoint(p, 0);
        return true;
    });

    if (bounds) {
        const double width = bounds->to.x - bounds->from.x;
        const double height = bounds->to.y - bounds->from.y;
        if (width == 0 || height == 0) throw BrokenMetafile("the picture has no size");
        layout.frame = Rect{bounds->from.x, bounds->from.y, width, height};
        layout.natural = heldSize(width * kScreenDpi / inch, height * kScreenDpi / inch);
    } else if (windowExt) {
        const Point origin = windowOrg.value_or(Point{});
        layout.frame = Rect{origin.x, origin.y, windowExt->x, windowExt->y};
        layout.natural = heldSize(windowExt->x, windowExt->y);
    }
    return layout;
}

Layout emfLayout(std::string_view bytes) {
    const ByteReader data(bytes, kShortRecord);
    Layout layout;
    layout.enhanced = true;
    const std::uint32_t headerSize = data.u32(4);
    if (headerSize < kEmfHeaderBytes || headerSize > data.size() || headerSize % 4 != 0)
        throw BrokenMetafile("its header is damaged");
    const Box bounds{{double(data.i32(8)), double(data.i32(12))},
                     {double(data.i32(16)) + 1, double(data.i32(20)) + 1}};
    const double frameLeft = data.i32(24), frameTop = data.i32(28);
    const double frameRight = data.i32(32), frameBottom = data.i32(36);
    layout.objectCount = data.u16(56);
    const double deviceX = data.i32(72), deviceY = data.i32(76);
    const double mmX = data.i32(80), mmY = data.i32(84);
    const double xPerMm = deviceX > 0 && mmX > 0 ? deviceX / mmX : kScreenDpi / kMmPerInch;
    const double yPerMm = deviceY > 0 && mmY > 0 ? deviceY / mmY : kScreenDpi / kMmPerInch;
    layout.pixelsPerMmX = xPerMm;
    layout.pixelsPerMmY = yPerMm;
    layout.firstRecord = headerSize;
    forEachEmfRecord(bytes, layout.firstRecord,
                     [](std::uint32_t, const ByteReader&) { return true; });

    // The frame (hundredths of a millimetre) is the picture; the bounds stand in for a
    // frame that is missing.
    const double boundsWidth = bounds.to.x - bounds.from.x;
    const double boundsHeight = bounds.to.y - bounds.from.y;
    if (frameRight > frameLeft && frameBottom > frameTop) {
        const double left = frameLeft * xPerMm / 100, top = frameTop * yPerMm / 100;
        layout.frame =
            Rect{left, top, frameRight * xPerMm / 100 - left, frameBottom * yPerMm / 100 - top};
        layout.natural = heldSize((frameRight - frameLeft) / 2540 * kScreenDpi,
                                  (frameBottom - frameTop) / 2540 * kScreenDpi);
    } else if (boundsWidth > 0 && boundsHeight > 0) {
        layout.frame = Rect{bounds.from.x, bounds.from.y, boundsWidth, boundsHeight};
        layout.natural = heldSize(boundsWidth / (xPerMm * kMmPerInch) * kScreenDpi,
                                  boundsHeight / (yPerMm * kMmPerInch) * kScreenDpi);
    } else {
        throw BrokenMetafile("the picture has no size");
    }
    return layout;
}

}  // namespace

Layout readLayout(std::string_view bytes) {
    const ByteReader data(bytes, kShortRecord);
    if (data.size() >= kEmfHeaderBytes && data.u32(0) == 1 && data.u32(40) == kEmfSignature)
        return emfLayout(bytes);
    return wmfLayout(bytes);
}

Record readWmfRecord(std::uint16_t function, const ByteReader& p) {
    switch (function) {
        case 0x0201:  // META_SETBKCOLOR
            return SetColour{ColourOf::Background, p.u32(0)};
        case 0x0209:  // META_SETTEXTCOLOR
            return SetColour{ColourOf::Text, p.u32(0)};
        case 0x0102:  // META_SETBKMODE
            return SetMode{ModeOf::BackgroundMode, p.u16(0)};
        case 0x0106:  // META_SETPOLYFILLMODE
            return SetMode{ModeOf::FillMode, p.u16(0)};
        case 0x012E:  // META_SETTEXTALIGN
            return SetMode{ModeOf::TextAlign, p.u16(0)};
        case 0x020B:  // META_SETWINDOWORG
            return SetOrigin{Space::Window, wmfPoint(p, 0)};
        case 0x020C: {  // META_SETWINDOWEXT
            const Point ext = wmfPoint(p, 0);
            if (ext.x == 0 || ext.y == 0) return {};
            return SetExtent{Space::Window, ext.x, ext.y};
        }
        case 0x020F:  // META_OFFSETWINDOWORG
            return OffsetWindowOrigin{wmfPoint(p, 0)};
        case 0x0410:  // META_SCALEWINDOWEXT
            return wmfScaleWindowExt(p);
        case 0x0214:  // META_MOVETO
            return MoveTo{wmfPoint(p, 0)};
        case 0x0213:  // META_LINETO
            return LineTo{wmfPoint(p, 0)};
        case 0x041B:  // META_RECTANGLE
            return BoxShape{BoxKind::Rectangle, wmfBox(p, 0)};
        case 0x0418:  // META_ELLIPSE
            return BoxShape{BoxKind::Ellipse, wmfBox(p, 0)};
        case 0x061C:  // META_ROUNDRECT: height, width, then the box
            return RoundRect{wmfBox(p, 2), double(p.i16(2)), double(p.i16(0))};
        case 0x0817:  // META_ARC: end, start, box
            return ArcShape{ArcKind::Arc, wmfBox(p, 4), wmfPoint(p, 2), wmfPoint(p, 0)};
        case 0x0830:  // META_CHORD
            return ArcShape{ArcKind::Chord, wmfBox(p, 4), wmfPoint(p, 2), wmfPoint(p, 0)};
        case 0x081A:  // META_PIE
            return ArcShape{ArcKind::Pie, wmfBox(p, 4), wmfPoint(p, 2), wmfPoint(p, 0)};
        case 0x041F:  // META_SETPIXEL: colour, y, x
            return SetPixel{wmfPoint(p, 2), p.u32(0)};
        case 0x0324:  // META_POLYGON
            return Poly{PolyKind::Polygon, wmfPoints(p, 2, wmfCount(p, 0))};
        case 0x0325:  // META_POLYLINE
            return Poly{PolyKind::Polyline, wmfPoints(p, 2, wmfCount(p, 0))};
        case 0x0538:  // META_POLYPOLYGON
            return wmfPolyPolygon(p);
        case 0x061D:  // META_PATBLT: rop, height, width, y, x
            return PatternBlt{wmfRect(p, 2), p.u32(0)};
        case 0x0416:  // META_INTERSECTCLIPRECT
            return ClipRect{ClipBy::Intersect, wmfBox(p, 0)};
        case 0x0415:  // META_EXCLUDECLIPRECT
            return ClipRect{ClipBy::Exclude, wmfBox(p, 0)};
        case 0x001E:  // META_SAVEDC
            return SaveDc{};
        case 0x0127:  // META_RESTOREDC
            return RestoreDc{p.i16(0)};
        case 0x012D:  // META_SELECTOBJECT
            return SelectObject{p.u16(0)};
        case 0x01F0:  // META_DELETEOBJECT
            return DeleteObject{p.u16(0)};
        case 0x02FA:  // META_CREATEPENINDIRECT: style, width (x, y), colour
            return CreateObject{std::nullopt, plainPen(p.u16(0), p.i16(2), p.u32(6))};
        case 0x02FC:  // META_CREATEBRUSHINDIRECT: style, colour, hatch
            return CreateObject{std::nullopt, BrushDef{p.u16(0), p.u32(2), p.u16(6)}};
        case 0x02FB:  // META_CREATEFONTINDIRECT
            return CreateObject{std::nullopt, wmfFont(p)};
        case 0x0142:  // META_DIBCREATEPATTERNBRUSH
            return wmfPatternBrush(p);
        case 0x00F7:  // META_CREATEPALETTE
        case 0x01F9:  // META_CREATEPATTERNBRUSH
        case 0x06FF:  // META_CREATEREGION
            return CreateObject{std::nullopt, Placeholder{}};
        case 0x0521:  // META_TEXTOUT
            return wmfText(p);
        case 0x0A32:  // META_EXTTEXTOUT
            return wmfExtTextOut(p);
        case 0x0940:  // META_DIBBITBLT
            return wmfDibBitBlt(p, function);
        case 0x0B41:  // META_DIBSTRETCHBLT
            return wmfDibStretchBlt(p, function);
        case 0x0F43: {  // META_STRETCHDIB: rop, usage, source h, w, y, x, dest h, w, y, x
            if (p.u16(4) != 0) return {};  // palette indexes instead of colours
            const Rect dest = wmfRect(p, 7);
            const Rect source = wmfRect(p, 3);
            return wmfBitmap(p.bytes(22, p.size() - 22), dest, source, p.u32(0), true);
        }
        case 0x0D33: {  // META_SETDIBTODEV: usage, scans, start, dib y, x, h, w, dest y, x
            if (p.u16(0) != 0) return {};
            const Rect dest = wmfRect(p, 5);
            const Rect source{double(p.i16(8)), double(p.i16(6)), dest.width, dest.height};
            return wmfBitmap(p.bytes(18, p.size() - 18), dest, source, kSrcCopy, true);
        }
        default:
            return {};  // not drawn: mapping records the player owns, palettes, escapes...
    }
}

Record readEmfRecord(std::uint32_t type, const ByteReader& r) {
    switch (type) {
        case 2:  // EMR_POLYBEZIER
            return emfPoly(r, PolyKind::Bezier, false);
        case 3:  // EMR_POLYGON
            return emfPoly(r, PolyKind::Polygon, false);
        case 4:  // EMR_POLYLINE
            return emfPoly(r, PolyKind::Polyline, false);
        case 5:  // EMR_POLYBEZIERTO
            return emfPoly(r, PolyKind::BezierTo, false);
        case 6:  // EMR_POLYLINETO
            return emfPoly(r, PolyKind::PolylineTo, false);
        case 85:  // EMR_POLYBEZIER16
            return emfPoly(r, PolyKind::Bezier, true);
        case 86:  // EMR_POLYGON16
            return emfPoly(r, PolyKind::Polygon, true);
        case 87:  // EMR_POLYLINE16
            return emfPoly(r, PolyKind::Polyline, true);
        case 88:  // EMR_POLYBEZIERTO16
            return emfPoly(r, PolyKind::BezierTo, true);
        case 89:  // EMR_POLYLINETO16
            return emfPoly(r, PolyKind::PolylineTo, true);
        case 7:  // EMR_POLYPOLYLINE
            return emfPolyPoly(r, false, false);
        case 8:  // EMR_POLYPOLYGON
            return emfPolyPoly(r, true, false);
        case 90:  // EMR_POLYPOLYLINE16
            return emfPolyPoly(r, false, true);
        case 91:  // EMR_POLYPOLYGON16
            return emfPolyPoly(r, true, true);
        case 9:  // EMR_SETWINDOWEXTEX
            return emfExtent(r, Space::Window);
        case 10:  // EMR_SETWINDOWORGEX
            return SetOrigin{Space::Window, emfPoint(r, 8)};
        case 11:  // EMR_SETVIEWPORTEXTEX
            return emfExtent(r, Space::Viewport);
        case 12:  // EMR_SETVIEWPORTORGEX
            return SetOrigin{Space::Viewport, emfPoint(r, 8)};
        case 31:  // EMR_SCALEVIEWPORTEXTEX
            return emfScale(r, Space::Viewport);
        case 32:  // EMR_SCALEWINDOWEXTEX
            return emfScale(r, Space::Window);
        case 15:  // EMR_SETPIXELV
            return SetPixel{emfPoint(r, 8), r.u32(16)};
        case 17:  // EMR_SETMAPMODE
            return SetMode{ModeOf::MapMode, r.u32(8)};
        case 18:  // EMR_SETBKMODE
            return SetMode{ModeOf::BackgroundMode, r.u32(8)};
        case 19:  // EMR_SETPOLYFILLMODE
            return SetMode{ModeOf::FillMode, r.u32(8)};
        case 22:  // EMR_SETTEXTALIGN
            return SetMode{ModeOf::TextAlign, r.u32(8)};
        case 24:  // EMR_SETTEXTCOLOR
            return SetColour{ColourOf::Text, r.u32(8)};
        case 25:  // EMR_SETBKCOLOR
            return SetColour{ColourOf::Background, r.u32(8)};
        case 27:  // EMR_MOVETOEX
            return MoveTo{emfPoint(r, 8)};
        case 54:  // EMR_LINETO
            return LineTo{emfPoint(r, 8)};
        case 29:  // EMR_EXCLUDECLIPRECT
            return ClipRect{ClipBy::Exclude, emfBox(r, 8)};
        case 30:  // EMR_INTERSECTCLIPRECT
            return ClipRect{ClipBy::Intersect, emfBox(r, 8)};
        case 33:  // EMR_SAVEDC
            return SaveDc{};
        case 34:  // EMR_RESTOREDC
            return RestoreDc{r.i32(8)};
        case 35: {  // EMR_SETWORLDTRANSFORM
            SetWorld world{};
            if (!emfTransform(r, 8, world.m)) return {};
            return world;
        }
        case 36: {  // EMR_MODIFYWORLDTRANSFORM
            ModifyWorld modify{};
            if (!emfTransform(r, 8, modify.m)) return {};
            modify.mode = r.u32(32);
            return modify;
        }
        case 37:  // EMR_SELECTOBJECT
            return SelectObject{r.u32(8)};
        case 40:  // EMR_DELETEOBJECT
            return DeleteObject{r.u32(8)};
        case 38:  // EMR_CREATEPEN: handle, style, width (x, y), colour
            return CreateObject{r.u32(8), plainPen(r.u32(12), r.i32(16), r.u32(24))};
        case 39:  // EMR_CREATEBRUSHINDIRECT: handle, style, colour, hatch
            return CreateObject{r.u32(8), BrushDef{r.u32(12), r.u32(16), r.u32(20)}};
        case 95:  // EMR_EXTCREATEPEN
            return emfExtCreatePen(r);
        case 82:  // EMR_EXTCREATEFONTINDIRECTW
            return CreateObject{r.u32(8), emfFont(r)};
        case 93:  // EMR_CREATEMONOBRUSH
        case 94:  // EMR_CREATEDIBPATTERNBRUSHPT
            return emfPatternBrush(r);
        case 41:  // EMR_ANGLEARC
            return AngleArc{emfPoint(r, 8), double(r.u32(16)), r.f32(20), r.f32(24)};
        case 42:  // EMR_ELLIPSE
            return BoxShape{BoxKind::Ellipse, emfBox(r, 8)};
        case 43:  // EMR_RECTANGLE
            return BoxShape{BoxKind::Rectangle, emfBox(r, 8)};
        case 44:  // EMR_ROUNDRECT
            return RoundRect{emfBox(r, 8), double(r.i32(24)), double(r.i32(28))};
        case 45:  // EMR_ARC
            return ArcShape{ArcKind::Arc, emfBox(r, 8), emfPoint(r, 24), emfPoint(r, 32)};
        case 46:  // EMR_CHORD
            return ArcShape{ArcKind::Chord, emfBox(r, 8), emfPoint(r, 24), emfPoint(r, 32)};
        case 47:  // EMR_PIE
            return ArcShape{ArcKind::Pie, emfBox(r, 8), emfPoint(r, 24), emfPoint(r, 32)};
        case 55:  // EMR_ARCTO
            return ArcShape{ArcKind::ArcTo, emfBox(r, 8), emfPoint(r, 24), emfPoint(r, 32)};
        case 57:  // EMR_SETARCDIRECTION
            return SetMode{ModeOf::ArcDirection, r.u32(8)};
        case 59:  // EMR_BEGINPATH
            return PathStep{PathOp::Begin};
        case 60:  // EMR_ENDPATH
            return PathStep{PathOp::End};
        case 61:  // EMR_CLOSEFIGURE
            return PathStep{PathOp::CloseFigure};
        case 62:  // EMR_FILLPATH
            return PathStep{PathOp::Fill};
        case 63:  // EMR_STROKEANDFILLPATH
            return PathStep{PathOp::StrokeAndFill};
        case 64:  // EMR_STROKEPATH
            return PathStep{PathOp::Stroke};
        case 66:  // EMR_WIDENPATH
            return PathStep{PathOp::Widen};
        case 67:  // EMR_SELECTCLIPPATH
            return SelectClipPath{r.u32(8)};
        case 68:  // EMR_ABORTPATH
            return PathStep{PathOp::Abort};
        case 75:  // EMR_EXTSELECTCLIPRGN
            return emfClipRegion(r);
        case 76:  // EMR_BITBLT
        case 77:  // EMR_STRETCHBLT
            return emfBitBlt(r, type == 77);
        case 80:  // EMR_SETDIBITSTODEVICE
            return emfDibToDevice(r, false);
        case 81:  // EMR_STRETCHDIBITS
            return emfDibToDevice(r, true);
        case 83:  // EMR_EXTTEXTOUTA
        case 84:  // EMR_EXTTEXTOUTW
            return emfExtTextOut(r, type == 84);
        case 108:  // EMR_SMALLTEXTOUT
            return emfSmallTextOut(r);
        case 118:  // EMR_GRADIENTFILL
            return emfGradientFill(r);
        default:
            return {};  // comments (EMF+ among them), palettes, colour management, ...
    }
}

bool gradientShape(const GradientFill& fill, std::uint64_t index, GradientShape& shape) {
    const ByteReader& r = fill.record;
    auto vertex = [&](std::uint32_t i, Point& at, Rgb& colour) {
        if (i >= fill.vertices) return false;
        const std::size_t v = 36 + std::size_t(i) * 16;
        at = emfPoint(r, v);
        colour = {r.u16(v + 8) >> 8, r.u16(v + 10) >> 8, r.u16(v + 12) >> 8};
        return true;
    };
    const std::uint64_t shapeSize = fill.mode == 2 ? 12 : 8;
    const std::size_t s = static_cast<std::size_t>(36 + fill.vertices * 16 + index * shapeSize);
    shape = GradientShape{};
    if (fill.mode == 2) {
        Rgb ca, cb, cc;
        if (!vertex(r.u32(s), shape.a, ca) || !vertex(r.u32(s + 4), shape.b, cb) ||
            !vertex(r.u32(s + 8), shape.c, cc))
            return false;
        shape.triangle = true;
        shape.colour = {(ca.red + cb.red + cc.red) / 3, (ca.green + cb.green + cc.green) / 3,
                        (ca.blue + cb.blue + cc.blue) / 3};
        return true;
    }
    if (fill.mode > 1) return false;
    if (!vertex(r.u32(s), shape.a, shape.from) || !vertex(r.u32(s + 4), shape.b, shape.to))
        return false;
    shape.vertical = fill.mode == 1;
    return true;
}

}  // namespace velluma::metafile
