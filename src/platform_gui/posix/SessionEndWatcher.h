#pragma once

#include <QObject>

class QSocketNotifier;

namespace velluma {

/// Turns the end of the session into one signal: the session manager's request to commit
/// data, and SIGTERM, SIGHUP and SIGINT. Only one watcher may exist.
class SessionEndWatcher final : public QObject {
    Q_OBJECT
public:
    explicit SessionEndWatcher(QObject* parent = nullptr);
    ~SessionEndWatcher() override;

Q_SIGNALS:
    /// The session is ending; emitted at most once.
    void sessionEnding();

private:
    void fire();

    QSocketNotifier* m_notifier = nullptr;
    bool m_fired = false;
};

}  // namespace velluma
