#pragma once

#include <QString>
#include <QWidget>
#include <optional>

#include "themes/SwfHeader.h"

namespace velluma {

/// Stands in for a Flash player in the builder's frame: it cannot play the movie, so it
/// shows what the movie's header tells, with the movie's stage fitted into the frame the
/// way the player fits it (whole, centred, aspect kept), in the stage's own background
/// colour, and the movie's name, pixel size and frame rate over it.
class MoviePreview final : public QWidget {
    Q_OBJECT
public:
    explicit MoviePreview(QWidget* parent = nullptr);

    /// The player's Movie property: reads the header of the movie at path (bounded, never
    /// waits on a pipe or device); an empty path shows nothing.
    void setMovie(const QString& path);
    const QString& movie() const { return m_movie; }
    /// The player's Quality2 property ("High", "Autolow", ...).
    void setQuality2(const QString& quality);
    const QString& quality2() const { return m_quality; }

    /// The header read, when the movie could be read.
    const std::optional<SwfHeader>& header() const { return m_header; }
    /// Why the movie could not be read ("" when it could, or when there is none).
    const QString& problem() const { return m_problem; }
    /// The lines drawn over the stage.
    QStringList lines() const;
    /// Where the stage lands inside a frame of the given size (empty when unknown).
    QRectF stageRect(const QSizeF& frame) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateToolTip();

    QString m_movie;
    QString m_quality;
    std::optional<SwfHeader> m_header;
    QString m_problem;
};

}  // namespace velluma
