#include "platform_gui/posix/PageConfinement.h"

#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <string_view>

namespace velluma {

namespace {

namespace fs = std::filesystem;

// The inside's home and runtime folder live in its private /tmp.
constexpr const char* kPrivateFolder = "/tmp";
constexpr const char* kPrivateRuntime = "/tmp/runtime";

// What Qt, Chromium and fontconfig read at start: the loader's cache, fonts and their cache,
// the time zone. Nothing else of /etc (no passwd, no machine-id, no network settings).
constexpr std::array kSystem = {"/usr", "/etc/ld.so.cache", "/etc/fonts", "/etc/localtime",
                                "/var/cache/fontconfig"};
constexpr std::array kTopLevel = {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"};

// Passed in as they are; the rest of the environment (session bus, agents, tokens) stays out.
// The one token passed is ours: it names the page program's window to the desktop's shell.
constexpr std::array kKeptVariables = {
    "DISPLAY", "WAYLAND_DISPLAY",    "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "LANG", "LANGUAGE",
    "TZ",      "VELLUMA_SHELL_TOKEN"};
constexpr std::array kKeptPrefixes = {"LC_", "QT_", "QTWEBENGINE_"};

bool kept(const std::string& name) {
    for (std::string_view keep : kKeptVariables)
        if (name == keep) return true;
    for (std::string_view prefix : kKeptPrefixes)
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
}

bool exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

std::string valueOf(const std::map<std::string, std::string>& environment, const char* name) {
    const auto found = environment.find(name);
    return found == environment.end() ? std::string() : found->second;
}

void add(std::vector<std::string>& args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more);
}

}  // namespace

std::optional<std::string> localX11Socket(const std::string& display) {
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) return std::nullopt;
    const std::string host = display.substr(0, colon);
    if (!host.empty() && host != "unix") return std::nullopt;
    std::string number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return "/tmp/.X11-unix/X" + number;
}

HostLayoutOrReason describeHost(const std::map<std::string, std::string>& environment) {
    HostLayout host;
    for (const char* top : kTopLevel) {
        std::error_code error;
        if (fs::is_symlink(top, error))
            host.links.emplace_back(top, fs::read_symlink(top, error).string());
        else if (fs::is_directory(top, error))
            host.system.emplace_back(top);
    }
    host.system.insert(host.system.end(), kSystem.begin(), kSystem.end());

    for (const auto& [name, value] : environment)
        if (kept(name)) host.environment[name] = value;

    const std::string display = valueOf(environment, "DISPLAY");
    if (!display.empty()) {
        const std::optional<std::string> socket = localX11Socket(display);
        if (!socket || !exists(*socket))
            return {std::nullopt, "the X display " + display +
                                      " has no local socket a confined page could reach"};
        host.x11Socket = *socket;
        host.xauthority = valueOf(environment, "XAUTHORITY");
        const std::string home = valueOf(environment, "HOME");
        if (host.xauthority.empty() && !home.empty()) host.xauthority = home + "/.Xauthority";
        if (!exists(host.xauthority)) host.xauthority.clear();
    }

    const std::string runtime = valueOf(environment, "XDG_RUNTIME_DIR");
    const std::string wayland = valueOf(environment, "WAYLAND_DISPLAY");
    if (!wayland.empty()) {
        host.waylandSocket =
            wayland.front() == '/' ? wayland : (runtime.empty() ? "" : runtime + "/" + wayland);
        if (!exists(host.waylandSocket)) host.waylandSocket.clear();
    }
    host.runtimeFolder = !runtime.empty() && runtime.front() == '/' ? runtime : kPrivateRuntime;
    return {std::move(host), {}};
}

std::vector<std::string> bwrapArguments(const PageReach& reach, const HostLayout& host) {
    std::vector<std::string> args = {"--unshare-all",
                                     "--unshare-user",
                                     "--disable-userns",
                                     "--die-with-parent",
                                     "--new-session",
                                     "--cap-drop",
                                     "ALL",
                                     "--clearenv"};
    for (const auto& [name, value] : host.environment) add(args, {"--setenv", name, value});
    add(args, {"--setenv", "HOME", kPrivateFolder, "--setenv", "TMPDIR", kPrivateFolder, "--setenv",
               "PATH", "/usr/bin:/bin", "--setenv", "XDG_RUNTIME_DIR", host.runtimeFolder});
    if (!host.xauthority.empty()) add(args, {"--setenv", "XAUTHORITY", host.xauthority});

    for (const auto& [link, target] : host.links) add(args, {"--symlink", target, link});
    for (const std::string& path : host.system) add(args, {"--ro-bind-try", path, path});
    add(args, {"--proc", "/proc", "--dev", "/dev", "--tmpfs", kPrivateFolder});
    // The rest may lie in /tmp, so it comes after the private /tmp is in place.
    add(args, {"--perms", "0700", "--dir", host.runtimeFolder});
    if (!host.x11Socket.empty()) add(args, {"--ro-bind", host.x11Socket, host.x11Socket});
    if (!host.xauthority.empty()) add(args, {"--ro-bind", host.xauthority, host.xauthority});
    if (!host.waylandSocket.empty())
        add(args, {"--ro-bind", host.waylandSocket, host.waylandSocket});
    // Read-only last: what it may read stays read-only inside what it may write.
    if (!reach.writable.empty()) add(args, {"--bind", reach.writable, reach.writable});
    add(args, {"--ro-bind", reach.program, reach.program});
    for (const std::string& path : reach.readable) add(args, {"--ro-bind-try", path, path});
    add(args, {"--chdir", kPrivateFolder});
    return args;
}

}  // namespace velluma
