// Device I/O on the filter driver's device objects: overlapped requests, each
// with its own event, the OVERLAPPED kept in the caller's slot.
#include <windows.h>

#include <cstring>
#include <new>

#include "win32/win32_handles.h"
#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

static_assert(sizeof(OVERLAPPED) <= sizeof(platform::OverlappedSlot::storage));
static_assert(alignof(OVERLAPPED) <= alignof(platform::OverlappedSlot));

OVERLAPPED* overlappedOf(platform::OverlappedSlot& slot) {
  return std::launder(reinterpret_cast<OVERLAPPED*>(slot.storage));
}

class Win32DeviceIo final : public platform::DeviceIoPort {
 public:
  platform::OpenResult openDevice(const std::wstring& name, std::uint32_t desiredAccess,
                                  std::uint32_t shareMode, std::uint32_t flags) override {
    HANDLE h = CreateFileW(name.c_str(), desiredAccess, shareMode, nullptr, OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {platform::kInvalidHandle, GetLastError()};
    return {fromHandle(h), 0};
  }

  platform::OsHandle createEvent(bool manualReset, bool initialState) override {
    return fromHandle(CreateEventW(nullptr, manualReset, initialState, nullptr));
  }

  platform::IoctlStart deviceIoControl(platform::OsHandle device, std::uint32_t code, const std::uint8_t* in,
                                       std::uint32_t inLength, std::uint8_t* out, std::uint32_t outLength,
                                       platform::OsHandle event, platform::OverlappedSlot& slot) override {
    auto* overlapped = new (slot.storage) OVERLAPPED{};
    overlapped->hEvent = toHandle(event);
    DWORD bytes = 0;
    // The input buffer is not written; DeviceIoControl takes it as LPVOID.
    const BOOL done = DeviceIoControl(toHandle(device), code, const_cast<std::uint8_t*>(in), inLength, out,
                                      outLength, &bytes, overlapped);
    if (done) return {true, 0};
    return {false, GetLastError()};
  }

  std::uint32_t waitForEvent(platform::OsHandle event, std::uint32_t ms) override {
    return WaitForSingleObject(toHandle(event), ms);
  }

  bool getOverlappedResult(platform::OsHandle device, platform::OverlappedSlot& slot, std::uint32_t& bytes,
                           std::uint32_t& error) override {
    DWORD transferred = 0;
    if (!GetOverlappedResult(toHandle(device), overlappedOf(slot), &transferred, TRUE)) {
      error = GetLastError();
      bytes = transferred;
      return false;
    }
    bytes = transferred;
    error = 0;
    return true;
  }

  void cancelIo(platform::OsHandle device) override {
    // Cancels the requests of every thread on the handle, not only the caller's.
    CancelIoEx(toHandle(device), nullptr);
  }

  void closeHandle(platform::OsHandle handle) override {
    closeIfOpen(handle);
  }
};

}  // namespace

platform::DeviceIoPort& deviceIoPort() {
  static Win32DeviceIo port;
  return port;
}

}  // namespace hbx::win32
