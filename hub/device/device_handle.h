#pragma once
// An open handle to a filter-driver device object, closed when it goes out of
// scope, so every hub operation releases its handle on every path.
#include <cstdint>
#include <string>

#include "platform/device_io.h"

namespace hbx::hubdev {

class ScopedDevice {
 public:
  // Opens `name` the way every hub operation does: no sharing, OPEN_EXISTING,
  // overlapped. On failure the system error is kept and made the last error.
  ScopedDevice(platform::DeviceIoPort& io, const std::wstring& name, std::uint32_t access = 0);
  ~ScopedDevice();
  ScopedDevice(const ScopedDevice&) = delete;
  ScopedDevice& operator=(const ScopedDevice&) = delete;

  bool ok() const { return handle_ != platform::kInvalidHandle; }
  platform::OsHandle get() const { return handle_; }
  std::uint32_t error() const { return error_; }

 private:
  platform::DeviceIoPort& io_;
  platform::OsHandle handle_;
  std::uint32_t error_;
};

}  // namespace hbx::hubdev
