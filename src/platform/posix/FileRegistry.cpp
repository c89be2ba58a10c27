#include "platform/posix/FileRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

namespace velluma {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::size_t kNone = std::size_t(-1);

char foldChar(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = foldChar(c);
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldChar(a[i]) != foldChar(b[i])) return false;
    return true;
}

// "\A\\B\" and "A\B" name the same key; "" is the hive's root.
std::string normalizeKey(std::string_view key) {
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

// A line break cannot be written inside a line of the file.
void requireStorable(std::string_view s, const char* what) {
    if (s.find_first_of("\r\n") != std::string_view::npos)
        throw std::runtime_error(std::string("Cannot store a registry ") + what +
                                 " that contains a line break");
}

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
    if (!sameName(path.substr(0, slash), hiveName(hive))) return false;
    key = slash == std::string_view::npos ? std::string() : normalizeKey(path.substr(slash + 1));
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

// Renames path to path.corrupt, or .corrupt.1, .corrupt.2 ... without replacing an
// older copy. False when the file stays where it is.
bool setAside(const std::string& path) {
    for (int n = 0; n < 10000; ++n) {
        std::string target = path + ".corrupt";
        if (n > 0) target += "." + std::to_string(n);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST) continue;
        if (errno == ENOENT) return true;  // gone meanwhile: nothing left to overwrite
        if (errno != EINVAL && errno != ENOSYS) return false;
        // The file system cannot refuse to replace; look first.
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0) continue;
        return ::rename(path.c_str(), target.c_str()) == 0;
    }
    return false;
}

}  // namespace

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
            auto [it, added] = keyIndex.try_emplace(fold(name), keys.size());
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
        auto [it, added] = valueIndex[current].try_emplace(fold(value.first), values.size());
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

struct FileRegistry::Contents {
    std::vector<ParsedKey> keys;  // in file order
    // Folded name -> position in keys. Ordered, so the keys below a parent are adjacent.
    std::map<std::string, std::size_t> index;

    Contents() = default;
    explicit Contents(std::vector<ParsedKey> parsed) : keys(std::move(parsed)) {
        for (std::size_t i = 0; i < keys.size(); ++i) index.emplace(fold(keys[i].name), i);
    }

    const ParsedKey* find(const std::string& key) const {
        auto it = index.find(fold(key));
        return it == index.end() ? nullptr : &keys[it->second];
    }

    ParsedKey& findOrAdd(const std::string& key, bool& added) {
        auto [it, inserted] = index.try_emplace(fold(key), keys.size());
        added = inserted;
        if (inserted) keys.push_back({key, {}});
        return keys[it->second];
    }

    bool hasKeyBelow(const std::string& key) const {
        std::string prefix = fold(key) + '\\';
        auto it = index.lower_bound(prefix);
        return it != index.end() && it->first.starts_with(prefix);
    }
};

struct FileRegistry::HiveData {
    Contents contents;
    // An unparsable file that could not be renamed yet; no save may replace it.
    bool corruptFileInPlace = false;
};

FileRegistry::FileRegistry(std::string folder)
    : m_folder(folder.empty() ? std::string(".") : std::move(folder)) {}

FileRegistry::~FileRegistry() = default;

std::string FileRegistry::hivePath(Hive hive) const {
    return m_folder + "/" + hiveName(hive) + ".reg";
}

FileRegistry::HiveData& FileRegistry::load(Hive hive) {
    const auto slot = static_cast<std::size_t>(hive);
    if (slot >= m_hives.size()) throw std::invalid_argument("Unknown registry hive");
    if (m_hives[slot]) return *m_hives[slot];

    auto data = std::make_unique<HiveData>();
    const std::string path = hivePath(hive);
    struct stat st {};
    // Anything but a regular file (a folder, a pipe) is left alone: reading a pipe would
    // block, and saves onto it fail by themselves.
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        std::string text;
        std::optional<std::vector<ParsedKey>> keys;
        if (readWholeFile(path, text, kMaxFileBytes)) keys = parseHiveText(text, hive);
        if (keys)
            data->contents = Contents(std::move(*keys));
        else
            data->corruptFileInPlace = !setAside(path);
    }
    m_hives[slot] = std::move(data);
    return *m_hives[slot];
}

void FileRegistry::save(Hive hive, HiveData& data, Contents next) {
    const std::string path = hivePath(hive);
    // Installation lays the folder down; a first run on a fresh program folder makes it.
    ::mkdir(m_folder.c_str(), 0755);
    if (data.corruptFileInPlace) {
        if (!setAside(path))
            throw std::runtime_error("Cannot move the unreadable registry file \"" + path +
                                     "\" aside");
        data.corruptFileInPlace = false;
    }
    writeFileAtomically(path, renderHiveText(next.keys, hive));
    data.contents = std::move(next);
}

bool FileRegistry::keyExists(Hive hive, const std::string& key) {
    const HiveData& data = load(hive);
    const std::string path = normalizeKey(key);
    return path.empty() || data.contents.find(path) || data.contents.hasKeyBelow(path);
}

std::optional<RegValue> FileRegistry::value(Hive hive, const std::string& key,
                                            const std::string& name) {
    const HiveData& data = load(hive);
    const ParsedKey* found = data.contents.find(normalizeKey(key));
    if (!found) return std::nullopt;
    for (const auto& [valueName, value] : found->values)
        if (sameName(valueName, name)) return value;
    return std::nullopt;
}

void FileRegistry::createKey(Hive hive, const std::string& key) {
    const std::string path = normalizeKey(key);
    requireStorable(path, "key name");
    HiveData& data = load(hive);
    if (path.empty() || data.contents.find(path)) return;
    Contents next = data.contents;
    bool added = false;
    next.findOrAdd(path, added);
    save(hive, data, std::move(next));
}

void FileRegistry::setValues(Hive hive, const std::string& key,
                             const std::vector<NamedValue>& values) {
    const std::string path = normalizeKey(key);
    requireStorable(path, "key name");
    for (const auto& [name, value] : values) {
        requireStorable(name, "value name");
        if (value.type == RegValue::Type::String) requireStorable(value.text, "value");
    }
    HiveData& data = load(hive);
    Contents next = data.contents;
    bool changed = false;
    ParsedKey& target = next.findOrAdd(path, changed);
    for (const auto& [name, value] : values) {
        // Keep only the field of the value's type, so memory matches what the file holds.
        RegValue stored = value.type == RegValue::Type::String ? RegValue::string(value.text)
                                                               : RegValue::number(value.dword);
        auto existing = target.values.begin();
        while (existing != target.values.end() && !sameName(existing->first, name)) ++existing;
        if (existing == target.values.end()) {
            target.values.emplace_back(name, std::move(stored));
            changed = true;
        } else if (existing->second != stored) {
            existing->second = std::move(stored);
            changed = true;
        }
    }
    if (changed) save(hive, data, std::move(next));
}

void FileRegistry::deleteValue(Hive hive, const std::string& key, const std::string& name) {
    HiveData& data = load(hive);
    const ParsedKey* found = data.contents.find(normalizeKey(key));
    if (!found) return;
    std::size_t position = 0;
    while (position < found->values.size() && !sameName(found->values[position].first, name))
        ++position;
    if (position == found->values.size()) return;
    Contents next = data.contents;
    auto& values = next.keys[next.index.at(fold(found->name))].values;
    values.erase(values.begin() + std::ptrdiff_t(position));
    save(hive, data, std::move(next));
}

}  // namespace velluma
