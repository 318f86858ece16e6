#pragma once
// Device access on the simulated host: the filter driver's device objects,
// the USB hub I/O controls and SetupAPI. This bench has no USB devices yet:
// every device object is missing and every interface list is empty.
#include "platform/device_io.h"
#include "platform/hub_io.h"
#include "platform/setup_api.h"

namespace hbx::sim {

class SimDeviceIo : public platform::DeviceIoPort {
 public:
  platform::OpenResult openDevice(const std::wstring&, std::uint32_t, std::uint32_t, std::uint32_t) override {
    return {platform::kInvalidHandle, platform::err::kFileNotFound};
  }
  platform::OsHandle createEvent(bool, bool) override { return platform::kNullHandle; }
  platform::IoctlStart deviceIoControl(platform::OsHandle, std::uint32_t, const std::uint8_t*, std::uint32_t,
                                       std::uint8_t*, std::uint32_t, platform::OsHandle,
                                       platform::OverlappedSlot&) override {
    return {false, platform::err::kInvalidHandle};
  }
  bool getOverlappedResult(platform::OsHandle, platform::OverlappedSlot&, std::uint32_t&, std::uint32_t& error) override {
    error = platform::err::kInvalidHandle;
    return false;
  }
  void closeHandle(platform::OsHandle) override {}
};

class SimHubIo : public platform::HubIoPort {
 public:
  platform::OpenResult openHub(const std::wstring&, std::uint32_t, std::uint32_t) override {
    return {platform::kInvalidHandle, platform::err::kFileNotFound};
  }
  platform::HubIoctlResult hubIoctl(platform::OsHandle, std::uint32_t, std::vector<std::uint8_t>&) override {
    return {false, 0, platform::err::kInvalidHandle};
  }
  void closeHub(platform::OsHandle) override {}
};

class SimSetupApi : public platform::SetupApiPort {
 public:
  platform::OsHandle getClassDevs(const platform::Guid&) override { return 0x5E70; }
  bool enumDeviceInterface(platform::OsHandle, const platform::Guid&, std::uint32_t,
                           platform::DeviceInterfaceInfo&) override {
    return false;
  }
  platform::PropertyValue deviceRegistryProperty(platform::OsHandle, const platform::DeviceInfoData&,
                                                 std::uint32_t, std::uint32_t) override {
    return {};
  }
  bool setPropChangeParams(platform::OsHandle, const platform::DeviceInfoData&, std::uint32_t,
                           std::uint32_t, std::uint32_t, std::uint32_t& error) override {
    error = platform::err::kInvalidParameter;
    return false;
  }
  bool callClassInstallerPropChange(platform::OsHandle, const platform::DeviceInfoData&,
                                    std::uint32_t& error) override {
    error = platform::err::kInvalidParameter;
    return false;
  }
  void destroyList(platform::OsHandle) override {}
};

}  // namespace hbx::sim
