#pragma once

#include <QString>

namespace velluma {

/// How many frames a second a page may draw. A background needs no 60, and every frame it
/// skips is processor time (and battery) given back to the user's own programs.
namespace frame_budget {

inline constexpr int kDefault = 30;
inline constexpr int kOnBattery = 10;
/// For the shown page while the next one loads to replace it: the processor goes to the new
/// page, so the switch is quick.
inline constexpr int kWhileReplaced = 2;

/// The budget for the power source: the default on mains power, less on battery.
int forPower(bool onBattery);

/// Script run at the creation of every document: the page's animation callbacks and its CSS
/// and script animations advance at most fps times a second. Running it again in a document
/// only changes the budget of the document and of the frames it holds.
QString script(int fps);

}  // namespace frame_budget
}  // namespace velluma
