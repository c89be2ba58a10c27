// The page program's confinement: bubblewrap's arguments, and from inside, with a probe
// started through the same launcher, what a confined program can reach.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryFile>
#include <algorithm>
#include <map>

#include "platform_gui/posix/PageConfinement.h"
#include "platform_gui/posix/PageLauncher.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using test::TempFolder;
using Args = std::vector<std::string>;

// Where run starts in args at or after from; npos when it does not.
std::size_t find(const Args& args, const Args& run, std::size_t from) {
    for (std::size_t i = from; i + run.size() <= args.size(); ++i)
        if (std::equal(run.begin(), run.end(), args.begin() + std::ptrdiff_t(i))) return i;
    return std::string::npos;
}

std::string joined(const Args& args) {
    std::string text;
    for (const std::string& arg : args) text += arg + " ";
    return text;
}

TEST(PageConfinement, BubblewrapArguments) {
    HostLayout x11;
    x11.links = {{"/lib", "usr/lib"}};
    x11.system = {"/usr", "/etc/fonts"};
    x11.environment = {{"DISPLAY", ":5"}};
    x11.x11Socket = "/tmp/.X11-unix/X5";
    x11.xauthority = "/tmp/xvfb-run.1/Xauthority";
    x11.runtimeFolder = "/tmp/runtime";
    HostLayout wayland;
    wayland.system = {"/usr"};
    wayland.runtimeFolder = "/run/user/1000";
    wayland.waylandSocket = "/run/user/1000/wayland-0";

    struct Case {
        const char* what;
        PageReach reach;
        HostLayout host;
        std::vector<Args> inOrder;  // each run appears, after the one before it
        Args absent;
    };
    const Case cases[] = {
        {"a desktop page on X11",
         {"/opt/V/velluma-page", {"/opt/V/ruffle", "/opt/V/advThemes/WorkDir"}, ""},
         x11,
         {{"--unshare-all", "--unshare-user", "--disable-userns"},
          {"--die-with-parent"},
          {"--new-session"},
          {"--cap-drop", "ALL"},
          {"--clearenv"},
          {"--setenv", "DISPLAY", ":5"},
          {"--setenv", "HOME", "/tmp"},
          {"--setenv", "XAUTHORITY", "/tmp/xvfb-run.1/Xauthority"},
          {"--symlink", "usr/lib", "/lib"},
          {"--ro-bind-try", "/usr", "/usr"},
          {"--ro-bind-try", "/etc/fonts", "/etc/fonts"},
          {"--proc", "/proc", "--dev", "/dev", "--tmpfs", "/tmp"},
          {"--perms", "0700", "--dir", "/tmp/runtime"},
          {"--ro-bind", "/tmp/.X11-unix/X5", "/tmp/.X11-unix/X5"},
          {"--ro-bind", "/tmp/xvfb-run.1/Xauthority", "/tmp/xvfb-run.1/Xauthority"},
          {"--ro-bind", "/opt/V/velluma-page", "/opt/V/velluma-page"},
          {"--ro-bind-try", "/opt/V/ruffle", "/opt/V/ruffle"},
          {"--ro-bind-try", "/opt/V/advThemes/WorkDir", "/opt/V/advThemes/WorkDir"},
          {"--chdir", "/tmp"}},
         {"--bind", "--share-net", "--dev-bind", "/etc", "/home", "/root", "--"}},
        {"a still: the work folder stays read-only inside the writable folder",
         {"/tmp/s/V/velluma-page", {"/tmp/s/V/advThemes/WorkDir/7"}, "/tmp/s/V/advThemes"},
         x11,
         {{"--tmpfs", "/tmp"},
          {"--bind", "/tmp/s/V/advThemes", "/tmp/s/V/advThemes"},
          {"--ro-bind", "/tmp/s/V/velluma-page", "/tmp/s/V/velluma-page"},
          {"--ro-bind-try", "/tmp/s/V/advThemes/WorkDir/7", "/tmp/s/V/advThemes/WorkDir/7"}},
         {"--share-net"}},
        {"a Wayland session: its socket in a private runtime folder",
         {"/opt/V/velluma-page", {}, ""},
         wayland,
         {{"--setenv", "XDG_RUNTIME_DIR", "/run/user/1000"},
          {"--tmpfs", "/tmp"},
          {"--perms", "0700", "--dir", "/run/user/1000"},
          {"--ro-bind", "/run/user/1000/wayland-0", "/run/user/1000/wayland-0"}},
         {"/tmp/.X11-unix/X5", "XAUTHORITY", "--bind"}},
    };
    for (const Case& c : cases) {
        const Args args = bwrapArguments(c.reach, c.host);
        std::size_t at = 0;
        for (const Args& run : c.inOrder) {
            const std::size_t found = find(args, run, at);
            ASSERT_NE(found, std::string::npos)
                << c.what << ": " << joined(run) << "missing or out of order in " << joined(args);
            at = found + run.size();
        }
        for (const std::string& token : c.absent)
            EXPECT_EQ(std::count(args.begin(), args.end(), token), 0)
                << c.what << ": " << token << " in " << joined(args);
    }
}

TEST(PageConfinement, TheDisplayAndTheEnvironmentAsSeenFromInside) {
    const std::pair<const char*, std::optional<std::string>> displays[] = {
        {":0", "/tmp/.X11-unix/X0"},
        {":12.1", "/tmp/.X11-unix/X12"},
        {"unix:3", "/tmp/.X11-unix/X3"},
        {"localhost:10.0", std::nullopt},
        {"host.lan:0", std::nullopt},
        {":abc", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [display, socket] : displays) EXPECT_EQ(localX11Socket(display), socket);

    // A display over TCP cannot be reached from a network of its own.
    const HostLayoutOrReason remote = describeHost({{"DISPLAY", "localhost:10.0"}});
    EXPECT_FALSE(remote.layout);
    EXPECT_NE(remote.reason.find("localhost:10.0"), std::string::npos) << remote.reason;

    // Only what the page needs is passed in; the session's bus, agents and home stay out.
    const HostLayoutOrReason local = describeHost({{"HOME", "/root"},
                                                   {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/b"},
                                                   {"SSH_AUTH_SOCK", "/tmp/agent"},
                                                   {"QT_SCALE_FACTOR", "2"},
                                                   {"LC_ALL", "C"},
                                                   {"XDG_SESSION_TYPE", "x11"}});
    ASSERT_TRUE(local.layout) << local.reason;
    EXPECT_EQ(local.layout->environment,
              (std::map<std::string, std::string>{
                  {"LC_ALL", "C"}, {"QT_SCALE_FACTOR", "2"}, {"XDG_SESSION_TYPE", "x11"}}));
    EXPECT_EQ(local.layout->runtimeFolder, "/tmp/runtime");
    EXPECT_TRUE(local.layout->x11Socket.empty());
    EXPECT_NE(std::find(local.layout->system.begin(), local.layout->system.end(), "/usr"),
              local.layout->system.end());
}

// The probe's answers: "<try> <arg>" -> "yes", "no" or a status value.
std::map<std::string, std::string> runProbe(const PageLauncher& launcher,
                                            const std::vector<std::string>& tries,
                                            const std::vector<std::string>& readable) {
    QStringList args;
    for (const std::string& arg : tries) args.append(QString::fromStdString(arg));
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    launcher.start(probe, QStringLiteral(VELLUMA_CONFINEMENT_PROBE), args, readable);
    EXPECT_TRUE(probe.waitForFinished(30000));
    std::map<std::string, std::string> answers;
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        const qsizetype last = line.lastIndexOf(' ');
        if (last > 0) answers[line.left(last).toStdString()] = line.mid(last + 1).toStdString();
    }
    return answers;
}

struct ProbeWorld {
    TempFolder temp;
    std::string page = temp.write("work/1/index.htm", "<html></html>");
    QTemporaryFile inHome{QDir::homePath() + QStringLiteral("/velluma-probe-XXXXXX")};
    std::string secret;
    QTcpServer server;

    ProbeWorld() {
        if (inHome.open()) {
            inHome.write("secret");
            inHome.flush();
            secret = inHome.fileName().toStdString();
        }
        server.listen(QHostAddress::LocalHost, 0);
    }
    std::string port() const { return std::to_string(server.serverPort()); }
};

TEST(PageConfinement, AConfinedProgramReachesOnlyWhatItWasGiven) {
    if (QStandardPaths::findExecutable(QStringLiteral("bwrap")).isEmpty())
        GTEST_SKIP() << "bubblewrap is not installed (scripts/install-deps.sh)";
    const PageLauncher launcher;
    ASSERT_TRUE(launcher.confines()) << "bubblewrap is installed but cannot confine here";
    ProbeWorld w;
    ASSERT_FALSE(w.secret.empty());
    ASSERT_TRUE(w.server.isListening());
    const std::string work = w.temp.file("work");
    const std::string privateFile =
        "/tmp/velluma-probe-" + std::to_string(QCoreApplication::applicationPid());
    const std::string outside = w.temp.file("outside.txt");
    const std::string homeFile = w.secret + "-new";

    // Each try, and what a confined program must see.
    const std::vector<std::pair<std::vector<std::string>, std::string>> tries = {
        {{"read", w.page}, "yes"},
        {{"read", w.secret}, "no"},
        {{"read", "/etc/passwd"}, "no"},
        {{"write", work + "/1/new.htm"}, "no"},
        {{"write", outside}, "yes"},  // into its private /tmp: never reaches ours
        {{"write", homeFile}, "no"},
        {{"write", privateFile}, "yes"},
        {{"connect", w.port()}, "no"},
        {{"loopback", "-"}, "yes"},
        {{"trace", "-"}, "no"},
        {{"status", "NoNewPrivs"}, "1"},
        {{"status", "CapEff"}, "0000000000000000"},
        {{"status", "Seccomp"}, "2"},  // filtered
    };
    std::vector<std::string> args;
    std::map<std::string, std::string> expected;
    for (const auto& [pair, answer] : tries) {
        args.insert(args.end(), pair.begin(), pair.end());
        expected[pair[0] + " " + pair[1]] = answer;
    }
    const auto answers = runProbe(launcher, args, {work});
    EXPECT_EQ(answers, expected);
    EXPECT_FALSE(test::fileExists(outside));
    EXPECT_FALSE(test::fileExists(privateFile));
    EXPECT_FALSE(test::fileExists(homeFile));
    EXPECT_FALSE(test::fileExists(work + "/1/new.htm"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.server.hasPendingConnections());
}

TEST(PageConfinement, WithoutBubblewrapTheProgramRunsUnconfinedAndSaysSoOnce) {
    const PageLauncher launcher(PageLauncher::Confinement::WhereTheMachineCan,
                                "/nonexistent/bwrap");
    EXPECT_FALSE(launcher.confines());
    std::vector<std::string> notices;
    PageLauncher::setNoticeHandler([&](const std::string& text) { notices.push_back(text); });
    ProbeWorld w;
    for (int run = 0; run < 2; ++run) {
        const auto answers = runProbe(launcher, {"read", w.secret}, {});
        EXPECT_EQ(answers.at("read " + w.secret), "yes");
    }
    PageLauncher::setNoticeHandler({});
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("unconfined"), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("bubblewrap"), std::string::npos) << notices[0];
}

}  // namespace
}  // namespace velluma
