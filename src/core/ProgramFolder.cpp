#include "core/ProgramFolder.h"

#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace velluma {

std::string runningProgramFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) throw std::runtime_error("Cannot determine the program folder");
        if (static_cast<std::size_t>(n) < buffer.size()) {
            std::string file(buffer.data(), static_cast<std::size_t>(n));
            auto slash = file.find_last_of('/');
            return slash == 0 ? std::string() : file.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string programPath(const std::string& programFolder, std::string_view stored) {
    std::string result = programFolder;
    result.reserve(programFolder.size() + stored.size());
    for (char c : stored) result.push_back(c == '\\' ? '/' : c);
    return result;
}

std::string fileNamePart(std::string_view path) {
    auto sep = path.find_last_of("/\\");
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

}  // namespace velluma
