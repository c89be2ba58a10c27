#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QMutex>
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

// What the fake Shell knows; shared with its thread.
struct ShellState {
    QMutex mutex;
    int extensionState = 0;  // 0: unknown to the Shell, 1: running, 2: known and disabled
    QStringList claims;
    QStringList enableCalls;
};

// org.gnome.Shell.Extensions, as far as the program uses it.
class FakeExtensions : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.Extensions")
public:
    explicit FakeExtensions(ShellState& state) : m_state(state) {}
public Q_SLOTS:
    QVariantMap GetExtensionInfo(const QString& uuid) {
        QMutexLocker lock(&m_state.mutex);
        if (uuid != QLatin1String(GnomeShellBackground::kUuid) || m_state.extensionState == 0)
            return {};
        return {{QStringLiteral("state"), double(m_state.extensionState)}};
    }
    bool EnableExtension(const QString& uuid) {
        QMutexLocker lock(&m_state.mutex);
        m_state.enableCalls << uuid;
        if (m_state.extensionState == 0) return false;  // the Shell loads new ones at login
        m_state.extensionState = 1;
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
        if (m_state.extensionState != 1) {
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
        EXPECT_TRUE(bus.registerObject(QStringLiteral("/org/gnome/Shell"), m_extensions,
                                       QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(bus.registerObject(QStringLiteral("/example/velluma/ShellBackground"),
                                       m_background, QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(bus.registerService(QStringLiteral("org.gnome.Shell")));
    }
    ~FakeGnomeShell() {
        QDBusConnection::disconnectFromBus(QLatin1String(kConnection));
        m_thread.quit();
        m_thread.wait();
        delete m_extensions;
        delete m_background;
    }

    void setExtensionState(int value) {
        QMutexLocker lock(&state.mutex);
        state.extensionState = value;
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
        std::ofstream(source + "/metadata.json") << "{}";
        std::ofstream(source + "/extension.js") << "// ours";
    }
    fs::path installed() const {
        return fs::path(dataHome) / "gnome-shell/extensions" / GnomeShellBackground::kUuid;
    }
    bool refusalKept() {
        return platform.registry->readString(Hive::CurrentUser, GnomeShellBackground::kRefusalKey,
                                             GnomeShellBackground::kRefusalValue) == "1";
    }
};

TEST(GnomeShellBackground, ClaimsThePlaceWhileTheExtensionRunsAndPassesOnCoverage) {
    Fixture f;
    EXPECT_FALSE(f.background.claim("00112233445566778899aabbccddeeff"));

    f.shell.setExtensionState(1);
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
        int shellState;       // the extension as the Shell knows it
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
        {"new, yes", 0, false, false, true, MessageAnswer::Yes, Setup::Later, true, true, true,
         false},
        {"new, no", 0, false, false, true, MessageAnswer::No, Setup::Declined, true, false, false,
         true},
        {"refused before", 0, false, true, true, MessageAnswer::Yes, Setup::Declined, false, false,
         false, true},
        {"not shipped", 0, false, false, false, MessageAnswer::Yes, Setup::Declined, false, false,
         false, false},
        {"installed for all, disabled, yes", 2, false, false, true, MessageAnswer::Yes,
         Setup::Ready, true, false, false, false},
        {"enabled, waiting for a login", 0, true, false, true, MessageAnswer::Yes, Setup::Later,
         false, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.shell.setExtensionState(c.shellState);
        if (c.enabledAlready)
            setEnabledExtensions({"someone-else@example.org", GnomeShellBackground::kUuid});
        if (c.refusedBefore)
            f.platform.registry->setDword(Hive::CurrentUser, GnomeShellBackground::kRefusalKey,
                                          GnomeShellBackground::kRefusalValue, 1);
        if (!c.shipped) fs::remove_all(f.source);
        f.messages.nextAnswers = {c.answer};

        std::string note;
        EXPECT_EQ(f.background.offerSetup(note), c.result);
        EXPECT_EQ(f.messages.shown.size(), c.asked ? 1u : 0u);
        EXPECT_EQ(fs::exists(f.installed() / "extension.js"), c.installed);
        const auto enabled = enabledExtensions();
        EXPECT_EQ(std::count(enabled.begin(), enabled.end(), GnomeShellBackground::kUuid),
                  c.enabled ? 1 : 0);
        EXPECT_EQ(enabled.front(), "someone-else@example.org");  // the user's own stay
        EXPECT_EQ(f.refusalKept(), c.refusalKept);
        if (c.result == Setup::Later) EXPECT_NE(note.find("log out"), std::string::npos) << note;
        if (c.shellState == 2 && c.answer == MessageAnswer::Yes)
            EXPECT_EQ(f.shell.state.enableCalls.size(), 1);  // the Shell enabled it itself
    }
}

}  // namespace
}  // namespace velluma

#include "GnomeShellBackgroundTest.moc"
