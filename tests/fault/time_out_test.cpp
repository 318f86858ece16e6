// The run's time-out against slow hubs, through the built program: eight
// hubs at 20 ms a request, written one after another in console mode, need
// more than 260 s; the time-out grows with the hubs, so the run passes.
// (Where the time-out comes in the middle of the writes: UpdateRunTimeOut in
// the update tests, and the time-out family of fault_matrix.)
#include <gtest/gtest.h>

#include "tests/sim/temp_folder.h"
#include "tools/fault_matrix/matrix_bench.h"
#include "tools/fault_matrix/program_process.h"

namespace hbx::faultmatrix {
namespace {

TEST(RunTimeOut, EightSlowHubsInConsoleModeAreAllWritten) {
  testing::TempFolder root;
  const std::filesystem::path bench = root.path() / "bench";
  const std::filesystem::path program = root.path() / "program" / "8634FWUpgradeTool";
  ASSERT_TRUE(placeProgram(HBX_PROGRAM_PATH, program));
  BenchLayout layout;
  for (int k = 0; k < 8; ++k) layout.hubs.push_back({"hub" + std::to_string(k), "", 20000});
  writeBench(bench, layout);
  const ProgramRun run = runProgram(program, bench, {"/DOS", "/DBG", "3"}, root.path() / "debug.log", 300);
  EXPECT_EQ(run.code, 0) << endedText(run) << "\n" << run.output;
  for (const BenchHub& hub : layout.hubs) EXPECT_EQ(image0Version(bench, hub.name), kCarriedVersion) << hub.name;
}

}  // namespace
}  // namespace hbx::faultmatrix
