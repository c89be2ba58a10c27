#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velluma {

class IniFile;

/// The descriptor every package holds at its root.
inline constexpr std::string_view kThemeConfigName = "theme.cfg";
/// The start page when theme.cfg names none (stored form).
inline constexpr std::string_view kDefaultStartPage = "\\tivora.htm";

/// The start page of a theme unpacked into workFolder: the folder joined with the stored
/// value of Files/startup ("\index.htm") as the program joins every stored path. Throws
/// std::runtime_error, naming the value, when the page lies outside the folder ("\..\x.htm",
/// "C:\x.htm", a value without its leading backslash): a page is shown from its own folder
/// only.
std::string StartPageIn(const std::string& workFolder, std::string_view startup);

/// True when the INI text has a header for section (names match without regard to case,
/// as every profile lookup does).
bool HasIniSection(std::string_view text, std::string_view section);

/// An integer value: decimal digits with an optional sign that fit 32 bits; anything else,
/// and a missing key, gives defaultValue.
std::int32_t ReadIniInteger(const IniFile& ini, std::string_view section, std::string_view key,
                            std::int32_t defaultValue);

}  // namespace velluma
