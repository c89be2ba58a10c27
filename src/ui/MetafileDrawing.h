#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "formats/MetafileRecords.h"

// The metafile reader's values as Qt's, and the drawing objects a metafile creates.
namespace velluma::painting {

namespace mf = metafile;

inline constexpr int kPsNull = 5;
inline constexpr int kPsUserStyle = 7;
// Qt refuses wider pens; a wider logical pen is drawn in image pixels instead.
inline constexpr double kMaxPenWidth = 32767;

QColor colorRef(std::uint32_t value);
QColor qtColour(const mf::Rgb& rgb);
QPointF qtPoint(const mf::Point& p);
QRectF qtBox(const mf::Box& box);
QRectF qtRect(const mf::Rect& r);
QPolygonF qtPolygon(const std::vector<mf::Point>& points);
/// Unit for unit: a lone surrogate stays as the file has it.
QString qtText(const std::u16string& text);
QImage qtImage(const RgbImage& rgb);
QTransform qtTransform(const double (&m)[6]);

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

// A font as the metafile describes it; its face is turned into Qt's only when drawn.
using Font = mf::FontDef;

// Palettes, regions and patterns we cannot use still take their place in the table.
using GdiObject = std::variant<std::monostate, Pen, Brush, Font>;

Pen makePen(std::uint32_t style, double width, QColor color);
Brush makeBrush(std::uint32_t style, QColor color, std::uint32_t hatch);
/// The composition of a raster operation with a source bitmap; none for those not drawn.
std::optional<QPainter::CompositionMode> ropMode(std::uint32_t rop);
GdiObject qtObject(const mf::ObjectDef& object);

/// widthScale takes logical widths to the painter's units.
QPen qtPen(const Pen& pen, double widthScale);
/// Hatches and patterns keep their pixel size whatever the mapping toImage makes.
QBrush qtBrush(const Brush& brush, const QTransform& toImage);
QFont qtFont(const Font& font, double pixels);

/// rect, held to limit, in whole pixels.
QRect imageRect(const QRectF& limit, const QRectF& rect);
QPoint clampedPoint(QPointF p, const QRectF& limit);
QPainterPath boxPath(mf::BoxKind kind, const QRectF& box);
QPainterPath polyPolygonPath(const mf::PolyPoly& shapes);

}  // namespace velluma::painting
