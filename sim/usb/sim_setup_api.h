#pragma once
// SetupAPI of the simulated computer over the USB tree: lists of the present
// host-controller and hub interfaces (taken when the list is made, as
// SetupDiGetClassDevs does), device registry properties (description,
// hardware ids, driver key, physical device object name) and the class
// installer's property change, which restarts the device.
#include <map>
#include <mutex>
#include <vector>

#include "platform/setup_api.h"
#include "sim/usb/usb_tree.h"

namespace hbx::sim {

class SimSetupApi : public platform::SetupApiPort {
 public:
  explicit SimSetupApi(usb::UsbTree& tree) : tree_(tree) {}

  platform::OsHandle getClassDevs(const platform::Guid& interfaceClass) override;
  bool enumDeviceInterface(platform::OsHandle list, const platform::Guid& interfaceClass, std::uint32_t index,
                           platform::DeviceInterfaceInfo& info) override;
  platform::PropertyValue deviceRegistryProperty(platform::OsHandle list, const platform::DeviceInfoData& device,
                                                 std::uint32_t property, std::uint32_t bufferBytes) override;
  bool setPropChangeParams(platform::OsHandle list, const platform::DeviceInfoData& device, std::uint32_t stateChange,
                           std::uint32_t scope, std::uint32_t hwProfile, std::uint32_t& error) override;
  bool callClassInstallerPropChange(platform::OsHandle list, const platform::DeviceInfoData& device,
                                    std::uint32_t& error) override;
  void destroyList(platform::OsHandle list) override;

  // Lists not destroyed yet.
  std::size_t openLists();
  // Makes every getClassDevs fail (INVALID_HANDLE_VALUE) while set.
  void setClassDevsFail(bool fail);

  // Device instance numbers: controllers and tree nodes.
  static constexpr std::uint32_t kControllerDevInst = 0x100;
  static constexpr std::uint32_t kNodeDevInst = 0x1000;

 private:
  struct Item {
    std::wstring path;
    std::uint32_t devInst = 0;
    bool detailFails = false;
  };
  struct List {
    platform::Guid guid;
    std::vector<Item> items;
    std::map<std::uint32_t, bool> propChangeSet;  // devInst -> parameters set
  };

  usb::UsbTree& tree_;
  std::mutex mutex_;
  std::map<platform::OsHandle, List> lists_;
  platform::OsHandle next_ = 0x5E700;
  bool classDevsFail_ = false;
};

}  // namespace hbx::sim
