#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

namespace velluma {

/// The line protocol with the tray program: commands on standard input, answers on standard
/// output, one UTF-8 line each.
class CommandChannel : public QObject {
    Q_OBJECT
public:
    explicit CommandChannel(QObject* parent = nullptr);

    /// Writes one line and flushes it at once: the tray program waits for it.
    static void send(const QString& line);

Q_SIGNALS:
    void showRequested(const QString& folder, const QString& startPage);
    /// "quit", or the end of input (the tray program is gone).
    void quitRequested();

protected:
    /// One command line, neither empty nor "quit".
    virtual void handleCommand(const QString& line);
    /// Answers a command that this channel does not know.
    static void refuse(const QString& line);

private:
    void readInput();
    void handleLine(const QString& line);

    QSocketNotifier m_notifier;
    QByteArray m_buffer;
};

}  // namespace velluma
