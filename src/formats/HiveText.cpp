#include "formats/HiveText.h"

#include <cstdio>
#include <unordered_map>
#include <utility>

namespace velluma {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::size_t kNone = std::size_t(-1);

char foldChar(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

}  // namespace

std::string foldRegistryName(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = foldChar(c);
    return out;
}

bool sameRegistryName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldChar(a[i]) != foldChar(b[i])) return false;
    return true;
}

std::string normalizeKeyPath(std::string_view key) {
    std::string out;
    std::size_t pos = 0;
    while (pos < key.size()) {
        std::size_t end = key.find('\\', pos);
        if (end == std::string_view::npos) end = key.size();
        if (end > pos) {
            if (!out.empty()) out += '\\';
            out.append(key.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return out;
}

namespace {

class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    // Lines end with CR LF, LF or CR.
    bool next(std::string_view& line) {
        if (m_pos >= m_text.size()) return false;
        std::size_t end = m_text.find_first_of("\r\n", m_pos);
        if (end == std::string_view::npos) end = m_text.size();
        line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        if (end < m_text.size() && m_text[end] == '\r' && m_pos < m_text.size() &&
            m_text[m_pos] == '\n')
            ++m_pos;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Reads "..." starting at pos (which holds the opening quote); only \\ and \" are escapes.
bool readQuoted(std::string_view line, std::size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (++pos >= line.size() || (line[pos] != '\\' && line[pos] != '"')) return false;
            c = line[pos];
        }
        out += c;
    }
    return false;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parseValueLine(std::string_view line, NamedValue& out) {
    std::size_t pos = 0;
    std::string name;
    if (!line.empty() && line[0] == '@')
        pos = 1;  // the key's default value, as regedit writes it
    else if (!readQuoted(line, pos, name))
        return false;
    if (pos >= line.size() || line[pos] != '=') return false;
    ++pos;
    std::string_view rest = line.substr(pos);
    if (!rest.empty() && rest[0] == '"') {
        std::string text;
        if (!readQuoted(line, pos, text) || pos != line.size()) return false;
        out = {std::move(name), RegValue::string(std::move(text))};
        return true;
    }
    if (rest.size() != kDwordPrefix.size() + 8 || !rest.starts_with(kDwordPrefix)) return false;
    std::uint32_t d = 0;
    for (char c : rest.substr(kDwordPrefix.size())) {
        int digit = hexDigit(c);
        if (digit < 0) return false;
        d = (d << 4) | std::uint32_t(digit);
    }
    out = {std::move(name), RegValue::number(d)};
    return true;
}

bool parseKeyHeader(std::string_view line, Hive hive, std::string& key) {
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
    std::string_view path = line.substr(1, line.size() - 2);
    std::size_t slash = path.find('\\');
    if (!sameRegistryName(path.substr(0, slash), hiveName(hive))) return false;
    key =
        slash == std::string_view::npos ? std::string() : normalizeKeyPath(path.substr(slash + 1));
    return true;
}

void appendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

}  // namespace

const char* hiveName(Hive hive) {
    switch (hive) {
        case Hive::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case Hive::CurrentUser:
            return "HKEY_CURRENT_USER";
        case Hive::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
    }
    return "HKEY_CURRENT_USER";
}

std::optional<std::vector<ParsedKey>> parseHiveText(std::string_view text, Hive hive) {
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
    LineReader lines(text);
    std::string_view line;
    if (!lines.next(line) || line != kHeader) return std::nullopt;

    // Repeated blocks and values merge, the later value winning, as an import would do.
    std::vector<ParsedKey> keys;
    std::unordered_map<std::string, std::size_t> keyIndex;
    std::vector<std::unordered_map<std::string, std::size_t>> valueIndex;
    std::size_t current = kNone;
    while (lines.next(line)) {
        if (isBlank(line)) {
            current = kNone;
            continue;
        }
        if (line[0] == '[') {
            std::string name;
            if (!parseKeyHeader(line, hive, name)) return std::nullopt;
            auto [it, added] = keyIndex.try_emplace(foldRegistryName(name), keys.size());
            if (added) {
                keys.push_back({std::move(name), {}});
                valueIndex.emplace_back();
            }
            current = it->second;
            continue;
        }
        NamedValue value;
        if (current == kNone || !parseValueLine(line, value)) return std::nullopt;
        auto& values = keys[current].values;
        auto [it, added] =
            valueIndex[current].try_emplace(foldRegistryName(value.first), values.size());
        if (added)
            values.push_back(std::move(value));
        else
            values[it->second].second = std::move(value.second);
    }
    return keys;
}

std::string renderHiveText(const std::vector<ParsedKey>& keys, Hive hive) {
    std::string out(kHeader);
    out += "\r\n\r\n";
    for (const ParsedKey& key : keys) {
        out += '[';
        out += hiveName(hive);
        if (!key.name.empty()) {
            out += '\\';
            out += key.name;
        }
        out += "]\r\n";
        for (const auto& [name, value] : key.values) {
            if (name.empty())
                out += '@';
            else
                appendQuoted(out, name);
            out += '=';
            if (value.type == RegValue::Type::String) {
                appendQuoted(out, value.text);
            } else {
                char digits[16];
                std::snprintf(digits, sizeof digits, "%08x", unsigned(value.dword));
                out += kDwordPrefix;
                out += digits;
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace velluma
