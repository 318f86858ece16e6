// The Windows entry point: the program on the real platform's ports.
#include <windows.h>

#include "win32/win32_program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  return hbx::win32::runProgram(commandLine ? commandLine : L"");
}
