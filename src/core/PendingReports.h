#pragma once

#include <string>
#include <vector>

namespace velluma {

/// Errors of a run's end, when no message box may wait for the user: kept in a small file
/// beside the settings (registry/PendingReports.txt) and shown once at the next start.

/// Adds a report to the file. Throws std::runtime_error when the file cannot be written.
void keepReportForNextStart(const std::string& programFolder, const std::string& text);

/// The kept reports, oldest first, and removes the file so that each is shown once.
std::vector<std::string> takePendingReports(const std::string& programFolder);

}  // namespace velluma
