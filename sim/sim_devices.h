#pragma once
// Device access on the simulated host: the filter driver's device objects
// (SimDeviceIo, the simulated filter driver of sim/hub/), the USB hub I/O
// controls and SetupAPI. The USB tree is not simulated yet: every hub
// interface list is empty.
#include "platform/device_io.h"
#include "sim/hub/filter_driver.h"
#include "platform/hub_io.h"
#include "platform/setup_api.h"

namespace hbx::sim {

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
