#pragma once

#include <string>
#include <string_view>

namespace velluma {

/// The folder of the running program file, without a trailing slash (from /proc/self/exe).
std::string runningProgramFolder();

/// Joins a path stored in the program's files ("\Languages\english.lng": backslashes, a
/// leading separator) to the program folder: backslashes become slashes and nothing is
/// inserted between the two, so a stored value without its leading backslash names a
/// different file, as it would on Windows.
std::string programPath(const std::string& programFolder, std::string_view stored);

/// The file name part of a path (after the last slash or backslash).
std::string fileNamePart(std::string_view path);

}  // namespace velluma
