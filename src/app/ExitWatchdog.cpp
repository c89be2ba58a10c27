#include "app/ExitWatchdog.h"

#include <unistd.h>

#include <cstdio>

namespace velluma {

ExitWatchdog::~ExitWatchdog() {
    {
        const std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_calledOff.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void ExitWatchdog::arm(std::chrono::milliseconds limit) {
    if (m_thread.joinable()) return;
    m_thread = std::thread([this, limit] {
        std::unique_lock lock(m_mutex);
        if (m_calledOff.wait_for(lock, limit, [this] { return m_done; })) return;
        std::fputs("Velluma: the end of the session took too long; ending now\n", stderr);
        std::fflush(nullptr);
        ::_exit(1);
    });
}

}  // namespace velluma
