#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velluma {

/// What the theme library needs of a package.
struct TThemeInfo {
    std::uint8_t Style = 0;  // 0..4; 255 marks a package without a [Style] section
    std::string Name;
};

/// How a Flash movie is shown.
struct TFlashOptions {
    long double Width = 0;   // percent of the desktop width
    long double Height = 0;  // percent of the desktop height
    std::int32_t Quality = 0;
    std::string BgColor;  // as it goes into the page: "rrggbb" from theme.cfg, "#RRGGBB" built
};

/// Everything needed to write a theme's start page.
struct tTheme {
    std::string Name;  // "js" selects the script-placed Flash block
    std::string Author;
    std::string Description;
    std::string Spare;  // carried, never set or read
    TFlashOptions Flash;
};

/// The Flash quality words, indexed by TFlashOptions::Quality.
inline constexpr std::array<std::string_view, 6> QualityNames{"low",    "autolow", "autohigh",
                                                              "medium", "high",    "best"};

/// The quality word of index; an index outside 0..5 has no word of its own and gives the
/// default "autohigh".
std::string_view QualityName(std::int32_t index);

/// The Style value that marks a bare Flash package.
inline constexpr std::uint8_t kBareFlashStyle = 255;

}  // namespace velluma
