#pragma once

#include <optional>
#include <string>
#include <vector>

#include "themes/ThemeList.h"
#include "themes/ThemeRecords.h"

namespace velluma {

struct ThemeContext;

/// Reads what the library shows of a package: [Name] ThemeName ("No name") and the low
/// 8 bits of [Style] index (0 when the key is missing, 255 without the section). False,
/// with info unchanged, when the package has no theme.cfg at its root, an empty one, or
/// is not a readable archive.
bool ReadThemeInfo(const std::string& path, TThemeInfo& info);

/// Brings a package into the library and adds its row: converts a bare Flash package in
/// place, copies a package from elsewhere into advThemes (an extension other than ".tvp"
/// becomes ".tvp") and selects the row when its path is currentTheme and no row is
/// selected yet. False, with no row added, when the package is not a theme or cannot be
/// converted or copied.
bool AddThemePackage(ThemeContext& context, ThemeList& list, const std::string& currentTheme,
                     const std::string& path);

/// Fills list with the packages ("*.tvp") of folder. Subfolders are scanned first (all but
/// "Recycled", hidden folders, links and read-only folders); since every package found
/// there is copied into advThemes and each level empties the list before it adds its own
/// rows, scanning advThemes imports its subfolders and lists its root. Packages that cannot
/// be read are skipped silently.
void ScanThemeFolder(ThemeContext& context, ThemeList& list, const std::string& currentTheme,
                     const std::string& folder);

/// The packages ScanThemeFolder would add from the library's own folder (advThemes), in its
/// order, when it has nothing to import: nullopt when a subfolder holds a package.
std::optional<std::vector<std::string>> LibraryPackages(const std::string& folder);

/// What the library's scan does with one of its own packages.
enum class PackageReading { Listed, Skipped, MustConvert };

/// Reads the row the library's scan gives its own package at path; a package it would skip
/// or convert gives no row. Reads files and nothing else, so it may run on any thread.
/// componentsInstalled is what ActiveDesktopInstalled and FlashInstalled say together.
PackageReading ReadPackageRow(const std::string& path, bool componentsInstalled, ThemeRow& row);

/// Lists rows as ScanThemeFolder lists a folder's packages: empties list, adds the rows in one
/// bracket and selects the row of currentTheme.
void ListThemeRows(ThemeList& list, const std::vector<ThemeRow>& rows,
                   const std::string& currentTheme);

/// True when programFolder + "/advThemes/Recycled" holds a "*.tvp".
bool RecycledHasThemes(const std::string& programFolder);

}  // namespace velluma
