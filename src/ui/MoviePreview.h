#pragma once

#include <QString>
#include <QWidget>
#include <optional>

class QProcess;

#include "formats/SwfHeader.h"
#include "platform_gui/posix/PageLauncher.h"

namespace velluma {

/// The Flash player in the builder's frame. The page program plays the movie in a native
/// window on the movie's stage (fitted whole, centred, aspect kept) while this widget is
/// shown on X11. Until it plays, or where it cannot, the widget draws what the movie's
/// header tells: the stage in its own background colour, with the movie's name, pixel size
/// and frame rate over it.
class MoviePreview final : public QWidget {
    Q_OBJECT
public:
    explicit MoviePreview(QWidget* parent = nullptr);
    ~MoviePreview() override;

    /// The words of what the header tells, in the user's language; %1 and %2 stand for the
    /// figures.
    struct Texts {
        QString unreadable;    // not a Flash movie we can read
        QString size;          // %1 x %2 px
        QString rate;          // %1 frames per second, %2 frames
        QString packedSize;    // Flash version %1, LZMA-packed: no stage size
        QString version;       // Flash version %1
        QString stage;         // the stage, %1 x %2 pixels
        QString frames;        // %1 frames at %2 per second
        QString background;    // background colour %1
        QString noBackground;  // the movie sets none
        QString packed;        // LZMA-packed: the stage is not read
        QString quality;       // quality %1
    };
    void setTexts(const Texts& texts);

    /// The page program that plays movies; empty: the header drawing only.
    void setPageProgram(const QString& program);
    /// How the page program is started: confined (the default) or, for tests, not.
    void setLauncher(const PageLauncher& launcher);
    /// Whether the window system lets another program draw inside our window (X11). Decided
    /// from the platform; tests on other platforms turn it on.
    void setEmbeddingAvailable(bool available);
    /// The page program's process id, 0 when none runs.
    qint64 playerProcessId() const;
    /// True while the page program plays the current movie on the stage.
    bool isPlaying() const { return m_playing; }

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
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateToolTip();
    bool canPlay() const;
    void play();
    void startPlayer();
    void stopPlayer();
    void readPlayer();
    void playerEnded();
    void placeStage();
    void followAncestors();
    void send(const QByteArray& line);

    Texts m_texts;
    QString m_movie;
    QString m_quality;
    std::optional<SwfHeader> m_header;
    QString m_problem;

    QString m_program;
    PageLauncher m_launcher;
    QString m_playerMovie;  // the one movie a confined player reads; empty: it reads any
    bool m_embedding = false;
    QWidget* m_stage;  // the native window the page program draws in
    QProcess* m_player = nullptr;
    QSize m_sentSize;
    bool m_playing = false;
    bool m_noPreview = false;  // the page program said it cannot play here
};

}  // namespace velluma
