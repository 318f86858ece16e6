// The settings file: any bytes as its content, read through a file that may
// fail or come up short.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/memory_files.h"
#include "platform/payloads.h"
#include "update/ini.h"

using namespace hbx;

#define REQUIRE(c) \
  if (!(c)) __builtin_trap()

namespace {

class NoPayloads : public platform::PayloadPort {
 public:
  std::optional<std::vector<std::uint8_t>> payload(const std::wstring&, std::uint32_t) override { return {}; }
};

// A text value is what stands between "=" and a "/", without the blanks
// around it, on one line.
void requireCleanValue(const std::wstring& value) {
  REQUIRE(value.find(L'/') == std::wstring::npos);
  REQUIRE(value.find(L'\n') == std::wstring::npos);
  if (!value.empty()) {
    REQUIRE(value.front() != L' ' && value.front() != L'\t');
    REQUIRE(value.back() != L' ' && value.back() != L'\t' && value.back() != L'\r');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Byte 0 picks the file behaviour, byte 1 the read limit.
  fuzz::MemoryFiles files;
  files.failOpen = (data[0] & 1) != 0;
  files.failSize = (data[0] & 2) != 0;
  if (data[0] & 4) files.readLimit = static_cast<std::uint32_t>(data[1]) * 7;
  files.content.assign(data + 2, data + size);
  const bool readable = !files.failOpen && !files.failSize && files.readLimit >= files.content.size();

  NoPayloads payloads;
  Ini ini(files, payloads);
  int boxes = 0;
  ini.setPlainMessage([&boxes](const std::wstring&) { ++boxes; });
  const bool loaded = ini.vLoadINIFile(L"C:\\HBX\\HBX763xFWUpg.ini");

  REQUIRE(files.opened == 0);
  if (!readable) REQUIRE(!loaded && boxes == 0);
  // A file that was read but holds a line of no key names it in one box.
  if (readable) REQUIRE(boxes == (loaded ? 0 : 1));
  for (const std::wstring* value :
       {&ini.fw_version, &ini.chip_type, &ini.minor_byte_of_chip_type, &ini.manufacture_string, &ini.product_string,
        &ini.vid, &ini.pid, &ini.part_of_fw_version, &ini.bounding_option1, &ini.bounding_option2,
        &ini.minor_byte_of_chip_type_BiggerThen, &ini.reg_edit_subkey, &ini.reg_edit_keyname, &ini.reg_edit_type,
        &ini.reg_edit_value}) {
    requireCleanValue(*value);
  }
  return 0;
}
