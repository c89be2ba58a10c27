#include "app/SessionEnd.h"

#include <QCoreApplication>

#include "platform/SessionEnding.h"
#include "platform_gui/posix/SessionEndWatcher.h"
#include "ui/TransientWindows.h"

namespace velluma {

SessionEnd::SessionEnd(SessionEndWatcher& watcher) {
    QObject::connect(&watcher, &SessionEndWatcher::sessionEnding, &watcher, [this] { begin(); });
}

bool SessionEnd::requested() const {
    return sessionEnding();
}

void SessionEnd::begin() {
    setSessionEnding(true);
    m_watchdog.arm(kTimeLimit);
    closeTransientWindows();
    // Every running loop returns, a modal one too, and a loop started later returns at
    // once: the code after them sees the end and only winds down.
    QCoreApplication::exit(0);
}

}  // namespace velluma
