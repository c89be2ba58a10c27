#pragma once

#include "platform/ColourDialog.h"

namespace velluma {

/// Qt's colour dialog, modal to the active window.
class QtColourDialog final : public ColourDialog {
public:
    std::optional<Rgb> chooseColour(const std::string& title, Rgb initial) override;
};

}  // namespace velluma
