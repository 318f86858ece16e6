// An exported image: any bytes as the file, read through a file that may
// fail or come up short, split into the image and its trailer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/memory_files.h"
#include "image/version_rules.h"
#include "update/exported_image.h"

using namespace hbx;

#define REQUIRE(c) \
  if (!(c)) __builtin_trap()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Byte 0 picks the file behaviour, byte 1 the read limit.
  fuzz::MemoryFiles files;
  files.failOpen = (data[0] & 1) != 0;
  files.failSize = (data[0] & 2) != 0;
  if (data[0] & 4) files.readLimit = static_cast<std::uint32_t>(data[1]) * 3;
  files.content.assign(data + 2, data + size);
  const std::vector<std::uint8_t>& file = files.content;

  std::vector<std::uint8_t> image{1, 2, 3};
  update::ExportedTrailer trailer;
  std::uint32_t error = 0;
  const bool split = update::bReadExportedImage(files, L"C:\\HBX\\HBX763XFW.BIN", image, trailer, error);
  REQUIRE(files.opened == 0);
  const bool whole = !files.failOpen && !files.failSize && files.readLimit >= file.size();
  if (!whole || file.size() < update::kTrailerBytes) {
    REQUIRE(!split);
    return 0;
  }
  REQUIRE(split);
  // The image is everything before the trailer, the trailer the last 57 bytes.
  const std::size_t imageBytes = file.size() - update::kTrailerBytes;
  REQUIRE(image.size() == imageBytes);
  REQUIRE(imageBytes == 0 || std::memcmp(image.data(), file.data(), imageBytes) == 0);
  const std::uint8_t* t = file.data() + imageBytes;
  REQUIRE(std::memcmp(trailer.version.data(), t, 6) == 0);
  REQUIRE(trailer.fwType == t[6]);
  REQUIRE(trailer.vid == (t[7] | (t[8] << 8)));
  REQUIRE(trailer.pid30 == (t[9] | (t[10] << 8)));
  REQUIRE(trailer.pid20 == (t[11] | (t[12] << 8)));
  // The manufacturer text: at most its field, up to the first zero.
  REQUIRE(trailer.manufacturer.size() <= update::kTrailerManufacturerChars);
  for (std::size_t i = 0; i < trailer.manufacturer.size(); ++i) REQUIRE(trailer.manufacturer[i] == t[13 + i]);
  if (trailer.manufacturer.size() < update::kTrailerManufacturerChars) REQUIRE(t[13 + trailer.manufacturer.size()] == 0);
  // The version names the copy the run writes: twelve hexadecimal digits.
  const std::wstring version = version::strVersionFromBytes(trailer.version);
  REQUIRE(version.size() == 12 && version.find_first_not_of(L"0123456789abcdef") == std::wstring::npos);
  return 0;
}
