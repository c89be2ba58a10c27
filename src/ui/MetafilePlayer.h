#pragma once

#include <QElapsedTimer>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QTransform>
#include <cstdint>
#include <optional>
#include <vector>

#include "formats/MetafileRecords.h"
#include "ui/MetafileDrawing.h"

namespace velluma::painting {

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
    bool inTime();

    /// Carries out one record.
    void play(const mf::Record& record);

protected:
    virtual QTransform pageToImage() const = 0;
    // Device units (EMF clipping regions) to image pixels.
    virtual QTransform deviceToImage() const = 0;
    virtual void createObject(const mf::CreateObject& create) = 0;
    virtual void selectIndex(std::uint32_t index) = 0;
    virtual void deleteObject(std::uint32_t index) = 0;
    QTransform toImage() const { return m_dc.world * pageToImage(); }

private:
    template <typename R>
    void carryOut(const R& r);

protected:
    // --- State ---

    void setMode(mf::ModeOf which, std::uint32_t value);
    void modifyWorld(const QTransform& t, std::uint32_t mode);
    void restoreDc(int which);
    void selectObject(const GdiObject& object);
    void selectStock(std::uint32_t index);

    // --- Clipping ---

    void combineClip(const QRegion& region, std::uint32_t mode);
    void clipRect(mf::ClipBy how, const QRectF& logical);

    // --- Painter ---

    void prepare(bool logical);

    // --- Shapes ---

    void startFigureAtPosition();
    void drawOpen(const QPainterPath& logical);
    void drawClosed(QPainterPath logical);
    void draw(const QPainterPath& logical, bool fill);

    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void poly(mf::PolyKind kind, const QPolygonF& points);
    // points: the start, then three for each curve; with fromPosition, only the threes.
    void bezier(const QPolygonF& points, bool fromPosition);
    // Arcs run from the ray through start to the ray through end, counter-clockwise as
    // seen on the picture unless the arc direction says otherwise.
    void arc(mf::ArcKind kind, QRectF box, QPointF start, QPointF end);
    // An arc that continues from the current position, which it then leaves at its end.
    void arcTail(const QPainterPath& arcPath);
    void angleArc(QPointF centre, double radius, double start, double sweep);
    void setPixel(QPointF p, QColor color);

    // --- Paths (EMF) ---

    void pathStep(mf::PathOp op);
    void drawPath(bool fill, bool stroke);
    void selectClipPath(std::uint32_t mode);

    // --- Text ---

    void text(const mf::Text& record);

    // --- Bitmaps and raster operations ---

    // Draws source (pixels of image, top-down) into dest (logical; a negative side mirrors).
    void bitmap(const QImage& image, const QRectF& dest, QRectF source, std::uint32_t rop);
    // A raster operation without a source bitmap (PatBlt).
    void patternBlt(const QRectF& dest, std::uint32_t rop);
    void gradientFill(const mf::GradientFill& fill);

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

}  // namespace velluma::painting
