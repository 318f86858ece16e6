// A one-hub update interrupted at its flash steps: every erase, the first
// and last packet of each configuration table, and the first, middle and
// last packet of the firmware download, each with the power lost right after
// the request and half-way through it. The interrupted run must never pass;
// after a power cycle a plain re-run must leave a hub that boots the carried
// firmware.
//
// Known fault, kept visible as expected failures: a cut that leaves neither
// image with valid firmware (from the second erase until the firmware
// download has ended) makes the hub boot its ROM, and the re-run's walk does
// not take a hub running its ROM (version 000000000000), so it ends with -4
// and the hub stays unusable. The update's order of erases and writes is
// what must change (the verdict work, issue 13); once it does, these points
// recover and the expectation below fails until the mark is removed.
//
// Second known fault, also an expected failure: a power cut right after the
// last firmware packet is not noticed; without the processor reset nothing
// reads the hub again, so that run passes (0) for a hub that lost its power.
#include <gtest/gtest.h>

#include <cstdio>

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
  std::string knownFailures;
  const std::vector<Step> steps = sampledFlashSteps();
  for (const Step& step : steps) {
    const std::string fault = std::string("{\"") + faultKey + "\": " + std::to_string(step.request) + "}";
    const std::string where = std::string(sim::hub::phaseName(step.phase)) + " step, request " + std::to_string(step.request);
    SCOPED_TRACE(where);
    const PointResult r = runPoint(fault);
    const bool lastPacket = step.request == steps.back().request && std::string(faultKey) == "powerLossAfterRequest";
    if (lastPacket) {
      // Expected failure: the second known fault described at the top.
      EXPECT_EQ(r.firstExit, 0) << "the cut is noticed now: remove the expected failure";
      EXPECT_EQ(r.rerunExit, 0);
      knownFailures += " " + std::to_string(step.request) + "(passed)";
      continue;
    }
    EXPECT_NE(r.firstExit, 0) << "the interrupted run passed";
    if (r.noValidImage) {
      // Expected failure: the known fault described at the top.
      EXPECT_FALSE(r.recovered) << "recovers now: remove the expected failure";
      EXPECT_EQ(r.rerunExit, -4);
      knownFailures += " " + std::to_string(step.request);
    } else {
      EXPECT_EQ(r.rerunExit, 0);
      EXPECT_TRUE(r.recovered);
    }
  }
  ::testing::Test::RecordProperty("knownFailuresAtRequests", knownFailures);
  std::printf("%s: expected failures at requests%s\n", faultKey, knownFailures.c_str());
}

TEST(InterruptionMatrix, PowerCutAfterAFlashStepRecoversOnReRun) { checkMatrix("powerLossAfterRequest"); }

TEST(InterruptionMatrix, PowerCutHalfWayThroughAFlashStepRecoversOnReRun) { checkMatrix("tornAtRequest"); }

}  // namespace
}  // namespace hbx::testing::fault
