#include "sim/usb/sim_hub_io.h"

#include <algorithm>
#include <cwctype>

namespace hbx::sim {

namespace {

using platform::HubIoctlResult;
namespace err = platform::err;

constexpr std::size_t kRootHubNameFixed = 6;
constexpr std::size_t kNodeInformationSize = 76;
constexpr std::size_t kConnectionFixed = 35;  // up to the pipe list
constexpr std::size_t kPipeInfoSize = 11;
constexpr std::size_t kConnectionNameFixed = 10;
constexpr std::size_t kDescriptorRequestHeader = 12;

bool sameText(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towupper(x) == std::towupper(y);
         });
}

// "\\.\name" and "\\?\name" both name `name`; anything else names no device.
std::wstring deviceName(const std::wstring& path) {
  if (path.size() > 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'.' || path[2] == L'?') &&
      path[3] == L'\\') {
    return path.substr(4);
  }
  return L"";
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t get16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// A zero-terminated UTF-16LE text at `at`, cut to the buffer.
void putText(std::vector<std::uint8_t>& b, std::size_t at, const std::wstring& text) {
  for (std::size_t i = 0; i <= text.size() && at + 2 * i + 1 < b.size(); ++i) {
    put16(b, at + 2 * i, i < text.size() ? static_cast<std::uint16_t>(text[i]) : 0);
  }
}

std::uint32_t textBytes(const std::wstring& text) { return static_cast<std::uint32_t>(2 * (text.size() + 1)); }

HubIoctlResult fail(std::uint32_t error) { return {false, 0, error}; }
HubIoctlResult done(std::size_t bytes) { return {true, static_cast<std::uint32_t>(bytes), 0}; }

}  // namespace

platform::OpenResult SimHubIo::openHub(const std::wstring& path, std::uint32_t, std::uint32_t) {
  const std::wstring name = deviceName(path);
  std::optional<Target> found;
  std::uint32_t error = err::kFileNotFound;
  {
    std::lock_guard<std::mutex> lock(tree_.mutex());
    tree_.refreshLocked();
    auto& controllers = tree_.controllersLocked();
    for (std::size_t i = 0; i < controllers.size() && !found && !name.empty(); ++i) {
      if (sameText(name, deviceName(controllers[i].config.path))) {
        if (controllers[i].config.openFails) error = err::kAccessDenied;
        else found = Target{true, i, -1};
      } else if (sameText(name, controllers[i].rootHubName)) {
        found = Target{false, i, -1};
      }
    }
    for (usb::TreeNode& node : tree_.nodesLocked()) {
      if (found || name.empty()) break;
      if (!node.config.hub) continue;
      if (!sameText(name, tree_.connectionName(node)) && !sameText(name, deviceName(tree_.interfacePath(node)))) {
        continue;
      }
      if (!tree_.presentLocked(node)) break;
      if (node.config.faults.openFails) error = err::kAccessDenied;
      else found = Target{false, node.controller, static_cast<int>(node.id)};
    }
  }
  if (!found) return {platform::kInvalidHandle, error};
  std::lock_guard<std::mutex> lock(handlesMutex_);
  const platform::OsHandle handle = next_++;
  handles_[handle] = *found;
  return {handle, 0};
}

void SimHubIo::closeHub(platform::OsHandle hub) {
  std::lock_guard<std::mutex> lock(handlesMutex_);
  handles_.erase(hub);
}

std::size_t SimHubIo::openHandles() {
  std::lock_guard<std::mutex> lock(handlesMutex_);
  return handles_.size();
}

HubIoctlResult SimHubIo::hubIoctl(platform::OsHandle hub, std::uint32_t code, std::vector<std::uint8_t>& inOut) {
  Target target;
  {
    std::lock_guard<std::mutex> lock(handlesMutex_);
    const auto it = handles_.find(hub);
    if (it == handles_.end()) return fail(err::kInvalidHandle);
    target = it->second;
  }
  std::lock_guard<std::mutex> lock(tree_.mutex());
  tree_.refreshLocked();
  if (target.node >= 0 && !tree_.presentLocked(tree_.nodesLocked()[target.node])) return fail(err::kGenFailure);
  if (target.controller) {
    // Root hub name and node information share their code; a controller
    // answers the first.
    if (code == platform::ioctl::kUsbGetRootHubName) return rootHubName(target, inOut);
    return fail(err::kInvalidParameter);
  }
  switch (code) {
    case platform::ioctl::kUsbGetNodeInformation: return nodeInformation(target, inOut);
    case platform::ioctl::kUsbGetNodeConnectionInformationEx: return connectionInformation(target, inOut, true);
    case platform::ioctl::kUsbGetNodeConnectionInformation: return connectionInformation(target, inOut, false);
    case platform::ioctl::kUsbGetNodeConnectionName: return connectionName(target, inOut);
    case platform::ioctl::kUsbGetDescriptorFromNodeConnection: return descriptorRequest(target, inOut);
    default: return fail(err::kInvalidParameter);
  }
}

HubIoctlResult SimHubIo::rootHubName(const Target& t, std::vector<std::uint8_t>& buffer) {
  const usb::TreeController& controller = tree_.controllersLocked()[t.controllerIndex];
  if (controller.config.rootHubNameFails) return fail(err::kGenFailure);
  if (buffer.size() < kRootHubNameFixed) return fail(err::kInvalidParameter);
  const std::uint32_t actual = 4 + textBytes(controller.rootHubName);
  std::fill(buffer.begin(), buffer.end(), 0);
  put32(buffer, 0, actual);
  // A buffer too small for the name gets the length only.
  if (buffer.size() < actual) return done(kRootHubNameFixed);
  putText(buffer, 4, controller.rootHubName);
  return done(actual);
}

HubIoctlResult SimHubIo::nodeInformation(const Target& t, std::vector<std::uint8_t>& buffer) {
  if (buffer.size() < kNodeInformationSize) return fail(err::kInvalidParameter);
  std::uint32_t ports = tree_.controllersLocked()[t.controllerIndex].config.ports;
  bool superSpeed = true;
  if (t.node >= 0) {
    usb::TreeNode& node = tree_.nodesLocked()[t.node];
    if (node.config.faults.nodeInfoFails) return fail(err::kGenFailure);
    ports = node.config.ports;
    superSpeed = tree_.idsLocked(node).bcdUSB >= 0x0300;
  }
  std::fill(buffer.begin(), buffer.end(), 0);
  put32(buffer, 0, 0);  // UsbHub
  buffer[4] = superSpeed ? 12 : 9;
  buffer[5] = superSpeed ? 0x2A : 0x29;
  buffer[6] = static_cast<std::uint8_t>(ports);
  put16(buffer, 7, 0x0009);  // per-port power switching and over-current
  buffer[9] = 50;
  return done(kNodeInformationSize);
}

usb::TreeNode* SimHubIo::presentChild(const Target& t, std::uint32_t port) {
  const int child = tree_.childLocked(t.controllerIndex, t.node, port);
  if (child < 0) return nullptr;
  usb::TreeNode& node = tree_.nodesLocked()[child];
  return tree_.presentLocked(node) ? &node : nullptr;
}

HubIoctlResult SimHubIo::connectionInformation(const Target& t, std::vector<std::uint8_t>& buffer, bool ex) {
  if (buffer.size() < kConnectionFixed) return fail(err::kInvalidParameter);
  const std::uint32_t port = get32(buffer, 0);
  const std::uint32_t portCount =
      t.node >= 0 ? tree_.nodesLocked()[t.node].config.ports : tree_.controllersLocked()[t.controllerIndex].config.ports;
  if (port == 0 || port > portCount) return fail(err::kInvalidParameter);
  usb::TreeNode* node = presentChild(t, port);
  if (node && (node->config.faults.connectionFails || (ex && node->config.faults.exFails))) {
    return fail(err::kGenFailure);
  }
  std::fill(buffer.begin(), buffer.end(), 0);
  put32(buffer, 0, port);
  if (node == nullptr) return done(kConnectionFixed);  // NoDeviceConnected
  const auto descriptor = tree_.deviceDescriptorLocked(*node);
  std::copy(descriptor.begin(), descriptor.end(), buffer.begin() + 4);
  const std::uint16_t bcdUSB = tree_.idsLocked(*node).bcdUSB;
  buffer[22] = 1;  // CurrentConfigurationValue
  // EX: Speed (1 full, 2 high, 3 super); the older form: LowSpeed.
  buffer[23] = ex ? (bcdUSB >= 0x0300 ? 3 : bcdUSB >= 0x0200 ? 2 : 1) : 0;
  buffer[24] = node->config.hub ? 1 : 0;
  put16(buffer, 25, static_cast<std::uint16_t>(node->id + 1));  // DeviceAddress
  put32(buffer, 31, 1);                                          // DeviceConnected
  std::size_t bytes = kConnectionFixed;
  if (buffer.size() >= kConnectionFixed + kPipeInfoSize) {
    put32(buffer, 27, 1);  // NumberOfOpenPipes: the interrupt endpoint
    const std::uint8_t pipe[kPipeInfoSize] = {7, 5, 0x81, 3, 2, 0, 12, 0, 0, 0, 0};
    std::copy(pipe, pipe + kPipeInfoSize, buffer.begin() + kConnectionFixed);
    bytes += kPipeInfoSize;
  }
  return done(bytes);
}

HubIoctlResult SimHubIo::connectionName(const Target& t, std::vector<std::uint8_t>& buffer) {
  if (buffer.size() < kConnectionNameFixed) return fail(err::kInvalidParameter);
  const std::uint32_t port = get32(buffer, 0);
  usb::TreeNode* node = presentChild(t, port);
  const std::wstring name = node ? tree_.reportedNameLocked(*node) : L"";
  const std::uint32_t actual = name.empty() ? kConnectionNameFixed : 8 + textBytes(name);
  if (node && buffer.size() < actual) {
    // The length step.
    const std::uint32_t attempt = ++node->nameRequests;
    const usb::DeviceFaults& f = node->config.faults;
    if (attempt <= f.nameFails) return fail(err::kGenFailure);
    if (attempt <= f.nameFails + f.nameShort) {
      std::fill(buffer.begin(), buffer.end(), 0);
      put32(buffer, 0, port);
      put32(buffer, 4, kConnectionNameFixed);
      return done(kConnectionNameFixed);
    }
  } else if (node && !name.empty() && ++node->secondNameRequests <= node->config.faults.nameSecondFails) {
    return fail(err::kGenFailure);
  }
  std::fill(buffer.begin(), buffer.end(), 0);
  put32(buffer, 0, port);
  put32(buffer, 4, actual);
  if (buffer.size() < actual) return done(kConnectionNameFixed);
  putText(buffer, 8, name);
  return done(actual);
}

HubIoctlResult SimHubIo::descriptorRequest(const Target& t, std::vector<std::uint8_t>& buffer) {
  if (buffer.size() < kDescriptorRequestHeader) return fail(err::kInvalidParameter);
  usb::TreeNode* node = presentChild(t, get32(buffer, 0));
  if (node == nullptr) return fail(err::kGenFailure);
  const std::uint8_t bmRequest = buffer[4];
  const std::uint8_t bRequest = buffer[5];
  const std::uint16_t wValue = get16(buffer, 6);
  const std::uint16_t wIndex = get16(buffer, 8);
  const std::uint16_t wLength = get16(buffer, 10);
  if (bmRequest != 0x80 || bRequest != 6) return fail(err::kGenFailure);
  std::vector<std::uint8_t> data;
  if (wValue >> 8 == 1) {
    const auto d = tree_.deviceDescriptorLocked(*node);
    data.assign(d.begin(), d.end());
  } else if (wValue >> 8 == 3) {
    const auto d = tree_.stringDescriptorLocked(*node, wValue & 0xFF, wIndex);
    if (!d) return fail(err::kGenFailure);  // the device stalled
    data = *d;
  } else {
    return fail(err::kGenFailure);
  }
  const std::size_t n = std::min({data.size(), static_cast<std::size_t>(wLength), buffer.size() - kDescriptorRequestHeader});
  std::fill(buffer.begin() + kDescriptorRequestHeader, buffer.end(), 0);
  std::copy_n(data.begin(), n, buffer.begin() + kDescriptorRequestHeader);
  return done(kDescriptorRequestHeader + n);
}

}  // namespace hbx::sim
