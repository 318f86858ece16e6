// The PE version reader: good images, images without a version, and every
// kind of truncated or corrupt image (no read may leave the bytes).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "sim/pe_version.h"
#include "tests/sim/temp_folder.h"
#include "tools/pe_stub/pe_stub_writer.h"

namespace hbx::sim {
namespace {

using tools::makePeStub;
using tools::PeStubImage;
using tools::PeStubOptions;

// Parses an exact-size heap copy, so the sanitizer sees any read past the end.
std::optional<PeFileVersion> parseExact(const std::vector<std::uint8_t>& bytes, std::size_t length) {
  std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[length ? length : 1]);
  if (length) std::memcpy(copy.get(), bytes.data(), length);
  return parsePeFileVersion(std::span<const std::uint8_t>(copy.get(), length));
}

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(PeVersionTest, ReadsTheFixedFileVersion) {
  struct Case {
    std::array<std::uint16_t, 4> version;
    std::uint32_t ms, ls;
  } cases[] = {
      {{1, 0, 7, 0}, 0x00010000, 0x00070000},
      {{10, 20, 30, 65535}, 0x000A0014, 0x001EFFFF},
      {{0, 0, 0, 0}, 0, 0},
  };
  for (const Case& c : cases) {
    PeStubOptions options;
    options.fileVersion = c.version;
    const auto v = parsePeFileVersion(makePeStub(options).bytes);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->ms, c.ms);
    EXPECT_EQ(v->ls, c.ls);
  }
  hbx::testing::TempFolder folder;
  ASSERT_TRUE(tools::writePeStub(folder.path() / "d.sys", PeStubOptions{}));
  EXPECT_EQ(readPeFileVersion(folder.path() / "d.sys")->ms, 0x00010000u);
  EXPECT_FALSE(readPeFileVersion(folder.path() / "missing.sys").has_value());
}

TEST(PeVersionTest, NoVersionOrNotAPeFileGivesNothing) {
  PeStubOptions none;
  none.withVersionResource = false;
  EXPECT_FALSE(parsePeFileVersion(makePeStub(none).bytes).has_value());
  const std::string text = "MZ but only a text file";
  EXPECT_FALSE(parsePeFileVersion(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
  EXPECT_FALSE(parsePeFileVersion({}).has_value());
}

TEST(PeVersionTest, EveryTruncationIsRejected) {
  const PeStubImage image = makePeStub(PeStubOptions{});
  const std::size_t needed = image.fixedFileInfo + 52;
  for (std::size_t length = 0; length < needed; ++length) {
    EXPECT_FALSE(parseExact(image.bytes, length).has_value()) << "length " << length;
  }
}

TEST(PeVersionTest, CorruptFieldsAreRejected) {
  const PeStubImage base = makePeStub(PeStubOptions{});
  const std::size_t opt = base.optionalHeader;
  const std::size_t rsrc = base.resourceSection;
  const std::size_t sect = base.sectionTable;
  struct Case {
    const char* what;
    std::size_t at;
    std::uint32_t value;
  } cases[] = {
      {"e_lfanew past the end", 0x3C, 0xFFFFFFF0},
      {"e_lfanew near the end", 0x3C, static_cast<std::uint32_t>(base.bytes.size() - 8)},
      {"PE signature", base.peHeader, 0x00004550 ^ 0x01},
      {"optional header magic", opt, 0x0107},
      {"too few data directories", opt + 92, 2},
      {"optional header size cut", base.peHeader + 20, (0x0102u << 16) | 96},
      {"section count huge", base.peHeader + 6, (0xE0u << 16) | 0xFFFF},
      {"resource RVA outside sections", opt + 112, 0x7000},
      {"resource size beyond section", opt + 116, 0x10000},
      {"section raw pointer past the end", sect + 20, 0x7FFFFFF0},
      {"section raw size past the end", sect + 16, 0x7FFFFFF0},
      {"entry count beyond section", rsrc + 12, 0x7FFF7FFF},
      {"type subdirectory offset beyond section", rsrc + 20, 0x80000000u | 0x0FFFFFF0},
      {"type entry points at data, not a directory", rsrc + 20, 24},
      {"no RT_VERSION type", rsrc + 16, 3},
      {"language entry offset beyond section", rsrc + 48 + 20, 0x0FFFFFF0},
      {"data entry RVA beyond file", base.resourceDataEntry, 0x00F00000},
      {"data entry size huge", base.resourceDataEntry + 4, 0xFFFFFFF0},
      {"version length beyond data", base.versionInfo, (52u << 16) | 0xFFFF},
      {"value length too small", base.versionInfo, (51u << 16) | 92},
      {"key changed", base.versionInfo + 6, 'W' | ('S' << 16)},
      {"fixed info signature", base.fixedFileInfo, 0xFEEF04BC},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = base.bytes;
    put32(bytes, c.at, c.value);
    EXPECT_FALSE(parseExact(bytes, bytes.size()).has_value()) << c.what;
  }
}

// The answer for the bytes in front of a tail: zeros, or copies of the
// image itself (structures a read past the end would take for real ones). A
// reader that stays inside its span answers alike whatever follows it.
std::optional<PeFileVersion> parseBefore(const std::vector<std::uint8_t>& bytes, bool copiesBehind) {
  std::vector<std::uint8_t> buffer = bytes;
  for (int k = 0; k < 4; ++k) {
    if (copiesBehind) buffer.insert(buffer.end(), bytes.begin(), bytes.end());
    else buffer.resize(buffer.size() + bytes.size(), 0);
  }
  return parsePeFileVersion(std::span<const std::uint8_t>(buffer.data(), bytes.size()));
}

TEST(PeVersionTest, NoSingleByteChangeReadsOutOfBounds) {
  // Every byte set to each of a few extreme values: the reader may accept or
  // refuse, but must stay inside the image. The sanitizer build sees a read
  // past an exact-size copy; every build sees that what lies behind the
  // image never changes the answer.
  const PeStubImage base = makePeStub(PeStubOptions{});
  std::size_t accepted = 0;
  for (std::size_t i = 0; i < base.bytes.size(); ++i) {
    for (std::uint8_t v : {0x00, 0x7F, 0x80, 0xFF}) {
      std::vector<std::uint8_t> bytes = base.bytes;
      bytes[i] = v;
      const std::optional<PeFileVersion> exact = parseExact(bytes, bytes.size());
      const std::optional<PeFileVersion> beforeZeros = parseBefore(bytes, false);
      const std::optional<PeFileVersion> beforeCopies = parseBefore(bytes, true);
      ASSERT_EQ(beforeZeros.has_value(), beforeCopies.has_value()) << "byte " << i << " = " << int(v);
      ASSERT_EQ(exact.has_value(), beforeZeros.has_value()) << "byte " << i << " = " << int(v);
      if (beforeZeros) {
        ++accepted;
        ASSERT_EQ(beforeZeros->ms, beforeCopies->ms) << "byte " << i << " = " << int(v);
        ASSERT_EQ(beforeZeros->ls, beforeCopies->ls) << "byte " << i << " = " << int(v);
      }
    }
  }
  EXPECT_GT(accepted, 0u) << "every change refused: the reader reads nothing";
}

}  // namespace
}  // namespace hbx::sim
