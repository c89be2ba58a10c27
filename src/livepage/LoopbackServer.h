#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace velluma {

/// Serves the shown page's folder and the Flash emulator's files to our page engine over HTTP
/// on 127.0.0.1 only (the emulator refuses file:// pages). Each site gets a fresh random path
/// prefix, so a page cannot name the files of another site, and a request is answered only
/// when its Host header is exactly our address (a page of the internet that points a name at
/// 127.0.0.1 gets nothing). GET and HEAD only, one request per connection, no listings.
class LoopbackServer : public QObject {
    Q_OBJECT
public:
    /// What a request target maps to: the canonical file to send, or an error status.
    struct Resolution {
        int status = 404;
        QString file;
        QString emulatorTarget;  // the request path of a file of the Flash emulator's folder
    };

    explicit LoopbackServer(QObject* parent = nullptr);

    /// Listens on 127.0.0.1 on a port the system picks. False when that fails.
    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    /// "http://127.0.0.1:<port>"
    QString origin() const;

    /// Serves the files under folder at the returned prefix ("/s/<random>/") until removeSite.
    /// Empty when folder does not exist.
    QString addSite(const QString& folder);
    void removeSite(const QString& prefix);

    /// The emulator's folder, served at rufflePrefix().
    void setRuffleFolder(const QString& folder);
    static QString rufflePrefix() { return QStringLiteral("/ruffle/"); }

    /// What to answer to a request head (request line and headers); headOnly tells HEAD.
    Resolution answer(const QByteArray& head, bool& headOnly) const;

    static QByteArray contentType(const QString& file);

Q_SIGNALS:
    /// A file of the Flash emulator's folder was sent whole; target is its request path.
    void emulatorFileSent(const QString& target);

private:
    Resolution resolve(const QByteArray& path) const;
    void accept();

    QTcpServer m_server;
    QHash<QString, QString> m_sites;  // token -> canonical folder
    QString m_ruffle;                 // canonical folder or empty
};

}  // namespace velluma
