#include "ui/MetafileRenderer.h"

#include <QPainter>
#include <QPicture>
#include <algorithm>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <variant>
#include <vector>

#include "formats/RegularFile.h"
#include "ui/MetafileDrawing.h"
#include "ui/MetafilePlayer.h"

namespace velluma {
namespace {

using namespace painting;

constexpr std::size_t kMaxWmfObjects = 65535;
constexpr double kMmPerInch = 25.4;

// --- WMF --------------------------------------------------------------------------------

class WmfPlayer final : public Player {
public:
    WmfPlayer(QPainter& painter, const QRectF& target, const QRectF& frame, int objects,
              double naturalScale, bool clipping)
        : Player(painter, target, naturalScale, clipping),
          m_objects(static_cast<std::size_t>(objects)),
          m_used(static_cast<std::size_t>(objects), false) {
        m_dc.windowOrg = frame.topLeft();
        m_dc.windowExt = frame.size();
        for (int i = 0; i < objects; ++i) m_free.insert(m_free.end(), i);
    }

protected:
    QTransform pageToImage() const override {
        const double sx = m_target.width() / m_dc.windowExt.width();
        const double sy = m_target.height() / m_dc.windowExt.height();
        return QTransform(sx, 0, 0, sy, m_target.left() - m_dc.windowOrg.x() * sx,
                          m_target.top() - m_dc.windowOrg.y() * sy);
    }
    QTransform deviceToImage() const override { return pageToImage(); }

    void createObject(const mf::CreateObject& create) override {
        // Some writers leave the table's size at 0: the table grows rather than refuse.
        if (m_free.empty() && m_objects.size() < kMaxWmfObjects) {
            m_free.insert(static_cast<int>(m_objects.size()));
            m_objects.emplace_back();
            m_used.push_back(false);
        }
        if (m_free.empty()) return;
        const int slot = *m_free.begin();
        m_free.erase(m_free.begin());
        m_objects[static_cast<std::size_t>(slot)] = qtObject(create.object);
        m_used[static_cast<std::size_t>(slot)] = true;
    }
    void selectIndex(std::uint32_t index) override {
        if (index < m_objects.size() && m_used[index]) selectObject(m_objects[index]);
    }
    void deleteObject(std::uint32_t index) override {
        if (index < m_objects.size() && m_used[index]) {
            m_objects[index] = std::monostate();
            m_used[index] = false;
            m_free.insert(static_cast<int>(index));
        }
    }

private:
    std::vector<GdiObject> m_objects;
    std::vector<bool> m_used;
    std::set<int> m_free;
};

// --- EMF --------------------------------------------------------------------------------

class EmfPlayer final : public Player {
public:
    EmfPlayer(QPainter& painter, const QRectF& target, const QRectF& frame, double pixelsPerMmX,
              double pixelsPerMmY, int handles, double naturalScale)
        : Player(painter, target, naturalScale, true),
          m_objects(static_cast<std::size_t>(handles)),
          m_pixelsPerMmX(pixelsPerMmX),
          m_pixelsPerMmY(pixelsPerMmY) {
        const double sx = target.width() / frame.width();
        const double sy = target.height() / frame.height();
        m_deviceToImage = QTransform(sx, 0, 0, sy, target.left() - frame.left() * sx,
                                     target.top() - frame.top() * sy);
    }

protected:
    QTransform pageToImage() const override { return pageToDevice() * m_deviceToImage; }
    QTransform deviceToImage() const override { return m_deviceToImage; }

    void createObject(const mf::CreateObject& create) override {
        const std::uint32_t handle = create.handle.value_or(0);
        if (handle != 0 && handle < m_objects.size()) m_objects[handle] = qtObject(create.object);
    }
    void selectIndex(std::uint32_t index) override {
        if (index & 0x80000000u)
            selectStock(index);
        else if (index < m_objects.size())
            selectObject(m_objects[index]);
    }
    void deleteObject(std::uint32_t index) override {
        if (index < m_objects.size()) m_objects[index] = std::monostate();
    }

private:
    QTransform pageToDevice() const {
        double sx = 1;
        double sy = 1;
        const double units[9] = {0, 0, 0.1, 0.01, 0.254, 0.0254, kMmPerInch / 1440, 0, 0};
        switch (m_dc.mapMode) {
            case 2:
            case 3:
            case 4:
            case 5:
            case 6:
                sx = m_pixelsPerMmX * units[m_dc.mapMode];
                sy = -m_pixelsPerMmY * units[m_dc.mapMode];
                break;
            case 7:
            case 8:
                sx = m_dc.viewportExt.width() / m_dc.windowExt.width();
                sy = m_dc.viewportExt.height() / m_dc.windowExt.height();
                if (m_dc.mapMode == 7) {  // isotropic: the smaller scale on both axes
                    const double s = std::min(std::fabs(sx), std::fabs(sy));
                    sx = std::copysign(s, sx);
                    sy = std::copysign(s, sy);
                }
                break;
            default:
                break;
        }
        return QTransform(sx, 0, 0, sy, m_dc.viewportOrg.x() - m_dc.windowOrg.x() * sx,
                          m_dc.viewportOrg.y() - m_dc.windowOrg.y() * sy);
    }

    std::vector<GdiObject> m_objects;
    QTransform m_deviceToImage;
    double m_pixelsPerMmX;
    double m_pixelsPerMmY;
};

// Keeps the painter as the caller gave it, also when playing fails.
class PainterState final {
public:
    explicit PainterState(QPainter& painter) : m_painter(painter) { m_painter.save(); }
    ~PainterState() { m_painter.restore(); }
    PainterState(const PainterState&) = delete;
    PainterState& operator=(const PainterState&) = delete;

private:
    QPainter& m_painter;
};

}  // namespace

Metafile Metafile::fromBytes(std::string bytes) {
    Metafile metafile;
    metafile.m_bytes = std::move(bytes);
    const mf::Layout layout = mf::readLayout(metafile.m_bytes);
    metafile.m_enhanced = layout.enhanced;
    metafile.m_firstRecord = layout.firstRecord;
    metafile.m_objectCount = layout.objectCount;
    metafile.m_pixelsPerMmX = layout.pixelsPerMmX;
    metafile.m_pixelsPerMmY = layout.pixelsPerMmY;
    if (layout.frame) {
        metafile.m_frame = qtRect(*layout.frame);
        metafile.m_natural = QSize(layout.natural.width, layout.natural.height);
    } else {
        metafile.frameWhatIsDrawn();
    }
    return metafile;
}

Metafile Metafile::load(const std::string& path) {
    auto named = [&](const std::exception& e) {
        return std::runtime_error("The metafile \"" + path + "\" cannot be read: " + e.what());
    };
    try {
        return fromBytes(ReadFileBytes(path, kMaxMetafileBytes));
    } catch (const BrokenMetafile& e) {
        throw named(e);
    } catch (const ByteRangeError& e) {
        throw named(e);
    }
}

void Metafile::frameWhatIsDrawn() {
    // Neither a placeable header nor a window: the picture is what its records draw.
    QPicture picture;
    {
        QPainter painter(&picture);
        m_frame = QRectF(0, 0, 1, 1);
        m_natural = QSize(1, 1);
        playWmf(painter, m_frame, false);
    }
    const QRect drawn = picture.boundingRect();
    if (drawn.isEmpty()) throw BrokenMetafile("the picture has no size");
    m_frame = QRectF(drawn);
    const mf::Size held = mf::heldSize(drawn.width(), drawn.height());
    m_natural = QSize(held.width, held.height);
}

void Metafile::play(QPainter& painter, const QRectF& target) const {
    if (target.width() <= 0 || target.height() <= 0) return;
    const PainterState keep(painter);
    const double naturalScale = target.height() / std::max(1, m_natural.height());
    if (m_enhanced) {
        EmfPlayer player(painter, target, m_frame, m_pixelsPerMmX, m_pixelsPerMmY, m_objectCount,
                         naturalScale);
        mf::forEachEmfRecord(m_bytes, m_firstRecord, [&](std::uint32_t type, const ByteReader& r) {
            player.play(mf::readEmfRecord(type, r));
            return player.inTime();
        });
    } else {
        playWmf(painter, target, true);
    }
}

void Metafile::playWmf(QPainter& painter, const QRectF& target, bool clipping) const {
    const double naturalScale = target.height() / std::max(1, m_natural.height());
    WmfPlayer player(painter, target, m_frame, m_objectCount, naturalScale, clipping);
    mf::forEachWmfRecord(m_bytes, m_firstRecord, [&](std::uint16_t function, const ByteReader& p) {
        player.play(mf::readWmfRecord(function, p));
        return player.inTime();
    });
}

QImage Metafile::render(QSize size) const {
    if (size.isEmpty()) return {};
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    play(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

}  // namespace velluma
