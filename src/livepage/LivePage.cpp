#include "livepage/LivePage.h"

#include <QDebug>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include "livepage/PageProfile.h"

namespace velluma {
namespace {

constexpr int kMaxWaitMs = 5000;  // a movie that never loads must not hold the old page

// Said on the page's console once it has drawn; the page's own lines are logged as before.
const char kDrawnMarker[] = "velluma:drawn";

// Watches the page from its creation and says kDrawnMarker once the document is complete,
// every Flash movie has been taken over by the emulator and has loaded, and two frames have
// been drawn since, the movies' first among them: only then can the page replace the one on
// screen without showing a bare background first. The page tells us, rather than being asked
// over and over: each question waits for the page's busy thread and costs a round trip.
const char kDrawnWatcher[] = R"(
(function () {
    "use strict";
    var say = console.info.bind(console);
    var frame = window.requestAnimationFrame.bind(window);
    function ready() {
        // A movie is ready once the emulator has taken over its element and started it. An
        // ActiveX <object> stays in the page, holding the emulator's player of its <embed>.
        var all = document.getElementsByTagName('*');
        for (var i = 0; i < all.length; ++i) {
            var e = all[i], tag = e.tagName;
            if (tag.indexOf('RUFFLE-') === 0) {
                if ('readyState' in e && e.readyState !== 2) return false;
            } else if (tag === 'OBJECT' || tag === 'EMBED') {
                var kind = ((e.getAttribute('type') || '') + ' ' +
                            (e.getAttribute('classid') || '') + ' ' +
                            (e.getAttribute('src') || '') + ' ' + (e.getAttribute('data') || ''))
                               .toLowerCase();
                if (/shockwave|d27cdb6e|\.swf/.test(kind) &&
                    !e.querySelector('ruffle-object, ruffle-embed'))
                    return false;
            }
        }
        return true;
    }
    function watch() {
        if (!ready()) {
            setTimeout(watch, 40);
            return;
        }
        // Nothing is drawn while the desktop is hidden: ready is all there is to wait for.
        if (document.visibilityState === 'hidden') {
            say("%1");
            return;
        }
        frame(function () {
            frame(function () { say("%1"); });
        });
    }
    if (document.readyState === 'complete') watch();
    else window.addEventListener('load', watch, {once: true});
})();
)";

}  // namespace

LivePage::LivePage(QWebEngineProfile* profile, const QString& origin, QObject* parent)
    : QWebEnginePage(profile, parent), m_origin(origin) {
    PageProfile::quieten(*this);
    connect(this, &QWebEnginePage::loadFinished, this, &LivePage::loaded);
    QWebEngineScript watcher;
    watcher.setName(QStringLiteral("velluma-drawn-watcher"));
    watcher.setSourceCode(QString::fromLatin1(kDrawnWatcher).arg(QLatin1String(kDrawnMarker)));
    watcher.setInjectionPoint(QWebEngineScript::DocumentCreation);
    watcher.setWorldId(QWebEngineScript::MainWorld);
    watcher.setRunsOnSubFrames(false);
    scripts().insert(watcher);
    m_giveUp.setSingleShot(true);
    m_giveUp.setInterval(kMaxWaitMs);
    connect(&m_giveUp, &QTimer::timeout, this, &LivePage::answerDrawn);
}

void LivePage::present(const QUrl& url) {
    m_presented = url;
    m_answered = false;
    m_loaded = false;
    m_drawnSaid = false;
    m_giveUp.stop();
    load(url);
}

void LivePage::loaded(bool ok) {
    if (m_answered || m_loaded) return;
    if (!ok) {
        m_answered = true;
        Q_EMIT loadFailed();
        return;
    }
    m_loaded = true;
    if (m_drawnSaid)
        answerDrawn();
    else
        m_giveUp.start();
}

void LivePage::answerDrawn() {
    if (m_answered) return;
    m_answered = true;
    m_giveUp.stop();
    Q_EMIT drawn();
}

bool LivePage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    if (isMainFrame) return url.adjusted(QUrl::RemoveFragment) == m_presented;
    // Frames of the page may load files of our server and inline documents.
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("about") || scheme == QLatin1String("data") ||
        scheme == QLatin1String("blob"))
        return true;
    return url.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                        QUrl::StripTrailingSlash) == m_origin;
}

QWebEnginePage* LivePage::createWindow(WebWindowType) {
    return nullptr;
}

void LivePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                        int line, const QString& source) {
    if (level == InfoMessageLevel && message == QLatin1String(kDrawnMarker)) {
        // The engine may tell the end of the load after the page has said it drew.
        m_drawnSaid = true;
        if (m_loaded) answerDrawn();
        return;
    }
    // Old pages are noisy; only errors are worth a line in the log.
    if (level == ErrorMessageLevel || qEnvironmentVariableIsSet("VELLUMA_PAGE_CONSOLE"))
        qWarning().noquote() << "page:" << source << line << message;
}

}  // namespace velluma
