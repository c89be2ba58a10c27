// The registry file parser on any text: an accepted hive renders to text that parses to
// the same keys, and the file store reading it never loses a value it accepted.
#include <filesystem>
#include <optional>
#include <vector>

#include "FuzzSupport.h"
#include "platform/posix/FileRegistry.h"

namespace velluma {
namespace {

bool sameKeys(const std::vector<ParsedKey>& a, const std::vector<ParsedKey>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].values != b[i].values) return false;
    return true;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace
}  // namespace velluma

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string_view text = fuzz::bytesOf(data, size);
    for (const Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
        const auto keys = parseHiveText(text, hive);
        if (!keys) continue;
        const std::string rendered = renderHiveText(*keys, hive);
        const auto again = parseHiveText(rendered, hive);
        FUZZ_CHECK(again && sameKeys(*keys, *again));
        FUZZ_CHECK(renderHiveText(*again, hive) == rendered);
    }

    // The store: an accepted file keeps every value through a save; a refused one is kept
    // aside and the hive starts empty.
    const std::string folder = fuzz::scratchFolder() + "/registry";
    fuzz::emptyFolder(fuzz::scratchFolder());
    std::filesystem::create_directory(folder);
    fuzz::writeScratchFile("registry/HKEY_CURRENT_USER.reg", text);
    const auto keys = parseHiveText(text, Hive::CurrentUser);
    {
        FileRegistry registry(folder);
        registry.setValues(Hive::CurrentUser, "Software\\Velluma", {{"fuzz", RegValue::number(1)}});
    }
    FileRegistry reloaded(folder);
    FUZZ_CHECK(reloaded.value(Hive::CurrentUser, "Software\\Velluma", "fuzz") ==
               RegValue::number(1));
    if (!keys) {
        FUZZ_CHECK(std::filesystem::exists(folder + "/HKEY_CURRENT_USER.reg.corrupt"));
        return 0;
    }
    for (const ParsedKey& key : *keys) {
        FUZZ_CHECK(reloaded.keyExists(Hive::CurrentUser, key.name));
        for (const auto& [name, value] : key.values) {
            if (sameName(key.name, "Software\\Velluma") && sameName(name, "fuzz")) continue;
            FUZZ_CHECK(reloaded.value(Hive::CurrentUser, key.name, name) == value);
        }
    }
    return 0;
}
