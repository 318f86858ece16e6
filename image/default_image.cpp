#include "image/default_image.h"

#include <algorithm>

#include "image/default_config.h"

namespace hbx::image {

static_assert(kFirmwareAreaOffset + kDefaultImageFirmwareLength + 4 <= kDefaultImageSize);
static_assert(kDefaultImageFirmwareLength >= kFirmwareLengthMin);

std::vector<std::uint8_t> buildDefaultImage() {
  const std::uint8_t typeByte = kDefaultImageVersion[kTypeByteIndex];

  // Firmware code: a fixed filler pattern with the version bytes in place.
  std::vector<std::uint8_t> code(kDefaultImageFirmwareLength);
  for (std::size_t i = 0; i < code.size(); ++i)
    code[i] = static_cast<std::uint8_t>((i * 37 + (i >> 8) + 11) & 0xFF);
  std::copy(kDefaultImageVersion.begin(), kDefaultImageVersion.end(),
            code.begin() + static_cast<std::ptrdiff_t>(kVersionInCode));

  ConfigTable table = buildDefaultConfigTable(kDefaultRegisterTable);
  sealConfigTable(table, chipMarkerOf(typeByte));

  std::vector<std::uint8_t> image(table.begin(), table.end());
  const std::optional<std::vector<std::uint8_t>> area = firmwareAreaFromCode(code);
  image.insert(image.end(), area->begin(), area->end());
  image.resize(kDefaultImageSize, 0xFF);
  return image;
}

}  // namespace hbx::image
