#include "platform_gui/posix/QtColourDialog.h"

#include <QApplication>
#include <QColorDialog>

#include "platform/SessionEnding.h"

namespace velluma {

std::optional<Rgb> QtColourDialog::chooseColour(const std::string& title, Rgb initial) {
    if (sessionEnding()) return std::nullopt;
    const QColor chosen =
        QColorDialog::getColor(QColor(initial.red, initial.green, initial.blue),
                               QApplication::activeWindow(), QString::fromStdString(title));
    if (!chosen.isValid() || sessionEnding()) return std::nullopt;  // cancelled
    return Rgb{static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
               static_cast<std::uint8_t>(chosen.blue())};
}

}  // namespace velluma
