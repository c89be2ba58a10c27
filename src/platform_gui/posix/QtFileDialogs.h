#pragma once

#include "platform/FileDialogs.h"

namespace velluma {

/// File dialogs of Qt, modal to the active window.
class QtFileDialogs final : public FileDialogs {
public:
    std::vector<std::string> getOpenFileNames(const std::string& title, const std::string& filter,
                                              const std::string& folder) override;
};

}  // namespace velluma
