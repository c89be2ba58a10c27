#include "platform/posix/QtScreen.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace velluma {

ScreenSize QtScreen::virtualDesktopSize() {
    QRect all;
    const auto screens = QGuiApplication::screens();
    for (const QScreen* s : screens) all = all.united(s->geometry());
    return {all.width(), all.height()};
}

}  // namespace velluma
