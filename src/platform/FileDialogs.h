#pragma once

#include <string>
#include <vector>

namespace velluma {

/// The program's file-open dialogs.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    /// Lets the user choose one or more existing files. filter is a name filter such as
    /// "Image lists (*.lst)"; folder is the one shown first ("" lets the dialog choose).
    /// Returns the chosen files' full paths, or none when the user cancels.
    virtual std::vector<std::string> getOpenFileNames(const std::string& title,
                                                      const std::string& filter,
                                                      const std::string& folder) = 0;
};

}  // namespace velluma
