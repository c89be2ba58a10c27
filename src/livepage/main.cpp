// velluma-page: plays a theme's start page as the live desktop, apart from the tray program so
// that a page that crashes or leaks never takes it down.
//
//   velluma-page                 commands on standard input, answers on standard output
//   velluma-page --still <work folder> <start page> <out.png> <width> <height>
//   velluma-page --preview <parent X11 window>  the builder's movie preview, commands on stdin
//   velluma-page --gl-renderer   prints the display's OpenGL renderer (asked by itself)

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QProcessEnvironment>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "livepage/CommandChannel.h"
#include "livepage/DesktopWindow.h"
#include "livepage/GpuChoice.h"
#include "livepage/LoopbackServer.h"
#include "livepage/PageProfile.h"
#include "livepage/PowerSource.h"
#include "livepage/PreviewWindow.h"
#include "livepage/StillRenderer.h"
#include "livepage/X11CoverageWatcher.h"

namespace velluma {

namespace protocol = page_protocol;

namespace {

// Without a GPU, Chromium draws in software and Qt's scene graph then only copies those
// frames, so it stays off OpenGL too, which would load the software GL driver (tens of MiB)
// for nothing. One process holds the renderer (the pages are ours, and a crash ends us either
// way): separate renderer, zygote and audio processes would add well over 100 MiB of resident
// memory. Flash movies compile their functions on first use, with the baseline compiler only:
// optimised code would cost about 100 MiB more for a little speed. The desktop window asks for
// a full collection after a switch (--expose-gc). Nothing of Chromium's own
// is fetched, and no proxy is looked for: the pages talk to 127.0.0.1 only.
void configureEngine(Rendering rendering, bool forced) {
    QByteArray flags =
        " --single-process --js-flags=--liftoff-only,--wasm-lazy-compilation,--expose-gc"
        " --disable-features=AudioServiceOutOfProcess"
        " --disable-background-networking --disable-component-update"
        " --disable-domain-reliability --no-pings --disable-breakpad --no-proxy-server";
    if (rendering == Rendering::Software) {
        if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
            qputenv("QT_QUICK_BACKEND", "software");
        if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
            qputenv("QT_XCB_GL_INTEGRATION", "none");
        flags += " --disable-gpu";
    } else if (forced) {
        flags += " --ignore-gpu-blocklist";  // asked for, even on a driver Chromium distrusts
    }
    // Chromium refuses to start as root with its sandbox (which a single process does not
    // use anyway); QTWEBENGINE_DISABLE_SANDBOX is honoured as well.
    if (::geteuid() == 0) flags += " --no-sandbox";
    // The user's own flags come last, so they win.
    flags += " " + qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
}

int printRenderer(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!context.create() || !context.makeCurrent(&surface)) return 1;
    const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    std::printf("%s\n", name ? name : "");
    std::fflush(stdout);
    return 0;
}

// A hardware driver needs a GPU's device node; without one (most virtual machines and
// containers) the display's renderer is a software one and is not worth a start of ours.
bool hasGpuDevice() {
    const QDir dri(QStringLiteral("/dev/dri"));
    return !dri.entryList({QStringLiteral("renderD*"), QStringLiteral("card*")}, QDir::System)
                .isEmpty() ||
           QFileInfo::exists(QStringLiteral("/dev/nvidiactl"));
}

// The display's OpenGL renderer, read by a short run of ourselves: the engine's settings must
// be made before it starts, and a driver loaded here would stay for nothing. Empty when it
// cannot be read within a few seconds.
QString displayRenderer(const char* self) {
    constexpr int kWaitMs = 4000;
    int out[2];
    if (::pipe(out) != 0) return {};
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(out[0]);
        ::close(out[1]);
        return {};
    }
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl("/proc/self/exe", self, "--gl-renderer", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    QByteArray said;
    pollfd reader{out[0], POLLIN, 0};
    char chunk[512];
    while (::poll(&reader, 1, kWaitMs) > 0) {
        const ssize_t n = ::read(out[0], chunk, sizeof chunk);
        if (n <= 0) break;
        said.append(chunk, n);
    }
    ::close(out[0]);
    ::kill(child, SIGKILL);  // gone already, unless it hangs in the driver
    ::waitpid(child, nullptr, 0);
    return QString::fromUtf8(said).section(QLatin1Char('\n'), 0, 0).trimmed();
}

// Pages measure the desktop in device pixels, as the wallpaper does: the sizes written into
// them and the screen size they read. The live desktop and the still are therefore drawn
// unscaled, whatever scale the desktop gives the tray program's windows.
void useDevicePixels() {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
}

int runStill(QApplication& app, PageProfile& profile, LoopbackServer& server,
             const QStringList& args) {
    bool widthOk = false, heightOk = false;
    const QSize size(args[5].toInt(&widthOk), args[6].toInt(&heightOk));
    if (!widthOk || !heightOk || size.width() < 1 || size.height() < 1 || size.width() > 16384 ||
        size.height() > 16384) {
        std::fprintf(stderr, "velluma-page: bad picture size %s x %s\n", qPrintable(args[5]),
                     qPrintable(args[6]));
        return 2;
    }
    StillRenderer still(profile, server, size, args[4]);
    QObject::connect(&still, &StillRenderer::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    still.render(QDir::cleanPath(QDir(args[2]).absolutePath()), args[3]);
    return app.exec();
}

// The token the tray program got the shell's background layer for, taken out of the
// environment so that nothing started from here sees it; empty when there is none.
QByteArray takeShellToken() {
    QByteArray token = qgetenv("VELLUMA_SHELL_TOKEN");
    qunsetenv("VELLUMA_SHELL_TOKEN");
    const bool hex = std::all_of(token.begin(), token.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
    return hex && token.size() >= 32 && token.size() <= 128 ? token : QByteArray();
}

int runDesktop(QApplication& app, PageProfile& profile, LoopbackServer& server,
               const QByteArray& shellToken) {
    CommandChannel channel;
    QObject::connect(&channel, &CommandChannel::quitRequested, &app, [&app] { app.exit(0); });

    // A Wayland compositor does not keep an X11 desktop window (through Xwayland) behind others.
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
                         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                         qgetenv("XDG_SESSION_TYPE") == "wayland";
    // Only the desktop's shell can lend a Wayland window a place behind the others (our GNOME
    // Shell extension does); Debian's layer-shell library is built for Qt 5 only.
    const bool shellLayer = wayland && !shellToken.isEmpty() &&
                            QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (wayland && !shellLayer) {
        CommandChannel::send(protocol::error(protocol::kNoDesktopLayer));
        return app.exec();
    }
    // The shell knows the window by its app id and by the token in its title.
    if (shellLayer) QGuiApplication::setDesktopFileName(QStringLiteral("velluma-page"));

    DesktopWindow window(profile, server);
    if (shellLayer)
        window.setWindowTitle(QStringLiteral("velluma-page ") + QString::fromLatin1(shellToken));
    QObject::connect(&channel, &CommandChannel::showRequested, &window, &DesktopWindow::present);
    QObject::connect(&window, &DesktopWindow::shown, &app, [](const QString& startPage) {
        CommandChannel::send(protocol::shown(startPage));
    });
    QObject::connect(&window, &DesktopWindow::failed, &app,
                     [](const QString& reason) { CommandChannel::send(protocol::error(reason)); });
    QObject::connect(&window, &DesktopWindow::rendererCrashed, &app, [&app] {
        CommandChannel::send(protocol::error(protocol::kRendererCrashed));
        app.exit(3);
    });

    // On battery the budget drops; no UPower, no change.
    PowerSource power;
    auto followPower = [&window](bool onBattery) {
        const int fps = frame_budget::forPower(onBattery);
        std::fprintf(stderr, "velluma-page: at most %d frames a second (%s)\n", fps,
                     onBattery ? "on battery" : "on mains power");
        window.setFrameBudget(fps);
    };
    QObject::connect(&power, &PowerSource::onBatteryChanged, &window, followPower);
    if (power.onBattery()) followPower(true);

    auto pause = [&window](bool covered) {
        window.setPaused(covered);
        CommandChannel::send(covered ? protocol::paused() : protocol::resumed());
    };
    if (shellLayer) QObject::connect(&channel, &CommandChannel::coveredTold, &window, pause);

    std::unique_ptr<X11CoverageWatcher> coverage;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        coverage = std::make_unique<X11CoverageWatcher>();
        QObject::connect(coverage.get(), &X11CoverageWatcher::coveredChanged, &window, pause);
    }
    return app.exec();
}

}  // namespace
}  // namespace velluma

int main(int argc, char** argv) {
    using namespace velluma;
    std::signal(SIGPIPE, SIG_IGN);  // the tray program may be gone; stdin's end tells us
    if (argc > 1 && std::strcmp(argv[1], "--gl-renderer") == 0) {
        const int code = printRenderer(argc, argv);
        std::_Exit(code);  // a driver's teardown has nothing to give us
    }
    const bool still = argc > 1 && std::strcmp(argv[1], "--still") == 0;
    if (still && argc != 7) {
        std::fprintf(stderr,
                     "usage: velluma-page --still <work folder> <start page> <out.png> "
                     "<width> <height>\n");
        return 2;
    }
    const bool preview = argc > 1 && std::strcmp(argv[1], "--preview") == 0;
    if (preview && argc != 3) {
        std::fprintf(stderr, "usage: velluma-page --preview <parent X11 window id>\n");
        return 2;
    }
    // A still needs no window system, and is asked for where ours cannot place a window.
    if (still && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!still && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        CommandChannel::send(protocol::error(protocol::kNoDisplay));  // Qt would abort
        return 1;
    }
    const QByteArray shellToken = takeShellToken();
    // The shell's background layer takes a Wayland window only, not one through Xwayland.
    if (!still && !preview && !shellToken.isEmpty() &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "wayland");
    // A still is drawn offscreen, where the software path is the one that works everywhere.
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const Rendering rendering = still ? Rendering::Software : chooseRendering(environment, [&argv] {
        return hasGpuDevice() ? displayRenderer(argv[0]) : QString();
    });
    configureEngine(rendering, gpuForced(environment));
    if (rendering == Rendering::Gpu) std::fprintf(stderr, "velluma-page: drawing on the GPU\n");
    if (!preview) useDevicePixels();  // the preview fits its movie into the builder's frame

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    LoopbackServer server;
    if (!server.listen()) {
        std::fprintf(stderr, "velluma-page: cannot listen on 127.0.0.1\n");
        if (!still) CommandChannel::send(protocol::error(protocol::kCannotListen));
        return 1;
    }
    const QString ruffle = QCoreApplication::applicationDirPath() + QStringLiteral("/ruffle");
    server.setRuffleFolder(ruffle);
    PageProfile profile(server, ruffle, rendering);
    int code = 0;
    if (still)
        code = runStill(app, profile, server, app.arguments());
    else if (preview)
        code = runPreview(app, profile, server, app.arguments().at(2));
    else
        code = runDesktop(app, profile, server, shellToken);
    // Chromium's teardown in a single process can wait for ever on its renderer thread while a
    // page still animates, and nothing of ours needs it: the still is written, nothing is kept.
    std::fflush(nullptr);
    std::_Exit(code);
}
