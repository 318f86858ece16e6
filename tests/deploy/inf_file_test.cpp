// Reading setup information files the way the simulated setup library does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/setup/inf_file.h"

namespace hbx::sim::setup {
namespace {

std::vector<std::uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(InfFile, SectionsFieldsCommentsAndStrings) {
  const InfFile inf = InfFile::parse(bytes(
      "; comment\r\n[Version]\r\nSignature = \"$WINDOWS NT$\"\r\n\r\n[Install.NT]\r\n"
      "CopyFiles = A, B ; trailing comment\r\nAddReg=Reg\r\n[reg]\r\n"
      "HKLM, %Key%, UpperFilters, 0x00010008, %Name%\r\n[Files]\r\nzeltufdriver.sys\r\n"
      "[Strings]\r\nKey = \"SYSTEM\\Class\"\r\nName = \"ZeltFilter;x\"\r\n"));
  EXPECT_TRUE(inf.hasSection(L"install.nt"));
  EXPECT_FALSE(inf.hasSection(L"Install"));
  EXPECT_EQ(inf.value(L"Install.NT", L"CopyFiles"), (std::vector<std::wstring>{L"A", L"B"}));
  EXPECT_EQ(inf.value(L"Version", L"Signature"), (std::vector<std::wstring>{L"$WINDOWS NT$"}));
  ASSERT_EQ(inf.section(L"Reg").size(), 1u);
  EXPECT_EQ(inf.section(L"Reg")[0].fields,
            (std::vector<std::wstring>{L"HKLM", L"SYSTEM\\Class", L"UpperFilters", L"0x00010008", L"ZeltFilter;x"}));
  ASSERT_EQ(inf.section(L"Files").size(), 1u);
  EXPECT_EQ(inf.section(L"Files")[0].key, L"");
  EXPECT_TRUE(inf.section(L"Missing").empty());
  EXPECT_FALSE(inf.value(L"Install.NT", L"DelFiles").has_value());
}

TEST(InfFile, Utf16WithByteOrderMarkAndBrokenLines) {
  const std::string text = "[A]\nKey = %12%\\x.sys\n[Unclosed\nLost = 1\n[B]\nK=%Missing";
  std::vector<std::uint8_t> wide{0xFF, 0xFE};
  for (char c : text) {
    wide.push_back(static_cast<std::uint8_t>(c));
    wide.push_back(0);
  }
  wide.push_back(0x41);  // an odd trailing byte is ignored
  const InfFile inf = InfFile::parse(wide);
  EXPECT_EQ(inf.value(L"A", L"Key"), (std::vector<std::wstring>{L"%12%\\x.sys"}));
  EXPECT_FALSE(inf.value(L"A", L"Lost").has_value());
  EXPECT_EQ(inf.value(L"B", L"K"), (std::vector<std::wstring>{L"%Missing"}));
}

}  // namespace
}  // namespace hbx::sim::setup
