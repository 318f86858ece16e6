#pragma once
// USB hub I/O controls (IOCTL_USB_*) on hub and root-hub handles. Requests and
// replies are raw byte buffers laid out as Windows' packed structures; the
// program builds and parses the bytes itself.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_io.h"
#include "platform/os_types.h"

namespace hbx::platform {

namespace ioctl {
// Root hub name (sent to a host controller) and node information (sent to a
// hub) share one code, as on Windows.
inline constexpr std::uint32_t kUsbGetRootHubName = 0x00220408;
inline constexpr std::uint32_t kUsbGetNodeInformation = 0x00220408;
inline constexpr std::uint32_t kUsbGetNodeConnectionInformation = 0x0022040C;
inline constexpr std::uint32_t kUsbGetDescriptorFromNodeConnection = 0x00220410;
inline constexpr std::uint32_t kUsbGetNodeConnectionName = 0x00220414;
inline constexpr std::uint32_t kUsbGetNodeConnectionInformationEx = 0x00220448;
}  // namespace ioctl

struct HubIoctlResult {
  bool ok = false;             // DeviceIoControl returned TRUE
  std::uint32_t bytes = 0;     // bytes returned
  std::uint32_t error = 0;     // GetLastError() on failure
};

class HubIoPort {
 public:
  virtual ~HubIoPort() = default;

  // CreateFileW on a host controller or hub path (synchronous handle).
  virtual OpenResult openHub(const std::wstring& path, std::uint32_t desiredAccess,
                             std::uint32_t shareMode) = 0;
  // Synchronous DeviceIoControl. `inOut` is the request on entry; on return it
  // holds the reply in its first `bytes` bytes. Its size is the buffer length
  // passed as both input and output length, as the hub IOCTLs are used.
  virtual HubIoctlResult hubIoctl(OsHandle hub, std::uint32_t code,
                                  std::vector<std::uint8_t>& inOut) = 0;
  virtual void closeHub(OsHandle hub) = 0;
};

}  // namespace hbx::platform
