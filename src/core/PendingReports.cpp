#include "core/PendingReports.h"

#include <unistd.h>

#include <algorithm>

#include "formats/RegularFile.h"
#include "platform/AtomicFile.h"

namespace velluma {
namespace {

constexpr std::size_t kMaxFileBytes = std::size_t{64} * 1024;
// A run that keeps failing must not grow the file.
constexpr std::size_t kMaxReports = 20;
constexpr std::size_t kMaxReportBytes = 2000;

std::string reportsFile(const std::string& programFolder) {
    return programFolder + "/registry/PendingReports.txt";
}

std::vector<std::string> readReports(const std::string& path) {
    std::string text;
    std::vector<std::string> reports;
    if (!readWholeFile(path, text, kMaxFileBytes)) return reports;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) reports.push_back(std::move(line));
        start = end + 1;
    }
    return reports;
}

}  // namespace

void keepReportForNextStart(const std::string& programFolder, const std::string& text) {
    const std::string path = reportsFile(programFolder);
    std::vector<std::string> reports = readReports(path);
    std::string line = text.substr(0, kMaxReportBytes);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    reports.push_back(std::move(line));
    if (reports.size() > kMaxReports)
        reports.erase(reports.begin(), reports.end() - static_cast<std::ptrdiff_t>(kMaxReports));
    std::string contents;
    for (const std::string& report : reports) contents += report + "\r\n";
    writeFileAtomically(path, contents);
}

std::vector<std::string> takePendingReports(const std::string& programFolder) {
    const std::string path = reportsFile(programFolder);
    std::vector<std::string> reports = readReports(path);
    ::unlink(path.c_str());
    return reports;
}

}  // namespace velluma
