#include "hub/device/device_handle.h"

namespace hbx::hubdev {

ScopedDevice::ScopedDevice(platform::DeviceIoPort& io, const std::wstring& name, std::uint32_t access)
    : ScopedDevice(io, io.openDevice(name, access, 0, platform::fileflag::kOverlapped)) {}

}  // namespace hbx::hubdev
