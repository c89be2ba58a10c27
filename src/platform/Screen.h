#pragma once

namespace velluma {

struct ScreenSize {
    int width = 0;
    int height = 0;
    bool operator==(const ScreenSize&) const = default;
};

/// Screen metrics.
class Screen {
public:
    virtual ~Screen() = default;

    /// Size of the whole virtual desktop, all monitors together.
    virtual ScreenSize virtualDesktopSize() = 0;
};

}  // namespace velluma
