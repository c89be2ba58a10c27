#include "themes/ZipEntryName.h"

namespace velluma {

std::string unsafeEntryNameReason(std::string_view name) {
    if (name.empty()) return "the name is empty";
    if (name.front() == '/') return "the name is an absolute path";
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') return "the name uses backslashes";
        if (u < 0x20 || u == 0x7f) return "the name holds a control character";
    }
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        return "the name starts with a drive";

    std::string_view path = name;
    if (path.back() == '/') path.remove_suffix(1);  // a folder entry
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        const std::string_view part = path.substr(
            start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (part.empty()) return "the name has an empty folder part";
        if (part == "." || part == "..") return "the name has a \".\" or \"..\" part";
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return {};
}

}  // namespace velluma
