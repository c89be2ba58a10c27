#include "platform_gui/posix/QtScreen.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <cstdlib>
#include <optional>

namespace velluma {
namespace {

// Qt's screen sizes are scaled (Xft.dpi, QT_SCALE_FACTOR), and with mixed scales its
// positions are not device positions either; the X server knows the real size.
std::optional<ScreenSize> x11RootSize() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    char* host = nullptr;
    int display = 0, screenNumber = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screenNumber)) screenNumber = 0;
    std::free(host);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (; it.rem > 1 && screenNumber > 0; --screenNumber) xcb_screen_next(&it);
    if (!it.rem) return std::nullopt;
    // Asked each time: the setup's figures are those of the moment the connection opened.
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, it.data->root), nullptr);
    if (!reply) return std::nullopt;
    const ScreenSize size{reply->width, reply->height};
    std::free(reply);
    return size;
}

}  // namespace

ScreenSize QtScreen::virtualDesktopSize() {
    if (const auto root = x11RootSize()) return *root;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
    // A screen keeps its origin when Qt scales it; only its size shrinks.
    QRect all;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        all = all.united(QRect(g.topLeft(), g.size() * s->devicePixelRatio()));
    }
    return {all.width(), all.height()};
}

}  // namespace velluma
