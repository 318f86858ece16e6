#pragma once
// The USB tree of a simulated computer at run time: every device of the
// bench's "usb" section with its names (connection name, interface path,
// physical device object, driver key, hardware ids), its presence and its
// restarts. A restart takes a device (and what is below it) away for the
// configured time and brings it back under a new physical device object; a
// hub chip that re-enumerates after a processor reset or a power cycle gets
// new ones too, so its filter-driver device object is renamed with it.
//
// The hub I/O controls (SimHubIo) and SetupAPI (SimSetupApi) answer from it.
// Every method takes the tree's lock; the hub bench's lock is taken inside it
// (never the other way round).
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/hub/hub_bench.h"
#include "sim/usb/usb_config.h"

namespace hbx::sim {
class SimClock;
}

namespace hbx::sim::usb {

inline constexpr const wchar_t* kHubInterfaceGuidText = L"{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
inline constexpr const wchar_t* kUsbClassGuidText = L"{36fc9e60-c465-11cf-8056-444553540000}";

// A device as the tree holds it.
struct TreeNode {
  std::uint32_t id = 0;
  std::size_t controller = 0;
  int parent = -1;  // -1: on the root hub
  std::uint32_t tier = 1;
  DeviceConfig config;      // without its `devices`
  hub::HubChip* chip = nullptr;
  std::vector<int> ports;   // child per port (index 0 unused), -1 none
  std::wstring instance;
  std::uint32_t pdoNumber = 0;
  std::uint32_t driverKey = 0;
  hub::Ticks awayUntil = 0;  // a restart in progress until then
  bool renamePending = false;
  hub::Ticks chipArrival = 0;
  // Fault counters.
  std::uint32_t nameRequests = 0;
  std::uint32_t secondNameRequests = 0;
  std::uint32_t installerCalls = 0;
};

struct TreeController {
  ControllerConfig config;  // without its `devices`
  std::wstring rootHubName;
  std::vector<int> ports;  // child per root-hub port (index 0 unused)
};

// What a restart did, for tests and tools.
struct RestartRecord {
  std::uint32_t node = 0;
  std::wstring oldPdo;
  std::wstring newPdo;
  std::string how;  // "class installer", "device console", "re-enumeration"
};

// The descriptor fields the hub driver reports for a device.
struct DeviceIds {
  std::uint16_t vid = 0;
  std::uint16_t pid = 0;
  std::uint16_t bcdUSB = 0;
};

class UsbTree {
 public:
  UsbTree(const UsbConfig& config, hub::HubBench& hubs, SimClock& clock);
  UsbTree(const UsbTree&) = delete;
  UsbTree& operator=(const UsbTree&) = delete;

  std::mutex& mutex() { return mutex_; }
  const UsbConfig& config() const { return config_; }
  std::uint32_t restartMs() const { return config_.restartMs; }
  void setRestartMs(std::uint32_t ms);

  // ---- With the lock held ------------------------------------------------
  // Completes restarts whose time is up and notices re-enumerated chips.
  void refreshLocked();
  bool presentLocked(const TreeNode& node);
  std::vector<TreeNode>& nodesLocked() { return nodes_; }
  std::vector<TreeController>& controllersLocked() { return controllers_; }
  // The device on a port of a hub (-1: the root hub of `controller`).
  int childLocked(std::size_t controller, int hubNode, std::uint32_t port) const;
  // The 18-byte device descriptor and a string descriptor (with its header).
  std::array<std::uint8_t, 18> deviceDescriptorLocked(const TreeNode& node);
  std::optional<std::vector<std::uint8_t>> stringDescriptorLocked(const TreeNode& node, std::uint32_t index,
                                                                  std::uint32_t language);
  DeviceIds idsLocked(const TreeNode& node);
  void restartLocked(TreeNode& node, const char* how);

  // ---- Names (pure functions of a node) ---------------------------------
  std::wstring connectionName(const TreeNode& node) const;  // as the hub driver reports it
  // The name the hub driver answers for the node's port: its own, or with
  // the fault nameOfAncestor the name of a hub above it.
  std::wstring reportedNameLocked(const TreeNode& node) const;
  std::wstring interfacePath(const TreeNode& node) const;   // "\\?\usb#vid_...#{f18a0e88-...}"
  std::wstring pdoName(const TreeNode& node) const;         // "\Device\USBPDO-12"
  std::wstring driverKey(const TreeNode& node) const;       // "{36fc9e60-...}\0012"
  std::vector<std::wstring> hardwareIds(const TreeNode& node);
  std::wstring enumerator(const TreeNode& node) const;

  // ---- Taking the lock ---------------------------------------------------
  // Restarts every present hub whose hardware ids hold `hardwareId` (case
  // ignored), as the device console's "Restart" does; returns how many.
  int restartByHardwareId(const std::wstring& hardwareId);
  std::vector<RestartRecord> restarts();
  // The node of a hub chip function, -1 when the tree does not place it.
  int findChipFunction(const std::string& chip, hub::Connection side);
  // A snapshot of a node (names included) for tests and tools.
  TreeNode node(std::uint32_t id);
  std::wstring connectionNameOf(std::uint32_t id);
  std::wstring pdoNameOf(std::uint32_t id);
  // One line per controller and per device: tier, port, ids, and for hubs of
  // our families the chip's name.
  std::vector<std::string> describe();

 private:
  void addDevices(std::size_t controller, int parent, std::uint32_t tier, const std::vector<DeviceConfig>& devices,
                  std::vector<int>& ports);
  hub::Ticks now() const;
  void setChipPdoLocked(TreeNode& node, const std::wstring& pdo);
  void renumberSubtreeLocked(TreeNode& node, hub::Ticks awayUntil, const char* how);

  UsbConfig config_;
  hub::HubBench& hubs_;
  SimClock& clock_;
  std::mutex mutex_;
  std::vector<TreeController> controllers_;
  std::vector<TreeNode> nodes_;
  std::uint32_t nextPdo_ = 1;
  std::vector<RestartRecord> restarts_;
};

}  // namespace hbx::sim::usb
