#include "livepage/StillRenderer.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include <cstdio>
#include <exception>

#include "livepage/LivePage.h"
#include "livepage/LoopbackServer.h"
#include "livepage/PageProfile.h"
#include "livepage/ScreenSizeScript.h"
#include "platform/AtomicFile.h"

namespace velluma {
namespace {

constexpr int kMovieMs = 1500;  // lets the movie draw a few frames after it started
constexpr int kWatchdogMs = 30000;

}  // namespace

StillRenderer::StillRenderer(PageProfile& profile, LoopbackServer& server, const QSize& size,
                             const QString& outFile)
    : m_profile(profile), m_server(server), m_size(size), m_outFile(outFile) {
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("the page did not load in time")); });
}

StillRenderer::~StillRenderer() {
    delete m_view;
}  // and its page with it

void StillRenderer::render(const QString& folder, const QString& startPage) {
    QString page = startPage;
    page.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (page.startsWith(QLatin1Char('/'))) page.remove(0, 1);
    const QString root = QFileInfo(folder).canonicalFilePath();
    const QFileInfo file(folder + QLatin1Char('/') + page);
    if (root.isEmpty() || !file.isFile() ||
        !file.canonicalFilePath().startsWith(root + QLatin1Char('/'))) {
        fail(QStringLiteral("page not found: ") + startPage);
        return;
    }
    const QString prefix = m_server.addSite(folder);

    m_view = new QWebEngineView;
    m_view->setAttribute(Qt::WA_DontShowOnScreen);
    m_view->resize(m_size);
    m_page = m_profile.newPage(m_view);
    // The still stands for a screen of its own size.
    m_page->scripts().insert(screenSizeScript(m_size));
    m_view->setPage(m_page);
    m_view->show();

    connect(m_page, &LivePage::drawn, this,
            [this] { QTimer::singleShot(kMovieMs, this, &StillRenderer::capture); });
    connect(m_page, &LivePage::loadFailed, this,
            [this, startPage] { fail(QStringLiteral("load failed: ") + startPage); });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this] { fail(QStringLiteral("the page's renderer ended")); });

    QUrl url(m_server.origin());
    url.setPath(prefix + page, QUrl::DecodedMode);
    m_watchdog.start(kWatchdogMs);
    m_page->present(url);
}

void StillRenderer::capture() {
    if (m_done) return;
    QImage image = m_view->grab().toImage();
    if (image.isNull()) {
        fail(QStringLiteral("the page could not be captured"));
        return;
    }
    if (image.size() != m_size) image = image.scaled(m_size);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        fail(QStringLiteral("the picture could not be encoded"));
        return;
    }
    try {
        writeFileAtomically(QFile::encodeName(m_outFile).toStdString(),
                            std::string_view(png.constData(), size_t(png.size())));
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()));
        return;
    }
    m_done = true;
    Q_EMIT finished(0);
}

void StillRenderer::fail(const QString& reason) {
    if (m_done) return;
    m_done = true;
    std::fprintf(stderr, "velluma-page: %s\n", qPrintable(reason));
    Q_EMIT finished(1);
}

}  // namespace velluma
