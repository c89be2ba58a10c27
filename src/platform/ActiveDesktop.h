#pragma once

#include <string>

namespace velluma {

/// The desktop item options of the Active Desktop (COMPONENTSOPT without its size field).
struct ComponentsOptions {
    bool enableComponents = false;
    bool activeDesktop = false;
    bool operator==(const ComponentsOptions&) const = default;
};

/// The Active Desktop object: a web page as the desktop background. Changes take effect
/// on applyChanges(). Failures throw std::runtime_error.
class ActiveDesktop {
public:
    virtual ~ActiveDesktop() = default;

    /// The options currently in force.
    virtual ComponentsOptions desktopItemOptions() = 0;
    /// Stages new options.
    virtual void setDesktopItemOptions(const ComponentsOptions& options) = 0;
    /// Stages the background (a page or a picture path).
    virtual void setWallpaper(const std::string& path) = 0;
    /// Makes everything staged take effect (AD_APPLY_ALL).
    virtual void applyChanges() = 0;
};

}  // namespace velluma
