#pragma once

#include <functional>
#include <string>

namespace velluma {

class MessageBoxes;

/// Runs a handler body; an error it raises ends the handler and is shown as the default
/// error report, and the program goes on. Returns false when the body failed.
bool runGuarded(MessageBoxes& boxes, const std::function<void()>& body);

/// Runs a step of the program's end. A failure is shown as the default error report while
/// the user is there; once the session ends nothing may wait for a click, so it goes to
/// standard error and is kept for the next start to show. Returns false when the step
/// failed.
bool runExitStep(MessageBoxes& boxes, const std::string& programFolder,
                 const std::function<void()>& body);

}  // namespace velluma
