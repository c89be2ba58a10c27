#include "tools/SwfWriter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string_view>

namespace velluma {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kTwips = 20;  // per pixel

// Tag codes.
constexpr unsigned kEnd = 0;
constexpr unsigned kShowFrame = 1;
constexpr unsigned kDefineShape = 2;
constexpr unsigned kSetBackgroundColor = 9;
constexpr unsigned kPlaceObject2 = 26;
constexpr unsigned kRemoveObject2 = 28;
constexpr unsigned kDefineShape3 = 32;
constexpr unsigned kFileAttributes = 69;

// A straight or curved edge stores its deltas in at most 17 bits.
constexpr std::int64_t kMaxEdgeDelta = (std::int64_t(1) << 16) - 1;
// Gradients are laid out on a square of this half-width (twips), then mapped by a matrix.
constexpr double kGradientHalf = 16384;

[[noreturn]] void refuse(const std::string& why) {
    throw std::invalid_argument("The movie cannot be written: " + why);
}

std::int64_t twips(double pixels) {
    const double t = std::nearbyint(pixels * kTwips);
    if (!(std::fabs(t) < double(1 << 30))) refuse("a coordinate is out of range");
    return static_cast<std::int64_t>(t);
}

// Bits a signed field needs to hold value (0 needs none).
int signedBits(std::int64_t value) {
    if (value == 0) return 0;
    int bits = 1;
    while (value < -(std::int64_t(1) << (bits - 1)) || value >= (std::int64_t(1) << (bits - 1)))
        ++bits;
    return bits;
}

int signedBits(std::initializer_list<std::int64_t> values) {
    int bits = 0;
    for (std::int64_t v : values) bits = std::max(bits, signedBits(v));
    return bits;
}

// Bit fields are stored most significant bit first; a record ends on a byte boundary.
class BitWriter {
public:
    void put(std::uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (m_used == 0) m_bytes.push_back('\0');
            if ((value >> i) & 1u)
                m_bytes.back() = static_cast<char>(m_bytes.back() | (0x80 >> m_used));
            m_used = (m_used + 1) % 8;
        }
    }
    void putSigned(std::int64_t value, int count) {
        if (count > 0)
            put(static_cast<std::uint64_t>(value) & ((std::uint64_t(1) << count) - 1), count);
    }
    std::string take() {
        std::string bytes;
        bytes.swap(m_bytes);
        m_used = 0;
        return bytes;
    }

private:
    std::string m_bytes;
    int m_used = 0;  // bits used of the last byte
};

void u8(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xff);
}

void u16(std::string& out, unsigned value) {
    u8(out, value);
    u8(out, value >> 8);
}

void u32(std::string& out, std::uint32_t value) {
    u16(out, value & 0xffff);
    u16(out, value >> 16);
}

void tag(std::string& out, unsigned code, std::string_view body) {
    // The short form holds lengths up to 62; 63 marks the long form.
    if (body.size() < 0x3f) {
        u16(out, code << 6 | static_cast<unsigned>(body.size()));
    } else {
        u16(out, code << 6 | 0x3f);
        u32(out, static_cast<std::uint32_t>(body.size()));
    }
    out += body;
}

void colour(std::string& out, const SwfColour& c, bool withAlpha) {
    u8(out, c.red);
    u8(out, c.green);
    u8(out, c.blue);
    if (withAlpha) u8(out, c.alpha);
}

struct Rect {
    std::int64_t xMin, xMax, yMin, yMax;
};

void rect(BitWriter& bits, const Rect& r) {
    const int n = signedBits({r.xMin, r.xMax, r.yMin, r.yMax});
    bits.put(static_cast<unsigned>(n), 5);
    for (std::int64_t v : {r.xMin, r.xMax, r.yMin, r.yMax}) bits.putSigned(v, n);
}

// An affine map in the format's terms: x' = a x + c y + tx, y' = b x + d y + ty, with
// a..d in 16.16 fixed point and the translation in twips.
struct Matrix {
    std::int64_t a = 65536, b = 0, c = 0, d = 65536, tx = 0, ty = 0;
    bool operator==(const Matrix&) const = default;
};

std::int64_t fixed16(double value) {
    const double v = std::nearbyint(value * 65536);
    if (!(std::fabs(v) < double(std::int64_t(1) << 30))) refuse("a scale is out of range");
    return static_cast<std::int64_t>(v);
}

Matrix matrixOf(double scaleX, double scaleY, double radians, double xTwips, double yTwips) {
    const double cosine = std::cos(radians), sine = std::sin(radians);
    Matrix m;
    m.a = fixed16(scaleX * cosine);
    m.b = fixed16(scaleX * sine);
    m.c = fixed16(-scaleY * sine);
    m.d = fixed16(scaleY * cosine);
    const double tx = std::nearbyint(xTwips), ty = std::nearbyint(yTwips);
    if (!(std::fabs(tx) < double(1 << 30)) || !(std::fabs(ty) < double(1 << 30)))
        refuse("a position is out of range");
    m.tx = static_cast<std::int64_t>(tx);
    m.ty = static_cast<std::int64_t>(ty);
    return m;
}

Matrix matrixOf(const SwfTransform& t) {
    if (!std::isfinite(t.scaleX) || !std::isfinite(t.scaleY) || !std::isfinite(t.rotation))
        refuse("a transform is not a number");
    return matrixOf(t.scaleX, t.scaleY, t.rotation * kPi / 180, double(twips(t.x)),
                    double(twips(t.y)));
}

void matrix(BitWriter& bits, const Matrix& m) {
    const bool scaled = m.a != 65536 || m.d != 65536;
    bits.put(scaled, 1);
    if (scaled) {
        const int n = std::max(1, signedBits({m.a, m.d}));
        bits.put(static_cast<unsigned>(n), 5);
        bits.putSigned(m.a, n);
        bits.putSigned(m.d, n);
    }
    const bool rotated = m.b != 0 || m.c != 0;
    bits.put(rotated, 1);
    if (rotated) {
        const int n = signedBits({m.b, m.c});
        bits.put(static_cast<unsigned>(n), 5);
        bits.putSigned(m.b, n);
        bits.putSigned(m.c, n);
    }
    const int n = signedBits({m.tx, m.ty});
    bits.put(static_cast<unsigned>(n), 5);
    bits.putSigned(m.tx, n);
    bits.putSigned(m.ty, n);
}

struct ColourTerms {
    std::int64_t mult[4] = {256, 256, 256, 256};  // 8.8 fixed point
    std::int64_t add[4] = {0, 0, 0, 0};
    bool operator==(const ColourTerms&) const = default;
};

ColourTerms termsOf(const std::optional<SwfColourTransform>& t) {
    ColourTerms terms;
    if (!t) return terms;
    const double factors[4] = {t->redFactor, t->greenFactor, t->blueFactor, t->alphaFactor};
    const int adds[4] = {t->redAdd, t->greenAdd, t->blueAdd, t->alphaAdd};
    for (int i = 0; i < 4; ++i) {
        const double f = std::nearbyint(factors[i] * 256);
        if (!(std::fabs(f) < 32768)) refuse("a colour factor is out of range");
        if (adds[i] < -255 || adds[i] > 255) refuse("a colour addition is out of range");
        terms.mult[i] = static_cast<std::int64_t>(f);
        terms.add[i] = adds[i];
    }
    return terms;
}

void colourTransform(BitWriter& bits, const ColourTerms& t) {
    const ColourTerms identity;
    const bool hasAdd = !std::equal(std::begin(t.add), std::end(t.add), std::begin(identity.add));
    const bool hasMult =
        !std::equal(std::begin(t.mult), std::end(t.mult), std::begin(identity.mult));
    bits.put(hasAdd, 1);
    bits.put(hasMult, 1);
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        if (hasMult) n = std::max(n, signedBits(t.mult[i]));
        if (hasAdd) n = std::max(n, signedBits(t.add[i]));
    }
    bits.put(static_cast<unsigned>(n), 4);
    if (hasMult)
        for (std::int64_t v : t.mult) bits.putSigned(v, n);
    if (hasAdd)
        for (std::int64_t v : t.add) bits.putSigned(v, n);
}

bool fillHasAlpha(const SwfFill& fill) {
    if (fill.kind == SwfFill::Kind::Solid) return fill.colour.alpha != 255;
    return std::any_of(fill.stops.begin(), fill.stops.end(),
                       [](const SwfGradientStop& s) { return s.colour.alpha != 255; });
}

void fillStyle(std::string& out, const SwfFill& fill, bool withAlpha) {
    if (fill.kind == SwfFill::Kind::Solid) {
        u8(out, 0x00);
        colour(out, fill.colour, withAlpha);
        return;
    }
    if (fill.stops.empty() || fill.stops.size() > 8) refuse("a gradient needs 1 to 8 stops");
    Matrix m;
    if (fill.kind == SwfFill::Kind::Linear) {
        u8(out, 0x10);
        const double dx = (fill.to.x - fill.from.x) * kTwips;
        const double dy = (fill.to.y - fill.from.y) * kTwips;
        const double length = std::hypot(dx, dy);
        if (!(length > 0)) refuse("a linear gradient needs two distinct points");
        m = matrixOf(length / (2 * kGradientHalf), length / (2 * kGradientHalf), std::atan2(dy, dx),
                     (fill.from.x + fill.to.x) / 2 * kTwips,
                     (fill.from.y + fill.to.y) / 2 * kTwips);
    } else {
        u8(out, 0x12);
        if (!(fill.radiusX > 0) || !(fill.radiusY > 0)) refuse("a radial gradient needs a radius");
        m = matrixOf(fill.radiusX * kTwips / kGradientHalf, fill.radiusY * kTwips / kGradientHalf,
                     0, fill.centre.x * kTwips, fill.centre.y * kTwips);
    }
    BitWriter bits;
    matrix(bits, m);
    out += bits.take();
    // Pad spread, normal (RGB) interpolation, then the stops.
    u8(out, static_cast<unsigned>(fill.stops.size()));
    int last = -1;
    for (const SwfGradientStop& stop : fill.stops) {
        const double position = std::nearbyint(stop.position * 255);
        if (!(position >= 0 && position <= 255) || position < last)
            refuse("gradient stops must lie in order between 0 and 1");
        last = static_cast<int>(position);
        u8(out, static_cast<unsigned>(last));
        colour(out, stop.colour, withAlpha);
    }
}

// Writes one shape's records while tracking the pen in twips, so that rounding never
// accumulates along an outline.
class ShapeRecords {
public:
    ShapeRecords() {
        m_bits.put(1, 4);  // one fill style
        m_bits.put(0, 4);  // no line styles
    }

    void moveTo(SwfPoint p, bool first) {
        const std::int64_t x = twips(p.x), y = twips(p.y);
        m_bits.put(0, 1);              // style change record
        m_bits.put(0, 1);              // new styles
        m_bits.put(0, 1);              // line style
        m_bits.put(first ? 1 : 0, 1);  // fill style 1
        m_bits.put(0, 1);              // fill style 0
        m_bits.put(1, 1);              // move to
        const int n = signedBits({x, y});
        m_bits.put(static_cast<unsigned>(n), 5);
        m_bits.putSigned(x, n);
        m_bits.putSigned(y, n);
        if (first) m_bits.put(1, 1);  // fill style 1 is the first (and only) style
        m_x = x;
        m_y = y;
        include(x, y);
    }

    void lineTo(SwfPoint p) {
        const std::int64_t dx = twips(p.x) - m_x, dy = twips(p.y) - m_y;
        if (dx == 0 && dy == 0) return;
        if (std::max(std::abs(dx), std::abs(dy)) > kMaxEdgeDelta) {
            const SwfPoint mid{(double(m_x) / kTwips + p.x) / 2, (double(m_y) / kTwips + p.y) / 2};
            lineTo(mid);
            lineTo(p);
            return;
        }
        const int n = std::max(2, signedBits({dx, dy}));
        m_bits.put(1, 1);  // edge record
        m_bits.put(1, 1);  // straight
        m_bits.put(static_cast<unsigned>(n - 2), 4);
        if (dx != 0 && dy != 0) {
            m_bits.put(1, 1);  // general line
            m_bits.putSigned(dx, n);
            m_bits.putSigned(dy, n);
        } else {
            m_bits.put(0, 1);
            m_bits.put(dx == 0 ? 1 : 0, 1);  // vertical
            m_bits.putSigned(dx == 0 ? dy : dx, n);
        }
        m_x += dx;
        m_y += dy;
        include(m_x, m_y);
    }

    void curveTo(SwfPoint control, SwfPoint to) {
        const std::int64_t cx = twips(control.x), cy = twips(control.y);
        const std::int64_t ax = twips(to.x), ay = twips(to.y);
        const std::int64_t deltas[4] = {cx - m_x, cy - m_y, ax - cx, ay - cy};
        if (std::any_of(std::begin(deltas), std::end(deltas),
                        [](std::int64_t d) { return std::abs(d) > kMaxEdgeDelta; })) {
            // Split in halves (de Casteljau) until each part fits.
            const SwfPoint from{double(m_x) / kTwips, double(m_y) / kTwips};
            const SwfPoint c1{(from.x + control.x) / 2, (from.y + control.y) / 2};
            const SwfPoint c2{(control.x + to.x) / 2, (control.y + to.y) / 2};
            const SwfPoint mid{(c1.x + c2.x) / 2, (c1.y + c2.y) / 2};
            curveTo(c1, mid);
            curveTo(c2, to);
            return;
        }
        if (deltas[0] == 0 && deltas[1] == 0 && deltas[2] == 0 && deltas[3] == 0) return;
        const int n = std::max(2, signedBits({deltas[0], deltas[1], deltas[2], deltas[3]}));
        m_bits.put(1, 1);  // edge record
        m_bits.put(0, 1);  // curved
        m_bits.put(static_cast<unsigned>(n - 2), 4);
        for (std::int64_t d : deltas) m_bits.putSigned(d, n);
        include(cx, cy);
        m_x = ax;
        m_y = ay;
        include(ax, ay);
    }

    std::int64_t x() const { return m_x; }
    std::int64_t y() const { return m_y; }

    std::string finish() {
        m_bits.put(0, 6);  // end of shape
        return m_bits.take();
    }

    Rect bounds() const { return m_bounds.value_or(Rect{0, 0, 0, 0}); }

private:
    void include(std::int64_t x, std::int64_t y) {
        if (!m_bounds) {
            m_bounds = Rect{x, x, y, y};
            return;
        }
        m_bounds->xMin = std::min(m_bounds->xMin, x);
        m_bounds->xMax = std::max(m_bounds->xMax, x);
        m_bounds->yMin = std::min(m_bounds->yMin, y);
        m_bounds->yMax = std::max(m_bounds->yMax, y);
    }

    BitWriter m_bits;
    std::int64_t m_x = 0, m_y = 0;
    std::optional<Rect> m_bounds;
};

std::string defineShape(std::uint16_t id, const SwfShape& shape, unsigned& code) {
    const bool withAlpha = fillHasAlpha(shape.fill);
    code = withAlpha ? kDefineShape3 : kDefineShape;

    ShapeRecords records;
    bool first = true;
    for (const SwfContour& contour : shape.contours) {
        records.moveTo(contour.start, first);
        first = false;
        for (const SwfEdge& edge : contour.edges) {
            if (edge.control)
                records.curveTo(*edge.control, edge.to);
            else
                records.lineTo(edge.to);
        }
        records.lineTo(contour.start);  // nothing when the outline is closed already
    }
    const std::string recordBytes = records.finish();

    std::string body;
    u16(body, id);
    BitWriter bounds;
    rect(bounds, records.bounds());
    body += bounds.take();
    u8(body, 1);  // fill styles
    fillStyle(body, shape.fill, withAlpha);
    u8(body, 0);  // line styles
    body += recordBytes;
    return body;
}

// What is on display at a depth, as the last frame left it.
struct Shown {
    std::size_t shape;
    Matrix matrix;
    ColourTerms colour;
};

}  // namespace

SwfFill SwfFill::solid(SwfColour colour) {
    SwfFill fill;
    fill.colour = colour;
    return fill;
}

SwfFill SwfFill::linear(SwfPoint from, SwfPoint to, std::vector<SwfGradientStop> stops) {
    SwfFill fill;
    fill.kind = Kind::Linear;
    fill.from = from;
    fill.to = to;
    fill.stops = std::move(stops);
    return fill;
}

SwfFill SwfFill::radial(SwfPoint centre, double radiusX, double radiusY,
                        std::vector<SwfGradientStop> stops) {
    SwfFill fill;
    fill.kind = Kind::Radial;
    fill.centre = centre;
    fill.radiusX = radiusX;
    fill.radiusY = radiusY;
    fill.stops = std::move(stops);
    return fill;
}

SwfContour SwfEllipse(SwfPoint centre, double radiusX, double radiusY) {
    // Eight arcs of 45 degrees; each control point lies on the tangents at the arc's ends.
    constexpr int kArcs = 8;
    const double reach = 1 / std::cos(kPi / kArcs);
    SwfContour contour;
    contour.start = {centre.x + radiusX, centre.y};
    for (int i = 1; i <= kArcs; ++i) {
        const double end = 2 * kPi * i / kArcs;
        const double middle = end - kPi / kArcs;
        contour.edges.push_back(
            {{centre.x + radiusX * std::cos(end), centre.y + radiusY * std::sin(end)},
             SwfPoint{centre.x + radiusX * reach * std::cos(middle),
                      centre.y + radiusY * reach * std::sin(middle)}});
    }
    contour.edges.back().to = contour.start;  // exactly closed
    return contour;
}

SwfContour SwfRectangle(double left, double top, double width, double height) {
    SwfContour contour;
    contour.start = {left, top};
    contour.edges = {{{left + width, top}, std::nullopt},
                     {{left + width, top + height}, std::nullopt},
                     {{left, top + height}, std::nullopt},
                     {{left, top}, std::nullopt}};
    return contour;
}

SwfContour SwfBlob(SwfPoint centre, const std::vector<double>& radii) {
    const std::size_t n = radii.size();
    if (n < 3) throw std::invalid_argument("A blob needs at least three radii.");
    std::vector<SwfPoint> points;
    for (std::size_t i = 0; i < n; ++i) {
        const double angle = -kPi / 2 + 2 * kPi * double(i) / double(n);
        points.push_back(
            {centre.x + radii[i] * std::cos(angle), centre.y + radii[i] * std::sin(angle)});
    }
    // The curve passes through the midpoints and bends towards the points themselves,
    // which keeps it smooth all round.
    const auto mid = [&](std::size_t i) {
        const SwfPoint& a = points[i % n];
        const SwfPoint& b = points[(i + 1) % n];
        return SwfPoint{(a.x + b.x) / 2, (a.y + b.y) / 2};
    };
    SwfContour contour;
    contour.start = mid(n - 1);
    for (std::size_t i = 0; i < n; ++i) contour.edges.push_back({mid(i), points[i]});
    return contour;
}

SwfContour SwfPetal(double length, double width) {
    // Each side is a smooth spline through the midpoints of three guide points; only the
    // base and the tip are corners.
    const double half = width / 2;
    const SwfPoint guide[] = {
        {0.75 * half, -0.1 * length}, {1.1 * half, -0.45 * length}, {0.75 * half, -0.85 * length}};
    const auto mid = [&](int a, int b, double side) {
        return SwfPoint{side * (guide[a].x + guide[b].x) / 2, (guide[a].y + guide[b].y) / 2};
    };
    const auto at = [&](int i, double side) { return SwfPoint{side * guide[i].x, guide[i].y}; };
    SwfContour contour;
    contour.start = {0, 0};
    contour.edges = {{mid(0, 1, 1), at(0, 1)},   {mid(1, 2, 1), at(1, 1)},
                     {{0, -length}, at(2, 1)},   {mid(1, 2, -1), at(2, -1)},
                     {mid(0, 1, -1), at(1, -1)}, {{0, 0}, at(0, -1)}};
    return contour;
}

std::string WriteSwf(const SwfMovie& movie) {
    if (movie.width < 1 || movie.height < 1 || movie.width > 100000 || movie.height > 100000)
        refuse("the stage size is out of range");
    const double rate = std::nearbyint(movie.frameRate * 256);  // 8.8 fixed point
    if (!(rate >= 1 && rate <= 65535)) refuse("the frame rate is out of range");
    if (movie.frames.empty() || movie.frames.size() > 65535)
        refuse("a movie has 1 to 65535 frames");
    if (movie.shapes.size() > 65535) refuse("a movie holds at most 65535 shapes");
    if (movie.version < 1 || movie.version > 255) refuse("the version is out of range");

    std::string tags;
    if (movie.version >= 8) {
        std::string flags;
        u32(flags, 0);  // no ActionScript 3, no network access, no metadata
        tag(tags, kFileAttributes, flags);
    }
    std::string background;
    colour(background, movie.background, false);
    tag(tags, kSetBackgroundColor, background);

    for (std::size_t i = 0; i < movie.shapes.size(); ++i) {
        unsigned code = 0;
        const std::string body =
            defineShape(static_cast<std::uint16_t>(i + 1), movie.shapes[i], code);
        tag(tags, code, body);
    }

    std::map<std::uint16_t, Shown> shown;
    bool first = true;
    for (const std::vector<SwfPlacement>& frame : movie.frames) {
        std::map<std::uint16_t, const SwfPlacement*> wanted;
        for (const SwfPlacement& p : frame) {
            if (p.depth == 0) refuse("depth 0 is not a display depth");
            if (p.shape >= movie.shapes.size()) refuse("a placement names no shape");
            if (!wanted.emplace(p.depth, &p).second)
                refuse("two placements share depth " + std::to_string(p.depth));
        }
        for (auto it = shown.begin(); it != shown.end();) {
            if (wanted.count(it->first)) {
                ++it;
                continue;
            }
            std::string body;
            u16(body, it->first);
            tag(tags, kRemoveObject2, body);
            it = shown.erase(it);
        }
        for (const auto& [depth, p] : wanted) {
            const Shown now{p->shape, matrixOf(p->transform), termsOf(p->colour)};
            const auto before = shown.find(depth);
            const bool fresh = before == shown.end();
            const bool place = fresh || before->second.shape != now.shape;
            const bool moveMatrix = place || !(before->second.matrix == now.matrix);
            // A replacing shape states its colour rather than trust the player to keep the
            // old one's. The first frame states every colour transform, even one that changes
            // nothing: when the movie loops, a player may keep the last frame's object at a
            // depth and apply only what the first frame states.
            const bool moveColour = fresh ? (first || !(now.colour == ColourTerms{}))
                                          : (place || !(before->second.colour == now.colour));
            if (!place && !moveMatrix && !moveColour) continue;

            // A new shape at a taken depth replaces the old one (move and character together).
            const unsigned flags = (moveColour ? 0x08 : 0) | (moveMatrix ? 0x04 : 0) |
                                   (place ? 0x02 : 0) | (fresh ? 0 : 0x01);
            std::string body;
            u8(body, flags);
            u16(body, depth);
            if (place) u16(body, static_cast<unsigned>(now.shape + 1));
            BitWriter bits;
            if (moveMatrix) {
                matrix(bits, now.matrix);
                body += bits.take();
            }
            if (moveColour) {
                colourTransform(bits, now.colour);
                body += bits.take();
            }
            tag(tags, kPlaceObject2, body);
            shown[depth] = now;
        }
        tag(tags, kShowFrame, "");
        first = false;
    }
    tag(tags, kEnd, "");

    BitWriter stage;
    rect(stage,
         Rect{0, std::int64_t(movie.width) * kTwips, 0, std::int64_t(movie.height) * kTwips});
    std::string body = stage.take();
    u16(body, static_cast<unsigned>(rate));
    u16(body, static_cast<unsigned>(movie.frames.size()));
    body += tags;

    const std::size_t length = 8 + body.size();
    if (length > std::numeric_limits<std::uint32_t>::max()) refuse("the movie is too large");
    std::string out = "FWS";
    u8(out, static_cast<unsigned>(movie.version));
    u32(out, static_cast<std::uint32_t>(length));
    return out + body;
}

}  // namespace velluma
