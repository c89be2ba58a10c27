#include "livepage/CommandChannel.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace velluma {

namespace protocol = page_protocol;

namespace {

constexpr qsizetype kMaxLine = qsizetype{64} * 1024;

}  // namespace

CommandChannel::CommandChannel(QObject* parent)
    : QObject(parent), m_notifier(STDIN_FILENO, QSocketNotifier::Read) {
    connect(&m_notifier, &QSocketNotifier::activated, this, &CommandChannel::readInput);
}

void CommandChannel::send(const QString& line) {
    const QByteArray bytes = protocol::answerBytes(line);
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
        send(protocol::error(protocol::kLineTooLong));
    }
}

void CommandChannel::handleLine(const QString& line) {
    const protocol::Command command = protocol::parseCommand(line);
    if (command.verb == protocol::Verb::None) return;
    if (command.verb == protocol::Verb::Quit) {
        Q_EMIT quitRequested();
        return;
    }
    const bool taken = takes(command.verb);
    if (!taken || !command.wellFormed) {
        send(protocol::refusal(command, taken));
        return;
    }
    handleCommand(command);
}

bool CommandChannel::takes(protocol::Verb verb) const {
    return verb == protocol::Verb::Show || verb == protocol::Verb::Covered;
}

void CommandChannel::handleCommand(const protocol::Command& command) {
    if (command.verb == protocol::Verb::Show) Q_EMIT showRequested(command.first, command.second);
    if (command.verb == protocol::Verb::Covered) Q_EMIT coveredTold(command.covered);
}

}  // namespace velluma
