#pragma once

#include <sys/types.h>

#include <QImage>
#include <QString>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QThread;

namespace velluma::test {

/// An Xvfb server of the test's own on a free display; stopped at the end.
class XServer {
public:
    explicit XServer(int width = 640, int height = 480);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    /// ":N", or "" when Xvfb could not be started (the test has failed then).
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

/// A root background set the way another program sets one: a pixmap that outlives its
/// connection, published in _XROOTPMAP_ID and ESETROOT_PMAP_ID. Returns the pixmap.
std::uint32_t setForeignRootPixmap(const std::string& display, const QImage& picture);
/// A root window property holding a pixmap id, or 0.
std::uint32_t rootPixmapProperty(const std::string& display, const char* name);
/// True when the pixmap still exists on the server.
bool pixmapExists(const std::string& display, std::uint32_t pixmap);
/// Makes the display look managed by an EWMH window manager of that name.
void pretendWindowManager(const std::string& display, const std::string& name);

/// Owns bus names on the session bus while it lives.
class BusNames {
public:
    explicit BusNames(const std::vector<QString>& names);
    ~BusNames();

private:
    QString m_connection;
};

/// A small org.kde.plasmashell: evaluateScript runs the script in a JavaScript engine
/// against desktops that hold their wallpaper settings as Plasma keeps them (strings by
/// config group; a new wallpaper plugin takes effect when the script ends).
class FakePlasmaShell {
public:
    struct Desktop {
        int id = 0;
        int screen = -1;
        QString plugin;
        std::map<QString, std::map<QString, QString>> config;  // "Wallpaper/org.kde.image/General"
        bool operator==(const Desktop&) const = default;
    };

    explicit FakePlasmaShell(std::vector<Desktop> desktops);
    ~FakePlasmaShell();

    std::vector<Desktop> desktops() const;
    int scriptCount() const;
    /// Answers every script with this D-Bus error ("Widgets are locked").
    void refuse(const QString& error);
    /// Takes this long before answering.
    void delay(int milliseconds);

    struct State;

private:
    std::shared_ptr<State> m_state;
    QThread* m_thread = nullptr;
    QObject* m_service = nullptr;
};

/// A compositor socket that speaks sway's IPC: answers GET_CONFIG with config and records
/// every command, answering success (or failure for a command containing "refuse"). Its
/// socket is named after this process, or after the process number pid when one is given.
class FakeSway {
public:
    FakeSway(const std::string& folder, std::string config, const std::string& pid = {});
    ~FakeSway();

    const std::string& socketPath() const { return m_path; }
    std::vector<std::string> commands() const;
    /// Accepts connections but never answers.
    void goSilent() { m_silent = true; }

private:
    void serve();

    std::string m_path;
    std::string m_config;
    int m_listener = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_silent{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    std::thread m_thread;
};

/// A picture with a pattern in every pixel, so any misplacement shows.
QImage patternPicture(int width, int height, int seed);
/// Writes a picture as a Windows bitmap; returns the path.
std::string writeBitmap(const std::string& path, const QImage& picture);

}  // namespace velluma::test
