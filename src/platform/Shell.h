#pragma once

#include <functional>
#include <string>

namespace velluma {

/// ShellExecute's result for a file that does not exist.
inline constexpr int kShellFileNotFound = 2;
/// Any result above this means success, as with ShellExecute.
inline constexpr int kShellSuccess = 33;

enum class ShowMode { Normal, Show };

/// True for a result that means the target was handed to a program.
inline bool shellOpened(int result) {
    return result >= kShellSuccess;
}

/// Runs when an open that had started turns out to have found no program for its target.
using OpenFailed = std::function<void()>;

/// The desktop shell: opening documents and links, the display settings, shortcuts.
class Shell {
public:
    virtual ~Shell() = default;

    /// Opens a file or an address with its default handler; returns kShellSuccess or an
    /// error code (kShellFileNotFound for a missing local file). The desktop's opener may
    /// find only after it started that nothing opens the target: then failedLater runs, on
    /// this thread, a moment later.
    virtual int open(const std::string& target, ShowMode mode, OpenFailed failedLater = {}) = 0;
    /// Opens the running desktop's display settings; throws std::runtime_error with a
    /// message for the user when no such tool is known.
    virtual void openDisplaySettings() = 0;
    /// Writes a start-up shortcut at linkPath pointing to target, replacing any; throws
    /// std::runtime_error when the file cannot be written.
    virtual void createShortcut(const std::string& target, const std::string& arguments,
                                const std::string& workingFolder, const std::string& linkPath) = 0;
    /// The folder where start-up shortcuts go when the registry names none.
    virtual std::string defaultStartupFolder() = 0;
};

}  // namespace velluma
