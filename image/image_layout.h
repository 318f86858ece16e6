#pragma once
// The layout of a firmware image as a hub keeps it in its SPI flash, and the
// byte rules every image of the program follows: the configuration table, the
// firmware area with its length, chip marker and checksum, and where the
// version bytes sit. Pure functions on byte buffers; no I/O.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace hbx::image {

// Configuration table: bytes 0-255 of an image.
inline constexpr std::size_t kConfigTableSize = 256;
inline constexpr std::size_t kConfigChecksumFirst = 4;  // the sum runs over bytes 4..254,
inline constexpr std::size_t kConfigChecksumEnd = 0xFF;  // marker included
inline constexpr std::size_t kConfigMarkerOffset = 0xFE;
inline constexpr std::size_t kConfigChecksumOffset = 0xFF;

// Firmware area: from byte 256, a 16-bit length L, L code bytes, marker, sum.
inline constexpr std::size_t kFirmwareAreaOffset = kConfigTableSize;
inline constexpr std::size_t kFirmwareLengthBytes = 2;
inline constexpr std::uint32_t kFirmwareLengthMin = 0x5000;
inline constexpr std::uint32_t kFirmwareLengthMax = 0xFFFE;

// Version bytes: six bytes at 0x200 of the firmware code, which is 0x302 of
// a whole image. Byte 3 of them carries the major type and the marker bits.
inline constexpr std::size_t kVersionBytes = 6;
inline constexpr std::size_t kVersionInCode = 0x200;
inline constexpr std::size_t kVersionInImage =
    kFirmwareAreaOffset + kFirmwareLengthBytes + kVersionInCode;  // 0x302
inline constexpr std::size_t kTypeByteIndex = 3;

// Size rules of the two kinds of source file.
inline constexpr std::size_t kFirmwareFileMax = 0xFEF8;
inline constexpr std::size_t kImageSizeMajorType1 = 65536;
inline constexpr std::size_t kImageSizeMajorType2 = 32768;

using VersionBytes = std::array<std::uint8_t, kVersionBytes>;

// Major type (chip type) of a firmware: bits 6-4 of version byte 3.
std::uint8_t majorTypeOf(std::uint8_t versionByte3);

// Chip marker chosen by bits 5-4 of version byte 3: AA, 4B, 3C, 2D.
std::uint8_t chipMarkerOf(std::uint8_t versionByte3);

// The sum of the bytes modulo 256.
std::uint8_t byteSum(std::span<const std::uint8_t> bytes);

// The checksum of a configuration table: bytes 4 to 254 modulo 256. The
// table must hold 256 bytes.
std::uint8_t configTableChecksum(std::span<const std::uint8_t, kConfigTableSize> table);

// The six version bytes at `offset`, or nothing when they do not all lie
// inside `bytes`.
std::optional<VersionBytes> versionBytesAt(std::span<const std::uint8_t> bytes, std::size_t offset);

// A hub's flash image is 64 KiB: a firmware area must end inside it.
inline constexpr std::size_t kFlashImageSize = 0x10000;

// The firmware area made from firmware code: its length (low byte first),
// the code, the chip marker and the checksum. Nothing when the code length
// is outside 0x5000..0xFFFE: a hub boots no firmware of another length.
std::optional<std::vector<std::uint8_t>> firmwareAreaFromCode(std::span<const std::uint8_t> code);

// Why a hub would not boot a firmware area (bytes from 256 of an image).
enum class AreaFault {
  None,
  Length,    // L outside 0x5000..0xFFFE, or the area ends past the 64 KiB image
  Short,     // the bytes end before the code, its marker and its checksum
  Marker,    // the byte after the code is not the marker of `majorType`
  Checksum,  // the byte after the marker is not the sum of the code
};
AreaFault firmwareAreaFault(std::span<const std::uint8_t> area, std::uint8_t majorType);
const wchar_t* areaFaultText(AreaFault fault);

// The table's last byte holds the checksum of bytes 4 to 254.
bool bConfigTableSealed(std::span<const std::uint8_t, kConfigTableSize> table);

// The firmware area of a whole image: its bytes from 256 to the end. Nothing
// for an image shorter than its configuration table.
std::optional<std::span<const std::uint8_t>> firmwareAreaOfImage(std::span<const std::uint8_t> image);

}  // namespace hbx::image
