#include "ui/PreviewImage.h"

#include <QLabel>
#include <QPainter>
#include <cstring>
#include <exception>
#include <utility>

namespace velluma {

RgbImage toRgb(const QImage& picture) {
    QImage flat(picture.size(), QImage::Format_RGB888);
    flat.fill(Qt::white);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, picture);
    }
    RgbImage rgb;
    rgb.width = flat.width();
    rgb.height = flat.height();
    rgb.pixels.resize(std::size_t(rgb.width) * std::size_t(rgb.height) * 3);
    for (int y = 0; y < rgb.height; ++y)
        std::memcpy(rgb.rowData(y), flat.constScanLine(y), std::size_t(rgb.width) * 3);
    return rgb;
}

PreviewImage::PreviewImage(QWidget* parent, std::function<void()> doubleClicked)
    : QWidget(parent), m_doubleClicked(std::move(doubleClicked)) {
    setObjectName(QStringLiteral("pilprewIMage"));
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("pPrewievCaption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setWordWrap(true);
    QPalette colours = m_caption->palette();
    colours.setColor(QPalette::WindowText, QColor(0x7a, 0x8c, 0x96));
    m_caption->setPalette(colours);
}

void PreviewImage::setCaption(const QString& caption) {
    m_caption->setText(caption);
}

QString PreviewImage::caption() const {
    return m_caption->text();
}

void PreviewImage::clear() {
    m_image = QImage();  // before the pixels it may point into
    m_rgb = RgbImage();
    m_metafile.reset();
    m_scaled = QImage();
    m_caption->show();
    update();
}

void PreviewImage::showRgb(RgbImage picture) {
    clear();
    m_rgb = std::move(picture);
    m_image = QImage(m_rgb.pixels.data(), m_rgb.width, m_rgb.height, qsizetype(m_rgb.width) * 3,
                     QImage::Format_RGB888);
    shown();
}

void PreviewImage::showImage(QImage picture) {
    clear();
    m_image = std::move(picture);
    shown();
}

void PreviewImage::showMetafile(Metafile metafile) {
    clear();
    const QSize first = size().isEmpty() ? QSize(160, 120) : size();
    QImage drawn = metafile.render(first);
    m_metafile = std::move(metafile);
    m_scaled = std::move(drawn);
    shown();
}

RgbImage PreviewImage::ownSize() const {
    if (!m_rgb.pixels.empty()) return m_rgb;
    if (m_metafile) return toRgb(m_metafile->render(m_metafile->naturalSize()));
    return toRgb(m_image);
}

void PreviewImage::paintEvent(QPaintEvent*) {
    if (!hasPicture() || size().isEmpty()) return;
    if (m_scaled.size() != size()) rescale();
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.drawImage(0, 0, m_scaled);
}

void PreviewImage::resizeEvent(QResizeEvent*) {
    m_caption->setGeometry(rect());
}

void PreviewImage::mouseDoubleClickEvent(QMouseEvent*) {
    m_doubleClicked();
}

void PreviewImage::shown() {
    m_caption->hide();
    update();
}

void PreviewImage::rescale() {
    if (m_metafile) {
        try {
            m_scaled = m_metafile->render(size());
        } catch (const std::exception&) {
            m_scaled = QImage();  // it played once; a failure now only leaves it blank
        }
        return;
    }
    const bool larger = width() > m_image.width() && height() > m_image.height();
    m_scaled = m_image.scaled(size(), Qt::IgnoreAspectRatio,
                              larger ? Qt::FastTransformation : Qt::SmoothTransformation);
}

}  // namespace velluma
