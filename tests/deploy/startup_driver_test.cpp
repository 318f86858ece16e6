// Start-up from the device-console tool to the Start button: the filter
// driver checked and installed, the failure procedure, and the firmware
// file refused or taken.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/app/app_fixture.h"
#include "tests/sim/family_bench.h"
#include "tests/sim/temp_folder.h"
#include "tools/pe_stub/pe_stub_writer.h"
#include "ui/control_ids.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kDriverFile = L"C:\\Windows\\system32\\drivers\\zeltufdriver.sys";
constexpr const wchar_t* kDevcon = L"C:\\HBX\\devconAMD64.exe";
constexpr const char* kInstallLog = ": InstallFilterDriver[C:\\Windows\\Temp\\]";

// The bench folder comes before the host built on it. Without a bench of
// its own: one hub of each family, the driver installed and current.
struct BenchFolder {
  explicit BenchFolder(const char* benchJson) { folder.write("bench.json", benchJson ? benchJson : familyBenchJson()); }
  TempFolder folder;
};

class DriverStartupTest : protected BenchFolder, public AppTest {
 protected:
  explicit DriverStartupTest(const char* benchJson = nullptr) : BenchFolder(benchJson), AppTest(folder.path()) {
    logFile_ = host_->driveC() / "debug.log";
    host_->system().setDebugLogFile(logFile_);
    log::vDEBUG_SetLevel(3);
  }
  ~DriverStartupTest() override { dialog_->vWaitForRunEnd(); }

  // Start-up, then the run it started, to its end.
  StepResult startAndRun(const std::wstring& line) {
    const StepResult r = start(line);
    dialog_->vWaitForRunEnd();
    return r;
  }
  std::string debugLog() {
    std::ifstream in(logFile_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool logged(const std::string& text) { return debugLog().find(text) != std::string::npos; }
  std::wstring status() { return dialog_->m_Model.itemText(ui::ctrl::kStatusText); }
  void writeDriverVersion(std::array<std::uint16_t, 4> version) {
    tools::PeStubOptions options;
    options.fileVersion = version;
    ASSERT_TRUE(tools::writePeStub(host_->hostPath(kDriverFile), options));
  }
  // The boxes shown since the first `before` ones.
  std::vector<std::wstring> boxesSince(std::size_t before) {
    const std::vector<std::wstring> all = boxes();
    return std::vector<std::wstring>(all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())), all.end());
  }
  // A new dialog for the next start on the same computer.
  void newDialog() {
    dialog_ = std::make_unique<ZAr763ORIdirevaVodoRev>(host_->ports(), *utility_);
    pFWUpdateDlg = dialog_.get();
  }

 private:
  fs::path logFile_;
};

template <const char* Bench>
class BenchStartupTest : public DriverStartupTest {
 protected:
  BenchStartupTest() : DriverStartupTest(Bench) {}
};

constexpr char kNotInstalled[] = R"({"hubs": {"driverInstalled": false}})";
constexpr char kRegisteredWithoutFile[] =
    R"({"hubs": {"driverInstalled": false}, "usb": {"upperFilters": ["ZeltFilter"]}})";
constexpr char kArm64NotInstalled[] = R"({"hubs": {"driverInstalled": false}, "os": {"machine": "arm64"}})";
using NotInstalledTest = BenchStartupTest<kNotInstalled>;
using Arm64Test = BenchStartupTest<kArm64NotInstalled>;
using RegisteredWithoutFileTest = BenchStartupTest<kRegisteredWithoutFile>;

TEST_F(DriverStartupTest, InstalledAndCurrentDriverIsUsedAsItIs) {
  ASSERT_FALSE(startAndRun(L"/DOS /DBG 3").endsProcess());
  EXPECT_FALSE(logged(kInstallLog));
  EXPECT_TRUE(logged(": OnBnClickedStartButton:: fw path=["));
  EXPECT_TRUE(boxes().empty());
}

TEST_F(DriverStartupTest, DriverAtAnotherVersionIsInstalledAgain) {
  writeDriverVersion({1, 0, 6, 0});
  ASSERT_FALSE(startAndRun(L"/DOS /DBG 3").endsProcess());
  EXPECT_TRUE(logged(kInstallLog));
  EXPECT_TRUE(logged(": OnBnClickedStartButton:: fw path=["));
}

TEST_F(NotInstalledTest, UnregisteredFilterIsInstalledBeforeStart) {
  ASSERT_FALSE(startAndRun(L"/DOS /DBG 3").endsProcess());
  const std::string log = debugLog();
  const std::size_t install = log.find(kInstallLog);
  ASSERT_NE(install, std::string::npos);
  // The driver file is found after the install: one install only.
  EXPECT_EQ(log.find(kInstallLog, install + 1), std::string::npos);
  EXPECT_LT(install, log.find(": OnBnClickedStartButton:: fw path=["));
  EXPECT_NE(dialog_->m_iRet.load(), -20);
}

TEST_F(NotInstalledTest, DriverThatCannotBeInstalledEndsWithMinusTwenty) {
  // The package stops at the amd64 build: the files before it are written.
  host_->payloads().remove(L"SYS", 165);
  writeFile(std::wstring(kProgramFolder) + L"\\" + kCarriedImage, "image");
  const StepResult r = startAndRun(L"/DBG 3");
  ASSERT_TRUE(r.endsProcess());
  EXPECT_EQ(r.exitCode(), -20);
  EXPECT_EQ(dialog_->m_iRet.load(), -20);
  EXPECT_EQ(dialog_->m_bSilent, 1);
  EXPECT_EQ(boxes(), std::vector<std::wstring>{L"[Error] Please install Corvane Filter Driver !!"});
  EXPECT_EQ(status(), L"Failed!!");
  EXPECT_FALSE(exists(std::wstring(kProgramFolder) + L"\\" + kCarriedImage));
  EXPECT_FALSE(exists(kDevcon));
  EXPECT_FALSE(logged(": OnBnClickedStartButton::"));
  // What the install attempt wrote is gone, as after a run.
  EXPECT_TRUE(fs::is_empty(host_->hostPath(L"C:\\Windows\\Temp")));
}

TEST_F(NotInstalledTest, ProgramBuiltWithoutTheDriverFilesSaysSo) {
  for (std::uint32_t id : {154u, 155u, 165u}) host_->payloads().remove(L"SYS", id);
  const StepResult r = startAndRun(L"/DBG 3");
  ASSERT_TRUE(r.endsProcess());
  EXPECT_EQ(r.exitCode(), -20);
  EXPECT_EQ(boxes(), std::vector<std::wstring>{L"[Error] This program carries no filter driver: it was built without "
                                               L"the driver files. Use a build that carries them."});
}

// An install that ran but copied no driver file: unattended start-up ends
// and takes back what the install did.
TEST_F(NotInstalledTest, InstallWithoutDriverFileIsTakenBackWhenStartUpEnds) {
  const std::string inf =
      "[DefaultInstall.NTAMD64]\nAddReg = Add\n[DefaultUninstall.NTAMD64]\nDelReg = Del\n"
      "[Add]\nHKLM, %Key%, UpperFilters, 0x00010008, ZeltFilter\n"
      "[Del]\nHKLM, %Key%, UpperFilters, 0x00018002, ZeltFilter\n"
      "[Strings]\nKey = \"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}\"\n";
  host_->payloads().replace(L"INF", 157, std::vector<std::uint8_t>(inf.begin(), inf.end()));
  const StepResult r = startAndRun(L"/SILENT /DBG 3");
  ASSERT_TRUE(r.endsProcess());
  EXPECT_EQ(r.exitCode(), -20);
  EXPECT_TRUE(logged(kInstallLog));
  EXPECT_FALSE(utility_->bIsInstallZeltFilterDriverFromRegistry());
  EXPECT_TRUE(fs::is_empty(host_->hostPath(L"C:\\Windows\\Temp")));
  EXPECT_FALSE(exists(kDevcon));
}

TEST_F(RegisteredWithoutFileTest, MissingDriverFileEndsUnattendedRuns) {
  struct Case {
    std::wstring line;
    std::string console;
  };
  for (const Case& c : {Case{L"/SILENT /DBG 3", ""}, Case{L"/A /DBG 3", ""}, Case{L"/DOS /DBG 3", "\n"}}) {
    SCOPED_TRACE(c.line);
    newDialog();
    const std::size_t outputBefore = output().size();
    const StepResult r = startAndRun(c.line);
    ASSERT_TRUE(r.endsProcess());
    EXPECT_EQ(r.exitCode(), -20);
    EXPECT_EQ(dialog_->m_iRet.load(), -20);
    EXPECT_EQ(status(), L"Failed!!");
    EXPECT_TRUE(output().substr(outputBefore).ends_with("======\r\n" + c.console) || c.console.empty());
    EXPECT_FALSE(exists(std::wstring(kProgramFolder) + L"\\" + kCarriedImage));
    EXPECT_FALSE(exists(kDriverFile));
    EXPECT_FALSE(exists(kDevcon));
    EXPECT_TRUE(fs::is_empty(host_->hostPath(L"C:\\Windows\\Temp")));
  }
}

// Interactive: the message and the failed status, then one more install and
// the run, with the exit code left at -20 unless the run sets another.
TEST_F(RegisteredWithoutFileTest, MissingDriverFileIsInstalledInTheInteractiveDialog) {
  ASSERT_FALSE(start(L"/DBG 3").endsProcess());
  const std::vector<std::wstring> shown = boxes();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), L"[Error] Can not find Corvane Filter Driver !!");
  EXPECT_EQ(host_->windows().shown().front().flags & 0x30u, 0x30u);
  dialog_->vWaitForRunEnd();
  EXPECT_TRUE(logged(kInstallLog));
  EXPECT_TRUE(logged(": OnBnClickedStartButton:: fw path=["));
  EXPECT_TRUE(logged(":  iExitcode[ -20]"));
}

TEST_F(DriverStartupTest, DevconThatCannotBeWrittenEndsWithMinusFive) {
  struct Case {
    std::wstring line;
    std::vector<std::wstring> boxes;
  };
  for (const Case& c : {Case{L"/SILENT /DBG 3", {}}, Case{L"/DBG 3", {L"[Error] extra necessary files failed!!"}}}) {
    SCOPED_TRACE(c.line);
    const std::size_t before = boxes().size();
    newDialog();
    host_->payloads().remove(L"EXE", 152);
    const StepResult r = startAndRun(c.line);
    ASSERT_TRUE(r.endsProcess());
    EXPECT_EQ(r.exitCode(), -5);
    EXPECT_EQ(dialog_->m_iRet.load(), -5);
    EXPECT_EQ(boxesSince(before), c.boxes);
    EXPECT_EQ(status(), L"Failed!!");
    EXPECT_FALSE(exists(kDevcon));
    EXPECT_FALSE(exists(std::wstring(kProgramFolder) + L"\\" + kCarriedImage));
    EXPECT_TRUE(logged(": nADD_Delete_DevconFile Failed[C:\\HBX]"));
  }
}

TEST_F(DriverStartupTest, StartPlacesTheDevconToolAndWiresTheRunsRemovals) {
  ASSERT_FALSE(start(L"/DOS /DBG 3").endsProcess());
  dialog_->vWaitForRunEnd();
  ASSERT_TRUE(dialog_->m_RunHooks.removeDevconFile);
  ASSERT_TRUE(dialog_->m_RunHooks.removeFilterDriverAndFiles);
  // The run removed the tool it placed; one placed after it is not the run's.
  EXPECT_FALSE(exists(kDevcon));
  writeFile(kDevcon, "tool");
  EXPECT_EQ(dialog_->m_RunHooks.removeDevconFile(kProgramFolder), 0);
  EXPECT_EQ(readFile(kDevcon), "tool");
}

// The firmware file: a relative or absolute name, checked and classified
// alike; a file no hub can take is refused before anything is installed.
TEST_F(DriverStartupTest, FirmwareFileIsCheckedAndClassified) {
  const auto carried = host_->payloads().payload(L"BIN", 166);
  ASSERT_TRUE(carried);
  const std::string valid(carried->begin(), carried->end());
  writeFile(L"C:\\fw\\Config_250318_25_01_0C.bin", valid);
  writeFile(std::wstring(kProgramFolder) + L"\\Config_new.bin", valid);
  writeFile(std::wstring(kProgramFolder) + L"\\Config_250318_25_01_0E.bin", valid);
  writeFile(std::wstring(kProgramFolder) + L"\\Config_bad.bin", "not a firmware image");
  writeFile(L"C:\\fw\\Config_bad.bin", "not a firmware image");

  struct Case {
    std::wstring line;
    int exitCode;  // 0: goes on
    std::wstring version;
    std::wstring box;
  };
  const Case cases[] = {
      // The version is the content's; a name promising another is refused.
      {L"/U Config_new.bin", 0, L"25031825010C", L""},
      {L"/U C:\\fw\\Config_250318_25_01_0C.bin", 0, L"25031825010C", L""},
      {L"/U \"C:\\fw\\Config_250318_25_01_0C.bin\"", 0, L"25031825010C", L""},
      {L"/U Config_250318_25_01_0E.bin", -10, L"", L"[Error] The FW is not valide, Please check again!!"},
      {L"/U Config_bad.bin", -10, L"", L"[Error] The FW is not valide, Please check again!!"},
      {L"/U C:\\fw\\Config_bad.bin", -10, L"", L"[Error] The FW is not valide, Please check again!!"},
      {L"/U C:\\fw\\Missing.bin", -10, L"", L"[Error] Input FW File is not exist!!! "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::size_t before = boxes().size();
    newDialog();
    const StepResult r = start(c.line);
    dialog_->vWaitForRunEnd();
    EXPECT_EQ(r.endsProcess() ? r.exitCode() : 0, c.exitCode);
    if (c.exitCode == 0) {
      EXPECT_EQ(dialog_->m_strCurFileFWVer, c.version);
      EXPECT_LE(dialog_->m_bMajorType, 3);
      continue;
    }
    const std::vector<std::wstring> shown = boxesSince(before);
    EXPECT_NE(std::find(shown.begin(), shown.end(), c.box), shown.end());
    // Refused before the device-console tool is placed; the restored copy of
    // the carried image is gone, the user's files stay.
    EXPECT_FALSE(exists(kDevcon));
    EXPECT_FALSE(exists(std::wstring(kProgramFolder) + L"\\" + kCarriedImage));
    EXPECT_TRUE(exists(L"C:\\fw\\Config_bad.bin"));
  }
}

TEST_F(DriverStartupTest, ProgramWithoutAnImageNeedsANamedFileAndTouchesNothingElse) {
  const std::string valid = carriedImage();
  writeFile(L"C:\\fw\\Config_250318_25_01_0C.bin", valid);
  host_->payloads().remove(L"BIN", 166);
  host_->payloads().remove(L"INI", 167);
  const std::wstring text = L"This program carries no firmware: name the firmware file with /U <file>.";
  struct Case {
    std::wstring line;
    int exitCode;  // 0: goes on
  };
  for (const Case& c : {Case{L"", -10}, Case{L"/A", -10}, Case{L"/DOS /A", -10}, Case{L"/SILENT /A", -10},
                        Case{L"/A /U C:\\fw\\Config_250318_25_01_0C.bin", 0}}) {
    SCOPED_TRACE(c.line);
    const std::size_t before = boxes().size();
    const std::size_t errorsBefore = errors().size();
    newDialog();
    dialog_->g_strInitCmd = cmdline::strCollect(c.line);
    const StepResult r = dialog_->OnInitDialog();
    dialog_->vWaitForRunEnd();
    EXPECT_EQ(r.endsProcess() ? r.exitCode() : 0, c.exitCode);
    // A box, or in the unattended modes a line on standard error.
    const std::vector<std::wstring> shown = boxesSince(before);
    const bool said = std::find(shown.begin(), shown.end(), L"[Error] " + text) != shown.end() ||
                      errors().find(toUtf8(text), errorsBefore) != std::string::npos;
    EXPECT_EQ(said, c.exitCode != 0);
    if (c.exitCode == 0) continue;
    // Ended before the device-console tool, the driver or any hub.
    EXPECT_FALSE(exists(kDevcon));
    EXPECT_FALSE(exists(std::wstring(kProgramFolder) + L"\\" + kCarriedImage));
    EXPECT_FALSE(logged(": OnBnClickedStartButton::"));
  }
  EXPECT_FALSE(logged(kInstallLog));
}

// On ARM64 Windows the x86 program runs under WOW64, yet the amd64 tools
// it carries are not for that machine: it ends before placing any.
TEST_F(Arm64Test, ArmWindowsIsRefusedBeforeAnythingIsPlaced) {
  const std::wstring text =
      L"This program does not run on ARM64 Windows: the filter driver it needs is for x86 and x64 Windows only.";
  for (const wchar_t* line : {L"/DBG 3", L"/DOS /A /DBG 3"}) {
    SCOPED_TRACE(toUtf8(line));
    const std::size_t before = boxes().size();
    const std::size_t errorsBefore = errors().size();
    newDialog();
    const StepResult r = startAndRun(line);
    ASSERT_TRUE(r.endsProcess());
    EXPECT_EQ(r.exitCode(), -20);
    const std::vector<std::wstring> shown = boxesSince(before);
    EXPECT_TRUE((shown == std::vector<std::wstring>{L"[Error] " + text}) ||
                errors().find(toUtf8(text), errorsBefore) != std::string::npos);
    EXPECT_EQ(status(), L"Failed!!");
    EXPECT_FALSE(exists(kDevcon));
    EXPECT_FALSE(exists(std::wstring(kProgramFolder) + L"\\devcon.exe"));
    EXPECT_FALSE(exists(std::wstring(kProgramFolder) + L"\\" + kCarriedImage));
    EXPECT_FALSE(logged(kInstallLog));
    EXPECT_FALSE(utility_->bIsInstallZeltFilterDriverFromRegistry());
    EXPECT_FALSE(logged(": OnBnClickedStartButton::"));
  }
}

TEST_F(DriverStartupTest, UnloadableSettingsEndUnattendedRunsWithMinusTen) {
  carrySettings("bogus=1\n");
  struct Case {
    std::wstring line;
    bool ends;
  };
  for (const Case& c : {Case{L"", false}, Case{L"/SILENT", true}, Case{L"/DOS /DBG 3", true}}) {
    SCOPED_TRACE(c.line);
    newDialog();
    const StepResult r = start(c.line);
    EXPECT_EQ(r.endsProcess(), c.ends);
    if (c.ends) {
      EXPECT_EQ(r.exitCode(), -10);
    }
    EXPECT_FALSE(logged(": OnBnClickedStartButton::"));
  }
}

}  // namespace
}  // namespace hbx::testing
