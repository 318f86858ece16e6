#include "image/default_config.h"

#include <algorithm>
#include <string_view>

namespace hbx::image {

namespace {

// Writes an 8-bit text and its terminating 0.
void putText(ConfigTable& table, std::size_t offset, std::string_view text) {
  std::copy(text.begin(), text.end(), table.begin() + static_cast<std::ptrdiff_t>(offset));
  table[offset + text.size()] = 0;
}

void putWord(ConfigTable& table, std::size_t offset, std::uint16_t value) {
  table[offset] = static_cast<std::uint8_t>(value & 0xFF);
  table[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

static_assert(kRegisterTableOffset + kRegisterTableSize <= kChipIdOffset);

}  // namespace

void sealConfigTable(ConfigTable& table, std::uint8_t marker) {
  table[kConfigMarkerOffset] = marker;
  table[kConfigChecksumOffset] = configTableChecksum(table);
}

ConfigTable buildDefaultConfigTable(const RegisterTable& registers) {
  ConfigTable table;
  table.fill(0xFF);
  putText(table, kSerialTextOffset, "123456789ABCDEF");
  putText(table, kManufacturerTextOffset, "Corvane");
  putText(table, kProductTextOffset, "HBX763x");
  putWord(table, kVendorIdOffset, 0x2E8B);
  putWord(table, kProductIdOffset, 0x9634);
  putWord(table, kDeviceReleaseOffset, 0x0100);
  std::copy(registers.begin(), registers.end(),
            table.begin() + static_cast<std::ptrdiff_t>(kRegisterTableOffset));
  putWord(table, kChipIdOffset, 0x8634);
  sealConfigTable(table, chipMarkerOf(0x00));
  return table;
}

}  // namespace hbx::image
