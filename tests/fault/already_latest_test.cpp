// A hub is passed over as already running the firmware's version only when
// its flash holds that version: runs of the built program on a bench folder
// after which a hub still runs the old version O over an image 0 that holds
// something else, then a run with O's own file. That run must write the hub,
// so that it boots O after a power cycle.
#include <gtest/gtest.h>

#include <fstream>

#include "sim/hub/hub_config.h"
#include "tests/sim/temp_folder.h"
#include "tools/fault_matrix/matrix_bench.h"
#include "tools/fault_matrix/program_process.h"

namespace hbx::faultmatrix {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::uint8_t, 6> kOld{0x25, 0x01, 0x15, 0x25, 0x00, 0x00};
constexpr char kOldFile[] = "Config_250115_25_00_00.bin";
constexpr std::size_t kConfigFileSize = 32768;  // a configuration file of chip type 2

TEST(AlreadyLatest, AHubThatRunsTheVersionButDoesNotHoldItIsWritten) {
  struct Case {
    const char* what;
    std::string faults;  // of hub "cut" in the first run, with the carried image
    bool killed;
  };
  const Case cases[] = {
      {"killed in the middle of the download", R"({"killAt": {"phase": "download", "nth": 100}})", true},
      {"passed without a reset", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempFolder root;
    const fs::path bench = root.path() / "bench";
    const fs::path program = root.path() / "program" / "8634FWUpgradeTool";
    const fs::path log = root.path() / "debug.log";
    ASSERT_TRUE(placeProgram(HBX_PROGRAM_PATH, program));
    std::vector<std::uint8_t> oldFile = sim::hub::makeImage(kOld);
    oldFile.resize(kConfigFileSize);
    std::ofstream(program.parent_path() / kOldFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(oldFile.data()), static_cast<std::streamsize>(oldFile.size()));

    BenchLayout layout;
    layout.hubs = {{"cut", c.faults}, {"other", ""}};
    writeBench(bench, layout);
    const ProgramRun first = runProgram(program, bench, {"/DOS", "/DBG", "3"}, log);
    if (c.killed) {
      ASSERT_FALSE(first.exited) << first.output;
    } else {
      ASSERT_EQ(first.code, 0) << first.output;
    }
    ASSERT_EQ(runningVersion(bench, "cut"), kOldVersion);
    ASSERT_NE(image0Version(bench, "cut"), kOldVersion);

    layout.hubs = {{"cut", ""}, {"other", ""}};
    writeBench(bench, layout);
    const ProgramRun rerun = runProgram(program, bench, {"/DOS", "/DBG", "3", "/U", kOldFile}, log);
    EXPECT_EQ(rerun.code, 0) << rerun.output;
    EXPECT_NE(rerun.output.find("FW Update PASS"), std::string::npos) << rerun.output;
    ASSERT_TRUE(powerCycle(bench));
    for (const char* hub : {"cut", "other"}) EXPECT_EQ(runningVersion(bench, hub), kOldVersion) << hub;
  }
}

}  // namespace
}  // namespace hbx::faultmatrix
