#include "platform_gui/posix/RootPixmapBackground.h"

#include <xcb/xcb.h>

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform_gui/posix/DesktopCall.h"
#include "platform_gui/posix/QtRegularFile.h"

namespace velluma {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr const char* kWhat = "The X display";
constexpr const char* kOwnMark = "_VELLUMA_PMAP_ID";

// How the root window's pixels are laid out in an image of the server's.
struct PixelFormat {
    int depth = 0;
    int bitsPerPixel = 0;
    int scanlinePad = 32;
    bool msbFirst = false;
    std::uint32_t red = 0, green = 0, blue = 0;

    std::size_t stride(int width) const {
        const std::size_t bits = std::size_t(width) * bitsPerPixel;
        return (bits + scanlinePad - 1) / scanlinePad * scanlinePad / 8;
    }
};

struct RootInfo {
    int width = 0;
    int height = 0;
    PixelFormat format;
};

std::uint32_t toChannel(int value, std::uint32_t mask) {
    if (!mask) return 0;
    const int bits = std::popcount(mask);
    const std::uint32_t top = bits >= 32 ? 0xffffffffu : (1u << bits) - 1;
    const std::uint64_t scaled = (std::uint64_t(value) * top + 127) / 255;
    return std::uint32_t(scaled << std::countr_zero(mask)) & mask;
}

int fromChannel(std::uint32_t pixel, std::uint32_t mask) {
    if (!mask) return 0;
    const int bits = std::popcount(mask);
    const std::uint64_t top = bits >= 32 ? 0xffffffffu : (1u << bits) - 1;
    const std::uint64_t v = (pixel & mask) >> std::countr_zero(mask);
    return int((v * 255 + top / 2) / top);
}

std::vector<std::uint8_t> encodeRows(const QImage& image, int firstRow, int rows,
                                     const PixelFormat& f) {
    const std::size_t stride = f.stride(image.width());
    const int bytes = f.bitsPerPixel / 8;
    std::vector<std::uint8_t> out(stride * rows, 0);
    for (int y = 0; y < rows; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(firstRow + y));
        std::uint8_t* dst = out.data() + stride * y;
        for (int x = 0; x < image.width(); ++x, dst += bytes) {
            const QRgb p = line[x];
            const std::uint32_t v = toChannel(qRed(p), f.red) | toChannel(qGreen(p), f.green) |
                                    toChannel(qBlue(p), f.blue);
            for (int b = 0; b < bytes; ++b) {
                const int shift = f.msbFirst ? 8 * (bytes - 1 - b) : 8 * b;
                dst[b] = std::uint8_t(v >> shift);
            }
        }
    }
    return out;
}

void decodeRows(const std::uint8_t* data, int firstRow, int rows, const PixelFormat& f,
                QImage& image) {
    const std::size_t stride = f.stride(image.width());
    const int bytes = f.bitsPerPixel / 8;
    for (int y = 0; y < rows; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(firstRow + y));
        const std::uint8_t* src = data + stride * y;
        for (int x = 0; x < image.width(); ++x, src += bytes) {
            std::uint32_t v = 0;
            for (int b = 0; b < bytes; ++b) {
                const int shift = f.msbFirst ? 8 * (bytes - 1 - b) : 8 * b;
                v |= std::uint32_t(src[b]) << shift;
            }
            line[x] = qRgb(fromChannel(v, f.red), fromChannel(v, f.green), fromChannel(v, f.blue));
        }
    }
}

template <class T>
struct Reply {
    std::unique_ptr<T, decltype(&std::free)> p{nullptr, &std::free};
    T* operator->() const { return p.get(); }
    explicit operator bool() const { return bool(p); }
};
template <class T>
Reply<T> owned(T* raw) {
    Reply<T> r;
    r.p.reset(raw);
    return r;
}

// One connection to the X server, on the worker thread only.
class XSession {
public:
    explicit XSession(const std::string& display) {
        int screenNumber = 0;
        m_c = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber);
        if (xcb_connection_has_error(m_c)) {
            xcb_disconnect(m_c);
            throw DesktopError("Cannot connect to the X display" +
                               (display.empty() ? std::string() : " " + display));
        }
        auto it = xcb_setup_roots_iterator(xcb_get_setup(m_c));
        for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
        m_screen = it.data;
    }
    ~XSession() { xcb_disconnect(m_c); }
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    xcb_connection_t* c() const { return m_c; }
    xcb_screen_t* screen() const { return m_screen; }
    xcb_window_t root() const { return m_screen->root; }

    xcb_atom_t atom(const char* name) {
        auto reply = owned(xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, std::uint16_t(std::strlen(name)), name), nullptr));
        if (!reply) throw DesktopError("The X display did not answer");
        return reply->atom;
    }

    /// A PIXMAP property of the root window, or 0.
    xcb_pixmap_t pixmapProperty(xcb_atom_t atom) {
        auto reply = owned(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, root(), atom, XCB_ATOM_PIXMAP, 0, 1), nullptr));
        if (!reply || reply->type != XCB_ATOM_PIXMAP || reply->format != 32 ||
            xcb_get_property_value_length(reply.p.get()) != 4)
            return 0;
        return *static_cast<xcb_pixmap_t*>(xcb_get_property_value(reply.p.get()));
    }

    void setPixmapProperty(xcb_atom_t atom, xcb_pixmap_t pixmap) {
        if (pixmap)
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, root(), atom, XCB_ATOM_PIXMAP, 32, 1,
                                &pixmap);
        else
            xcb_delete_property(m_c, root(), atom);
    }

    /// The size and depth of a pixmap, or nothing when it no longer exists.
    std::optional<std::pair<QSize, int>> geometry(xcb_pixmap_t pixmap) {
        auto reply = owned(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, pixmap), nullptr));
        if (!reply) return std::nullopt;
        return std::make_pair(QSize(reply->width, reply->height), int(reply->depth));
    }

    RootInfo rootInfo() {
        RootInfo info;
        info.width = m_screen->width_in_pixels;
        info.height = m_screen->height_in_pixels;
        PixelFormat& f = info.format;
        f.depth = m_screen->root_depth;
        const xcb_setup_t* setup = xcb_get_setup(m_c);
        f.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
        for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
            if (it.data->depth == f.depth) {
                f.bitsPerPixel = it.data->bits_per_pixel;
                f.scanlinePad = it.data->scanline_pad;
            }
        for (auto d = xcb_screen_allowed_depths_iterator(m_screen); d.rem; xcb_depth_next(&d))
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
                if (v.data->visual_id == m_screen->root_visual &&
                    (v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                     v.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR)) {
                    f.red = v.data->red_mask;
                    f.green = v.data->green_mask;
                    f.blue = v.data->blue_mask;
                }
        if (!f.red || (f.bitsPerPixel != 16 && f.bitsPerPixel != 24 && f.bitsPerPixel != 32))
            throw DesktopError("The X display's colour format (depth " + std::to_string(f.depth) +
                               ") is not supported");
        return info;
    }

    /// Rows per request so that an image request stays under the server's limit.
    int rowsPerRequest(std::size_t stride) {
        const std::size_t limit = std::size_t(xcb_get_maximum_request_length(m_c)) * 4;
        const std::size_t room = limit > 4096 ? limit - 4096 : limit / 2;
        return int(std::max<std::size_t>(1, std::min<std::size_t>(room / stride, 1 << 14)));
    }

    /// Waits until the server has handled everything sent; throws on any error it reported.
    void sync() {
        auto reply = owned(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
        if (!reply || xcb_connection_has_error(m_c))
            throw DesktopError("The connection to the X display broke");
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
            const bool error = event->response_type == 0;
            const int code = error ? reinterpret_cast<xcb_generic_error_t*>(event)->error_code : 0;
            std::free(event);
            if (error)
                throw DesktopError("The X display refused the background (error " +
                                   std::to_string(code) + ")");
        }
    }

private:
    xcb_connection_t* m_c = nullptr;
    xcb_screen_t* m_screen = nullptr;
};

// A pixmap's pixels as the server keeps them; converted later, outside the time limit.
struct RawPixels {
    QSize size;
    PixelFormat format;
    std::vector<std::uint8_t> data;

    QImage toImage() const {
        if (data.empty()) return {};
        QImage image(size, QImage::Format_RGB32);
        if (!image.isNull()) decodeRows(data.data(), 0, size.height(), format, image);
        return image;
    }
};

RawPixels readPixmap(XSession& x, xcb_pixmap_t pixmap, QSize size, const PixelFormat& f) {
    RawPixels raw{size, f, {}};
    const std::size_t stride = f.stride(size.width());
    raw.data.reserve(stride * std::size_t(size.height()));
    const int step = x.rowsPerRequest(stride);
    for (int y = 0; y < size.height(); y += step) {
        const int rows = std::min(step, size.height() - y);
        auto reply = owned(xcb_get_image_reply(
            x.c(),
            xcb_get_image(x.c(), XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, std::int16_t(y),
                          std::uint16_t(size.width()), std::uint16_t(rows), ~0u),
            nullptr));
        if (!reply || std::size_t(xcb_get_image_data_length(reply.p.get())) < stride * rows)
            return {};
        const std::uint8_t* data = xcb_get_image_data(reply.p.get());
        raw.data.insert(raw.data.end(), data, data + stride * rows);
    }
    return raw;
}

// Frees our previous pixmap when the root still shows it: the only case in which the id is
// known to be ours and alive.
void freeOwnPixmap(XSession& x, xcb_atom_t rootAtom, xcb_atom_t markAtom, xcb_pixmap_t keep) {
    const xcb_pixmap_t shown = x.pixmapProperty(rootAtom);
    const xcb_pixmap_t mark = x.pixmapProperty(markAtom);
    if (shown && shown == mark && shown != keep) xcb_kill_client(x.c(), shown);
}

QImage compose(const QImage& picture, Placement placement, int width, int height) {
    QImage out(width, height, QImage::Format_RGB32);
    if (out.isNull()) throw DesktopError("Not enough memory for the desktop background");
    out.fill(Qt::black);
    QPainter painter(&out);
    const int w = picture.width(), h = picture.height();
    switch (placement) {
        case Placement::None:
            break;
        case Placement::Stretch:
        case Placement::Span:
            painter.drawImage(QRect(0, 0, width, height), picture);  // no smoothing
            break;
        case Placement::Centre:
            painter.drawImage(QPoint((width - w) / 2, (height - h) / 2), picture);
            break;
        case Placement::Tile:
            for (int y = 0; y < height; y += h)
                for (int x = 0; x < width; x += w) painter.drawImage(QPoint(x, y), picture);
            break;
    }
    return out;
}

QImage loadPicture(const std::string& file) {
    QFile device;
    std::string whyNot;
    if (!OpenRegularQFile(file, device, whyNot))
        throw DesktopError("The picture \"" + file + "\" cannot be read: " + whyNot);
    QImageReader reader(&device);
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw DesktopError("The picture \"" + file +
                           "\" cannot be read: " + reader.errorString().toStdString());
    return image;
}

}  // namespace

RootPixmapBackground::RootPixmapBackground(std::string display, std::string ownFolder)
    : m_display(std::move(display)), m_ownFolder(std::move(ownFolder)) {}

DesktopState RootPixmapBackground::read() {
    struct Result {
        xcb_pixmap_t root = 0, esetroot = 0;
        bool own = false;
        RawPixels picture;
    };
    auto result = std::make_shared<Result>();
    runWithin(kDesktopTimeout, kWhat, [result, display = m_display] {
        XSession x(display);
        result->root = x.pixmapProperty(x.atom("_XROOTPMAP_ID"));
        result->esetroot = x.pixmapProperty(x.atom("ESETROOT_PMAP_ID"));
        result->own = result->root && result->root == x.pixmapProperty(x.atom(kOwnMark));
        if (!result->root || result->own) return;
        const RootInfo info = x.rootInfo();
        if (auto g = x.geometry(result->root); g && g->second == info.format.depth)
            result->picture = readPixmap(x, result->root, g->first, info.format);
        else
            result->root = 0;  // a stale id: nothing is shown through it
    });

    DesktopState state;
    std::string copy;
    const QImage picture = result->picture.toImage();
    if (!picture.isNull()) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (picture.save(&buffer, "BMP")) {
            try {
                copy = m_ownFolder + "/desktop-before.bmp";
                writeFileAtomically(copy, std::string_view(bytes.constData(), bytes.size()));
            } catch (const std::exception&) {
                copy.clear();  // the pixmap itself can still be put back while it lives
            }
        }
    }
    QJsonObject json{{u"root"_s, double(result->root)},
                     {u"esetroot"_s, double(result->esetroot)},
                     {u"copy"_s, QString::fromStdString(copy)}};
    state.state = QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString();
    state.wallpaper = copy;
    state.tileWallpaper = "0";
    state.ownPicture = result->own;
    return state;
}

void RootPixmapBackground::show(const std::string& file, Placement placement) {
    upload(placement == Placement::None ? QImage() : loadPicture(file), placement, true);
}

void RootPixmapBackground::upload(const QImage& picture, Placement placement, bool markOwn) {
    auto info = std::make_shared<RootInfo>();
    runWithin(kDesktopTimeout, kWhat, [info, display = m_display] {
        XSession x(display);
        *info = x.rootInfo();
    });

    if (placement == Placement::None) {
        runWithin(kDesktopTimeout, kWhat, [display = m_display] {
            XSession x(display);
            const xcb_atom_t rootAtom = x.atom("_XROOTPMAP_ID"), markAtom = x.atom(kOwnMark);
            freeOwnPixmap(x, rootAtom, markAtom, 0);
            const std::uint32_t black = x.screen()->black_pixel;
            xcb_change_window_attributes(x.c(), x.root(), XCB_CW_BACK_PIXEL, &black);
            x.setPixmapProperty(rootAtom, 0);
            x.setPixmapProperty(x.atom("ESETROOT_PMAP_ID"), 0);
            x.setPixmapProperty(markAtom, 0);
            xcb_clear_area(x.c(), 0, x.root(), 0, 0, 0, 0);
            x.sync();
        });
        return;
    }

    // The pixels are prepared here, so the time limit covers only the talk with the server.
    const QImage full = compose(picture.convertToFormat(QImage::Format_RGB32), placement,
                                info->width, info->height);
    const PixelFormat f = info->format;
    auto rows = std::make_shared<std::vector<std::uint8_t>>(encodeRows(full, 0, full.height(), f));
    const int width = full.width(), height = full.height();
    runWithin(kDesktopTimeout, kWhat, [rows, f, width, height, markOwn, display = m_display] {
        XSession x(display);
        const xcb_atom_t rootAtom = x.atom("_XROOTPMAP_ID"), markAtom = x.atom(kOwnMark);
        const xcb_pixmap_t pixmap = xcb_generate_id(x.c());
        xcb_create_pixmap(x.c(), std::uint8_t(f.depth), pixmap, x.root(), std::uint16_t(width),
                          std::uint16_t(height));
        const xcb_gcontext_t gc = xcb_generate_id(x.c());
        xcb_create_gc(x.c(), gc, pixmap, 0, nullptr);
        const std::size_t stride = f.stride(width);
        const int step = x.rowsPerRequest(stride);
        for (int y = 0; y < height; y += step) {
            const int n = std::min(step, height - y);
            xcb_put_image(x.c(), XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, std::uint16_t(width),
                          std::uint16_t(n), 0, std::int16_t(y), 0, std::uint8_t(f.depth),
                          std::uint32_t(stride * n), rows->data() + stride * y);
        }
        xcb_free_gc(x.c(), gc);
        x.sync();  // the picture is whole before the root shows it

        freeOwnPixmap(x, rootAtom, markAtom, pixmap);
        xcb_change_window_attributes(x.c(), x.root(), XCB_CW_BACK_PIXMAP, &pixmap);
        x.setPixmapProperty(rootAtom, pixmap);
        x.setPixmapProperty(x.atom("ESETROOT_PMAP_ID"), pixmap);
        x.setPixmapProperty(markAtom, markOwn ? pixmap : 0);
        xcb_clear_area(x.c(), 0, x.root(), 0, 0, 0, 0);
        xcb_set_close_down_mode(x.c(), XCB_CLOSE_DOWN_RETAIN_PERMANENT);
        x.sync();
    });
}

void RootPixmapBackground::restore(const std::string& state) {
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(state)).object();
    const auto root = xcb_pixmap_t(json.value(u"root"_s).toDouble());
    const auto esetroot = xcb_pixmap_t(json.value(u"esetroot"_s).toDouble());
    const std::string copy = json.value(u"copy"_s).toString().toStdString();

    auto putBack = std::make_shared<bool>(false);
    runWithin(kDesktopTimeout, kWhat, [putBack, root, esetroot, display = m_display] {
        XSession x(display);
        const xcb_atom_t rootAtom = x.atom("_XROOTPMAP_ID"), markAtom = x.atom(kOwnMark);
        if (root) {
            const auto g = x.geometry(root);
            if (!g || g->second != x.screen()->root_depth) return;  // gone: redraw the copy
        }
        freeOwnPixmap(x, rootAtom, markAtom, root);
        const std::uint32_t background = root ? root : std::uint32_t(XCB_BACK_PIXMAP_NONE);
        xcb_change_window_attributes(x.c(), x.root(), XCB_CW_BACK_PIXMAP, &background);
        x.setPixmapProperty(rootAtom, root);
        x.setPixmapProperty(x.atom("ESETROOT_PMAP_ID"), esetroot);
        x.setPixmapProperty(markAtom, 0);
        xcb_clear_area(x.c(), 0, x.root(), 0, 0, 0, 0);
        x.sync();
        *putBack = true;
    });
    if (*putBack) return;
    if (copy.empty() || !QFileInfo::exists(QString::fromStdString(copy)))
        throw DesktopError("The earlier X11 background is gone and no copy of it was kept");
    upload(loadPicture(copy), Placement::Stretch, false);
}

QImage RootPixmapBackground::rootPicture(const std::string& display) {
    auto result = std::make_shared<RawPixels>();
    runWithin(kDesktopTimeout, kWhat, [result, display] {
        XSession x(display);
        const xcb_pixmap_t root = x.pixmapProperty(x.atom("_XROOTPMAP_ID"));
        if (!root) return;
        const RootInfo info = x.rootInfo();
        if (auto g = x.geometry(root)) *result = readPixmap(x, root, g->first, info.format);
    });
    return result->toImage();
}

}  // namespace velluma
