// The INI reader on any text: every lookup, and a write followed by a read-back, on the
// sections and keys the text itself names.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "formats/IniFile.h"

namespace velluma {
namespace {

bool isBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x09 && u <= 0x0d) || u == 0x1a || u == ' ';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

constexpr std::size_t kMaxNames = 12;

// The section and key names the text spells, at most kMaxNames of each, plus names it does
// not hold.
void collectNames(std::string_view text, std::vector<std::string>& sections,
                  std::vector<std::string>& keys) {
    sections = {"", "missing"};
    keys = {"", "missing"};
    std::size_t pos = 0;
    while (pos < text.size() && (sections.size() < kMaxNames || keys.size() < kMaxNames)) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) continue;
        const std::size_t close = line.rfind(']');
        if (line.front() == '[' && close != 0 && close != std::string_view::npos) {
            if (sections.size() < kMaxNames) sections.emplace_back(line.substr(1, close - 1));
        } else if (keys.size() < kMaxNames) {
            keys.emplace_back(trimmed(line.substr(0, line.find('='))));
        }
    }
}

// What a write can promise to give back: names that read as themselves once written.
bool writable(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view s = trimmed(section);
    const std::string_view k = trimmed(key);
    if (s.empty() || k.empty()) return false;
    if (s.find_first_of("\r\n") != std::string_view::npos) return false;
    if (k.find_first_of("\r\n=") != std::string_view::npos) return false;
    if (k.front() == ';' || k.front() == '[') return false;
    return value.find_first_of("\r\n") == std::string_view::npos;
}

bool sameName(std::string_view a, std::string_view b) {
    a = trimmed(a);
    b = trimmed(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string expectedRead(std::string_view value) {
    value = trimmed(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, IniFile::kMaxValue));
}

}  // namespace
}  // namespace velluma

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string_view text = fuzz::bytesOf(data, size);
    IniFile ini{std::string(text)};

    std::vector<std::string> sections;
    std::vector<std::string> keys;
    collectNames(text, sections, keys);
    std::vector<std::string> before;
    for (const std::string& section : sections)
        for (const std::string& key : keys) {
            before.push_back(ini.readString(section, key, " default "));
            FUZZ_CHECK(before.back().size() <= IniFile::kMaxValue);
        }

    // A write to the last names found, with a value made of the first line of the text.
    const std::string& section = sections.back();
    const std::string& key = keys.back();
    const std::string value(text.substr(0, std::min(text.find_first_of("\r\n"), text.size())));
    ini.writeString(section, key, value);
    if (!writable(section, key, value)) return 0;
    FUZZ_CHECK(ini.readString(section, key) == expectedRead(value));

    // Every other value reads as before: the rest of the file was kept.
    const IniFile reread(ini.text());
    std::size_t at = 0;
    for (const std::string& s : sections)
        for (const std::string& k : keys) {
            const std::string now = reread.readString(s, k, " default ");
            if (!sameName(s, section) || !sameName(k, key)) FUZZ_CHECK(now == before[at]);
            ++at;
        }
    return 0;
}
