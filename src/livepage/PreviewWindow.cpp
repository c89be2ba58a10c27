#include "livepage/PreviewWindow.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>

#include <memory>

#include "livepage/CommandChannel.h"
#include "livepage/LoopbackServer.h"
#include "livepage/PageProfile.h"

namespace velluma {

namespace protocol = page_protocol;

namespace {

constexpr int kPollMs = 100;
constexpr int kMaxPolls = 100;  // a movie that has not loaded in ten seconds will not
constexpr int kSettleMs = 250;  // for the first frame after the movie reports loaded

// 1: the movie has loaded; -1: there is no emulator to play it; 0: not yet.
const char kReadyCheck[] = R"(
(function () {
    if (document.readyState !== 'complete') return 0;
    if (!window.RufflePlayer || !window.RufflePlayer.config) return -1;
    var player = document.querySelector('ruffle-embed, ruffle-object, ruffle-player');
    return player && player.readyState === 2 ? 1 : 0;
})()
)";

// The movie whole and centred in the stage's colour (the emulator draws it), at the chosen
// quality; the config set by the profile is kept apart from those two.
const char kPage[] = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><style>
html, body { margin: 0; padding: 0; width: 100%; height: 100%; overflow: hidden; background: #000; }
embed, ruffle-embed { display: block; width: 100%; height: 100%; }
</style><script>
window.RufflePlayer = window.RufflePlayer || {};
window.RufflePlayer.config = Object.assign({}, window.RufflePlayer.config,
                                           { letterbox: "on", quality: "%2" });
</script></head><body>
<embed src="%1" type="application/x-shockwave-flash" width="100%" height="100%" quality="%2"
       scale="showall">
</body></html>
)";

}  // namespace

// Only the documents we set are shown: the movie cannot navigate the preview away, open
// windows or ask for anything.
class PreviewPage : public QWebEnginePage {
public:
    PreviewPage(QWebEngineProfile* profile, const QString& origin, QObject* parent)
        : QWebEnginePage(profile, parent), m_origin(origin) {
        PageProfile::quieten(*this);
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        // setHtml arrives as a data: document; the engine lets no page open one at the top.
        const QString scheme = url.scheme();
        if (scheme == QLatin1String("data") || scheme == QLatin1String("about")) return true;
        if (scheme == QLatin1String("blob")) return !isMainFrame;
        return !isMainFrame &&
               url.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                            QUrl::StripTrailingSlash) == m_origin;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override {
        if (level == ErrorMessageLevel || qEnvironmentVariableIsSet("VELLUMA_PAGE_CONSOLE"))
            qWarning().noquote() << "preview:" << source << line << message;
    }

private:
    QString m_origin;
};

// --- PreviewChannel -----------------------------------------------------------------------

bool PreviewChannel::takes(protocol::Verb verb) const {
    return verb == protocol::Verb::Movie || verb == protocol::Verb::Size ||
           verb == protocol::Verb::Clear;
}

void PreviewChannel::handleCommand(const protocol::Command& command) {
    switch (command.verb) {
        case protocol::Verb::Movie:
            Q_EMIT movieRequested(command.first, command.second);
            break;
        case protocol::Verb::Size:
            Q_EMIT sizeRequested(command.size);
            break;
        case protocol::Verb::Clear:
            Q_EMIT clearRequested();
            break;
        default:
            break;
    }
}

// --- PreviewWindow ------------------------------------------------------------------------

PreviewWindow::PreviewWindow(PageProfile& profile, LoopbackServer& server, QWindow* parent)
    : m_profile(profile),
      m_server(server),
      // The builder's frame is dragged through the movie: pointer events go to the window below.
      m_view(new QWebEngineView(static_cast<QWidget*>(nullptr))),
      m_page(new PreviewPage(profile.profile(), server.origin(), m_view)) {
    m_view->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput);
    m_view->setAttribute(Qt::WA_ShowWithoutActivating);
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_view->setPage(m_page);
    m_view->winId();
    m_view->windowHandle()->setParent(parent);
    m_view->setGeometry(0, 0, 1, 1);
    m_view->show();

    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus) Q_EMIT rendererCrashed();
            });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (m_movie.isEmpty()) return;
        if (!ok) {
            const QString movie = m_movie;
            clear();
            Q_EMIT failed(protocol::failure(protocol::kLoadFailed, movie));
            return;
        }
        m_polls = 0;
        m_readyPoll.start();
    });
    m_readyPoll.setSingleShot(true);
    m_readyPoll.setInterval(kPollMs);
    connect(&m_readyPoll, &QTimer::timeout, this, &PreviewWindow::checkReady);
}

PreviewWindow::~PreviewWindow() {
    ++m_generation;
    delete m_view;  // and its page, before the profile goes
    dropSite();
}

QString PreviewWindow::emulatorQuality(const QString& quality) {
    QString word = quality.trimmed().toLower();
    if (word == QLatin1String("low") || word == QLatin1String("autolow")) return word.right(3);
    if (word == QLatin1String("medium") || word == QLatin1String("best")) return word;
    return QStringLiteral("high");  // "high", "autohigh" and the default
}

QString PreviewWindow::pageHtml(const QString& file, const QString& emulatorQuality) {
    const QString src = QString::fromLatin1(QUrl::toPercentEncoding(file)).toHtmlEscaped();
    return QString::fromLatin1(kPage).arg(src, emulatorQuality.toHtmlEscaped());
}

void PreviewWindow::play(const QString& path, const QString& quality) {
    const QFileInfo movie(path);
    if (!movie.isAbsolute() || !movie.isFile() || !movie.isReadable()) {
        clear();
        Q_EMIT failed(protocol::failure(protocol::kMovieNotFound, path));
        return;
    }
    // Only the movie's own folder is served, under a prefix no earlier movie had.
    const QString previous = m_prefix;
    m_prefix = m_server.addSite(movie.absolutePath());
    if (!previous.isEmpty()) m_server.removeSite(previous);
    if (m_prefix.isEmpty()) {
        clear();
        Q_EMIT failed(protocol::failure(protocol::kMovieFolderNotFound, path));
        return;
    }
    ++m_generation;
    m_movie = path;
    m_readyPoll.stop();
    m_page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    m_page->setHtml(pageHtml(movie.fileName(), emulatorQuality(quality)),
                    QUrl(m_server.origin() + m_prefix));
}

void PreviewWindow::clear() {
    ++m_generation;
    m_movie.clear();
    m_readyPoll.stop();
    m_page->setHtml(QStringLiteral("<html><body style=\"background:#000\"></body></html>"));
    dropSite();
}

void PreviewWindow::resize(const QSize& size) {
    m_view->setGeometry(QRect(QPoint(0, 0), size.expandedTo(QSize(1, 1))));
}

void PreviewWindow::checkReady() {
    if (m_movie.isEmpty()) return;
    if (++m_polls > kMaxPolls) {
        Q_EMIT failed(protocol::failure(protocol::kMovieDidNotLoad, m_movie));
        return;
    }
    m_page->runJavaScript(
        QString::fromLatin1(kReadyCheck),
        [this, generation = m_generation, alive = std::weak_ptr<int>(m_alive)](const QVariant& v) {
            // The engine may answer after we are gone, or after another movie was asked for.
            if (alive.expired() || generation != m_generation) return;
            const int state = v.toInt();
            if (state == 0) {
                m_readyPoll.start();
            } else if (state < 0) {
                Q_EMIT failed(protocol::kNoFlashPlayer);
            } else {
                QTimer::singleShot(kSettleMs, this, [this, generation] {
                    if (generation == m_generation) Q_EMIT playing(m_movie);
                });
            }
        });
}

void PreviewWindow::dropSite() {
    if (!m_prefix.isEmpty()) m_server.removeSite(m_prefix);
    m_prefix.clear();
}

int runPreview(QApplication& app, PageProfile& profile, LoopbackServer& server,
               const QString& parentId) {
    // Another program's window can only be entered on X11.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        CommandChannel::send(protocol::error(protocol::kNoPreview));
        return 1;
    }
    bool ok = false;
    const WId id = WId(parentId.toULongLong(&ok, 0));
    QWindow* parent = ok && id ? QWindow::fromWinId(id) : nullptr;
    if (!parent) {
        CommandChannel::send(
            protocol::error(QString(protocol::kNoWindow) + QLatin1Char(' ') + parentId));
        return 2;
    }

    PreviewChannel channel;
    QObject::connect(&channel, &PreviewChannel::quitRequested, &app, [&app] { app.exit(0); });
    auto preview = std::make_unique<PreviewWindow>(profile, server, parent);
    PreviewWindow* p = preview.get();
    QObject::connect(&channel, &PreviewChannel::movieRequested, p, &PreviewWindow::play);
    QObject::connect(&channel, &PreviewChannel::clearRequested, p, &PreviewWindow::clear);
    QObject::connect(&channel, &PreviewChannel::sizeRequested, p, &PreviewWindow::resize);
    QObject::connect(p, &PreviewWindow::playing, &app,
                     [](const QString& path) { CommandChannel::send(protocol::playing(path)); });
    QObject::connect(p, &PreviewWindow::failed, &app,
                     [](const QString& reason) { CommandChannel::send(protocol::error(reason)); });
    QObject::connect(p, &PreviewWindow::rendererCrashed, &app, [&app] {
        CommandChannel::send(protocol::error(protocol::kRendererCrashed));
        app.exit(3);
    });
    const int code = app.exec();
    // Our window goes before our handle of the tray program's, which would take it along.
    preview.reset();
    delete parent;
    return code;
}

}  // namespace velluma
