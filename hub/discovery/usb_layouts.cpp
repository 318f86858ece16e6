#include "hub/discovery/usb_layouts.h"

namespace hbx {

namespace usblayout {

namespace {
std::uint8_t byteAt(const std::vector<std::uint8_t>& b, std::size_t at) { return at < b.size() ? b[at] : 0; }
}  // namespace

std::uint32_t read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(byteAt(b, at)) | (static_cast<std::uint32_t>(byteAt(b, at + 1)) << 8) |
         (static_cast<std::uint32_t>(byteAt(b, at + 2)) << 16) | (static_cast<std::uint32_t>(byteAt(b, at + 3)) << 24);
}

std::uint16_t read16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(byteAt(b, at) | (byteAt(b, at + 1) << 8));
}

void write32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void write16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t value) {
  for (std::size_t i = 0; i < 2 && at + i < b.size(); ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::wstring readText(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::wstring text;
  for (std::size_t i = at; i + 1 < b.size(); i += 2) {
    const std::uint16_t unit = read16(b, i);
    if (unit == 0) break;
    text += static_cast<wchar_t>(unit);
  }
  return text;
}

}  // namespace usblayout

UsbDeviceDescriptor UsbDeviceDescriptor::parse(const std::vector<std::uint8_t>& b, std::size_t at) {
  using usblayout::read16;
  auto byte = [&](std::size_t i) -> std::uint8_t { return at + i < b.size() ? b[at + i] : 0; };
  UsbDeviceDescriptor d;
  d.bLength = byte(0);
  d.bDescriptorType = byte(1);
  d.bcdUSB = read16(b, at + 2);
  d.bDeviceClass = byte(4);
  d.bDeviceSubClass = byte(5);
  d.bDeviceProtocol = byte(6);
  d.bMaxPacketSize0 = byte(7);
  d.idVendor = read16(b, at + 8);
  d.idProduct = read16(b, at + 10);
  d.bcdDevice = read16(b, at + 12);
  d.iManufacturer = byte(14);
  d.iProduct = byte(15);
  d.iSerialNumber = byte(16);
  d.bNumConfigurations = byte(17);
  return d;
}

void UsbDeviceDescriptor::store(std::vector<std::uint8_t>& b, std::size_t at) const {
  using usblayout::write16;
  auto put = [&](std::size_t i, std::uint8_t v) {
    if (at + i < b.size()) b[at + i] = v;
  };
  put(0, bLength);
  put(1, bDescriptorType);
  write16(b, at + 2, bcdUSB);
  put(4, bDeviceClass);
  put(5, bDeviceSubClass);
  put(6, bDeviceProtocol);
  put(7, bMaxPacketSize0);
  write16(b, at + 8, idVendor);
  write16(b, at + 10, idProduct);
  write16(b, at + 12, bcdDevice);
  put(14, iManufacturer);
  put(15, iProduct);
  put(16, iSerialNumber);
  put(17, bNumConfigurations);
}

}  // namespace hbx
