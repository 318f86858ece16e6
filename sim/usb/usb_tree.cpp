#include "sim/usb/usb_tree.h"

#include <algorithm>
#include <cwctype>

#include "base/log/format.h"
#include "sim/sim_clock.h"

namespace hbx::sim::usb {

namespace {

constexpr hub::Ticks kTicksPerMs = 10'000;
constexpr std::uint32_t kStringLanguage = 0x0409;

// Windows takes a serial number as the instance text of a device's name only
// when it is one: printable ASCII without the characters that separate the
// parts of a name, and not too long. Any other serial gets a made-up instance.
bool usableAsInstance(const std::wstring& serial) {
  if (serial.empty() || serial.size() > 120) return false;
  return std::all_of(serial.begin(), serial.end(), [](wchar_t c) {
    return c > 0x20 && c < 0x7F && c != L',' && c != L'#' && c != L'\\' && c != L'{' && c != L'}';
  });
}

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// N of "\Device\USBPDO-N", 0 for any other name.
std::uint32_t usbPdoNumber(const std::wstring& pdoName) {
  const std::wstring prefix = L"\\DEVICE\\USBPDO-";
  const std::wstring name = upper(pdoName);
  if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size() || name.size() > prefix.size() + 6) return 0;
  std::uint32_t n = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < L'0' || name[i] > L'9') return 0;
    n = n * 10 + static_cast<std::uint32_t>(name[i] - L'0');
  }
  return n;
}

const std::optional<hub::ConnectionConfig>& connectionOf(const hub::HubChip& chip, hub::Connection side) {
  return side == hub::Connection::Usb3 ? chip.config().usb3 : chip.config().usb2;
}

}  // namespace

UsbTree::UsbTree(const UsbConfig& config, hub::HubBench& hubs, SimClock& clock)
    : config_(config), hubs_(hubs), clock_(clock) {
  // New physical device objects are numbered above every one the chips use.
  for (hub::HubChip* chip : hubs_.hubs()) {
    for (auto side : {hub::Connection::Usb3, hub::Connection::Usb2}) {
      if (const auto& c = connectionOf(*chip, side)) nextPdo_ = std::max(nextPdo_, usbPdoNumber(c->pdoName) + 1);
    }
  }
  for (std::size_t i = 0; i < config.controllers.size(); ++i) {
    TreeController controller;
    controller.config = config.controllers[i];
    controller.config.devices.clear();
    controller.rootHubName = controller.config.rootHub.empty()
                                 ? wformat(L"USB#ROOT_HUB30#4&%08x&0&0#%s", 0x2a8c5e10u + i * 0x1111u,
                                           kHubInterfaceGuidText)
                                 : controller.config.rootHub;
    controller.ports.assign(controller.config.ports + 1, -1);
    controllers_.push_back(controller);
    addDevices(i, -1, 1, config.controllers[i].devices, controllers_[i].ports);
  }
  std::lock_guard<std::mutex> lock(hubs_.mutex());
  for (TreeNode& node : nodes_) {
    if (!node.chip) continue;
    node.chipArrival = node.chip->busArrival();
    node.chip->setPdoName(node.config.side, pdoName(node));
  }
}

void UsbTree::addDevices(std::size_t controller, int parent, std::uint32_t tier,
                         const std::vector<DeviceConfig>& devices, std::vector<int>& ports) {
  for (const DeviceConfig& device : devices) {
    TreeNode node;
    node.id = static_cast<std::uint32_t>(nodes_.size());
    node.controller = controller;
    node.parent = parent;
    node.tier = tier;
    node.config = device;
    node.config.devices.clear();
    node.driverKey = 0x10 + node.id;
    if (device.ourChip()) {
      node.chip = hubs_.hub(device.chip);
      const auto& c = connectionOf(*node.chip, device.side);
      node.pdoNumber = usbPdoNumber(c->pdoName);
      if (node.config.instance.empty() && usableAsInstance(node.chip->config().serial)) {
        node.instance = node.chip->config().serial;
        // Windows names a second device with the same ids and serial number
        // by its place, as if it had none: two devices never share a name.
        const std::wstring path = interfacePath(node);
        for (const TreeNode& other : nodes_) {
          if (interfacePath(other) == path) node.instance.clear();
        }
      }
    }
    if (node.pdoNumber == 0) node.pdoNumber = nextPdo_++;
    if (node.instance.empty()) node.instance = node.config.instance;
    if (node.instance.empty()) {
      node.instance = wformat(L"%u&%x&0&%u", 4 + tier, 0x1b3c5d70u + node.id * 0x1011u, device.port);
    }
    if (device.hub) node.ports.assign(device.ports + 1, -1);
    nodes_.push_back(node);
    ports[device.port] = static_cast<int>(node.id);
    if (device.hub) {
      std::vector<int> childPorts(device.ports + 1, -1);
      addDevices(controller, static_cast<int>(node.id), tier + 1, device.devices, childPorts);
      nodes_[node.id].ports = childPorts;
    }
  }
}

hub::Ticks UsbTree::now() const { return clock_.performanceCounter(); }

void UsbTree::setRestartMs(std::uint32_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.restartMs = ms;
}

void UsbTree::setChipPdoLocked(TreeNode& node, const std::wstring& pdo) {
  if (!node.chip) return;
  std::lock_guard<std::mutex> lock(hubs_.mutex());
  node.chip->setPdoName(node.config.side, pdo);
}

void UsbTree::renumberSubtreeLocked(TreeNode& node, hub::Ticks awayUntil, const char* how) {
  RestartRecord record{node.id, pdoName(node), L"", how};
  node.pdoNumber = nextPdo_++;
  record.newPdo = pdoName(node);
  restarts_.push_back(record);
  node.awayUntil = std::max(node.awayUntil, awayUntil);
  node.renamePending = node.awayUntil > now();
  // The old device object is gone at once; the new one exists once the
  // device is back.
  setChipPdoLocked(node, node.renamePending ? L"" : pdoName(node));
  for (int child : node.ports) {
    if (child >= 0) renumberSubtreeLocked(nodes_[child], awayUntil, how);
  }
}

void UsbTree::restartLocked(TreeNode& node, const char* how) {
  renumberSubtreeLocked(node, now() + static_cast<hub::Ticks>(config_.restartMs) * kTicksPerMs, how);
}

void UsbTree::refreshLocked() {
  const hub::Ticks t = now();
  for (TreeNode& node : nodes_) {
    if (node.renamePending && t >= node.awayUntil) {
      node.renamePending = false;
      setChipPdoLocked(node, pdoName(node));
    }
    if (!node.chip) continue;
    hub::Ticks arrival = 0;
    {
      std::lock_guard<std::mutex> lock(hubs_.mutex());
      arrival = node.chip->busArrival();
    }
    if (arrival != node.chipArrival) {
      node.chipArrival = arrival;
      renumberSubtreeLocked(node, 0, "re-enumeration");
    }
  }
}

bool UsbTree::presentLocked(const TreeNode& node) {
  const hub::Ticks t = now();
  for (const TreeNode* n = &node;; n = &nodes_[n->parent]) {
    if (t < n->awayUntil) return false;
    if (n->chip) {
      std::lock_guard<std::mutex> lock(hubs_.mutex());
      hub::HubBench::Access access(hubs_, *n->chip);  // another process may have cut or restored its power
      if (!n->chip->present(t)) return false;
    }
    if (n->parent < 0) return true;
  }
}

int UsbTree::childLocked(std::size_t controller, int hubNode, std::uint32_t port) const {
  const std::vector<int>& ports = hubNode < 0 ? controllers_[controller].ports : nodes_[hubNode].ports;
  return port < ports.size() && port > 0 ? ports[port] : -1;
}

DeviceIds UsbTree::idsLocked(const TreeNode& node) {
  if (!node.chip) return {node.config.vid, node.config.pid, node.config.bcdUSB};
  std::lock_guard<std::mutex> lock(hubs_.mutex());
  const auto& c = connectionOf(*node.chip, node.config.side);
  return {node.chip->config().vid, c ? c->pid : std::uint16_t{0}, c ? c->bcdUSB : std::uint16_t{0}};
}

std::array<std::uint8_t, 18> UsbTree::deviceDescriptorLocked(const TreeNode& node) {
  std::array<std::uint8_t, 18> d{};
  if (node.chip) {
    std::lock_guard<std::mutex> lock(hubs_.mutex());
    node.chip->usbDeviceDescriptor(node.config.side, d.data(), static_cast<std::uint32_t>(d.size()));
    return d;
  }
  const DeviceConfig& c = node.config;
  // String indices: manufacturer 1, product 2, serial 3, each only when present.
  d = {18,
       1,
       static_cast<std::uint8_t>(c.bcdUSB),
       static_cast<std::uint8_t>(c.bcdUSB >> 8),
       static_cast<std::uint8_t>(c.hub ? 9 : 0),
       0,
       static_cast<std::uint8_t>(c.hub ? (c.bcdUSB >= 0x0300 ? 3 : 1) : 0),
       static_cast<std::uint8_t>(c.bcdUSB >= 0x0300 ? 9 : 64),
       static_cast<std::uint8_t>(c.vid),
       static_cast<std::uint8_t>(c.vid >> 8),
       static_cast<std::uint8_t>(c.pid),
       static_cast<std::uint8_t>(c.pid >> 8),
       static_cast<std::uint8_t>(c.bcdDevice),
       static_cast<std::uint8_t>(c.bcdDevice >> 8),
       static_cast<std::uint8_t>(c.manufacturer.empty() && !c.rawStrings.manufacturer ? 0 : 1),
       static_cast<std::uint8_t>(c.product.empty() && !c.rawStrings.product ? 0 : 2),
       static_cast<std::uint8_t>(c.serial.empty() && !c.rawStrings.serial ? 0 : 3),
       1};
  return d;
}

std::optional<std::vector<std::uint8_t>> UsbTree::stringDescriptorLocked(const TreeNode& node, std::uint32_t index,
                                                                         std::uint32_t language) {
  if (node.chip) {
    std::vector<std::uint8_t> out(255);
    std::lock_guard<std::mutex> lock(hubs_.mutex());
    const hub::Reply reply = node.chip->usbStringDescriptor(node.config.side, index, language, out.data(), 255);
    if (reply.error != 0) return std::nullopt;
    out.resize(reply.bytes);
    return out;
  }
  if (index == 0) return std::vector<std::uint8_t>{4, 3, kStringLanguage & 0xFF, kStringLanguage >> 8};
  const DeviceConfig& c = node.config;
  std::optional<std::vector<std::uint8_t>> found;
  if (index == 1 && (!c.manufacturer.empty() || c.rawStrings.manufacturer)) {
    found = stringBytes(c.rawStrings.manufacturer, c.manufacturer);
  }
  if (index == 2 && (!c.product.empty() || c.rawStrings.product)) found = stringBytes(c.rawStrings.product, c.product);
  if (index == 3 && (!c.serial.empty() || c.rawStrings.serial)) found = stringBytes(c.rawStrings.serial, c.serial);
  if (!found || language != kStringLanguage) return std::nullopt;  // the device stalls
  return found;
}

std::wstring UsbTree::enumerator(const TreeNode& node) const {
  switch (controllers_[node.controller].config.stack) {
    case Stack::Inbox: return L"USB";
    case Stack::Mcci: return L"CORVANEUSBD_HUB";
    case Stack::Intel: return L"IUSB3";
    case Stack::Amd: return L"AMDUSB30";
    case Stack::Renesas: return L"RENESAS_USB3";
    case Stack::Nec: return L"NUSB3";
  }
  return L"USB";
}

std::wstring UsbTree::connectionName(const TreeNode& node) const {
  if (!node.config.hub) return L"";
  // The MCCI stack names a hub by a GUID-like text whose first group is one
  // above the number of its physical device object.
  if (controllers_[node.controller].config.stack == Stack::Mcci) {
    return wformat(L"{%08X-A7F3-4C6B-9E21-%012X}", node.pdoNumber + 1, 0x3A7F0000u + node.id);
  }
  const DeviceIds ids = node.chip ? DeviceIds{node.chip->config().vid,
                                              connectionOf(*node.chip, node.config.side)->pid, 0}
                                  : DeviceIds{node.config.vid, node.config.pid, 0};
  return wformat(L"%s#VID_%04X&PID_%04X#%s#%s", enumerator(node), ids.vid, ids.pid, node.instance,
                 kHubInterfaceGuidText);
}

std::wstring UsbTree::reportedNameLocked(const TreeNode& node) const {
  const std::uint32_t up = node.config.faults.nameOfAncestor;
  if (up == 0 || !node.config.hub) return connectionName(node);
  int at = node.parent;
  for (std::uint32_t step = 1; step < up && at >= 0; ++step) at = nodes_[static_cast<std::size_t>(at)].parent;
  return at >= 0 ? connectionName(nodes_[static_cast<std::size_t>(at)]) : controllers_[node.controller].rootHubName;
}

std::wstring UsbTree::interfacePath(const TreeNode& node) const {
  const DeviceIds ids = node.chip ? DeviceIds{node.chip->config().vid,
                                              connectionOf(*node.chip, node.config.side)->pid, 0}
                                  : DeviceIds{node.config.vid, node.config.pid, 0};
  return lower(wformat(L"\\\\?\\%s#vid_%04x&pid_%04x#%s#%s", enumerator(node), ids.vid, ids.pid, node.instance,
                       kHubInterfaceGuidText));
}

std::wstring UsbTree::pdoName(const TreeNode& node) const {
  if (controllers_[node.controller].config.stack == Stack::Mcci && node.config.hub) {
    return wformat(L"\\Device\\{%08x-a7f3-4c6b-9e21-%012x}", node.pdoNumber, 0x3A7F0000u + node.id);
  }
  return wformat(L"\\Device\\USBPDO-%u", node.pdoNumber);
}

std::wstring UsbTree::driverKey(const TreeNode& node) const {
  return wformat(L"%s\\%04u", kUsbClassGuidText, node.driverKey);
}

std::vector<std::wstring> UsbTree::hardwareIds(const TreeNode& node) {
  const DeviceIds ids = idsLocked(node);
  const std::uint16_t rev = node.chip ? node.chip->config().bcdDevice : node.config.bcdDevice;
  const std::wstring base = wformat(L"%s\\VID_%04X&PID_%04X", enumerator(node), ids.vid, ids.pid);
  return {wformat(L"%s&REV_%04X", base, rev), base};
}

int UsbTree::restartByHardwareId(const std::wstring& hardwareId) {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked();
  int count = 0;
  for (TreeNode& node : nodes_) {
    if (!node.config.hub || !presentLocked(node)) continue;
    const auto ids = hardwareIds(node);
    if (std::find(ids.begin(), ids.end(), upper(hardwareId)) == ids.end()) continue;
    restartLocked(node, "device console");
    ++count;
  }
  return count;
}

std::vector<RestartRecord> UsbTree::restarts() {
  std::lock_guard<std::mutex> lock(mutex_);
  return restarts_;
}

int UsbTree::findChipFunction(const std::string& chip, hub::Connection side) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const TreeNode& node : nodes_) {
    if (node.config.chip == chip && node.config.side == side) return static_cast<int>(node.id);
  }
  return -1;
}

TreeNode UsbTree::node(std::uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked();
  return nodes_.at(id);
}

std::wstring UsbTree::connectionNameOf(std::uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked();
  return connectionName(nodes_.at(id));
}

std::wstring UsbTree::pdoNameOf(std::uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked();
  return pdoName(nodes_.at(id));
}

std::vector<std::string> UsbTree::describe() {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked();
  std::vector<std::string> lines;
  auto walk = [&](auto& self, const std::vector<int>& ports) -> void {
    for (std::size_t port = 1; port < ports.size(); ++port) {
      if (ports[port] < 0) continue;
      TreeNode& n = nodes_[ports[port]];
      const DeviceIds ids = idsLocked(n);
      std::string line = std::string(2 * n.tier, ' ') +
                         nformat("tier=%u port=%u %04x:%04x bcdUSB=%04x", n.tier, n.config.port, ids.vid, ids.pid,
                                 ids.bcdUSB);
      if (n.config.hub) line += nformat(" hub ports=%u", n.config.ports);
      else line += " device";
      if (n.chip) line += " chip=" + n.config.chip + (n.config.side == hub::Connection::Usb3 ? " usb3" : " usb2");
      if (n.config.hub) line += " pdo=" + toUtf8(pdoName(n)) + " name=" + toUtf8(connectionName(n));
      if (!presentLocked(n)) line += " (away)";
      lines.push_back(line);
      self(self, n.ports);
    }
  };
  for (std::size_t i = 0; i < controllers_.size(); ++i) {
    const TreeController& c = controllers_[i];
    lines.push_back(nformat("controller %u stack=%s ports=%u [%S] root=%S", static_cast<unsigned>(i),
                            stackName(c.config.stack), c.config.ports, c.config.description, c.rootHubName));
    walk(walk, c.ports);
  }
  return lines;
}

}  // namespace hbx::sim::usb
