#pragma once

#include <cstdint>
#include <string>

#include "platform/Screen.h"
#include "themes/ThemeRecords.h"

namespace velluma {

/// The theme builder page's inputs at the moment a page file is written.
struct BuilderInputs {
    std::uint8_t red = 0, green = 0, blue = 0;  // the colour box
    std::string picturePath;                    // the background picture; empty for none
    std::string moviePath;                      // the Flash movie
    long double widthPercent = 100;             // movie size in percent of the desktop
    long double heightPercent = 100;
    std::int32_t quality = 2;  // selected index of the quality list, -1 for none
    int frameLeft = 0;         // the movie's frame inside the preview area, in pixels
    int frameTop = 0;
    int areaWidth = 0;
    int areaHeight = 0;
};

/// Where the Flash player's cabinet and plug-in page are downloaded from.
inline constexpr const char* kFlashCabinet =
    "http://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=5,0,0,0";
inline constexpr const char* kFlashPluginsPage =
    "http://www.macromedia.com/shockwave/download/index.cgi?P1_Prod_Version=ShockwaveFlash";

/// A number as the pages print it: whole numbers as plain integers, fractions rounded to
/// four significant digits without trailing zeros, always with "." (the values go into
/// HTML and script, which know no other separator).
std::string PageNumber(long double value);
/// The movie's extent in pixels: desktop extent * percent / 100, halves to even.
long double MoviePixels(int desktopExtent, long double percent);
/// The frame's placement in percent of the preview area, in single precision, halves to
/// even; 0 for an empty area.
int PlacementPercent(int edge, int extent);
/// "#RRGGBB" in upper-case hexadecimal.
std::string ColourText(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

/// Appends the lines that embed movie (a file name beside the page) to file: the
/// script-placed variant when theme.Name is exactly "js" (left and top are its placement
/// in percent), the fixed-size variant otherwise. Sizes follow the desktop's size.
void WriteFlashBlock(std::string& file, const tTheme& theme, const std::string& movie, int left,
                     int top, ScreenSize desktop);

/// The texts of the builder's page files.
std::string IndexPageText(const BuilderInputs& page, ScreenSize desktop);
std::string ResolScriptText();
std::string StyleSheetText(const BuilderInputs& page);
/// The start page "tivora.htm" of a converted bare Flash package: css is the style sheet's
/// name and theme.Flash.BgColor the colour as theme.cfg gives it (six digits, no "#").
std::string ConvertedStartPageText(const tTheme& theme, const std::string& movie,
                                   const std::string& css, ScreenSize desktop);

/// programFolder + "/advThemes/WorkDir/" + stagingName + "/Files": where the builder's
/// page files go.
std::string StagingFilesFolder(const std::string& programFolder, const std::string& stagingName);

/// Write "index.htm", "resol.js" and "css.css" into the staging folder's "Files", replacing
/// files of the same name. Throw std::runtime_error when a file cannot be written.
void WriteIndexPage(const std::string& programFolder, const std::string& stagingName,
                    const BuilderInputs& page, ScreenSize desktop);
void WriteResolScript(const std::string& programFolder, const std::string& stagingName);
void WriteStyleSheet(const std::string& programFolder, const std::string& stagingName,
                     const BuilderInputs& page);

}  // namespace velluma
