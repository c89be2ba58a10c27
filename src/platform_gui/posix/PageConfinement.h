#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velluma {

/// What a confined page program may reach besides the system's read-only files.
struct PageReach {
    std::string program;                // the program file, bound read-only
    std::vector<std::string> readable;  // files and folders bound read-only, where they exist
    std::string writable;               // one folder bound writable; empty for none
};

/// The machine as a confinement sees it: what of the system is shown, and how the display is
/// reached from a network of its own.
struct HostLayout {
    /// Top-level links kept as they are (/lib -> usr/lib on a merged /usr).
    std::vector<std::pair<std::string, std::string>> links;
    /// System folders and files bound read-only where they exist.
    std::vector<std::string> system;
    /// The environment passed in; everything else is dropped.
    std::map<std::string, std::string> environment;
    std::string x11Socket;      // the display's socket file; empty for none
    std::string xauthority;     // the display's cookie file; empty for none
    std::string runtimeFolder;  // XDG_RUNTIME_DIR, where a Wayland socket lives
    std::string waylandSocket;  // the compositor's socket file; empty for none
};

/// The socket file of a local X display (":0", ":1.0", "unix:0"); nothing for a display
/// reached over TCP ("localhost:10.0") or a name that is not a display.
std::optional<std::string> localX11Socket(const std::string& display);

/// Reads the layout from this machine and the given environment. Returns nothing, with the
/// reason, where the display cannot be reached from a confinement (an X server over TCP).
struct HostLayoutOrReason {
    std::optional<HostLayout> layout;
    std::string reason;
};
HostLayoutOrReason describeHost(const std::map<std::string, std::string>& environment);

/// bubblewrap's arguments (without the program's name) that run reach.program in a mount
/// namespace showing only the system's read-only files, reach and the display, a private
/// writable /tmp (also its home), and namespaces of its own for everything else (so its
/// loopback is its own), with no capabilities and no new privileges. The program's own
/// arguments follow after "--".
std::vector<std::string> bwrapArguments(const PageReach& reach, const HostLayout& host);

}  // namespace velluma
