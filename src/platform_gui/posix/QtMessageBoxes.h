#pragma once

#include "platform/MessageBoxes.h"

namespace velluma {

/// Message boxes as QMessageBox dialogs.
class QtMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons) override;
};

}  // namespace velluma
