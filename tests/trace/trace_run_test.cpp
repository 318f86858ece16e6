// Whole runs recorded with /TRACE on the simulated bench and replayed from
// the recording: the trace changes nothing of the run, and its replay gives
// the run's console output, exit code and report again, or fails where the
// program must notice a changed answer.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/program.h"
#include "sim/sim_host.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/sim/temp_folder.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;
using e2e::E2eRun;
using e2e::hub;

constexpr wchar_t kLine[] = L"/DBG 3 /REPORT C:\\report.json";
constexpr wchar_t kTraced[] = L"/DBG 3 /REPORT C:\\report.json /TRACE C:\\trace.jsonl";

std::vector<e2e::Hub> twoTiers() { return {hub("a", e2e::kOldVersion, "", {hub("b")}), hub("c")}; }

// The report without what differs between two runs of the same line: the
// times, and the trace file it names.
nlohmann::json comparable(const std::string& report) {
  nlohmann::json document = nlohmann::json::parse(report, nullptr, false);
  if (document.is_object()) {
    document.erase("start");
    document.erase("end");
    document.erase("trace");
  }
  return document;
}

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
  E2eRun plain(twoTiers());
  const int code = plain.run(kLine);
  ASSERT_EQ(code, 0) << plain.debugLog();
  E2eRun traced(twoTiers());
  const Recorded recorded = record(traced);
  EXPECT_EQ(recorded.code, code);
  EXPECT_EQ(recorded.output, plain.output());
  EXPECT_EQ(recorded.log, plain.debugLog());
  EXPECT_EQ(comparable(recorded.report), comparable(plain.file(L"C:\\report.json")));
  EXPECT_EQ(comparable(recorded.report)["commandLine"], "/DBG 3 /REPORT C:\\report.json");
  EXPECT_EQ(nlohmann::json::parse(recorded.report)["trace"], "C:\\trace.jsonl");
  EXPECT_FALSE(nlohmann::json::parse(plain.file(L"C:\\report.json")).contains("trace"));
  // The recording holds the walk, the hub queries and the flash writes.
  for (const char* call : {"\"getClassDevs\"", "\"hubIoctl\"", "\"deviceIoControl\"", "\"queryValue\""})
    EXPECT_NE(recorded.trace.find(call), std::string::npos) << call;

  const Replayed replayed = replay(recorded.bench, recorded.trace, kLine);
  EXPECT_EQ(replayed.verdict, "");
  EXPECT_EQ(replayed.code, recorded.code);
  EXPECT_EQ(replayed.output, recorded.output);
  EXPECT_EQ(comparable(replayed.report), comparable(recorded.report));
}

// The first completed filter request whose reply starts with `prefix` (the
// hex of a hub's version block), with byte `index` of its reply set to
// `value`.
std::string withReplyByte(const std::string& trace, const std::string& prefix, std::size_t index, const char* value) {
  std::istringstream lines(trace);
  std::string changed;
  bool done = false;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t reply = line.find("\"reply\":\"" + prefix);
    if (!done && reply != std::string::npos && line.find("\"getOverlappedResult\"") != std::string::npos) {
      line.replace(reply + 9 + index * 2, 2, value);
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
  // The version block of the hub's first read: bytes 0-5 the version, 6-7
  // not looked at.
  const std::string version = e2e::kOldVersion;
  const Replayed unused = replay(recorded.bench, withReplyByte(recorded.trace, version, 7, "5a"), kLine);
  EXPECT_EQ(unused.verdict, "");
  EXPECT_EQ(unused.code, recorded.code);
  EXPECT_EQ(unused.output, recorded.output);

  // The same hub reported with a newer version than the image's: the run
  // writes nothing, and the recorded writes are never made.
  const Replayed newer = replay(recorded.bench, withReplyByte(recorded.trace, version, 0, "99"), kLine);
  EXPECT_NE(newer.verdict, "");
  EXPECT_NE(newer.output, recorded.output);
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
