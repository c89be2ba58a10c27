#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velluma {

/// A colour as red, green and blue components.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

/// The program's colour-choosing dialog.
class ColourDialog {
public:
    virtual ~ColourDialog() = default;

    /// Lets the user choose a colour, starting from initial; nothing when the user cancels.
    virtual std::optional<Rgb> chooseColour(const std::string& title, Rgb initial) = 0;
};

}  // namespace velluma
