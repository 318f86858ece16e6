// The USB hub I/O controls: synchronous DeviceIoControl on hub handles, the
// request and the reply in one buffer laid out as Windows' packed structures.
#include <windows.h>

#include "win32/win32_handles.h"
#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

class Win32HubIo final : public platform::HubIoPort {
 public:
  platform::OpenResult openHub(const std::wstring& path, std::uint32_t desiredAccess,
                               std::uint32_t shareMode) override {
    HANDLE h = CreateFileW(path.c_str(), desiredAccess, shareMode, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {platform::kInvalidHandle, GetLastError()};
    return {fromHandle(h), 0};
  }

  platform::HubIoctlResult hubIoctl(platform::OsHandle hub, std::uint32_t code,
                                    std::vector<std::uint8_t>& inOut) override {
    DWORD bytes = 0;
    const auto length = static_cast<DWORD>(inOut.size());
    if (!DeviceIoControl(toHandle(hub), code, inOut.data(), length, inOut.data(), length, &bytes, nullptr)) {
      return {false, bytes, GetLastError()};
    }
    return {true, bytes, 0};
  }

  void closeHub(platform::OsHandle hub) override {
    closeIfOpen(hub);
  }
};

}  // namespace

platform::HubIoPort& hubIoPort() {
  static Win32HubIo port;
  return port;
}

}  // namespace hbx::win32
