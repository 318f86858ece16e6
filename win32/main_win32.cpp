// The Windows entry point: the program on the real platform's ports.
#include <windows.h>

#include "app/program.h"
#include "win32/dialog_window.h"
#include "win32/interrupt_watch.h"
#include "win32/win32_host.h"

namespace {

// The test build (stand-in driver files, made-up firmware) says what it is
// in its window as in its version resource.
#ifdef HBX_STANDIN_DRIVER_PAYLOAD
constexpr const wchar_t* kCaptionNote = L" - TEST BUILD, not for real PCs";
#else
constexpr const wchar_t* kCaptionNote = L"";
#endif

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  // Interactive mode shows the dialog as a window; the hidden modes never open it.
  hbx::win32::DialogWindow window(instance, kCaptionNote);
  // Interrupts and the session's end stop the run the write-safe way.
  hbx::win32::InterruptWatch interrupts(instance, [&window] { return window.window() != nullptr; });
  return hbx::app::runProgram(hbx::win32::ports(), commandLine ? commandLine : L"", &window);
}
