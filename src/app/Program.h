#pragma once

namespace velluma {

/// The whole life of the program: start-up, the message loop, shutdown. Returns the exit
/// code.
int runProgram(int argc, char** argv);

}  // namespace velluma
