// Whole runs recorded with /TRACE on the simulated bench and replayed from
// the recording: the trace changes nothing of the run, and its replay gives
// the run's console output, exit code and report again, or fails where the
// program must notice a changed answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/program.h"
#include "base/log/debug_log.h"
#include "sim/sim_host.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/sim/temp_folder.h"
#include "tests/trace/sorted_text.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;
using e2e::E2eRun;
using e2e::hub;

constexpr wchar_t kLine[] = L"/DBG 3 /REPORT C:\\report.json";
constexpr wchar_t kTraced[] = L"/DBG 3 /REPORT C:\\report.json /TRACE C:\\trace.jsonl";

std::vector<e2e::Hub> twoTiers() { return {hub("a", e2e::kOldVersion, "", {hub("b")}), hub("c")}; }

// The report without what differs between two runs of the same line: the
// times and durations, and the trace file it names.
nlohmann::json comparable(const std::string& report) {
  nlohmann::json document = nlohmann::json::parse(report, nullptr, false);
  if (!document.is_object()) return document;
  document.erase("start");
  document.erase("end");
  document.erase("trace");
  // How long a phase took follows the threads' turns, not the hubs' answers.
  for (nlohmann::json& hub : document["hubs"])
    for (nlohmann::json& phase : hub["phases"]) phase.erase("ms");
  return document;
}

// The debug log's lines in order: the workers' lines interleave as their
// threads run, in any run.
struct Replayed {
  int code = 0;
  std::string output;
  std::string report;
  std::string verdict;
};

// The run of `line` on a fresh bench folder holding the recording's
// bench.json and `trace` as trace.jsonl.
Replayed replay(const fs::path& recordedBench, const std::string& trace, const std::wstring& line) {
  TempFolder folder;
  folder.write("bench.json", readText(recordedBench / "bench.json"));
  folder.write("trace.jsonl", trace);
  Replayed result;
  sim::SimHostOptions options;
  options.benchFolder = folder.path();
  options.timeScale = 0;
  options.standardOutput = [&result](const std::string& text) { result.output += text; };
  sim::SimHost host(options);
  EXPECT_EQ(host.benchError(), "");
  EXPECT_TRUE(host.replaying());
  result.code = app::runProgram(host.ports(), line);
  result.verdict = host.replayVerdict();
  result.report = readText(host.hostPath(L"C:\\report.json"));
  return result;
}

struct Recorded {
  int code = 0;
  std::string output;
  std::string log;
  std::string report;
  std::string trace;
  fs::path bench;
};

Recorded record(E2eRun& run) {
  Recorded r;
  r.code = run.run(kTraced);
  r.output = run.output();
  r.log = run.debugLog();
  r.report = run.file(L"C:\\report.json");
  r.trace = run.file(L"C:\\trace.jsonl");
  r.bench = *run.host().benchFolder();
  return r;
}

TEST(TraceRun, RecordingChangesNothingAndItsReplayGivesTheSameRun) {
  // The debug level a run sets stays in the process: both runs start alike.
  const int level = log::debugLevel();
  E2eRun plain(twoTiers());
  const int code = plain.run(kLine);
  ASSERT_EQ(code, 0) << plain.debugLog();
  log::vDEBUG_SetLevel(level);
  E2eRun traced(twoTiers());
  const Recorded recorded = record(traced);
  EXPECT_EQ(recorded.code, code);
  EXPECT_EQ(sortedConsolePieces(recorded.output), sortedConsolePieces(plain.output()));
  // The main task's line on lowering the reset tier shows only when its poll
  // meets the tier still pending, which the threads' turns decide in any run.
  const auto withoutTierPoll = [](std::vector<std::string> lines) {
    std::erase_if(lines, [](const std::string& line) { return line.find("m_MaxHubDepth decrese") != std::string::npos; });
    return lines;
  };
  const std::vector<std::string> tracedLog = withoutTierPoll(sortedLines(recorded.log));
  const std::vector<std::string> plainLog = withoutTierPoll(sortedLines(plain.debugLog()));
  std::vector<std::string> differing;
  std::set_symmetric_difference(tracedLog.begin(), tracedLog.end(), plainLog.begin(), plainLog.end(),
                                std::back_inserter(differing));
  EXPECT_TRUE(differing.empty()) << differing.size() << " lines differ, the first: " << differing.front();
  EXPECT_EQ(comparable(recorded.report), comparable(plain.file(L"C:\\report.json")))
      << nlohmann::json::diff(comparable(recorded.report), comparable(plain.file(L"C:\\report.json")));
  EXPECT_EQ(comparable(recorded.report)["commandLine"], "/DBG 3 /REPORT C:\\report.json");
  EXPECT_EQ(nlohmann::json::parse(recorded.report)["trace"], "C:\\trace.jsonl");
  EXPECT_FALSE(nlohmann::json::parse(plain.file(L"C:\\report.json")).contains("trace"));
  // The recording holds the walk, the hub queries and the flash writes.
  for (const char* call : {"\"getClassDevs\"", "\"hubIoctl\"", "\"deviceIoControl\"", "\"queryValue\""})
    EXPECT_NE(recorded.trace.find(call), std::string::npos) << call;

  const Replayed replayed = replay(recorded.bench, recorded.trace, kLine);
  EXPECT_EQ(replayed.verdict, "");
  EXPECT_EQ(replayed.code, recorded.code);
  EXPECT_EQ(sortedConsolePieces(replayed.output), sortedConsolePieces(recorded.output));
  EXPECT_EQ(comparable(replayed.report), comparable(recorded.report))
      << nlohmann::json::diff(comparable(replayed.report), comparable(recorded.report));
}

// The trace with byte `index` of one reply set to `value`: that of the
// first completed filter request whose reply starts with `prefix`, for the
// hub's version block the walk's read over the hub's first connection.
std::string withReplyByte(const std::string& trace, const std::string& prefix, std::size_t index, const char* value) {
  std::istringstream in(trace);
  std::string changed;
  bool done = false;
  for (std::string line; std::getline(in, line);) {
    if (!done && line.find("\"reply\":\"" + prefix) != std::string::npos &&
        line.find("\"getOverlappedResult\"") != std::string::npos) {
      line.replace(line.find("\"reply\":\"") + 9 + index * 2, 2, value);
      done = true;
    }
    changed += line + "\n";
  }
  EXPECT_TRUE(done) << "no reply starts with " << prefix;
  return changed;
}

TEST(TraceRun, ReplayFailsWhereAChangedByteMattersAndPassesWhereItDoesNot) {
  E2eRun run({hub("a")});
  const Recorded recorded = record(run);
  ASSERT_EQ(recorded.code, 0) << recorded.log;
  // Of the version block bytes 0-5 are the version, 6-7 are not looked at.
  const std::string version = e2e::kOldVersion;
  const Replayed unused = replay(recorded.bench, withReplyByte(recorded.trace, version, 7, "5a"), kLine);
  EXPECT_EQ(unused.verdict, "");
  EXPECT_EQ(unused.code, recorded.code);
  EXPECT_EQ(unused.output, recorded.output);

  // Version byte 3 with another chip family in its high nibble (3: none of
  // the targets): the walk does not list that connection, and the run asks
  // for what the recording does not hold.
  const Replayed otherFamily = replay(recorded.bench, withReplyByte(recorded.trace, version, 3, "35"), kLine);
  EXPECT_NE(otherFamily.verdict.find(" is not in the trace; the trace stood at line "), std::string::npos)
      << otherFamily.verdict;
}

TEST(TraceRun, TraceNamingTheProgramOrTheReportIsRefused) {
  E2eRun run({hub("a")});
  const std::wstring program = run.host().system().moduleFileName(260);
  for (const std::wstring& line : {L"/TRACE " + program, std::wstring(L"/REPORT C:\\r.json /TRACE c:\\R.JSON"),
                                   std::wstring(L"/DBG 3 /TRACE")}) {
    const std::size_t outputBefore = run.output().size();
    EXPECT_EQ(run.run(line), -10) << std::string(line.begin(), line.end());
    EXPECT_EQ(run.output().size(), outputBefore);
    EXPECT_EQ(run.file(L"C:\\r.json"), "");
  }
}

}  // namespace
}  // namespace hbx::testing
