#include "platform/SessionEnding.h"

#include <atomic>

namespace velluma {
namespace {

std::atomic<bool> g_ending{false};

}  // namespace

bool sessionEnding() {
    return g_ending.load();
}

void setSessionEnding(bool ending) {
    g_ending.store(ending);
}

}  // namespace velluma
