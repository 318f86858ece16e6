// The dialog's image operations: classifying a source, staging a
// configuration file and restoring the carried image.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "image/default_image.h"
#include "image/source_check.h"
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
  const auto changed = [](std::vector<std::uint8_t> bytes, std::size_t at) {
    bytes[at] = static_cast<std::uint8_t>(bytes[at] + 1);
    return bytes;
  };
  const auto cut = [](std::vector<std::uint8_t> bytes, std::size_t n) {
    bytes.resize(n);
    return bytes;
  };
  const std::vector<std::uint8_t> carried = image::buildDefaultImage();
  const Case cases[] = {
      // Configuration files: "config" in the file's name in any case, ".bin"
      // in any case.
      {L"Config_x.bin", bootableImage(32768, 0x25), 2},
      {L"Config_x.bin", bootableImage(32769, 0x25), 0xF2},
      {L"Config_x.BIN", configImage(32767, 0x25), 0xF2},
      {L"Config_x.bin", bootableImage(65536, 0x15), 1},
      {L"Config_x.bin", bootableImage(32768, 0x15), 0xF2},
      {L"Config_x.bin", bootableImage(0x5104, 0x05), 0},
      {L"Config_x.bin", bootableImage(0x5104, 0x35), 3},
      {L"Config_x.bin", bootableImage(65536, 0x45), 0xFF},
      {L"Config_x.bin", configImage(0x307, 0x05), 0xFF},  // ends inside its version bytes
      {L"Config_x.bin", {}, 0xFF},
      {L"CONFIG_X.BIN", bootableImage(32768, 0x25), 2},  // as the upper-cased command line names it
      {L"myconfig.bin", bootableImage(32768, 0x25), 2},
      // Whole images no hub boots: table checksum, firmware length, marker,
      // firmware checksum, a blank or cut firmware area.
      {L"Config_x.bin", changed(bootableImage(32768, 0x25), 0x80), 0xFF},
      {L"Config_x.bin", bootableImage(32768, 0x25, 0x4FFF), 0xFF},
      {L"Config_x.bin", changed(bootableImage(32768, 0x25), 258 + 0x5000), 0xFF},
      {L"Config_x.bin", changed(bootableImage(32768, 0x25), 259 + 0x5000), 0xFF},
      {L"Config_x.bin", changed(bootableImage(32768, 0x25), 0x400), 0xFF},
      {L"Config_x.bin", configImage(0x308, 0x05), 0xFF},
      {L"Config_x.bin", cut(bootableImage(0x5104, 0x05), 0x5103), 0xFF},
      // A firmware area that ends exactly at the end of the 64 KiB image fits;
      // one byte longer does not.
      {L"Config_x.bin", bootableImage(65536, 0x15, 0xFEFC), 1},
      {L"Config_x.bin", changed(bootableImage(65536, 0x15, 0xFEFC), 256), 0xFF},
      // Firmware files: every other ".bin", 0x5000 to 0xFEF8 bytes.
      {L"fw.Bin", firmwareCode(0xFEF8, 0x35), 3},
      {L"fw.Bin", firmwareCode(0xFEF9, 0x25), 0xF6},
      {L"fw.bin", firmwareCode(0x5000, 0x05), 0},
      {L"fw.bin", firmwareCode(0x4FFF, 0x05), 0xFF},
      {L"fw.bin", firmwareCode(0x206, 0x05), 0xFF},
      {L"fw.bin", firmwareCode(0x205, 0x05), 0xFF},
      {L"fw.bin", firmwareCode(0x5000, 0x75), 0xFF},
      // The version a name carries must be the content's (case ignored).
      {L"Config_250318_25_01_0C.bin", carried, 2},
      {L"Config_250318_25_01_0c.bin", carried, 2},
      {L"Config_250318_25_01_0D.bin", carried, 0xFF},
      {L"Config_v2.bin", carried, 2},
      // Not a firmware source at all.
      {L"fw.txt", firmwareCode(0x5000, 0x25), 0xFF},
      {L"Config.bin.txt", bootableImage(32768, 0x25), 0xFF},
  };
  for (const Case& c : cases) {
    const std::wstring path = put(c.name, c.content);
    EXPECT_EQ(dialog.vIsValidHubFirmware(path), c.result)
        << std::string(c.name, c.name + wcslen(c.name)) << " of " << c.content.size() << " bytes";
    std::filesystem::remove(hostPath(path));
  }
  EXPECT_EQ(dialog.vIsValidHubFirmware(L"C:\\HBX\\absent.bin"), 0xFF);
}

TEST_F(SourceFiles, OnlyAFileOnADiskIsReadAndNothingWaitsForAWriter) {
  // A pipe without a writer, a folder: refused at once, without a read that
  // would wait for ever.
  const std::wstring fifo = L"C:\\HBX\\pipe.bin";
  ASSERT_EQ(::mkfifo(hostPath(fifo).c_str(), 0644), 0);
  const std::wstring folder = L"C:\\HBX\\Config_dir.bin";
  std::filesystem::create_directory(hostPath(folder));
  for (const std::wstring& path : {fifo, folder}) {
    EXPECT_EQ(dialog.vIsValidHubFirmware(path), 0xFF);
    EXPECT_EQ(utility.m_Source.read.step, image::ReadStep::Open);
    EXPECT_TRUE(utility.m_Source.bytes.empty());
    EXPECT_FALSE(utility.vCreateTempBinDataFile(path));
  }
}

TEST_F(SourceFiles, ExportedImageIsCheckedAsTheImageItsTrailerNames) {
  // An image of chip type 0 whose bytes 0x200-0x205 read as firmware code of
  // type 2: it is checked as the whole image its trailer says it is.
  std::vector<std::uint8_t> file = bootableImage(32768, 0x05);
  file[0x203] = 0x25;
  file[259 + 0x5000] = image::byteSum(std::span<const std::uint8_t>(file).subspan(258, 0x5000));
  std::vector<std::uint8_t> trailer(57, 0);
  trailer[6] = 1;
  std::vector<std::uint8_t> asFirmware = file;
  file.insert(file.end(), trailer.begin(), trailer.end());
  EXPECT_EQ(dialog.vIsValidHubFirmware(put(L"HBX763XFW.BIN", file)), 0);
  // The same bytes with a trailer of firmware code: no firmware of type 0
  // that a hub boots (its staged length would be the whole image).
  trailer[6] = 0;
  asFirmware.resize(0xFF00);
  asFirmware.insert(asFirmware.end(), trailer.begin(), trailer.end());
  EXPECT_EQ(dialog.vIsValidHubFirmware(put(L"HUB_HBX763XFW.BIN", asFirmware)), 0xF6);
  EXPECT_EQ(dialog.vIsValidHubFirmware(put(L"HBX763XFW.BIN", std::vector<std::uint8_t>(56, 0))), 0xFF);
}

TEST(SourceKinds, OnlyTheFilesOwnNameTellsItsKind) {
  struct Case {
    const wchar_t* path;
    image::SourceKind kind;
  };
  for (const Case& c : {Case{L"C:\\HBX\\CONFIG_250318_25_01_0C.BIN", image::SourceKind::Configuration},
                        Case{L"Z:\\configs\\fw.bin", image::SourceKind::Firmware},
                        Case{L"C:\\Config_\\fw_250318_25_01_0C.bin", image::SourceKind::Firmware},
                        Case{L"Z:/tmp/Config_a.bin", image::SourceKind::Configuration},
                        Case{L"C:\\x\\Config_a.txt", image::SourceKind::None}})
    EXPECT_EQ(image::sourceKindOf(c.path), c.kind) << std::wstring(c.path).size();
}

TEST(SourceKinds, VersionInTheName) {
  EXPECT_EQ(image::versionInName(L"C:\\HBX\\Config_250318_25_01_0C.bin"), L"25031825010C");
  EXPECT_EQ(image::versionInName(L"Z:\\fw\\HUB_250318_25_01_0c.BIN"), L"25031825010c");
  EXPECT_EQ(image::versionInName(L"C:\\HBX\\fw.bin"), std::nullopt);
  EXPECT_EQ(image::versionInName(L"C:\\250318_25_01_0C\\fw.bin"), std::nullopt);
  EXPECT_EQ(image::versionInName(L"C:\\HBX\\Config_new_firmware.bin"), std::nullopt);
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
  const std::vector<std::uint8_t> image = bootableImage(32768, 0x25);
  ASSERT_TRUE(dialog.bConfig_File2TempBinFile(put(L"Config_a.bin", image)));
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 256, utility.m_ucMConfigInfo.begin()));
  const std::vector<std::uint8_t> staged = read(tempBin());
  EXPECT_EQ(staged.size(), 32512u);
  EXPECT_TRUE(std::equal(staged.begin(), staged.end(), image.begin() + 256));
  EXPECT_TRUE(utility.m_TempBinDigest.matches(staged));

  // A longer staged file that another program holds open (it cannot be
  // deleted first) is cut to the new length.
  put(L"HBXFW_Temp\\TempBinData.bin", std::vector<std::uint8_t>(40000, 0x5A));
  {
    const HeldOpen held(host.ports().files, tempBin());
    ASSERT_NE(held.handle, platform::kInvalidHandle);
    ASSERT_TRUE(dialog.bConfig_File2TempBinFile(put(L"Config_a.bin", image)));
  }
  EXPECT_EQ(read(tempBin()), staged);

  // Nothing a hub would not boot is staged: a table alone, a shorter file,
  // an image with a wrong firmware checksum; nor a file that is not there.
  std::vector<std::uint8_t> badSum = bootableImage(32768, 0x25);
  badSum[259 + 0x5000] ^= 1;
  for (const std::wstring& path : {put(L"Config_b.bin", configImage(256, 0)), put(L"Config_c.bin", configImage(255, 0)),
                                   put(L"Config_d.bin", badSum), std::wstring(L"C:\\HBX\\none.bin")}) {
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
