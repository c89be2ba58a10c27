// Reads and sets the X root window's background for the end-to-end run:
//   velluma_root_probe set-pattern    a background as another program sets one
//   velluma_root_probe checksum       a checksum of the root picture ("none" without one)
//   velluma_root_probe same-as FILE   exit 0 when the root picture equals the picture in FILE
//   velluma_root_probe pixel X Y      the colour on the screen there, windows included (RRGGBB)
#include <xcb/xcb.h>

#include <QCryptographicHash>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform_gui/posix/RootPixmapBackground.h"

namespace {

int setPattern() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 2;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const int w = screen->width_in_pixels, h = screen->height_in_pixels;
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, ((x / 40 + y / 40) % 2) ? qRgb(200, 60, 20) : qRgb(20, 90, 160));
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, std::uint16_t(w),
                      std::uint16_t(h));
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    for (int y = 0; y < h; ++y)  // depth 24 on Xvfb: 32-bit 0x00RRGGBB, as QImage keeps it
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, std::uint16_t(w), 1, 0,
                      std::int16_t(y), 0, screen->root_depth, std::uint32_t(w * 4),
                      image.constScanLine(y));
    xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
        xcb_intern_atom_reply_t* a = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, a->atom, XCB_ATOM_PIXMAP, 32, 1,
                            &pixmap);
        std::free(a);
    }
    xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
    xcb_set_close_down_mode(c, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    return 0;
}

int screenPixel(int x, int y) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 2;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_get_image_reply_t* image =
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root,
                                          std::int16_t(x), std::int16_t(y), 1, 1, ~0u),
                            nullptr);
    int rc = 2;
    if (image && xcb_get_image_data_length(image) >= 4) {
        const std::uint8_t* p = xcb_get_image_data(image);  // 0x00RRGGBB, little-endian
        std::printf("%02x%02x%02x\n", p[2], p[1], p[0]);
        rc = 0;
    }
    std::free(image);
    xcb_disconnect(c);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        if (argc == 2 && std::strcmp(argv[1], "set-pattern") == 0) return setPattern();
        if (argc == 4 && std::strcmp(argv[1], "pixel") == 0)
            return screenPixel(std::atoi(argv[2]), std::atoi(argv[3]));
        const QImage root = velluma::RootPixmapBackground::rootPicture({});
        if (argc == 2 && std::strcmp(argv[1], "checksum") == 0) {
            if (root.isNull()) {
                std::puts("none");
                return 0;
            }
            QCryptographicHash hash(QCryptographicHash::Sha1);
            for (int y = 0; y < root.height(); ++y)
                hash.addData(QByteArrayView(reinterpret_cast<const char*>(root.constScanLine(y)),
                                            root.width() * 4));
            std::printf("%dx%d-%s\n", root.width(), root.height(),
                        hash.result().toHex().constData());
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], "same-as") == 0) {
            const QImage file =
                QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
            return !root.isNull() && root == file ? 0 : 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::fprintf(stderr,
                 "usage: velluma_root_probe set-pattern | checksum | same-as FILE | pixel X Y\n");
    return 2;
}
