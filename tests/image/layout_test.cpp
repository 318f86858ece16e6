// The byte rules of an image: markers, major types, the staged firmware area,
// the default configuration table and the carried image.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "image/default_config.h"
#include "image/default_image.h"
#include "image/image_layout.h"
#include "payload/embedded.h"

namespace hbx::image {
namespace {

std::uint8_t sumOf(const std::uint8_t* first, std::size_t count) {
  return static_cast<std::uint8_t>(std::accumulate(first, first + count, 0u) & 0xFF);
}

// Firmware code of n bytes with a version type byte at 0x203.
std::vector<std::uint8_t> codeOf(std::size_t n, std::uint8_t typeByte) {
  std::vector<std::uint8_t> code(n);
  for (std::size_t i = 0; i < n; ++i) code[i] = static_cast<std::uint8_t>(i * 7 + 1);
  if (n > 0x203) code[0x203] = typeByte;
  return code;
}

TEST(ImageLayout, MarkerAndMajorTypeFollowVersionByte3) {
  struct Case {
    std::uint8_t byte3, marker, majorType;
  };
  for (const Case& c : {Case{0x05, 0xAA, 0}, Case{0x15, 0x4B, 1}, Case{0x25, 0x3C, 2},
                        Case{0x35, 0x2D, 3}, Case{0x45, 0xAA, 4}, Case{0xF0, 0x2D, 7},
                        Case{0x8F, 0xAA, 0}}) {
    EXPECT_EQ(chipMarkerOf(c.byte3), c.marker) << std::hex << int(c.byte3);
    EXPECT_EQ(majorTypeOf(c.byte3), c.majorType) << std::hex << int(c.byte3);
  }
}

TEST(ImageLayout, FirmwareAreaFromCodeHasLengthCodeMarkerAndSum) {
  for (std::size_t n : {std::size_t{0x5000}, std::size_t{0x9234}, std::size_t{0xFEF8}, std::size_t{0xFFFE}}) {
    const std::vector<std::uint8_t> code = codeOf(n, 0x25);
    const auto area = firmwareAreaFromCode(code);
    ASSERT_TRUE(area) << n;
    ASSERT_EQ(area->size(), n + 4);
    EXPECT_EQ((*area)[0], n & 0xFF);
    EXPECT_EQ((*area)[1], (n >> 8) & 0xFF);
    EXPECT_EQ(0, std::memcmp(area->data() + 2, code.data(), n));
    EXPECT_EQ((*area)[n + 2], 0x3C);
    EXPECT_EQ((*area)[n + 3], sumOf(code.data(), n));
  }
}

TEST(ImageLayout, FirmwareAreaRefusesCodeOfALengthNoHubBoots) {
  for (std::size_t n : {std::size_t{0}, std::size_t{0x206}, std::size_t{0x4FFF}, std::size_t{0xFFFF}, std::size_t{0x10000}})
    EXPECT_FALSE(firmwareAreaFromCode(codeOf(n, 0x25))) << n;
}

TEST(ImageLayout, FirmwareAreaFaultTellsWhyAHubWouldNotBootIt) {
  const std::vector<std::uint8_t> good = *firmwareAreaFromCode(codeOf(0x5000, 0x25));
  const auto with = [&](std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> area = good;
    area[at] = value;
    return area;
  };
  std::vector<std::uint8_t> tooLong = *firmwareAreaFromCode(codeOf(0xFEFD, 0x25));
  struct Case {
    const char* what;
    std::vector<std::uint8_t> area;
    std::uint8_t majorType;
    AreaFault fault;
  };
  const Case cases[] = {
      {"sound", good, 2, AreaFault::None},
      {"marker of another chip type", good, 1, AreaFault::Marker},
      {"length below 0x5000", with(1, 0x4F), 2, AreaFault::Length},
      {"ends past the 64 KiB image", tooLong, 2, AreaFault::Length},
      {"cut short", std::vector<std::uint8_t>(good.begin(), good.end() - 1), 2, AreaFault::Short},
      {"blank", std::vector<std::uint8_t>(0x8000, 0xFF), 2, AreaFault::Length},
      {"wrong marker", with(0x5002, 0xAA), 2, AreaFault::Marker},
      {"wrong checksum", with(0x5003, static_cast<std::uint8_t>(good[0x5003] + 1)), 2, AreaFault::Checksum},
      {"code changed", with(0x300, static_cast<std::uint8_t>(good[0x300] + 1)), 2, AreaFault::Checksum},
  };
  for (const Case& c : cases) EXPECT_EQ(firmwareAreaFault(c.area, c.majorType), c.fault) << c.what;
}

TEST(ImageLayout, FirmwareAreaOfImageStartsAt256) {
  std::vector<std::uint8_t> image(300);
  std::iota(image.begin(), image.end(), 0);
  const auto area = firmwareAreaOfImage(image);
  ASSERT_TRUE(area);
  ASSERT_EQ(area->size(), 44u);
  EXPECT_EQ((*area)[0], image[256]);
  EXPECT_EQ(firmwareAreaOfImage(std::vector<std::uint8_t>(256))->size(), 0u);
  EXPECT_FALSE(firmwareAreaOfImage(std::vector<std::uint8_t>(255)));
}

TEST(ImageLayout, VersionBytesAreReadOnlyWhenAllPresent) {
  std::vector<std::uint8_t> bytes(0x308, 0);
  bytes[0x302] = 0x25;
  bytes[0x307] = 0x0C;
  const auto version = versionBytesAt(bytes, 0x302);
  ASSERT_TRUE(version);
  EXPECT_EQ((*version)[0], 0x25);
  EXPECT_EQ((*version)[5], 0x0C);
  bytes.pop_back();
  EXPECT_FALSE(versionBytesAt(bytes, 0x302));
  EXPECT_FALSE(versionBytesAt(bytes, SIZE_MAX));
}

TEST(DefaultConfigTable, IsLaidOutByteForByte) {
  std::uint8_t want[256];
  std::memset(want, 0xFF, sizeof want);
  std::memcpy(want + 0x04, "123456789ABCDEF", 16);  // with its terminating 0
  std::memcpy(want + 0x18, "Corvane", 8);
  std::memcpy(want + 0x44, "HBX763x", 8);
  const std::uint8_t ids[] = {0x8B, 0x2E, 0x34, 0x96, 0x00, 0x01};
  std::memcpy(want + 0x84, ids, sizeof ids);
  const std::uint8_t regs[31] = {0x2D, 0x88, 0x88, 0x88, 0x03, 0x01, 0x03, 0x48, 0x0C, 0x00, 0x00,
                                 0x9E, 0x9C, 0x9C, 0x9C, 0x9C, 0x42, 0xC0, 0xC0, 0xC0, 0xC0, 0x30,
                                 0x04, 0x40, 0xEE, 0x13, 0x03, 0x3D, 0x19, 0x60, 0x02};
  std::memcpy(want + 0x8D, regs, sizeof regs);
  std::memset(want + 0x8D + 31, 0x00, 76);
  want[0xF8] = 0x34;
  want[0xF9] = 0x86;
  want[0xFE] = 0xAA;
  want[0xFF] = sumOf(want + 4, 251);

  const ConfigTable table = buildDefaultConfigTable(kDefaultRegisterTable);
  for (std::size_t i = 0; i < 256; ++i) EXPECT_EQ(table[i], want[i]) << "offset " << std::hex << i;
}

TEST(DefaultConfigTable, CarriesTheRegisterTableItIsGiven) {
  RegisterTable registers{};
  registers.fill(0x5A);
  const ConfigTable table = buildDefaultConfigTable(registers);
  EXPECT_EQ(table[0x8D], 0x5A);
  EXPECT_EQ(table[0x8D + 0x6A], 0x5A);
  EXPECT_EQ(table[0xF8], 0x34);
  EXPECT_EQ(table[0xFF], configTableChecksum(table));
}

TEST(DefaultImage, IsAValidMajorType2ConfigurationFile) {
  const std::vector<std::uint8_t> image = buildDefaultImage();
  ASSERT_EQ(image.size(), 32768u);
  const std::uint8_t version[] = {0x25, 0x03, 0x18, 0x25, 0x01, 0x0C};
  EXPECT_EQ(0, std::memcmp(image.data() + 0x302, version, 6));
  EXPECT_EQ(majorTypeOf(image[0x305]), 2);

  // Configuration table: marker of the image's type and a valid checksum.
  EXPECT_EQ(image[0xFE], 0x3C);
  EXPECT_EQ(image[0xFF], sumOf(image.data() + 4, 251));

  // Firmware area: length, code, marker, code sum, then 0xFF to the end.
  const std::size_t length = image[256] | (image[257] << 8);
  ASSERT_GE(length, 0x5000u);
  ASSERT_LE(258 + length + 2, image.size());
  EXPECT_EQ(image[258 + length], 0x3C);
  EXPECT_EQ(image[259 + length], sumOf(image.data() + 258, length));
  for (std::size_t i = 260 + length; i < image.size(); ++i) ASSERT_EQ(image[i], 0xFF) << i;

  EXPECT_EQ(buildDefaultImage(), image) << "the image must be the same on every build";
}

TEST(DefaultImage, IsCarriedWithItsName) {
  const auto carried = payload::findEmbedded(kDefaultImageType, kDefaultImageId);
  ASSERT_TRUE(carried);
  EXPECT_EQ(std::vector<std::uint8_t>(carried->begin(), carried->end()), buildDefaultImage());

  const auto name = payload::findEmbedded(kDefaultImageNameType, kDefaultImageNameId);
  ASSERT_TRUE(name);
  EXPECT_EQ(std::string(name->begin(), name->end()), "Config_250318_25_01_0C.bin\r\n");
}

}  // namespace
}  // namespace hbx::image
