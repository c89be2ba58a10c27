#include "core/Options.h"

#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <variant>
#include <vector>

#include "formats/IniFile.h"
#include "platform/AtomicFile.h"
#include "platform/Registry.h"

namespace velluma {
namespace {

// How a setting is kept under the options key.
enum class Stored {
    Text,                 // REG_SZ
    TextInInstallFolder,  // REG_SZ; its default is a path below the installed program
    Int32,                // REG_DWORD
    UInt8,                // REG_DWORD; the low 8 bits are read
    Boolean,              // REG_DWORD 0 or 1; anything but 0 reads as true
    Presence,             // REG_DWORD 1, always written; true while the value is missing
    PackedGroups,         // REG_DWORD; the six resolution groups, one decimal digit each
};

using Member = std::variant<std::string Settings::*, std::string TOptions::*,
                            std::int32_t TOptions::*, std::uint8_t TOptions::*, bool TOptions::*,
                            std::array<std::uint8_t, 6> TOptions::*>;

struct Setting {
    const char* name;  // the registry value
    Stored type;
    std::variant<std::int32_t, const char*> fallback;  // the default
    Member member;
};

// Every setting, in the order WriteSettings writes them. ilgrDispl 100222 is 2, 2, 2, 0, 0, 1
// for the groups 0 to 5.
// clang-format off
constexpr Setting kSettings[] = {
//   value name          type                   default member
    {"LanguageFileName", Stored::TextInInstallFolder, "/Languages/english.lng",
                                                        &TOptions::LanguageFileName},
    {"cadvTheme",        Stored::Text,          "",     &Settings::cadvTheme},
    {"cIList",           Stored::Text,          "",     &Settings::cIList},
    {"cImg",             Stored::Text,          "",     &Settings::cImg},
    {"lvadvSortType",    Stored::Int32,         0,      &TOptions::lvadvSortType},
    {"ActivePage",       Stored::Int32,         0,      &TOptions::ActivePage},
    {"lvIListsSortType", Stored::Int32,         0,      &TOptions::lvIListsSortType},
    {"Enabled",          Stored::Boolean,       1,      &TOptions::Enabled},
    {"state",            Stored::UInt8,         0,      &TOptions::state},
    {"ShowAboutWindow",  Stored::Boolean,       1,      &TOptions::ShowAboutWindow},
    {"firstrun",         Stored::Presence,      1,      &TOptions::FirstRun},
    {"RunAtStartup",     Stored::Boolean,       1,      &TOptions::RunAtStartup},
    {"advChType",        Stored::UInt8,         2,      &TOptions::advChType},
    {"advRandOrOrder",   Stored::UInt8,         1,      &TOptions::advRandOrOrder},
    {"AdvSec",           Stored::UInt8,         0,      &TOptions::AdvSec},
    {"advMin",           Stored::Int32,         1,      &TOptions::advMin},
    {"ilChType",         Stored::UInt8,         2,      &TOptions::ilChType},
    {"ilRandOrOrder",    Stored::UInt8,         1,      &TOptions::ilRandOrOrder},
    {"ilSec",            Stored::UInt8,         0,      &TOptions::ilSec},
    {"ilMin",            Stored::Int32,         1,      &TOptions::ilMin},
    {"ilShowType",       Stored::UInt8,         0,      &TOptions::ilShowType},
    {"LastPos",          Stored::UInt8,         0,      &TOptions::LastPos},
    {"ilDisplType",      Stored::UInt8,         0,      &TOptions::ilDisplType},
    {"ilgrDispl",        Stored::PackedGroups,  100222, &TOptions::GroupDisplay},
};
// clang-format on

std::int32_t numberDefault(const Setting& setting) {
    return std::get<std::int32_t>(setting.fallback);
}

void setGroups(TOptions& o, std::int32_t packed) {
    o.ilgrDispl = packed;
    o.GroupDisplay = UnpackGroupDisplay(packed);
    o.GroupDisplayEdit = o.GroupDisplay;
}

// The default of a setting of TOptions; a path in the installed program stays empty.
void setDefault(TOptions& o, const Setting& setting) {
    switch (setting.type) {
        case Stored::Text:
        case Stored::TextInInstallFolder:
            if (auto* member = std::get_if<std::string TOptions::*>(&setting.member))
                o.*(*member) = setting.type == Stored::Text
                                   ? std::get<const char*>(setting.fallback)
                                   : std::string();
            break;
        case Stored::Int32:
            o.*std::get<std::int32_t TOptions::*>(setting.member) = numberDefault(setting);
            break;
        case Stored::UInt8:
            o.*std::get<std::uint8_t TOptions::*>(setting.member) =
                static_cast<std::uint8_t>(numberDefault(setting));
            break;
        case Stored::Boolean:
        case Stored::Presence:
            o.*std::get<bool TOptions::*>(setting.member) = numberDefault(setting) != 0;
            break;
        case Stored::PackedGroups:  // ilgrDispl, a working field, is left alone
            o.GroupDisplay = UnpackGroupDisplay(numberDefault(setting));
            o.GroupDisplayEdit = o.GroupDisplay;
            break;
    }
}

template <typename SettingsRecord>
auto& textOf(SettingsRecord& s, const Setting& setting) {
    if (auto* member = std::get_if<std::string Settings::*>(&setting.member)) return s.*(*member);
    return s.options.*std::get<std::string TOptions::*>(setting.member);
}

// Reads one setting; a missing value, or one of another type, leaves the default.
void read(Registry& registry, const Setting& setting, Settings& s) {
    const std::optional<RegValue> v = registry.value(Hive::LocalMachine, kOptionsKey, setting.name);
    TOptions& o = s.options;
    if (setting.type == Stored::Presence) {
        o.*std::get<bool TOptions::*>(setting.member) = !v;
        return;
    }
    if (setting.type == Stored::Text || setting.type == Stored::TextInInstallFolder) {
        if (v && v->type == RegValue::Type::String) textOf(s, setting) = v->text;
        return;
    }
    const bool number = v && v->type == RegValue::Type::Dword;
    if (setting.type == Stored::PackedGroups) {
        setGroups(o, number ? static_cast<std::int32_t>(v->dword) : numberDefault(setting));
        return;
    }
    if (!number) return;
    switch (setting.type) {
        case Stored::Int32:
            o.*std::get<std::int32_t TOptions::*>(setting.member) =
                static_cast<std::int32_t>(v->dword);
            break;
        case Stored::UInt8:
            o.*std::get<std::uint8_t TOptions::*>(setting.member) =
                static_cast<std::uint8_t>(v->dword & 0xFFu);
            break;
        case Stored::Boolean:
            o.*std::get<bool TOptions::*>(setting.member) = v->dword != 0;
            break;
        default:
            break;
    }
}

RegValue stored(const Setting& setting, const Settings& s) {
    const TOptions& o = s.options;
    auto number = [](std::int64_t n) { return RegValue::number(static_cast<std::uint32_t>(n)); };
    switch (setting.type) {
        case Stored::Text:
        case Stored::TextInInstallFolder:
            return RegValue::string(textOf(s, setting));
        case Stored::Int32:
            return number(o.*std::get<std::int32_t TOptions::*>(setting.member));
        case Stored::UInt8:
            return number(o.*std::get<std::uint8_t TOptions::*>(setting.member));
        case Stored::Boolean:
            return number(o.*std::get<bool TOptions::*>(setting.member));
        case Stored::Presence:
            return number(1);
        case Stored::PackedGroups:
            return number(PackGroupDisplay(
                o.*std::get<std::array<std::uint8_t, 6> TOptions::*>(setting.member)));
    }
    return {};
}

std::string listLine(const std::string& programFolder, const std::string& relative,
                     const char* size) {
    return programFolder + relative + "?" + size + "\r\n";
}

// A list of the same name may already hold the user's own edits (for example when the
// registry was lost): it is kept rather than replaced.
void writeFirstRunList(const std::string& path, const std::string& text) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return;
    try {
        writeFileAtomically(path, text);
    } catch (const std::exception&) {
        // A missing imgLists folder only means no sample lists.
    }
}

}  // namespace

std::int32_t PackGroupDisplay(const std::array<std::uint8_t, 6>& groups) {
    std::int32_t packed = 0;
    std::int32_t factor = 1;
    for (std::uint8_t g : groups) {
        packed += static_cast<std::int32_t>(g) * factor;
        factor *= 10;
    }
    return packed;
}

std::array<std::uint8_t, 6> UnpackGroupDisplay(std::int32_t packed) {
    std::array<std::uint8_t, 6> groups{};
    for (auto& g : groups) {
        g = static_cast<std::uint8_t>(packed % 10);  // a negative digit keeps its low 8 bits
        packed /= 10;
    }
    return groups;
}

std::string CorvalixListText(const std::string& programFolder) {
    return listLine(programFolder, "/imgLists/Corvalix/ilwallpap.jpg", "800*600");
}

std::string AbstractListText(const std::string& programFolder) {
    std::string text;
    for (int n = 1; n <= 11; ++n)
        text += listLine(programFolder, "/imgLists/abstract/abs00" + std::to_string(n) + ".jpg",
                         "1024*768");
    return text;
}

TOptions::TOptions() {
    for (const Setting& setting : kSettings)
        if (!std::holds_alternative<std::string Settings::*>(setting.member))
            setDefault(*this, setting);
}

Settings ReadSettings(Registry& registry, const std::string& programFolder) {
    return ReadSettings(registry, programFolder, programFolder);
}

Settings ReadSettings(Registry& registry, const std::string& programFolder,
                      const std::string& installFolder) {
    Settings s;
    s.ProgramFolder = programFolder;
    s.InstallFolder = installFolder;
    if (::chdir(programFolder.c_str()) != 0) {
        // Relative paths are never used; the folder only matters for child processes.
    }
    for (const Setting& setting : kSettings)
        if (setting.type == Stored::TextInInstallFolder)
            textOf(s, setting) = installFolder + std::get<const char*>(setting.fallback);
    // Reading has no effect on the registry, so the first-run lists (which follow the
    // first-run mark) come after all of them.
    for (const Setting& setting : kSettings) read(registry, setting, s);
    if (s.options.FirstRun) {
        writeFirstRunList(programFolder + "/imgLists/corvalix.lst",
                          CorvalixListText(programFolder));
        writeFirstRunList(programFolder + "/imgLists/abstract.lst",
                          AbstractListText(programFolder));
    }

    const IniFile links = IniFile::load(installFolder + "/links.ini");
    for (std::size_t i = 0; i < s.Links.size(); ++i)
        s.Links[i] = links.readString("INTERNET_LINKS", "link" + std::to_string(i));
    return s;
}

void WriteSettings(Registry& registry, const Settings& s) {
    std::vector<NamedValue> values;
    values.reserve(std::size(kSettings));
    for (const Setting& setting : kSettings) values.emplace_back(setting.name, stored(setting, s));
    registry.setValues(Hive::LocalMachine, kOptionsKey, values);
}

}  // namespace velluma
