#pragma once

#include <functional>

namespace velluma {

class MessageBoxes;

/// Runs a handler body; an error it raises ends the handler and is shown as the default
/// error report, and the program goes on. Returns false when the body failed.
bool runGuarded(MessageBoxes& boxes, const std::function<void()>& body);

}  // namespace velluma
