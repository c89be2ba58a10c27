#include "livepage/DesktopWindow.h"

#include <xcb/xcb.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QUrl>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "livepage/EmulatorKeeper.h"
#include "livepage/LivePage.h"
#include "livepage/LoopbackServer.h"
#include "livepage/PageProfile.h"
#include "livepage/ScreenSizeScript.h"
#include "protocol/PageProtocol.h"

namespace velluma {
namespace {

constexpr int kCollectAfterMs = 2000;  // the replaced page is torn down by then

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
    xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// Qt 6.4 replaces the type that Qt::WA_X11NetWmWindowTypeDesktop asks for while it creates the
// window, so the type is set again when it is about to be mapped, on Qt's own connection so
// that it reaches the server before the map request.
void markAsDesktop(QWidget* window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) return;
    xcb_connection_t* connection = x11->connection();
    xcb_atom_t type = internAtom(connection, "_NET_WM_WINDOW_TYPE");
    xcb_atom_t desktop = internAtom(connection, "_NET_WM_WINDOW_TYPE_DESKTOP");
    if (type == XCB_ATOM_NONE || desktop == XCB_ATOM_NONE) return;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), type,
                        XCB_ATOM_ATOM, 32, 1, &desktop);
    xcb_flush(connection);
}

QString cleanStartPage(QString startPage) {
    startPage.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (startPage.startsWith(QLatin1Char('/'))) startPage.remove(0, 1);
    return startPage;
}

}  // namespace

DesktopWindow::DesktopWindow(PageProfile& profile, LoopbackServer& server)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint |
                           Qt::WindowDoesNotAcceptFocus),
      m_profile(profile),
      m_server(server),
      m_keeper(new EmulatorKeeper(profile.profile(), server.origin(), this)) {
    setWindowTitle(QStringLiteral("Velluma desktop"));
    setAttribute(Qt::WA_X11NetWmWindowTypeDesktop);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    m_collect.setSingleShot(true);
    m_collect.setInterval(kCollectAfterMs);
    connect(&m_collect, &QTimer::timeout, this, &DesktopWindow::collectGarbage);
    // The first module the emulator loads is kept for the pages to come.
    connect(&server, &LoopbackServer::emulatorFileSent, m_keeper, [this](const QString& target) {
        if (m_keeper->kept().isEmpty()) m_keeper->keep(target);
    });

    followScreens();
    auto watchScreen = [this](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, this, &DesktopWindow::followScreens);
        connect(screen, &QScreen::virtualGeometryChanged, this, &DesktopWindow::followScreens);
    };
    for (QScreen* screen : QGuiApplication::screens()) watchScreen(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this, watchScreen](QScreen* screen) {
        watchScreen(screen);
        followScreens();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &DesktopWindow::followScreens);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &DesktopWindow::followScreens);
}

DesktopWindow::~DesktopWindow() {
    // Pages (children of their views) go before the profile they belong to.
    delete m_pending.view;
    delete m_current.view;
    delete m_keeper;
}

void DesktopWindow::present(const QString& folder, const QString& startPage) {
    const QString page = cleanStartPage(startPage);
    const QString root = QFileInfo(folder).canonicalFilePath();
    const QFileInfo file(folder + QLatin1Char('/') + page);
    if (!QFileInfo(folder).isAbsolute() || root.isEmpty() || !file.isFile() ||
        !file.canonicalFilePath().startsWith(root + QLatin1Char('/'))) {
        Q_EMIT failed(page_protocol::failure(page_protocol::kPageNotFound, startPage));
        return;
    }
    drop(m_pending);  // a newer request replaces one still loading
    const QString prefix = m_server.addSite(folder);
    if (prefix.isEmpty()) {
        Q_EMIT failed(page_protocol::failure(page_protocol::kWorkFolderNotFound, folder));
        return;
    }
    if (m_current.page && !standInForCurrent())
        PageProfile::applyFrameBudget(*m_current.page, frame_budget::kWhileReplaced);

    m_pending.prefix = prefix;
    m_pending.startPage = startPage;
    m_pending.view = new QWebEngineView(this);
    m_pending.view->setFocusPolicy(Qt::NoFocus);
    m_pending.view->setContextMenuPolicy(Qt::NoContextMenu);
    m_pending.page = m_profile.newPage(m_pending.view);
    m_pending.page->scripts().insert(screenSizeScript(size()));
    m_pending.view->setPage(m_pending.page);
    m_pending.view->setGeometry(rect());
    QWidget* shown = m_standIn;
    if (!shown) shown = m_current.view;
    if (shown) m_pending.view->stackUnder(shown);
    m_pending.view->show();

    LivePage* livePage = m_pending.page;
    connect(livePage, &LivePage::drawn, this, &DesktopWindow::takeOverPending);
    connect(livePage, &LivePage::loadFailed, this, [this] {
        const QString startPage = m_pending.startPage;
        drop(m_pending);
        resumeCurrent();
        if (!m_current.view) hide();  // nothing to show: let the desktop's own picture through
        Q_EMIT failed(page_protocol::failure(page_protocol::kLoadFailed, startPage));
    });
    connect(livePage, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus) Q_EMIT rendererCrashed();
            });

    QUrl url(m_server.origin());
    url.setPath(prefix + page, QUrl::DecodedMode);
    livePage->present(url);
    if (!m_paused) showBelowAll();
}

void DesktopWindow::setPaused(bool paused) {
    if (paused == m_paused) return;
    m_paused = paused;
    if (paused) {
        // Freezing needs the page hidden first.
        hide();
        if (m_current.page)
            m_current.page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
    } else {
        if (m_current.page && !m_standIn)  // a page a still stands in for stays frozen
            m_current.page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
        if (m_current.view || m_pending.view) showBelowAll();
    }
}

void DesktopWindow::setFrameBudget(int fps) {
    m_profile.setFrameBudget(fps);
    for (Presentation* p : {&m_current, &m_pending})
        if (p->page) m_profile.applyFrameBudget(*p->page);
}

// Window managers keep a desktop window at the bottom; without one it must go there itself,
// or it would cover the windows mapped before it.
void DesktopWindow::showBelowAll() {
    show();
    lower();
}

void DesktopWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    markAsDesktop(this);
}

void DesktopWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (Presentation* p : {&m_current, &m_pending}) {
        if (p->view) p->view->setGeometry(rect());
    }
    if (m_standIn) m_standIn->setGeometry(rect());
}

void DesktopWindow::followScreens() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->virtualGeometry());
}

void DesktopWindow::takeOverPending() {
    if (!m_pending.page) return;
    drop(m_current);
    delete std::exchange(m_standIn, nullptr);
    m_current = m_pending;
    m_pending = {};
    m_current.view->raise();
    if (m_paused) m_current.page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
    m_collect.start();
    Q_EMIT shown(m_current.startPage);
}

// While the next page loads, a still of the shown one stands in for it, and the page itself is
// hidden and frozen: a page drawn beside the loading one takes the processor from it, and
// keeps losing its tiles to the new page's and drawing them again. False where no still can
// be taken (the desktop hidden), and the page then goes on at a few frames a second.
bool DesktopWindow::standInForCurrent() {
    if (m_standIn) return true;
    if (!m_current.view || m_paused || !isVisible()) return false;
    const QPixmap still = m_current.view->grab();
    if (still.isNull()) return false;
    m_standIn = new QLabel(this);
    m_standIn->setScaledContents(true);
    m_standIn->setPixmap(still);
    m_standIn->setGeometry(rect());
    m_standIn->show();
    m_standIn->raise();
    m_current.view->hide();  // freezing needs the page hidden first
    m_current.page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
    return true;
}

// The next page failed: the shown one plays on.
void DesktopWindow::resumeCurrent() {
    if (!m_current.page) return;
    if (!m_standIn) {
        m_profile.applyFrameBudget(*m_current.page);
        return;
    }
    if (!m_paused) m_current.page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    m_current.view->show();
    delete std::exchange(m_standIn, nullptr);
}

// The pages share one script heap. The engine grows it rather than collecting, so without a
// word the heaps and Flash memories of the pages replaced stay for many switches; once the
// old page is gone, one full collection returns them.
void DesktopWindow::collectGarbage() {
    if (m_current.page && !m_paused)
        m_current.page->runJavaScript(QStringLiteral("window.gc && window.gc();"),
                                      QWebEngineScript::ApplicationWorld);
}

void DesktopWindow::drop(Presentation& presentation) {
    if (presentation.view) {
        // The view unbinds its page before the page, its child, goes with it.
        presentation.page->disconnect(this);
        presentation.view->hide();
        presentation.view->deleteLater();
        m_server.removeSite(presentation.prefix);
    }
    presentation = {};
}

}  // namespace velluma
