#include "ui/MoviePreview.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace velluma {
namespace {

// A movie that sets no background colour plays on white.
constexpr std::uint32_t kDefaultStageColour = 0xFFFFFF;

QString pixels(double value) {
    return QString::number(value, 'g', 6);
}

QString colourName(std::uint32_t rgb) {
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

MoviePreview::MoviePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ShockwaveFlash1"));
    // The frame around it is dragged through it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MoviePreview::setMovie(const QString& path) {
    m_movie = path;
    m_header.reset();
    m_problem.clear();
    if (!path.isEmpty()) {
        try {
            m_header = ReadSwfHeader(QFile::encodeName(path).toStdString());
        } catch (const std::exception& e) {
            m_problem = QString::fromStdString(e.what());
        }
    }
    updateToolTip();
    update();
}

void MoviePreview::setQuality2(const QString& quality) {
    m_quality = quality;
    updateToolTip();
}

QStringList MoviePreview::lines() const {
    if (m_movie.isEmpty()) return {};
    QStringList result{QFileInfo(m_movie).fileName()};
    if (!m_header) {
        result << QStringLiteral("Not a readable Flash movie");
        return result;
    }
    if (const auto& stage = m_header->stage) {
        result << pixels(stage->widthPixels()) + QStringLiteral(" \u00d7 ") +
                      pixels(stage->heightPixels()) + QStringLiteral(" px");
        result << QString::number(stage->frameRate, 'g', 4) + QStringLiteral(" fps \u00b7 ") +
                      QString::number(stage->frameCount) + QStringLiteral(" frames");
    } else {
        result << QStringLiteral("Flash %1, LZMA-packed: size unknown").arg(m_header->version);
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
    if (m_movie.isEmpty()) return;
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
        tip << QStringLiteral("Flash version %1").arg(m_header->version);
        if (const auto& stage = m_header->stage) {
            tip << QStringLiteral("Stage: %1 \u00d7 %2 pixels")
                       .arg(pixels(stage->widthPixels()), pixels(stage->heightPixels()));
            tip << QStringLiteral("%1 frames at %2 per second")
                       .arg(stage->frameCount)
                       .arg(stage->frameRate, 0, 'g', 4);
            tip << (stage->background
                        ? QStringLiteral("Background %1").arg(colourName(*stage->background))
                        : QStringLiteral("No background colour of its own"));
        } else {
            tip << QStringLiteral("Packed with LZMA: the stage is not read");
        }
    }
    if (!m_quality.isEmpty()) tip << QStringLiteral("Quality: %1").arg(m_quality);
    tip << QStringLiteral(
        "The preview shows where the stage lands; the movie plays on the "
        "desktop.");
    target->setToolTip(tip.join(QLatin1Char('\n')));
}

}  // namespace velluma
