#include "app/program.h"

namespace hbx::app {

int runProgram(platform::Ports /*ports*/, const std::wstring& /*rawCommandLine*/) { return 0; }

}  // namespace hbx::app
