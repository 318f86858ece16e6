// The interruption matrix's short form, point by point, through the built
// program: a one-hub update interrupted at its flash steps (every erase, the
// first and last packet of each configuration table, the first, middle and
// last packet of the firmware download), with the power lost right after the
// request and half-way through it. The interrupted run must never pass;
// after a power cycle a plain re-run must leave a hub that boots the carried
// firmware.
//
// A cut that leaves neither image with valid firmware (from the second erase
// until the firmware download has ended) makes the hub boot its ROM code,
// which reports its chip type; the re-run takes that hub and writes it again.
//
// The other families (failed requests, kills) run in `fault_matrix --quick`.
#include <gtest/gtest.h>

#include "tools/fault_matrix/matrix_families.h"
#include "tests/sim/temp_folder.h"

namespace hbx::faultmatrix {
namespace {

const std::vector<Step>& cleanSteps() {
  static const std::vector<Step> steps = [] {
    hbx::testing::TempFolder work;
    return stepsOfCleanRun(work.path());
  }();
  return steps;
}

TEST(InterruptionMatrix, CleanRunHasEveryFlashPhase) {
  int erases = 0, tables = 0, downloads = 0;
  for (const Step& s : cleanSteps()) {
    erases += s.phase == sim::hub::Phase::Erase;
    tables += s.phase == sim::hub::Phase::Table;
    downloads += s.phase == sim::hub::Phase::Download;
  }
  EXPECT_GT(erases, 0);
  EXPECT_GT(tables, 0);
  EXPECT_GT(downloads, 100);
}

void expectAllRecover(const std::vector<Point>& points) {
  ASSERT_FALSE(points.empty());
  const FamilyResult result = runPoints(points, HBX_PROGRAM_PATH, 2);
  EXPECT_EQ(result.recovered, result.points);
  for (const std::string& failure : result.failures) ADD_FAILURE() << failure;
}

TEST(InterruptionMatrix, PowerCutAfterAFlashStepRecoversOnReRun) { expectAllRecover(powerCutPoints(cleanSteps(), true)); }

TEST(InterruptionMatrix, PowerCutHalfWayThroughAFlashStepRecoversOnReRun) {
  expectAllRecover(tornPoints(cleanSteps(), true));
}

}  // namespace
}  // namespace hbx::faultmatrix
