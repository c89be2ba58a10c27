#include "ui/ErrorReport.h"

#include <cstdio>
#include <exception>

#include "core/PendingReports.h"
#include "platform/MessageBoxes.h"
#include "platform/SessionEnding.h"

namespace velluma {
namespace {

void reportAtSessionEnd(const std::string& programFolder, const std::string& errorText) {
    const std::string text = errorReportText(errorText);
    std::fprintf(stderr, "Velluma: %s\n", text.c_str());
    try {
        keepReportForNextStart(programFolder, text);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Velluma: %s\n", e.what());
    }
}

}  // namespace

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

bool runExitStep(MessageBoxes& boxes, const std::string& programFolder,
                 const std::function<void()>& body) {
    if (!sessionEnding()) return runGuarded(boxes, body);
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        reportAtSessionEnd(programFolder, e.what());
    } catch (...) {
        reportAtSessionEnd(programFolder, "Unknown error");
    }
    return false;
}

}  // namespace velluma
