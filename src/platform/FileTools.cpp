#include "platform/FileTools.h"

#include <random>

namespace velluma {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string_view FileNameOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string randomSuffix() {
    // One generator per thread: writers run on worker threads too.
    thread_local std::mt19937_64 generator{std::random_device{}()};
    return std::to_string(generator());
}

std::string tempPathBeside(const std::string& path, std::string_view marker) {
    std::string temp = folderOf(path);
    if (temp.back() != '/') temp += '/';
    return temp + "." + std::string(FileNameOf(path)) + std::string(marker) + randomSuffix();
}

}  // namespace velluma
