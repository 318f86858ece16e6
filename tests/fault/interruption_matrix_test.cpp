// A one-hub update interrupted at its flash steps: every erase, the first
// and last packet of each configuration table, and the first, middle and
// last packet of the firmware download, each with the power lost right after
// the request and half-way through it. The interrupted run must never pass;
// after a power cycle a plain re-run must leave a hub that boots the carried
// firmware.
//
// A cut that leaves neither image with valid firmware (from the second erase
// until the firmware download has ended) makes the hub boot its ROM code,
// which reports its chip type; the re-run takes that hub and writes it again.
//
// A cut right after the last firmware packet is seen by the read-back that
// comes before a hub's PASS.
#include <gtest/gtest.h>


#include "tests/fault/interruption_matrix.h"

namespace hbx::testing::fault {
namespace {

std::vector<Step> sampledFlashSteps() {
  const std::vector<Step> all = stepsOfCleanRun();
  std::vector<Step> chosen;
  std::vector<Step> downloads;
  for (std::size_t k = 0; k < all.size(); ++k) {
    const Step& step = all[k];
    const bool firstOfRun = k == 0 || all[k - 1].phase != step.phase;
    const bool lastOfRun = k + 1 == all.size() || all[k + 1].phase != step.phase;
    if (step.phase == sim::hub::Phase::Erase) chosen.push_back(step);
    if (step.phase == sim::hub::Phase::Table && (firstOfRun || lastOfRun)) chosen.push_back(step);
    if (step.phase == sim::hub::Phase::Download) downloads.push_back(step);
  }
  if (!downloads.empty()) {
    chosen.push_back(downloads.front());
    chosen.push_back(downloads[downloads.size() / 2]);
    chosen.push_back(downloads.back());
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
  const std::vector<Step> steps = sampledFlashSteps();
  for (const Step& step : steps) {
    const std::string fault = std::string("{\"") + faultKey + "\": " + std::to_string(step.request) + "}";
    const std::string where = std::string(sim::hub::phaseName(step.phase)) + " step, request " + std::to_string(step.request);
    SCOPED_TRACE(where);
    const PointResult r = runPoint(fault);
    EXPECT_NE(r.firstExit, 0) << "the interrupted run passed";
    // A hub left with no valid image runs its ROM code; the re-run finds it
    // by its ROM version and writes it again.
    EXPECT_EQ(r.rerunExit, 0);
    EXPECT_TRUE(r.recovered);
  }
}

TEST(InterruptionMatrix, PowerCutAfterAFlashStepRecoversOnReRun) { checkMatrix("powerLossAfterRequest"); }

TEST(InterruptionMatrix, PowerCutHalfWayThroughAFlashStepRecoversOnReRun) { checkMatrix("tornAtRequest"); }

}  // namespace
}  // namespace hbx::testing::fault
