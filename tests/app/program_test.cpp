// The built program as a user runs it: its standard output, its exit status
// and its debug log. Each run uses its own copy of the program in its own
// folder, since start-up writes its settings file beside the program.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/log/format.h"
#include "app/usage_text.h"
#include "tests/sim/shell_run.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  std::string output;
  std::string errors;  // standard error
  int status = -1;
  std::string log;
  bool logWritten = false;
};

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    std::string pattern = (fs::temp_directory_path() / "hbx-program-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
    fs::copy_file(HBX_PROGRAM_PATH, folder_ / "8634FWUpgradeTool");
  }
  ~ProgramTest() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  ProgramRun run(const std::string& arguments, bool withLog) {
    const fs::path log = folder_ / "debug.log";
    fs::remove(log);
    std::string command = "env -u HBX_BENCH ";
    command += withLog ? "HBX_DEBUG_LOG='" + log.string() + "' " : "-u HBX_DEBUG_LOG ";
    // Virtual time: the run's device waits cannot run out while the machine
    // is busy with other tests.
    command += "HBX_TIME_SCALE=0 ";
    const fs::path errors = folder_.parent_path() / (folder_.filename().string() + "-stderr");
    command += "'" + (folder_ / "8634FWUpgradeTool").string() + "' " + arguments + " </dev/null 2>'" +
               errors.string() + "'";
    const ShellRun shell = runShell(command);
    ProgramRun result;
    result.output = shell.output;
    std::ifstream err(errors, std::ios::binary);
    result.errors.assign(std::istreambuf_iterator<char>(err), {});
    err.close();
    fs::remove(errors);
    result.status = shell.exited ? shell.exitStatus : -1;
    result.logWritten = fs::exists(log);
    std::ifstream in(log, std::ios::binary);
    result.log.assign(std::istreambuf_iterator<char>(in), {});
    return result;
  }

  std::string usage(const std::wstring& line) { return "[Question] " + toUtf8(strUsageText(line, 0)) + "\n"; }

  fs::path folder_;
};

TEST_F(ProgramTest, HelpAndCommandLineErrors) {
  struct Case {
    std::string arguments;
    std::string output;
    int status;
    std::string errorsStart = "";  // standard error starts with it
  };
  const Case cases[] = {
      {"'/?'", usage(L"/?"), 0},
      {"/P3 1234 /P2 5678", "[Error] You can not check /P3 /P2 at the same time!!! \n", 246},
      {"/C 12345", "[Error] Please Input Correctly FW Version!!! \n" + usage(L"/C 12345"), 246},
      {"/DOS", "", 0},
      // No option: an interactive update of the built-in bench with the
      // carried image, which ends with its success box.
      {"", "[Warning] The firmware update process is successful.\r\n** Please AC POWER OFF to reload firmware. **\r\n\n", 0},
      // Silent: the reasons go to standard error, standard output stays empty.
      {"/U missing.bin /SILENT", "", 246, "[8634FWUpgradeTool] Z:"},
      {"/SILENT /C 12345", "", 246, "[Error] Please Input Correctly FW Version!!! \n[Question] 8634FWUpgradeTool.exe"},
  };
  for (const Case& c : cases) {
    const ProgramRun r = run(c.arguments, false);
    EXPECT_EQ(r.output, c.output) << c.arguments;
    EXPECT_EQ(r.status, c.status) << c.arguments;
    EXPECT_EQ(r.errors.substr(0, c.errorsStart.size()), c.errorsStart) << c.arguments;
    if (c.errorsStart.empty()) {
      EXPECT_EQ(r.errors, "") << c.arguments;
    }
  }
  // Nothing the program wrote is left beside it.
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_EQ(entry.path().filename(), "8634FWUpgradeTool");
  }
}

TEST_F(ProgramTest, DebugLogOnlyWithTheDebugOption) {
  // The built-in bench's hubs are not at the version checked: the run ends
  // with -7.
  const ProgramRun logged = run("/DBG 3 /VID 2e8b /C 250318250100", true);
  EXPECT_EQ(logged.status, 249);
  EXPECT_EQ(logged.output, "");
  EXPECT_NE(logged.log.find("\r\nMSG::ZAr763ORIdirevaVodoRev::OnInitDialog:"), std::string::npos) << logged.log;
  EXPECT_NE(logged.log.find(":  Assign Target VID Hubs!!, pUtility.m_strVID_Indetify=[2E8B]"), std::string::npos);
  EXPECT_NE(logged.log.find(": FWUpgToolVersion [Corvane USB 3.2 Hub Firmware Update Tool Ver 3, 2, 2, 0], "
                            "pFWUpdateDlg->g_strInitCmd=[/DBG 3 /VID 2e8b /C 250318250100]"),
            std::string::npos);

  const ProgramRun quiet = run("/VID 2e8b /C 250318250100", true);
  EXPECT_EQ(quiet.status, 249);
  EXPECT_EQ(quiet.log, "");
}

}  // namespace
}  // namespace hbx::testing
