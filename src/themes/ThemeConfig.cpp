#include "themes/ThemeConfig.h"

#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/ProgramFolder.h"
#include "formats/IniFile.h"

namespace velluma {
namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

bool HasIniSection(std::string_view text, std::string_view section) {
    section = trimProfileBlanks(section);
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimProfileBlanks(text.substr(pos, end - pos));
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close != 0 && close != std::string_view::npos &&
                equalNoCase(line.substr(1, close - 1), section))
                return true;
        }
        if (end == text.size()) break;
        pos = end + 1;
    }
    return false;
}

std::int32_t ReadIniInteger(const IniFile& ini, std::string_view section, std::string_view key,
                            std::int32_t defaultValue) {
    const std::string text = ini.readString(section, key);
    std::string_view digits = text;
    const bool plus = digits.starts_with('+');
    if (plus) digits.remove_prefix(1);
    if (digits.empty() || (plus && digits.front() == '-')) return defaultValue;
    std::int32_t value = 0;
    const char* last = digits.data() + digits.size();
    auto [ptr, ec] = std::from_chars(digits.data(), last, value);
    if (ec != std::errc() || ptr != last) return defaultValue;
    return value;
}

std::string StartPageIn(const std::string& workFolder, std::string_view startup) {
    std::string page = programPath(workFolder, startup);
    const std::string folder = std::filesystem::path(workFolder + "/").lexically_normal().string();
    const std::string normal = std::filesystem::path(page).lexically_normal().string();
    if (normal.size() <= folder.size() || normal.compare(0, folder.size(), folder) != 0)
        throw std::runtime_error("The theme's start page \"" + std::string(startup) +
                                 "\" lies outside the theme's folder: the theme is not shown.");
    return page;
}

}  // namespace velluma
