#pragma once
// The interruption matrix: the six families of points, each point one
// fault put into a run of the built program on a fresh bench folder and
// judged by what the runs leave behind.
//   power-cut      the hub loses its power after a request (but the run's
//                  last, which is a cut after the run); power cycle and
//                  a plain re-run: the hub boots the new firmware, and the
//                  cut run never passed it
//   torn           the power goes half-way through a program or an erase
//   request-fault  one request of one of two hubs fails (error 31, another
//                  error, a failed completion, a short reply to a read, a
//                  stuck request): the run fails with the program's codes,
//                  the other hub is updated. Silent mode: in console mode the
//                  hubs are written one after another, so a stuck hub holds
//                  the others until the run's time-out.
//   kill           the program is killed (SIGKILL) at a phase of the run; a
//                  plain re-run leaves the new firmware and the host as it
//                  was before the first run (driver, registry, program
//                  folder, temporary folder)
//   time-out       the run's time-out comes at a share of the writes of
//                  three slow hubs: no hub is cut in its writes nor passed
//                  untruly, and re-runs finish the update
//   source-swap    another file (another chip type, another version, a
//                  pipe) is renamed over the firmware file at a moment of
//                  the run: the run writes, passes and states what it read
//                  at start-up, and never waits on the pipe
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/hub/fault_aim.h"

namespace hbx::faultmatrix {

// One request of the one-hub clean run: its number (from 1), its phase and
// its place among the requests of that phase (and image).
struct Step {
  std::uint32_t request = 0;
  sim::hub::Phase phase = sim::hub::Phase::Other;
  std::optional<std::uint32_t> image;
  std::uint32_t nthOfPhase = 0;
  bool returnsBytes = false;  // a read: a short reply can hit it
};

// The requests of a clean one-hub update (run in this process on `work`).
std::vector<Step> stepsOfCleanRun(const std::filesystem::path& work);
bool isFlashStep(const Step& step);

// Where a point runs: its own bench folder and copy of the program.
struct PointPlace {
  std::filesystem::path bench;
  std::filesystem::path program;  // the copy, in a folder of its own
  std::filesystem::path debugLog;
};

struct Point {
  std::string where;  // the fault and its step, for the report
  // Runs the point; "" when it recovered, else what went wrong.
  std::function<std::string(const PointPlace&)> run;
};

std::vector<Point> powerCutPoints(const std::vector<Step>& steps, bool quick);
std::vector<Point> tornPoints(const std::vector<Step>& steps, bool quick);
std::vector<Point> requestFaultPoints(const std::vector<Step>& steps, bool quick);
std::vector<Point> killPoints(const std::vector<Step>& steps, bool quick);
// time-out: three slow hubs, the run's time-out at a share of their writes
// (tools/fault_matrix/time_out_family.cpp); none in the short form.
std::vector<Point> timeOutPoints(const std::vector<Step>& steps, bool quick);
// source-swap: the source replaced at a moment of a one-hub run
// (tools/fault_matrix/source_swap_family.cpp).
std::vector<Point> sourceSwapPoints(const std::vector<Step>& steps, bool quick);

struct FamilyResult {
  std::size_t points = 0;
  std::size_t recovered = 0;
  std::vector<std::string> failures;  // "<where>: <what went wrong>"
};

// Runs the points, `jobs` at a time, each in a temporary folder of its own.
FamilyResult runPoints(const std::vector<Point>& points, const std::filesystem::path& program, unsigned jobs);

}  // namespace hbx::faultmatrix
