#pragma once

#include <string>

namespace velluma {

/// How a desktop places a picture.
enum class Placement {
    None,     // no picture: the desktop's plain colour
    Centre,   // own size, centred
    Stretch,  // stretched to each monitor
    Span,     // one picture over all monitors
    Tile,     // own size, repeated
};

/// What a desktop showed, in its own terms, with the classic wallpaper values that name it.
struct DesktopState {
    std::string state;          // the desktop's own settings, compact JSON
    std::string wallpaper;      // the picture's path, or another name for it; "" for none
    std::string tileWallpaper;  // "1" when tiled, else "0"
    bool ownPicture = false;    // it shows one of our own pictures (a run that never ended)
};

/// One running desktop's background, through the desktop's own public interface. Every
/// call gives up after kDesktopTimeout and throws DesktopError with a text for the user.
class DesktopBackground {
public:
    virtual ~DesktopBackground() = default;

    /// The desktop's name for messages ("GNOME", "KDE Plasma").
    virtual std::string name() const = 0;
    /// True when the desktop keeps referring to the file after show() returns, so the file
    /// must stay unchanged while shown.
    virtual bool readsFileLater() const { return true; }
    /// What the desktop shows now.
    virtual DesktopState read() = 0;
    /// Shows the picture file (ignored for Placement::None).
    virtual void show(const std::string& file, Placement placement) = 0;
    /// Puts back a state that read() returned.
    virtual void restore(const std::string& state) = 0;
};

}  // namespace velluma
