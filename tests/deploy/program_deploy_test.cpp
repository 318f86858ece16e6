// The built program on bench folders: the filter driver installed for the
// run and removed after it, and every file the program wrote gone again.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/sim/shell_run.h"
#include "tests/sim/temp_folder.h"
#include "tools/pe_stub/pe_stub_writer.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  std::string output;
  std::string errors;  // standard error
  int status = -1;
  std::string log;
};

// A copy of the program in its own folder (the program folder) and a bench
// folder beside it.
class ProgramDeployTest : public ::testing::Test {
 protected:
  ProgramDeployTest() {
    fs::create_directories(programFolder());
    fs::copy_file(HBX_PROGRAM_PATH, programFolder() / "8634FWUpgradeTool");
    fs::create_directories(benchFolder());
  }

  fs::path programFolder() const { return root_.path() / "program"; }
  fs::path benchFolder() const { return root_.path() / "bench"; }
  fs::path driveC() const { return benchFolder() / "drive_c"; }
  fs::path installedDriver() const { return driveC() / "Windows" / "system32" / "drivers" / "zeltufdriver.sys"; }
  fs::path workFolder() const { return driveC() / "Windows" / "Temp" / "HBX763xFW"; }
  void bench(const std::string& json) { root_.write("bench/bench.json", json); }

  ProgramRun run(const std::string& arguments) {
    const fs::path log = root_.path() / "debug.log";
    const fs::path errors = root_.path() / "stderr.txt";
    fs::remove(log);
    const std::string command = "HBX_BENCH='" + benchFolder().string() + "' HBX_TIME_SCALE=0.001 HBX_DEBUG_LOG='" +
                                log.string() + "' '" + (programFolder() / "8634FWUpgradeTool").string() + "' " +
                                arguments + " </dev/null 2>'" + errors.string() + "'";
    const ShellRun shell = runShell(command);
    ProgramRun result;
    result.output = shell.output;
    result.errors = readText(errors);
    result.status = shell.exited ? static_cast<signed char>(shell.exitStatus) : -1000;
    result.log = readText(log);
    return result;
  }

  // Every file below `folder`, as paths relative to it.
  static std::vector<std::string> filesBelow(const fs::path& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file() || it->is_symlink()) files.push_back(fs::relative(it->path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }
  void expectNothingWritten() {
    EXPECT_EQ(filesBelow(driveC()), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(workFolder()));
    EXPECT_EQ(filesBelow(programFolder()), std::vector<std::string>{"8634FWUpgradeTool"});
  }

  TempFolder root_;
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(ProgramDeployTest, DriverNotInstalledIsInstalledForTheRunAndRemovedAfter) {
  bench(R"({"hubs": {"driverInstalled": false}})");
  const ProgramRun r = run("/DOS /DBG 3");
  EXPECT_TRUE(contains(r.log, ": InstallFilterDriver[C:\\Windows\\Temp\\]")) << r.output;
  EXPECT_TRUE(contains(r.log, ": OnBnClickedStartButton:: fw path=["));
  EXPECT_TRUE(contains(r.log, ": Remove_FilterDriverAndFiles[C:\\Windows\\Temp\\]"));
  expectNothingWritten();
}

TEST_F(ProgramDeployTest, DriverAtAnotherVersionIsInstalledAgainAndRemovedAfter) {
  bench(R"({"usb": {"upperFilters": ["ZeltFilter"]}})");
  tools::PeStubOptions options;
  options.fileVersion = {1, 0, 6, 0};
  fs::create_directories(installedDriver().parent_path());
  ASSERT_TRUE(tools::writePeStub(installedDriver(), options));
  const ProgramRun r = run("/DOS /DBG 3");
  EXPECT_TRUE(contains(r.log, ": InstallFilterDriver[C:\\Windows\\Temp\\]")) << r.output;
  EXPECT_TRUE(contains(r.log, ": OnBnClickedStartButton:: fw path=["));
  expectNothingWritten();
}

TEST_F(ProgramDeployTest, DriverThatCannotBeInstalledEndsWithMinusTwenty) {
  bench(R"({"hubs": {"driverInstalled": false}})");
  // A file where the work folder must go: no package can be written.
  root_.write("bench/drive_c/Windows/Temp/HBX763xFW", "in the way");
  const ProgramRun r = run("/SILENT /DBG 3");
  EXPECT_EQ(r.status, -20) << r.output;
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(r.errors, "[Error] Please install Corvane Filter Driver !!\n");
  EXPECT_TRUE(contains(r.log, "LoadFilterDriverLib failed[-1],"));
  EXPECT_FALSE(contains(r.log, "OnBnClickedStartButton"));
  EXPECT_FALSE(fs::exists(installedDriver()));
  EXPECT_EQ(filesBelow(programFolder()), std::vector<std::string>{"8634FWUpgradeTool"});
}

TEST_F(ProgramDeployTest, DevconThatCannotBeWrittenEndsWithMinusFiveAndShowsNothing) {
  bench("{}");
  // A link to nowhere: no tool there, and none can be created.
  fs::create_symlink(root_.path() / "nowhere" / "devcon", programFolder() / "devconAMD64.exe");
  const ProgramRun r = run("/SILENT /DBG 3");
  EXPECT_EQ(r.status, -5) << r.output;
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(r.errors, "[Error] extra necessary files failed!!\n");
  EXPECT_TRUE(contains(r.log, ": nADD_Delete_DevconFile Failed["));
  EXPECT_FALSE(contains(r.log, "InstallFilterDriver"));
  fs::remove(programFolder() / "devconAMD64.exe");
  EXPECT_EQ(filesBelow(programFolder()), std::vector<std::string>{"8634FWUpgradeTool"});
}

TEST_F(ProgramDeployTest, KeepOptionLeavesTheDriverAndItsFolder) {
  bench(R"({"hubs": {"driverInstalled": false}})");
  const ProgramRun r = run("/DOS /DBG 3 /UN");
  EXPECT_TRUE(contains(r.log, ": InstallFilterDriver[C:\\Windows\\Temp\\]")) << r.output;
  EXPECT_TRUE(fs::exists(installedDriver()));
  for (const char* file : {"zeltufdriver.inf", "zeltufdriver.cat", "i386/zeltufdriver.sys", "amd64/zeltufdriver.sys",
                           "k9371937.DLL", "msvcrtd.dll", "DeleteZeltufdriver.bat"}) {
    EXPECT_TRUE(fs::exists(workFolder() / "FilterDriver" / file)) << file;
  }
  EXPECT_FALSE(fs::exists(programFolder() / "devconAMD64.exe"));
  // Only the driver stays: nothing of the run is left beside the program.
  EXPECT_EQ(filesBelow(programFolder()), std::vector<std::string>{"8634FWUpgradeTool"});
}

}  // namespace
}  // namespace hbx::testing
