// Message boxes on Windows.
#include <windows.h>

#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

class Win32Windows final : public platform::WindowPort {
 public:
  int messageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t flags) override {
    // Until the dialog window exists, the box has no owner; it stays on top so
    // that a box shown during start-up is not hidden behind other windows.
    return MessageBoxW(nullptr, text.c_str(), caption.c_str(), flags | MB_SETFOREGROUND);
  }
};

}  // namespace

platform::WindowPort& windowPort() {
  static Win32Windows port;
  return port;
}

}  // namespace hbx::win32
