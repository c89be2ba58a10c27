#pragma once

#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>

namespace velluma {

/// A theme page: it stays on the URL we gave it. Links, scripts that navigate away and new
/// windows are refused, so the pages' download links stay inert.
class LivePage : public QWebEnginePage {
    Q_OBJECT
public:
    LivePage(QWebEngineProfile* profile, const QString& origin, QObject* parent);

    /// Loads url; answers once with drawn() or loadFailed().
    void present(const QUrl& url);

Q_SIGNALS:
    /// The page has loaded, its Flash movies have started and it has drawn (or the movies did
    /// not start within a few seconds), so it can replace the page on screen without a blank
    /// moment.
    void drawn();
    void loadFailed();

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;

private:
    void loaded(bool ok);
    void answerDrawn();

    QUrl m_presented;
    QString m_origin;
    QTimer m_giveUp;
    bool m_loaded = false;
    bool m_drawnSaid = false;
    bool m_answered = false;
};

}  // namespace velluma
