#include "win32/interrupt_watch.h"

#include <atomic>

namespace hbx::win32 {

namespace {

std::atomic<int> g_interrupts{0};
std::atomic<bool> g_programEnded{false};
// Hubs are being written: a shut-down asked for now is refused with a reason
// the user sees, and the run stops the write-safe way instead.
std::atomic<bool> g_writingHubs{false};
std::atomic<HWND> g_watchWindow{nullptr};
constexpr UINT kWritingChanged = WM_APP + 1;
constexpr wchar_t kShutdownBlockReason[] = L"Writing hub firmware: do not switch off";

// Looked up at run time: Windows XP has neither.
using BlockReasonCreateFn = BOOL(WINAPI*)(HWND, LPCWSTR);
using BlockReasonDestroyFn = BOOL(WINAPI*)(HWND);
template <class F>
F userFunction(const char* name) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  return user ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user, name))) : nullptr;
}

// On the watch window's thread, as Windows requires.
void showShutdownBlock(HWND window, bool writing) {
  if (writing) {
    if (const auto create = userFunction<BlockReasonCreateFn>("ShutdownBlockReasonCreate")) {
      create(window, kShutdownBlockReason);
    }
  } else if (const auto destroy = userFunction<BlockReasonDestroyFn>("ShutdownBlockReasonDestroy")) {
    destroy(window);
  }
}
constexpr wchar_t kWindowClass[] = L"8634FWUpgradeTool.InterruptWatch";
// wParam of WM_CLOSE: 1 the watch itself ends; this value, another copy
// asks this one to stop.
constexpr WPARAM kStopFromAnotherCopy = 2;
// The longest a held event waits for the program's clean-up.
constexpr DWORD kHoldMs = 30000;
constexpr DWORD kHoldStepMs = 50;

// A request after which Windows ends the process: the run ends at once.
void countFinalRequest() {
  int seen = g_interrupts.load();
  while (!g_interrupts.compare_exchange_weak(seen, seen < 1 ? 2 : seen + 1)) {
  }
}

void holdUntilProgramEnded() {
  for (DWORD waited = 0; waited < kHoldMs && !g_programEnded.load(); waited += kHoldStepMs) Sleep(kHoldStepMs);
}

BOOL WINAPI consoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      g_interrupts.fetch_add(1);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      countFinalRequest();
      holdUntilProgramEnded();
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int interruptCount() { return g_interrupts.load(); }

bool askToStop(DWORD pid) {
  bool asked = false;
  for (HWND window = FindWindowExW(nullptr, nullptr, kWindowClass, nullptr); window != nullptr;
       window = FindWindowExW(nullptr, window, kWindowClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid && PostMessageW(window, WM_CLOSE, kStopFromAnotherCopy, 0)) asked = true;
  }
  return asked;
}

void setWritingHubs(bool writing) {
  if (g_writingHubs.exchange(writing) == writing) return;
  if (HWND window = g_watchWindow.load()) PostMessageW(window, kWritingChanged, writing ? 1 : 0, 0);
}

InterruptWatch::InterruptWatch(HINSTANCE instance, std::function<bool()> dialogShown)
    : instance_(instance), dialogShown_(std::move(dialogShown)), ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  SetConsoleCtrlHandler(&consoleEvent, TRUE);
  thread_ = std::thread([this] { run(); });
  if (ready_) WaitForSingleObject(ready_, INFINITE);
}

InterruptWatch::~InterruptWatch() {
  g_programEnded = true;
  if (window_) PostMessageW(window_, WM_CLOSE, 1, 0);
  if (thread_.joinable()) thread_.join();
  SetConsoleCtrlHandler(&consoleEvent, FALSE);
  if (ready_) CloseHandle(ready_);
}

void InterruptWatch::run() {
  // A hidden top-level window: the session's end and close requests are
  // sent to top-level windows only.
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &InterruptWatch::windowProc;
  windowClass.hInstance = instance_;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance_, this);
  g_watchWindow = window_;
  if (ready_) SetEvent(ready_);
  if (!window_) return;
  if (g_writingHubs.load()) showShutdownBlock(window_, true);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}

LRESULT CALLBACK InterruptWatch::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<InterruptWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_QUERYENDSESSION:
      // The session is about to end: no hub starts its writes from here on.
      // While hubs are being written the answer is no: a hub switched off
      // between its erase and its read-back may not boot again.
      if (g_interrupts.load() == 0) g_interrupts.fetch_add(1);
      return g_writingHubs.load() ? FALSE : TRUE;
    case kWritingChanged:
      showShutdownBlock(window, wParam != 0);
      return 0;
    case WM_ENDSESSION:
      if (wParam) {
        countFinalRequest();
        holdUntilProgramEnded();
      }
      return 0;
    case WM_CLOSE:
      // wParam 1: the watch itself ends.
      if (wParam == 1) {
        DestroyWindow(window);
      } else if (wParam == kStopFromAnotherCopy) {
        g_interrupts.fetch_add(1);
      } else if (self && !(self->dialogShown_ && self->dialogShown_())) {
        g_interrupts.fetch_add(1);
      }
      return 0;
    case WM_DESTROY:
      g_watchWindow = nullptr;
      showShutdownBlock(window, false);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace hbx::win32
