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
  if (area) {
    REQUIRE(size >= image::kVersionInCode + image::kVersionBytes && size <= 0xFFFF);
    REQUIRE(area->size() == size + 4);
    REQUIRE(((*area)[0] | ((*area)[1] << 8)) == static_cast<int>(size));
    REQUIRE(std::memcmp(area->data() + 2, data, size) == 0);
    REQUIRE((*area)[size + 2] == image::chipMarkerOf(data[image::kVersionInCode + 3]));
    REQUIRE((*area)[size + 3] == image::byteSum(bytes));
  } else {
    REQUIRE(size < image::kVersionInCode + image::kVersionBytes || size > 0xFFFF);
  }

  const auto cut = image::firmwareAreaOfImage(bytes);
  REQUIRE(cut.has_value() == (size >= image::kConfigTableSize));
  if (cut) REQUIRE(cut->size() == size - image::kConfigTableSize && cut->data() == data + image::kConfigTableSize);
  return 0;
}
