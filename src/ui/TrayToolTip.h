#pragma once

#include <QString>
#include <cstdint>
#include <string>

namespace velluma {

/// The tray icon's tip, one fact a line: the program, the mode (its status-line text), and
/// the theme (its package's name) or the picture (its file name) in force, left out while
/// there is none.
QString trayToolTip(std::uint8_t state, const QString& modeText, const std::string& cadvTheme,
                    const std::string& cImg);

}  // namespace velluma
