#pragma once
// The program as a whole: what runs between process start and exit.
#include <string>

#include "platform/ports.h"

namespace hbx::app {

// Runs the program on the given platform with its raw command line (the
// arguments after the program name). Returns the process exit code.
int runProgram(platform::Ports ports, const std::wstring& rawCommandLine);

}  // namespace hbx::app
