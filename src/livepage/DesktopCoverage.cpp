#include "livepage/DesktopCoverage.h"

#include <algorithm>

namespace velluma {

bool desktopCovered(const QList<QRect>& screens, const QList<ClientWindow>& windows) {
    if (screens.isEmpty()) return false;
    return std::all_of(screens.begin(), screens.end(), [&](const QRect& screen) {
        return std::any_of(windows.begin(), windows.end(), [&](const ClientWindow& w) {
            if (w.hidden || !w.onCurrentWorkspace || !(w.fullScreen || w.maximised)) return false;
            return screen.contains(w.rect.center()) || (w.fullScreen && w.rect.contains(screen));
        });
    });
}

}  // namespace velluma
