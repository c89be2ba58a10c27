#include "platform_gui/posix/LivePageProcess.h"

#include <QProcessEnvironment>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <random>
#include <utility>

#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "platform/Screen.h"
#include "platform/WallpaperRefresh.h"
#include "platform_gui/posix/BackgroundLayer.h"
#include "protocol/PageProtocol.h"

namespace velluma {

namespace protocol = page_protocol;

namespace {
constexpr int kQuitWaitMs = 2000;
constexpr int kStillTimeoutMs = 30000;
constexpr const char* kStillName = "live-page-still.png";
constexpr const char* kClassicDesktopKey = "Control Panel\\Desktop";

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// 128 random bits in hexadecimal, new for each page program.
std::string newToken() {
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", unsigned(random()));
        token += part;
    }
    return token;
}

bool isInside(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() && path.rfind(folder + "/", 0) == 0;
}

// Ends a page program: asked first, then killed.
void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.write(protocol::quit());
    process.closeWriteChannel();
    if (!process.waitForFinished(kQuitWaitMs)) {
        process.kill();
        process.waitForFinished(kQuitWaitMs);
    }
}
}  // namespace

LivePageProcess::LivePageProcess(std::string program, std::string workFolders,
                                 std::string stillFolder, Services services, PageLauncher launcher)
    : m_program(std::move(program)),
      m_workFolders(std::move(workFolders)),
      m_stillFolder(std::move(stillFolder)),
      m_services(services),
      m_launcher(std::move(launcher)) {
    if (m_services.backgroundLayer)
        m_services.backgroundLayer->onCoveredChanged(
            [this](bool covered) { tellCovered(covered); });
}

LivePageProcess::~LivePageProcess() {
    if (m_process) stop(*m_process);
    if (m_still) {
        m_still->kill();
        m_still->waitForFinished(kQuitWaitMs);
    }
}

qint64 LivePageProcess::processId() const {
    return m_process && m_process->state() != QProcess::NotRunning ? m_process->processId() : 0;
}

void LivePageProcess::show(const std::string& workFolder, const std::string& startPage) {
    m_workFolder = workFolder;
    m_startPage = pageWithin(workFolder, startPage);
    if (m_noDesktopLayer) {
        showStill();
        return;
    }
    // A page outside the work folders gets a page program that reads its folder alone.
    const std::string reach = isInside(workFolder, m_workFolders) ? m_workFolders : workFolder;
    if (!m_process || m_process->state() == QProcess::NotRunning || reach != m_reach) start(reach);
    // One request at a time: the page program drops a page still loading without a word when
    // the next one comes, and pages of different themes often share a name, so an answer
    // could not tell which folder is on screen. The newest request waits here meanwhile; the
    // one it replaces was never sent and its folder may go.
    if (m_asked) {
        m_next = Request{m_workFolder, m_startPage};
        settled();
        return;
    }
    ask({m_workFolder, m_startPage});
}

void LivePageProcess::ask(const Request& request) {
    m_process->write(protocol::show(qs(request.folder), qs(request.page)));
    m_asked = request;
}

std::string LivePageProcess::pageWithin(const std::string& workFolder,
                                        const std::string& startPage) {
    const std::string prefix = workFolder.ends_with('/') ? workFolder : workFolder + "/";
    return startPage.starts_with(prefix) ? startPage.substr(prefix.size()) : startPage;
}

std::vector<std::string> LivePageProcess::foldersInUse() const {
    if (m_noDesktopLayer) return {m_workFolder};
    std::vector<std::string> folders;
    if (!m_onScreen.empty()) folders.push_back(m_onScreen);
    for (const auto& request : {m_asked, m_next})
        if (request) folders.push_back(request->folder);
    return folders;
}

// The answer to the request asked: "shown <page>" or "error <why>: <page or folder>".
void LivePageProcess::settle(const QString& line) {
    const protocol::Answer answer = protocol::parseAnswer(line);
    const bool shown = answer.kind == protocol::Kind::Shown;
    if (!m_asked || (!shown && answer.kind != protocol::Kind::Error)) return;
    const QString& subject = answer.subject;
    if (subject != qs(m_asked->page).trimmed() && subject != qs(m_asked->folder)) return;
    if (shown) m_onScreen = m_asked->folder;
    m_asked.reset();
    if (m_next) ask(*std::exchange(m_next, std::nullopt));
    settled();
}

void LivePageProcess::close() {
    m_workFolder.clear();
    m_startPage.clear();
    retire();
}

// Stops the page program; the object goes later, as this may run inside one of its signals.
void LivePageProcess::retire() {
    m_asked.reset();
    m_next.reset();
    m_onScreen.clear();
    if (m_layerClaimed) m_services.backgroundLayer->release();
    m_layerClaimed = false;
    if (!m_process) return;
    stop(*m_process);
    m_process->disconnect(this);
    m_process.release()->deleteLater();
}

void LivePageProcess::start(const std::string& reach) {
    retire();
    m_reach = reach;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_process.get(), &QProcess::readyReadStandardOutput, this, &LivePageProcess::readLines);
    connect(m_process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            reportOnce("The live desktop page could not be started (" + m_program +
                       "): " + m_process->errorString().toStdString());
    });
    // The shell's background layer, where there is one, takes only the window that carries
    // the token it was told.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QLatin1String(kTokenVariable));
    if (BackgroundLayer* layer = m_services.backgroundLayer.get()) {
        const std::string token = newToken();
        m_layerClaimed = layer->claim(token);
        if (m_layerClaimed) environment.insert(QLatin1String(kTokenVariable), qs(token));
    }
    m_process->setProcessEnvironment(environment);
    m_launcher.start(*m_process, qs(m_program), {}, {reach});
    if (m_layerClaimed && m_services.backgroundLayer->covered()) tellCovered(true);
}

// The shell sees the windows; the page program pauses on its word.
void LivePageProcess::tellCovered(bool covered) {
    if (!m_layerClaimed || !m_process || m_process->state() == QProcess::NotRunning) return;
    m_process->write(protocol::covered(covered));
}

void LivePageProcess::readLines() {
    QProcess* process = m_process.get();
    while (process && process->canReadLine()) {
        const QString line = QString::fromUtf8(process->readLine()).trimmed();
        handleLine(line);
        settle(line);
        Q_EMIT reported(line);
        process = m_process.get();  // a handler may have ended it
    }
}

void LivePageProcess::handleLine(const QString& line) {
    const protocol::Answer answer = protocol::parseAnswer(line);
    if (answer.is(protocol::kNoDesktopLayer)) {
        noDesktopLayer();
    } else if (answer.kind == protocol::Kind::Error) {
        std::fprintf(stderr, "velluma-page: %s\n", qPrintable(line));
    }
}

// The window system has no place behind the windows. Where the shell could lend one, the
// user is asked once per run (unless they refused before) whether to set that up.
void LivePageProcess::noDesktopLayer() {
    retire();
    m_noDesktopLayer = true;  // meanwhile, and for good unless the shell's place comes up
    BackgroundLayer* layer = m_services.backgroundLayer.get();
    if (!layer || m_setupOffered) {
        stillInstead({});
        return;
    }
    m_setupOffered = true;
    // Not from inside a process signal: the question runs an event loop of its own.
    QTimer::singleShot(0, this, [this, layer] {
        std::string note;
        if (layer->offerSetup(note) == BackgroundLayer::Setup::Ready) {
            m_noDesktopLayer = false;
            if (!m_startPage.empty()) show(m_workFolder, m_startPage);
            return;
        }
        stillInstead(note);
    });
}

// Said once; from now on pages show as stills.
void LivePageProcess::stillInstead(const std::string& note) {
    m_noDesktopLayer = true;
    std::string text =
        "This desktop cannot show a live page behind its icons. Velluma shows a still "
        "picture of the theme as the wallpaper instead.";
    if (!note.empty()) text += "\n\n" + note;
    reportOnce(text);
    if (!m_startPage.empty()) showStill();
}

void LivePageProcess::showStill() {
    if (m_still) {
        m_still->kill();
        m_still->waitForFinished(kQuitWaitMs);
    }
    std::error_code ignored;
    std::filesystem::create_directories(m_stillFolder, ignored);
    ScreenSize size = m_services.screen.virtualDesktopSize();
    if (size.width <= 0 || size.height <= 0) size = {1920, 1080};
    m_still = std::make_unique<QProcess>();
    m_still->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_still.get(), &QProcess::finished, this, &LivePageProcess::stillDone);
    m_launcher.start(*m_still, qs(m_program),
                     {QStringLiteral("--still"), qs(m_workFolder), qs(m_startPage),
                      qs(m_stillFolder + "/" + kStillName), QString::number(size.width),
                      QString::number(size.height)},
                     {m_workFolder}, m_stillFolder);
    QTimer::singleShot(kStillTimeoutMs, m_still.get(), [still = m_still.get()] { still->kill(); });
}

void LivePageProcess::stillDone(int exitCode, QProcess::ExitStatus status) {
    settled();
    if (status != QProcess::NormalExit || exitCode != 0 || m_startPage.empty()) return;
    try {
        m_services.registry.setValues(
            Hive::CurrentUser, kClassicDesktopKey,
            {{"Wallpaper", RegValue::string(m_stillFolder + "/" + kStillName)},
             {"TileWallpaper", RegValue::string("0")},
             {"WallpaperStyle", RegValue::string("2")}});
        m_services.wallpaperRefresh.refresh();
    } catch (const std::exception& e) {
        reportOnce(e.what());
    }
}

void LivePageProcess::reportOnce(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (m_reported) return;
    m_reported = true;
    // Not from inside a process signal: the box runs an event loop of its own.
    QTimer::singleShot(
        0, this, [this, text] { m_services.messages.show(text, "Velluma", MessageIcon::Warning); });
}

}  // namespace velluma
