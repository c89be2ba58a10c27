#pragma once

#include <string>

namespace velluma {

struct ThemeContext;

/// Turns the bare Flash package at path into a complete theme: unpacks it into a new
/// numbered folder of advThemes/WorkDir (which stays), marks its theme.cfg as a complete
/// theme starting at "\tivora.htm", writes that page for the movie and style sheet
/// theme.cfg names, and replaces the package with an archive of exactly theme.cfg,
/// tivora.htm, the style sheet and the movie (those that exist), at its root. The new
/// archive replaces the package only once it is complete: returns false, with the package
/// untouched, when it cannot be written. Unpacking and page errors throw.
bool ConvertFlashPackage(ThemeContext& context, const std::string& path);

}  // namespace velluma
