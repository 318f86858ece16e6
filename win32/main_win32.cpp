// The Windows entry point: the program on the real platform's ports.
#include <windows.h>

#include "app/program.h"
#include "win32/win32_host.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  return hbx::app::runProgram(hbx::win32::ports(), commandLine ? commandLine : L"");
}
