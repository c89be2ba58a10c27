#include "platform/MessageBoxes.h"

namespace velluma {

std::string errorReportText(const std::string& errorText) {
    if (!errorText.empty() && static_cast<unsigned char>(errorText.back()) > '.')
        return errorText + ".";
    return errorText;
}

void MessageBoxes::reportError(const std::string& errorText) {
    show(errorReportText(errorText), "Velluma", MessageIcon::Error);
}

}  // namespace velluma
