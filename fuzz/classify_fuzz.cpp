// Classification of a firmware source: the file read and the checks of its
// content, for any bytes and any file behaviour.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/memory_files.h"
#include "image/source_check.h"
#include "image/source_file.h"

using namespace hbx;

#define REQUIRE(c) \
  if (!(c)) __builtin_trap()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  // Byte 0 picks the name, byte 1 the file behaviour, byte 2 the read limit.
  static const wchar_t* kNames[] = {L"C:\\x\\Config_a.bin", L"C:\\x\\fw.BIN", L"C:\\x\\fw.txt",
                                    L"C:\\x\\CONFIG.bin", L"bin", L""};
  const std::wstring name = kNames[data[0] % 6];
  fuzz::MemoryFiles files;
  files.failOpen = (data[1] & 1) != 0;
  files.failSize = (data[1] & 2) != 0;
  if (data[1] & 4) files.readLimit = static_cast<std::uint32_t>(data[2]) * 97;
  files.content.assign(data + 3, data + size);

  const image::SourceKind kind = image::sourceKindOf(name);
  const std::uint32_t limit = kind == image::SourceKind::Firmware ? image::kFirmwareFileMax : 0x7FFFFFFF;
  std::vector<std::uint8_t> content;
  const image::SourceRead read = image::readSourceFile(files, name, limit, content);
  REQUIRE(files.opened == 0);
  if (read.step != image::ReadStep::Done) {
    REQUIRE(content.empty());
    return 0;
  }
  REQUIRE(content == files.content);

  const image::SourceCheck check = image::checkSource(kind, content);
  const std::uint8_t r = check.result;
  REQUIRE(r <= 3 || r == image::kWrongImageSize || r == image::kFirmwareTooLong || r == image::kNotASource);
  if (r <= 3) {
    REQUIRE(check.verdict == image::SourceVerdict::Accepted);
    REQUIRE(check.version.has_value());
    REQUIRE(content.size() >= image::versionOffsetOf(kind) + image::kVersionBytes);
    REQUIRE(image::majorTypeOf(content[image::versionOffsetOf(kind) + 3]) == r);
    if (kind == image::SourceKind::Configuration && r == 2) REQUIRE(content.size() == 32768);
    if (kind == image::SourceKind::Firmware)
      REQUIRE(content.size() >= image::kFirmwareLengthMin && content.size() <= image::kFirmwareFileMax);
    // An accepted whole image is one its hub boots: sealed table, sound area.
    if (kind == image::SourceKind::Configuration) {
      REQUIRE(image::bConfigTableSealed(std::span<const std::uint8_t>(content).first<image::kConfigTableSize>()));
      REQUIRE(image::firmwareAreaFault(std::span<const std::uint8_t>(content).subspan(image::kFirmwareAreaOffset), r) ==
              image::AreaFault::None);
    }
  }
  return 0;
}
