#include "ui/MetafilePlayer.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <type_traits>
#include <variant>

#include "ui/MetafileRenderer.h"

namespace velluma::painting {
namespace {

constexpr std::size_t kMaxSavedStates = 1024;
// Glyphs beyond this many pixels would only fill the glyph cache; the picture is smaller.
constexpr double kMaxTextPixels = 8192;

constexpr std::uint32_t kEtoOpaque = 0x0002;
constexpr std::uint32_t kEtoClipped = 0x0004;
constexpr std::uint32_t kEtoGlyphIndex = 0x0010;
constexpr std::uint32_t kTaUpdateCp = 0x0001;

}  // namespace

bool Player::inTime() {
    if (!m_expired && ++m_records % 64 == 0)
        m_expired = m_clock.hasExpired(kMetafilePlaybackMillis);
    return !m_expired;
}

void Player::play(const mf::Record& record) {
    std::visit([this](const auto& r) { carryOut(r); }, record);
}

template <typename R>
void Player::carryOut(const R& r) {
    if constexpr (std::is_same_v<R, mf::SetColour>) {
        (r.which == mf::ColourOf::Background ? m_dc.bkColor : m_dc.textColor) =
            colorRef(r.colorRef);
    } else if constexpr (std::is_same_v<R, mf::SetMode>) {
        setMode(r.which, r.value);
    } else if constexpr (std::is_same_v<R, mf::SetOrigin>) {
        (r.which == mf::Space::Window ? m_dc.windowOrg : m_dc.viewportOrg) = qtPoint(r.at);
    } else if constexpr (std::is_same_v<R, mf::OffsetWindowOrigin>) {
        m_dc.windowOrg += qtPoint(r.by);
    } else if constexpr (std::is_same_v<R, mf::SetExtent>) {
        (r.which == mf::Space::Window ? m_dc.windowExt : m_dc.viewportExt) =
            QSizeF(r.width, r.height);
    } else if constexpr (std::is_same_v<R, mf::ScaleExtent>) {
        QSizeF& ext = r.which == mf::Space::Window ? m_dc.windowExt : m_dc.viewportExt;
        ext = QSizeF(ext.width() * r.xNum / r.xDenom, ext.height() * r.yNum / r.yDenom);
    } else if constexpr (std::is_same_v<R, mf::SetWorld>) {
        m_dc.world = qtTransform(r.m);
    } else if constexpr (std::is_same_v<R, mf::ModifyWorld>) {
        modifyWorld(qtTransform(r.m), r.mode);
    } else if constexpr (std::is_same_v<R, mf::SaveDc>) {
        if (m_saved.size() < kMaxSavedStates) m_saved.push_back(m_dc);
    } else if constexpr (std::is_same_v<R, mf::RestoreDc>) {
        restoreDc(r.which);
    } else if constexpr (std::is_same_v<R, mf::CreateObject>) {
        createObject(r);
    } else if constexpr (std::is_same_v<R, mf::SelectObject>) {
        selectIndex(r.index);
    } else if constexpr (std::is_same_v<R, mf::DeleteObject>) {
        deleteObject(r.index);
    } else if constexpr (std::is_same_v<R, mf::MoveTo>) {
        moveTo(qtPoint(r.to));
    } else if constexpr (std::is_same_v<R, mf::LineTo>) {
        lineTo(qtPoint(r.to));
    } else if constexpr (std::is_same_v<R, mf::Poly>) {
        poly(r.kind, qtPolygon(r.points));
    } else if constexpr (std::is_same_v<R, mf::PolyPoly>) {
        const QPainterPath path = polyPolygonPath(r);
        if (r.closed)
            drawClosed(path);
        else
            drawOpen(path);
    } else if constexpr (std::is_same_v<R, mf::BoxShape>) {
        drawClosed(boxPath(r.kind, qtBox(r.box)));
    } else if constexpr (std::is_same_v<R, mf::RoundRect>) {
        QPainterPath path;
        path.addRoundedRect(qtBox(r.box).normalized(), std::fabs(r.cornerWidth) / 2,
                            std::fabs(r.cornerHeight) / 2);
        drawClosed(path);
    } else if constexpr (std::is_same_v<R, mf::ArcShape>) {
        arc(r.kind, qtBox(r.box), qtPoint(r.start), qtPoint(r.end));
    } else if constexpr (std::is_same_v<R, mf::AngleArc>) {
        angleArc(qtPoint(r.centre), r.radius, r.start, r.sweep);
    } else if constexpr (std::is_same_v<R, mf::SetPixel>) {
        setPixel(qtPoint(r.at), colorRef(r.colorRef));
    } else if constexpr (std::is_same_v<R, mf::ClipRect>) {
        clipRect(r.how, qtBox(r.box));
    } else if constexpr (std::is_same_v<R, mf::ClipRegion>) {
        QRegion region;
        for (const mf::Box& device : r.rects) {
            const QRect mapped = imageRect(m_limit, deviceToImage().mapRect(qtBox(device)));
            if (!mapped.isEmpty()) region += mapped;
        }
        combineClip(region, r.mode);
    } else if constexpr (std::is_same_v<R, mf::ResetClip>) {
        m_dc.clip.reset();
        m_clipDirty = true;
    } else if constexpr (std::is_same_v<R, mf::PathStep>) {
        pathStep(r.op);
    } else if constexpr (std::is_same_v<R, mf::SelectClipPath>) {
        selectClipPath(r.mode);
    } else if constexpr (std::is_same_v<R, mf::Text>) {
        text(r);
    } else if constexpr (std::is_same_v<R, mf::PatternBlt>) {
        patternBlt(qtRect(r.dest), r.rop);
    } else if constexpr (std::is_same_v<R, mf::Bitmap>) {
        bitmap(qtImage(r.image), qtRect(r.dest), qtRect(r.source), r.rop);
    } else if constexpr (std::is_same_v<R, mf::GradientFill>) {
        gradientFill(r);
    } else {
        static_assert(std::is_same_v<R, std::monostate>);
    }
}

void Player::setMode(mf::ModeOf which, std::uint32_t value) {
    switch (which) {
        case mf::ModeOf::BackgroundMode:
            m_dc.opaque = value == 2;
            break;
        case mf::ModeOf::FillMode:
            m_dc.fillRule = value == 2 ? Qt::WindingFill : Qt::OddEvenFill;
            break;
        case mf::ModeOf::TextAlign:
            m_dc.textAlign = value;
            break;
        case mf::ModeOf::MapMode:
            if (value >= 1 && value <= 8) m_dc.mapMode = static_cast<int>(value);
            break;
        case mf::ModeOf::ArcDirection:
            m_dc.clockwise = value == 2;
            break;
    }
}

void Player::modifyWorld(const QTransform& t, std::uint32_t mode) {
    switch (mode) {
        case 1:  // MWT_IDENTITY
            m_dc.world = QTransform();
            break;
        case 2:  // MWT_LEFTMULTIPLY: the new transform applies first
            m_dc.world = t * m_dc.world;
            break;
        case 3:  // MWT_RIGHTMULTIPLY
            m_dc.world = m_dc.world * t;
            break;
        case 4:  // MWT_SET
            m_dc.world = t;
            break;
        default:
            break;
    }
}

void Player::restoreDc(int which) {
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

void Player::selectObject(const GdiObject& object) {
    if (const auto* pen = std::get_if<Pen>(&object)) m_dc.pen = *pen;
    if (const auto* brush = std::get_if<Brush>(&object)) m_dc.brush = *brush;
    if (const auto* font = std::get_if<Font>(&object)) m_dc.font = *font;
}

void Player::selectStock(std::uint32_t index) {
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

void Player::combineClip(const QRegion& region, std::uint32_t mode) {
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

void Player::clipRect(mf::ClipBy how, const QRectF& logical) {
    const QRegion region(imageRect(m_limit, toImage().mapRect(logical.normalized())));
    combineClip(region, how == mf::ClipBy::Intersect ? 1 : 4);
}

void Player::prepare(bool logical) {
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

void Player::startFigureAtPosition() {
    if (!m_figureOpen) {
        m_path.moveTo(toImage().map(m_dc.position));
        m_figureOpen = true;
    }
}

void Player::drawOpen(const QPainterPath& logical) {
    if (m_recording) {
        m_path.addPath(toImage().map(logical));
        m_figureOpen = true;
        return;
    }
    draw(logical, false);
}

void Player::drawClosed(QPainterPath logical) {
    logical.setFillRule(m_dc.fillRule);
    if (m_recording) {
        m_path.addPath(toImage().map(logical));
        m_figureOpen = false;
        return;
    }
    draw(logical, true);
}

void Player::draw(const QPainterPath& logical, bool fill) {
    if (m_dc.pen.width < kMaxPenWidth) {
        prepare(true);
        m_painter.setPen(qtPen(m_dc.pen, 1));
        m_painter.setBrush(fill ? qtBrush(m_dc.brush, toImage()) : QBrush(Qt::NoBrush));
        m_painter.drawPath(logical);
        return;
    }
    const QTransform t = toImage();
    prepare(false);
    m_painter.setPen(qtPen(m_dc.pen, std::sqrt(std::fabs(t.determinant()))));
    m_painter.setBrush(fill ? qtBrush(m_dc.brush, toImage()) : QBrush(Qt::NoBrush));
    m_painter.drawPath(t.map(logical));
}

void Player::moveTo(QPointF p) {
    m_dc.position = p;
    if (m_recording) {
        m_path.moveTo(toImage().map(p));
        m_figureOpen = true;
    }
}

void Player::lineTo(QPointF p) {
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

void Player::poly(mf::PolyKind kind, const QPolygonF& points) {
    switch (kind) {
        case mf::PolyKind::Polyline:
        case mf::PolyKind::Polygon: {
            if (points.size() < 2) return;
            QPainterPath path;
            path.addPolygon(points);
            if (kind == mf::PolyKind::Polyline) {
                drawOpen(path);
                return;
            }
            path.closeSubpath();
            drawClosed(path);
            return;
        }
        case mf::PolyKind::PolylineTo:
            for (const QPointF& p : points) lineTo(p);
            return;
        case mf::PolyKind::Bezier:
        case mf::PolyKind::BezierTo:
            bezier(points, kind == mf::PolyKind::BezierTo);
            return;
    }
}

void Player::bezier(const QPolygonF& points, bool fromPosition) {
    QPainterPath path(fromPosition ? m_dc.position : (points.isEmpty() ? QPointF() : points[0]));
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

void Player::arc(mf::ArcKind kind, QRectF box, QPointF start, QPointF end) {
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
        case mf::ArcKind::Arc:
            path.arcMoveTo(box, from);
            path.arcTo(box, from, sweep);
            drawOpen(path);
            break;
        case mf::ArcKind::ArcTo: {
            QPainterPath arcPath;
            arcPath.arcMoveTo(box, from);
            lineTo(arcPath.currentPosition());
            arcPath.arcTo(box, from, sweep);
            arcTail(arcPath);
            break;
        }
        case mf::ArcKind::Chord:
            path.arcMoveTo(box, from);
            path.arcTo(box, from, sweep);
            path.closeSubpath();
            drawClosed(path);
            break;
        case mf::ArcKind::Pie:
            path.moveTo(c);
            path.arcTo(box, from, sweep);
            path.closeSubpath();
            drawClosed(path);
            break;
    }
}

void Player::arcTail(const QPainterPath& arcPath) {
    if (m_recording) {
        startFigureAtPosition();
        m_path.connectPath(toImage().map(arcPath));
    } else {
        drawOpen(arcPath);
    }
    m_dc.position = arcPath.currentPosition();
}

void Player::angleArc(QPointF centre, double radius, double start, double sweep) {
    if (!std::isfinite(start) || !std::isfinite(sweep) || radius <= 0) return;
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

void Player::setPixel(QPointF p, QColor color) {
    if (m_recording) return;
    prepare(false);
    const QPointF at = toImage().map(p);
    if (!m_limit.contains(at)) return;
    m_painter.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), color);
}

void Player::pathStep(mf::PathOp op) {
    switch (op) {
        case mf::PathOp::Begin:
            m_path = QPainterPath();
            m_recording = true;
            m_figureOpen = false;
            break;
        case mf::PathOp::End:
            m_recording = false;
            break;
        case mf::PathOp::Abort:
            m_path = QPainterPath();
            m_recording = false;
            break;
        case mf::PathOp::CloseFigure:
            if (!m_recording) return;
            m_path.closeSubpath();
            m_figureOpen = false;
            break;
        case mf::PathOp::Fill:
        case mf::PathOp::Stroke:
        case mf::PathOp::StrokeAndFill:
            drawPath(op != mf::PathOp::Stroke, op != mf::PathOp::Fill);
            break;
        case mf::PathOp::Widen: {
            if (m_recording) return;
            const double scale = std::sqrt(std::fabs(toImage().determinant()));
            QPainterPathStroker stroker(qtPen(m_dc.pen, scale));
            stroker.setWidth(std::max<qreal>(1, stroker.width()));
            m_path = stroker.createStroke(m_path);
            break;
        }
    }
}

void Player::drawPath(bool fill, bool stroke) {
    if (m_recording) return;
    QPainterPath path = m_path;
    m_path = QPainterPath();
    path.setFillRule(m_dc.fillRule);
    prepare(false);
    m_painter.setPen(stroke ? qtPen(m_dc.pen, std::sqrt(std::fabs(toImage().determinant())))
                            : QPen(Qt::NoPen));
    m_painter.setBrush(fill ? qtBrush(m_dc.brush, toImage()) : QBrush(Qt::NoBrush));
    m_painter.drawPath(path);
}

void Player::selectClipPath(std::uint32_t mode) {
    if (m_recording) return;
    QRegion region;
    for (const QPolygonF& polygon : m_path.toSubpathPolygons()) {
        QPolygon points;
        points.reserve(polygon.size());
        for (const QPointF& p : polygon) points.append(clampedPoint(p, m_limit));
        region ^= QRegion(points, m_dc.fillRule);
    }
    m_path = QPainterPath();
    combineClip(region, mode);
}

void Player::text(const mf::Text& record) {
    QPointF at = qtPoint(record.at);
    const QString text = qtText(record.text);
    const std::vector<double>& dx = record.dx;
    const std::uint32_t options = record.options;
    const std::optional<QRectF> box =
        record.box ? std::optional<QRectF>(qtBox(*record.box)) : std::nullopt;
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
    if (!(sx > 0) || !(sy > 0) || !std::isfinite(sx) || !std::isfinite(sy)) return;
    const Font& f = m_dc.font;
    double pixels = f.height == 0 ? 12 * m_naturalScale : std::fabs(f.height) * sy;
    if (!(pixels >= 1)) return;
    pixels = std::min(pixels, kMaxTextPixels);
    QFont font = qtFont(f, pixels);
    if (f.height > 0) {  // the cell height: the glyphs are a little smaller
        const double cell = QFontMetricsF(font).height();
        if (cell > 0) font = qtFont(f, std::max(1.0, pixels * pixels / cell));
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

void Player::bitmap(const QImage& image, const QRectF& dest, QRectF source, std::uint32_t rop) {
    const auto mode = ropMode(rop);
    if (!mode || image.isNull() || m_recording) return;
    source = source.normalized().intersected(QRectF(image.rect()));
    const QRect from = source.toAlignedRect() & image.rect();
    if (from.isEmpty() || dest.width() == 0 || dest.height() == 0) return;
    if (!std::isfinite(dest.width()) || !std::isfinite(dest.height())) return;
    prepare(true);
    const QTransform place(dest.width() / from.width(), 0, 0, dest.height() / from.height(),
                           dest.x(), dest.y());
    m_painter.setTransform(place * toImage());
    m_painter.setCompositionMode(*mode);
    m_painter.drawImage(QPointF(0, 0), image, QRectF(from));
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Player::patternBlt(const QRectF& dest, std::uint32_t rop) {
    if (m_recording) return;
    prepare(true);
    const QRectF box = dest.normalized();
    switch ((rop >> 16) & 0xFF) {
        case 0xF0:  // PATCOPY
            m_painter.fillRect(box, qtBrush(m_dc.brush, toImage()));
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
            m_painter.fillRect(box, qtBrush(m_dc.brush, toImage()));
            break;
        default:
            break;
    }
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Player::gradientFill(const mf::GradientFill& fill) {
    mf::GradientShape shape;
    for (std::uint64_t i = 0; i < fill.shapes; ++i) {
        if (!mf::gradientShape(fill, i, shape) || m_recording) continue;
        prepare(true);
        if (shape.triangle) {
            m_painter.setPen(Qt::NoPen);
            m_painter.setBrush(qtColour(shape.colour));
            m_painter.drawPolygon(
                QPolygonF({qtPoint(shape.a), qtPoint(shape.b), qtPoint(shape.c)}));
            continue;
        }
        const QRectF r = QRectF(qtPoint(shape.a), qtPoint(shape.b)).normalized();
        QLinearGradient gradient(r.topLeft(), shape.vertical ? r.bottomLeft() : r.topRight());
        gradient.setColorAt(0, qtColour(shape.from));
        gradient.setColorAt(1, qtColour(shape.to));
        m_painter.fillRect(r, gradient);
    }
}

}  // namespace velluma::painting
