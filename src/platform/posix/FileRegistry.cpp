#include "platform/posix/FileRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <utility>

#include "formats/RegularFile.h"
#include "platform/AtomicFile.h"

namespace velluma {
namespace {

// A line break cannot be written inside a line of the file.
void requireStorable(std::string_view s, const char* what) {
    if (s.find_first_of("\r\n") != std::string_view::npos)
        throw std::runtime_error(std::string("Cannot store a registry ") + what +
                                 " that contains a line break");
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

struct FileRegistry::Contents {
    std::vector<ParsedKey> keys;  // in file order
    // Folded name -> position in keys. Ordered, so the keys below a parent are adjacent.
    std::map<std::string, std::size_t> index;

    Contents() = default;
    explicit Contents(std::vector<ParsedKey> parsed) : keys(std::move(parsed)) {
        for (std::size_t i = 0; i < keys.size(); ++i)
            index.emplace(foldRegistryName(keys[i].name), i);
    }

    const ParsedKey* find(const std::string& key) const {
        auto it = index.find(foldRegistryName(key));
        return it == index.end() ? nullptr : &keys[it->second];
    }

    ParsedKey& findOrAdd(const std::string& key, bool& added) {
        auto [it, inserted] = index.try_emplace(foldRegistryName(key), keys.size());
        added = inserted;
        if (inserted) keys.push_back({key, {}});
        return keys[it->second];
    }

    bool hasKeyBelow(const std::string& key) const {
        std::string prefix = foldRegistryName(key) + '\\';
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
    const std::string path = normalizeKeyPath(key);
    return path.empty() || data.contents.find(path) || data.contents.hasKeyBelow(path);
}

std::optional<RegValue> FileRegistry::value(Hive hive, const std::string& key,
                                            const std::string& name) {
    const HiveData& data = load(hive);
    const ParsedKey* found = data.contents.find(normalizeKeyPath(key));
    if (!found) return std::nullopt;
    for (const auto& [valueName, value] : found->values)
        if (sameRegistryName(valueName, name)) return value;
    return std::nullopt;
}

void FileRegistry::createKey(Hive hive, const std::string& key) {
    const std::string path = normalizeKeyPath(key);
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
    const std::string path = normalizeKeyPath(key);
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
        while (existing != target.values.end() && !sameRegistryName(existing->first, name))
            ++existing;
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
    const ParsedKey* found = data.contents.find(normalizeKeyPath(key));
    if (!found) return;
    std::size_t position = 0;
    while (position < found->values.size() &&
           !sameRegistryName(found->values[position].first, name))
        ++position;
    if (position == found->values.size()) return;
    Contents next = data.contents;
    auto& values = next.keys[next.index.at(foldRegistryName(found->name))].values;
    values.erase(values.begin() + std::ptrdiff_t(position));
    save(hive, data, std::move(next));
}

}  // namespace velluma
