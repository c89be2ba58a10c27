#include "ui/ErrorReport.h"

#include <exception>

#include "platform/MessageBoxes.h"

namespace velluma {

bool runGuarded(MessageBoxes& boxes, const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        boxes.reportError(e.what());
    } catch (...) {
        boxes.reportError("Unknown error");
    }
    return false;
}

}  // namespace velluma
