#include "livepage/LoopbackServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

#include <exception>
#include <optional>

namespace velluma {
namespace {

constexpr qsizetype kMaxHead = qsizetype{16} * 1024;
constexpr qint64 kChunk = qint64{64} * 1024;
constexpr int kIdleMs = 15000;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Percent-decodes one path segment. A segment that decodes to a separator or a NUL byte
// is refused: the engine never sends one, so it is an attempt to get past our checks.
std::optional<QByteArray> decodeSegment(const QByteArray& raw) {
    QByteArray out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '%') {
            if (i + 2 >= raw.size()) return std::nullopt;
            int high = hexValue(raw[i + 1]);
            int low = hexValue(raw[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = char(high * 16 + low);
            i += 2;
        }
        if (c == '/' || c == '\\' || c == '\0') return std::nullopt;
        out += c;
    }
    return out;
}

// The child of folder called name, matched without regard to case when there is no exact
// match: theme pages were written on a file system that ignores case.
QString childOf(const QString& folder, const QString& name) {
    QString exact = folder + QLatin1Char('/') + name;
    if (QFileInfo::exists(exact)) return exact;
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return folder + QLatin1Char('/') + entry;
    }
    return {};
}

QByteArray reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 431:
            return "Request Header Fields Too Large";
        default:
            return "Error";
    }
}

// One request on one connection: read the head, answer, stream the file, close.
class Connection : public QObject {
public:
    Connection(QTcpSocket* socket, LoopbackServer& server)
        : QObject(socket), m_socket(socket), m_server(server) {
        connect(socket, &QTcpSocket::readyRead, this, [this] { guarded([this] { readHead(); }); });
        connect(socket, &QTcpSocket::bytesWritten, this,
                [this] { guarded([this] { sendMore(); }); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        m_idle.setSingleShot(true);
        connect(&m_idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        m_idle.start(kIdleMs);
    }

private:
    template <typename Body>
    void guarded(Body body) {
        try {
            body();
        } catch (const std::exception&) {
            m_socket->abort();
        }
    }

    void readHead() {
        if (m_answered) {
            m_socket->readAll();  // one request per connection; ignore the rest
            return;
        }
        m_head += m_socket->readAll();
        qsizetype end = m_head.indexOf("\r\n\r\n");
        if (end < 0) end = m_head.indexOf("\n\n");
        if (end < 0) {
            if (m_head.size() > kMaxHead) sendStatus(431);
            return;
        }
        m_head.truncate(end);
        bool headOnly = false;
        LoopbackServer::Resolution r = m_server.answer(m_head, headOnly);
        if (r.status != 200) {
            sendStatus(r.status, headOnly);
            return;
        }
        m_file.setFileName(r.file);
        if (!m_file.open(QIODevice::ReadOnly)) {
            sendStatus(404, headOnly);
            return;
        }
        m_answered = true;
        if (!headOnly) m_emulatorTarget = r.emulatorTarget;
        m_socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + LoopbackServer::contentType(r.file) +
                        "\r\nContent-Length: " + QByteArray::number(m_file.size()) +
                        "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n");
        if (headOnly) m_file.close();
        sendMore();
    }

    // Keeps a few chunks in flight so that a large movie never sits in memory whole.
    void sendMore() {
        if (!m_answered) return;
        m_idle.start(kIdleMs);
        while (m_file.isOpen() && m_socket->bytesToWrite() < 4 * kChunk) {
            QByteArray chunk = m_file.read(kChunk);
            if (chunk.isEmpty()) {
                m_file.close();
                break;
            }
            m_socket->write(chunk);
        }
        if (!m_file.isOpen() && !m_closing) {
            m_closing = true;
            if (!m_emulatorTarget.isEmpty()) Q_EMIT m_server.emulatorFileSent(m_emulatorTarget);
            m_socket->disconnectFromHost();
        }
    }

    void sendStatus(int status, bool headOnly = false) {
        m_answered = true;
        QByteArray body = QByteArray::number(status) + ' ' + reason(status) + '\n';
        m_socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) +
                        "\r\nContent-Type: text/plain\r\nContent-Length: " +
                        QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n");
        if (!headOnly) m_socket->write(body);
        m_closing = true;
        m_socket->disconnectFromHost();
    }

    QTcpSocket* m_socket;
    LoopbackServer& m_server;
    QByteArray m_head;
    QString m_emulatorTarget;  // told once the file is sent
    QFile m_file;
    QTimer m_idle;
    bool m_answered = false;
    bool m_closing = false;
};

}  // namespace

LoopbackServer::LoopbackServer(QObject* parent) : QObject(parent) {
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackServer::accept);
}

bool LoopbackServer::listen() {
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString LoopbackServer::origin() const {
    return QStringLiteral("http://127.0.0.1:") + QString::number(port());
}

QString LoopbackServer::addSite(const QString& folder) {
    QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || !QFileInfo(canonical).isDir()) return {};
    QString token;
    do {
        quint64 words[2];
        QRandomGenerator::system()->fillRange(words);
        token = QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex());
    } while (m_sites.contains(token));
    m_sites.insert(token, canonical);
    return QStringLiteral("/s/") + token + QLatin1Char('/');
}

void LoopbackServer::removeSite(const QString& prefix) {
    QStringList parts = prefix.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() == 2 && parts[0] == QLatin1String("s")) m_sites.remove(parts[1]);
}

void LoopbackServer::setRuffleFolder(const QString& folder) {
    m_ruffle = QFileInfo(folder).canonicalFilePath();
}

LoopbackServer::Resolution LoopbackServer::answer(const QByteArray& head, bool& headOnly) const {
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) line.chop(1);
    }
    QList<QByteArray> request = lines.value(0).split(' ');
    if (request.size() != 3 || !request[2].startsWith("HTTP/1.")) return {400, {}, {}};
    headOnly = request[0] == "HEAD";

    // A page of the internet may point a name of its own at 127.0.0.1; such requests carry
    // that name, so only our exact address is answered.
    const QByteArray expectedHost = "127.0.0.1:" + QByteArray::number(port());
    int hosts = 0;
    bool hostMatches = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0) continue;
        if (lines[i].left(colon).trimmed().compare("host", Qt::CaseInsensitive) != 0) continue;
        ++hosts;
        hostMatches = lines[i].mid(colon + 1).trimmed() == expectedHost;
    }
    if (hosts != 1 || !hostMatches) return {403, {}, {}};

    if (request[0] != "GET" && request[0] != "HEAD") return {405, {}, {}};
    QByteArray target = request[1];
    if (!target.startsWith('/')) return {400, {}, {}};
    qsizetype cut = target.indexOf('?');
    if (cut >= 0) target.truncate(cut);
    cut = target.indexOf('#');
    if (cut >= 0) target.truncate(cut);
    return resolve(target);
}

LoopbackServer::Resolution LoopbackServer::resolve(const QByteArray& path) const {
    QList<QByteArray> segments;
    for (const QByteArray& raw : path.split('/')) {
        if (raw.isEmpty()) continue;
        std::optional<QByteArray> decoded = decodeSegment(raw);
        if (!decoded || *decoded == "." || *decoded == "..") return {404, {}, {}};
        segments.append(*decoded);
    }

    QString root;
    qsizetype first = 0;
    const bool emulator = !segments.isEmpty() && segments[0] == "ruffle";
    if (segments.size() >= 2 && segments[0] == "s") {
        root = m_sites.value(QString::fromUtf8(segments[1]));
        first = 2;
    } else if (emulator) {
        root = m_ruffle;
        first = 1;
    }
    if (root.isEmpty() || first >= segments.size()) return {404, {}, {}};

    QString current = root;
    for (qsizetype i = first; i < segments.size(); ++i) {
        current = childOf(current, QString::fromUtf8(segments[i]));
        if (current.isEmpty()) return {404, {}, {}};
    }
    // The canonical path settles symbolic links; it must still lie inside the site.
    QFileInfo info(current);
    QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty() || !canonical.startsWith(root + QLatin1Char('/')) ||
        !QFileInfo(canonical).isFile())
        return {404, {}, {}};
    return {200, canonical, emulator ? QString::fromLatin1(path) : QString()};
}

QByteArray LoopbackServer::contentType(const QString& file) {
    static const QHash<QString, QByteArray> types = {
        {QStringLiteral("htm"), "text/html"},
        {QStringLiteral("html"), "text/html"},
        {QStringLiteral("css"), "text/css"},
        {QStringLiteral("js"), "application/javascript"},
        {QStringLiteral("mjs"), "application/javascript"},
        {QStringLiteral("json"), "application/json"},
        {QStringLiteral("map"), "application/json"},
        {QStringLiteral("wasm"), "application/wasm"},
        {QStringLiteral("swf"), "application/x-shockwave-flash"},
        {QStringLiteral("txt"), "text/plain"},
        {QStringLiteral("xml"), "text/xml"},
        {QStringLiteral("png"), "image/png"},
        {QStringLiteral("jpg"), "image/jpeg"},
        {QStringLiteral("jpeg"), "image/jpeg"},
        {QStringLiteral("gif"), "image/gif"},
        {QStringLiteral("bmp"), "image/bmp"},
        {QStringLiteral("ico"), "image/x-icon"},
        {QStringLiteral("svg"), "image/svg+xml"},
        {QStringLiteral("webp"), "image/webp"},
        {QStringLiteral("mp3"), "audio/mpeg"},
        {QStringLiteral("wav"), "audio/wav"},
        {QStringLiteral("ogg"), "audio/ogg"},
        {QStringLiteral("mp4"), "video/mp4"},
        {QStringLiteral("webm"), "video/webm"},
        {QStringLiteral("ttf"), "font/ttf"},
        {QStringLiteral("woff"), "font/woff"},
        {QStringLiteral("woff2"), "font/woff2"},
    };
    return types.value(QFileInfo(file).suffix().toLower(), "application/octet-stream");
}

void LoopbackServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) new Connection(socket, *this);
}

}  // namespace velluma
