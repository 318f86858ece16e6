// The program run as a process with traces: the recorded traces of
// tests/data/traces, each replayed as a bench (the run follows its recording
// to the end, with the recorded exit code and console output: docs/trace.md,
// "The corpus"), and a trace written by a run that was killed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/sim/shell_run.h"
#include "trace/trace_reader.h"
#include "tests/sim/temp_folder.h"
#include "tests/trace/sorted_text.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

TEST(TraceCorpus, EveryRecordedRunReplaysWhole) {
  std::vector<fs::path> cases;
  for (const auto& entry : fs::directory_iterator(HBX_TRACE_CORPUS))
    if (entry.is_directory()) cases.push_back(entry.path());
  ASSERT_FALSE(cases.empty()) << "no trace in " << HBX_TRACE_CORPUS;
  for (const fs::path& recorded : cases) {
    SCOPED_TRACE(recorded.filename().string());
    const nlohmann::json expected = nlohmann::json::parse(readText(recorded / "case.json"), nullptr, false);
    ASSERT_TRUE(expected.is_object() && expected.contains("commandLine") && expected.contains("exitCode"));
    // A copy: the run writes its drive C: and registry into the bench folder.
    TempFolder bench;
    for (const auto& file : fs::directory_iterator(recorded))
      if (file.path().filename() != "case.json") fs::copy_file(file.path(), bench.path() / file.path().filename());
    const ShellRun run = runShell("HBX_TIME_SCALE=0 HBX_BENCH=" + quoted(bench.path().string()) + " " +
                                  quoted(HBX_PROGRAM_PATH) + " " + expected["commandLine"].get<std::string>() +
                                  " 2>" + quoted((bench.path() / "errors.txt").string()));
    const std::string errors = readText(bench.path() / "errors.txt");
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.exitStatus, expected["exitCode"].get<int>() & 0xFF) << errors;
    EXPECT_EQ(errors.find("replay failed"), std::string::npos) << errors;
    // The hubs' workers print as their threads take turns: the lines, not
    // their order, are the run's.
    if (expected.contains("output")) {
      EXPECT_EQ(sortedConsolePieces(run.output), sortedConsolePieces(expected["output"].get<std::string>()));
    }
  }
}

// A run killed outright half-way through its download keeps the trace of
// every call it made up to then: each line is written whole as its call
// returns, so the file reads as a trace.
TEST(TraceFile, AKilledRunKeepsWhatItRecorded) {
  TempFolder bench;
  std::string description = readText(fs::path(HBX_TRACE_CORPUS) / "power-cut" / "bench.json");
  const std::size_t faults = description.find("\"faults\": ");
  ASSERT_NE(faults, std::string::npos);
  description.replace(faults, description.find('}', description.find('}', faults) + 1) + 1 - faults,
                      R"("faults": {"killAt": {"phase": "download", "nth": 2}})");
  bench.write("bench.json", description);
  // The shell gives way to the program, so the kill ends the command.
  const ShellRun run = runShell("exec env HBX_TIME_SCALE=0 HBX_BENCH=" + quoted(bench.path().string()) + " " +
                                quoted(HBX_PROGRAM_PATH) + " /DOS /DBG 3 /TRACE 'C:\\trace.jsonl' 2>/dev/null");
  EXPECT_FALSE(run.exited);
  const trace::TraceLoad load = trace::readTrace(readText(bench.path() / "drive_c" / "trace.jsonl"));
  ASSERT_EQ(load.error, "");
  // The header and the first download packet (56 bytes) went out before the kill.
  std::size_t packets = 0;
  for (const trace::TraceEntry& entry : load.entries)
    if (entry.call == "deviceIoControl" && entry.in["request"].get<std::string>().size() == 112) ++packets;
  EXPECT_GE(packets, 1u);
}

}  // namespace
}  // namespace hbx::testing
