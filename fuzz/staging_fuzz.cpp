// Staging of both kinds of source: the firmware area made from firmware code
// and the one cut from a whole image, for any bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "image/image_layout.h"

using namespace hbx;

#define REQUIRE(c) \
  if (!(c)) __builtin_trap()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);

  const auto area = image::firmwareAreaFromCode(bytes);
  // Only code of a length a hub boots is staged; staged code that fits a
  // flash image is firmware its hub boots.
  if (area) {
    REQUIRE(size >= image::kFirmwareLengthMin && size <= image::kFirmwareLengthMax);
    const std::uint8_t majorType = image::majorTypeOf(data[image::kVersionInCode + 3]);
    if (majorType <= 3 && image::kFirmwareAreaOffset + size + 4 <= image::kFlashImageSize)
      REQUIRE(image::firmwareAreaFault(*area, majorType) == image::AreaFault::None);
    REQUIRE(area->size() == size + 4);
    REQUIRE(((*area)[0] | ((*area)[1] << 8)) == static_cast<int>(size));
    REQUIRE(std::memcmp(area->data() + 2, data, size) == 0);
    REQUIRE((*area)[size + 2] == image::chipMarkerOf(data[image::kVersionInCode + 3]));
    REQUIRE((*area)[size + 3] == image::byteSum(bytes));
  } else {
    REQUIRE(size < image::kFirmwareLengthMin || size > image::kFirmwareLengthMax);
  }

  const auto cut = image::firmwareAreaOfImage(bytes);
  REQUIRE(cut.has_value() == (size >= image::kConfigTableSize));
  if (cut) REQUIRE(cut->size() == size - image::kConfigTableSize && cut->data() == data + image::kConfigTableSize);
  return 0;
}
