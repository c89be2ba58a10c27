#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velluma {

/// Ends the process when the program's end takes too long, so that a step that hangs
/// cannot hold the user's logout. Destroying the watchdog calls it off.
class ExitWatchdog {
public:
    ExitWatchdog() = default;
    ExitWatchdog(const ExitWatchdog&) = delete;
    ExitWatchdog& operator=(const ExitWatchdog&) = delete;
    ~ExitWatchdog();

    /// From now on the process has limit to end; after that it exits with code 1. Arming
    /// again changes nothing.
    void arm(std::chrono::milliseconds limit);

private:
    std::mutex m_mutex;
    std::condition_variable m_calledOff;
    bool m_done = false;
    std::thread m_thread;
};

}  // namespace velluma
