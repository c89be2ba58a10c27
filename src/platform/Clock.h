#pragma once

#include <cstdint>

namespace velluma {

/// The system's millisecond tick count.
class Clock {
public:
    virtual ~Clock() = default;

    /// Milliseconds since an arbitrary start, wrapping at 2^32.
    virtual std::uint32_t tickCount() = 0;
};

}  // namespace velluma
