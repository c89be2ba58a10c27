#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;
class QWebEngineView;

namespace velluma {

class EmulatorKeeper;
class LivePage;
class LoopbackServer;
class PageProfile;

/// The live desktop: a frameless window below every other, covering the whole virtual desktop
/// (the pages place their movies in screen pixels and percent), of the desktop type on X11.
/// The page program runs unscaled, so its geometry is in device pixels.
/// A new page loads in a second view underneath the shown one (or a still of it) and takes its
/// place once it has drawn, so switching pages never flashes black or a bare background.
class DesktopWindow : public QWidget {
    Q_OBJECT
public:
    DesktopWindow(PageProfile& profile, LoopbackServer& server);
    ~DesktopWindow() override;

    /// Presents startPage ('/' separated, relative to folder); answers with shown or failed.
    void present(const QString& folder, const QString& startPage);

    /// Paused: hidden, and the page frozen (no rendering, no timers).
    void setPaused(bool paused);

    /// Frames a second for the shown page and those to come.
    void setFrameBudget(int fps);

Q_SIGNALS:
    void shown(const QString& startPage);
    void failed(const QString& reason);
    void rendererCrashed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showBelowAll();
    struct Presentation {
        QWebEngineView* view = nullptr;
        LivePage* page = nullptr;
        QString prefix;
        QString startPage;
    };

    void followScreens();
    void takeOverPending();
    bool standInForCurrent();
    void resumeCurrent();
    void drop(Presentation& presentation);
    void collectGarbage();

    PageProfile& m_profile;
    LoopbackServer& m_server;
    Presentation m_current;
    Presentation m_pending;
    QLabel* m_standIn = nullptr;  // a still of the current page while the next one loads
    bool m_paused = false;
    QTimer m_collect;
    EmulatorKeeper* m_keeper;
};

}  // namespace velluma
