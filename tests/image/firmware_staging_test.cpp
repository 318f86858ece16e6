// Staging a firmware file and the configuration tables of the utility object.
#include <gtest/gtest.h>

#include "tests/image/image_fixture.h"

namespace hbx::testing_image {
namespace {

class FirmwareStaging : public ::testing::Test, public ImageFixture {};

TEST_F(FirmwareStaging, WritesLengthCodeMarkerAndSum) {
  struct Case {
    std::size_t size;
    std::uint8_t byte3, marker;
  };
  for (const Case& c : {Case{0x5000, 0x05, 0xAA}, Case{0x5123, 0x25, 0x3C}, Case{0xFEF8, 0x15, 0x4B},
                        Case{0xFFFE, 0x35, 0x2D}}) {
    const std::vector<std::uint8_t> code = firmwareCode(c.size, c.byte3);
    ASSERT_TRUE(utility.vCreateTempBinDataFile(put(L"fw.bin", code))) << c.size;

    std::vector<std::uint8_t> want = {static_cast<std::uint8_t>(c.size & 0xFF),
                                      static_cast<std::uint8_t>(c.size >> 8)};
    want.insert(want.end(), code.begin(), code.end());
    want.push_back(c.marker);
    want.push_back(sumOf(code));
    EXPECT_EQ(read(tempBin()), want) << c.size;
    EXPECT_TRUE(utility.m_TempBinDigest.matches(want));
  }
}

TEST_F(FirmwareStaging, ReplacesAnEarlierLongerStaging) {
  ASSERT_TRUE(utility.vCreateTempBinDataFile(put(L"big.bin", firmwareCode(0x9000, 0x25))));
  ASSERT_TRUE(utility.vCreateTempBinDataFile(put(L"small.bin", firmwareCode(0x5000, 0x25))));
  EXPECT_EQ(read(tempBin()).size(), 0x5004u);
  // Another program holds the staged file open, so it cannot be deleted first.
  ASSERT_TRUE(utility.vCreateTempBinDataFile(put(L"big.bin", firmwareCode(0x9000, 0x25))));
  const HeldOpen held(host.ports().files, tempBin());
  ASSERT_NE(held.handle, platform::kInvalidHandle);
  ASSERT_TRUE(utility.vCreateTempBinDataFile(put(L"small.bin", firmwareCode(0x5000, 0x25))));
  EXPECT_EQ(read(tempBin()).size(), 0x5004u);
}

TEST_F(FirmwareStaging, RefusesWhatCannotBeStagedSoundly) {
  // Shorter or longer than any firmware a hub boots (0x5000 to 0xFFFE bytes),
  // and a file that is not there.
  for (const std::wstring& path : {put(L"short.bin", firmwareCode(0x4FFF, 0x25)),
                                   put(L"long.bin", firmwareCode(0xFFFF, 0x25)),
                                   std::wstring(L"C:\\HBX\\missing.bin")}) {
    ASSERT_TRUE(utility.vCreateTempBinDataFile(put(L"good.bin", firmwareCode(0x5000, 0x25))));
    EXPECT_FALSE(utility.vCreateTempBinDataFile(path)) << path.size();
    EXPECT_FALSE(utility.m_TempBinDigest.recorded) << "a failed staging leaves no digest to download against";
  }
}

}  // namespace
}  // namespace hbx::testing_image
