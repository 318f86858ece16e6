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
  if (code.size() > 0xFFFF) return std::nullopt;
  const std::optional<VersionBytes> version = versionBytesAt(code, kVersionInCode);
  if (!version) return std::nullopt;
  std::vector<std::uint8_t> area;
  area.reserve(code.size() + 4);
  area.push_back(static_cast<std::uint8_t>(code.size() & 0xFF));
  area.push_back(static_cast<std::uint8_t>((code.size() >> 8) & 0xFF));
  area.insert(area.end(), code.begin(), code.end());
  area.push_back(chipMarkerOf((*version)[kTypeByteIndex]));
  area.push_back(byteSum(code));
  return area;
}

std::optional<std::span<const std::uint8_t>> firmwareAreaOfImage(std::span<const std::uint8_t> image) {
  if (image.size() < kConfigTableSize) return std::nullopt;
  return image.subspan(kConfigTableSize);
}

}  // namespace hbx::image
