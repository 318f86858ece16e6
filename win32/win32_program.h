#pragma once
// The program on the Windows host's ports. Kept apart from <windows.h>: the
// entry point includes the SDK, this part includes the application.
#include <string>

namespace hbx::win32 {

// Runs the program with its raw command line; returns the exit code.
int runProgram(const std::wstring& rawCommandLine);

}  // namespace hbx::win32
