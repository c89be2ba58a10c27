#pragma once

#include <string>
#include <vector>

namespace velluma {

/// The desktops whose background we can change.
enum class DesktopKind { None, Gnome, Cinnamon, Mate, Plasma, Xfce, Sway, X11Root };

/// What the session offers, as far as it tells which desktop runs.
struct DesktopProbe {
    std::string qtPlatform;             // Qt's platform plug-in: "xcb", "wayland", "offscreen"
    std::vector<std::string> busNames;  // names on the session bus
    bool x11 = false;                   // the X display answered
    bool x11WindowManager = false;      // an EWMH window manager runs on it
    std::string x11WindowManagerName;   // its _NET_WM_NAME
    std::string swaySocket;             // a live sway IPC socket
};

/// The desktop the program runs on. The session bus names the desktop; on X11 a display
/// without a window manager is a bare X session whatever the bus says (another session's
/// bus is no proof). Qt without a window system ("offscreen", "minimal") has no desktop.
DesktopKind chooseDesktop(const DesktopProbe& probe);

/// Looks at the session: the bus names, the X display (on "xcb" only; display as for
/// xcb_connect, "" for the default one) and sway's sockets in runtimeFolder. Never waits
/// longer than the desktop time-out for any one service.
DesktopProbe probeDesktop(const std::string& qtPlatform, const std::string& display,
                          const std::string& runtimeFolder);

/// A live sway IPC socket in folder ("sway-ipc.<uid>.<pid>.sock" of a running process that
/// accepts connections), or "".
std::string findSwaySocket(const std::string& folder);

/// The user's runtime folder (/run/user/<uid>).
std::string userRuntimeFolder();

/// A name for messages.
const char* desktopName(DesktopKind kind);

}  // namespace velluma
