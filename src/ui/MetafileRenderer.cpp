#include "ui/MetafileRenderer.h"

#include <QElapsedTimer>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPicture>
#include <QRegion>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>
#include <variant>
#include <vector>

#include "formats/BmpCodec.h"
#include "formats/PictureSource.h"
#include "imagelists/FileAccess.h"

namespace velluma {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::size_t kEmfHeaderBytes = 88;
constexpr double kScreenDpi = 96.0;
constexpr double kMmPerInch = 25.4;
// A bitmap inside a metafile larger than this is passed over: a preview has no use for it.
constexpr std::uint64_t kMaxBitmapPixels = std::uint64_t(16) << 20;
constexpr std::size_t kMaxSavedStates = 1024;
constexpr int kMaxClipRects = 100000;
constexpr std::size_t kMaxWmfObjects = 65535;
// Glyphs beyond this many pixels would only fill the glyph cache; the picture is smaller.
constexpr double kMaxTextPixels = 8192;
// Qt refuses wider pens; a wider logical pen is drawn in image pixels instead.
constexpr double kMaxPenWidth = 32767;

constexpr int kPsNull = 5;
constexpr int kPsUserStyle = 7;
constexpr std::uint32_t kEtoOpaque = 0x0002;
constexpr std::uint32_t kEtoClipped = 0x0004;
constexpr std::uint32_t kEtoGlyphIndex = 0x0010;
constexpr std::uint32_t kEtoNoRect = 0x0100;
constexpr std::uint32_t kEtoSmallChars = 0x0200;
constexpr std::uint32_t kEtoPdy = 0x2000;
constexpr std::uint32_t kTaUpdateCp = 0x0001;

class BrokenMetafile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The little-endian fields of one record, every read checked against its size.
class Fields {
public:
    Fields() = default;
    explicit Fields(std::string_view data) : m_data(data) {}

    std::size_t size() const { return m_data.size(); }
    bool has(std::uint64_t at, std::uint64_t count) const {
        return at <= m_data.size() && count <= m_data.size() - at;
    }
    std::string_view bytes(std::uint64_t at, std::uint64_t count) const {
        need(at, count);
        return m_data.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(count));
    }
    std::uint8_t u8(std::size_t at) const {
        need(at, 1);
        return raw(at);
    }
    std::uint16_t u16(std::size_t at) const {
        need(at, 2);
        return static_cast<std::uint16_t>(raw(at) | (raw(at + 1) << 8));
    }
    std::int16_t i16(std::size_t at) const { return static_cast<std::int16_t>(u16(at)); }
    std::uint32_t u32(std::size_t at) const {
        need(at, 4);
        return std::uint32_t(raw(at)) | (std::uint32_t(raw(at + 1)) << 8) |
               (std::uint32_t(raw(at + 2)) << 16) | (std::uint32_t(raw(at + 3)) << 24);
    }
    std::int32_t i32(std::size_t at) const { return static_cast<std::int32_t>(u32(at)); }
    float f32(std::size_t at) const {
        const std::uint32_t bits = u32(at);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    std::uint8_t raw(std::size_t at) const { return static_cast<std::uint8_t>(m_data[at]); }
    void need(std::uint64_t at, std::uint64_t count) const {
        if (!has(at, count)) throw BrokenMetafile("a record is shorter than what it holds");
    }

    std::string_view m_data;
};

QColor colorRef(std::uint32_t value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

// Single-byte text in the Windows Western code page.
QString fromAnsi(std::string_view text) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    QString result;
    result.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) continue;
        result.append(byte >= 0x80 && byte < 0xA0 ? QChar(kHigh[byte - 0x80])
                                                  : QChar(char16_t(byte)));
    }
    return result;
}

QString fromUtf16(const Fields& fields, std::size_t at, std::uint64_t count) {
    const std::string_view raw = fields.bytes(at, count * 2);
    QString result;
    result.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                                (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
        if (unit != 0) result.append(QChar(unit));
    }
    return result;
}

bool finite(double value) {
    return std::isfinite(value);
}

// --- Drawing objects -----------------------------------------------------------------

struct Pen {
    int style = 0;           // PS_SOLID ... PS_ALTERNATE
    double width = 0;        // logical units; 0 draws one pixel
    bool geometric = false;  // its style applies at any width
    QColor color = Qt::black;
    Qt::PenCapStyle cap = Qt::RoundCap;
    Qt::PenJoinStyle join = Qt::RoundJoin;
    QList<qreal> dashes;  // logical units, for PS_USERSTYLE
};

struct Brush {
    enum Kind { Solid, Hollow, Hatched, Pattern };
    Kind kind = Solid;
    QColor color = Qt::white;
    Qt::BrushStyle hatch = Qt::SolidPattern;
    QImage pattern;
};

struct Font {
    double height = 0;   // logical units: < 0 the glyphs' height, > 0 the cell's, 0 default
    int escapement = 0;  // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int pitchAndFamily = 0;
    QString face;
};

// Palettes, regions and patterns we cannot use still take their place in the table.
using GdiObject = std::variant<std::monostate, Pen, Brush, Font>;

Pen makePen(std::uint32_t style, double width, QColor color) {
    Pen pen;
    pen.style = static_cast<int>(style & 0x0F);
    pen.width = std::fabs(width);
    pen.color = color;
    pen.geometric = (style & 0x000F0000) == 0x00010000;
    switch (style & 0x0F00) {
        case 0x0100:
            pen.cap = Qt::SquareCap;
            break;
        case 0x0200:
            pen.cap = Qt::FlatCap;
            break;
        default:
            pen.cap = Qt::RoundCap;
    }
    switch (style & 0xF000) {
        case 0x1000:
            pen.join = Qt::BevelJoin;
            break;
        case 0x2000:
            pen.join = Qt::MiterJoin;
            break;
        default:
            pen.join = Qt::RoundJoin;
    }
    return pen;
}

Brush makeBrush(std::uint32_t style, QColor color, std::uint32_t hatch) {
    Brush brush;
    brush.color = color;
    switch (style) {
        case 1:  // BS_NULL
            brush.kind = Brush::Hollow;
            break;
        case 2: {  // BS_HATCHED
            static constexpr Qt::BrushStyle kHatches[6] = {Qt::HorPattern,   Qt::VerPattern,
                                                           Qt::FDiagPattern, Qt::BDiagPattern,
                                                           Qt::CrossPattern, Qt::DiagCrossPattern};
            brush.kind = Brush::Hatched;
            brush.hatch = hatch < 6 ? kHatches[hatch] : Qt::SolidPattern;
            break;
        }
        case 3:  // a pattern whose bitmap is not in the record: a neutral grey
        case 5:
        case 6:
            brush.color = QColor(0x80, 0x80, 0x80);
            break;
        default:
            break;
    }
    return brush;
}

std::optional<QPainter::CompositionMode> ropMode(std::uint32_t rop) {
    switch ((rop >> 16) & 0xFF) {
        case 0xCC:
            return QPainter::CompositionMode_SourceOver;  // SRCCOPY
        case 0xEE:
            return QPainter::RasterOp_SourceOrDestination;  // SRCPAINT
        case 0x88:
            return QPainter::RasterOp_SourceAndDestination;  // SRCAND
        case 0x66:
            return QPainter::RasterOp_SourceXorDestination;  // SRCINVERT
        case 0x33:
            return QPainter::RasterOp_NotSource;  // NOTSRCCOPY
        case 0x44:
            return QPainter::RasterOp_SourceAndNotDestination;  // SRCERASE
        case 0xBB:
            return QPainter::RasterOp_NotSourceOrDestination;  // MERGEPAINT
        case 0x11:
            return QPainter::RasterOp_NotSourceAndNotDestination;  // NOTSRCERASE
        default:
            return std::nullopt;
    }
}

// --- Bitmaps -----------------------------------------------------------------------------

// The size of a packed DIB's header and colour table, where its pixels begin.
std::size_t dibInfoSize(std::string_view dib) {
    const Fields f(dib);
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
    QImage image;
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
    for (int i = 0; i < 4; ++i) {
        file[2 + i] = static_cast<char>((total >> (8 * i)) & 0xFF);
        file[10 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
    }
    file.append(info);
    file.append(bits);
    try {
        const auto source = BmpSource::fromBytes(file);
        if (std::uint64_t(source->width()) * std::uint64_t(source->height()) > kMaxBitmapPixels)
            return std::nullopt;
        const RgbImage rgb = ReadAllRows(*source);
        QImage image(rgb.width, rgb.height, QImage::Format_RGB888);
        for (int y = 0; y < rgb.height; ++y)
            std::memcpy(image.scanLine(y), rgb.rowData(y), std::size_t(rgb.width) * 3);
        return DibPicture{std::move(image), !source->layout().topDown};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// --- The device context and the drawing ---------------------------------------------------

struct DcState {
    Pen pen;
    Brush brush;
    Font font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    bool opaque = true;
    Qt::FillRule fillRule = Qt::OddEvenFill;
    std::uint32_t textAlign = 0;
    QPointF position;
    int mapMode = 1;  // MM_TEXT
    QPointF windowOrg;
    QSizeF windowExt{1, 1};
    QPointF viewportOrg;
    QSizeF viewportExt{1, 1};
    QTransform world;
    bool clockwise = false;
    std::optional<QRegion> clip;  // image pixels; none: the whole target
};

// What WMF and EMF playback share: the state of the device context, the objects and
// the drawing itself. Shapes are given in logical units; the painter maps them.
class Player {
public:
    // Without clipping, nothing is held to the target: for finding what the records draw.
    Player(QPainter& painter, const QRectF& target, double naturalScale, bool clipping)
        : m_painter(painter),
          m_target(target),
          m_limit(target.adjusted(-4, -4, 4, 4)),
          m_naturalScale(naturalScale),
          m_clipping(clipping) {
        m_clock.start();
        m_painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                                 QPainter::SmoothPixmapTransform);
    }
    virtual ~Player() = default;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    /// False once playing has taken too long.
    bool inTime() {
        if (!m_expired && ++m_records % 64 == 0)
            m_expired = m_clock.hasExpired(kMetafilePlaybackMillis);
        return !m_expired;
    }

protected:
    virtual QTransform pageToImage() const = 0;
    QTransform toImage() const { return m_dc.world * pageToImage(); }

    // --- State ---

    void saveDc() {
        if (m_saved.size() < kMaxSavedStates) m_saved.push_back(m_dc);
    }
    void restoreDc(int which) {
        // Negative: that many states back; positive: the state saved as number which.
        std::size_t keep = 0;
        if (which < 0) {
            const std::size_t back = static_cast<std::size_t>(-static_cast<std::int64_t>(which));
            if (back > m_saved.size()) return;
            keep = m_saved.size() - back;
        } else if (which > 0) {
            if (static_cast<std::size_t>(which) > m_saved.size()) return;
            keep = static_cast<std::size_t>(which) - 1;
        } else {
            return;
        }
        m_dc = m_saved[keep];
        m_saved.resize(keep);
        m_clipDirty = true;
    }
    void selectObject(const GdiObject& object) {
        if (const auto* pen = std::get_if<Pen>(&object)) m_dc.pen = *pen;
        if (const auto* brush = std::get_if<Brush>(&object)) m_dc.brush = *brush;
        if (const auto* font = std::get_if<Font>(&object)) m_dc.font = *font;
    }
    void selectStock(std::uint32_t index) {
        auto solid = [](QColor color) {
            Brush brush;
            brush.color = color;
            return brush;
        };
        switch (index & 0x7FFFFFFF) {
            case 0:
            case 18:
                m_dc.brush = solid(Qt::white);
                break;
            case 1:
                m_dc.brush = solid(QColor(0xC0, 0xC0, 0xC0));
                break;
            case 2:
                m_dc.brush = solid(QColor(0x80, 0x80, 0x80));
                break;
            case 3:
                m_dc.brush = solid(QColor(0x40, 0x40, 0x40));
                break;
            case 4:
                m_dc.brush = solid(Qt::black);
                break;
            case 5:
                m_dc.brush.kind = Brush::Hollow;
                break;
            case 6:
                m_dc.pen = makePen(0, 0, Qt::white);
                break;
            case 7:
            case 19:
                m_dc.pen = makePen(0, 0, Qt::black);
                break;
            case 8:
                m_dc.pen = makePen(kPsNull, 0, Qt::black);
                break;
            case 10:
            case 11:
            case 12:
            case 13:
            case 14:
            case 16:
            case 17:
                m_dc.font = Font();
                break;
            default:
                break;
        }
    }

    // --- Clipping ---

    QRect imageRect(const QRectF& rect) const {
        return rect.normalized().intersected(m_limit).toAlignedRect();
    }
    void combineClip(const QRegion& region, std::uint32_t mode) {
        QRegion current = m_dc.clip ? *m_dc.clip : QRegion(m_target.toAlignedRect());
        switch (mode) {
            case 1:
                current &= region;
                break;
            case 2:
                current |= region;
                break;
            case 3:
                current ^= region;
                break;
            case 4:
                current -= region;
                break;
            case 5:
                current = region;
                break;
            default:
                return;
        }
        m_dc.clip = current;
        m_clipDirty = true;
    }
    void resetClip() {
        m_dc.clip.reset();
        m_clipDirty = true;
    }
    void intersectClip(const QRectF& logical) {
        combineClip(QRegion(imageRect(toImage().mapRect(logical.normalized()))), 1);
    }
    void excludeClip(const QRectF& logical) {
        combineClip(QRegion(imageRect(toImage().mapRect(logical.normalized()))), 4);
    }

    // --- Painter ---

    void prepare(bool logical) {
        if (m_clipDirty && m_clipping) {
            m_painter.resetTransform();
            const QRegion whole(m_target.toAlignedRect());
            m_painter.setClipRegion(m_dc.clip ? (*m_dc.clip & whole) : whole);
            m_clipDirty = false;
        }
        m_painter.setTransform(logical ? toImage() : QTransform());
        m_painter.setBackgroundMode(m_dc.opaque ? Qt::OpaqueMode : Qt::TransparentMode);
        m_painter.setBackground(m_dc.bkColor);
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    // widthScale takes logical widths to the painter's units.
    QPen pen(double widthScale) const {
        const Pen& p = m_dc.pen;
        if (p.style == kPsNull) return QPen(Qt::NoPen);
        QPen pen(p.color);
        pen.setCapStyle(p.cap);
        pen.setJoinStyle(p.join);
        const double width = p.width * widthScale;
        pen.setWidthF(finite(width) ? std::min(width, kMaxPenWidth) : 0);
        // A plain pen wider than a pixel is drawn solid whatever its style.
        if (!p.geometric && p.width > 1) return pen;
        switch (p.style) {
            case 1:
                pen.setStyle(Qt::DashLine);
                break;
            case 2:
            case 8:
                pen.setStyle(Qt::DotLine);
                break;
            case 3:
                pen.setStyle(Qt::DashDotLine);
                break;
            case 4:
                pen.setStyle(Qt::DashDotDotLine);
                break;
            case kPsUserStyle:
                if (!p.dashes.isEmpty()) {
                    QList<qreal> pattern;
                    const double unit = p.width > 0 ? p.width : 1;
                    for (const qreal d : p.dashes) pattern.append(std::max(0.01, d / unit));
                    if (pattern.size() % 2 != 0) pattern += pattern;
                    pen.setDashPattern(pattern);
                }
                break;
            default:
                break;
        }
        return pen;
    }

    QBrush brush() const {
        const Brush& b = m_dc.brush;
        switch (b.kind) {
            case Brush::Hollow:
                return QBrush(Qt::NoBrush);
            case Brush::Hatched:
            case Brush::Pattern: {
                QBrush brush =
                    b.kind == Brush::Pattern ? QBrush(b.pattern) : QBrush(b.color, b.hatch);
                // Patterns keep their pixel size whatever the mapping.
                const QTransform t = toImage();
                bool invertible = false;
                const QTransform inverse =
                    QTransform(t.m11(), t.m12(), t.m21(), t.m22(), 0, 0).inverted(&invertible);
                if (invertible) brush.setTransform(inverse);
                return brush;
            }
            default:
                return QBrush(b.color);
        }
    }

    // --- Shapes ---

    void startFigureAtPosition() {
        if (!m_figureOpen) {
            m_path.moveTo(toImage().map(m_dc.position));
            m_figureOpen = true;
        }
    }
    void drawOpen(const QPainterPath& logical) {
        if (m_recording) {
            m_path.addPath(toImage().map(logical));
            m_figureOpen = true;
            return;
        }
        draw(logical, false);
    }
    void drawClosed(QPainterPath logical) {
        logical.setFillRule(m_dc.fillRule);
        if (m_recording) {
            m_path.addPath(toImage().map(logical));
            m_figureOpen = false;
            return;
        }
        draw(logical, true);
    }
    void draw(const QPainterPath& logical, bool fill) {
        if (m_dc.pen.width < kMaxPenWidth) {
            prepare(true);
            m_painter.setPen(pen(1));
            m_painter.setBrush(fill ? brush() : QBrush(Qt::NoBrush));
            m_painter.drawPath(logical);
            return;
        }
        const QTransform t = toImage();
        prepare(false);
        m_painter.setPen(pen(std::sqrt(std::fabs(t.determinant()))));
        m_painter.setBrush(fill ? brush() : QBrush(Qt::NoBrush));
        m_painter.drawPath(t.map(logical));
    }

    void moveTo(QPointF p) {
        m_dc.position = p;
        if (m_recording) {
            m_path.moveTo(toImage().map(p));
            m_figureOpen = true;
        }
    }
    void lineTo(QPointF p) {
        if (m_recording) {
            startFigureAtPosition();
            m_path.lineTo(toImage().map(p));
        } else {
            QPainterPath path(m_dc.position);
            path.lineTo(p);
            drawOpen(path);
        }
        m_dc.position = p;
    }
    void polyline(const QPolygonF& points) {
        if (points.size() < 2) return;
        QPainterPath path;
        path.addPolygon(points);
        drawOpen(path);
    }
    void polylineTo(const QPolygonF& points) {
        for (const QPointF& p : points) lineTo(p);
    }
    void polygon(const QPolygonF& points) {
        if (points.size() < 2) return;
        QPainterPath path;
        path.addPolygon(points);
        path.closeSubpath();
        drawClosed(path);
    }
    void polyPolygon(const std::vector<QPolygonF>& polygons, bool closed) {
        QPainterPath path;
        for (const QPolygonF& points : polygons) {
            if (points.size() < 2) continue;
            path.addPolygon(points);
            if (closed) path.closeSubpath();
        }
        if (closed)
            drawClosed(path);
        else
            drawOpen(path);
    }
    // points: the start, then three for each curve; with fromPosition, only the threes.
    void bezier(const QPolygonF& points, bool fromPosition) {
        QPainterPath path(fromPosition ? m_dc.position
                                       : (points.isEmpty() ? QPointF() : points[0]));
        qsizetype i = fromPosition ? 0 : 1;
        for (; i + 2 < points.size(); i += 3) path.cubicTo(points[i], points[i + 1], points[i + 2]);
        if (fromPosition) {
            m_dc.position = path.currentPosition();
            if (m_recording) {
                startFigureAtPosition();
                m_path.connectPath(toImage().map(path));
                return;
            }
        }
        drawOpen(path);
    }
    void rectangle(const QRectF& box) {
        QPainterPath path;
        path.addRect(box.normalized());
        drawClosed(path);
    }
    void roundRect(const QRectF& box, QSizeF corner) {
        QPainterPath path;
        path.addRoundedRect(box.normalized(), std::fabs(corner.width()) / 2,
                            std::fabs(corner.height()) / 2);
        drawClosed(path);
    }
    void ellipse(const QRectF& box) {
        QPainterPath path;
        path.addEllipse(box.normalized());
        drawClosed(path);
    }

    enum class ArcKind { Arc, Chord, Pie, ArcTo };
    // Arcs run from the ray through start to the ray through end, counter-clockwise as
    // seen on the picture unless the arc direction says otherwise.
    void arc(ArcKind kind, QRectF box, QPointF start, QPointF end) {
        box = box.normalized();
        if (box.width() <= 0 || box.height() <= 0) return;
        const QPointF c = box.center();
        const double rx = box.width() / 2;
        const double ry = box.height() / 2;
        auto angle = [&](QPointF p) {
            return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180.0 / M_PI;
        };
        const double from = angle(start);
        const double to = angle(end);
        bool counterClockwise = !m_dc.clockwise;
        if (toImage().determinant() < 0) counterClockwise = !counterClockwise;
        double sweep = std::fmod(counterClockwise ? to - from : from - to, 360.0);
        if (sweep <= 0) sweep += 360.0;
        if (!counterClockwise) sweep = -sweep;

        QPainterPath path;
        switch (kind) {
            case ArcKind::Arc:
                path.arcMoveTo(box, from);
                path.arcTo(box, from, sweep);
                drawOpen(path);
                break;
            case ArcKind::ArcTo: {
                QPainterPath arcPath;
                arcPath.arcMoveTo(box, from);
                lineTo(arcPath.currentPosition());
                arcPath.arcTo(box, from, sweep);
                arcTail(arcPath);
                break;
            }
            case ArcKind::Chord:
                path.arcMoveTo(box, from);
                path.arcTo(box, from, sweep);
                path.closeSubpath();
                drawClosed(path);
                break;
            case ArcKind::Pie:
                path.moveTo(c);
                path.arcTo(box, from, sweep);
                path.closeSubpath();
                drawClosed(path);
                break;
        }
    }
    // An arc that continues from the current position, which it then leaves at its end.
    void arcTail(const QPainterPath& arcPath) {
        if (m_recording) {
            startFigureAtPosition();
            m_path.connectPath(toImage().map(arcPath));
        } else {
            drawOpen(arcPath);
        }
        m_dc.position = arcPath.currentPosition();
    }
    void angleArc(QPointF centre, double radius, double start, double sweep) {
        if (!finite(start) || !finite(sweep) || radius <= 0) return;
        if (toImage().determinant() < 0) {
            start = -start;
            sweep = -sweep;
        }
        sweep = std::clamp(sweep, -3600.0, 3600.0);
        const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
        QPainterPath arcPath;
        arcPath.arcMoveTo(box, start);
        lineTo(arcPath.currentPosition());
        arcPath.arcTo(box, start, sweep);
        arcTail(arcPath);
    }
    void setPixel(QPointF p, QColor color) {
        if (m_recording) return;
        prepare(false);
        const QPointF at = toImage().map(p);
        if (!m_limit.contains(at)) return;
        m_painter.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), color);
    }

    // --- Paths (EMF) ---

    void beginPath() {
        m_path = QPainterPath();
        m_recording = true;
        m_figureOpen = false;
    }
    void endPath() { m_recording = false; }
    void abortPath() {
        m_path = QPainterPath();
        m_recording = false;
    }
    void closeFigure() {
        if (!m_recording) return;
        m_path.closeSubpath();
        m_figureOpen = false;
    }
    void drawPath(bool fill, bool stroke) {
        if (m_recording) return;
        QPainterPath path = m_path;
        m_path = QPainterPath();
        path.setFillRule(m_dc.fillRule);
        prepare(false);
        m_painter.setPen(stroke ? pen(std::sqrt(std::fabs(toImage().determinant())))
                                : QPen(Qt::NoPen));
        m_painter.setBrush(fill ? brush() : QBrush(Qt::NoBrush));
        m_painter.drawPath(path);
    }
    void widenPath() {
        if (m_recording) return;
        QPainterPathStroker stroker(pen(std::sqrt(std::fabs(toImage().determinant()))));
        stroker.setWidth(std::max<qreal>(1, stroker.width()));
        m_path = stroker.createStroke(m_path);
    }
    void selectClipPath(std::uint32_t mode) {
        if (m_recording) return;
        QRegion region;
        for (const QPolygonF& polygon : m_path.toSubpathPolygons()) {
            QPolygon points;
            points.reserve(polygon.size());
            for (const QPointF& p : polygon) points.append(clampedPoint(p));
            region ^= QRegion(points, m_dc.fillRule);
        }
        m_path = QPainterPath();
        combineClip(region, mode);
    }
    QPoint clampedPoint(QPointF p) const {
        return QPoint(int(std::lround(std::clamp(p.x(), m_limit.left(), m_limit.right()))),
                      int(std::lround(std::clamp(p.y(), m_limit.top(), m_limit.bottom()))));
    }

    // --- Text ---

    QFont qtFont(double pixels) const {
        const Font& f = m_dc.font;
        QFont font(f.face.isEmpty() ? QStringLiteral("Sans Serif") : f.face);
        switch (f.pitchAndFamily & 0xF0) {
            case 0x10:
                font.setStyleHint(QFont::Serif);
                break;
            case 0x30:
                font.setStyleHint(QFont::TypeWriter);
                break;
            case 0x40:
                font.setStyleHint(QFont::Cursive);
                break;
            case 0x50:
                font.setStyleHint(QFont::Decorative);
                break;
            default:
                font.setStyleHint((f.pitchAndFamily & 3) == 1 ? QFont::TypeWriter
                                                              : QFont::SansSerif);
        }
        font.setPixelSize(std::max(1, int(std::lround(pixels))));
        font.setWeight(
            static_cast<QFont::Weight>(std::clamp(f.weight == 0 ? 400 : f.weight, 1, 1000)));
        font.setItalic(f.italic);
        font.setUnderline(f.underline);
        font.setStrikeOut(f.strikeOut);
        return font;
    }

    // dx: the advance of each character in logical units (may be empty).
    void text(QPointF at, const QString& text, const std::vector<double>& dx, std::uint32_t options,
              const std::optional<QRectF>& box) {
        const QTransform t = toImage();
        if (box && (options & kEtoOpaque) && !m_recording) {
            prepare(true);
            m_painter.fillRect(box->normalized(), m_dc.bkColor);
        }
        if (text.isEmpty() || (options & kEtoGlyphIndex)) return;
        const bool fromPosition = (m_dc.textAlign & kTaUpdateCp) != 0;
        if (fromPosition) at = m_dc.position;

        // Text runs along the mapped x axis and stands upright, whatever the y axis does.
        const double sx = std::hypot(t.m11(), t.m12());
        const double sy = std::hypot(t.m21(), t.m22());
        if (!(sx > 0) || !(sy > 0) || !finite(sx) || !finite(sy)) return;
        const Font& f = m_dc.font;
        double pixels = f.height == 0 ? 12 * m_naturalScale : std::fabs(f.height) * sy;
        if (!(pixels >= 1)) return;
        pixels = std::min(pixels, kMaxTextPixels);
        QFont font = qtFont(pixels);
        if (f.height > 0) {  // the cell height: the glyphs are a little smaller
            const double cell = QFontMetricsF(font).height();
            if (cell > 0) font = qtFont(std::max(1.0, pixels * pixels / cell));
        }
        const QFontMetricsF metrics(font);

        std::vector<double> offsets;
        double width = 0;
        if (!dx.empty() && dx.size() >= static_cast<std::size_t>(text.size())) {
            for (qsizetype i = 0; i < text.size(); ++i) {
                offsets.push_back(width);
                width += dx[static_cast<std::size_t>(i)] * sx;
            }
        } else {
            width = metrics.horizontalAdvance(text);
        }
        double x = 0;
        if ((m_dc.textAlign & 6) == 6)
            x = -width / 2;
        else if ((m_dc.textAlign & 6) == 2)
            x = -width;
        double baseline = metrics.ascent();
        if ((m_dc.textAlign & 24) == 24)
            baseline = 0;
        else if ((m_dc.textAlign & 24) == 8)
            baseline = -metrics.descent();

        const QPointF origin = t.map(at);
        const double flip = t.determinant() < 0 ? -1 : 1;
        QTransform textSpace(t.m11() / sx, t.m12() / sx, flip * t.m21() / sy, flip * t.m22() / sy,
                             origin.x(), origin.y());
        QTransform rotation;
        rotation.rotate(-f.escapement / 10.0);
        textSpace = rotation * textSpace;

        if (m_recording) {
            QPainterPath glyphs;
            glyphs.addText(QPointF(x, baseline), font, text);
            m_path.addPath(textSpace.map(glyphs));
        } else {
            prepare(false);
            m_painter.save();
            if (box && (options & kEtoClipped)) {
                m_painter.setTransform(t);
                m_painter.setClipRect(box->normalized(), Qt::IntersectClip);
            }
            m_painter.setTransform(textSpace);
            if (m_dc.opaque)
                m_painter.fillRect(QRectF(x, baseline - metrics.ascent(), width, metrics.height()),
                                   m_dc.bkColor);
            m_painter.setBackgroundMode(Qt::TransparentMode);
            m_painter.setFont(font);
            m_painter.setPen(m_dc.textColor);
            if (offsets.empty()) {
                m_painter.drawText(QPointF(x, baseline), text);
            } else {
                for (qsizetype i = 0; i < text.size(); ++i) {
                    const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
                    m_painter.drawText(QPointF(x + offsets[static_cast<std::size_t>(i)], baseline),
                                       text.mid(i, pair ? 2 : 1));
                    if (pair) ++i;
                }
            }
            m_painter.restore();
        }
        if (fromPosition) {
            bool invertible = false;
            const QTransform back = t.inverted(&invertible);
            if (invertible) m_dc.position = back.map(textSpace.map(QPointF(x + width, 0)));
        }
    }

    // --- Bitmaps and raster operations ---

    // Draws source (pixels of image, top-down) into dest (logical; a negative side mirrors).
    void bitmap(const QImage& image, const QRectF& dest, QRectF source, std::uint32_t rop) {
        const auto mode = ropMode(rop);
        if (!mode || image.isNull() || m_recording) return;
        source = source.normalized().intersected(QRectF(image.rect()));
        const QRect from = source.toAlignedRect() & image.rect();
        if (from.isEmpty() || dest.width() == 0 || dest.height() == 0) return;
        if (!finite(dest.width()) || !finite(dest.height())) return;
        prepare(true);
        const QTransform place(dest.width() / from.width(), 0, 0, dest.height() / from.height(),
                               dest.x(), dest.y());
        m_painter.setTransform(place * toImage());
        m_painter.setCompositionMode(*mode);
        m_painter.drawImage(QPointF(0, 0), image, QRectF(from));
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    // A raster operation without a source bitmap (PatBlt).
    void patternBlt(const QRectF& dest, std::uint32_t rop) {
        if (m_recording) return;
        prepare(true);
        const QRectF box = dest.normalized();
        switch ((rop >> 16) & 0xFF) {
            case 0xF0:  // PATCOPY
                m_painter.fillRect(box, brush());
                break;
            case 0x00:  // BLACKNESS
                m_painter.fillRect(box, Qt::black);
                break;
            case 0xFF:  // WHITENESS
                m_painter.fillRect(box, Qt::white);
                break;
            case 0x55:  // DSTINVERT
                m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
                m_painter.fillRect(box, Qt::black);
                break;
            case 0x5A:  // PATINVERT
                m_painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
                m_painter.fillRect(box, brush());
                break;
            default:
                break;
        }
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    void gradientRect(const QRectF& box, QColor from, QColor to, bool vertical) {
        if (m_recording) return;
        prepare(true);
        const QRectF r = box.normalized();
        QLinearGradient gradient(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
        gradient.setColorAt(0, from);
        gradient.setColorAt(1, to);
        m_painter.fillRect(r, gradient);
    }
    void fillPolygon(const QPolygonF& points, QColor color) {
        if (m_recording) return;
        prepare(true);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(color);
        m_painter.drawPolygon(points);
    }

    QPainter& m_painter;
    const QRectF m_target;
    const QRectF m_limit;
    const double m_naturalScale;  // target pixels per pixel of the picture's own size
    const bool m_clipping;
    DcState m_dc;

private:
    std::vector<DcState> m_saved;
    bool m_clipDirty = true;
    bool m_recording = false;
    bool m_figureOpen = false;
    QPainterPath m_path;  // image pixels
    QElapsedTimer m_clock;
    std::uint64_t m_records = 0;
    bool m_expired = false;
};

// --- WMF --------------------------------------------------------------------------------

// Calls take(function, parameters) for every record from first on, up to META_EOF;
// take returns false to stop. Throws BrokenMetafile when a record does not fit.
template <typename Take>
void forEachWmfRecord(std::string_view data, std::size_t first, Take&& take) {
    const Fields all(data);
    std::size_t at = first;
    while (at < data.size()) {
        if (data.size() - at < 6) throw BrokenMetafile("the last record is cut short");
        const std::uint64_t bytes = std::uint64_t(all.u32(at)) * 2;
        const std::uint16_t function = all.u16(at + 4);
        if (bytes < 6) throw BrokenMetafile("a record has an impossible size");
        if (bytes > data.size() - at)
            throw BrokenMetafile("a record runs past the end of the file");
        if (function == 0) return;  // META_EOF
        if (!take(function, Fields(data.substr(at + 6, static_cast<std::size_t>(bytes) - 6))))
            return;
        at += static_cast<std::size_t>(bytes);
    }
}

class WmfPlayer final : public Player {
public:
    WmfPlayer(QPainter& painter, const QRectF& target, const QRectF& frame, int objects,
              double naturalScale, bool clipping)
        : Player(painter, target, naturalScale, clipping),
          m_objects(static_cast<std::size_t>(objects)),
          m_used(static_cast<std::size_t>(objects), false) {
        m_dc.windowOrg = frame.topLeft();
        m_dc.windowExt = frame.size();
        for (int i = 0; i < objects; ++i) m_free.insert(m_free.end(), i);
    }

    void record(std::uint16_t function, const Fields& p) {
        // Most records list their arguments last one first: Y before X, bottom before top.
        auto point = [&](std::size_t word) {
            return QPointF(p.i16(2 * word + 2), p.i16(2 * word));
        };
        auto box = [&](std::size_t word) {  // bottom, right, top, left
            return QRectF(QPointF(p.i16(2 * word + 6), p.i16(2 * word + 4)),
                          QPointF(p.i16(2 * word + 2), p.i16(2 * word)));
        };
        switch (function) {
            case 0x0201:  // META_SETBKCOLOR
                m_dc.bkColor = colorRef(p.u32(0));
                break;
            case 0x0209:  // META_SETTEXTCOLOR
                m_dc.textColor = colorRef(p.u32(0));
                break;
            case 0x0102:  // META_SETBKMODE
                m_dc.opaque = p.u16(0) == 2;
                break;
            case 0x0106:  // META_SETPOLYFILLMODE
                m_dc.fillRule = p.u16(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
                break;
            case 0x012E:  // META_SETTEXTALIGN
                m_dc.textAlign = p.u16(0);
                break;
            case 0x020B:  // META_SETWINDOWORG
                m_dc.windowOrg = point(0);
                break;
            case 0x020C: {  // META_SETWINDOWEXT
                const QPointF ext = point(0);
                if (ext.x() != 0 && ext.y() != 0) m_dc.windowExt = QSizeF(ext.x(), ext.y());
                break;
            }
            case 0x020F:  // META_OFFSETWINDOWORG
                m_dc.windowOrg += point(0);
                break;
            case 0x0410: {  // META_SCALEWINDOWEXT: yDenom, yNum, xDenom, xNum
                const int yDenom = p.i16(0), yNum = p.i16(2), xDenom = p.i16(4), xNum = p.i16(6);
                if (yDenom != 0 && xDenom != 0 && yNum != 0 && xNum != 0)
                    m_dc.windowExt = QSizeF(m_dc.windowExt.width() * xNum / xDenom,
                                            m_dc.windowExt.height() * yNum / yDenom);
                break;
            }
            case 0x0214:  // META_MOVETO
                moveTo(point(0));
                break;
            case 0x0213:  // META_LINETO
                lineTo(point(0));
                break;
            case 0x041B:  // META_RECTANGLE
                rectangle(box(0));
                break;
            case 0x0418:  // META_ELLIPSE
                ellipse(box(0));
                break;
            case 0x061C:  // META_ROUNDRECT: height, width, then the box
                roundRect(box(2), QSizeF(p.i16(2), p.i16(0)));
                break;
            case 0x0817:  // META_ARC: end, start, box
                arc(ArcKind::Arc, box(4), point(2), point(0));
                break;
            case 0x0830:  // META_CHORD
                arc(ArcKind::Chord, box(4), point(2), point(0));
                break;
            case 0x081A:  // META_PIE
                arc(ArcKind::Pie, box(4), point(2), point(0));
                break;
            case 0x041F:  // META_SETPIXEL: colour, y, x
                setPixel(point(2), colorRef(p.u32(0)));
                break;
            case 0x0324:  // META_POLYGON
                polygon(points(p, 2, count(p, 0)));
                break;
            case 0x0325:  // META_POLYLINE
                polyline(points(p, 2, count(p, 0)));
                break;
            case 0x0538: {  // META_POLYPOLYGON
                const std::size_t polygons = p.u16(0);
                std::size_t at = 2 + polygons * 2;
                std::vector<QPolygonF> all;
                for (std::size_t i = 0; i < polygons; ++i) {
                    const std::size_t n = p.u16(2 + i * 2);
                    all.push_back(points(p, at, n));
                    at += n * 4;
                }
                polyPolygon(all, true);
                break;
            }
            case 0x061D:  // META_PATBLT: rop, height, width, y, x
                patternBlt(QRectF(p.i16(10), p.i16(8), p.i16(6), p.i16(4)), p.u32(0));
                break;
            case 0x0416:  // META_INTERSECTCLIPRECT
                intersectClip(box(0));
                break;
            case 0x0415:  // META_EXCLUDECLIPRECT
                excludeClip(box(0));
                break;
            case 0x001E:  // META_SAVEDC
                saveDc();
                break;
            case 0x0127:  // META_RESTOREDC
                restoreDc(p.i16(0));
                break;
            case 0x012D: {  // META_SELECTOBJECT
                const std::size_t index = p.u16(0);
                if (index < m_objects.size() && m_used[index]) selectObject(m_objects[index]);
                break;
            }
            case 0x01F0: {  // META_DELETEOBJECT
                const std::size_t index = p.u16(0);
                if (index < m_objects.size() && m_used[index]) {
                    m_objects[index] = std::monostate();
                    m_used[index] = false;
                    m_free.insert(static_cast<int>(index));
                }
                break;
            }
            case 0x02FA:  // META_CREATEPENINDIRECT: style, width (x, y), colour
                create(makePen(p.u16(0), p.i16(2), colorRef(p.u32(6))));
                break;
            case 0x02FC:  // META_CREATEBRUSHINDIRECT: style, colour, hatch
                create(makeBrush(p.u16(0), colorRef(p.u32(2)), p.u16(6)));
                break;
            case 0x02FB:  // META_CREATEFONTINDIRECT
                create(font(p));
                break;
            case 0x0142: {  // META_DIBCREATEPATTERNBRUSH: style, colour usage, DIB
                Brush brush = makeBrush(3, Qt::gray, 0);
                const std::string_view dib = p.bytes(4, p.size() - 4);
                const std::size_t info = dibInfoSize(dib);
                if (const auto picture = decodeDib(dib.substr(0, info), dib.substr(info))) {
                    brush.kind = Brush::Pattern;
                    brush.pattern = picture->image;
                }
                create(brush);
                break;
            }
            case 0x00F7:  // META_CREATEPALETTE
            case 0x01F9:  // META_CREATEPATTERNBRUSH
            case 0x06FF:  // META_CREATEREGION
                create(std::monostate());
                break;
            case 0x0521: {  // META_TEXTOUT: length, string, y, x
                const int length = p.i16(0);
                if (length < 0) throw BrokenMetafile("a text has a negative length");
                const std::size_t after = 2 + ((std::size_t(length) + 1) & ~std::size_t(1));
                text(QPointF(p.i16(after + 2), p.i16(after)),
                     fromAnsi(p.bytes(2, std::size_t(length))), {}, 0, std::nullopt);
                break;
            }
            case 0x0A32:  // META_EXTTEXTOUT
                extTextOut(p);
                break;
            case 0x0940:  // META_DIBBITBLT
                dibBitBlt(p, function);
                break;
            case 0x0B41:  // META_DIBSTRETCHBLT
                dibStretchBlt(p, function);
                break;
            case 0x0F43: {  // META_STRETCHDIB: rop, usage, source h, w, y, x, dest h, w, y, x
                if (p.u16(4) != 0) break;  // palette indexes instead of colours
                const QRectF dest(p.i16(20), p.i16(18), p.i16(16), p.i16(14));
                const QRectF source(p.i16(12), p.i16(10), p.i16(8), p.i16(6));
                drawDib(p.bytes(22, p.size() - 22), dest, source, p.u32(0), true);
                break;
            }
            case 0x0D33: {  // META_SETDIBTODEV: usage, scans, start, dib y, x, h, w, dest y, x
                if (p.u16(0) != 0) break;
                const QRectF dest(p.i16(16), p.i16(14), p.i16(12), p.i16(10));
                const QRectF source(p.i16(8), p.i16(6), p.i16(12), p.i16(10));
                drawDib(p.bytes(18, p.size() - 18), dest, source, 0x00CC0020, true);
                break;
            }
            default:
                break;  // not drawn: mapping records the player owns, palettes, escapes...
        }
    }

protected:
    QTransform pageToImage() const override {
        const double sx = m_target.width() / m_dc.windowExt.width();
        const double sy = m_target.height() / m_dc.windowExt.height();
        return QTransform(sx, 0, 0, sy, m_target.left() - m_dc.windowOrg.x() * sx,
                          m_target.top() - m_dc.windowOrg.y() * sy);
    }

private:
    static std::size_t count(const Fields& p, std::size_t at) {
        const int n = p.i16(at);
        if (n < 0) throw BrokenMetafile("a shape has a negative number of points");
        return static_cast<std::size_t>(n);
    }
    static QPolygonF points(const Fields& p, std::size_t at, std::size_t n) {
        if (!p.has(at, std::uint64_t(n) * 4))
            throw BrokenMetafile("a shape's points are cut short");
        QPolygonF result;
        result.reserve(static_cast<qsizetype>(n));
        for (std::size_t i = 0; i < n; ++i)
            result.append(QPointF(p.i16(at + i * 4), p.i16(at + i * 4 + 2)));
        return result;
    }
    static Font font(const Fields& p) {
        Font f;
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

    void create(GdiObject object) {
        // Some writers leave the table's size at 0: the table grows rather than refuse.
        if (m_free.empty() && m_objects.size() < kMaxWmfObjects) {
            m_free.insert(static_cast<int>(m_objects.size()));
            m_objects.emplace_back();
            m_used.push_back(false);
        }
        if (m_free.empty()) return;
        const int slot = *m_free.begin();
        m_free.erase(m_free.begin());
        m_objects[static_cast<std::size_t>(slot)] = std::move(object);
        m_used[static_cast<std::size_t>(slot)] = true;
    }

    void extTextOut(const Fields& p) {
        const QPointF at(p.i16(2), p.i16(0));
        const int length = p.i16(4);
        if (length < 0) throw BrokenMetafile("a text has a negative length");
        const std::uint32_t options = p.u16(6);
        std::size_t offset = 8;
        std::optional<QRectF> box;
        if (options & (kEtoOpaque | kEtoClipped)) {
            box = QRectF(QPointF(p.i16(8), p.i16(10)), QPointF(p.i16(12), p.i16(14)));
            offset += 8;
        }
        const QString string = fromAnsi(p.bytes(offset, std::size_t(length)));
        offset += (std::size_t(length) + 1) & ~std::size_t(1);
        std::vector<double> dx;
        if (p.has(offset, std::uint64_t(length) * 2))
            for (int i = 0; i < length; ++i) dx.push_back(p.i16(offset + std::size_t(i) * 2));
        text(at, string, dx, options, box);
    }

    // The records without a bitmap are one word longer than their function says.
    static bool hasBitmap(const Fields& p, std::uint16_t function) {
        return (p.size() + 6) / 2 != std::size_t((function >> 8) + 3);
    }
    void dibBitBlt(const Fields& p, std::uint16_t function) {
        // rop, source y, x, [reserved], height, width, dest y, x, DIB
        const std::uint32_t rop = p.u32(0);
        if (!hasBitmap(p, function)) {
            patternBlt(QRectF(p.i16(16), p.i16(14), p.i16(12), p.i16(10)), rop);
            return;
        }
        const QRectF dest(p.i16(14), p.i16(12), p.i16(10), p.i16(8));
        const QRectF source(p.i16(6), p.i16(4), p.i16(10), p.i16(8));
        drawDib(p.bytes(16, p.size() - 16), dest, source, rop, false);
    }
    void dibStretchBlt(const Fields& p, std::uint16_t function) {
        // rop, source h, w, y, x, [reserved], dest h, w, y, x, DIB
        const std::uint32_t rop = p.u32(0);
        if (!hasBitmap(p, function)) {
            patternBlt(QRectF(p.i16(20), p.i16(18), p.i16(16), p.i16(14)), rop);
            return;
        }
        const QRectF dest(p.i16(18), p.i16(16), p.i16(14), p.i16(12));
        const QRectF source(p.i16(10), p.i16(8), p.i16(6), p.i16(4));
        drawDib(p.bytes(20, p.size() - 20), dest, source, rop, false);
    }
    // fromBottom: the source rectangle counts its rows from a bottom-up DIB's last row.
    void drawDib(std::string_view dib, const QRectF& dest, QRectF source, std::uint32_t rop,
                 bool fromBottom) {
        const std::size_t info = dibInfoSize(dib);
        const auto picture = decodeDib(dib.substr(0, info), dib.substr(info));
        if (!picture) return;
        if (fromBottom && picture->bottomUp)
            source.moveTop(picture->image.height() - source.top() - source.height());
        bitmap(picture->image, dest, source, rop);
    }

    std::vector<GdiObject> m_objects;
    std::vector<bool> m_used;
    std::set<int> m_free;
};

// --- EMF --------------------------------------------------------------------------------

template <typename Take>
void forEachEmfRecord(std::string_view data, std::size_t first, Take&& take) {
    const Fields all(data);
    std::size_t at = first;
    while (at < data.size()) {
        if (data.size() - at < 8) throw BrokenMetafile("the last record is cut short");
        const std::uint32_t type = all.u32(at);
        const std::uint32_t size = all.u32(at + 4);
        if (size < 8 || size % 4 != 0) throw BrokenMetafile("a record has an impossible size");
        if (size > data.size() - at) throw BrokenMetafile("a record runs past the end of the file");
        if (type == 14) return;  // EMR_EOF
        if (!take(type, Fields(data.substr(at, size)))) return;
        at += size;
    }
}

class EmfPlayer final : public Player {
public:
    EmfPlayer(QPainter& painter, const QRectF& target, const QRectF& frame, double pixelsPerMmX,
              double pixelsPerMmY, int handles, double naturalScale)
        : Player(painter, target, naturalScale, true),
          m_objects(static_cast<std::size_t>(handles)),
          m_pixelsPerMmX(pixelsPerMmX),
          m_pixelsPerMmY(pixelsPerMmY) {
        const double sx = target.width() / frame.width();
        const double sy = target.height() / frame.height();
        m_deviceToImage = QTransform(sx, 0, 0, sy, target.left() - frame.left() * sx,
                                     target.top() - frame.top() * sy);
    }

    void record(std::uint32_t type, const Fields& r) {
        auto point = [&](std::size_t at) { return QPointF(r.i32(at), r.i32(at + 4)); };
        auto box = [&](std::size_t at) {  // left, top, right, bottom
            return QRectF(point(at), point(at + 8));
        };
        switch (type) {
            case 2:  // EMR_POLYBEZIER
                bezier(points(r, 24, false), false);
                break;
            case 3:  // EMR_POLYGON
                polygon(points(r, 24, false));
                break;
            case 4:  // EMR_POLYLINE
                polyline(points(r, 24, false));
                break;
            case 5:  // EMR_POLYBEZIERTO
                bezier(points(r, 24, false), true);
                break;
            case 6:  // EMR_POLYLINETO
                polylineTo(points(r, 24, false));
                break;
            case 85:  // EMR_POLYBEZIER16
                bezier(points(r, 24, true), false);
                break;
            case 86:  // EMR_POLYGON16
                polygon(points(r, 24, true));
                break;
            case 87:  // EMR_POLYLINE16
                polyline(points(r, 24, true));
                break;
            case 88:  // EMR_POLYBEZIERTO16
                bezier(points(r, 24, true), true);
                break;
            case 89:  // EMR_POLYLINETO16
                polylineTo(points(r, 24, true));
                break;
            case 7:  // EMR_POLYPOLYLINE
                polyPolygon(polyPoints(r, false), false);
                break;
            case 8:  // EMR_POLYPOLYGON
                polyPolygon(polyPoints(r, false), true);
                break;
            case 90:  // EMR_POLYPOLYLINE16
                polyPolygon(polyPoints(r, true), false);
                break;
            case 91:  // EMR_POLYPOLYGON16
                polyPolygon(polyPoints(r, true), true);
                break;
            case 9:  // EMR_SETWINDOWEXTEX
                if (r.i32(8) != 0 && r.i32(12) != 0) m_dc.windowExt = QSizeF(r.i32(8), r.i32(12));
                break;
            case 10:  // EMR_SETWINDOWORGEX
                m_dc.windowOrg = point(8);
                break;
            case 11:  // EMR_SETVIEWPORTEXTEX
                if (r.i32(8) != 0 && r.i32(12) != 0) m_dc.viewportExt = QSizeF(r.i32(8), r.i32(12));
                break;
            case 12:  // EMR_SETVIEWPORTORGEX
                m_dc.viewportOrg = point(8);
                break;
            case 31:  // EMR_SCALEVIEWPORTEXTEX
                m_dc.viewportExt = scaled(m_dc.viewportExt, r);
                break;
            case 32:  // EMR_SCALEWINDOWEXTEX
                m_dc.windowExt = scaled(m_dc.windowExt, r);
                break;
            case 15:  // EMR_SETPIXELV
                setPixel(point(8), colorRef(r.u32(16)));
                break;
            case 17: {  // EMR_SETMAPMODE
                const std::uint32_t mode = r.u32(8);
                if (mode >= 1 && mode <= 8) m_dc.mapMode = static_cast<int>(mode);
                break;
            }
            case 18:  // EMR_SETBKMODE
                m_dc.opaque = r.u32(8) == 2;
                break;
            case 19:  // EMR_SETPOLYFILLMODE
                m_dc.fillRule = r.u32(8) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
                break;
            case 22:  // EMR_SETTEXTALIGN
                m_dc.textAlign = r.u32(8);
                break;
            case 24:  // EMR_SETTEXTCOLOR
                m_dc.textColor = colorRef(r.u32(8));
                break;
            case 25:  // EMR_SETBKCOLOR
                m_dc.bkColor = colorRef(r.u32(8));
                break;
            case 27:  // EMR_MOVETOEX
                moveTo(point(8));
                break;
            case 54:  // EMR_LINETO
                lineTo(point(8));
                break;
            case 29:  // EMR_EXCLUDECLIPRECT
                excludeClip(box(8));
                break;
            case 30:  // EMR_INTERSECTCLIPRECT
                intersectClip(box(8));
                break;
            case 33:  // EMR_SAVEDC
                saveDc();
                break;
            case 34:  // EMR_RESTOREDC
                restoreDc(r.i32(8));
                break;
            case 35:  // EMR_SETWORLDTRANSFORM
                if (const auto t = transform(r, 8)) m_dc.world = *t;
                break;
            case 36:  // EMR_MODIFYWORLDTRANSFORM
                modifyWorld(r);
                break;
            case 37: {  // EMR_SELECTOBJECT
                const std::uint32_t index = r.u32(8);
                if (index & 0x80000000u)
                    selectStock(index);
                else if (index < m_objects.size())
                    selectObject(m_objects[index]);
                break;
            }
            case 40: {  // EMR_DELETEOBJECT
                const std::uint32_t index = r.u32(8);
                if (index < m_objects.size()) m_objects[index] = std::monostate();
                break;
            }
            case 38:  // EMR_CREATEPEN: handle, style, width (x, y), colour
                store(r.u32(8), makePen(r.u32(12), r.i32(16), colorRef(r.u32(24))));
                break;
            case 39:  // EMR_CREATEBRUSHINDIRECT: handle, style, colour, hatch
                store(r.u32(8), makeBrush(r.u32(12), colorRef(r.u32(16)), r.u32(20)));
                break;
            case 95:  // EMR_EXTCREATEPEN
                extCreatePen(r);
                break;
            case 82:  // EMR_EXTCREATEFONTINDIRECTW
                store(r.u32(8), font(r));
                break;
            case 93:    // EMR_CREATEMONOBRUSH
            case 94: {  // EMR_CREATEDIBPATTERNBRUSHPT
                Brush brush = makeBrush(3, Qt::gray, 0);
                if (const auto picture = dib(r, 16, 20, 24, 28, r.u32(12))) {
                    brush.kind = Brush::Pattern;
                    brush.pattern = picture->image;
                }
                store(r.u32(8), brush);
                break;
            }
            case 41:  // EMR_ANGLEARC
                angleArc(point(8), r.u32(16), r.f32(20), r.f32(24));
                break;
            case 42:  // EMR_ELLIPSE
                ellipse(box(8));
                break;
            case 43:  // EMR_RECTANGLE
                rectangle(box(8));
                break;
            case 44:  // EMR_ROUNDRECT
                roundRect(box(8), QSizeF(r.i32(24), r.i32(28)));
                break;
            case 45:  // EMR_ARC
                arc(ArcKind::Arc, box(8), point(24), point(32));
                break;
            case 46:  // EMR_CHORD
                arc(ArcKind::Chord, box(8), point(24), point(32));
                break;
            case 47:  // EMR_PIE
                arc(ArcKind::Pie, box(8), point(24), point(32));
                break;
            case 55:  // EMR_ARCTO
                arc(ArcKind::ArcTo, box(8), point(24), point(32));
                break;
            case 57:  // EMR_SETARCDIRECTION
                m_dc.clockwise = r.u32(8) == 2;
                break;
            case 59:  // EMR_BEGINPATH
                beginPath();
                break;
            case 60:  // EMR_ENDPATH
                endPath();
                break;
            case 61:  // EMR_CLOSEFIGURE
                closeFigure();
                break;
            case 62:  // EMR_FILLPATH
                drawPath(true, false);
                break;
            case 63:  // EMR_STROKEANDFILLPATH
                drawPath(true, true);
                break;
            case 64:  // EMR_STROKEPATH
                drawPath(false, true);
                break;
            case 66:  // EMR_WIDENPATH
                widenPath();
                break;
            case 67:  // EMR_SELECTCLIPPATH
                selectClipPath(r.u32(8));
                break;
            case 68:  // EMR_ABORTPATH
                abortPath();
                break;
            case 75:  // EMR_EXTSELECTCLIPRGN
                selectClipRegion(r);
                break;
            case 76:  // EMR_BITBLT
            case 77:  // EMR_STRETCHBLT
                bitBlt(r, type == 77);
                break;
            case 80: {  // EMR_SETDIBITSTODEVICE
                const QRectF source(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
                const QRectF dest(r.i32(24), r.i32(28), r.i32(40), r.i32(44));
                if (const auto picture = dib(r, 48, 52, 56, 60, r.u32(64)))
                    bitmap(picture->image, dest, fromBottom(*picture, source), 0x00CC0020);
                break;
            }
            case 81: {  // EMR_STRETCHDIBITS
                const QRectF source(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
                const QRectF dest(r.i32(24), r.i32(28), r.i32(72), r.i32(76));
                if (const auto picture = dib(r, 48, 52, 56, 60, r.u32(64)))
                    bitmap(picture->image, dest, fromBottom(*picture, source), r.u32(68));
                break;
            }
            case 83:  // EMR_EXTTEXTOUTA
            case 84:  // EMR_EXTTEXTOUTW
                extTextOut(r, type == 84);
                break;
            case 108:  // EMR_SMALLTEXTOUT
                smallTextOut(r);
                break;
            case 118:  // EMR_GRADIENTFILL
                gradientFill(r);
                break;
            default:
                break;  // comments (EMF+ among them), palettes, colour management, ...
        }
    }

protected:
    QTransform pageToImage() const override { return pageToDevice() * m_deviceToImage; }

private:
    QTransform pageToDevice() const {
        double sx = 1;
        double sy = 1;
        const double units[9] = {0, 0, 0.1, 0.01, 0.254, 0.0254, kMmPerInch / 1440, 0, 0};
        switch (m_dc.mapMode) {
            case 2:
            case 3:
            case 4:
            case 5:
            case 6:
                sx = m_pixelsPerMmX * units[m_dc.mapMode];
                sy = -m_pixelsPerMmY * units[m_dc.mapMode];
                break;
            case 7:
            case 8:
                sx = m_dc.viewportExt.width() / m_dc.windowExt.width();
                sy = m_dc.viewportExt.height() / m_dc.windowExt.height();
                if (m_dc.mapMode == 7) {  // isotropic: the smaller scale on both axes
                    const double s = std::min(std::fabs(sx), std::fabs(sy));
                    sx = std::copysign(s, sx);
                    sy = std::copysign(s, sy);
                }
                break;
            default:
                break;
        }
        return QTransform(sx, 0, 0, sy, m_dc.viewportOrg.x() - m_dc.windowOrg.x() * sx,
                          m_dc.viewportOrg.y() - m_dc.windowOrg.y() * sy);
    }

    static QSizeF scaled(QSizeF ext, const Fields& r) {
        const double xNum = r.i32(8), xDenom = r.i32(12), yNum = r.i32(16), yDenom = r.i32(20);
        if (xNum == 0 || xDenom == 0 || yNum == 0 || yDenom == 0) return ext;
        return QSizeF(ext.width() * xNum / xDenom, ext.height() * yNum / yDenom);
    }

    static std::optional<QTransform> transform(const Fields& r, std::size_t at) {
        double m[6];
        for (int i = 0; i < 6; ++i) {
            m[i] = r.f32(at + std::size_t(i) * 4);
            if (!finite(m[i])) return std::nullopt;
        }
        return QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
    }
    void modifyWorld(const Fields& r) {
        const auto t = transform(r, 8);
        if (!t) return;
        switch (r.u32(32)) {
            case 1:  // MWT_IDENTITY
                m_dc.world = QTransform();
                break;
            case 2:  // MWT_LEFTMULTIPLY: the new transform applies first
                m_dc.world = *t * m_dc.world;
                break;
            case 3:  // MWT_RIGHTMULTIPLY
                m_dc.world = m_dc.world * *t;
                break;
            case 4:  // MWT_SET
                m_dc.world = *t;
                break;
            default:
                break;
        }
    }

    // Bounds, count, then the points (32 or 16 bits each coordinate).
    static QPolygonF points(const Fields& r, std::size_t countAt, bool small) {
        const std::uint64_t n = r.u32(countAt);
        return pointsAt(r, countAt + 4, n, small);
    }
    static QPolygonF pointsAt(const Fields& r, std::size_t at, std::uint64_t n, bool small) {
        const std::size_t size = small ? 4 : 8;
        if (!r.has(at, n * size)) throw BrokenMetafile("a shape's points are cut short");
        QPolygonF result;
        result.reserve(static_cast<qsizetype>(n));
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t p = at + i * size;
            result.append(small ? QPointF(r.i16(p), r.i16(p + 2))
                                : QPointF(r.i32(p), r.i32(p + 4)));
        }
        return result;
    }
    // Bounds, polygon count, point count, the polygons' point counts, the points.
    static std::vector<QPolygonF> polyPoints(const Fields& r, bool small) {
        const std::uint64_t polygons = r.u32(24);
        const std::uint64_t total = r.u32(28);
        if (!r.has(32, polygons * 4)) throw BrokenMetafile("a shape's point counts are cut short");
        std::size_t at = static_cast<std::size_t>(32 + polygons * 4);
        std::uint64_t used = 0;
        std::vector<QPolygonF> all;
        for (std::size_t i = 0; i < polygons; ++i) {
            const std::uint64_t n = r.u32(32 + i * 4);
            used += n;
            if (used > total) throw BrokenMetafile("a shape has more points than it says");
            all.push_back(pointsAt(r, at, n, small));
            at += static_cast<std::size_t>(n * (small ? 4 : 8));
        }
        return all;
    }

    void store(std::uint32_t handle, GdiObject object) {
        if (handle != 0 && handle < m_objects.size()) m_objects[handle] = std::move(object);
    }

    static Font font(const Fields& r) {
        Font f;
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
    void extCreatePen(const Fields& r) {
        // handle, bitmap offsets and sizes, then style, width, brush style, colour, hatch,
        // style entries
        const std::uint32_t style = r.u32(28);
        Pen pen = makePen(style, r.u32(32), colorRef(r.u32(40)));
        if (r.u32(36) == 1) pen.style = kPsNull;  // a hollow brush draws nothing
        const std::uint64_t entries = r.u32(48);
        if ((style & 0x0F) == kPsUserStyle && r.has(52, entries * 4))
            for (std::size_t i = 0; i < entries && i < 16; ++i)
                pen.dashes.append(r.u32(52 + i * 4));
        store(r.u32(8), pen);
    }

    std::optional<DibPicture> dib(const Fields& r, std::size_t offBmi, std::size_t cbBmi,
                                  std::size_t offBits, std::size_t cbBits,
                                  std::uint32_t usage) const {
        if (usage != 0) return std::nullopt;  // palette indexes instead of colours
        const std::uint32_t infoSize = r.u32(cbBmi);
        if (infoSize == 0) return std::nullopt;
        return decodeDib(r.bytes(r.u32(offBmi), infoSize), r.bytes(r.u32(offBits), r.u32(cbBits)));
    }
    static QRectF fromBottom(const DibPicture& picture, QRectF source) {
        if (picture.bottomUp)
            source.moveTop(picture.image.height() - source.top() - source.height());
        return source;
    }
    void bitBlt(const Fields& r, bool stretch) {
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const std::uint32_t rop = r.u32(40);
        if (r.u32(88) == 0) {  // no source bitmap: a pattern operation
            patternBlt(dest, rop);
            return;
        }
        QSizeF sourceSize = dest.size();
        if (stretch) sourceSize = QSizeF(r.i32(100), r.i32(104));
        const QRectF source(QPointF(r.i32(44), r.i32(48)), sourceSize);
        if (const auto picture = dib(r, 84, 88, 92, 96, r.u32(80)))
            bitmap(picture->image, dest, source, rop);
    }

    void extTextOut(const Fields& r, bool wide) {
        // bounds, graphics mode, scales, then the text: reference, count, string offset,
        // options, rectangle, advances offset
        const QPointF at(r.i32(36), r.i32(40));
        const std::uint64_t count = r.u32(44);
        const std::uint32_t offString = r.u32(48);
        const std::uint32_t options = r.u32(52);
        const QRectF box(QPointF(r.i32(56), r.i32(60)), QPointF(r.i32(64), r.i32(68)));
        const std::uint32_t offDx = r.u32(72);
        const QString string =
            wide ? fromUtf16(r, offString, count) : fromAnsi(r.bytes(offString, count));
        std::vector<double> dx;
        const std::uint64_t step = (options & kEtoPdy) ? 8 : 4;
        if (offDx != 0 && count > 0 && r.has(offDx, count * step))
            for (std::size_t i = 0; i < count; ++i) dx.push_back(r.i32(offDx + i * step));
        const bool empty = box.width() == 0 && box.height() == 0;
        text(at, string, dx, options, empty ? std::nullopt : std::optional<QRectF>(box));
    }
    void smallTextOut(const Fields& r) {
        const QPointF at(r.i32(8), r.i32(12));
        const std::uint64_t count = r.u32(16);
        const std::uint32_t options = r.u32(20);
        std::size_t offset = 36;
        std::optional<QRectF> box;
        if (!(options & kEtoNoRect)) {
            box = QRectF(QPointF(r.i32(36), r.i32(40)), QPointF(r.i32(44), r.i32(48)));
            offset += 16;
        }
        const QString string = (options & kEtoSmallChars) ? fromAnsi(r.bytes(offset, count))
                                                          : fromUtf16(r, offset, count);
        text(at, string, {}, options, box);
    }

    void selectClipRegion(const Fields& r) {
        const std::uint32_t size = r.u32(8);
        const std::uint32_t mode = r.u32(12);
        if (size == 0) {
            if (mode == 5) resetClip();  // RGN_COPY of no region: clipping ends
            return;
        }
        const std::uint64_t rects = r.u32(16 + 8);
        if (!r.has(16 + 32, rects * 16)) throw BrokenMetafile("a clipping region is cut short");
        if (rects > std::uint64_t(kMaxClipRects)) return;
        std::vector<QRect> all;
        all.reserve(static_cast<std::size_t>(rects));
        for (std::size_t i = 0; i < rects; ++i) {
            const std::size_t at = 48 + i * 16;
            const QRectF device(QPointF(r.i32(at), r.i32(at + 4)),
                                QPointF(r.i32(at + 8), r.i32(at + 12)));
            const QRect mapped = imageRect(m_deviceToImage.mapRect(device));
            if (!mapped.isEmpty()) all.push_back(mapped);
        }
        QRegion region;
        for (const QRect& rect : all) region += rect;
        combineClip(region, mode);
    }

    void gradientFill(const Fields& r) {
        const std::uint64_t vertices = r.u32(24);
        const std::uint64_t shapes = r.u32(28);
        const std::uint32_t mode = r.u32(32);
        const std::uint64_t shapeSize = mode == 2 ? 12 : 8;
        if (!r.has(36, vertices * 16) || !r.has(36 + vertices * 16, shapes * shapeSize))
            throw BrokenMetafile("a gradient is cut short");
        auto vertex = [&](std::uint32_t index, QPointF& at, QColor& color) {
            if (index >= vertices) return false;
            const std::size_t v = 36 + std::size_t(index) * 16;
            at = QPointF(r.i32(v), r.i32(v + 4));
            color = QColor(r.u16(v + 8) >> 8, r.u16(v + 10) >> 8, r.u16(v + 12) >> 8);
            return true;
        };
        for (std::size_t i = 0; i < shapes; ++i) {
            const std::size_t s = static_cast<std::size_t>(36 + vertices * 16 + i * shapeSize);
            QPointF a, b, c;
            QColor ca, cb, cc;
            if (mode == 2) {
                if (vertex(r.u32(s), a, ca) && vertex(r.u32(s + 4), b, cb) &&
                    vertex(r.u32(s + 8), c, cc))
                    fillPolygon(QPolygonF({a, b, c}),
                                QColor((ca.red() + cb.red() + cc.red()) / 3,
                                       (ca.green() + cb.green() + cc.green()) / 3,
                                       (ca.blue() + cb.blue() + cc.blue()) / 3));
            } else if (mode <= 1) {
                if (vertex(r.u32(s), a, ca) && vertex(r.u32(s + 4), b, cb))
                    gradientRect(QRectF(a, b), ca, cb, mode == 1);
            }
        }
    }

    std::vector<GdiObject> m_objects;
    QTransform m_deviceToImage;
    double m_pixelsPerMmX;
    double m_pixelsPerMmY;
};

QSize heldSize(double width, double height) {
    width = std::fabs(width);
    height = std::fabs(height);
    if (!finite(width) || !finite(height)) throw BrokenMetafile("the picture has no size");
    const double longer = std::max(width, height);
    if (longer > kMaxMetafileSide) {
        width = width * kMaxMetafileSide / longer;
        height = height * kMaxMetafileSide / longer;
    }
    return QSize(std::max(1, int(std::lround(width))), std::max(1, int(std::lround(height))));
}

// Keeps the painter as the caller gave it, also when playing fails.
class PainterState final {
public:
    explicit PainterState(QPainter& painter) : m_painter(painter) { m_painter.save(); }
    ~PainterState() { m_painter.restore(); }
    PainterState(const PainterState&) = delete;
    PainterState& operator=(const PainterState&) = delete;

private:
    QPainter& m_painter;
};

}  // namespace

Metafile Metafile::fromBytes(std::string bytes) {
    Metafile metafile;
    metafile.m_bytes = std::move(bytes);
    const Fields data(metafile.m_bytes);
    if (data.size() >= kEmfHeaderBytes && data.u32(0) == 1 && data.u32(40) == kEmfSignature)
        metafile.checkEmf();
    else
        metafile.checkWmf();
    return metafile;
}

Metafile Metafile::load(const std::string& path) {
    try {
        return fromBytes(ReadFileBytes(path, kMaxMetafileBytes));
    } catch (const BrokenMetafile& e) {
        throw std::runtime_error("The metafile \"" + path + "\" cannot be read: " + e.what());
    }
}

void Metafile::checkWmf() {
    const Fields data(m_bytes);
    std::size_t at = 0;
    std::optional<QRectF> bounds;
    double inch = 1440;
    if (data.size() >= 22 && data.u32(0) == kPlaceableKey) {
        const QPointF topLeft(data.i16(6), data.i16(8));
        const QPointF bottomRight(data.i16(10), data.i16(12));
        bounds = QRectF(topLeft, bottomRight);
        if (data.u16(14) != 0) inch = data.u16(14);
        at = 22;
    }
    if (data.size() < at + 18) throw BrokenMetafile("it is no metafile");
    const std::uint16_t type = data.u16(at);
    if ((type != 1 && type != 2) || data.u16(at + 2) != 9)
        throw BrokenMetafile("it is no metafile");
    m_objectCount = data.u16(at + 10);
    m_firstRecord = at + 18;

    std::optional<QPointF> windowOrg;
    std::optional<QSizeF> windowExt;
    forEachWmfRecord(m_bytes, m_firstRecord, [&](std::uint16_t function, const Fields& p) {
        if (function == 0x020B && !windowOrg && p.has(0, 4))
            windowOrg = QPointF(p.i16(2), p.i16(0));
        if (function == 0x020C && !windowExt && p.has(0, 4) && p.i16(0) != 0 && p.i16(2) != 0)
            windowExt = QSizeF(p.i16(2), p.i16(0));
        return true;
    });

    if (bounds) {
        if (bounds->width() == 0 || bounds->height() == 0)
            throw BrokenMetafile("the picture has no size");
        m_frame = *bounds;
        m_natural =
            heldSize(bounds->width() * kScreenDpi / inch, bounds->height() * kScreenDpi / inch);
        return;
    }
    if (windowExt) {
        m_frame = QRectF(windowOrg.value_or(QPointF()), *windowExt);
        m_natural = heldSize(windowExt->width(), windowExt->height());
        return;
    }
    // Neither a placeable header nor a window: the picture is what its records draw.
    QPicture picture;
    {
        QPainter painter(&picture);
        m_frame = QRectF(0, 0, 1, 1);
        m_natural = QSize(1, 1);
        playWmf(painter, m_frame, false);
    }
    const QRect drawn = picture.boundingRect();
    if (drawn.isEmpty()) throw BrokenMetafile("the picture has no size");
    m_frame = QRectF(drawn);
    m_natural = heldSize(drawn.width(), drawn.height());
}

void Metafile::checkEmf() {
    m_enhanced = true;
    const Fields data(m_bytes);
    const std::uint32_t headerSize = data.u32(4);
    if (headerSize < kEmfHeaderBytes || headerSize > data.size() || headerSize % 4 != 0)
        throw BrokenMetafile("its header is damaged");
    const QRectF bounds(QPointF(data.i32(8), data.i32(12)),
                        QPointF(double(data.i32(16)) + 1, double(data.i32(20)) + 1));
    const double frameLeft = data.i32(24), frameTop = data.i32(28);
    const double frameRight = data.i32(32), frameBottom = data.i32(36);
    m_objectCount = data.u16(56);
    const double deviceX = data.i32(72), deviceY = data.i32(76);
    const double mmX = data.i32(80), mmY = data.i32(84);
    m_pixelsPerMmX = deviceX > 0 && mmX > 0 ? deviceX / mmX : kScreenDpi / kMmPerInch;
    m_pixelsPerMmY = deviceY > 0 && mmY > 0 ? deviceY / mmY : kScreenDpi / kMmPerInch;
    m_firstRecord = headerSize;
    forEachEmfRecord(m_bytes, m_firstRecord, [](std::uint32_t, const Fields&) { return true; });

    // The frame (hundredths of a millimetre) is the picture; the bounds stand in for a
    // frame that is missing.
    if (frameRight > frameLeft && frameBottom > frameTop) {
        m_frame =
            QRectF(QPointF(frameLeft * m_pixelsPerMmX / 100, frameTop * m_pixelsPerMmY / 100),
                   QPointF(frameRight * m_pixelsPerMmX / 100, frameBottom * m_pixelsPerMmY / 100));
        m_natural = heldSize((frameRight - frameLeft) / 2540 * kScreenDpi,
                             (frameBottom - frameTop) / 2540 * kScreenDpi);
    } else if (bounds.width() > 0 && bounds.height() > 0) {
        m_frame = bounds;
        m_natural = heldSize(bounds.width() / (m_pixelsPerMmX * kMmPerInch) * kScreenDpi,
                             bounds.height() / (m_pixelsPerMmY * kMmPerInch) * kScreenDpi);
    } else {
        throw BrokenMetafile("the picture has no size");
    }
}

void Metafile::play(QPainter& painter, const QRectF& target) const {
    if (target.width() <= 0 || target.height() <= 0) return;
    const PainterState keep(painter);
    const double naturalScale = target.height() / std::max(1, m_natural.height());
    if (m_enhanced) {
        EmfPlayer player(painter, target, m_frame, m_pixelsPerMmX, m_pixelsPerMmY, m_objectCount,
                         naturalScale);
        forEachEmfRecord(m_bytes, m_firstRecord, [&](std::uint32_t type, const Fields& r) {
            player.record(type, r);
            return player.inTime();
        });
    } else {
        playWmf(painter, target, true);
    }
}

void Metafile::playWmf(QPainter& painter, const QRectF& target, bool clipping) const {
    const double naturalScale = target.height() / std::max(1, m_natural.height());
    WmfPlayer player(painter, target, m_frame, m_objectCount, naturalScale, clipping);
    forEachWmfRecord(m_bytes, m_firstRecord, [&](std::uint16_t function, const Fields& p) {
        player.record(function, p);
        return player.inTime();
    });
}

QImage Metafile::render(QSize size) const {
    if (size.isEmpty()) return {};
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    play(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

}  // namespace velluma
