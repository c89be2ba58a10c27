#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace velluma {

/// The registry kept as one REGEDIT4 text file per hive in a folder
/// ("HKEY_CURRENT_USER.reg" ...). A hive is loaded on first use and every write saves the
/// whole hive crash-safely. A hive file that cannot be parsed is renamed aside with a
/// ".corrupt" suffix and the hive starts empty.
///
/// Only keys that were created or hold values have a block in the file; a parent of any
/// such key exists implicitly, as on Windows. Not thread-safe.
class FileRegistry final : public Registry {
public:
    explicit FileRegistry(std::string folder);
    ~FileRegistry() override;

    bool keyExists(Hive hive, const std::string& key) override;
    std::optional<RegValue> value(Hive hive, const std::string& key,
                                  const std::string& name) override;
    void createKey(Hive hive, const std::string& key) override;
    void setValues(Hive hive, const std::string& key,
                   const std::vector<NamedValue>& values) override;
    void deleteValue(Hive hive, const std::string& key, const std::string& name) override;

    /// The file that stores a hive.
    std::string hivePath(Hive hive) const;

    /// Hive files larger than this count as corrupt.
    static constexpr std::size_t kMaxFileBytes = std::size_t(16) << 20;

private:
    struct Contents;
    struct HiveData;
    HiveData& load(Hive hive);
    /// Saves next as the hive's file and only then makes it the hive's state, so a failed
    /// save (std::runtime_error) changes nothing.
    void save(Hive hive, HiveData& data, Contents next);

    std::string m_folder;
    std::array<std::unique_ptr<HiveData>, 3> m_hives;
};

}  // namespace velluma
