#pragma once

#include <QSize>
#include <QWebEngineScript>

namespace velluma {

/// Makes a page's screen (screen.width, height, availWidth, availHeight) the given size:
/// pages size and place their movies from it, and the area they fill is the whole desktop,
/// not the one monitor Chromium would report.
QWebEngineScript screenSizeScript(const QSize& size);

}  // namespace velluma
