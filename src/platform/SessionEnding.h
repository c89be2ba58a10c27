#pragma once

namespace velluma {

/// True once the user's session is ending. From then on nothing may wait for the user:
/// message boxes go to standard error, dialogs do not open, long work stops.
bool sessionEnding();

/// Set once by the program when the session ends; tests set it back.
void setSessionEnding(bool ending);

}  // namespace velluma
