#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <QVariantMap>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/Platform.h"
#include "platform_gui/posix/GnomeShellBackground.h"
#include "support/TempFolder.h"
#include "support/TestPlatform.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

constexpr const char* kConnection = "velluma-fake-gnome-shell";
// Our extensions: for the Shells whose extensions are scripts, and for those of modules.
constexpr const char* kScripts = "velluma@velluma.example";
constexpr const char* kModules = "velluma45@velluma.example";

// What the fake Shell knows; shared with its thread.
struct ShellState {
    QMutex mutex;
    QString version = QStringLiteral("43.9");
    // By uuid; 0 or none: unknown to the Shell, 1: running, 2: known and disabled.
    QMap<QString, int> extensionStates;
    QStringList claims;
    QStringList enableCalls;
};

// org.gnome.Shell's ShellVersion, beside the Extensions interface on the same object.
class FakeShellInterface : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell")
    Q_PROPERTY(QString ShellVersion READ shellVersion)
public:
    FakeShellInterface(QObject* parent, ShellState& state)
        : QDBusAbstractAdaptor(parent), m_state(state) {}
    QString shellVersion() const {
        QMutexLocker lock(&m_state.mutex);
        return m_state.version;
    }

private:
    ShellState& m_state;
};

// org.gnome.Shell.Extensions, as far as the program uses it.
class FakeExtensions : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.Extensions")
public:
    explicit FakeExtensions(ShellState& state) : m_state(state) {
        new FakeShellInterface(this, state);
    }
public Q_SLOTS:
    QVariantMap GetExtensionInfo(const QString& uuid) {
        QMutexLocker lock(&m_state.mutex);
        const int state = m_state.extensionStates.value(uuid);
        if (state == 0) return {};
        return {{QStringLiteral("state"), double(state)}};
    }
    bool EnableExtension(const QString& uuid) {
        QMutexLocker lock(&m_state.mutex);
        m_state.enableCalls << uuid;
        // The Shell loads new ones at login.
        if (m_state.extensionStates.value(uuid) == 0) return false;
        m_state.extensionStates[uuid] = 1;
        return true;
    }

private:
    ShellState& m_state;
};

// Our extension's interface: there while the extension runs.
class FakeBackground : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "example.velluma.ShellBackground")
public:
    explicit FakeBackground(ShellState& state) : m_state(state) {}
public Q_SLOTS:
    bool Claim(const QString& token) {
        QMutexLocker lock(&m_state.mutex);
        if (!m_state.extensionStates.values().contains(1)) {
            sendErrorReply(QDBusError::UnknownObject, QStringLiteral("no such object"));
            return false;
        }
        m_state.claims << token;
        return true;  // covered already
    }
    void Release() {}

private:
    ShellState& m_state;
};

class FakeGnomeShell {
public:
    FakeGnomeShell() {
        m_extensions = new FakeExtensions(state);
        m_background = new FakeBackground(state);
        m_extensions->moveToThread(&m_thread);
        m_background->moveToThread(&m_thread);
        m_thread.start();
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QLatin1String(kConnection));
        EXPECT_TRUE(
            bus.registerObject(QStringLiteral("/org/gnome/Shell"), m_extensions,
                               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAdaptors));
        EXPECT_TRUE(bus.registerObject(QStringLiteral("/example/velluma/ShellBackground"),
                                       m_background, QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(bus.registerService(QStringLiteral("org.gnome.Shell")));
    }
    ~FakeGnomeShell() {
        QDBusConnection::disconnectFromBus(QLatin1String(kConnection));
        // In their own thread, where the bus relays their signals from.
        QMetaObject::invokeMethod(
            m_extensions, [this] { delete m_extensions; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
        delete m_background;
    }

    void setVersion(const char* version) {
        QMutexLocker lock(&state.mutex);
        state.version = QString::fromLatin1(version);
    }
    void setExtensionState(const char* uuid, int value) {
        QMutexLocker lock(&state.mutex);
        state.extensionStates[QString::fromLatin1(uuid)] = value;
    }
    void emitCovered(bool covered) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/example/velluma/ShellBackground"),
            QStringLiteral("example.velluma.ShellBackground"), QStringLiteral("CoveredChanged"));
        signal << covered;
        QDBusConnection(QLatin1String(kConnection)).send(signal);
    }

    ShellState state;

private:
    QThread m_thread;
    FakeExtensions* m_extensions;
    FakeBackground* m_background;
};

// The Shell's list of enabled extensions in the test's settings store.
std::vector<std::string> enabledExtensions() {
    GSettings* settings = g_settings_new("org.gnome.shell");
    gchar** list = g_settings_get_strv(settings, "enabled-extensions");
    std::vector<std::string> result;
    for (gchar** item = list; *item; ++item) result.emplace_back(*item);
    g_strfreev(list);
    g_object_unref(settings);
    return result;
}

void setEnabledExtensions(std::vector<const char*> uuids) {
    GSettings* settings = g_settings_new("org.gnome.shell");
    uuids.push_back(nullptr);
    g_settings_set_strv(settings, "enabled-extensions", uuids.data());
    g_settings_sync();
    g_object_unref(settings);
}

struct Fixture {
    TempFolder temp;
    Platform platform = test::makeTestPlatform(temp.makeFolder("registry"));
    test::RecordingMessageBoxes messages;
    std::string source = temp.makeFolder("shipped");
    std::string dataHome = temp.makeFolder("data");
    FakeGnomeShell shell;
    GnomeShellBackground background{*platform.registry, messages, source, dataHome};

    Fixture() {
        setEnabledExtensions({"someone-else@example.org"});
        ship(kScripts, R"(["43", "44"])");
        ship(kModules, R"(["45", "46", "47"])");
    }
    void ship(const std::string& uuid, const std::string& versions) {
        fs::create_directories(fs::path(source) / uuid);
        std::ofstream(fs::path(source) / uuid / "metadata.json")
            << R"({"uuid": ")" << uuid << R"(", "shell-version": )" << versions << "}";
        std::ofstream(fs::path(source) / uuid / "extension.js") << "// " << uuid;
    }
    fs::path installed(const std::string& uuid) const {
        return fs::path(dataHome) / "gnome-shell/extensions" / uuid;
    }
    bool refusalKept() {
        return platform.registry->readString(Hive::CurrentUser, GnomeShellBackground::kRefusalKey,
                                             GnomeShellBackground::kRefusalValue) == "1";
    }
};

TEST(GnomeShellBackground, ClaimsThePlaceWhileTheExtensionRunsAndPassesOnCoverage) {
    Fixture f;
    EXPECT_FALSE(f.background.claim("00112233445566778899aabbccddeeff"));

    f.shell.setExtensionState(kScripts, 1);
    std::vector<bool> told;
    f.background.onCoveredChanged([&told](bool covered) { told.push_back(covered); });
    ASSERT_TRUE(f.background.claim("00112233445566778899aabbccddeeff"));
    EXPECT_EQ(f.shell.state.claims,
              QStringList{QStringLiteral("00112233445566778899aabbccddeeff")});
    EXPECT_TRUE(f.background.covered());  // as the claim answered

    f.shell.emitCovered(false);
    QElapsedTimer waited;
    waited.start();
    while (told.size() < 2 && waited.elapsed() < 5000) QCoreApplication::processEvents();
    EXPECT_EQ(told, (std::vector<bool>{true, false}));
    EXPECT_FALSE(f.background.covered());
}

// Whatever the situation, nothing is installed or enabled without a yes, and a no is kept.
TEST(GnomeShellBackground, SetsTheExtensionUpOnlyWithTheUsersConsent) {
    using Setup = BackgroundLayer::Setup;
    struct Case {
        const char* name;
        const char* shellVersion;
        int shellState;       // the extension for that Shell as the Shell knows it
        bool enabledAlready;  // in the Shell's settings
        bool refusedBefore;
        bool shipped;
        MessageAnswer answer;
        Setup result;
        bool asked;
        bool installed;  // copied into the user's extensions
        bool enabled;    // in the Shell's settings afterwards
        bool refusalKept;
    };
    const Case cases[] = {
        {"new, yes", "43.9", 0, false, false, true, MessageAnswer::Yes, Setup::Later, true, true,
         true, false},
        {"new, no", "43.9", 0, false, false, true, MessageAnswer::No, Setup::Declined, true, false,
         false, true},
        {"refused before", "43.9", 0, false, true, true, MessageAnswer::Yes, Setup::Declined, false,
         false, false, true},
        {"not shipped", "43.9", 0, false, false, false, MessageAnswer::Yes, Setup::Declined, false,
         false, false, false},
        {"installed for all, disabled, yes", "43.9", 2, false, false, true, MessageAnswer::Yes,
         Setup::Ready, true, false, false, false},
        {"enabled, waiting for a login", "43.9", 0, true, false, true, MessageAnswer::Yes,
         Setup::Later, false, false, true, false},
        {"Shell 46, new, yes", "46.2", 0, false, false, true, MessageAnswer::Yes, Setup::Later,
         true, true, true, false},
        {"Shell 47, installed for all, yes", "47.0", 2, false, false, true, MessageAnswer::Yes,
         Setup::Ready, true, false, false, false},
        {"a Shell none of ours runs on", "42.9", 0, false, false, true, MessageAnswer::Yes,
         Setup::Declined, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.shell.setVersion(c.shellVersion);
        const bool modules = c.shellVersion[0] == '4' && c.shellVersion[1] >= '5';
        const char* ours = modules ? kModules : kScripts;
        const char* other = modules ? kScripts : kModules;
        f.shell.setExtensionState(ours, c.shellState);
        f.shell.setExtensionState(other, c.shellState);  // a copy for every user has both
        if (c.enabledAlready) setEnabledExtensions({"someone-else@example.org", ours});
        if (c.refusedBefore)
            f.platform.registry->setDword(Hive::CurrentUser, GnomeShellBackground::kRefusalKey,
                                          GnomeShellBackground::kRefusalValue, 1);
        if (!c.shipped) fs::remove_all(f.source);
        f.messages.nextAnswers = {c.answer};

        std::string note;
        EXPECT_EQ(f.background.offerSetup(note), c.result);
        EXPECT_EQ(f.messages.shown.size(), c.asked ? 1u : 0u);
        EXPECT_EQ(fs::exists(f.installed(ours) / "extension.js"), c.installed);
        EXPECT_FALSE(fs::exists(f.installed(other)));  // only the one this Shell runs
        const auto enabled = enabledExtensions();
        EXPECT_EQ(std::count(enabled.begin(), enabled.end(), ours), c.enabled ? 1 : 0);
        EXPECT_EQ(std::count(enabled.begin(), enabled.end(), other), 0);
        EXPECT_EQ(enabled.front(), "someone-else@example.org");  // the user's own stay
        EXPECT_EQ(f.refusalKept(), c.refusalKept);
        if (c.result == Setup::Later) {
            EXPECT_NE(note.find("log out"), std::string::npos) << note;
        }
        if (c.shellState == 2 && c.answer == MessageAnswer::Yes) {  // the Shell enabled it itself
            EXPECT_EQ(f.shell.state.enableCalls, QStringList{QString::fromLatin1(ours)});
        }
        if (std::string(c.name).starts_with("a Shell none")) {
            EXPECT_NE(note.find("GNOME Shell 42.9"), std::string::npos) << note;
        }
    }
}

// The extensions the program ships: each Shell version runs at most one of them, by the
// Shell's own reading of their metadata, and every Shell from Debian 12's on runs one.
TEST(GnomeShellBackground, ShipsOneExtensionForEachShellVersion) {
    const std::string shipped = VELLUMA_SHELL_EXTENSIONS_DIR;
    const struct {
        const char* version;
        const char* uuid;
    } cases[] = {
        {"43.9", kScripts}, {"43", kScripts},   {"44.2", kScripts}, {"45.0", kModules},
        {"46.5", kModules}, {"48.1", kModules}, {"50.0", kModules}, {"42.9", ""},
        {"44.beta", ""},    {"46.alpha", ""},   {"99.0", ""},       {"", ""},
        {"fortyfive", ""},  {"4", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GnomeShellBackground::extensionFor(c.version, shipped), c.uuid) << c.version;

    // The lists themselves: a version listed twice would leave the choice to chance.
    QStringList listed;
    for (const char* uuid : {kScripts, kModules}) {
        QFile file(QString::fromStdString(shipped + "/" + uuid + "/metadata.json"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << uuid;
        const QJsonObject metadata = QJsonDocument::fromJson(file.readAll()).object();
        EXPECT_EQ(metadata.value(QStringLiteral("uuid")).toString(), QLatin1String(uuid));
        for (const QJsonValue& version : metadata.value(QStringLiteral("shell-version")).toArray())
            listed << version.toString();
    }
    EXPECT_EQ(listed.size(), QSet<QString>(listed.begin(), listed.end()).size())
        << listed.join(QLatin1Char(',')).toStdString();
}

// A folder the Shell would not take (its name is not its uuid) is not offered, nor are two
// that claim the same Shell.
TEST(GnomeShellBackground, ChoosesNoExtensionWhereTheShippedOnesDisagree) {
    Fixture f;
    fs::rename(fs::path(f.source) / kModules, fs::path(f.source) / "renamed@velluma.example");
    EXPECT_EQ(GnomeShellBackground::extensionFor("45.1", f.source), "");
    f.ship("another@velluma.example", R"(["43"])");
    EXPECT_EQ(GnomeShellBackground::extensionFor("43.9", f.source), "");
    EXPECT_EQ(GnomeShellBackground::extensionFor("44.1", f.source), kScripts);
}

}  // namespace
}  // namespace velluma

#include "GnomeShellBackgroundTest.moc"
