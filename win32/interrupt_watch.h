#pragma once
// The stop requests of the Windows program: the console's control events
// (Ctrl-C, Ctrl-Break, the console window closed, log-off, shut-down), the
// end of the session (WM_QUERYENDSESSION, WM_ENDSESSION) and a close request
// sent to the program's top-level windows (WM_CLOSE) while the dialog is not
// shown (the dialog's own close box is its close request). Each is counted
// for the program to poll (SystemPort::interruptRequests): the first stops
// the run the write-safe way, the second ends it at once; either way the run
// cleans up. After the events that Windows follows by ending the process
// (the console closed, the session ended) the run is ended at once, and the
// event is held until the program has ended or Windows stops waiting.
#include <windows.h>

#include <functional>
#include <thread>

namespace hbx::win32 {

// How many stop requests came since the program started.
int interruptCount();
// Hubs are being written from now on (true) or no longer (false): meanwhile
// Windows is asked not to shut down (ShutdownBlockReasonCreate, FALSE to
// WM_QUERYENDSESSION), and the first request to end the session stops the
// run the write-safe way.
void setWritingHubs(bool writing);
// Asks another copy of the program, process `pid`, to stop the write-safe
// way: a close request to its watch window, which counts as an interrupt
// whether or not its dialog is shown. False when it has no such window
// (another session, a copy that has not set up its watch yet).
bool askToStop(DWORD pid);

class InterruptWatch {
 public:
  // `dialogShown`: whether the dialog window is open (its close box is its
  // own close request).
  InterruptWatch(HINSTANCE instance, std::function<bool()> dialogShown);
  // The program has ended: a held event is let go.
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void run();

  HINSTANCE instance_;
  std::function<bool()> dialogShown_;
  HWND window_ = nullptr;
  HANDLE ready_ = nullptr;
  std::thread thread_;
};

}  // namespace hbx::win32
