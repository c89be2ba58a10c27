#include "platform_gui/posix/DesktopCall.h"

#include <future>
#include <memory>
#include <thread>

namespace velluma {
namespace {

std::string durationText(std::chrono::milliseconds d) {
    if (d.count() % 1000 == 0) return std::to_string(d.count() / 1000) + " seconds";
    return std::to_string(d.count()) + " ms";
}

}  // namespace

void runWithin(std::chrono::milliseconds timeout, const std::string& what,
               std::function<void()> work) {
    // The task is shared with the thread, so a late finish after a time-out touches nothing
    // of the caller's.
    auto task = std::make_shared<std::packaged_task<void()>>(std::move(work));
    std::future<void> done = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (done.wait_for(timeout) != std::future_status::ready)
        throw DesktopTimeout(what + " did not answer within " + durationText(timeout));
    done.get();
}

}  // namespace velluma
