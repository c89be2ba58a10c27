#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velluma {

enum class Hive { LocalMachine, CurrentUser, ClassesRoot };

/// The root key's name as it appears in paths and file names ("HKEY_CURRENT_USER").
const char* hiveName(Hive hive);

/// One registry value: a REG_SZ string or a REG_DWORD.
struct RegValue {
    enum class Type { String, Dword };
    Type type = Type::String;
    std::string text;
    std::uint32_t dword = 0;

    static RegValue string(std::string s) { return {Type::String, std::move(s), 0}; }
    static RegValue number(std::uint32_t d) { return {Type::Dword, {}, d}; }
    bool operator==(const RegValue&) const = default;
};

using NamedValue = std::pair<std::string, RegValue>;

/// One block of a hive file.
struct ParsedKey {
    std::string name;  // path below the hive, as written
    std::vector<NamedValue> values;
};
/// Parses REGEDIT4 text for one hive. Returns nothing when the text is not a valid hive
/// file. Repeated blocks and values merge, the later value winning.
std::optional<std::vector<ParsedKey>> parseHiveText(std::string_view text, Hive hive);
/// Renders keys as REGEDIT4 text with CR LF line ends.
std::string renderHiveText(const std::vector<ParsedKey>& keys, Hive hive);

/// Key and value names match without regard to ASCII letter case: the form a name is
/// looked up by, and the comparison.
std::string foldRegistryName(std::string_view name);
bool sameRegistryName(std::string_view a, std::string_view b);
/// "\A\\B\" and "A\B" name the same key; "" is the hive's root.
std::string normalizeKeyPath(std::string_view key);

}  // namespace velluma
