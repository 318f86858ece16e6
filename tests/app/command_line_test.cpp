// The option parser, the firmware source choice and the help text, run
// through start-up as the program runs them.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "app/usage_text.h"
#include "app_fixture.h"
#include "base/log/format.h"
#include "base/text/text_util.h"
#include "base/text/utf.h"
#include "tests/sim/temp_folder.h"

namespace hbx::testing {
namespace {

using Dlg = ZAr763ORIdirevaVodoRev;

std::wstring programFile(const std::wstring& name) { return std::wstring(kProgramFolder) + L"\\" + name; }

TEST(CommandLineText, CollectAndPrepare) {
  EXPECT_EQ(cmdline::strCollect(L"/DBG\t3\n/MP /A"), L"/DBG3/MP /A");
  EXPECT_EQ(cmdline::strPrepare(L"/u \"./fw file.bin\" /mstr Acme"), L"/U ./FW FILE.BIN /MSTR ACME");
}

TEST(CommandLineText, TheReportOptionIsTakenOutWithItsFile) {
  struct Case {
    std::wstring line;
    std::optional<std::wstring> file;
    std::wstring rest;
  };
  const Case cases[] = {
      {L"/DOS /DBG 3", std::nullopt, L"/DOS /DBG 3"},
      // Option texts in the file's name stay in it.
      {L"/DOS /report Z:\\tmp\\Out/C/Dos.json /DBG 3", L"Z:\\tmp\\Out/C/Dos.json", L"/DOS /DBG 3"},
      {L"/REPORT \"C:\\my reports\\r.json\" /DOS", L"C:\\my reports\\r.json", L"/DOS"},
      {L"/DOS /REPORT", L"", L"/DOS"},
      {L"/DOS /REPORT   ", L"", L"/DOS"},
      // The next option is no file name; a path from the root is.
      {L"/DOS /REPORT /U Z:/tmp/fw.bin", L"", L"/DOS /U Z:/tmp/fw.bin"},
      {L"/REPORT /tmp/r.json /DOS", L"/tmp/r.json", L"/DOS"},
      {L"/REPORT /r.json /DOS", L"/r.json", L"/DOS"},
      // The firmware file's name is not searched for the option.
      {L"/DOS /U Z:/tmp/Report/fw.bin", std::nullopt, L"/DOS /U Z:/tmp/Report/fw.bin"},
      {L"/U Z:/REPORT/fw.bin /REPORT r.json /DOS", L"r.json", L"/U Z:/REPORT/fw.bin /DOS"},
  };
  for (const Case& c : cases) {
    std::wstring line = c.line;
    EXPECT_EQ(cmdline::takeReportFile(line), c.file) << toUtf8(c.line);
    EXPECT_EQ(line, c.rest) << toUtf8(c.line);
  }
}

class OptionTest : public AppTest {};

TEST_F(OptionTest, OptionsFillTheRunStateAndFilters) {
  struct Case {
    std::wstring line;
    std::function<void(const Dlg&, const CHubUtility&)> check;
  };
  const Case cases[] = {
      {L"",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bUpdate, 1);
         EXPECT_EQ(d.m_bCheckFW, 0);
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(kCarriedImage));
         EXPECT_EQ(d.m_strCurFileFWVer, L"25031825010C");
         EXPECT_EQ(u.m_strVID_Indetify, L"2E8B");
       }},
      {L"/MP /A /UN /E /C 2503_1825_010c",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bMP, 1);
         EXPECT_EQ(d.m_bAuto, 1);
         EXPECT_EQ(d.m_bNoUninstall, 1);
         EXPECT_EQ(d.m_bExport, 1);
         EXPECT_EQ(d.m_bCheckFW, 1);
         EXPECT_EQ(d.m_bUpdate, 0);
         EXPECT_EQ(d.m_strChkFWVer, L"25031825010C");
         EXPECT_EQ(d.m_Model.itemText(ui::ctrl::kVersionCaption), L"Check FW Version:");
         EXPECT_EQ(d.m_Model.itemText(ui::ctrl::kVersionText), L"250318_25_01_0C");
         EXPECT_TRUE(u.m_strFWBinFilePath.empty());  // no firmware source in check mode
       }},
      // Check mode alone turns update mode off: nothing is written.
      {L"/C 250115_25_00_00",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bCheckFW, 1);
         EXPECT_EQ(d.m_bUpdate, 0);
         EXPECT_EQ(d.m_bExport, 0);
         EXPECT_EQ(d.m_strChkFWVer, L"250115250000");
         EXPECT_TRUE(u.m_strFWBinFilePath.empty());
       }},
      {L"/MP/A/UN",
       [](const Dlg& d, const CHubUtility&) {
         EXPECT_EQ(d.m_bMP, 1);
         EXPECT_EQ(d.m_bAuto, 1);
         EXPECT_EQ(d.m_bNoUninstall, 1);
       }},
      {L"/O",
       [](const Dlg& d, const CHubUtility&) {
         EXPECT_EQ(d.m_bOutputVer, 1);
         EXPECT_EQ(d.m_Model.itemText(ui::ctrl::kVersionCaption), L"Output Hub Version:");
       }},
      {L"/I",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bCmpSN, 1);
         EXPECT_EQ(d.m_Model.itemText(ui::ctrl::kVersionCaption), L"Compare Serial Number:");
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(kCarriedImage));
       }},
      {L"/vid 103c /a",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bAssignVID, 1);
         EXPECT_EQ(u.m_strVID_Indetify, L"103C");
         EXPECT_EQ(d.m_bAuto, 1);
       }},
      {L"/P3 0570", [](const Dlg&, const CHubUtility& u) { EXPECT_EQ(u.m_strPID30_Indetify, L"0570"); }},
      {L"/P2 0571 /MP",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(u.m_strPID20_Indetify, L"0571");
         EXPECT_TRUE(u.m_strPID30_Indetify.empty());
         EXPECT_EQ(d.m_bMP, 1);
       }},
      {L"/MSTR Acme Hubs /A",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(u.m_bCheckManuString, 1);
         EXPECT_EQ(u.m_strManuString_Indetify, L"ACME HUBS");
         EXPECT_EQ(d.m_bAuto, 1);
       }},
      // Values are hexadecimal: 10 is 16; only 0-9 and A-F count.
      {L"/N 10",
       [](const Dlg&, const CHubUtility& u) {
         EXPECT_EQ(u.m_bRequestedHubNumber, 1);
         EXPECT_EQ(u.m_ucRequestedHubNumber, 16);
       }},
      {L"/N 1G2", [](const Dlg&, const CHubUtility& u) { EXPECT_EQ(u.m_ucRequestedHubNumber, 0x12); }},
      {L"/N 1FF", [](const Dlg&, const CHubUtility& u) { EXPECT_EQ(u.m_ucRequestedHubNumber, 0xFF); }},
      {L"/DBG 10", [](const Dlg&, const CHubUtility&) { EXPECT_EQ(log::debugLevel(), 16); }},
      {L"/DBG /MP",
       [](const Dlg& d, const CHubUtility&) {
         EXPECT_EQ(log::debugLevel(), 0);
         EXPECT_EQ(d.m_bMP, 1);
       }},
      {L"/MP /DBG 3", [](const Dlg&, const CHubUtility&) { EXPECT_EQ(log::debugLevel(), 3); }},
      {L"/SILENT",
       [](const Dlg& d, const CHubUtility&) {
         EXPECT_EQ(d.m_bSilent, 1);
         EXPECT_EQ(d.m_ucMsgBoxLevel, 0xFF);
         EXPECT_FALSE(d.m_Model.isVisible());
       }},
      // The firmware file argument hides option texts: "/C" inside the name
      // is not check mode, and options after the file still count.
      {L"/U ./Config_250318_25_01_0C.bin /MP",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bCheckFW, 0);
         EXPECT_EQ(d.m_bUpdate, 1);
         EXPECT_EQ(d.m_bMP, 1);
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(L"CONFIG_250318_25_01_0C.BIN"));
         EXPECT_EQ(d.m_strCurFileFWVer, L"25031825010C");
       }},
      {L"/A/U\"./Config_250318_25_01_0C.bin\"/UN",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bCheckFW, 0);
         EXPECT_EQ(d.m_bAuto, 1);
         EXPECT_EQ(d.m_bNoUninstall, 1);
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(L"CONFIG_250318_25_01_0C.BIN"));
       }},
      // "/UN" before "/U" is an option, not the start of the file.
      {L"/UN/U./Config_250318_25_01_0C.bin",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bNoUninstall, 1);
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(L"CONFIG_250318_25_01_0C.BIN"));
       }},
      // An absolute path is taken as it is, checked and classified; its
      // version is the content's, which its name repeats.
      {L"/U C:\\HBX\\Config_250318_25_01_0C.bin",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(u.m_strFWBinFilePath, L"C:\\HBX\\CONFIG_250318_25_01_0C.BIN");
         EXPECT_LE(d.m_bMajorType, 3);
         EXPECT_EQ(d.m_strCurFileFWVer, L"25031825010C");
       }},
      // Options written as words of their own between "/U" and the file
      // count; only the word that ends in ".BIN" is the file.
      {L"/U /SILENT /MP Config_250318_25_01_0C.bin",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bSilent, 1);
         EXPECT_EQ(d.m_bMP, 1);
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(L"CONFIG_250318_25_01_0C.BIN"));
       }},
      {L"/U /MSTR Acme ./Config_250318_25_01_0C.bin",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(u.m_strManuString_Indetify, L"ACME");
         EXPECT_EQ(d.m_bCheckFW, 0);
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(L"CONFIG_250318_25_01_0C.BIN"));
       }},
      {L"/U /DBG 3 /I /C 250318250100 Config_250318_25_01_0C.bin /A",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(log::debugLevel(), 3);
         EXPECT_EQ(d.m_bCmpSN, 1);
         EXPECT_EQ(d.m_strChkFWVer, L"250318250100");
         EXPECT_EQ(d.m_bAuto, 1);
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(L"CONFIG_250318_25_01_0C.BIN"));
       }},
      // No "/U" at all takes the carried image.
      {L"/A",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bAuto, 1);
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(kCarriedImage));
       }},
      // Check mode and an explicit file: both run.
      {L"/C 250318250100 /U ./Config_250318_25_01_0C.bin",
       [](const Dlg& d, const CHubUtility& u) {
         EXPECT_EQ(d.m_bCheckFW, 1);
         EXPECT_EQ(d.m_bUpdate, 1);
         EXPECT_EQ(d.m_strChkFWVer, L"250318250100");
         EXPECT_EQ(u.m_strFWBinFilePath, programFile(L"CONFIG_250318_25_01_0C.BIN"));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    // A fresh dialog and filters for every line.
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    utility_->m_strPID20_Indetify.clear();
    utility_->m_strPID30_Indetify.clear();
    const StepResult r = start(c.line);
    EXPECT_FALSE(r.endsProcess());
    c.check(*dialog_, *utility_);
  }
  // The only boxes are the success messages of the runs start-up started.
  for (const std::wstring& box : boxes()) {
    EXPECT_TRUE(box.starts_with(L"[Warning] The firmware update process is successful.")) << box;
  }
}

TEST_F(OptionTest, ErrorsEndTheProcess) {
  const std::wstring usageOf = L"[Question] " + strUsageText(L"", 0).substr(0, 34);
  struct Case {
    std::wstring line;
    int exitCode;
    std::vector<std::wstring> boxPrefixes;
  };
  const Case cases[] = {
      {L"/?", 0, {usageOf}},
      {L"/MP /? /P3 1 /P2 2", 0, {usageOf}},
      {L"/DOS", 0, {}},
      {L"/DOS \"\"", 0, {}},
      {L"/DOS \" \"", 0, {}},
      // "/U" without a name (a script's empty variable) is refused, never
      // taken for the carried image.
      {L"/U", -10, {L"[Error] Please Input FW File!!! ", usageOf}},
      {L"/U \"\"", -10, {L"[Error] Please Input FW File!!! ", usageOf}},
      {L"/U \" \" /A", -10, {L"[Error] Please Input FW File!!! ", usageOf}},
      {L"/U /A", -10, {L"[Error] Please Input FW File!!! ", usageOf}},
      {L"/P3 1234 /P2 5678", -10, {L"[Error] You can not check /P3 /P2 at the same time!!! "}},
      {L"/P2 5678 /P3 1234", -10, {L"[Error] You can not check /P3 /P2 at the same time!!! "}},
      {L"/C 12345", -10, {L"[Error] Please Input Correctly FW Version!!! ", usageOf}},
      {L"/C 25031825010", -10, {L"[Error] Please Input Correctly FW Version!!! ", usageOf}},
      {L"/C 2503182501000", -10, {L"[Error] Please Input Correctly FW Version!!! ", usageOf}},
      // Export turns update mode off; asking for an update beside it is refused.
      {L"/E /U", -10, {L"[Error] Export FW  and Update FW can not be enabled at the same time!!"}},
      {L"/U missing.bin",
       -10,
       {L"[8634FWUpgradeTool] C:\\HBX\\MISSING.BIN File/Path Not Exist", L"[Error] Input FW File is not exist!!! ",
        usageOf}},
      {L"/U Z:/nowhere/Fw_1.bin",
       -10,
       {L"[8634FWUpgradeTool] Z:/NOWHERE/FW_1.BIN File/Path Not Exist", L"[Error] Input FW File is not exist!!! ",
        usageOf}},
      // A name that is no ".BIN" file is refused, never replaced by the carried image.
      {L"/U newfw.img", -10, {L"[Error] Input FW File is not exist!!! ", usageOf}},
      {L"/A /U something /MP", -10, {L"[Error] Input FW File is not exist!!! ", usageOf}},
      // No box in the hidden modes; the exits stay.
      {L"/SILENT /P3 1234 /P2 5678", -10, {}},
      {L"/DOS /C 1", -10, {}},
      {L"/SILENT /U missing.bin", -10, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    const std::size_t before = boxes().size();
    const StepResult r = start(c.line);
    ASSERT_TRUE(r.endsProcess());
    EXPECT_EQ(r.exitCode(), c.exitCode);
    std::vector<std::wstring> shown = boxes();
    shown.erase(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(before));
    ASSERT_EQ(shown.size(), c.boxPrefixes.size());
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_TRUE(shown[i].starts_with(c.boxPrefixes[i])) << shown[i];
  }
}

TEST_F(OptionTest, OnlyAFileOnADiskIsASourceAndReadingItIsEnough) {
  namespace fs = std::filesystem;
  TempFolder outside;
  const std::string image = carriedImage();
  const fs::path readOnly = outside.write("ro_fw.bin", image);
  const fs::path folder = outside.path() / "folder.bin";
  const fs::path fifo = outside.path() / "fifo.bin";
  const fs::path device = outside.path() / "device.bin";
  fs::create_directory(folder);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", device);
  const auto onZ = [](const fs::path& p) { return L"Z:" + fromUtf8(p.string()); };
  writeFile(programFile(L"RO_FW.BIN"), image);
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  fs::permissions(host_->hostPath(programFile(L"RO_FW.BIN")), fs::perms::owner_read);

  // A read-only file, in the program folder or elsewhere, is read and used.
  for (const std::wstring& source : {std::wstring(L"RO_FW.BIN"), onZ(readOnly)}) {
    SCOPED_TRACE(source);
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    const StepResult r = start(L"/DOS /U " + source);
    EXPECT_FALSE(r.endsProcess()) << r.exitCode();
    EXPECT_LE(dialog_->m_bMajorType, 3);
  }
  // A folder, a pipe or a device is refused at once, before it is opened,
  // and the box says what it is (it is there, not missing).
  const std::pair<fs::path, std::wstring> refused[] = {{folder, L" is a folder, not a file"},
                                                       {fifo, L" is a pipe or device, not a file"},
                                                       {device, L" is a pipe or device, not a file"}};
  for (const auto& [source, what] : refused) {
    SCOPED_TRACE(source.string());
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    const std::size_t before = boxes().size();
    const StepResult r = start(L"/U " + onZ(source));
    ASSERT_TRUE(r.endsProcess());
    EXPECT_EQ(r.exitCode(), -10);
    ASSERT_GE(boxes().size(), before + 2);
    EXPECT_TRUE(boxes()[before].starts_with(L"[8634FWUpgradeTool] Z:")) << toUtf8(boxes()[before]);
    EXPECT_TRUE(boxes()[before].ends_with(what)) << toUtf8(boxes()[before]);
    EXPECT_EQ(boxes()[before + 1], L"[Error] Input FW File is not exist!!! ");
  }
}

TEST_F(OptionTest, TheFileNameEndsWhereItsArgumentEnds) {
  namespace fs = std::filesystem;
  // A name that goes on after ".bin" is that name, not the ".bin" file
  // beside it; it is no firmware source.
  for (const std::wstring name : {L"Config_250318_25_01_0C.bin.bak", L"Config_250318_25_01_0C.binary"}) {
    SCOPED_TRACE(name);
    writeFile(programFile(name), carriedImage());
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    const StepResult r = start(L"/DOS /U " + name);
    ASSERT_TRUE(r.endsProcess());
    EXPECT_EQ(r.exitCode(), -10);
    EXPECT_EQ(utility_->m_strFWBinFilePath, programFile(text::upper(name)));
  }
  // A path with "/" and a blank in a folder's name is one name: "/A B" in it
  // is no option.
  TempFolder outside;
  fs::create_directory(outside.path() / "a b");
  const fs::path file = outside.path() / "a b" / "fw.bin";
  std::ofstream(file, std::ios::binary) << carriedFirmware();
  const std::wstring path = L"Z:" + fromUtf8(file.string());
  dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
  const StepResult r = start(L"/DOS /U " + path + L" /MP");
  EXPECT_FALSE(r.endsProcess()) << r.exitCode();
  EXPECT_EQ(utility_->m_strFWBinFilePath, text::upper(path));
  EXPECT_EQ(dialog_->m_bAuto, 0);
  EXPECT_EQ(dialog_->m_bMP, 1);
  EXPECT_LE(dialog_->m_bMajorType, 3);
}

TEST_F(OptionTest, AReportOverAFileTheRunUsesIsRefusedBeforeAnyHub) {
  // The source in another case and another spelling, an invalid source, the
  // program, and the run's own files.
  writeFile(programFile(L"bad.bin"), "not firmware");
  const std::wstring lines[] = {
      L"/DOS /REPORT config_250318_25_01_0c.bin /U ./Config_250318_25_01_0C.bin",
      L"/DOS /REPORT C:/HBX/CONFIG_250318_25_01_0C.BIN /U Config_250318_25_01_0C.bin",
      L"/DOS /REPORT bad.bin /U bad.bin",
      L"/DOS /A /REPORT " + utility_->strModulePath(),
      L"/DOS /A /REPORT HBXFW_Temp\\TempBinData.bin",
      L"/DOS /A /REPORT devconAMD64.exe",
      L"/DOS /A /REPORT HBX763xFWUpg.ini",
  };
  for (const std::wstring& line : lines) {
    SCOPED_TRACE(line);
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    const StepResult r = start(line);
    ASSERT_TRUE(r.endsProcess());
    EXPECT_EQ(r.exitCode(), -10);
    EXPECT_FALSE(dialog_->m_Report.requested()) << "nothing is written to it";
    EXPECT_EQ(dialog_->m_MainThreadInfo.ucState.load(), 0) << "no run started";
  }
  EXPECT_EQ(readFile(programFile(L"bad.bin")), "not firmware");
  // Any other file is fine.
  dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
  EXPECT_FALSE(start(L"/DOS /REPORT r.json /U Config_250318_25_01_0C.bin").endsProcess());
  EXPECT_TRUE(dialog_->m_Report.requested());
}

TEST_F(OptionTest, HiddenModesWriteWhatTheyDoNotShowToStandardError) {
  struct Case {
    std::wstring line;
    std::vector<std::string> errorLines;  // each the start of one line
  };
  const Case cases[] = {
      {L"/DOS /C 12345", {"[Error] Please Input Correctly FW Version!!! \n"}},
      {L"/DOS /P3 1234 /P2 5678", {"[Error] You can not check /P3 /P2 at the same time!!! \n"}},
      {L"/DOS /U missing.bin",
       {"[8634FWUpgradeTool] C:\\HBX\\MISSING.BIN File/Path Not Exist\n", "[Error] Input FW File is not exist!!! \n"}},
      {L"/SILENT /U missing.bin",
       {"[8634FWUpgradeTool] C:\\HBX\\MISSING.BIN File/Path Not Exist\n", "[Error] Input FW File is not exist!!! \n",
        "[Question] 8634FWUpgradeTool.exe 3, 2, 2, 0 Your Input: /SILENT /U missing.bin Usage: "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    const std::size_t before = errors().size();
    const StepResult r = start(c.line);
    ASSERT_TRUE(r.endsProcess());
    EXPECT_EQ(r.exitCode(), -10);
    std::string written = errors().substr(before);
    for (const std::string& line : c.errorLines) {
      EXPECT_EQ(written.substr(0, line.size()), line);
      written.erase(0, written.find('\n') + 1);
    }
    EXPECT_EQ(written, "");
  }
  // Standard output stays as scripts know it: nothing before the banner.
  EXPECT_EQ(output(), "");
}

TEST_F(OptionTest, DosAloneAllocatesTheConsoleAndEndsWithZero) {
  const StepResult r = start(L"/DOS");
  ASSERT_TRUE(r.endsProcess());
  EXPECT_EQ(r.exitCode(), 0);
  EXPECT_EQ(dialog_->m_bConsole, 1);
  EXPECT_TRUE(host_->system().consoleAllocated());
  EXPECT_TRUE(boxes().empty());
}

TEST_F(OptionTest, NoUpdateLineWhenUpdatingIsForbidden) {
  carrySettings("force disable fwupdate=1\n");
  StepResult r = start(L"/U ./Config_250318_25_01_0C.bin");
  ASSERT_TRUE(r.endsProcess());
  EXPECT_EQ(r.exitCode(), -10);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0],
            L"[Error] This tool version cannot do FW udpate !!Please contact Corvane when you want to do FW udpate ");

  // 2 only hides the help line; updating still works.
  carrySettings("force disable fwupdate=2\n");
  dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
  EXPECT_FALSE(start(L"").endsProcess());
  EXPECT_EQ(utility_->m_strFWBinFilePath, programFile(kCarriedImage));
  dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
  EXPECT_TRUE(start(L"/?").endsProcess());
  EXPECT_EQ(boxes().back(), L"[Question] " + strUsageText(L"/?", 2));
  EXPECT_EQ(boxes().back().find(L"/U [file]"), std::wstring::npos);
}

// The help text shows the line as typed: its "/REPORT" too, which it explains.
TEST_F(OptionTest, HelpShowsTheReportOptionAsTyped) {
  dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
  EXPECT_TRUE(start(L"/? /REPORT C:\\r.json").endsProcess());
  EXPECT_NE(boxes().back().find(L"Your Input: /? /REPORT C:\\r.json\r\n"), std::wstring::npos) << toUtf8(boxes().back());
}

TEST(UsageText, IsTheHelpOfTheTool) {
  const std::wstring full = strUsageText(L"/C \"x\"", 0);
  EXPECT_EQ(full,
            L"8634FWUpgradeTool.exe 3, 2, 2, 0\r\n"
            L"Your Input: /C \"x\"\r\n"
            L"Usage: 8634FWUpgradeTool.exe\t[ /? | /DBG [Level] | /DOS | /MP | /SILENT | /A | /O | /VID | /P3 PID | "
            L"/P2 PID | /MSTR [M string] | /N | /UN | /I | /E | /C [version] | /U file ] \r\n\r\n"
            L"OPTIONS\r\n"
            L"/?\tDisplay help message.\r\n"
            L"/DBG [Level]\tSet Message Level \r\n"
            L"/DOS\tEnable Console Windows \r\n"
            L"/MP\tMP Version: do not check firmware \r\n"
            L"/SILENT\tSilent Install: do not show any messages/operaions\r\n"
            L"/A\tAuto Mode: do not Need to press \"OK\" button \r\n"
            L"/O\tOutput version text file \r\n"
            L"/VID [VID]\tAssign target VID Hubs \r\n"
            L"/P3 [U3 PID]\tAssign target USB 3.0 PID Hubs  \r\n"
            L"/P2 [U2 PID]\tAssign target USB 2.0 PID Hubs  \r\n"
            L"/MSTR [M String] Assign target Hub's Manufacturing string  \r\n"
            L"/N [No.]\tSet Hubs Number \r\n"
            L"/UN\tDo not unstaill Filter Driver after program finished. \r\n"
            L"/I\tCompare serial number\t\r\n"
            L"/E [Target Number]\tExport SPI-ROM in HBX763xFW.bin file\r\n"
            L"/C [FW version]\tCheck Firmware Version\r\n"
            L"/U [file]\tUpdate FW \r\n"
            L"/REPORT file\tWrite a JSON report of the run into file\r\n");
  const std::wstring update = L"/U [file]\tUpdate FW \r\n";
  const std::wstring report = L"/REPORT file\tWrite a JSON report of the run into file\r\n";
  for (std::uint8_t force : {1, 2, 255}) {
    EXPECT_EQ(strUsageText(L"/C \"x\"", force),
              full.substr(0, full.size() - update.size() - report.size()) + report) << int(force);
  }
}

}  // namespace
}  // namespace hbx::testing
