#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "formats/ByteReader.h"
#include "formats/PictureSource.h"

namespace velluma {

/// Metafiles larger than this are refused rather than read.
inline constexpr std::size_t kMaxMetafileBytes = std::size_t(32) << 20;
/// A metafile's own size is held to this many pixels on its longer side.
inline constexpr int kMaxMetafileSide = 4096;

/// A metafile whose structure contradicts itself; the text says how. A field read past the
/// end of its record throws ByteRangeError instead.
class BrokenMetafile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The records of Windows metafiles (WMF, with or without the placeable header, and EMF),
/// read into plain values: what each drawing record says, in the file's own units, for a
/// painter to carry out.
namespace metafile {

struct Point {
    double x = 0;
    double y = 0;
};
/// Two corners as the record gives them, in any order.
struct Box {
    Point from;
    Point to;
};
/// A corner and a size (either may be negative).
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};
struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
};
struct Size {
    int width = 0;
    int height = 0;
};

/// Where the records start and what size the picture has.
struct Layout {
    bool enhanced = false;
    std::size_t firstRecord = 0;
    int objectCount = 0;
    /// The rectangle that fills the target: logical units for a WMF, reference-device pixels
    /// for an EMF. Missing for a WMF with neither a placeable header nor a window: its
    /// picture is what its records draw.
    std::optional<Rect> frame;
    /// Its own size in pixels at 96 dots per inch, held by heldSize; missing with the frame.
    Size natural;
    double pixelsPerMmX = 0;  // EMF reference device
    double pixelsPerMmY = 0;
};

/// Checks the headers and the framing of every record; throws BrokenMetafile or
/// ByteRangeError saying why the bytes are no usable metafile.
Layout readLayout(std::string_view bytes);

/// A size in pixels held to kMaxMetafileSide on its longer side, at least 1 x 1; throws
/// BrokenMetafile when it is not finite.
Size heldSize(double width, double height);

// --- Records ---------------------------------------------------------------------------

enum class ColourOf { Background, Text };
struct SetColour {
    ColourOf which;
    std::uint32_t colorRef;  // 0x00BBGGRR
};

enum class ModeOf { BackgroundMode, FillMode, TextAlign, MapMode, ArcDirection };
struct SetMode {
    ModeOf which;
    std::uint32_t value;
};

enum class Space { Window, Viewport };
struct SetOrigin {
    Space which;
    Point at;
};
struct OffsetWindowOrigin {
    Point by;
};
/// Only extents with two sides other than 0 are given.
struct SetExtent {
    Space which;
    double width;
    double height;
};
/// Only scales with no 0 among their numbers are given.
struct ScaleExtent {
    Space which;
    double xNum, xDenom, yNum, yDenom;
};
/// The world transform's six numbers (m11, m12, m21, m22, dx, dy), all finite.
struct SetWorld {
    double m[6];
};
struct ModifyWorld {
    double m[6];
    std::uint32_t mode;  // MWT_IDENTITY, MWT_LEFTMULTIPLY, ...
};
struct SaveDc {};
struct RestoreDc {
    std::int32_t which;  // < 0: that many back; > 0: the state saved as that number
};

struct PenDef {
    std::uint32_t style = 0;  // PS_ style, end cap, join and type bits
    double width = 0;
    std::uint32_t colorRef = 0;
    bool hollow = false;         // drawn with a hollow brush: draws nothing
    std::vector<double> dashes;  // for PS_USERSTYLE
};
struct BrushDef {
    std::uint32_t style = 0;  // BS_ style
    std::uint32_t colorRef = 0;
    std::uint32_t hatch = 0;
};
/// A brush of a bitmap; without the picture when the bitmap cannot be read.
struct PatternBrushDef {
    std::optional<RgbImage> pattern;
};
struct FontDef {
    double height = 0;   // logical units: < 0 the glyphs' height, > 0 the cell's, 0 default
    int escapement = 0;  // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int pitchAndFamily = 0;
    std::u16string face;
};
/// Palettes, regions and patterns that cannot be used still take their place.
struct Placeholder {};
using ObjectDef = std::variant<Placeholder, PenDef, BrushDef, PatternBrushDef, FontDef>;
struct CreateObject {
    std::optional<std::uint32_t> handle;  // an EMF's; a WMF takes the lowest free slot
    ObjectDef object;
};
struct SelectObject {
    std::uint32_t index;
};
struct DeleteObject {
    std::uint32_t index;
};

struct MoveTo {
    Point to;
};
struct LineTo {
    Point to;
};
enum class PolyKind { Polyline, Polygon, PolylineTo, Bezier, BezierTo };
/// For beziers: the start, then three points a curve; from the position, only the threes.
struct Poly {
    PolyKind kind;
    std::vector<Point> points;
};
struct PolyPoly {
    bool closed;
    std::vector<std::vector<Point>> shapes;
};
enum class BoxKind { Rectangle, Ellipse };
struct BoxShape {
    BoxKind kind;
    Box box;
};
struct RoundRect {
    Box box;
    double cornerWidth, cornerHeight;
};
enum class ArcKind { Arc, Chord, Pie, ArcTo };
/// From the ray through start to the ray through end.
struct ArcShape {
    ArcKind kind;
    Box box;
    Point start, end;
};
struct AngleArc {
    Point centre;
    double radius;
    double start, sweep;  // degrees
};
struct SetPixel {
    Point at;
    std::uint32_t colorRef;
};

enum class ClipBy { Intersect, Exclude };
struct ClipRect {
    ClipBy how;
    Box box;
};
/// Rectangles in device units, combined by mode (RGN_AND ... RGN_COPY).
struct ClipRegion {
    std::uint32_t mode;
    std::vector<Box> rects;
};
struct ResetClip {};

enum class PathOp { Begin, End, Abort, CloseFigure, Fill, Stroke, StrokeAndFill, Widen };
struct PathStep {
    PathOp op;
};
struct SelectClipPath {
    std::uint32_t mode;
};

struct Text {
    Point at;
    std::u16string text;
    std::vector<double> dx;  // each character's advance in logical units; may be empty
    std::uint32_t options;   // ETO_ flags
    std::optional<Box> box;
};
/// A raster operation without a source bitmap.
struct PatternBlt {
    Rect dest;
    std::uint32_t rop;
};
/// Source counts rows from the picture's top row.
struct Bitmap {
    RgbImage image;
    Rect dest;
    Rect source;
    std::uint32_t rop;
};
/// Shapes filled with gradients; gradientShape reads them one at a time.
struct GradientFill {
    ByteReader record;
    std::uint64_t vertices;
    std::uint64_t shapes;
    std::uint32_t mode;  // GRADIENT_FILL_RECT_H, _V, _TRIANGLE
};
struct GradientShape {
    bool triangle = false;
    Point a, b, c;  // a rectangle's corners are a and b
    Rgb from, to;   // a rectangle's colours
    Rgb colour;     // a triangle's: its corners' average
    bool vertical = false;
};
/// Reads shape index of fill; false when it names a vertex the record does not have or the
/// mode is unknown.
bool gradientShape(const GradientFill& fill, std::uint64_t index, GradientShape& shape);

/// One record read; std::monostate for a record that draws nothing.
using Record =
    std::variant<std::monostate, SetColour, SetMode, SetOrigin, OffsetWindowOrigin, SetExtent,
                 ScaleExtent, SetWorld, ModifyWorld, SaveDc, RestoreDc, CreateObject, SelectObject,
                 DeleteObject, MoveTo, LineTo, Poly, PolyPoly, BoxShape, RoundRect, ArcShape,
                 AngleArc, SetPixel, ClipRect, ClipRegion, ResetClip, PathStep, SelectClipPath,
                 Text, PatternBlt, Bitmap, GradientFill>;

/// A WMF record from its function and parameters. Throws BrokenMetafile or ByteRangeError
/// when the record contradicts its own size.
Record readWmfRecord(std::uint16_t function, const ByteReader& parameters);
/// An EMF record from its type and its bytes (type and size included). Throws as
/// readWmfRecord does.
Record readEmfRecord(std::uint32_t type, const ByteReader& record);

/// Reads a field of a record: the text its short reads throw with.
inline constexpr const char* kShortRecord = "a record is shorter than what it holds";

/// Calls take(function, parameters) for every WMF record from first on, up to META_EOF;
/// take returns false to stop. Throws BrokenMetafile when a record does not fit.
template <typename Take>
void forEachWmfRecord(std::string_view data, std::size_t first, Take&& take) {
    const ByteReader all(data, kShortRecord);
    std::size_t at = first;
    while (at < data.size()) {
        if (data.size() - at < 6) throw BrokenMetafile("the last record is cut short");
        const std::uint64_t bytes = std::uint64_t(all.u32(at)) * 2;
        const std::uint16_t function = all.u16(at + 4);
        if (bytes < 6) throw BrokenMetafile("a record has an impossible size");
        if (bytes > data.size() - at)
            throw BrokenMetafile("a record runs past the end of the file");
        if (function == 0) return;  // META_EOF
        if (!take(function, all.part(at + 6, bytes - 6))) return;
        at += static_cast<std::size_t>(bytes);
    }
}

/// Calls take(type, record) for every EMF record from first on, up to EMR_EOF; take
/// returns false to stop. Throws BrokenMetafile when a record does not fit.
template <typename Take>
void forEachEmfRecord(std::string_view data, std::size_t first, Take&& take) {
    const ByteReader all(data, kShortRecord);
    std::size_t at = first;
    while (at < data.size()) {
        if (data.size() - at < 8) throw BrokenMetafile("the last record is cut short");
        const std::uint32_t type = all.u32(at);
        const std::uint32_t size = all.u32(at + 4);
        if (size < 8 || size % 4 != 0) throw BrokenMetafile("a record has an impossible size");
        if (size > data.size() - at) throw BrokenMetafile("a record runs past the end of the file");
        if (type == 14) return;  // EMR_EOF
        if (!take(type, all.part(at, size))) return;
        at += size;
    }
}

}  // namespace metafile
}  // namespace velluma
