#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

class QWebEngineView;

namespace velluma {

class LivePage;
class LoopbackServer;
class PageProfile;

/// Renders a page offscreen at a given size into a PNG file, for desktops that cannot host a
/// window behind their icons.
class StillRenderer : public QObject {
    Q_OBJECT
public:
    StillRenderer(PageProfile& profile, LoopbackServer& server, const QSize& size,
                  const QString& outFile);
    ~StillRenderer() override;

    void render(const QString& folder, const QString& startPage);

Q_SIGNALS:
    /// Exit code: 0 when the file was written; otherwise the reason went to standard error.
    void finished(int exitCode);

private:
    void capture();
    void fail(const QString& reason);

    PageProfile& m_profile;
    LoopbackServer& m_server;
    QSize m_size;
    QString m_outFile;
    QWebEngineView* m_view = nullptr;
    LivePage* m_page = nullptr;
    QTimer m_watchdog;
    bool m_done = false;
};

}  // namespace velluma
