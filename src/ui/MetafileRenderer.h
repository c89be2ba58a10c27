#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <cstddef>
#include <string>

#include "formats/MetafileRecords.h"

class QPainter;

namespace velluma {

/// Playing stops after this long; what was drawn by then stays.
inline constexpr int kMetafilePlaybackMillis = 3000;

/// A Windows metafile, either a WMF (with or without the placeable header) or an EMF,
/// whose structure has been checked, ready to be drawn at any size. The common drawing
/// records are drawn: lines, polygons, rectangles, ellipses, arcs, text, bitmaps, pens,
/// brushes and fonts, with the mapping modes, clipping and (EMF) paths and world
/// transforms; any other record is passed over.
class Metafile final {
public:
    /// Checks the bytes; throws std::runtime_error saying why they are no usable metafile.
    static Metafile fromBytes(std::string bytes);
    /// Reads and checks a metafile file; throws std::runtime_error naming it.
    static Metafile load(const std::string& path);

    bool enhanced() const { return m_enhanced; }
    /// Its own size in pixels at 96 dots per inch, at most kMaxMetafileSide on a side.
    QSize naturalSize() const { return m_natural; }

    /// Plays the records so that the picture fills target (the aspect ratio follows
    /// target). Throws std::runtime_error when a record contradicts its own size.
    void play(QPainter& painter, const QRectF& target) const;
    /// The picture on a white ground of the given size; throws as play does.
    QImage render(QSize size) const;

private:
    Metafile() = default;
    // Frames a WMF that gives no size by what its records draw.
    void frameWhatIsDrawn();
    void playWmf(QPainter& painter, const QRectF& target, bool clipping) const;

    std::string m_bytes;
    bool m_enhanced = false;
    std::size_t m_firstRecord = 0;
    int m_objectCount = 0;
    // The rectangle that fills the target: logical units for a WMF, reference-device
    // pixels for an EMF.
    QRectF m_frame;
    double m_pixelsPerMmX = 0;  // EMF reference device
    double m_pixelsPerMmY = 0;
    QSize m_natural;
};

}  // namespace velluma
