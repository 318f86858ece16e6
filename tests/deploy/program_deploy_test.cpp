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

#include "tests/deploy/program_fixture.h"
#include "tools/pe_stub/pe_stub_writer.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

using ProgramDeployTest = ProgramFolderTest;

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
