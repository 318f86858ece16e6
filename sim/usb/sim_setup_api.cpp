#include "sim/usb/sim_setup_api.h"

#include "base/log/format.h"
#include "sim/last_error.h"
#include "sim/sim_registry.h"

namespace hbx::sim {

namespace {

namespace err = platform::err;
constexpr std::uint32_t kErrorNoSuchDevinst = 0xE000020B;
constexpr std::uint32_t kErrorNoClassInstallParams = 0xE0000215;
constexpr std::uint32_t kErrorInvalidData = 13;

platform::PropertyValue textProperty(std::uint32_t type, const std::vector<std::wstring>& texts,
                                     std::uint32_t bufferBytes) {
  std::vector<std::uint8_t> bytes;
  for (const std::wstring& t : texts) {
    const auto one = utf16leWithZero(t);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  if (type == platform::regtype::kMultiSz) bytes.insert(bytes.end(), {0, 0});
  if (bytes.size() > bufferBytes) return {false, err::kInsufficientBuffer, type, {}};
  return {true, 0, type, bytes};
}

}  // namespace

platform::OsHandle SimSetupApi::getClassDevs(const platform::Guid& interfaceClass) {
  List list{interfaceClass, {}, {}};
  {
    std::lock_guard<std::mutex> lock(tree_.mutex());
    tree_.refreshLocked();
    if (interfaceClass == platform::kGuidDevinterfaceUsbHostController) {
      const auto& controllers = tree_.controllersLocked();
      for (std::size_t i = 0; i < controllers.size(); ++i) {
        list.items.push_back({controllers[i].config.path, kControllerDevInst + static_cast<std::uint32_t>(i), false});
      }
    } else if (interfaceClass == platform::kGuidDevinterfaceUsbHub) {
      for (usb::TreeNode& node : tree_.nodesLocked()) {
        if (!node.config.hub || !tree_.presentLocked(node)) continue;
        list.items.push_back({tree_.interfacePath(node), kNodeDevInst + node.id, node.config.faults.detailFails});
      }
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (classDevsFail_) {
    // What SetupDiGetClassDevsW answers when it cannot build the list.
    setThreadLastError(platform::err::kNotEnoughMemory);
    return platform::kInvalidHandle;
  }
  const platform::OsHandle handle = next_++;
  lists_[handle] = std::move(list);
  return handle;
}

bool SimSetupApi::enumDeviceInterface(platform::OsHandle list, const platform::Guid& interfaceClass,
                                      std::uint32_t index, platform::DeviceInterfaceInfo& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = lists_.find(list);
  if (it == lists_.end() || !(it->second.guid == interfaceClass) || index >= it->second.items.size()) return false;
  const Item& item = it->second.items[index];
  info = platform::DeviceInterfaceInfo{};
  info.device.devInst = item.devInst;
  if (item.detailFails) {
    info.detailOk = false;
    info.error = err::kGenFailure;
    return true;
  }
  info.detailOk = true;
  info.devicePath = item.path;
  return true;
}

platform::PropertyValue SimSetupApi::deviceRegistryProperty(platform::OsHandle list,
                                                            const platform::DeviceInfoData& device,
                                                            std::uint32_t property, std::uint32_t bufferBytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!lists_.count(list)) return {false, err::kInvalidHandle, platform::regtype::kNone, {}};
  }
  using platform::regtype::kMultiSz;
  using platform::regtype::kSz;
  std::lock_guard<std::mutex> lock(tree_.mutex());
  tree_.refreshLocked();
  const std::uint32_t devInst = device.devInst;
  auto& controllers = tree_.controllersLocked();
  if (devInst >= kControllerDevInst && devInst < kControllerDevInst + controllers.size()) {
    const std::size_t i = devInst - kControllerDevInst;
    switch (property) {
      case platform::spdrp::kDeviceDesc: return textProperty(kSz, {controllers[i].config.description}, bufferBytes);
      case platform::spdrp::kPhysicalDeviceObjectName:
        return textProperty(kSz, {wformat(L"\\Device\\NTPNP_PCI%04u", static_cast<unsigned>(i + 20))}, bufferBytes);
      default: return {false, kErrorInvalidData, platform::regtype::kNone, {}};
    }
  }
  auto& nodes = tree_.nodesLocked();
  if (devInst < kNodeDevInst || devInst - kNodeDevInst >= nodes.size()) {
    return {false, kErrorNoSuchDevinst, platform::regtype::kNone, {}};
  }
  usb::TreeNode& node = nodes[devInst - kNodeDevInst];
  if (!tree_.presentLocked(node)) return {false, kErrorNoSuchDevinst, platform::regtype::kNone, {}};
  const bool superSpeed = tree_.idsLocked(node).bcdUSB >= 0x0300;
  switch (property) {
    case platform::spdrp::kDeviceDesc:
      return textProperty(kSz, {superSpeed ? L"Generic SuperSpeed USB Hub" : L"Generic USB Hub"}, bufferBytes);
    case platform::spdrp::kHardwareId: return textProperty(kMultiSz, tree_.hardwareIds(node), bufferBytes);
    case platform::spdrp::kDriver: return textProperty(kSz, {tree_.driverKey(node)}, bufferBytes);
    case platform::spdrp::kPhysicalDeviceObjectName: return textProperty(kSz, {tree_.pdoName(node)}, bufferBytes);
    default: return {false, kErrorInvalidData, platform::regtype::kNone, {}};
  }
}

bool SimSetupApi::setPropChangeParams(platform::OsHandle list, const platform::DeviceInfoData& device,
                                      std::uint32_t stateChange, std::uint32_t scope, std::uint32_t hwProfile,
                                      std::uint32_t& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = lists_.find(list);
  if (it == lists_.end()) {
    error = err::kInvalidHandle;
    return false;
  }
  const bool validScope = scope == platform::dics::kFlagGlobal || scope == platform::dics::kFlagConfigSpecific;
  if (stateChange != platform::dics::kPropChange || !validScope || hwProfile != 0) {
    error = err::kInvalidParameter;
    return false;
  }
  it->second.propChangeSet[device.devInst] = true;
  return true;
}

bool SimSetupApi::callClassInstallerPropChange(platform::OsHandle list, const platform::DeviceInfoData& device,
                                               std::uint32_t& error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lists_.find(list);
    if (it == lists_.end()) {
      error = err::kInvalidHandle;
      return false;
    }
    if (!it->second.propChangeSet[device.devInst]) {
      error = kErrorNoClassInstallParams;
      return false;
    }
  }
  std::lock_guard<std::mutex> lock(tree_.mutex());
  tree_.refreshLocked();
  auto& nodes = tree_.nodesLocked();
  if (device.devInst < kNodeDevInst || device.devInst - kNodeDevInst >= nodes.size()) {
    error = kErrorNoSuchDevinst;
    return false;
  }
  usb::TreeNode& node = nodes[device.devInst - kNodeDevInst];
  if (++node.installerCalls == node.config.faults.installerFailsOnCall) {
    error = err::kGenFailure;
    return false;
  }
  // A device already on its way back is not restarted again.
  if (tree_.presentLocked(node)) tree_.restartLocked(node, "class installer");
  return true;
}

void SimSetupApi::destroyList(platform::OsHandle list) {
  std::lock_guard<std::mutex> lock(mutex_);
  lists_.erase(list);
}

std::size_t SimSetupApi::openLists() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lists_.size();
}

void SimSetupApi::setClassDevsFail(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  classDevsFail_ = fail;
}

}  // namespace hbx::sim
