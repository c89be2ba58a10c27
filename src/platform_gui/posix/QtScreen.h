#pragma once

#include "platform/Screen.h"

namespace velluma {

/// The virtual desktop in device pixels: on X11 the root window (the bounding box of all
/// monitors, unaffected by Qt's scaling); elsewhere the union of the screens in device pixels.
class QtScreen final : public Screen {
public:
    ScreenSize virtualDesktopSize() override;
};

}  // namespace velluma
