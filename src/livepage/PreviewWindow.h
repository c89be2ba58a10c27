#pragma once

#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <memory>

#include "livepage/CommandChannel.h"

class QApplication;
class QWebEngineView;
class QWindow;

namespace velluma {

class LoopbackServer;
class PageProfile;
class PreviewPage;

/// The preview's commands on standard input: movie, size, clear and quit.
class PreviewChannel : public CommandChannel {
    Q_OBJECT
public:
    using CommandChannel::CommandChannel;

Q_SIGNALS:
    void movieRequested(const QString& path, const QString& quality);
    void sizeRequested(const QSize& size);
    void clearRequested();

protected:
    bool takes(page_protocol::Verb verb) const override;
    void handleCommand(const page_protocol::Command& command) override;
};

/// The theme builder's preview: one Flash movie, fitted whole into a window of the tray
/// program that this one is placed inside.
class PreviewWindow : public QObject {
    Q_OBJECT
public:
    PreviewWindow(PageProfile& profile, LoopbackServer& server, QWindow* parent);
    ~PreviewWindow() override;

    /// Plays the movie at path (absolute) at the builder's quality word ("High", "Autolow",
    /// ...); answers with playing or failed.
    void play(const QString& path, const QString& quality);
    void clear();
    void resize(const QSize& size);

    /// The emulator's quality for a word of the builder's quality list ("high" when unknown).
    static QString emulatorQuality(const QString& quality);
    /// The page that plays the movie named file (a bare file name) at quality.
    static QString pageHtml(const QString& file, const QString& emulatorQuality);

Q_SIGNALS:
    void playing(const QString& path);
    void failed(const QString& reason);
    void rendererCrashed();

private:
    void checkReady();
    void dropSite();

    PageProfile& m_profile;
    LoopbackServer& m_server;
    QWebEngineView* m_view;
    PreviewPage* m_page;
    QString m_prefix;
    QString m_movie;
    QTimer m_readyPoll;
    int m_polls = 0;
    quint64 m_generation = 0;  // tells the answers of an older movie's checks apart
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);  // for the engine's late answers
};

/// Runs the preview inside the window named by parentId (an X11 window id, decimal or 0x…).
int runPreview(QApplication& app, PageProfile& profile, LoopbackServer& server,
               const QString& parentId);

}  // namespace velluma
