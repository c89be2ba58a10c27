#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/TempFolder.h"

// The desktop tests talk to real services on a session bus of their own: the program runs
// itself again under dbus-run-session, with a settings home of its own for the GSettings
// keyfile store and for xfconfd, which the bus starts on demand.
int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0) listing = true;
    if (!listing && !std::getenv("VELLUMA_PRIVATE_BUS")) {
        ::setenv("VELLUMA_PRIVATE_BUS", "1", 1);
        std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
        for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        ::execvp("dbus-run-session", args.data());
        std::fprintf(stderr,
                     "dbus-run-session cannot be started (%s): the desktop tests need a private "
                     "session bus. Install it with scripts/install-deps.sh (package dbus-bin).\n",
                     std::strerror(errno));
        return 1;
    }

    velluma::test::TempFolder home;
    const std::string config = home.makeFolder("config");
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("DISPLAY");  // every test names the X server it started
    QGuiApplication app(argc, argv);

    if (!listing) {
        // Services the bus starts (xfconfd) keep their settings in our home too.
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
        qDBusRegisterMetaType<QMap<QString, QString>>();
        QMap<QString, QString> env{
            {QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(config)}};
        call << QVariant::fromValue(env);
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::fprintf(stderr, "The private session bus does not answer: %s\n",
                         qPrintable(reply.errorMessage()));
            return 1;
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
