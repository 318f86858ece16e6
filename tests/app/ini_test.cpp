// The settings file: writing the carried copy, reading it back, deleting it.
#include "update/ini.h"

#include <gtest/gtest.h>

#include <functional>

#include "app_fixture.h"
#include "payload/embedded.h"
#include "sim/sim_files.h"

namespace hbx::testing {
namespace {

class IniTest : public AppTest {
 protected:
  const std::wstring path = Ini::strFilePath(kProgramFolder);
  Ini& ini() { return dialog_->m_Ini; }
  bool load(const std::string& content) {
    writeFile(path, content);
    return ini().vLoadINIFile(path);
  }
};

TEST_F(IniTest, CarriedFileLoadsEveryKey) {
  ASSERT_EQ(ini().nExtractINILib(kProgramFolder), 0);
  ASSERT_TRUE(ini().vLoadINIFile(path));
  EXPECT_TRUE(boxes().empty());
  const Ini& i = ini();
  for (std::uint8_t flag : {i.force_disable_fwupdate, i.check_fw_version, i.check_chip_type, i.check_U3_only,
                            i.check_U2_only, i.check_product_string, i.check_manufacture_string, i.check_vid,
                            i.check_pid, i.check_part_of_fw_version, i.check_bounding_option,
                            i.check_minor_byte_of_chip_type_BiggerThen, i.EnableRelinkToRomCode,
                            i.EnableRelinkAfterFWUpg, i.reg_edit_enable}) {
    EXPECT_EQ(flag, 0);
  }
  EXPECT_EQ(i.fw_version, L"230211170000");
  EXPECT_EQ(i.chip_type, L"A");
  EXPECT_EQ(i.minor_byte_of_chip_type, L"5");
  EXPECT_EQ(i.manufacture_string, L"CORVANE");
  EXPECT_EQ(i.product_string, L"USB3.0 Serial");
  EXPECT_EQ(i.vid, L"103C");
  EXPECT_EQ(i.pid, L"0570");
  EXPECT_EQ(i.part_of_fw_version, L"01;");
  EXPECT_EQ(i.bounding_option1, L"Support UASP");
  EXPECT_EQ(i.bounding_option2, L"3");
  EXPECT_EQ(i.start_address_of_part_of_fw_version, 8);
  EXPECT_EQ(i.part_of_fw_version_length, 2);
  EXPECT_EQ(i.minor_byte_of_chip_type_BiggerThen, L"3");
  EXPECT_EQ(i.reg_edit_subkey, L"SOFTWARE\\\\CORVANE\\\\FWUpdate");
  EXPECT_EQ(i.reg_edit_keyname, L"VersionNumber");
  EXPECT_EQ(i.reg_edit_type, L"REG_SZ");
  EXPECT_EQ(i.reg_edit_value, L"130925211106");
}

TEST_F(IniTest, LineRules) {
  struct Case {
    const char* content;
    std::function<bool(const Ini&)> holds;
  };
  const Case cases[] = {
      {"vid=2E8B/comment\r\n", [](const Ini& i) { return i.vid == L"2E8B"; }},
      {"  vid  =  2E8B  \r\n", [](const Ini& i) { return i.vid == L"2E8B"; }},
      {"CHECK_VID=1\n", [](const Ini& i) { return i.check_vid == 1; }},
      {"check_vid=1x\n", [](const Ini& i) { return i.check_vid == 1; }},
      {"check_vid=ab\n", [](const Ini& i) { return i.check_vid == 0; }},
      {"check_vid=257\n", [](const Ini& i) { return i.check_vid == 1; }},
      {"check_vid=-1\n", [](const Ini& i) { return i.check_vid == 255; }},
      {"check_vid=99999999999\n", [](const Ini& i) { return i.check_vid == 255; }},
      {"check_vid=3/1\n", [](const Ini& i) { return i.check_vid == 3; }},
      {"fw_version=a=b\n", [](const Ini& i) { return i.fw_version == L"a=b"; }},
      {"force disable fwupdate=2\n", [](const Ini& i) { return i.force_disable_fwupdate == 2; }},
      {"[chk_value]\n\n\nvid=1\n", [](const Ini& i) { return i.vid == L"1"; }},
      // A key without "=" stores an empty value.
      {"check_vid\n", [](const Ini& i) { return i.check_vid == 0; }},
      {"vid=1\nvid\n", [](const Ini& i) { return i.vid.empty(); }},
      // No line end after the last line.
      {"vid=ABCD", [](const Ini& i) { return i.vid == L"ABCD"; }},
  };
  for (const Case& c : cases) {
    Ini fresh(host_->ports().files, host_->ports().payloads);
    writeFile(path, c.content);
    EXPECT_TRUE(fresh.vLoadINIFile(path)) << c.content;
    EXPECT_TRUE(c.holds(fresh)) << c.content;
  }
  EXPECT_TRUE(boxes().empty());
}

TEST_F(IniTest, UnknownLineFailsAndNamesTheLastLine) {
  struct Case {
    const char* content;
    std::wstring box;
  };
  const Case cases[] = {
      {"vid=1\r\nbogus=5\r\ncheck_vid=1\r\n\r\n",
       L"[8634FWUpgradeTool] Load Ini File failed, strItemName[check_vid],strItemValue[1] "},
      {"vid=1\r\nnonsense\r\n", L"[8634FWUpgradeTool] Load Ini File failed, strItemName[nonsense],strItemValue[] "},
      {"[other]\n", L"[8634FWUpgradeTool] Load Ini File failed, strItemName[[other]],strItemValue[] "},
  };
  for (const Case& c : cases) {
    const std::size_t before = boxes().size();
    EXPECT_FALSE(load(c.content)) << c.content;
    ASSERT_EQ(boxes().size(), before + 1) << c.content;
    EXPECT_EQ(boxes().back(), c.box);
  }
  // Lines before and after the unknown one keep their values.
  EXPECT_EQ(ini().vid, L"1");
  EXPECT_EQ(ini().check_vid, 1);
}

TEST_F(IniTest, MissingFileFailsWithoutABox) {
  EXPECT_FALSE(ini().vLoadINIFile(path));
  EXPECT_TRUE(boxes().empty());
}

TEST_F(IniTest, ExtractReplacesAFilePlacedBeforehand) {
  writeFile(path, "check_vid=1\nvid=FFFF\nsomething longer than the carried file ...........................\n"
                  "..................................................................................."
                  "..................................................................................."
                  "..................................................................................."
                  "..................................................................................."
                  "..................................................................................."
                  "...................................................................................\n");
  ASSERT_EQ(ini().nExtractINILib(kProgramFolder), 0);
  const auto carried = payload::findEmbedded(L"INI", 138);
  ASSERT_TRUE(carried);
  EXPECT_EQ(readFile(path), std::string(carried->begin(), carried->end()));
}

TEST_F(IniTest, ExtractFailures) {
  // No such folder.
  EXPECT_EQ(ini().nExtractINILib(L"C:\\Missing\\Folder"), 255);
  // A full disk: the file comes out one byte short.
  host_->files().shortWritesTo("HBX763xFWUpg.ini");
  EXPECT_EQ(ini().nExtractINILib(kProgramFolder), 255);
  host_->files().shortWritesTo("");
  // Nothing carried.
  host_->payloads().remove(Ini::kResourceType, Ini::kResourceId);
  EXPECT_EQ(ini().nExtractINILib(kProgramFolder), 255);
  EXPECT_FALSE(exists(path));
}

TEST_F(IniTest, DeleteRemovesTheFileAndAnswersFalse) {
  writeFile(path, "vid=1\n");
  EXPECT_FALSE(ini().vDeleteINIFile(kProgramFolder));
  EXPECT_FALSE(exists(path));
  EXPECT_FALSE(ini().vDeleteINIFile(kProgramFolder));
}

}  // namespace
}  // namespace hbx::testing
