#pragma once

#include <string>
#include <vector>

namespace velluma {

/// What the command line asks for. Qt's own options (-platform, -display, -style, ...) and
/// their values are left to Qt.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string error;  // for Action::Error: what was wrong, for standard error
};

/// Reads the arguments after the program name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

/// The texts of --help and --version, ending in a line feed.
std::string helpText();
std::string versionText();

/// Answers --help, --version and a bad argument on the standard streams before any window
/// system is touched; returns the exit code, or -1 when the program is to run.
int answerCommandLine(int argc, char** argv);

}  // namespace velluma
