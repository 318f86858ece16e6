#include "image/image_layout.h"

namespace hbx::image {

std::uint8_t majorTypeOf(std::uint8_t versionByte3) { return (versionByte3 >> 4) & 0x07; }

std::uint8_t chipMarkerOf(std::uint8_t versionByte3) {
  static constexpr std::uint8_t kMarkers[4] = {0xAA, 0x4B, 0x3C, 0x2D};
  return kMarkers[(versionByte3 >> 4) & 0x03];
}

std::uint8_t byteSum(std::span<const std::uint8_t> bytes) {
  std::uint8_t sum = 0;
  for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
  return sum;
}

std::uint8_t configTableChecksum(std::span<const std::uint8_t, kConfigTableSize> table) {
  return byteSum(std::span<const std::uint8_t>(table).subspan(
      kConfigChecksumFirst, kConfigChecksumEnd - kConfigChecksumFirst));
}

std::optional<VersionBytes> versionBytesAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < kVersionBytes) return std::nullopt;
  VersionBytes version{};
  for (std::size_t i = 0; i < kVersionBytes; ++i) version[i] = bytes[offset + i];
  return version;
}

std::optional<std::vector<std::uint8_t>> firmwareAreaFromCode(std::span<const std::uint8_t> code) {
  if (code.size() < kFirmwareLengthMin || code.size() > kFirmwareLengthMax) return std::nullopt;
  const std::optional<VersionBytes> version = versionBytesAt(code, kVersionInCode);
  std::vector<std::uint8_t> area;
  area.reserve(code.size() + 4);
  area.push_back(static_cast<std::uint8_t>(code.size() & 0xFF));
  area.push_back(static_cast<std::uint8_t>((code.size() >> 8) & 0xFF));
  area.insert(area.end(), code.begin(), code.end());
  area.push_back(chipMarkerOf((*version)[kTypeByteIndex]));
  area.push_back(byteSum(code));
  return area;
}

AreaFault firmwareAreaFault(std::span<const std::uint8_t> area, std::uint8_t majorType) {
  if (area.size() < kFirmwareLengthBytes) return AreaFault::Short;
  const std::size_t length = area[0] | (area[1] << 8);
  if (length < kFirmwareLengthMin || length > kFirmwareLengthMax ||
      kFirmwareAreaOffset + length + 4 > kFlashImageSize)
    return AreaFault::Length;
  if (area.size() < length + 4) return AreaFault::Short;
  const std::span<const std::uint8_t> code = area.subspan(kFirmwareLengthBytes, length);
  if (area[length + 2] != chipMarkerOf(static_cast<std::uint8_t>(majorType << 4))) return AreaFault::Marker;
  if (area[length + 3] != byteSum(code)) return AreaFault::Checksum;
  return AreaFault::None;
}

const wchar_t* areaFaultText(AreaFault fault) {
  switch (fault) {
    case AreaFault::None: return L"bootable";
    case AreaFault::Length: return L"firmware length out of range";
    case AreaFault::Short: return L"firmware area cut short";
    case AreaFault::Marker: return L"wrong chip marker";
    case AreaFault::Checksum: return L"wrong firmware checksum";
  }
  return L"";
}

bool bConfigTableSealed(std::span<const std::uint8_t, kConfigTableSize> table) {
  return table[kConfigChecksumOffset] == configTableChecksum(table);
}

std::optional<std::span<const std::uint8_t>> firmwareAreaOfImage(std::span<const std::uint8_t> image) {
  if (image.size() < kConfigTableSize) return std::nullopt;
  return image.subspan(kConfigTableSize);
}

}  // namespace hbx::image
