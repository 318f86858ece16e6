// The README's main command: a console run on the built-in bench, a fresh
// computer without the filter driver, updates every target hub, takes the
// driver away again and leaves nothing behind.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/sim/shell_run.h"
#include "tests/sim/temp_folder.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  std::string output;
  int status = -1;
  std::string log;
};

// Every file and folder below `folder`, relative to it.
std::vector<std::string> entriesBelow(const fs::path& folder) {
  std::vector<std::string> entries;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    entries.push_back(fs::relative(it->path(), folder).string());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

class ReadmeRunTest : public ::testing::Test {
 protected:
  ReadmeRunTest() {
    fs::create_directories(programFolder());
    fs::copy_file(HBX_PROGRAM_PATH, programFolder() / "8634FWUpgradeTool");
    fs::create_directories(tempFolder());
  }

  fs::path programFolder() const { return root_.path() / "program"; }
  // The host's temporary folder, where the built-in bench keeps its drive C:.
  fs::path tempFolder() const { return root_.path() / "tmp"; }

  // The command tools/run.sh runs; without `benchFolder` on the built-in
  // bench in memory. On virtual time, so a busy machine cannot turn its
  // stalls into the hubs' time-outs.
  ProgramRun run(const std::string& benchFolder = "") {
    const fs::path log = root_.path() / "debug.log";
    fs::remove(log);
    const std::string bench = benchFolder.empty() ? "env -u HBX_BENCH" : "env HBX_BENCH='" + benchFolder + "'";
    const std::string command = bench + " TMPDIR='" + tempFolder().string() +
                                "' HBX_TIME_SCALE=0 HBX_DEBUG_LOG='" + log.string() + "' '" +
                                (programFolder() / "8634FWUpgradeTool").string() + "' /DOS /DBG 3 </dev/null 2>&1";
    const ShellRun shell = runShell(command);
    ProgramRun result;
    result.output = shell.output;
    result.status = shell.exited ? static_cast<signed char>(shell.exitStatus) : -1000;
    result.log = readText(log);
    return result;
  }

  TempFolder root_;
};

TEST_F(ReadmeRunTest, ConsoleRunOnTheBuiltInBenchUpdatesEveryTargetHubAndLeavesNothing) {
  const ProgramRun r = run();
  EXPECT_EQ(r.status, 0) << r.output;

  // Three HBX773x hubs on two tiers are found and each is written.
  EXPECT_NE(r.output.find("Find 3 ZELT Hub"), std::string::npos) << r.output;
  for (const char* hub : {"The Hub[0] FW Update PASS", "The Hub[1] FW Update PASS", "The Hub[2] FW Update PASS"}) {
    EXPECT_EQ(count(r.output, hub), 1u) << hub << "\n" << r.output;
  }
  EXPECT_EQ(count(r.output, "FW Update FAIL"), 0u);

  // The driver was missing, so this run installed it, and took it away again.
  EXPECT_NE(r.log.find(": InstallFilterDriver[C:\\Windows\\Temp\\]"), std::string::npos);
  EXPECT_NE(r.log.find(": Remove_FilterDriverAndFiles[C:\\Windows\\Temp\\]"), std::string::npos);
  EXPECT_EQ(r.log.find("Remove_FilterDriverAndFiles Failed"), std::string::npos);
  EXPECT_EQ(r.log.find("Launch_DelINF failed"), std::string::npos);

  // Nothing is left: neither beside the program nor of the computer's drive.
  EXPECT_EQ(entriesBelow(programFolder()), std::vector<std::string>{"8634FWUpgradeTool"});
  EXPECT_EQ(entriesBelow(tempFolder()), std::vector<std::string>{});
}

// The six version bytes of the firmware in image 0 of a hub's flash file.
std::string flashVersion(const fs::path& flashFile) {
  constexpr std::size_t kVersionOffset = 0x302;
  const std::string bytes = readText(flashFile);
  if (bytes.size() < kVersionOffset + 6) return "";
  std::string text;
  for (std::size_t i = 0; i < 6; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(bytes[kVersionOffset + i]));
    text += hex;
  }
  return text;
}

// The same computer as a bench folder (a folder without bench.json), whose
// hubs' flash and drive C: outlive the run: the three targets hold the
// carried firmware, the other hub its own, and the driver file is gone again.
TEST_F(ReadmeRunTest, BuiltInBenchAsAFolderIsWrittenAndKeepsNoDriverFile) {
  const fs::path bench = root_.path() / "bench";
  fs::create_directories(bench);
  const ProgramRun r = run(bench.string());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(count(r.output, "FW Update PASS"), 3u) << r.output;
  EXPECT_NE(r.log.find(": InstallFilterDriver[C:\\Windows\\Temp\\]"), std::string::npos);
  for (const char* hub : {"hub0", "hub1", "hub2"}) {
    EXPECT_EQ(flashVersion(bench / "hubs" / (std::string(hub) + ".flash")), "25031825010C") << hub;
  }
  EXPECT_EQ(flashVersion(bench / "hubs" / "hub3.flash"), "250115350103");
  std::vector<std::string> files;
  for (const std::string& entry : entriesBelow(bench / "drive_c")) {
    if (fs::is_regular_file(bench / "drive_c" / entry)) files.push_back(entry);
  }
  EXPECT_EQ(files, std::vector<std::string>{});
  EXPECT_EQ(entriesBelow(programFolder()), std::vector<std::string>{"8634FWUpgradeTool"});
}

}  // namespace
}  // namespace hbx::testing
