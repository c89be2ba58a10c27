#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>

#include "platform/Registry.h"

namespace velluma {

/// The registry kept as one REGEDIT4 text file per hive in a folder
/// ("HKEY_CURRENT_USER.reg" ...). A hive is loaded on first use and every write saves the
/// whole hive crash-safely. A hive file that cannot be parsed is renamed aside with a
/// ".corrupt" suffix and the hive starts empty.
class FileRegistry final : public Registry {
public:
    explicit FileRegistry(std::string folder);

    bool keyExists(Hive hive, const std::string& key) override;
    std::optional<RegValue> value(Hive hive, const std::string& key,
                                  const std::string& name) override;
    void createKey(Hive hive, const std::string& key) override;
    void setValues(Hive hive, const std::string& key,
                   const std::vector<NamedValue>& values) override;
    void deleteValue(Hive hive, const std::string& key, const std::string& name) override;

    /// The file that stores a hive.
    std::string hivePath(Hive hive) const;

private:
    struct Key;
    struct HiveData;
    HiveData& load(Hive hive);
    void save(Hive hive, const HiveData& data);

    std::string m_folder;
    std::array<std::unique_ptr<HiveData>, 3> m_hives;
};

/// Parses REGEDIT4 text for one hive. Returns nothing when the text is not a valid hive
/// file. Exposed for tests and fuzzing.
struct ParsedKey {
    std::string name;  // path below the hive, as written
    std::vector<NamedValue> values;
};
std::optional<std::vector<ParsedKey>> parseHiveText(std::string_view text, Hive hive);
/// Renders keys as REGEDIT4 text with CR LF line ends.
std::string renderHiveText(const std::vector<ParsedKey>& keys, Hive hive);

}  // namespace velluma
