#pragma once
// The USB hub driver of the simulated computer: host controllers, root hubs
// and hubs of the USB tree opened by name, and the hub I/O controls answered
// on raw buffers in Windows' packed layouts:
//   root hub name            USB_ROOT_HUB_NAME (ActualLength, name from byte 4)
//   node information         USB_NODE_INFORMATION, 76 bytes, ports at byte 6
//   connection information   USB_NODE_CONNECTION_INFORMATION(_EX): index at 0,
//                            descriptor at 4, Speed (EX) or LowSpeed at 23,
//                            DeviceIsHub at 24, status from byte 31, pipes from 35
//   connection name          USB_NODE_CONNECTION_NAME (index, ActualLength, name from byte 8)
//   descriptor request       USB_DESCRIPTOR_REQUEST (index, setup packet, data from byte 12)
// A buffer too small for the fixed part is refused (ERROR_INVALID_PARAMETER),
// as the hub driver does.
#include <map>
#include <mutex>

#include "platform/hub_io.h"
#include "sim/usb/usb_tree.h"

namespace hbx::sim {

class SimHubIo : public platform::HubIoPort {
 public:
  explicit SimHubIo(usb::UsbTree& tree) : tree_(tree) {}

  platform::OpenResult openHub(const std::wstring& path, std::uint32_t desiredAccess,
                               std::uint32_t shareMode) override;
  platform::HubIoctlResult hubIoctl(platform::OsHandle hub, std::uint32_t code,
                                    std::vector<std::uint8_t>& inOut) override;
  void closeHub(platform::OsHandle hub) override;

  std::size_t openHandles();

 private:
  struct Target {
    bool controller = false;  // a host controller (else a hub)
    std::size_t controllerIndex = 0;
    int node = -1;  // the hub's node; -1 with a hub: the root hub
  };
  platform::HubIoctlResult rootHubName(const Target& t, std::vector<std::uint8_t>& buffer);
  platform::HubIoctlResult nodeInformation(const Target& t, std::vector<std::uint8_t>& buffer);
  platform::HubIoctlResult connectionInformation(const Target& t, std::vector<std::uint8_t>& buffer, bool ex);
  platform::HubIoctlResult connectionName(const Target& t, std::vector<std::uint8_t>& buffer);
  platform::HubIoctlResult descriptorRequest(const Target& t, std::vector<std::uint8_t>& buffer);
  // The device on a port of the hub behind `t`, when it is there.
  usb::TreeNode* presentChild(const Target& t, std::uint32_t port);

  usb::UsbTree& tree_;
  std::mutex handlesMutex_;
  std::map<platform::OsHandle, Target> handles_;
  platform::OsHandle next_ = 0x7000;
};

}  // namespace hbx::sim
