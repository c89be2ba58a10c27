#include "DesktopServices.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUuid>
#include <chrono>
#include <cstring>

extern char** environ;

namespace velluma::test {

using namespace Qt::Literals::StringLiterals;

// --- X server -------------------------------------------------------------------------

XServer::XServer(int width, int height) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return;
    }
    const std::string fd = std::to_string(pipeFds[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const char* args[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                          screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
    const int rc =
        ::posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, const_cast<char**>(args), environ);
    ::close(pipeFds[1]);
    if (rc != 0) {
        m_pid = -1;
        ::close(pipeFds[0]);
        ADD_FAILURE() << "Xvfb cannot be started (" << std::strerror(rc)
                      << "): install it with scripts/install-deps.sh (package xvfb)";
        return;
    }
    std::string number;
    pollfd p{pipeFds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (::poll(&p, 1, 200) <= 0) continue;
        char c[16];
        const ssize_t n = ::read(pipeFds[0], c, sizeof c);
        if (n <= 0) break;
        number.append(c, std::size_t(n));
    }
    ::close(pipeFds[0]);
    if (number.find('\n') == std::string::npos) {
        ADD_FAILURE() << "Xvfb did not tell its display";
        return;
    }
    m_display = ":" + number.substr(0, number.find('\n'));
}

XServer::~XServer() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
}

namespace {

struct XConnection {
    explicit XConnection(const std::string& display) {
        c = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(c)) ADD_FAILURE() << "cannot reach X display " << display;
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    }
    ~XConnection() { xcb_disconnect(c); }
    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : XCB_NONE;
        std::free(r);
        return a;
    }
    void sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }
    xcb_connection_t* c;
    xcb_window_t root;
};

}  // namespace

std::uint32_t setForeignRootPixmap(const std::string& display, const QImage& picture) {
    XConnection x(display);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x.c)).data;
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const xcb_pixmap_t pixmap = xcb_generate_id(x.c);
    xcb_create_pixmap(x.c, screen->root_depth, pixmap, x.root, std::uint16_t(image.width()),
                      std::uint16_t(image.height()));
    const xcb_gcontext_t gc = xcb_generate_id(x.c);
    xcb_create_gc(x.c, gc, pixmap, 0, nullptr);
    // Xvfb at depth 24 keeps pixels as 32-bit little-endian 0x00RRGGBB, as QImage does.
    for (int y = 0; y < image.height(); ++y)
        xcb_put_image(x.c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, std::uint16_t(image.width()), 1,
                      0, std::int16_t(y), 0, screen->root_depth, std::uint32_t(image.width() * 4),
                      image.constScanLine(y));
    xcb_change_window_attributes(x.c, x.root, XCB_CW_BACK_PIXMAP, &pixmap);
    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
        xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, x.root, x.atom(name), XCB_ATOM_PIXMAP, 32,
                            1, &pixmap);
    xcb_clear_area(x.c, 0, x.root, 0, 0, 0, 0);
    xcb_set_close_down_mode(x.c, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
    x.sync();
    return pixmap;
}

std::uint32_t rootPixmapProperty(const std::string& display, const char* name) {
    XConnection x(display);
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        x.c, xcb_get_property(x.c, 0, x.root, x.atom(name), XCB_ATOM_PIXMAP, 0, 1), nullptr);
    std::uint32_t pixmap = 0;
    if (r && r->type == XCB_ATOM_PIXMAP && xcb_get_property_value_length(r) == 4)
        pixmap = *static_cast<std::uint32_t*>(xcb_get_property_value(r));
    std::free(r);
    return pixmap;
}

bool pixmapExists(const std::string& display, std::uint32_t pixmap) {
    XConnection x(display);
    xcb_get_geometry_reply_t* r =
        xcb_get_geometry_reply(x.c, xcb_get_geometry(x.c, pixmap), nullptr);
    const bool exists = r != nullptr;
    std::free(r);
    return exists;
}

void pretendWindowManager(const std::string& display, const std::string& name) {
    XConnection x(display);
    const xcb_window_t w = xcb_generate_id(x.c);
    xcb_create_window(x.c, XCB_COPY_FROM_PARENT, w, x.root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t check = x.atom("_NET_SUPPORTING_WM_CHECK");
    xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, x.root, check, XCB_ATOM_WINDOW, 32, 1, &w);
    xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, w, check, XCB_ATOM_WINDOW, 32, 1, &w);
    xcb_change_property(x.c, XCB_PROP_MODE_REPLACE, w, x.atom("_NET_WM_NAME"),
                        x.atom("UTF8_STRING"), 8, std::uint32_t(name.size()), name.data());
    xcb_set_close_down_mode(x.c, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
    x.sync();
}

// --- Bus names --------------------------------------------------------------------------

BusNames::BusNames(const std::vector<QString>& names)
    : m_connection(u"names-"_s + QUuid::createUuid().toString(QUuid::Id128)) {
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connection);
    for (const QString& name : names) EXPECT_TRUE(bus.registerService(name)) << name.toStdString();
}

BusNames::~BusNames() {
    QDBusConnection::disconnectFromBus(m_connection);
}

// --- Plasma -----------------------------------------------------------------------------

struct FakePlasmaShell::State {
    mutable std::mutex mutex;
    std::vector<Desktop> desktops;
    int scripts = 0;
    QString refusal;
    int delayMs = 0;
};

namespace {

const QString kImageGroup = u"Wallpaper/org.kde.image/General"_s;

// One desktop as the shell's script engine shows it.
class ScriptDesktop : public QObject {
    Q_OBJECT
    Q_PROPERTY(int id READ id CONSTANT)
    Q_PROPERTY(int screen READ screen CONSTANT)
    Q_PROPERTY(QString wallpaperPlugin READ wallpaperPlugin WRITE setWallpaperPlugin)
    Q_PROPERTY(QStringList currentConfigGroup READ currentConfigGroup WRITE setCurrentConfigGroup)
    Q_PROPERTY(QStringList configKeys READ configKeys)
public:
    ScriptDesktop(FakePlasmaShell::Desktop& desktop, QObject* parent)
        : QObject(parent), m_desktop(desktop), m_plugin(desktop.plugin) {}

    int id() const { return m_desktop.id; }
    int screen() const { return m_desktop.screen; }
    QString wallpaperPlugin() const { return m_plugin; }
    void setWallpaperPlugin(const QString& plugin) { m_plugin = plugin; }
    QStringList currentConfigGroup() const { return m_group; }
    void setCurrentConfigGroup(const QStringList& group) { m_group = group; }
    QStringList configKeys() const {
        QStringList keys;
        for (const auto& [key, value] : m_desktop.config[m_group.join(u'/')]) keys << key;
        return keys;
    }

    // Values are kept as text and read back in the type of the default, as KConfig does.
    Q_INVOKABLE QVariant readConfig(const QString& key, const QJSValue& fallback) const {
        const auto& group = m_desktop.config[m_group.join(u'/')];
        const auto it = group.find(key);
        if (it == group.end()) return fallback.toVariant();
        if (fallback.isNumber()) return it->second.toInt();
        return it->second;
    }
    Q_INVOKABLE void writeConfig(const QString& key, const QJSValue& value) {
        m_desktop.config[m_group.join(u'/')][key] = value.toString();
    }

    // The shell switches the plugin when the script's desktop object goes away.
    void finish() { m_desktop.plugin = m_plugin; }

private:
    FakePlasmaShell::Desktop& m_desktop;
    QString m_plugin;
    QStringList m_group;
};

class ScriptApi : public QObject {
    Q_OBJECT
public:
    ScriptApi(QJSEngine& engine, std::vector<FakePlasmaShell::Desktop>& desktops)
        : m_engine(engine), m_desktops(desktops) {}

    Q_INVOKABLE QJSValue desktops() {
        QJSValue list = m_engine.newArray(uint(m_desktops.size()));
        for (std::size_t i = 0; i < m_desktops.size(); ++i)
            list.setProperty(quint32(i), wrap(m_desktops[i]));
        return list;
    }
    Q_INVOKABLE QJSValue desktopById(const QJSValue& id) {
        for (auto& d : m_desktops)
            if (d.id == id.toInt()) return wrap(d);
        return QJSValue();
    }
    Q_INVOKABLE void print(const QString& text) { output += text; }

    void finish() {
        for (ScriptDesktop* w : m_wrappers) w->finish();
    }
    QString output;

private:
    QJSValue wrap(FakePlasmaShell::Desktop& d) {
        auto* w = new ScriptDesktop(d, this);
        QJSEngine::setObjectOwnership(w, QJSEngine::CppOwnership);
        m_wrappers.push_back(w);
        return m_engine.newQObject(w);
    }

    QJSEngine& m_engine;
    std::vector<FakePlasmaShell::Desktop>& m_desktops;
    std::vector<ScriptDesktop*> m_wrappers;
};

class PlasmaShellService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")
public:
    explicit PlasmaShellService(std::shared_ptr<FakePlasmaShell::State> state)
        : m_state(std::move(state)) {}

public Q_SLOTS:
    QString evaluateScript(const QString& script) {
        std::vector<FakePlasmaShell::Desktop> working;
        QString refusal;
        int delayMs = 0;
        {
            std::lock_guard lock(m_state->mutex);
            working = m_state->desktops;
            refusal = m_state->refusal;
            delayMs = m_state->delayMs;
            ++m_state->scripts;
        }
        if (delayMs) QThread::msleep(ulong(delayMs));
        if (!refusal.isEmpty()) {
            sendErrorReply(QDBusError::Failed, refusal);
            return {};
        }
        QJSEngine engine;
        ScriptApi api(engine, working);
        QJSEngine::setObjectOwnership(&api, QJSEngine::CppOwnership);
        engine.globalObject().setProperty(u"__api"_s, engine.newQObject(&api));
        engine.evaluate(
            u"var desktops = function() { return __api.desktops(); };"
            u"var desktopById = function(id) { return __api.desktopById(id); };"
            u"var print = function(text) { __api.print(String(text)); };"_s);
        const QJSValue result = engine.evaluate(script);
        if (result.isError()) {
            sendErrorReply(QDBusError::Failed, result.toString());
            return {};
        }
        api.finish();
        std::lock_guard lock(m_state->mutex);
        m_state->desktops = working;
        return api.output;
    }

private:
    std::shared_ptr<FakePlasmaShell::State> m_state;
};

const QString kPlasmaConnection = u"fake-plasmashell"_s;

}  // namespace

FakePlasmaShell::FakePlasmaShell(std::vector<Desktop> desktops)
    : m_state(std::make_shared<State>()) {
    m_state->desktops = std::move(desktops);
    m_thread = new QThread;
    m_service = new PlasmaShellService(m_state);
    m_service->moveToThread(m_thread);
    m_thread->start();
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, kPlasmaConnection);
    EXPECT_TRUE(bus.registerObject(u"/PlasmaShell"_s, m_service, QDBusConnection::ExportAllSlots));
    EXPECT_TRUE(bus.registerService(u"org.kde.plasmashell"_s))
        << bus.lastError().message().toStdString();
}

FakePlasmaShell::~FakePlasmaShell() {
    QDBusConnection::disconnectFromBus(kPlasmaConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_service;
    delete m_thread;
}

std::vector<FakePlasmaShell::Desktop> FakePlasmaShell::desktops() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->desktops;
}

int FakePlasmaShell::scriptCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->scripts;
}

void FakePlasmaShell::refuse(const QString& error) {
    std::lock_guard lock(m_state->mutex);
    m_state->refusal = error;
}

void FakePlasmaShell::delay(int milliseconds) {
    std::lock_guard lock(m_state->mutex);
    m_state->delayMs = milliseconds;
}

// --- sway -------------------------------------------------------------------------------

FakeSway::FakeSway(const std::string& folder, std::string config, const std::string& pid)
    : m_path(folder + "/sway-ipc." + std::to_string(::getuid()) + "." +
             (pid.empty() ? std::to_string(::getpid()) : pid) + ".sock"),
      m_config(std::move(config)) {
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, m_path.c_str(), sizeof(address.sun_path) - 1);
    ::unlink(m_path.c_str());
    EXPECT_EQ(::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(m_listener, 8), 0);
    m_thread = std::thread([this] { serve(); });
}

FakeSway::~FakeSway() {
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
    ::unlink(m_path.c_str());
}

std::vector<std::string> FakeSway::commands() const {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

namespace {

bool readFully(int fd, char* data, std::size_t size, const std::atomic<bool>& stop) {
    std::size_t done = 0;
    while (done < size && !stop) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return done == size;
}

}  // namespace

void FakeSway::serve() {
    std::vector<int> silentClients;
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        if (m_silent) {
            silentClients.push_back(client);
            continue;
        }
        char header[14];
        while (readFully(client, header, sizeof header, m_stop)) {
            std::uint32_t length = 0, type = 0;
            std::memcpy(&length, header + 6, 4);
            std::memcpy(&type, header + 10, 4);
            std::string payload(length, '\0');
            if (!readFully(client, payload.data(), length, m_stop)) break;
            std::string answer;
            if (type == 9) {
                answer = QJsonDocument(QJsonObject{{u"config"_s, QString::fromStdString(m_config)}})
                             .toJson(QJsonDocument::Compact)
                             .toStdString();
            } else {
                const bool refused = payload.find("refuse") != std::string::npos;
                {
                    std::lock_guard lock(m_mutex);
                    m_commands.push_back(payload);
                }
                QJsonObject result{{u"success"_s, !refused}};
                if (refused) result.insert(u"error"_s, u"refused on purpose"_s);
                answer =
                    QJsonDocument(QJsonArray{result}).toJson(QJsonDocument::Compact).toStdString();
            }
            std::string message = "i3-ipc";
            const std::uint32_t head[2] = {std::uint32_t(answer.size()), type};
            message.append(reinterpret_cast<const char*>(head), sizeof head);
            message += answer;
            if (::send(client, message.data(), message.size(), MSG_NOSIGNAL) < 0) break;
        }
        ::close(client);
    }
    for (int fd : silentClients) ::close(fd);
}

// --- Pictures ---------------------------------------------------------------------------

QImage patternPicture(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb((x * 7 + seed) & 255, (y * 13 + seed * 3) & 255,
                                ((x + y) * 5 + seed * 7) & 255));
    return image;
}

std::string writeBitmap(const std::string& path, const QImage& picture) {
    EXPECT_TRUE(picture.save(QString::fromStdString(path), "BMP")) << path;
    return path;
}

}  // namespace velluma::test

#include "DesktopServices.moc"
