#include "app/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace velluma {
namespace {

constexpr int kWaitMs = 2000;
constexpr char kShowRequest[] = "show\n";

}  // namespace

SingleInstance::SingleInstance(const std::string& programFolder) {
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(programFolder), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    m_name = QStringLiteral("velluma-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
    m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(m_name + QStringLiteral(".lock")));
    m_lock->setStaleLockTime(0);  // a lock whose process is gone is stale at once
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    if (!m_lock->tryLock(0)) {
        // Another copy owns the folder: ask it to come to the front.
        for (int attempt = 0; attempt < 10; ++attempt) {
            QLocalSocket socket;
            socket.connectToServer(m_name);
            if (socket.waitForConnected(kWaitMs)) {
                socket.write(kShowRequest);
                socket.waitForBytesWritten(kWaitMs);
                socket.disconnectFromServer();
                return false;
            }
            if (m_lock->tryLock(200)) break;  // it ended meanwhile
        }
        if (!m_lock->isLocked()) return false;
    }
    QLocalServer::removeServer(m_name);  // a socket left by a copy that was killed
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(m_name);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains("show") && onShowRequested) onShowRequested();
            });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    return true;
}

}  // namespace velluma
