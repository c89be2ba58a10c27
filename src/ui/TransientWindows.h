#pragma once

namespace velluma {

/// Closes everything that waits for the user on top of the program's windows: open menus,
/// in-place editors (their edit is dropped, not committed), and every visible dialog
/// (message boxes, file dialogs, the splash, the About window), whose modal event loops
/// then return.
void closeTransientWindows();

}  // namespace velluma
