#include "ui/MetafileDrawing.h"

#include <QFont>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace velluma::painting {

QColor colorRef(std::uint32_t value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QColor qtColour(const mf::Rgb& rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}
QPointF qtPoint(const mf::Point& p) {
    return QPointF(p.x, p.y);
}
QRectF qtBox(const mf::Box& box) {
    return QRectF(qtPoint(box.from), qtPoint(box.to));
}
QRectF qtRect(const mf::Rect& r) {
    return QRectF(r.x, r.y, r.width, r.height);
}
QPolygonF qtPolygon(const std::vector<mf::Point>& points) {
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const mf::Point& p : points) polygon.append(qtPoint(p));
    return polygon;
}
QString qtText(const std::u16string& text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
}
QImage qtImage(const RgbImage& rgb) {
    QImage image(rgb.width, rgb.height, QImage::Format_RGB888);
    for (int y = 0; y < rgb.height; ++y)
        std::memcpy(image.scanLine(y), rgb.rowData(y), std::size_t(rgb.width) * 3);
    return image;
}
QTransform qtTransform(const double (&m)[6]) {
    return QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

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

GdiObject qtObject(const mf::ObjectDef& object) {
    if (const auto* p = std::get_if<mf::PenDef>(&object)) {
        Pen pen = makePen(p->style, p->width, colorRef(p->colorRef));
        if (p->hollow) pen.style = kPsNull;
        for (const double dash : p->dashes) pen.dashes.append(dash);
        return pen;
    }
    if (const auto* b = std::get_if<mf::BrushDef>(&object))
        return makeBrush(b->style, colorRef(b->colorRef), b->hatch);
    if (const auto* b = std::get_if<mf::PatternBrushDef>(&object)) {
        Brush brush = makeBrush(3, Qt::gray, 0);
        if (b->pattern) {
            brush.kind = Brush::Pattern;
            brush.pattern = qtImage(*b->pattern);
        }
        return brush;
    }
    if (const auto* f = std::get_if<mf::FontDef>(&object)) return *f;
    return std::monostate();
}

QPen qtPen(const Pen& p, double widthScale) {
    if (p.style == kPsNull) return QPen(Qt::NoPen);
    QPen pen(p.color);
    pen.setCapStyle(p.cap);
    pen.setJoinStyle(p.join);
    const double width = p.width * widthScale;
    pen.setWidthF(std::isfinite(width) ? std::min(width, kMaxPenWidth) : 0);
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

QBrush qtBrush(const Brush& b, const QTransform& toImage) {
    switch (b.kind) {
        case Brush::Hollow:
            return QBrush(Qt::NoBrush);
        case Brush::Hatched:
        case Brush::Pattern: {
            QBrush brush = b.kind == Brush::Pattern ? QBrush(b.pattern) : QBrush(b.color, b.hatch);
            // Patterns keep their pixel size whatever the mapping.
            const QTransform& t = toImage;
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

QFont qtFont(const Font& f, double pixels) {
    QFont font(f.face.empty() ? QStringLiteral("Sans Serif") : qtText(f.face));
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
            font.setStyleHint((f.pitchAndFamily & 3) == 1 ? QFont::TypeWriter : QFont::SansSerif);
    }
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(f.weight == 0 ? 400 : f.weight, 1, 1000)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    return font;
}

QRect imageRect(const QRectF& limit, const QRectF& rect) {
    return rect.normalized().intersected(limit).toAlignedRect();
}

QPoint clampedPoint(QPointF p, const QRectF& limit) {
    return QPoint(int(std::lround(std::clamp(p.x(), limit.left(), limit.right()))),
                  int(std::lround(std::clamp(p.y(), limit.top(), limit.bottom()))));
}

QPainterPath boxPath(mf::BoxKind kind, const QRectF& box) {
    QPainterPath path;
    if (kind == mf::BoxKind::Rectangle)
        path.addRect(box.normalized());
    else
        path.addEllipse(box.normalized());
    return path;
}

QPainterPath polyPolygonPath(const mf::PolyPoly& shapes) {
    QPainterPath path;
    for (const std::vector<mf::Point>& shape : shapes.shapes) {
        if (shape.size() < 2) continue;
        path.addPolygon(qtPolygon(shape));
        if (shapes.closed) path.closeSubpath();
    }
    return path;
}

}  // namespace velluma::painting
