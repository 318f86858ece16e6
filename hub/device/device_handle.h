#pragma once
// An open handle to a filter-driver device object, closed when it goes out of
// scope, so every hub operation releases its handle on every path.
#include <cstdint>
#include <string>

#include "platform/device_io.h"
#include "platform/handles.h"

namespace hbx::hubdev {

class ScopedDevice {
 public:
  // Opens `name` the way every hub operation does: no sharing, OPEN_EXISTING,
  // overlapped. On failure the system error is kept (the port has also made
  // it the thread's last error).
  ScopedDevice(platform::DeviceIoPort& io, const std::wstring& name, std::uint32_t access = 0);

  bool ok() const { return handle_.valid(); }
  platform::OsHandle get() const { return handle_.get(); }
  std::uint32_t error() const { return error_; }

 private:
  ScopedDevice(platform::DeviceIoPort& io, const platform::OpenResult& opened)
      : handle_(io, opened.handle), error_(opened.handle == platform::kInvalidHandle ? opened.error : 0) {}

  platform::DeviceHandle handle_;
  std::uint32_t error_;
};

}  // namespace hbx::hubdev
