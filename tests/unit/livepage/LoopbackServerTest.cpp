#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <filesystem>
#include <string>

#include "livepage/LoopbackServer.h"
#include "support/TempFolder.h"

namespace velluma {
namespace {

using test::TempFolder;

struct Response {
    int status = 0;
    QByteArray head;
    QByteArray body;
};

// Sends raw bytes, so that the tests control the target and headers exactly as sent.
Response exchange(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    QByteArray received;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::connected, [&] { socket.write(request); });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { received += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    loop.exec();
    received += socket.readAll();

    Response response;
    qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0) return response;
    response.head = received.left(end);
    response.body = received.mid(end + 4);
    QList<QByteArray> statusLine = response.head.split(' ');
    if (statusLine.size() > 1) response.status = statusLine[1].toInt();
    return response;
}

QByteArray header(const Response& response, const QByteArray& name) {
    for (const QByteArray& line : response.head.split('\n')) {
        if (line.startsWith(name + ": ")) return line.mid(name.size() + 2).trimmed();
    }
    return {};
}

class LoopbackServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        m_folder.write("site/index.htm", "<html>page</html>");
        m_folder.write("site/Movie.swf", "FWS movie");
        m_folder.write("site/sub/style.css", "body{}");
        m_folder.write("site/with space.js", "var a;");
        m_folder.makeFolder("site/empty");
        m_folder.write("outside/secret.txt", "secret");
        m_folder.write("ruffle/ruffle.js", "ruffle");
        m_folder.write("ruffle/core.wasm", std::string("\0asm", 4));
        m_big.resize(1536 * 1024);
        for (size_t i = 0; i < m_big.size(); ++i) m_big[i] = char(i * 7 % 251);
        m_folder.write("site/big.bin", m_big);
        fs::create_symlink(m_folder.file("outside/secret.txt"), m_folder.file("site/leak.txt"));
        fs::create_symlink(m_folder.file("outside"), m_folder.file("site/leakdir"));
        fs::create_symlink("index.htm", m_folder.file("site/alias.htm"));

        ASSERT_TRUE(m_server.listen());
        m_server.setRuffleFolder(QString::fromStdString(m_folder.file("ruffle")));
        m_site = m_server.addSite(QString::fromStdString(m_folder.file("site")));
        ASSERT_FALSE(m_site.isEmpty());
    }

    Response get(const QByteArray& target, const QByteArray& method = "GET") {
        return exchange(m_server.port(),
                        method + ' ' + target + " HTTP/1.1\r\nHost: " + host() + "\r\n\r\n");
    }
    QByteArray site() const { return m_site.toUtf8(); }
    QByteArray host() const { return "127.0.0.1:" + QByteArray::number(m_server.port()); }

    TempFolder m_folder;
    LoopbackServer m_server;
    QString m_site;
    std::string m_big;
};

TEST_F(LoopbackServerTest, ServesSiteAndEmulatorFilesWithTheirTypes) {
    struct Case {
        QByteArray target;
        QByteArray type;
        QByteArray body;
    } cases[] = {
        {site() + "index.htm", "text/html", "<html>page</html>"},
        {site() + "sub/style.css?v=2", "text/css", "body{}"},
        {site() + "with%20space.js", "application/javascript", "var a;"},
        {site() + "movie.swf", "application/x-shockwave-flash", "FWS movie"},  // case ignored
        {site() + "alias.htm", "text/html", "<html>page</html>"},  // link inside the site
        {site() + "big.bin", "application/octet-stream", QByteArray::fromStdString(m_big)},
        {"/ruffle/ruffle.js", "application/javascript", "ruffle"},
        {"/ruffle/core.wasm", "application/wasm", QByteArray("\0asm", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        Response r = get(c.target);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(header(r, "Content-Type"), c.type);
        EXPECT_TRUE(r.body == c.body);
    }

    Response head = get(site() + "index.htm", "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(header(head, "Content-Length"), "17");
    EXPECT_TRUE(head.body.isEmpty());
}

TEST_F(LoopbackServerTest, RefusesEverythingOutsideTheSiteFiles) {
    const QByteArray targets[] = {
        site() + "../outside/secret.txt",
        site() + "%2e%2e/outside/secret.txt",
        site() + "%2E%2E%2Foutside%2Fsecret.txt",
        site() + "sub%2f..%2f..%2foutside%2fsecret.txt",
        site() + "..%5coutside%5csecret.txt",
        site() + "sub/..\\..\\outside\\secret.txt",
        site() + QByteArray::fromStdString(m_folder.file("outside/secret.txt")),
        QByteArray::fromStdString(m_folder.file("outside/secret.txt")),
        "/s/../../outside/secret.txt",
        site() + "leak.txt",
        site() + "leakdir/secret.txt",
        site() + "index.htm%00.swf",
        site() + "sub",
        site() + "empty/",
        site(),
        "/",
        "/s/00112233445566778899aabbccddeeff/index.htm",
        "/ruffle/../" + site() + "index.htm",
    };
    for (const QByteArray& target : targets) {
        SCOPED_TRACE(target.toStdString());
        Response r = get(target);
        EXPECT_EQ(r.status, 404);
        EXPECT_FALSE(r.body.contains("secret"));
    }
    // Absolute-form targets are for proxies, which we are not.
    EXPECT_EQ(get("http://" + host() + site() + "index.htm").status, 400);
}

TEST_F(LoopbackServerTest, AnswersOnlyOurExactHostAndReadingMethods) {
    const QByteArray target = site() + "index.htm";
    const QByteArray port = QByteArray::number(m_server.port());
    struct Case {
        QByteArray headers;
        int status;
    } cases[] = {
        {"Host: localhost:" + port + "\r\n", 403},
        {"Host: 127.0.0.1:" + QByteArray::number(m_server.port() == 1 ? 2 : 1) + "\r\n", 403},
        {"Host: 127.0.0.1\r\n", 403},
        {"Host: attacker.example:" + port + "\r\n", 403},
        {"", 403},
        {"Host: 127.0.0.1:" + port + "\r\nHost: localhost\r\n", 403},
        {"host:127.0.0.1:" + port + " \r\n", 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers.toStdString());
        EXPECT_EQ(exchange(m_server.port(), "GET " + target + " HTTP/1.1\r\n" + c.headers + "\r\n")
                      .status,
                  c.status);
    }
    EXPECT_EQ(get(target, "POST").status, 405);
    EXPECT_EQ(get(target, "PUT").status, 405);
}

TEST_F(LoopbackServerTest, PreviousSiteStaysUntilDropped) {
    TempFolder next;
    next.write("next.htm", "next");
    const QString nextSite = m_server.addSite(QString::fromStdString(next.path()));
    ASSERT_FALSE(nextSite.isEmpty());
    EXPECT_NE(nextSite, m_site);

    EXPECT_EQ(get(site() + "index.htm").status, 200);
    EXPECT_EQ(get(nextSite.toUtf8() + "next.htm").status, 200);
    EXPECT_EQ(get(nextSite.toUtf8() + "index.htm").status, 404);  // sites never mix

    m_server.removeSite(m_site);
    EXPECT_EQ(get(site() + "index.htm").status, 404);
    EXPECT_EQ(get(nextSite.toUtf8() + "next.htm").status, 200);
}

// The page program keeps the emulator's compiled module once it has been sent: only a whole
// file of the emulator's folder counts, named by the path it was asked for.
TEST_F(LoopbackServerTest, TellsWhichEmulatorFilesWereSentWhole) {
    m_folder.write("ruffle/big.wasm", m_big);
    struct Case {
        QByteArray target;
        QByteArray method;
        QString told;  // empty: nothing
    } cases[] = {
        {"/ruffle/core.wasm", "GET", QStringLiteral("/ruffle/core.wasm")},
        {"/ruffle/big.wasm?v=1", "GET", QStringLiteral("/ruffle/big.wasm")},  // many chunks
        {"/ruffle/ruffle.js", "GET", QStringLiteral("/ruffle/ruffle.js")},
        {"/ruffle/core.wasm", "HEAD", {}},
        {"/ruffle/missing.wasm", "GET", {}},
        {"/ruffle/../ruffle/core.wasm", "GET", {}},
        {site() + "big.bin", "GET", {}},
        {site() + "index.htm", "GET", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method.toStdString() + ' ' + c.target.toStdString());
        QStringList told;
        const QMetaObject::Connection watch =
            QObject::connect(&m_server, &LoopbackServer::emulatorFileSent,
                             [&told](const QString& target) { told.append(target); });
        get(c.target, c.method);
        QObject::disconnect(watch);
        EXPECT_EQ(told, c.told.isEmpty() ? QStringList() : QStringList{c.told});
    }
}

}  // namespace
}  // namespace velluma
