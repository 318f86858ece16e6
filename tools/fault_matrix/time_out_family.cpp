// The time-out family: three hubs written one after another (console mode),
// each so slow that the run's time-out (260 s for each hub it writes) comes
// at a chosen share of their writes, with and without the reset after the
// update. A point recovered when
// - the run reached its time-out and ended with -9, or with 0 and every hub
//   updated (the last hub finished its writes after the time-out);
// - no hub was passed, on its console line or in the report, that does not
//   hold the carried firmware in image 0 (and, with the reset, run it);
// - after a power cycle every hub boots firmware, the old or the carried;
// - plain re-runs on the same slow hubs, each after a power cycle, each
//   ending with -9 or 0, finish the update within four runs.
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "base/log/format.h"
#include "tools/fault_matrix/matrix_bench.h"
#include "tools/fault_matrix/matrix_families.h"
#include "tools/fault_matrix/program_process.h"

namespace hbx::faultmatrix {

namespace {

namespace fs = std::filesystem;

const char* const kHubNames[] = {"a", "b", "c"};
constexpr std::size_t kHubs = std::size(kHubNames);
constexpr double kTimeOutMicrosPerHub = 260e6;
constexpr int kReRuns = 4;
constexpr int kRunLimitSeconds = 600;
constexpr char kReport[] = "report.json";

// A run's time limit is for a program that hangs: these runs are long.
ProgramRun slowRun(const PointPlace& place) {
  return runProgram(place.program, place.bench, {"/DOS", "/DBG", "3", "/REPORT", kReport}, place.debugLog,
                    kRunLimitSeconds);
}

// A hub the run passed holds the carried firmware, and runs it after a reset.
std::string untruePasses(const PointPlace& place, const ProgramRun& run, bool relink) {
  std::ifstream in(place.program.parent_path() / kReport, std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  const nlohmann::json report = nlohmann::json::parse(text, nullptr, false);
  if (!report.is_object() || !report.contains("hubs") || !report["hubs"].is_array()) return "the run wrote no report";
  for (const nlohmann::json& hub : report["hubs"]) {
    const std::string serial = hub.value("serial", "");
    const std::string name = serial.size() > 3 ? serial.substr(3) : serial;
    const bool inReport = hub.value("result", "") == "passed";
    const bool onConsole =
        run.output.find(nformat("The Hub[%d] FW Update PASS", hub.value("index", -1))) != std::string::npos;
    if (!inReport && !onConsole) continue;
    const bool holds = image0Version(place.bench, name) == kCarriedVersion;
    const bool runs = runningVersion(place.bench, name) == kCarriedVersion;
    if (!holds || (relink && !runs))
      return "hub " + name + " was passed " + (inReport ? "in the report" : "on the console") + " but " +
             (holds ? "runs " + runningVersion(place.bench, name) : "holds " + image0Version(place.bench, name));
  }
  return "";
}

// The debug log of the runs so far says the run's time-out came.
bool timedOut(const PointPlace& place) {
  std::ifstream in(place.debugLog, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {}).find("TimeOut dwErrorCode") != std::string::npos;
}

// After a power cycle every hub boots firmware; the number that boot the
// carried one.
std::string bootsFirmware(const PointPlace& place, std::size_t& updated) {
  powerCycle(place.bench);
  updated = 0;
  for (const char* hub : kHubNames) {
    const std::string running = runningVersion(place.bench, hub);
    if (running == kCarriedVersion) ++updated;
    else if (running != kOldVersion) return std::string("hub ") + hub + " runs " + running;
  }
  return "";
}

std::string timeOutAndRerun(const PointPlace& place, std::uint32_t requestMicros, bool relink) {
  BenchLayout layout;
  for (const char* hub : kHubNames) layout.hubs.push_back({hub, "", requestMicros});
  layout.relink = relink;
  writeBench(place.bench, layout);
  std::size_t updated = 0;
  for (int run = 0; run <= kReRuns; ++run) {
    const ProgramRun result = slowRun(place);
    const std::string which = run == 0 ? "the run" : "re-run " + std::to_string(run);
    if (!result.exited || (result.code != 0 && result.code != -9)) return which + " " + endedText(result);
    if (run == 0 && !timedOut(place)) return "the run did not reach its time-out";
    if (const std::string why = untruePasses(place, result, relink); !why.empty()) return which + ": " + why;
    const std::size_t before = updated;
    if (const std::string why = bootsFirmware(place, updated); !why.empty()) return "after " + which + " " + why;
    if (result.code == 0 && updated != kHubs) return which + " ended with 0 with hubs not updated";
    if (updated == kHubs) return "";
    if (run > 0 && updated == before && result.code != 0) return which + " updated no further hub";
  }
  return "the re-runs did not finish the update";
}

}  // namespace

std::vector<Point> timeOutPoints(const std::vector<Step>& steps, bool quick) {
  // A hub's writes take about its worker's requests at the hub's speed:
  // from its first erase to the end of the clean run.
  std::size_t requests = 0;
  for (const Step& step : steps)
    if (requests > 0 || isFlashStep(step)) ++requests;
  std::vector<Point> points;
  // Not in the short form: a point takes about 30 s, and the update tests
  // run the same time-out in console mode with and without the reset.
  if (requests == 0 || quick) return points;
  const std::vector<int> shares = {10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 65, 70, 75, 80, 85, 90, 95};
  for (const bool relink : {false, true}) {
    for (const int share : shares) {
      // The time-out (260 s for each of the hubs) comes at `share`% of the
      // hubs' writes when 260 s is `share`% of one hub's requests.
      const double requestsIn260s = share * static_cast<double>(requests) / 100;
      const auto micros = static_cast<std::uint32_t>(kTimeOutMicrosPerHub / requestsIn260s);
      points.push_back({nformat("time-out at %d%% of the writes%s", share, relink ? ", reset after the update" : ""),
                        [micros, relink](const PointPlace& place) { return timeOutAndRerun(place, micros, relink); }});
    }
  }
  return points;
}

}  // namespace hbx::faultmatrix
