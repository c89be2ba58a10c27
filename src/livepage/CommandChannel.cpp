#include "livepage/CommandChannel.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace velluma {
namespace {

constexpr qsizetype kMaxLine = 64 * 1024;

}  // namespace

CommandChannel::CommandChannel(QObject* parent)
    : QObject(parent), m_notifier(STDIN_FILENO, QSocketNotifier::Read) {
    connect(&m_notifier, &QSocketNotifier::activated, this, &CommandChannel::readInput);
}

void CommandChannel::send(const QString& line) {
    QByteArray bytes = line.toUtf8();
    bytes.replace('\n', ' ');
    bytes.replace('\r', ' ');
    bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void CommandChannel::readInput() {
    char chunk[4096];
    ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        m_notifier.setEnabled(false);
        Q_EMIT quitRequested();
        return;
    }
    m_buffer.append(chunk, n);
    qsizetype end;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (line.endsWith('\r')) line.chop(1);
        handleLine(QString::fromUtf8(line));
    }
    if (m_buffer.size() > kMaxLine) {
        m_buffer.clear();
        send(QStringLiteral("error line too long"));
    }
}

void CommandChannel::handleLine(const QString& line) {
    if (line.isEmpty()) return;
    if (line == QLatin1String("quit")) {
        Q_EMIT quitRequested();
        return;
    }
    handleCommand(line);
}

void CommandChannel::handleCommand(const QString& line) {
    if (line.startsWith(QLatin1String("show "))) {
        QString rest = line.mid(5);
        qsizetype tab = rest.indexOf(QLatin1Char('\t'));
        if (tab > 0 && tab + 1 < rest.size()) {
            Q_EMIT showRequested(rest.left(tab), rest.mid(tab + 1));
            return;
        }
        send(QStringLiteral("error show needs <work folder><TAB><start page>"));
        return;
    }
    refuse(line);
}

void CommandChannel::refuse(const QString& line) {
    send(QStringLiteral("error unknown command: ") + line.section(QLatin1Char(' '), 0, 0));
}

}  // namespace velluma
