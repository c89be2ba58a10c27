#include "platform_gui/posix/DesktopDetection.h"

#include <dirent.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>

#include "platform_gui/posix/DesktopCall.h"

namespace velluma {
namespace {

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

struct BusDesktop {
    const char* name;
    DesktopKind kind;
};

// In order: a desktop that owns several of these names is found by its first one.
constexpr BusDesktop kBusDesktops[] = {
    {"org.kde.plasmashell", DesktopKind::Plasma},
    {"org.Cinnamon", DesktopKind::Cinnamon},
    {"org.xfce.xfdesktop", DesktopKind::Xfce},
    {"org.mate.SettingsDaemon", DesktopKind::Mate},
    {"org.mate.SessionManager", DesktopKind::Mate},
    {"org.gnome.Shell", DesktopKind::Gnome},
    {"org.gnome.Mutter.DisplayConfig", DesktopKind::Gnome},
    {"org.buddiesofbudgie.BudgieWM", DesktopKind::Gnome},
    {"org.budgie_desktop.BudgieWM", DesktopKind::Gnome},
    {"com.canonical.Unity", DesktopKind::Gnome},
    {"org.pantheon.gala", DesktopKind::Gnome},
};

DesktopKind busDesktop(const std::vector<std::string>& names) {
    for (const BusDesktop& d : kBusDesktops)
        if (std::find(names.begin(), names.end(), d.name) != names.end()) return d.kind;
    return DesktopKind::None;
}

std::vector<std::string> sessionBusNames() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return {};
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(kDesktopTimeout.count()));
    std::vector<std::string> names;
    if (reply.type() == QDBusMessage::ReplyMessage)
        for (const QString& n : reply.arguments().value(0).toStringList())
            names.push_back(n.toStdString());
    return names;
}

struct WindowManager {
    bool display = false;
    bool present = false;
    std::string name;
};

std::string propertyText(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                         xcb_atom_t type) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 256), nullptr),
        &std::free);
    if (!reply || reply->format != 8) return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       std::size_t(xcb_get_property_value_length(reply.get())));
}

xcb_window_t propertyWindow(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) != 4)
        return XCB_NONE;
    return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}

// The EWMH window manager: the window named by the root's _NET_SUPPORTING_WM_CHECK that
// names itself the same way, and its _NET_WM_NAME.
WindowManager windowManager(const std::string& display) {
    auto result = std::make_shared<WindowManager>();
    try {
        runWithin(kDesktopTimeout, "The X display", [result, display] {
            int screenNumber = 0;
            xcb_connection_t* c =
                xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber);
            std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> owner(c, &xcb_disconnect);
            if (xcb_connection_has_error(c)) return;
            auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
            for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
            const xcb_window_t root = it.data->root;
            result->display = true;
            const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
            const xcb_window_t wm = propertyWindow(c, root, check);
            if (wm == XCB_NONE || propertyWindow(c, wm, check) != wm) return;
            result->present = true;
            result->name = propertyText(c, wm, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"));
            if (result->name.empty())
                result->name = propertyText(c, wm, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        });
    } catch (const DesktopError&) {
        return {};  // a display that does not answer is no desktop to show on
    }
    return *result;
}

// Qt drawing without a window system: nothing the user sees.
bool headless(const std::string& qtPlatform) {
    return qtPlatform == "offscreen" || qtPlatform == "minimal" || qtPlatform == "minimalegl";
}

bool canConnect(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    // A full backlog (EAGAIN) is a live compositor too busy to take us at once.
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
                    errno == EAGAIN;
    ::close(fd);
    return ok;
}

}  // namespace

DesktopKind chooseDesktop(const DesktopProbe& probe) {
    if (headless(probe.qtPlatform)) return DesktopKind::None;
    const DesktopKind onBus = busDesktop(probe.busNames);
    if (probe.qtPlatform == "xcb" && probe.x11) {
        if (!probe.x11WindowManager) return DesktopKind::X11Root;
        if (onBus != DesktopKind::None) return onBus;
        if (probe.x11WindowManagerName.find("Marco") != std::string::npos) return DesktopKind::Mate;
        if (!probe.swaySocket.empty()) return DesktopKind::Sway;  // Xwayland under sway
        return DesktopKind::X11Root;
    }
    if (onBus != DesktopKind::None) return onBus;
    if (!probe.swaySocket.empty()) return DesktopKind::Sway;
    return DesktopKind::None;
}

DesktopProbe probeDesktop(const std::string& qtPlatform, const std::string& display,
                          const std::string& runtimeFolder) {
    DesktopProbe probe;
    probe.qtPlatform = qtPlatform;
    if (headless(qtPlatform)) return probe;
    probe.busNames = sessionBusNames();
    if (qtPlatform == "xcb") {
        const WindowManager wm = windowManager(display);
        probe.x11 = wm.display;
        probe.x11WindowManager = wm.present;
        probe.x11WindowManagerName = wm.name;
    }
    probe.swaySocket = findSwaySocket(runtimeFolder);
    return probe;
}

std::string findSwaySocket(const std::string& folder) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return {};
    const std::string prefix = "sway-ipc." + std::to_string(getuid()) + ".";
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.rfind(prefix, 0) != 0 || name.size() <= prefix.size() + 5 ||
            name.compare(name.size() - 5, 5, ".sock") != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 5);
        pid_t pid = 0;
        const char* const end = digits.data() + digits.size();
        const auto [stop, error] = std::from_chars(digits.data(), end, pid);
        // Only a process number names a sway: 0 would ask about our own process group, and a
        // number too big for a pid_t would wrap around onto some other process.
        if (error != std::errc() || stop != end || pid <= 0) continue;
        // A socket left by a sway that is gone.
        if (::kill(pid, 0) != 0 && errno != EPERM) continue;
        std::string path = folder + "/" + name;
        if (canConnect(path)) return path;
    }
    return {};
}

std::string userRuntimeFolder() {
    return "/run/user/" + std::to_string(getuid());
}

const char* desktopName(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::None:
            return "none";
        case DesktopKind::Gnome:
            return "GNOME";
        case DesktopKind::Cinnamon:
            return "Cinnamon";
        case DesktopKind::Mate:
            return "MATE";
        case DesktopKind::Plasma:
            return "KDE Plasma";
        case DesktopKind::Xfce:
            return "Xfce";
        case DesktopKind::Sway:
            return "sway";
        case DesktopKind::X11Root:
            return "X11";
    }
    return "none";
}

}  // namespace velluma
