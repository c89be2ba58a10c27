#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "themes/ZipArchive.h"

namespace velluma {

/// The theme.cfg of a package made by the theme builder. The description keeps its line
/// breaks as CR LF; the lines after its first are never read back as its value.
std::string BuiltThemeConfigText(std::string_view name, std::string_view author,
                                 std::string_view description);

/// Why name cannot name a package in the theme folder ("" when it can): it must hold more
/// than blanks, stay a single file name inside the folder and carry no control characters.
std::string ThemeNameProblem(std::string_view name);

/// Why a movie or picture file name cannot go into a built package beside the page ("" when
/// it can): the page names it in quotes, and the page's own files must keep their names.
std::string CompanionNameProblem(std::string_view fileName);

/// The files of a theme staged by the builder.
struct BuiltThemeFiles {
    std::string filesFolder;  // holds index.htm, resol.js, css.css, the movie and the picture
    std::string movieName;
    std::string pictureName;  // empty for none
    std::string themeConfig;  // the text of theme.cfg
};

/// The entries of a built package, in order: index.htm, theme.cfg, the movie, the picture
/// (when there is one), resol.js, css.css.
std::vector<ZipInput> BuiltPackageEntries(const BuiltThemeFiles& files);

/// Writes the built theme into the package at packagePath. When a package of that name exists,
/// its entries stay unless a new one has the same name (compared without regard to case,
/// as the page would find it), after the new entries. The package is replaced only once the
/// new archive is complete. Throws ZipError (an unreadable existing package is not touched).
void PackBuiltTheme(const std::string& packagePath, const BuiltThemeFiles& files,
                    const ProgressHook& progress = {});

}  // namespace velluma
