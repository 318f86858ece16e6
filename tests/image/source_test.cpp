// The dialog's image operations: classifying a source, staging a
// configuration file and restoring the carried image.
#include <gtest/gtest.h>

#include <algorithm>

#include "image/default_image.h"
#include "sim/sim_payloads.h"
#include "tests/image/image_fixture.h"

namespace hbx::testing_image {
namespace {

class SourceFiles : public ::testing::Test, public ImageFixture {};

TEST_F(SourceFiles, ClassificationTable) {
  struct Case {
    const wchar_t* name;
    std::vector<std::uint8_t> content;
    std::uint8_t result;
  };
  const Case cases[] = {
      // Configuration files: "Config" as written, ".bin" in any case.
      {L"Config_250318_25_01_0C.bin", configImage(32768, 0x25), 2},
      {L"Config_250318_25_01_0C.bin", configImage(32769, 0x25), 0xF2},
      {L"Config_x.BIN", configImage(32767, 0x25), 0xF2},
      {L"Config_x.bin", configImage(65536, 0x15), 1},
      {L"Config_x.bin", configImage(32768, 0x15), 0xF2},
      {L"Config_x.bin", configImage(0x308, 0x05), 0},
      {L"Config_x.bin", configImage(0x308, 0x35), 3},
      {L"Config_x.bin", configImage(65536, 0x45), 0xFF},
      {L"Config_x.bin", configImage(0x307, 0x05), 0xFF},  // ends inside its version bytes
      {L"Config_x.bin", {}, 0xFF},
      // Firmware files: every other ".bin", including "CONFIG" in capitals.
      {L"CONFIG_X.BIN", firmwareCode(0x300, 0x25), 2},
      {L"CONFIG_X.BIN", configImage(0xFEF9, 0x25), 0xF6},  // as a configuration file: 0xF2
      {L"fw.Bin", firmwareCode(0xFEF8, 0x35), 3},
      {L"fw.Bin", firmwareCode(0xFEF9, 0x25), 0xF6},
      {L"fw.bin", firmwareCode(0x206, 0x05), 0},
      {L"fw.bin", firmwareCode(0x205, 0x05), 0xFF},
      {L"fw.bin", firmwareCode(0x300, 0x75), 0xFF},
      // Not a firmware source at all.
      {L"fw.txt", firmwareCode(0x300, 0x25), 0xFF},
      {L"Config.bin.txt", configImage(32768, 0x25), 0xFF},
  };
  for (const Case& c : cases) {
    const std::wstring path = put(c.name, c.content);
    EXPECT_EQ(dialog.vIsValidHubFirmware(path), c.result)
        << std::string(c.name, c.name + wcslen(c.name)) << " of " << c.content.size() << " bytes";
    std::filesystem::remove(hostPath(path));
  }
  EXPECT_EQ(dialog.vIsValidHubFirmware(L"C:\\HBX\\absent.bin"), 0xFF);
}

TEST_F(SourceFiles, ClassificationLogsVersionAndTypeUnderItsName) {
  dialog.vIsValidHubFirmware(put(L"Config_a.bin", image::buildDefaultImage()));
  EXPECT_TRUE(log.has(L"ZAr763ORIdirevaVodoRev::vIsValidHubFirmware:"));
  EXPECT_TRUE(log.has(L"vRead Firmware Version from Binary: 25031825010C"));
  EXPECT_TRUE(log.has(L"bMajorType 2"));

  log.clear();
  dialog.vIsValidHubFirmware(put(L"Config_b.bin", configImage(0x300, 0x25)));
  EXPECT_TRUE(log.has(L"ends before its version bytes"));
  EXPECT_FALSE(log.has(L"vRead Firmware Version"));
}

TEST_F(SourceFiles, ConfigurationStagingSplitsTableAndFirmwareArea) {
  const std::vector<std::uint8_t> image = configImage(32768, 0x25);
  ASSERT_TRUE(dialog.bConfig_File2TempBinFile(put(L"Config_a.bin", image)));
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 256, utility.m_ucMConfigInfo.begin()));
  const std::vector<std::uint8_t> staged = read(tempBin());
  EXPECT_EQ(staged.size(), 32512u);
  EXPECT_TRUE(std::equal(staged.begin(), staged.end(), image.begin() + 256));
  EXPECT_TRUE(utility.m_TempBinDigest.matches(staged));

  // Exactly a table: an empty firmware area. Shorter: no staging at all.
  ASSERT_TRUE(dialog.bConfig_File2TempBinFile(put(L"Config_b.bin", configImage(256, 0))));
  EXPECT_TRUE(read(tempBin()).empty());
  for (const std::wstring& path : {put(L"Config_c.bin", configImage(255, 0)), std::wstring(L"C:\\HBX\\none.bin")}) {
    EXPECT_FALSE(dialog.bConfig_File2TempBinFile(path));
    EXPECT_TRUE(std::all_of(utility.m_ucMConfigInfo.begin(), utility.m_ucMConfigInfo.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_FALSE(utility.m_TempBinDigest.recorded);
  }
}

TEST_F(SourceFiles, RestoresTheCarriedImageAndItsName) {
  ASSERT_TRUE(dialog.vExtractBinFiles());
  EXPECT_EQ(dialog.m_strDefaultFWFile, L"Config_250318_25_01_0C.bin");
  EXPECT_EQ(dialog.m_strCarriedImageCopy, L"C:\\HBX\\Config_250318_25_01_0C.bin");
  const std::vector<std::uint8_t> restored = read(L"C:\\HBX\\Config_250318_25_01_0C.bin");
  EXPECT_EQ(restored, image::buildDefaultImage());
  EXPECT_EQ(dialog.vIsValidHubFirmware(L"C:\\HBX\\Config_250318_25_01_0C.bin"), 2);

  // A file of that name with other content is the user's: it stays, and the
  // carried image goes into the work folder.
  put(L"Config_250318_25_01_0C.bin", {1, 2, 3});
  ASSERT_TRUE(dialog.vExtractBinFiles());
  EXPECT_EQ(read(L"C:\\HBX\\Config_250318_25_01_0C.bin"), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(dialog.m_strCarriedImageCopy, L"C:\\Windows\\Temp\\HBX763xFW\\Config_250318_25_01_0C.bin");
  EXPECT_EQ(read(dialog.m_strCarriedImageCopy), image::buildDefaultImage());
}

TEST_F(SourceFiles, RestoreCutsTheNameAfterItsExtension) {
  struct Case {
    const char* text;
    const wchar_t* name;
  };
  for (const Case& c : {Case{"Config_1.bin\r\n", L"Config_1.bin"}, Case{"FW.BIN.bin\r\n", L"FW.BIN"},
                        Case{"img.rom trailing", L"img.rom"}, Case{"plain\r\n", L"plain"}}) {
    host.payloads().replace(image::kDefaultImageNameType, image::kDefaultImageNameId,
                            std::vector<std::uint8_t>(c.text, c.text + strlen(c.text)));
    ASSERT_TRUE(dialog.vExtractBinFiles()) << c.text;
    EXPECT_EQ(dialog.m_strDefaultFWFile, c.name) << c.text;
    EXPECT_TRUE(exists(std::wstring(kProgramFolder) + L"\\" + c.name)) << c.text;
  }
}

TEST_F(SourceFiles, RestoreFailsWithoutEitherCarriedFile) {
  for (const auto& [type, id] : {std::pair{image::kDefaultImageNameType, image::kDefaultImageNameId},
                                 std::pair{image::kDefaultImageType, image::kDefaultImageId}}) {
    sim::SimHost other{sim::SimHostOptions{}};
    CHubUtility otherUtility{other.ports()};
    ZAr763ORIdirevaVodoRev otherDialog{other.ports(), otherUtility};
    other.payloads().remove(type, id);
    EXPECT_FALSE(otherDialog.vExtractBinFiles());
    EXPECT_TRUE(log.has(L"FindResource fail: 1814"));
    log.clear();
  }
}

}  // namespace
}  // namespace hbx::testing_image
