#include "livepage/LivePage.h"

#include <QDebug>

#include "livepage/PageProfile.h"

namespace velluma {
namespace {

constexpr int kPollMs = 100;
constexpr int kSettleMs = 250;    // for the first frame after the movies report loaded
constexpr int kMaxWaitMs = 5000;  // a movie that never loads must not hold the old page

// True once the document is complete and every Flash movie has been taken over by the
// emulator and has loaded.
const char kReadyCheck[] = R"(
(function () {
    if (document.readyState !== 'complete') return false;
    // A movie is ready once the emulator has taken over its element and started it. An
    // ActiveX <object> stays in the page, holding the emulator's player of its <embed>.
    var all = document.getElementsByTagName('*');
    for (var i = 0; i < all.length; ++i) {
        var e = all[i], tag = e.tagName;
        if (tag.indexOf('RUFFLE-') === 0) {
            if ('readyState' in e && e.readyState !== 2) return false;
        } else if (tag === 'OBJECT' || tag === 'EMBED') {
            var kind = ((e.getAttribute('type') || '') + ' ' + (e.getAttribute('classid') || '') +
                        ' ' + (e.getAttribute('src') || '') + ' ' + (e.getAttribute('data') || ''))
                           .toLowerCase();
            if (/shockwave|d27cdb6e|\.swf/.test(kind) &&
                !e.querySelector('ruffle-object, ruffle-embed'))
                return false;
        }
    }
    return true;
})()
)";

}  // namespace

LivePage::LivePage(QWebEngineProfile* profile, const QString& origin, QObject* parent)
    : QWebEnginePage(profile, parent), m_origin(origin) {
    PageProfile::quieten(*this);
    connect(this, &QWebEnginePage::loadFinished, this, &LivePage::loaded);
    m_readyPoll.setSingleShot(true);
    m_readyPoll.setInterval(kPollMs);
    connect(&m_readyPoll, &QTimer::timeout, this, &LivePage::checkReady);
}

LivePage::~LivePage() {
    *m_alive = false;
}

void LivePage::present(const QUrl& url) {
    m_presented = url;
    m_answered = false;
    m_sinceLoaded.invalidate();
    load(url);
}

void LivePage::loaded(bool ok) {
    if (m_answered || m_sinceLoaded.isValid()) return;
    if (!ok) {
        m_answered = true;
        Q_EMIT loadFailed();
        return;
    }
    m_sinceLoaded.start();
    m_readyPoll.start();
}

void LivePage::checkReady() {
    if (m_answered) return;
    if (m_sinceLoaded.elapsed() > kMaxWaitMs) {
        m_answered = true;
        Q_EMIT drawn();
        return;
    }
    // The engine answers pending scripts while the page is being destroyed, after our part of
    // it is gone; the flag tells the callback so.
    runJavaScript(QString::fromLatin1(kReadyCheck), [this, alive = m_alive](const QVariant& ready) {
        if (!*alive || m_answered) return;
        if (!ready.toBool()) {
            m_readyPoll.start();
            return;
        }
        m_answered = true;
        QTimer::singleShot(kSettleMs, this, [this] { Q_EMIT drawn(); });
    });
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
    // Old pages are noisy; only errors are worth a line in the log.
    if (level == ErrorMessageLevel || qEnvironmentVariableIsSet("VELLUMA_PAGE_CONSOLE"))
        qWarning().noquote() << "page:" << source << line << message;
}

}  // namespace velluma
