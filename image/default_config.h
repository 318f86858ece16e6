#pragma once
// The built-in register table and the default configuration table that a hub
// receives when its own table cannot be read.
#include <array>
#include <cstdint>

#include "image/image_layout.h"

namespace hbx::image {

inline constexpr std::size_t kRegisterTableSize = 0x6B;
using RegisterTable = std::array<std::uint8_t, kRegisterTableSize>;
using ConfigTable = std::array<std::uint8_t, kConfigTableSize>;

// The register values the program starts with.
inline constexpr RegisterTable kDefaultRegisterTable = {
    0x2D, 0x88, 0x88, 0x88, 0x03, 0x01, 0x03, 0x48, 0x0C, 0x00, 0x00, 0x9E, 0x9C, 0x9C, 0x9C, 0x9C,
    0x42, 0xC0, 0xC0, 0xC0, 0xC0, 0x30, 0x04, 0x40, 0xEE, 0x13, 0x03, 0x3D, 0x19, 0x60, 0x02,
    // the remaining 76 bytes are 0x00
};

// Where the fields of a configuration table sit.
inline constexpr std::size_t kSerialTextOffset = 0x04;
inline constexpr std::size_t kManufacturerTextOffset = 0x18;
inline constexpr std::size_t kProductTextOffset = 0x44;
inline constexpr std::size_t kVendorIdOffset = 0x84;
inline constexpr std::size_t kProductIdOffset = 0x86;
inline constexpr std::size_t kDeviceReleaseOffset = 0x88;
inline constexpr std::size_t kRegisterTableOffset = 0x8D;
inline constexpr std::size_t kChipIdOffset = 0xF8;

// The default table: 0xFF everywhere but its texts, ids, the register table,
// the marker of major type 0 and the checksum.
ConfigTable buildDefaultConfigTable(const RegisterTable& registers);

// Puts the marker and the checksum into the last two bytes of a table.
void sealConfigTable(ConfigTable& table, std::uint8_t marker);

}  // namespace hbx::image
