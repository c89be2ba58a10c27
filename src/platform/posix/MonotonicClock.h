#pragma once

#include "platform/Clock.h"

namespace velluma {

/// Tick count from CLOCK_MONOTONIC.
class MonotonicClock final : public Clock {
public:
    std::uint32_t tickCount() override;
};

}  // namespace velluma
