#pragma once
// Device I/O on the filter driver's device objects: CreateFileW,
// CreateEventW, overlapped DeviceIoControl, WaitForSingleObject on a request's
// event, GetOverlappedResult, CancelIoEx, CloseHandle.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/os_types.h"

namespace hbx::platform {

// Access and flag values as CreateFileW takes them.
namespace access {
inline constexpr std::uint32_t kGenericRead = 0x80000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
}  // namespace access
namespace share {
inline constexpr std::uint32_t kRead = 1;
inline constexpr std::uint32_t kWrite = 2;
inline constexpr std::uint32_t kDelete = 4;
}  // namespace share
namespace creation {
inline constexpr std::uint32_t kCreateNew = 1;
inline constexpr std::uint32_t kCreateAlways = 2;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kOpenAlways = 4;
}  // namespace creation
namespace fileflag {
inline constexpr std::uint32_t kOverlapped = 0x40000000u;
inline constexpr std::uint32_t kWriteThrough = 0x80000000u;
}  // namespace fileflag

// Storage for one OVERLAPPED request. The Win32 backend keeps its OVERLAPPED
// here; the simulator keeps the request's bookkeeping. Owned by the caller for
// the duration of one request.
struct OverlappedSlot {
  alignas(8) std::byte storage[64]{};
};

struct OpenResult {
  OsHandle handle = kInvalidHandle;  // kInvalidHandle on failure
  std::uint32_t error = 0;           // the system error on failure
};

// What a wait on an event answers, as WaitForSingleObject returns it.
namespace wait {
inline constexpr std::uint32_t kObject0 = 0;           // WAIT_OBJECT_0: the event is set
inline constexpr std::uint32_t kTimeout = 0x102;       // WAIT_TIMEOUT
inline constexpr std::uint32_t kFailed = 0xFFFFFFFFu;  // WAIT_FAILED (a bad handle)
}  // namespace wait

struct IoctlStart {
  bool returnedTrue = false;  // DeviceIoControl returned TRUE (completed at once)
  std::uint32_t error = 0;    // GetLastError() when it returned FALSE (997 = pending)
};

class DeviceIoPort {
 public:
  virtual ~DeviceIoPort() = default;

  // CreateFileW on a device object name ("\\.\NAME"). Fails with the system
  // error (2 when no such object exists).
  virtual OpenResult openDevice(const std::wstring& name, std::uint32_t desiredAccess,
                                std::uint32_t shareMode, std::uint32_t flags) = 0;
  // CreateEventW(NULL, manualReset, initialState, NULL). Returns kNullHandle on
  // failure.
  virtual OsHandle createEvent(bool manualReset, bool initialState) = 0;
  // DeviceIoControl with an OVERLAPPED that carries `event`. The in and out
  // buffers must stay valid until the request has completed.
  virtual IoctlStart deviceIoControl(OsHandle device, std::uint32_t code, const std::uint8_t* in,
                                     std::uint32_t inLength, std::uint8_t* out,
                                     std::uint32_t outLength, OsHandle event,
                                     OverlappedSlot& slot) = 0;
  // WaitForSingleObject(event, ms): kObject0 once the event is set (a request
  // that carries it has completed, also by a cancel), kTimeout when `ms`
  // passed first, kFailed for a handle that is no event. The simulated host
  // waits on its clock, scaled like every wait.
  virtual std::uint32_t waitForEvent(OsHandle event, std::uint32_t ms) = 0;
  // GetOverlappedResult(bWait TRUE): waits for the request of `slot` to
  // complete. True with the reply byte count on success; false with the
  // error when the request completed with a failure.
  virtual bool getOverlappedResult(OsHandle device, OverlappedSlot& slot, std::uint32_t& bytes,
                                   std::uint32_t& error) = 0;
  // CancelIoEx(device, NULL): every request of the handle still in flight,
  // from any thread, completes with ERROR_OPERATION_ABORTED (995).
  virtual void cancelIo(OsHandle device) = 0;
  // CloseHandle on a device or event handle.
  virtual void closeHandle(OsHandle handle) = 0;
};

}  // namespace hbx::platform
