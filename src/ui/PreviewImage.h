#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

#include "formats/PictureSource.h"
#include "ui/MetafileRenderer.h"

class QLabel;

namespace velluma {

/// A picture with transparent parts made white, as on a fresh bitmap.
RgbImage toRgb(const QImage& picture);

/// pilprewIMage: the previewed picture, stretched over the whole image; where there is none,
/// the preview's caption (pPrewievCaption) shows.
class PreviewImage final : public QWidget {
public:
    PreviewImage(QWidget* parent, std::function<void()> doubleClicked);

    void setCaption(const QString& caption);
    QString caption() const;
    bool hasPicture() const { return !m_image.isNull() || m_metafile.has_value(); }
    void clear();
    void showRgb(RgbImage picture);
    void showImage(QImage picture);
    /// Draws the metafile once at once, so that a broken one fails here.
    void showMetafile(Metafile metafile);
    /// The picture at its own size.
    RgbImage ownSize() const;
    const Metafile* metafile() const { return m_metafile ? &*m_metafile : nullptr; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;

private:
    void shown();
    void rescale();

    std::function<void()> m_doubleClicked;
    QLabel* m_caption;
    RgbImage m_rgb;  // bitmaps and JPEG pictures, as decoded
    QImage m_image;  // m_rgb's pixels, or an icon
    std::optional<Metafile> m_metafile;
    QImage m_scaled;
};

}  // namespace velluma
