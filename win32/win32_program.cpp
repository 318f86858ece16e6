#include "win32/win32_program.h"

#include "app/program.h"
#include "win32/win32_host.h"

namespace hbx::win32 {

int runProgram(const std::wstring& rawCommandLine) { return app::runProgram(ports(), rawCommandLine); }

}  // namespace hbx::win32
