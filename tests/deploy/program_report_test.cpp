// The run report of the built program ("/REPORT <file>"): valid against its
// schema for a run that passes, one with a failed hub, a refused source and
// an interrupted run; the versions it states after the run are what the
// hubs' flash holds; and without the option a run is as before.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/log/format.h"
#include "sim/hub/hub_chip.h"
#include "sim/hub/spi_flash.h"
#include "tests/deploy/program_fixture.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::uint8_t kChipType = 2;  // HBX773x
const char* const kNewVersion = "25031825010C";

class ProgramReportTest : public ProgramFolderTest {
 protected:
  fs::path reportFile() const { return root_.path() / "out" / "report.json"; }

  // The bench's own hubs (hubbench init), `faults` added to hub1.
  void hubBench(const json& faults) {
    ASSERT_EQ(runShell("'" + std::string(HBX_HUBBENCH_PATH) + "' init '" + benchFolder().string() + "'").exitStatus, 0);
    json document = json::parse(readText(benchFolder() / "bench.json"));
    document["hubs"]["driverInstalled"] = false;
    if (!faults.is_null()) document["hubs"]["devices"][1]["faults"] = faults;
    bench(document.dump());
  }

  // What the schema says of the report; empty when it is valid.
  std::string schemaErrors() const {
    const ShellRun check = runShell("python3 '" + std::string(HBX_SOURCE_DIR) + "/tools/report_check/validate.py' '" +
                                    std::string(HBX_SOURCE_DIR) + "/docs/run-report.schema.json' '" +
                                    reportFile().string() + "' 2>&1");
    return check.exited && check.exitStatus == 0 ? std::string() : "invalid: " + check.output;
  }

  // The version image 0 of a bench hub boots, as the report writes it.
  std::optional<std::string> flashVersion(const std::string& hub) const {
    std::ifstream in(benchFolder() / "hubs" / (hub + ".flash"), std::ios::binary);
    std::vector<std::uint8_t> image0(sim::hub::SpiFlash::kImageSize);
    in.read(reinterpret_cast<char*>(image0.data()), static_cast<std::streamsize>(image0.size()));
    const auto version = sim::hub::HubChip::validFirmware(image0.data(), kChipType);
    if (!version) return std::nullopt;
    std::string text;
    for (std::uint8_t b : *version) text += nformat("%02X", b);
    return text;
  }

  // Every hub's stated version after the run is what its flash holds.
  void expectVersionsOfTheFlash(const json& report) const {
    for (const json& hub : report["hubs"]) {
      if (hub["versionAfter"].is_null()) continue;
      // Bench hub n has serial number HBX0000n.
      const std::string name = "hub" + hub["serial"].get<std::string>().substr(7);
      std::string stated = hub["versionAfter"].get<std::string>();
      for (char& c : stated) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      EXPECT_EQ(flashVersion(name), stated) << name;
    }
  }

  std::map<std::string, int> resultsBySerial(const json& report) const {
    std::map<std::string, int> results;
    for (const json& hub : report["hubs"]) results[hub["serial"].get<std::string>() + " " + hub["result"].get<std::string>()]++;
    return results;
  }
};

TEST_F(ProgramReportTest, ReportsMatchTheSchemaAndTheHubsFlash) {
  struct Case {
    const char* name;
    json faults;            // of hub1; null: none
    const char* arguments;  // after "/DOS /REPORT <file>"
    bool interrupt;
    int code;
    std::vector<std::string> results;  // "<serial> <result>" of every hub found
    const char* mode = "update";
  };
  const Case cases[] = {
      {"a run that passes", nullptr, "", false, 0, {"HBX00000 passed", "HBX00001 passed", "HBX00002 passed"}},
      // A bit error in image 0's firmware area that the read-back sees.
      {"one hub fails its read-back", json{{"flipBitAtOffset", 0x400}}, "", false, -7,
       {"HBX00000 passed", "HBX00001 failed", "HBX00002 passed"}},
      // The scan matched it but could not open it: it is listed all the same.
      {"one hub cannot be opened", json{{"openError", 5}}, "", false, -1,
       {"HBX00000 passed", "HBX00001 failed", "HBX00002 passed"}},
      {"a refused source", nullptr, "/U Z:REFUSED/fw.bin", false, -10, {}},
      {"an interrupted run", nullptr, "", true, -12, {}},
      // Three hubs, where the comparison needs two; no firmware is written.
      {"a serial comparison", nullptr, "/I", false, -1,
       {"HBX00000 not-written", "HBX00001 not-written", "HBX00002 not-written"}, "serial-comparison"},
  };
  const fs::path refused = root_.write("refused/fw.bin", std::string(64, 'x'));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(benchFolder());
    fs::remove(reportFile());
    fs::create_directories(reportFile().parent_path());
    hubBench(c.faults);
    std::string arguments = "/DOS /DBG 3 /REPORT " + reportFile().string() + " " + c.arguments;
    const std::string refusedPath = "Z:" + refused.string();
    if (const std::size_t at = arguments.find("Z:REFUSED/fw.bin"); at != std::string::npos)
      arguments.replace(at, 16, refusedPath);
    int code = 0;
    if (c.interrupt) {
      StartedProgram program(command(arguments, "run", "0.05"));
      ASSERT_TRUE(reach("run", "updata config")) << readText(errorsOf("run"));
      program.signal(SIGINT);
      code = program.wait();
    } else {
      code = run(arguments, "0").status;
    }
    EXPECT_EQ(code, c.code);
    ASSERT_TRUE(fs::exists(reportFile()));
    EXPECT_FALSE(fs::exists(reportFile().string() + ".tmp"));
    EXPECT_EQ(schemaErrors(), "");
    const json report = json::parse(readText(reportFile()));
    EXPECT_EQ(report["exitCode"], c.code);
    EXPECT_EQ(report["mode"], c.mode);
    expectVersionsOfTheFlash(report);
    if (!c.results.empty()) {
      std::map<std::string, int> expected;
      for (const std::string& r : c.results) expected[r] = 1;
      EXPECT_EQ(resultsBySerial(report), expected);
    }
    if (c.code == -10) {
      EXPECT_TRUE(report["source"]["refused"].get<bool>());
      EXPECT_EQ(report["source"]["size"], 64);
      EXPECT_EQ(report["source"]["sha256"].get<std::string>(),
                runShell("sha256sum '" + refused.string() + "' | cut -c1-64 | tr -d '\\n'").output);
      EXPECT_TRUE(report["hubs"].empty());
    } else if (std::string(c.mode) != "update") {
      EXPECT_EQ(report["source"], nullptr);
      EXPECT_NE(report["exitMeaning"].get<std::string>().find("serial numbers"), std::string::npos);
      for (const json& hub : report["hubs"])
        EXPECT_NE(hub["reason"].get<std::string>().find("needs exactly two hubs"), std::string::npos) << hub.dump();
    } else {
      EXPECT_EQ(report["source"]["version"], kNewVersion);
      EXPECT_EQ(report["source"]["sha256"].get<std::string>().size(), 64u);
    }
    if (c.code == -7) {
      for (const json& hub : report["hubs"]) {
        if (hub["result"] != "failed") continue;
        EXPECT_EQ(hub["code"], -7);
        EXPECT_EQ(hub["versionAfter"], nullptr);  // written, not read back equal
        EXPECT_NE(hub["reason"].get<std::string>().find("read-back"), std::string::npos);
      }
    }
    if (c.code == -1 && c.faults.contains("openError")) {
      for (const json& hub : report["hubs"]) {
        if (hub["result"] != "failed") continue;
        EXPECT_EQ(hub["code"], -1);
        EXPECT_EQ(hub["place"]["text"], "4.1");
        EXPECT_EQ(hub["versionBefore"], nullptr);
        EXPECT_NE(hub["reason"].get<std::string>().find("could not be opened or read"), std::string::npos);
      }
    }
    if (c.interrupt) {
      // The hub whose writes had begun was finished; the others were not
      // written, which is no failure of theirs; no hub was left unstated.
      int passed = 0;
      for (const json& hub : report["hubs"]) {
        passed += hub["result"] == "passed";
        if (hub["result"] != "passed") {
          EXPECT_EQ(hub["result"], "not-written") << hub.dump();
          EXPECT_EQ(hub["code"], 0) << hub.dump();
        }
        EXPECT_FALSE(hub["versionAfter"].is_null()) << hub.dump();
      }
      EXPECT_GE(passed, 1);
      EXPECT_EQ(report["hubs"].size(), 3u);
    }
    if (c.code != -10 && std::string(c.mode) == "update") {
      // The driver the run installed was removed again.
      std::vector<std::string> changes;
      for (const json& change : report["hostChanges"])
        if (change["change"].get<std::string>().rfind("driver", 0) == 0) changes.push_back(change["change"]);
      EXPECT_EQ(changes, (std::vector<std::string>{"driver-installed", "driver-removed"}));
    }
  }
}

// Everything a run leaves: what it printed (line by line, since the hubs'
// workers run in parallel), its debug log (likewise) and every file of the
// bench and the program folder, byte for byte.
struct RunTrace {
  std::multiset<std::string> output;
  std::multiset<std::string> log;
  std::map<std::string, std::string> files;
};

std::multiset<std::string> linesOf(const std::string& text) {
  std::multiset<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.insert(text.substr(start, end - start));
  lines.insert(text.substr(start));
  return lines;
}

// The lines of `a` that `b` lacks, one a line.
std::string onlyIn(const std::multiset<std::string>& a, const std::multiset<std::string>& b) {
  std::vector<std::string> missing;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(missing));
  std::string text;
  for (const std::string& line : missing) text += line + "\n";
  return text;
}

TEST_F(ProgramReportTest, WithoutTheOptionNothingChanges) {
  const auto traceOf = [this](const std::string& extra) {
    fs::remove_all(benchFolder());
    fs::create_directories(benchFolder());
    bench("{}");
    const ProgramRun result = run("/DOS /DBG 3" + extra, "0");
    RunTrace trace;
    trace.output = linesOf(result.output + "\nstatus " + std::to_string(result.status) + "\n" + result.errors);
    trace.log = linesOf(result.log);
    // The main task lowers the reset tier when its poll sees the hubs below
    // done, or not at all when they all end between two polls: that line
    // follows the threads' timing, not the option.
    std::erase_if(trace.log,
                  [](const std::string& line) { return line.find("m_MaxHubDepth decrese") != std::string::npos; });
    for (const fs::path& folder : {benchFolder(), programFolder()})
      for (const std::string& file : filesBelow(folder)) trace.files[(folder / file).string()] = readText(folder / file);
    return trace;
  };
  fs::create_directories(reportFile().parent_path());
  const RunTrace plain = traceOf("");
  const RunTrace reported = traceOf(" /REPORT " + reportFile().string());
  EXPECT_TRUE(fs::exists(reportFile()));
  EXPECT_EQ(onlyIn(plain.output, reported.output), "");
  EXPECT_EQ(onlyIn(reported.output, plain.output), "");
  EXPECT_EQ(onlyIn(plain.log, reported.log), "");
  EXPECT_EQ(onlyIn(reported.log, plain.log), "");
  EXPECT_EQ(plain.files, reported.files);
}

TEST_F(ProgramReportTest, AReportThatCannotBeWrittenKeepsTheRunsCode) {
  bench("{}");
  // A folder that does not exist.
  const ProgramRun result = run("/DOS /REPORT " + (root_.path() / "missing" / "report.json").string(), "0");
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.errors.find("[Error] The run report could not be written["), std::string::npos) << result.errors;
}

TEST_F(ProgramReportTest, ConsoleAloneIsAHelpRun) {
  bench("{}");
  fs::create_directories(reportFile().parent_path());
  // The option does not count as an argument: "/DOS" alone asks for help.
  const ProgramRun result = run("/DOS /REPORT " + reportFile().string(), "0");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(schemaErrors(), "");
  const json report = json::parse(readText(reportFile()));
  EXPECT_EQ(report["mode"], "help");
  EXPECT_TRUE(report["hubs"].empty());
}

TEST_F(ProgramReportTest, TheOptionWithoutItsFileIsACommandLineError) {
  bench("{}");
  const ProgramRun result = run("/DOS /REPORT", "0");
  EXPECT_EQ(result.status, -10);
  EXPECT_NE(result.errors.find("[Error] Please Input Report File!!! "), std::string::npos) << result.errors;
  expectNothingWritten();
}

}  // namespace
}  // namespace hbx::testing
