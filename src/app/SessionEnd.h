#pragma once

#include "app/ExitWatchdog.h"

namespace velluma {

class SessionEndWatcher;

/// The first reaction to the end of the session, in whatever event loop is running then:
/// nothing waits for the user any more, every dialog, menu and in-place editor closes, and
/// every event loop returns, so that the program's own shutdown runs at once. Should that
/// not finish in time, a watchdog ends the process.
class SessionEnd {
public:
    static constexpr std::chrono::milliseconds kTimeLimit{2500};

    explicit SessionEnd(SessionEndWatcher& watcher);

    /// Whether the session has ended: start-up stops, the message loop does not start.
    bool requested() const;

private:
    void begin();

    ExitWatchdog m_watchdog;
};

}  // namespace velluma
