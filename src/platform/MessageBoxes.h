#pragma once

#include <string>

namespace velluma {

enum class MessageIcon { None, Error, Warning, Information, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

/// The program's message boxes.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    /// Shows a modal message box and returns the button chosen.
    virtual MessageAnswer show(const std::string& text, const std::string& caption,
                               MessageIcon icon, MessageButtons buttons = MessageButtons::Ok) = 0;

    /// The default error report: the error's text (see errorReportText), caption "Velluma",
    /// error icon.
    void reportError(const std::string& errorText);
};

/// The text of the default error report: a full stop is appended when the text ends in a
/// character that sorts after ".".
std::string errorReportText(const std::string& errorText);

}  // namespace velluma
