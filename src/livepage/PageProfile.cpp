#include "livepage/PageProfile.h"

#include <QColor>
#include <QFileInfo>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

#include <cstdio>

#include "livepage/LivePage.h"
#include "livepage/LoopbackServer.h"

namespace velluma {
namespace {

// Nothing leaves this machine: only our own server and inline data are fetched.
class RequestFilter : public QWebEngineUrlRequestInterceptor {
public:
    RequestFilter(int port, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), m_port(port) {}

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QUrl url = info.requestUrl();
        const QString scheme = url.scheme();
        bool ours = scheme == QLatin1String("http") && url.host() == QLatin1String("127.0.0.1") &&
                    url.port() == m_port;
        if (!ours && scheme != QLatin1String("data") && scheme != QLatin1String("blob"))
            info.block(true);
    }

private:
    int m_port;
};

// Set before the emulator loads: play at once, without the click-to-play overlay, draw with
// WebGL where the engine has a GPU and on a 2D canvas otherwise (WebGL on a software driver
// costs more than the canvas), and never let a movie open links or talk to the network beyond
// the files beside it.
const char kRuffleConfig[] = R"(
(function () {
    window.RufflePlayer = window.RufflePlayer || {};
    window.RufflePlayer.config = {
        publicPath: "%1",
        autoplay: "on",
        unmuteOverlay: "hidden",
        splashScreen: false,
        preferredRenderer: "%2",
        contextMenu: "off",
        letterbox: "off",
        allowNetworking: "internal",
        openUrlMode: "deny",
        upgradeToHttps: false,
        warnOnUnsupportedContent: false,
        showSwfDownload: false,
        allowFullscreen: false,
        backgroundExecutionMode: "none",
        logLevel: "error"
    };
})();
)";

// Pages written for the ActiveX player size the <object> and give its <embed> fallback the
// size of the desktop they were built on; the emulator replaces the <embed>, so it takes the
// object's size, as the ActiveX player did. The emulator costs about 10 MiB even with nothing
// to play, so it is loaded only once the page has a movie, even one it adds later.
// Drawing in software, the emulator draws its stage at a fraction of the screen's pixels
// (it sizes its canvas by the device pixel ratio, which the page then reports lower) and the
// compositor scales it up: movies are mostly soft shapes and gradients, and every pixel of
// their vector drawing costs the processor.
const char kRuffleLoader[] = R"(
(function () {
    if (document.querySelector('script[data-velluma-ruffle]')) return;
    function hasMovie() { return document.querySelector('object, embed') !== null; }
    function load() {
        var stageScale = %2;
        if (stageScale < 1) {
            var ratio = window.devicePixelRatio * stageScale;
            Object.defineProperty(window, 'devicePixelRatio', {
                configurable: true,
                get: function () { return ratio; }
            });
        }
        var objects = document.querySelectorAll('object');
        for (var i = 0; i < objects.length; ++i) {
            var embed = objects[i].querySelector('embed');
            if (!embed) continue;
            ['width', 'height'].forEach(function (name) {
                var size = objects[i].getAttribute(name);
                if (size) embed.setAttribute(name, size);
            });
        }
        var script = document.createElement('script');
        script.src = "%1ruffle.js";
        script.setAttribute('data-velluma-ruffle', '');
        (document.head || document.documentElement).appendChild(script);
    }
    if (hasMovie()) {
        load();
        return;
    }
    var watcher = new MutationObserver(function () {
        if (!hasMovie()) return;
        watcher.disconnect();
        load();
    });
    watcher.observe(document.documentElement, {childList: true, subtree: true});
})();
)";

const char kFrameBudgetScript[] = "velluma-frame-budget";

// Of the screen's pixels in each direction, for a movie's stage drawn in software.
constexpr double kSoftwareStageScale = 0.5;

QWebEngineScript makeScript(const QString& name, const QString& source,
                            QWebEngineScript::InjectionPoint point) {
    QWebEngineScript script;
    script.setName(name);
    script.setSourceCode(source);
    script.setInjectionPoint(point);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    return script;
}

}  // namespace

PageProfile::PageProfile(const LoopbackServer& server, const QString& ruffleFolder,
                         Rendering rendering, QObject* parent)
    : QObject(parent),
      m_profile(new QWebEngineProfile(this)),  // no storage name: off the record
      m_filter(new RequestFilter(server.port(), this)),
      m_origin(server.origin()),
      m_rendering(rendering) {
    m_profile->setHttpCacheType(QWebEngineProfile::NoCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setSpellCheckEnabled(false);
    m_profile->setUrlRequestInterceptor(m_filter);
    connect(m_profile, &QWebEngineProfile::downloadRequested, this,
            [](QWebEngineDownloadRequest* download) { download->cancel(); });

    QWebEngineSettings* settings = m_profile->settings();
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    settings->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);

    setFrameBudget(m_frameBudget);
    if (QFileInfo(ruffleFolder + QStringLiteral("/ruffle.js")).isFile())
        addFlashEmulator(m_origin + LoopbackServer::rufflePrefix());
    else
        std::fprintf(stderr, "velluma-page: no Flash emulator at %s; movies will not play\n",
                     qPrintable(ruffleFolder));
}

PageProfile::~PageProfile() = default;

void PageProfile::addFlashEmulator(const QString& publicPath) {
    QWebEngineScriptCollection* scripts = m_profile->scripts();
    scripts->insert(
        makeScript(QStringLiteral("velluma-ruffle-config"),
                   QString::fromLatin1(kRuffleConfig)
                       .arg(publicPath, m_rendering == Rendering::Gpu ? QStringLiteral("webgl")
                                                                      : QStringLiteral("canvas")),
                   QWebEngineScript::DocumentCreation));
    // The polyfill replaces the pages' <object> and <embed> elements by itself.
    scripts->insert(makeScript(
        QStringLiteral("velluma-ruffle-loader"),
        QString::fromLatin1(kRuffleLoader)
            .arg(publicPath,
                 QString::number(m_rendering == Rendering::Gpu ? 1.0 : kSoftwareStageScale)),
        QWebEngineScript::DocumentReady));
}

void PageProfile::setFrameBudget(int fps) {
    m_frameBudget = fps;
    QWebEngineScriptCollection* scripts = m_profile->scripts();
    for (const QWebEngineScript& old : scripts->find(QLatin1String(kFrameBudgetScript)))
        scripts->remove(old);
    scripts->insert(makeScript(QLatin1String(kFrameBudgetScript), frame_budget::script(fps),
                               QWebEngineScript::DocumentCreation));
}

void PageProfile::applyFrameBudget(QWebEnginePage& page) const {
    applyFrameBudget(page, m_frameBudget);
}

void PageProfile::applyFrameBudget(QWebEnginePage& page, int fps) {
    page.runJavaScript(frame_budget::script(fps));
}

void PageProfile::quieten(QWebEnginePage& page) {
    page.setAudioMuted(true);
    page.setBackgroundColor(Qt::black);
    QObject::connect(&page, &QWebEnginePage::featurePermissionRequested, &page,
                     [&page](const QUrl& securityOrigin, QWebEnginePage::Feature feature) {
                         page.setFeaturePermission(securityOrigin, feature,
                                                   QWebEnginePage::PermissionDeniedByUser);
                     });
}

LivePage* PageProfile::newPage(QObject* parent) {
    return new LivePage(m_profile, m_origin, parent);
}

}  // namespace velluma
