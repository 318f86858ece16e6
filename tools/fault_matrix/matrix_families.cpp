#include "tools/fault_matrix/matrix_families.h"

#include <stdlib.h>

#include <atomic>
#include <csignal>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include <nlohmann/json.hpp>

#include "app/program.h"
#include "sim/hub/hub_bench.h"
#include "sim/sim_host.h"
#include "sim/win_paths.h"
#include "tools/fault_matrix/matrix_bench.h"
#include "tools/fault_matrix/program_process.h"

namespace hbx::faultmatrix {

namespace fs = std::filesystem;
using sim::hub::Phase;

namespace {

const std::vector<std::string> kCommand = {"/DOS", "/DBG", "3"};
const std::vector<std::string> kSilentCommand = {"/SILENT", "/DBG", "3"};
constexpr char kProgramName[] = "8634FWUpgradeTool";

std::string stepName(const Step& step) {
  std::string name = std::string(sim::hub::phaseName(step.phase)) + " request " + std::to_string(step.request);
  if (step.image) name += " (image " + std::to_string(*step.image) + ")";
  return name;
}

// The aim of a step: by phase where the phase can be aimed at, so that it
// holds on a bench with more hubs, else by number.
nlohmann::json aimOf(const Step& step) {
  if (step.phase == Phase::Other || step.phase == Phase::None) return step.request;
  sim::hub::FaultAim aim;
  aim.phase = step.phase;
  aim.nth = step.nthOfPhase;
  aim.image = step.image;
  return aim.toJson();
}

// Runs of equal phase and image, in the order of the run.
std::vector<std::vector<Step>> segmentsOf(const std::vector<Step>& steps) {
  std::vector<std::vector<Step>> segments;
  for (const Step& step : steps) {
    if (segments.empty() || segments.back().back().phase != step.phase || segments.back().back().image != step.image) {
      segments.emplace_back();
    }
    segments.back().push_back(step);
  }
  return segments;
}

// The first, middle and last step of a segment (fewer when it is short).
std::vector<Step> ends(const std::vector<Step>& segment, bool withMiddle) {
  std::vector<Step> chosen{segment.front()};
  if (withMiddle && segment.size() > 2) chosen.push_back(segment[segment.size() / 2]);
  if (segment.size() > 1) chosen.push_back(segment.back());
  return chosen;
}

// The short form: every erase, the first and last packet of each
// configuration table, the first, middle and last packet of the firmware.
std::vector<Step> sampledFlashSteps(const std::vector<Step>& steps) {
  std::vector<Step> chosen;
  for (const std::vector<Step>& segment : segmentsOf(steps)) {
    const Phase phase = segment.front().phase;
    if (phase == Phase::Erase) chosen.insert(chosen.end(), segment.begin(), segment.end());
    if (phase == Phase::Table || phase == Phase::Download) {
      const std::vector<Step> picked = ends(segment, phase == Phase::Download);
      chosen.insert(chosen.end(), picked.begin(), picked.end());
    }
  }
  return chosen;
}

std::vector<Step> flashSteps(const std::vector<Step>& steps) {
  std::vector<Step> flash;
  for (const Step& step : steps) {
    if (isFlashStep(step)) flash.push_back(step);
  }
  return flash;
}

BenchLayout oneHub(const std::string& faults) {
  BenchLayout layout;
  layout.hubs = {{"cut", faults}};
  return layout;
}

// A one-hub run with the power lost (`faultKey` at the step), a power cycle,
// a plain re-run and another power cycle.
std::string cutAndRerun(const PointPlace& place, const std::string& faultKey, const Step& step) {
  const nlohmann::json fault = {{faultKey, step.request}};
  writeBench(place.bench, oneHub(fault.dump()));
  const ProgramRun first = runProgram(place.program, place.bench, kCommand, place.debugLog);
  if (!first.exited || first.code == 0) return "the cut run " + endedText(first);
  if (first.output.find("The Hub[0] FW Update PASS") != std::string::npos) return "the cut run passed the hub";
  powerCycle(place.bench);
  writeBench(place.bench, oneHub(""));
  const ProgramRun rerun = runProgram(place.program, place.bench, kCommand, place.debugLog);
  if (!rerun.exited || rerun.code != 0) return "the re-run " + endedText(rerun);
  powerCycle(place.bench);
  const std::string running = runningVersion(place.bench, "cut");
  if (running != kCarriedVersion) return "after the re-run the hub runs " + running;
  return "";
}

std::vector<Point> cutPoints(const std::vector<Step>& steps, const std::string& faultKey) {
  std::vector<Point> points;
  for (const Step& step : steps) {
    points.push_back({faultKey + " at " + stepName(step),
                      [faultKey, step](const PointPlace& place) { return cutAndRerun(place, faultKey, step); }});
  }
  return points;
}

// The failed requests, as the hub's faults at a step.
struct RequestFault {
  const char* name;
  bool readsOnly;
  std::function<nlohmann::json(const nlohmann::json& aim)> faults;
};

const std::vector<RequestFault>& requestFaults() {
  using nlohmann::json;
  static const std::vector<RequestFault> kinds = {
      {"error 31", false, [](const json& aim) { return json{{"failAt", aim}, {"failCount", 1}, {"immediateError", 31}}; }},
      {"error 87", false, [](const json& aim) { return json{{"failAt", aim}, {"failCount", 1}, {"immediateError", 87}}; }},
      {"failed completion", false, [](const json& aim) { return json{{"failAt", aim}, {"failCount", 1}, {"completionError", 31}}; }},
      {"short reply", true, [](const json& aim) { return json{{"shortReplyAtRequest", aim}}; }},
      {"stuck request", false, [](const json& aim) { return json{{"stuckAtRequest", aim}}; }},
  };
  return kinds;
}

// Two hubs, one request of "cut" fails: the run must fail with one of the
// program's failure codes, and "other" must be updated all the same. A run
// that got past the fault (a request the program asks again, or in another
// form) may end with 0, but only when "cut" holds the carried firmware too.
std::string failOneRequest(const PointPlace& place, const nlohmann::json& faults) {
  BenchLayout layout;
  layout.hubs = {{"cut", faults.dump()}, {"other", ""}};
  writeBench(place.bench, layout);
  const ProgramRun run = runProgram(place.program, place.bench, kSilentCommand, place.debugLog);
  if (!run.exited || (run.code != 0 && run.code != -1 && run.code != -7 && run.code != -9)) return "the run " + endedText(run);
  const std::string other = image0Version(place.bench, "other");
  if (other != kCarriedVersion) return "the other hub holds " + other;
  const std::string cut = image0Version(place.bench, "cut");
  if (run.code == 0 && cut != kCarriedVersion) return "the run ended with 0 but the failed hub holds " + cut;
  return "";
}

// The first run is killed where `kill` says; a plain re-run must leave the
// new firmware and the host as it was before the first run.
std::string killAndRerun(const PointPlace& place, const std::string& hubFaults, const std::string& killAtWriteTo) {
  BenchLayout layout = oneHub(hubFaults);
  layout.driverInstalled = false;
  layout.relink = true;
  layout.killAtWriteTo = killAtWriteTo;
  writeBench(place.bench, layout);
  setUpComputer(place.bench, place.program);
  const HostSnapshot before = snapshotHost(place.bench, place.program.parent_path());
  const ProgramRun first = runProgram(place.program, place.bench, kCommand, place.debugLog);
  if (first.exited || first.signal != SIGKILL) return "the first run was not killed: it " + endedText(first);
  layout.hubs = {{"cut", ""}};
  layout.killAtWriteTo.clear();
  writeBench(place.bench, layout);
  const ProgramRun rerun = runProgram(place.program, place.bench, kCommand, place.debugLog);
  if (!rerun.exited || rerun.code != 0) return "the re-run " + endedText(rerun);
  const std::string difference = hostDifference(before, snapshotHost(place.bench, place.program.parent_path()));
  if (!difference.empty()) return "the host is not as before: " + difference;
  powerCycle(place.bench);
  const std::string running = runningVersion(place.bench, "cut");
  if (running != kCarriedVersion) return "after the re-run the hub runs " + running;
  return "";
}

}  // namespace

bool isFlashStep(const Step& step) {
  return step.phase == Phase::Erase || step.phase == Phase::Table || step.phase == Phase::Download;
}

std::vector<Step> stepsOfCleanRun(const fs::path& work) {
  const fs::path bench = work / "bench";
  writeBench(bench, oneHub(""));
  sim::SimHostOptions options;
  options.benchFolder = bench;
  options.timeScale = 0;
  options.moduleFileName = sim::WinPaths::fromHost(work / "program" / (std::string(kProgramName) + ".exe"));
  options.standardOutput = [](const std::string&) {};
  options.standardError = [](const std::string&) {};
  sim::SimHost host(options);
  std::wstring line;
  for (const std::string& a : kCommand) line += (line.empty() ? L"" : L" ") + std::wstring(a.begin(), a.end());
  if (!host.benchError().empty() || app::runProgram(host.ports(), line) != 0) return {};
  std::vector<Step> steps;
  std::map<std::pair<Phase, std::optional<std::uint32_t>>, std::uint32_t> counted;
  for (const sim::hub::TraceEntry& entry : host.hubBench().trace()) {
    if (entry.hub != "cut") continue;
    std::uint8_t header[24] = {};
    for (std::size_t i = 0; i < 6; ++i) {
      for (std::size_t b = 0; b < 4; ++b) header[4 * i + b] = static_cast<std::uint8_t>(entry.words[i] >> (8 * b));
    }
    const sim::hub::RequestKind kind = sim::hub::classifyRequest(entry.code, header, entry.inLength);
    Step step;
    step.request = static_cast<std::uint32_t>(steps.size() + 1);
    step.phase = kind.phase;
    step.image = kind.image;
    step.nthOfPhase = ++counted[{kind.phase, kind.image}];
    step.returnsBytes = entry.replyBytes > 0;
    steps.push_back(step);
  }
  return steps;
}

std::vector<Point> powerCutPoints(const std::vector<Step>& steps, bool quick) {
  // A cut after the run's last request is a cut after the run: the hub was
  // written and checked, and its PASS is true.
  const std::vector<Step> interrupting(steps.begin(), steps.empty() ? steps.end() : steps.end() - 1);
  return cutPoints(quick ? sampledFlashSteps(steps) : interrupting, "powerLossAfterRequest");
}

std::vector<Point> tornPoints(const std::vector<Step>& steps, bool quick) {
  return cutPoints(quick ? sampledFlashSteps(steps) : flashSteps(steps), "tornAtRequest");
}

std::vector<Point> requestFaultPoints(const std::vector<Step>& steps, bool quick) {
  // Full: the first, middle and last request of each step of the run (each
  // run of one phase and image). Short: the first request of the first
  // erase, configuration table, download and read-back.
  std::vector<Step> chosen;
  std::map<Phase, bool> seen;
  for (const std::vector<Step>& segment : segmentsOf(steps)) {
    const Phase phase = segment.front().phase;
    if (!quick) {
      const std::vector<Step> picked = ends(segment, true);
      chosen.insert(chosen.end(), picked.begin(), picked.end());
    } else if ((isFlashStep(segment.front()) || phase == Phase::Readback) && !seen[phase]) {
      seen[phase] = true;
      chosen.push_back(segment.front());
    }
  }
  std::vector<Point> points;
  for (const RequestFault& kind : requestFaults()) {
    for (const Step& step : chosen) {
      if (kind.readsOnly && !step.returnsBytes) continue;
      const nlohmann::json faults = kind.faults(aimOf(step));
      points.push_back({std::string(kind.name) + " at " + stepName(step),
                        [faults](const PointPlace& place) { return failOneRequest(place, faults); }});
    }
  }
  return points;
}

std::vector<Point> killPoints(const std::vector<Step>& steps, bool quick) {
  using nlohmann::json;
  struct Kill {
    std::string where;
    json aim;             // null: half-way through the write of `writeTo`
    std::string writeTo;
  };
  std::vector<Kill> kills;
  // Start-up: the files it writes beside the program, under names a user's
  // file may hold too.
  kills.push_back({"settings file write", json(), "HBX763xFWUpg.ini"});
  kills.push_back({"device-console tool write", json(), "devconAMD64.exe"});
  // The scan: the hub's first request, and its last one before the hub is written.
  kills.push_back({"scan, first request", 1, ""});
  std::uint32_t lastScan = 0;
  for (const Step& step : steps) {
    if (isFlashStep(step)) break;
    lastScan = step.request;
  }
  if (!quick && lastScan > 1) kills.push_back({"scan, last request", lastScan, ""});
  kills.push_back({"staging", json(), "TempBinData.bin"});
  std::map<std::pair<Phase, std::optional<std::uint32_t>>, std::uint32_t> total;
  for (const Step& step : steps) total[{step.phase, step.image}] = step.nthOfPhase;
  for (const Step& step : steps) {
    const std::uint32_t count = total[{step.phase, step.image}];
    const bool middle = step.nthOfPhase == (count + 1) / 2;
    const bool pick = step.phase == Phase::Erase ||
                      (step.phase == Phase::Table && step.nthOfPhase == 1 && !quick) ||
                      (step.phase == Phase::Download && (step.nthOfPhase == 1 || middle || step.nthOfPhase == count)) ||
                      (step.phase == Phase::Readback && step.nthOfPhase == 1 && !quick);
    if (quick && step.phase == Phase::Erase && step.nthOfPhase != 1 && step.nthOfPhase != count) continue;
    if (pick) kills.push_back({stepName(step), aimOf(step), ""});
  }
  // The reset wait: killed once the reset request has gone to the hub.
  kills.push_back({"reset wait", json{{"phase", "reset"}}, ""});
  std::vector<Point> points;
  for (const Kill& kill : kills) {
    const std::string faults = kill.aim.is_null() ? "" : json{{"killAt", kill.aim}}.dump();
    const std::string writeTo = kill.writeTo;
    points.push_back({"killed at " + kill.where,
                      [faults, writeTo](const PointPlace& place) { return killAndRerun(place, faults, writeTo); }});
  }
  return points;
}

FamilyResult runPoints(const std::vector<Point>& points, const fs::path& program, unsigned jobs) {
  FamilyResult result;
  result.points = points.size();
  std::mutex mutex;
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    for (std::size_t i; (i = next++) < points.size();) {
      std::string pattern = (fs::temp_directory_path() / "hbx-fault-matrix-XXXXXX").string();
      const fs::path root = ::mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
      PointPlace place{root / "bench", root / "program" / kProgramName, root / "debug.log"};
      std::string why = root.empty() ? "no temporary folder" : "";
      if (why.empty() && !placeProgram(program, place.program)) why = "the program could not be placed";
      if (why.empty()) why = points[i].run(place);
      std::error_code ec;
      if (!root.empty()) fs::remove_all(root, ec);
      std::lock_guard<std::mutex> lock(mutex);
      if (why.empty()) ++result.recovered;
      else result.failures.push_back(points[i].where + ": " + why);
    }
  };
  std::vector<std::thread> threads;
  for (unsigned j = 0; j < std::max(1u, jobs); ++j) threads.emplace_back(worker);
  for (std::thread& t : threads) t.join();
  return result;
}

}  // namespace hbx::faultmatrix
