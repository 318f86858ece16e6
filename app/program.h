#pragma once
// The program as a whole: what runs between process start and exit.
#include <string>

#include "platform/ports.h"
#include "ui/dialog_view.h"

namespace hbx::app {

// Runs the program on the given platform with its raw command line (the
// arguments after the program name). Returns the process exit code.
// `view`: where interactive mode draws the open dialog; none, nowhere.
int runProgram(platform::Ports ports, const std::wstring& rawCommandLine, ui::DialogView* view = nullptr);

}  // namespace hbx::app
