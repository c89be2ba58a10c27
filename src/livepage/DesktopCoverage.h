#pragma once

#include <QList>
#include <QRect>

namespace velluma {

/// A client window as the window manager describes it.
struct ClientWindow {
    QRect rect;  // in root window coordinates
    bool fullScreen = false;
    bool maximised = false;          // both ways
    bool hidden = false;             // minimised or otherwise not shown
    bool onCurrentWorkspace = true;  // also true for a window shown on every workspace
};

/// True when every screen is taken by a shown full-screen or maximised window of the current
/// workspace, so nothing of the desktop can be seen. A maximised window leaves the panels
/// free, so it counts for the screen its centre lies on rather than by area; a full-screen
/// window also counts for every screen it spans whole.
bool desktopCovered(const QList<QRect>& screens, const QList<ClientWindow>& windows);

}  // namespace velluma
