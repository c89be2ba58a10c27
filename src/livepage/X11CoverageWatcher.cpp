#include "livepage/X11CoverageWatcher.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "livepage/DesktopCoverage.h"

namespace velluma {
namespace {

constexpr int kSettleMs = 150;  // a burst of property changes is read once
constexpr uint32_t kAllDesktops = 0xFFFFFFFF;

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

const char* const kAtomNames[] = {
    "_NET_CLIENT_LIST",
    "_NET_CURRENT_DESKTOP",
    "_NET_WM_STATE",
    "_NET_WM_STATE_FULLSCREEN",
    "_NET_WM_STATE_MAXIMIZED_VERT",
    "_NET_WM_STATE_MAXIMIZED_HORZ",
    "_NET_WM_STATE_HIDDEN",
    "_NET_WM_DESKTOP",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_WINDOW_TYPE_DOCK",
};

}  // namespace

X11CoverageWatcher::X11CoverageWatcher(QObject* parent) : QObject(parent) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = it.data->root;

    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const char* name : kAtomNames)
        cookies.push_back(xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name));
    for (size_t i = 0; i < cookies.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(m_connection, cookies[i], nullptr));
        m_atoms.insert(kAtomNames[i], reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
    }

    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection);

    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection),
                                                   QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11CoverageWatcher::readEvents);
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &X11CoverageWatcher::recompute);

    auto watchScreen = [this](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, &m_settle, qOverload<>(&QTimer::start));
    };
    for (QScreen* screen : QGuiApplication::screens()) watchScreen(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this, watchScreen](QScreen* screen) {
        watchScreen(screen);
        m_settle.start();
    });
    connect(qApp, &QGuiApplication::screenRemoved, &m_settle, qOverload<>(&QTimer::start));
    m_settle.start();
}

X11CoverageWatcher::~X11CoverageWatcher() {
    m_notifier.reset();
    if (m_connection) xcb_disconnect(m_connection);
}

unsigned X11CoverageWatcher::atom(const char* name) {
    return m_atoms.value(name);
}

void X11CoverageWatcher::readEvents() {
    drainEvents(false);
    if (xcb_connection_has_error(m_connection)) m_notifier->setEnabled(false);
}

void X11CoverageWatcher::drainEvents(bool queuedOnly) {
    while (xcb_generic_event_t* event = queuedOnly ? xcb_poll_for_queued_event(m_connection)
                                                   : xcb_poll_for_event(m_connection)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if (property->atom == atom("_NET_CLIENT_LIST") ||
                property->atom == atom("_NET_CURRENT_DESKTOP") ||
                property->atom == atom("_NET_WM_STATE") ||
                property->atom == atom("_NET_WM_DESKTOP"))
                m_settle.start();
        }
        std::free(event);  // errors about windows that went away land here too
    }
}

void X11CoverageWatcher::recompute() {
    if (xcb_connection_has_error(m_connection)) return;
    auto cardinal = [this](xcb_window_t window, unsigned property, xcb_atom_t type,
                           uint32_t length) {
        return xcb_get_property(m_connection, 0, window, property, type, 0, length);
    };
    auto currentCookie = cardinal(m_root, atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 1);
    auto listCookie = cardinal(m_root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096);
    Reply<xcb_get_property_reply_t> currentReply(
        xcb_get_property_reply(m_connection, currentCookie, nullptr));
    Reply<xcb_get_property_reply_t> listReply(
        xcb_get_property_reply(m_connection, listCookie, nullptr));
    uint32_t currentDesktop = kAllDesktops;
    if (currentReply && xcb_get_property_value_length(currentReply.get()) >= 4)
        currentDesktop = *static_cast<uint32_t*>(xcb_get_property_value(currentReply.get()));
    std::vector<xcb_window_t> clients;
    if (listReply) {
        auto* first = static_cast<xcb_window_t*>(xcb_get_property_value(listReply.get()));
        clients.assign(first, first + xcb_get_property_value_length(listReply.get()) / 4);
    }

    struct Cookies {
        xcb_get_property_cookie_t state, desktop, type;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t position;
    };
    std::vector<Cookies> cookies;
    QSet<unsigned> watched;
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    for (xcb_window_t window : clients) {
        if (!m_watched.contains(window))
            xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &mask);
        watched.insert(window);
        cookies.push_back({cardinal(window, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 64),
                           cardinal(window, atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 1),
                           cardinal(window, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 16),
                           xcb_get_geometry(m_connection, window),
                           xcb_translate_coordinates(m_connection, window, m_root, 0, 0)});
    }
    m_watched = watched;

    QList<ClientWindow> windows;
    for (const Cookies& c : cookies) {
        Reply<xcb_get_property_reply_t> state(
            xcb_get_property_reply(m_connection, c.state, nullptr));
        Reply<xcb_get_property_reply_t> desktop(
            xcb_get_property_reply(m_connection, c.desktop, nullptr));
        Reply<xcb_get_property_reply_t> type(xcb_get_property_reply(m_connection, c.type, nullptr));
        Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(m_connection, c.geometry, nullptr));
        Reply<xcb_translate_coordinates_reply_t> position(
            xcb_translate_coordinates_reply(m_connection, c.position, nullptr));
        if (!geometry || !position) continue;  // gone meanwhile

        bool ignored = false;
        if (type) {
            auto* types = static_cast<xcb_atom_t*>(xcb_get_property_value(type.get()));
            for (int i = 0; i < xcb_get_property_value_length(type.get()) / 4; ++i)
                ignored = ignored || types[i] == atom("_NET_WM_WINDOW_TYPE_DESKTOP") ||
                          types[i] == atom("_NET_WM_WINDOW_TYPE_DOCK");
        }
        if (ignored) continue;

        ClientWindow w;
        w.rect = QRect(position->dst_x, position->dst_y, geometry->width, geometry->height);
        bool vertical = false, horizontal = false;
        if (state) {
            auto* states = static_cast<xcb_atom_t*>(xcb_get_property_value(state.get()));
            for (int i = 0; i < xcb_get_property_value_length(state.get()) / 4; ++i) {
                if (states[i] == atom("_NET_WM_STATE_FULLSCREEN")) w.fullScreen = true;
                if (states[i] == atom("_NET_WM_STATE_MAXIMIZED_VERT")) vertical = true;
                if (states[i] == atom("_NET_WM_STATE_MAXIMIZED_HORZ")) horizontal = true;
                if (states[i] == atom("_NET_WM_STATE_HIDDEN")) w.hidden = true;
            }
        }
        w.maximised = vertical && horizontal;
        if (desktop && xcb_get_property_value_length(desktop.get()) >= 4 &&
            currentDesktop != kAllDesktops) {
            uint32_t on = *static_cast<uint32_t*>(xcb_get_property_value(desktop.get()));
            w.onCurrentWorkspace = on == currentDesktop || on == kAllDesktops;
        }
        windows.append(w);
    }
    xcb_flush(m_connection);
    // Events that arrived while we waited for the replies sit in xcb's queue, where the
    // socket notifier cannot see them.
    drainEvents(true);

    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens()) {
        // Window geometry comes in device pixels; a screen keeps its origin when scaled.
        QRect g = screen->geometry();
        screens.append(QRect(g.topLeft(), g.size() * screen->devicePixelRatio()));
    }
    bool covered = desktopCovered(screens, windows);
    if (covered != m_covered) {
        m_covered = covered;
        Q_EMIT coveredChanged(covered);
    }
}

}  // namespace velluma
