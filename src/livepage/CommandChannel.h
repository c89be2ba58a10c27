#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include "protocol/PageProtocol.h"

namespace velluma {

/// The page program's end of the line protocol with the tray program: commands on standard
/// input, answers on standard output.
class CommandChannel : public QObject {
    Q_OBJECT
public:
    explicit CommandChannel(QObject* parent = nullptr);

    /// Writes one line and flushes it at once: the tray program waits for it.
    static void send(const QString& line);

Q_SIGNALS:
    void showRequested(const QString& folder, const QString& startPage);
    /// Whether the desktop's shell sees every monitor covered.
    void coveredTold(bool covered);
    /// "quit", or the end of input (the tray program is gone).
    void quitRequested();

protected:
    /// Whether this channel acts on commands of verb (quit is always taken).
    virtual bool takes(page_protocol::Verb verb) const;
    /// One command of a verb taken, in its form.
    virtual void handleCommand(const page_protocol::Command& command);

private:
    void readInput();
    void handleLine(const QString& line);

    QSocketNotifier m_notifier;
    QByteArray m_buffer;
};

}  // namespace velluma
