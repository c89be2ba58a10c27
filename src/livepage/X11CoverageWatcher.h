#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <memory>

struct xcb_connection_t;
class QSocketNotifier;

namespace velluma {

/// Watches the X11 window manager's description of the client windows (_NET_CLIENT_LIST and
/// their _NET_WM_STATE, _NET_WM_DESKTOP) for whether the desktop is fully covered. Driven by
/// property events on the root and client windows, so it costs nothing while nothing changes.
class X11CoverageWatcher : public QObject {
    Q_OBJECT
public:
    /// Opens its own connection to the display; valid() is false when that fails.
    explicit X11CoverageWatcher(QObject* parent = nullptr);
    ~X11CoverageWatcher() override;

    bool valid() const { return m_connection != nullptr; }
    bool covered() const { return m_covered; }

Q_SIGNALS:
    void coveredChanged(bool covered);

private:
    void readEvents();
    void drainEvents(bool queuedOnly);
    void recompute();
    unsigned atom(const char* name);

    xcb_connection_t* m_connection = nullptr;
    unsigned m_root = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_settle;
    QHash<QByteArray, unsigned> m_atoms;
    QSet<unsigned> m_watched;  // client windows whose property events we receive
    bool m_covered = false;
};

}  // namespace velluma
