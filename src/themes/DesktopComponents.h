#pragma once

namespace velluma {

class Registry;

/// The class keys whose registration makes a component count as installed.
inline constexpr const char* kActiveDesktopClassKey =
    "CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}";
inline constexpr const char* kFlashPlayerClassKey = "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}";

/// True when the Active Desktop class is registered (HKEY_CLASSES_ROOT).
bool ActiveDesktopInstalled(Registry& registry);
/// True when the Flash player control is registered (HKEY_CLASSES_ROOT).
bool FlashInstalled(Registry& registry);

}  // namespace velluma
