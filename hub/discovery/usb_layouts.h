#pragma once
// The packed layouts of the USB hub I/O controls as the discovery code reads
// and writes them: offsets, sizes and little-endian field access. Buffers are
// plain bytes; every read is bounds-checked and reads 0 past the end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hbx {

namespace usblayout {
// USB_ROOT_HUB_NAME: ActualLength, then the name.
inline constexpr std::size_t kRootHubNameFirstBytes = 6;
inline constexpr std::size_t kRootHubNameText = 4;
// USB_NODE_INFORMATION: bNumberOfPorts of the hub descriptor.
inline constexpr std::size_t kNodeInformationBytes = 76;
inline constexpr std::size_t kNodePortCount = 6;
// USB_NODE_CONNECTION_INFORMATION(_EX).
inline constexpr std::size_t kConnectionInfoExBytes = 695;
inline constexpr std::size_t kConnectionInfoBytes = 365;
inline constexpr std::size_t kConnectionIndex = 0;
inline constexpr std::size_t kDeviceDescriptor = 4;
inline constexpr std::size_t kCurrentConfigurationValue = 22;
inline constexpr std::size_t kSpeed = 23;  // LowSpeed in the older layout
inline constexpr std::size_t kDeviceIsHub = 24;
inline constexpr std::size_t kDeviceAddress = 25;
inline constexpr std::size_t kNumberOfOpenPipes = 27;
inline constexpr std::size_t kConnectionStatus = 31;
inline constexpr std::size_t kPipeList = 35;
inline constexpr std::uint32_t kDeviceConnected = 1;
// USB_NODE_CONNECTION_NAME.
inline constexpr std::size_t kConnectionNameFirstBytes = 10;
inline constexpr std::size_t kConnectionNameActualLength = 4;
inline constexpr std::size_t kConnectionNameText = 8;
// USB_DESCRIPTOR_REQUEST: index, setup packet, then the data.
inline constexpr std::size_t kDescriptorRequestBytes = 2060;
inline constexpr std::size_t kSetupPacket = 4;
inline constexpr std::size_t kDescriptorData = 12;
inline constexpr std::size_t kDeviceDescriptorBytes = 18;

std::uint32_t read32(const std::vector<std::uint8_t>& b, std::size_t at);
std::uint16_t read16(const std::vector<std::uint8_t>& b, std::size_t at);
void write32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t value);
void write16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t value);
// The UTF-16LE text from `at` up to its zero or the end of the buffer.
std::wstring readText(const std::vector<std::uint8_t>& b, std::size_t at);
}  // namespace usblayout

// USB_DEVICE_DESCRIPTOR.
struct UsbDeviceDescriptor {
  std::uint8_t bLength = 0;
  std::uint8_t bDescriptorType = 0;
  std::uint16_t bcdUSB = 0;
  std::uint8_t bDeviceClass = 0;
  std::uint8_t bDeviceSubClass = 0;
  std::uint8_t bDeviceProtocol = 0;
  std::uint8_t bMaxPacketSize0 = 0;
  std::uint16_t idVendor = 0;
  std::uint16_t idProduct = 0;
  std::uint16_t bcdDevice = 0;
  std::uint8_t iManufacturer = 0;
  std::uint8_t iProduct = 0;
  std::uint8_t iSerialNumber = 0;
  std::uint8_t bNumConfigurations = 0;

  // From the 18 bytes at `at` (zeros past the buffer's end).
  static UsbDeviceDescriptor parse(const std::vector<std::uint8_t>& b, std::size_t at);
  void store(std::vector<std::uint8_t>& b, std::size_t at) const;
};

}  // namespace hbx
