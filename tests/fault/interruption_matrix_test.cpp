// A one-hub update interrupted at its flash steps: every erase, every
// configuration-table packet and a spread of the firmware download's
// packets (its first, its last and every 64th between), each with the power
// lost right after the request and half-way through it. After a power cycle
// a plain re-run must leave a hub that boots the carried firmware, and the
// interrupted run must not have passed.
#include <gtest/gtest.h>

#include "tests/fault/interruption_matrix.h"

namespace hbx::testing::fault {
namespace {

std::vector<Step> sampledFlashSteps() {
  const std::vector<Step> all = stepsOfCleanRun();
  std::vector<Step> downloads;
  std::vector<Step> chosen;
  for (const Step& step : all) {
    if (!isFlashStep(step)) continue;
    if (step.phase == sim::hub::Phase::Download) downloads.push_back(step);
    else chosen.push_back(step);
  }
  for (std::size_t k = 0; k < downloads.size(); ++k) {
    if (k % 64 == 0 || k + 1 == downloads.size()) chosen.push_back(downloads[k]);
  }
  return chosen;
}

TEST(InterruptionMatrix, CleanRunHasEveryFlashPhase) {
  const std::vector<Step> steps = stepsOfCleanRun();
  int erases = 0, tables = 0, downloads = 0;
  for (const Step& s : steps) {
    erases += s.phase == sim::hub::Phase::Erase;
    tables += s.phase == sim::hub::Phase::Table;
    downloads += s.phase == sim::hub::Phase::Download;
  }
  EXPECT_GT(erases, 0);
  EXPECT_GT(tables, 0);
  EXPECT_GT(downloads, 100);
}

void checkMatrix(const char* faultKey) {
  for (const Step& step : sampledFlashSteps()) {
    const std::string fault = std::string("{\"") + faultKey + "\": " + std::to_string(step.request) + "}";
    SCOPED_TRACE(std::string(sim::hub::phaseName(step.phase)) + " step, request " + std::to_string(step.request));
    const PointResult r = runPoint(fault);
    EXPECT_NE(r.firstExit, 0);
    EXPECT_EQ(r.rerunExit, 0);
    EXPECT_TRUE(r.recovered);
  }
}

TEST(InterruptionMatrix, PowerCutAfterAFlashStepRecoversOnReRun) { checkMatrix("powerLossAfterRequest"); }

TEST(InterruptionMatrix, PowerCutHalfWayThroughAFlashStepRecoversOnReRun) { checkMatrix("tornAtRequest"); }

}  // namespace
}  // namespace hbx::testing::fault
