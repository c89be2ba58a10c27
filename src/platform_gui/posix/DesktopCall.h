#pragma once

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

namespace velluma {

/// A desktop service that failed or did not answer; the text is meant for the user.
class DesktopError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A desktop service that did not answer in time.
class DesktopTimeout final : public DesktopError {
public:
    using DesktopError::DesktopError;
};

/// No desktop call may keep the program waiting longer than this.
inline constexpr std::chrono::milliseconds kDesktopTimeout{2000};

/// Runs work on a thread of its own and waits for it at most timeout. On time-out it throws
/// DesktopTimeout naming what, and the work finishes (or stays stuck) on its own: it must
/// own everything it touches. Exceptions of the work reach the caller.
void runWithin(std::chrono::milliseconds timeout, const std::string& what,
               std::function<void()> work);

}  // namespace velluma
