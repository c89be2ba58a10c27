#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace velluma {

class Registry;

/// Every persisted setting. Field names are the registry value names; the table in
/// Options.cpp gives each its value, type and default.
struct TOptions {
    TOptions();  // every setting at its default; LanguageFileName empty (it needs the folder)

    bool FirstRun;
    std::string LanguageFileName;
    std::int32_t lvadvSortType;
    std::int32_t lvIListsSortType;
    std::uint8_t state;  // 0 animated themes, 1 image lists
    bool Enabled;
    bool ShowAboutWindow;
    bool RunAtStartup;
    std::uint8_t advChType;       // 0 never, 1 at start-up, 2 every interval
    std::uint8_t advRandOrOrder;  // 1 random, otherwise list order
    std::int32_t advMin;
    std::uint8_t AdvSec;
    std::uint8_t ilChType;
    std::uint8_t ilRandOrOrder;
    std::int32_t ilMin;
    std::uint8_t ilSec;
    std::uint8_t ilShowType;
    std::uint8_t ilDisplType;
    std::uint8_t LastPos;
    std::array<std::uint8_t, 6> GroupDisplay;
    std::array<std::uint8_t, 6> GroupDisplayEdit;
    std::int32_t ilgrDispl = 0;  // GroupDisplay packed, as read
    std::int32_t ActivePage;
};

/// The settings record and the strings beside it, owned for the whole run.
struct Settings {
    TOptions options;
    std::string ProgramFolder;  // where the program's data lives, without a trailing slash
    std::string InstallFolder;  // the program file's folder: Languages, Help, links.ini
    std::string cadvTheme;      // current theme package
    std::string cIList;         // current image list file
    std::string cImg;           // current picture, without "?w*h"
    std::array<std::string, 6> Links;
};

/// Where the settings live in the registry (HKEY_LOCAL_MACHINE).
inline constexpr const char* kOptionsKey = "SOFTWARE\\Corvalix\\Velluma\\Options";

/// "ilgrDispl": units digit is group 0, up to group 5 in the hundred-thousands digit.
std::int32_t PackGroupDisplay(const std::array<std::uint8_t, 6>& groups);
std::array<std::uint8_t, 6> UnpackGroupDisplay(std::int32_t packed);

/// The first-run image lists, as written to "imgLists/corvalix.lst" and
/// "imgLists/abstract.lst".
std::string CorvalixListText(const std::string& programFolder);
std::string AbstractListText(const std::string& programFolder);

/// Makes programFolder the current folder, reads every setting (defaults for missing
/// values or values of another type), writes the first-run lists on a first run and
/// reads the link table of installFolder. Never throws for bad stored data.
Settings ReadSettings(Registry& registry, const std::string& programFolder,
                      const std::string& installFolder);
/// The same for a program whose data lives beside it.
Settings ReadSettings(Registry& registry, const std::string& programFolder);

/// Writes every setting in one durable step; "firstrun" is always written. Throws
/// std::runtime_error when the registry cannot be written.
void WriteSettings(Registry& registry, const Settings& settings);

}  // namespace velluma
