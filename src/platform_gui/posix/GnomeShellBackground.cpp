#include "platform_gui/posix/GnomeShellBackground.h"

#include <gio/gio.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "platform_gui/posix/DesktopCall.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;

constexpr const char* kShell = "org.gnome.Shell";
constexpr const char* kPath = "/example/velluma/ShellBackground";
constexpr const char* kInterface = "example.velluma.ShellBackground";
constexpr const char* kShellPath = "/org/gnome/Shell";
constexpr const char* kExtensionsInterface = "org.gnome.Shell.Extensions";
constexpr const char* kShellSchema = "org.gnome.shell";
constexpr const char* kEnabledKey = "enabled-extensions";
constexpr int kEnabledState = 1;  // the Shell's ExtensionState.ENABLED: loaded and running

const char* const kQuestion =
    "Velluma can play live themes on the GNOME desktop with the help of a small GNOME Shell "
    "extension of its own (Velluma live desktop). Shall Velluma install and enable it for "
    "you?\n\nWithout it, Velluma shows a still picture of the theme as the wallpaper. GNOME "
    "may start a newly installed extension only after you log out and in again.";
const char* const kNoneForThisShell =
    "Velluma's GNOME Shell extension does not run on GNOME Shell %1.";
const char* const kAtNextLogin =
    "Velluma's GNOME Shell extension is enabled; GNOME starts it at your next login (log out "
    "and in again). Until then Velluma shows a still picture of the theme.";

QDBusMessage call(const char* path, const char* interface, const char* method,
                  const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(kShell), QLatin1String(path),
                                       QLatin1String(interface), QLatin1String(method));
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, int(kDesktopTimeout.count()));
}

struct SettingsDeleter {
    void operator()(GSettings* s) const { g_object_unref(s); }
};
struct StrvDeleter {
    void operator()(gchar** v) const { g_strfreev(v); }
};

// The Shell's own settings, through GIO; nothing where the Shell's schema is missing.
std::unique_ptr<GSettings, SettingsDeleter> shellSettings() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, kShellSchema, TRUE) : nullptr;
    if (!schema) return nullptr;
    GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
    g_settings_schema_unref(schema);
    return std::unique_ptr<GSettings, SettingsDeleter>(settings);
}

bool listed(gchar** list, const std::string& uuid) {
    for (gchar** item = list; item && *item; ++item)
        if (*item == uuid) return true;
    return false;
}

// "45.2" -> {"45", "2"}; the minor part is empty where there is none.
std::pair<QString, QString> majorMinor(const QString& version) {
    const qsizetype dot = version.indexOf(QLatin1Char('.'));
    if (dot < 0) return {version, QString()};
    return {version.left(dot), version.mid(dot + 1).section(QLatin1Char('.'), 0, 0)};
}

// Whether an extension that lists these versions runs on the Shell of this version.
bool runsOn(const QJsonArray& listed, const QString& shell) {
    const auto [major, minor] = majorMinor(shell);
    bool numericMinor = false;
    minor.toUInt(&numericMinor);
    if (major.isEmpty() || (!minor.isEmpty() && !numericMinor)) return false;
    for (const auto& entry : listed) {
        const auto [wantMajor, wantMinor] = majorMinor(entry.toString());
        if (wantMajor == major && (wantMinor.isEmpty() || wantMinor == minor)) return true;
    }
    return false;
}

}  // namespace

GnomeShellBackground::GnomeShellBackground(Registry& registry, MessageBoxes& messages,
                                           std::string extensionSource, std::string dataHome)
    : m_registry(registry),
      m_messages(messages),
      m_source(std::move(extensionSource)),
      m_dataHome(std::move(dataHome)) {
    QDBusConnection::sessionBus().connect(
        QLatin1String(kShell), QLatin1String(kPath), QLatin1String(kInterface),
        QStringLiteral("CoveredChanged"), this, SLOT(takeCovered(bool)));
}

GnomeShellBackground::~GnomeShellBackground() {
    release();
}

std::string GnomeShellBackground::userDataHome() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return data;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/share";
}

std::string GnomeShellBackground::extensionFor(const std::string& shellVersion,
                                               const std::string& extensionsSource) {
    const QString shell = QString::fromStdString(shellVersion);
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(extensionsSource, error)) {
        QFile file(QString::fromStdString((entry.path() / "metadata.json").string()));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QJsonObject metadata = QJsonDocument::fromJson(file.read(1 << 16)).object();
        const std::string uuid = metadata.value(QStringLiteral("uuid")).toString().toStdString();
        // The Shell finds an extension by its folder's name.
        if (uuid == entry.path().filename().string() &&
            runsOn(metadata.value(QStringLiteral("shell-version")).toArray(), shell))
            found.push_back(uuid);
    }
    return found.size() == 1 ? found.front() : std::string();
}

bool GnomeShellBackground::claim(const std::string& token) {
    const QDBusMessage reply = call(kPath, kInterface, "Claim", {QString::fromStdString(token)});
    m_claimed = reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1;
    if (m_claimed) takeCovered(reply.arguments().front().toBool());
    return m_claimed;
}

void GnomeShellBackground::release() {
    if (!m_claimed) return;
    m_claimed = false;
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(kShell), QLatin1String(kPath),
                                       QLatin1String(kInterface), QStringLiteral("Release"));
    QDBusConnection::sessionBus().call(message, QDBus::NoBlock);
}

void GnomeShellBackground::takeCovered(bool covered) {
    if (covered == m_covered) return;
    m_covered = covered;
    coveredChanged(covered);
}

bool GnomeShellBackground::refusedBefore() {
    try {
        return m_registry.readString(Hive::CurrentUser, kRefusalKey, kRefusalValue) == "1";
    } catch (const std::exception&) {
        return false;
    }
}

std::string GnomeShellBackground::shellVersion() {
    const QDBusReply<QDBusVariant> version =
        call(kShellPath, "org.freedesktop.DBus.Properties", "Get",
             {QStringLiteral("org.gnome.Shell"), QStringLiteral("ShellVersion")});
    return version.isValid() ? version.value().variant().toString().toStdString() : std::string();
}

int GnomeShellBackground::extensionState(const std::string& uuid) {
    const QDBusReply<QVariantMap> info =
        call(kShellPath, kExtensionsInterface, "GetExtensionInfo", {QString::fromStdString(uuid)});
    return info.isValid() ? int(info.value().value(QStringLiteral("state")).toDouble()) : 0;
}

bool GnomeShellBackground::enabledInSettings(const std::string& uuid) {
    bool enabled = false;
    try {
        runWithin(kDesktopTimeout, "GNOME Shell's settings", [&enabled, &uuid] {
            const auto settings = shellSettings();
            if (!settings) return;
            const std::unique_ptr<gchar*, StrvDeleter> list(
                g_settings_get_strv(settings.get(), kEnabledKey));
            enabled = listed(list.get(), uuid);
        });
    } catch (const DesktopError&) {
    }
    return enabled;
}

// Copies the extension into the user's extensions folder: a whole new copy first, which then
// takes the place of any old one, so a full disk leaves the old copy as it was.
void GnomeShellBackground::install(const std::string& uuid) {
    const fs::path folder = fs::path(m_dataHome) / "gnome-shell" / "extensions";
    const fs::path target = folder / uuid;
    const fs::path staging = folder / ("." + uuid + ".new");
    std::error_code error;
    fs::create_directories(folder, error);
    fs::remove_all(staging, error);
    fs::copy(fs::path(m_source) / uuid, staging, fs::copy_options::recursive, error);
    if (error) {
        fs::remove_all(staging);
        throw DesktopError("Velluma's GNOME Shell extension could not be copied to " +
                           target.string() + ": " + error.message());
    }
    fs::remove_all(target, error);
    fs::rename(staging, target, error);
    if (error)
        throw DesktopError("Velluma's GNOME Shell extension could not be put in " +
                           target.string() + ": " + error.message());
}

// Through the Shell where it knows the extension (it starts it at once), else in its settings,
// which it reads at the next login.
void GnomeShellBackground::enable(const std::string& uuid) {
    const QDBusReply<bool> done =
        call(kShellPath, kExtensionsInterface, "EnableExtension", {QString::fromStdString(uuid)});
    if (done.isValid() && done.value()) return;
    runWithin(kDesktopTimeout, "GNOME Shell's settings", [&uuid] {
        const auto settings = shellSettings();
        if (!settings)
            throw DesktopError("GNOME Shell's settings (org.gnome.shell) are not installed");
        const std::unique_ptr<gchar*, StrvDeleter> list(
            g_settings_get_strv(settings.get(), kEnabledKey));
        if (listed(list.get(), uuid)) return;
        GStrvBuilder* builder = g_strv_builder_new();
        g_strv_builder_addv(builder, const_cast<const char**>(list.get()));
        g_strv_builder_add(builder, uuid.c_str());
        const std::unique_ptr<gchar*, StrvDeleter> more(g_strv_builder_end(builder));
        g_strv_builder_unref(builder);
        const bool written = g_settings_set_strv(settings.get(), kEnabledKey, more.get());
        g_settings_sync();
        if (!written)
            throw DesktopError("GNOME Shell's list of enabled extensions could not be written");
    });
}

BackgroundLayer::Setup GnomeShellBackground::offerSetup(std::string& note) {
    note.clear();
    if (refusedBefore()) return Setup::Declined;
    const std::string version = shellVersion();
    const std::string uuid = extensionFor(version, m_source);
    if (uuid.empty()) {
        // Nothing shipped that this Shell runs.
        if (!version.empty() && fs::is_directory(m_source))
            note = QString::fromLatin1(kNoneForThisShell)
                       .arg(QString::fromStdString(version))
                       .toStdString();
        return Setup::Declined;
    }
    const int state = extensionState(uuid);
    if (state == kEnabledState) return Setup::Ready;  // it came up meanwhile
    if (enabledInSettings(uuid)) {
        // Enabled before, by us or by the user: nothing to ask, the Shell has not started it.
        note = kAtNextLogin;
        return Setup::Later;
    }
    const bool known = state != 0;

    const MessageAnswer answer =
        m_messages.show(kQuestion, "Velluma", MessageIcon::Question, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes) {
        try {
            m_registry.setDword(Hive::CurrentUser, kRefusalKey, kRefusalValue, 1);
        } catch (const std::exception& e) {
            note = e.what();  // asked again next run; the still goes on
        }
        return Setup::Declined;
    }
    try {
        if (!known) install(uuid);
        enable(uuid);
    } catch (const std::exception& e) {
        note = e.what();
        return Setup::Declined;
    }
    if (extensionState(uuid) == kEnabledState) return Setup::Ready;
    note = kAtNextLogin;
    return Setup::Later;
}

}  // namespace velluma
