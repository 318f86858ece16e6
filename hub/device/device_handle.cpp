#include "hub/device/device_handle.h"

#include "hub/device/last_error.h"

namespace hbx::hubdev {

ScopedDevice::ScopedDevice(platform::DeviceIoPort& io, const std::wstring& name, std::uint32_t access)
    : io_(io), handle_(platform::kInvalidHandle), error_(0) {
  const platform::OpenResult opened = io_.openDevice(name, access, 0, platform::fileflag::kOverlapped);
  handle_ = opened.handle;
  if (!ok()) {
    error_ = opened.error;
    setLastError(opened.error);
  }
}

ScopedDevice::~ScopedDevice() {
  if (ok()) io_.closeHandle(handle_);
}

}  // namespace hbx::hubdev
