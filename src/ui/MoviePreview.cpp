#include "ui/MoviePreview.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>

#include "protocol/PageProtocol.h"
#include "ui/Widgets.h"

namespace velluma {

namespace protocol = page_protocol;

namespace {

// A movie that sets no background colour plays on white.
constexpr std::uint32_t kDefaultStageColour = 0xFFFFFF;

QString pixels(double value) {
    return QString::number(value, 'g', 6);
}

QString colourName(std::uint32_t rgb) {
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

// How long a page program gets to end when asked, before it is killed.
constexpr int kQuitWaitMs = 2000;

// The page program's answers arrive in Qt's signals; nothing may be thrown through them.
void guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "movie preview: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "movie preview: unknown error\n");
    }
}

}  // namespace

MoviePreview::MoviePreview(QWidget* parent)
    : QWidget(parent),
      m_embedding(QGuiApplication::platformName() == QLatin1String("xcb")),
      m_stage(new QWidget(this)) {
    setObjectName(QStringLiteral("ShockwaveFlash1"));
    // The frame around it is dragged through it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_stage->setObjectName(QStringLiteral("ShockwaveFlash1Stage"));
    m_stage->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette black = m_stage->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_stage->setPalette(black);
    m_stage->setAutoFillBackground(true);
    m_stage->hide();  // shown once the movie plays in it
}

MoviePreview::~MoviePreview() {
    // The page program's window lives in ours: it ends before ours goes. Bounded, as the
    // program may be hung.
    for (QProcess* process : findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        process->disconnect(this);
        if (process->state() == QProcess::NotRunning) continue;
        if (process == m_player) {
            process->write(protocol::quit());
            process->closeWriteChannel();
        }
        if (!process->waitForFinished(kQuitWaitMs)) {
            process->kill();
            process->waitForFinished(kQuitWaitMs);
        }
    }
}

void MoviePreview::setTexts(const Texts& texts) {
    m_texts = texts;
    updateToolTip();
    update();
}

void MoviePreview::setPageProgram(const QString& program) {
    m_program = program;
    m_noPreview = false;
}

void MoviePreview::setLauncher(const PageLauncher& launcher) {
    m_launcher = launcher;
}

void MoviePreview::setEmbeddingAvailable(bool available) {
    m_embedding = available;
}

qint64 MoviePreview::playerProcessId() const {
    return m_player && m_player->state() != QProcess::NotRunning ? m_player->processId() : 0;
}

void MoviePreview::setMovie(const QString& path) {
    m_movie = path;
    m_header.reset();
    m_problem.clear();
    if (!path.isEmpty()) {
        try {
            m_header = ReadSwfHeader(encodedFileName(path));
        } catch (const std::exception& e) {
            m_problem = QString::fromStdString(e.what());
        }
    }
    updateToolTip();
    placeStage();
    play();
    update();
}

void MoviePreview::setQuality2(const QString& quality) {
    const bool changed = quality != m_quality;
    m_quality = quality;
    updateToolTip();
    // The player takes the quality with the movie.
    if (changed && m_player) play();
}

QStringList MoviePreview::lines() const {
    if (m_movie.isEmpty()) return {};
    QStringList result{QFileInfo(m_movie).fileName()};
    if (!m_header) {
        result << m_texts.unreadable;
        return result;
    }
    if (const auto& stage = m_header->stage) {
        result << m_texts.size.arg(pixels(stage->widthPixels()), pixels(stage->heightPixels()));
        result << m_texts.rate.arg(QString::number(stage->frameRate, 'g', 4),
                                   QString::number(stage->frameCount));
    } else {
        result << m_texts.packedSize.arg(m_header->version);
    }
    return result;
}

QRectF MoviePreview::stageRect(const QSizeF& frame) const {
    if (!m_header || !m_header->stage) return {};
    const double w = m_header->stage->widthPixels();
    const double h = m_header->stage->heightPixels();
    if (!(w > 0) || !(h > 0) || frame.isEmpty()) return {};
    const double scale = std::min(frame.width() / w, frame.height() / h);
    const QSizeF fitted(w * scale, h * scale);
    return {QPointF((frame.width() - fitted.width()) / 2, (frame.height() - fitted.height()) / 2),
            fitted};
}

void MoviePreview::paintEvent(QPaintEvent*) {
    if (m_movie.isEmpty() || m_playing) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF stage = stageRect(size());
    if (!stage.isEmpty()) {
        const std::uint32_t rgb = m_header->stage->background.value_or(kDefaultStageColour);
        const QColor fill(QRgb(0xFF000000u | rgb));
        painter.fillRect(stage, fill);
        QPen edge(fill.lightness() > 127 ? QColor(0, 0, 0, 140) : QColor(255, 255, 255, 160));
        edge.setStyle(Qt::DashLine);
        painter.setPen(edge);
        painter.drawRect(stage.adjusted(0.5, 0.5, -0.5, -0.5));
    }

    // The text sits on its own shade, readable on any stage or page colour.
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 1));
    painter.setFont(small);
    const QFontMetrics metrics(small);
    const int lineHeight = metrics.height();
    const int room = std::max(0, height() - 4) / std::max(1, lineHeight);
    QStringList shown = lines().mid(0, room);
    if (shown.isEmpty()) return;
    int textWidth = 0;
    for (QString& line : shown) {
        line = metrics.elidedText(line, Qt::ElideMiddle, width() - 8);
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    }
    const int blockHeight = lineHeight * static_cast<int>(shown.size());
    const QRect block((width() - textWidth) / 2 - 3, (height() - blockHeight) / 2 - 1,
                      textWidth + 6, blockHeight + 2);
    QPainterPath shade;
    shade.addRoundedRect(block, 3, 3);
    painter.fillPath(shade, QColor(0, 0, 0, 150));
    painter.setPen(m_header ? Qt::white : QColor(255, 200, 120));
    for (int i = 0; i < shown.size(); ++i)
        painter.drawText(
            QRect(block.left(), block.top() + 1 + i * lineHeight, block.width(), lineHeight),
            Qt::AlignCenter, shown[i]);
}

void MoviePreview::updateToolTip() {
    // Mouse events pass through to the frame, so the frame carries the tip.
    QWidget* target = parentWidget() ? parentWidget() : this;
    if (m_movie.isEmpty()) {
        target->setToolTip({});
        return;
    }
    QStringList tip{m_movie};
    if (!m_header) {
        tip << m_problem;
    } else {
        tip << m_texts.version.arg(m_header->version);
        if (const auto& stage = m_header->stage) {
            tip << m_texts.stage.arg(pixels(stage->widthPixels()), pixels(stage->heightPixels()));
            tip << m_texts.frames.arg(QString::number(stage->frameCount),
                                      QString::number(stage->frameRate, 'g', 4));
            tip << (stage->background ? m_texts.background.arg(colourName(*stage->background))
                                      : m_texts.noBackground);
        } else {
            tip << m_texts.packed;
        }
    }
    if (!m_quality.isEmpty()) tip << m_texts.quality.arg(m_quality);
    target->setToolTip(tip.join(QLatin1Char('\n')));
}

void MoviePreview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    play();
}

void MoviePreview::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A page left, or the window gone to the tray: the player's memory is given back.
    stopPlayer();
}

void MoviePreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeStage();
}

bool MoviePreview::canPlay() const {
    // The line protocol cannot carry a path with line or field breaks.
    static const QRegularExpression kBreaks(QStringLiteral("[\\t\\r\\n]"));
    return m_embedding && !m_noPreview && !m_program.isEmpty() && isVisible() && m_header &&
           !m_movie.contains(kBreaks) && QFileInfo(m_program).isExecutable();
}

void MoviePreview::play() {
    m_playing = false;
    m_stage->hide();  // the header shows until the movie plays
    update();
    if (!canPlay()) {
        if (m_player) send(protocol::clear());
        return;
    }
    const QString movie = QFileInfo(m_movie).absoluteFilePath();
    // A confined player reads its own movie only: another movie needs another player.
    if (m_player && !m_playerMovie.isEmpty() && m_playerMovie != movie) stopPlayer();
    startPlayer();
    send(protocol::movie(movie, m_quality.isEmpty() ? QStringLiteral("High") : m_quality));
}

void MoviePreview::startPlayer() {
    if (m_player) return;
    // A window of our own for the player to draw in; its ancestors stay without one.
    m_stage->setAttribute(Qt::WA_DontCreateNativeAncestors);
    m_stage->setAttribute(Qt::WA_NativeWindow);
    // Not input-transparent at the window level: on X11 that takes the redirection of its
    // children's map and size requests, and the player's window would never show.
    const WId window = m_stage->winId();

    m_player = new QProcess(this);
    m_player->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_player, &QProcess::readyReadStandardOutput, this,
            [this] { guarded([this] { readPlayer(); }); });
    connect(m_player, &QProcess::finished, this, [this] { guarded([this] { playerEnded(); }); });
    connect(m_player, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        guarded([this] {
            std::fprintf(stderr, "movie preview: %s cannot start: %s\n", qPrintable(m_program),
                         qPrintable(m_player->errorString()));
            m_noPreview = true;
            playerEnded();
        });
    });
    followAncestors();
    m_sentSize = {};
    const QString movie = QFileInfo(m_movie).absoluteFilePath();
    const bool confined = m_launcher.start(*m_player, m_program,
                                           {QStringLiteral("--preview"), QString::number(window)},
                                           {movie.toStdString()});
    m_playerMovie = confined ? movie : QString();
    placeStage();
}

// Asks the page program to end and lets it go; it is killed when it does not.
void MoviePreview::stopPlayer() {
    m_playing = false;
    m_stage->hide();
    update();
    if (!m_player) return;
    QProcess* process = std::exchange(m_player, nullptr);
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    process->write(protocol::quit());
    process->closeWriteChannel();
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QTimer::singleShot(kQuitWaitMs, process, [process] { process->kill(); });
}

void MoviePreview::playerEnded() {
    // Back to the header drawing; the next movie starts another player.
    if (m_player) m_player->deleteLater();
    m_player = nullptr;
    m_playing = false;
    m_stage->hide();
    update();
}

void MoviePreview::readPlayer() {
    while (m_player && m_player->canReadLine()) {
        const QString line = QString::fromUtf8(m_player->readLine()).trimmed();
        const protocol::Answer answer = protocol::parseAnswer(line);
        if (answer.kind == protocol::Kind::Playing) {
            if (answer.subject != QFileInfo(m_movie).absoluteFilePath() || !canPlay()) continue;
            m_playing = true;
            m_stage->show();
            update();
        } else if (answer.is(protocol::kNoPreview)) {
            m_noPreview = true;  // this display has no room for it; the header stays
            stopPlayer();
        } else if (answer.kind == protocol::Kind::Error) {
            std::fprintf(stderr, "velluma-page: %s\n", qPrintable(line));
            m_playing = false;
            m_stage->hide();
            update();
        }
    }
}

void MoviePreview::placeStage() {
    QRect stage = stageRect(size()).toAlignedRect().intersected(rect());
    if (stage.isEmpty()) stage = rect();  // a stage of unknown size takes the frame
    m_stage->setGeometry(stage);
    if (m_player && stage.size() != m_sentSize) {
        m_sentSize = stage.size();
        send(protocol::size(stage.width(), stage.height()));
    }
}

// Qt leaves a native window where it was when a widget between it and its native parent
// moves (the builder's frame is dragged), so the stage follows those moves itself.
void MoviePreview::followAncestors() {
    QWidget* nativeParent = m_stage->nativeParentWidget();
    for (QWidget* w = this; w && w != nativeParent; w = w->parentWidget()) {
        w->removeEventFilter(this);
        w->installEventFilter(this);
    }
}

bool MoviePreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move && m_stage->internalWinId()) {
        if (QWindow* window = m_stage->windowHandle())
            if (QWidget* nativeParent = m_stage->nativeParentWidget())
                window->setPosition(m_stage->mapTo(nativeParent, QPoint(0, 0)));
    }
    return QWidget::eventFilter(watched, event);
}

void MoviePreview::send(const QByteArray& line) {
    if (m_player) m_player->write(line);
}

}  // namespace velluma
