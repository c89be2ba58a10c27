#include "imagelists/ListFile.h"

#include "imagelists/FileAccess.h"
#include "platform/AtomicFile.h"

namespace velluma {

std::string_view LinePicturePath(std::string_view line) {
    const auto mark = line.find('?');
    return mark == std::string_view::npos ? std::string_view() : line.substr(0, mark);
}

std::string_view LineSizeText(std::string_view line) {
    const auto mark = line.find('?');
    return mark == std::string_view::npos ? line : line.substr(mark + 1);
}

namespace {

// Calls take(line) for every line of text; returns how many there were.
template <typename Take>
std::size_t forEachLine(std::string_view text, Take&& take) {
    std::size_t count = 0;
    std::size_t start = 0;
    const std::size_t size = text.size();
    while (start < size) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = size;
        take(text.substr(start, end - start));
        ++count;
        if (end == size) break;
        start = end + ((text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') ? 2 : 1);
    }
    return count;
}

}  // namespace

std::vector<std::string_view> SplitListLines(std::string_view text) {
    std::vector<std::string_view> lines;
    forEachLine(text, [&](std::string_view line) { lines.push_back(line); });
    return lines;
}

std::size_t CountListLines(std::string_view text) {
    return forEachLine(text, [](std::string_view) {});
}

std::string JoinListLines(const std::vector<std::string_view>& lines) {
    std::size_t size = 0;
    for (std::string_view line : lines) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (std::string_view line : lines) {
        text.append(line);
        text.append("\r\n");
    }
    return text;
}

std::string ReadListFile(const std::string& path) {
    return ReadFileBytes(path, kMaxListFileBytes);
}

void WriteListFile(const std::string& path, const std::vector<std::string_view>& lines) {
    writeFileAtomically(path, JoinListLines(lines));
}

std::string ListLineProblem(std::string_view picturePath) {
    if (picturePath.find_first_of("\r\n") != std::string_view::npos)
        return "its name contains a line break";
    if (picturePath.find('?') != std::string_view::npos) return "its name contains \"?\"";
    return {};
}

}  // namespace velluma
