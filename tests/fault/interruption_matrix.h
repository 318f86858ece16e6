#pragma once
// The interruption matrix of a one-hub update: a clean run counts the hub's
// requests by phase; then for each chosen step a run whose hub loses its
// power there (after the request, or half-way through it), a power cycle,
// a plain re-run of the same command and another power cycle. A step has
// recovered when the first run did not pass and the hub boots the carried
// firmware at the end.
#include <cstdint>
#include <string>
#include <vector>

#include "base/log/format.h"
#include "sim/hub/fault_aim.h"
#include "tests/e2e/e2e_fixture.h"

namespace hbx::testing::fault {

// One request of the clean run: its number (from 1) and its phase.
struct Step {
  std::uint32_t request = 0;
  sim::hub::Phase phase = sim::hub::Phase::Other;
};

inline std::vector<Step> stepsOfCleanRun() {
  e2e::E2eRun probe({e2e::hub("cut")});
  EXPECT_EQ(probe.run(L""), 0);
  std::vector<Step> steps;
  std::uint32_t number = 0;
  for (const sim::hub::TraceEntry& entry : probe.host().hubBench().trace()) {
    if (entry.hub != "cut") continue;
    std::uint8_t header[24] = {};
    for (std::size_t i = 0; i < 6; ++i) {
      for (std::size_t b = 0; b < 4; ++b) header[4 * i + b] = static_cast<std::uint8_t>(entry.words[i] >> (8 * b));
    }
    steps.push_back({++number, sim::hub::classifyRequest(entry.code, header, entry.inLength).phase});
  }
  return steps;
}

inline bool isFlashStep(const Step& step) {
  using sim::hub::Phase;
  return step.phase == Phase::Erase || step.phase == Phase::Table || step.phase == Phase::Download;
}

struct PointResult {
  int firstExit = 0;
  int rerunExit = 0;
  bool recovered = false;
  bool noValidImage = false;  // after the cut neither image held valid firmware
};

// `fault`: the hub's "faults" object for the first run.
inline PointResult runPoint(const std::string& fault) {
  e2e::Hub cut = e2e::hub("cut");
  cut.extraKeys = R"("faults": )" + fault;
  e2e::E2eRun run({cut});
  PointResult result;
  result.firstExit = run.run(L"");
  result.noValidImage = true;
  for (std::uint32_t image : {0u, 1u}) {
    const std::vector<std::uint8_t> bytes = run.flashImage("cut", image);
    if (sim::hub::HubChip::validFirmware(bytes.data(), 2)) result.noValidImage = false;  // HBX773x: chip type 2
  }
  run.powerCycle();
  run.nextRun({e2e::hub("cut")});
  result.rerunExit = run.run(L"");
  run.powerCycle();
  const auto booted = run.runningVersion("cut");
  std::string text;
  for (std::uint8_t b : booted) text += nformat("%02x", b);
  result.recovered = result.firstExit != 0 && text == e2e::kCarriedVersion;
  return result;
}

}  // namespace hbx::testing::fault
