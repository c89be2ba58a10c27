#pragma once

#include "platform/Screen.h"

namespace velluma {

/// The virtual desktop as the union of all screens' geometries.
class QtScreen final : public Screen {
public:
    ScreenSize virtualDesktopSize() override;
};

}  // namespace velluma
