// bench.json: what a bench describes, and how a wrong description is refused.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "sim/bench.h"
#include "sim/sim_host.h"
#include "sim/sim_processes.h"
#include "sim/sim_registry.h"
#include "sim/sim_system.h"
#include "tests/sim/temp_folder.h"

namespace hbx::sim {
namespace {

using namespace platform;

const char* kFullBench = R"({
  "os": {
    "version": {"major": 6, "minor": 1, "build": 7601, "platformId": 2},
    "wow64": false, "isWow64ProcessPresent": false,
    "shutdownPrivilegeGranted": false, "restartAccepted": false, "processStatusLibrary": false
  },
  "registry": {
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion": {
      "CurrentBuildNumber": {"type": "REG_SZ", "value": "7601"}
    },
    "SYSTEM\\Empty": {},
    "SYSTEM\\Class": {
      "UpperFilters": {"type": "REG_MULTI_SZ", "value": ["a", "b"]},
      "Flag": {"type": "REG_DWORD", "value": 4294967295},
      "Blob": {"type": "REG_BINARY", "value": "0aFF", "repeat": 3}
    }
  },
  "processes": [{"pid": 4, "image": "System", "openable": false}, {"pid": 900, "image": "x.exe"}],
  "laterSection": {"items": [1, 2]}
})";

TEST(BenchTest, ReadsEverySection) {
  const BenchLoad load = parseBench(kFullBench);
  ASSERT_TRUE(load.bench.has_value()) << load.error;
  const Bench& b = *load.bench;
  EXPECT_EQ(b.os.majorVersion, 6u);
  EXPECT_EQ(b.os.minorVersion, 1u);
  EXPECT_EQ(b.os.buildNumber, 7601u);
  EXPECT_FALSE(b.os.wow64());
  EXPECT_EQ(b.os.nativeMachine, platform::machine::kI386);
  EXPECT_FALSE(b.os.hasIsWow64Process);
  EXPECT_FALSE(b.os.shutdownPrivilegeGranted);
  EXPECT_FALSE(b.os.restartAccepted);
  EXPECT_FALSE(b.processStatusLibrary);
  ASSERT_EQ(b.processes.size(), 2u);
  EXPECT_EQ(b.processes[0].image, L"System");
  EXPECT_FALSE(b.processes[0].openable);
  EXPECT_TRUE(b.processes[1].openable);
  // A section the simulator does not know yet stays in the document.
  EXPECT_EQ(b.document["laterSection"]["items"].size(), 2u);
}

TEST(BenchTest, HostAppliesTheBench) {
  hbx::testing::TempFolder bench;
  bench.write("bench.json", kFullBench);
  SimHostOptions options;
  options.benchFolder = bench.path();
  SimHost host(options);
  ASSERT_EQ(host.benchError(), "");
  EXPECT_EQ(host.system().versionEx().minorVersion, 1u);
  EXPECT_FALSE(host.system().isWow64Process());
  EXPECT_FALSE(host.processes().processStatusAvailable());
  // The bench's registry replaces the built-in values.
  EXPECT_FALSE(host.registry().value(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                     L"CurrentMajorVersionNumber").has_value());
  EXPECT_EQ(host.registry().openKey(L"SYSTEM\\Empty", keyaccess::kRead).status, 0);
  const auto multi = host.registry().value(L"SYSTEM\\Class", L"UpperFilters");
  ASSERT_TRUE(multi.has_value());
  EXPECT_EQ(multi->type, regtype::kMultiSz);
  EXPECT_EQ(multi->bytes, (std::vector<std::uint8_t>{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
  EXPECT_EQ(host.registry().value(L"SYSTEM\\Class", L"Flag")->bytes,
            (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(host.registry().value(L"SYSTEM\\Class", L"Blob")->bytes,
            (std::vector<std::uint8_t>{0x0A, 0xFF, 0x0A, 0xFF, 0x0A, 0xFF}));
  EXPECT_EQ(host.benchDocument()["laterSection"]["items"][1], 2);
}

TEST(BenchTest, BuiltInBenchIsWindows10OnWow64) {
  for (bool withFolder : {false, true}) {
    hbx::testing::TempFolder bench;  // a folder without bench.json is the built-in bench
    SimHostOptions options;
    if (withFolder) options.benchFolder = bench.path();
    SimHost host(options);
    EXPECT_EQ(host.benchError(), "");
    const OsVersionInfo v = host.system().versionEx();
    EXPECT_EQ(v.majorVersion, 6u);
    EXPECT_EQ(v.minorVersion, 2u);
    EXPECT_EQ(v.platformId, kVerPlatformWin32Nt);
    EXPECT_TRUE(host.system().isWow64Process());
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    EXPECT_EQ(host.registry().value(key, L"CurrentMajorVersionNumber")->bytes,
              (std::vector<std::uint8_t>{10, 0, 0, 0}));
    EXPECT_EQ(host.registry().value(key, L"CurrentBuildNumber")->bytes, utf16leWithZero(L"19045"));
    EXPECT_EQ(host.processes().enumProcesses(1024)->size(), 1u);
    EXPECT_TRUE(host.benchDocument().is_object());
  }
}

TEST(BenchTest, RefusesAWrongDescriptionNamingThePlace) {
  struct Case {
    const char* json;
    const char* place;
  } cases[] = {
      {R"({"os": {"wow64": 1}})", "/os/wow64: expected true or false"},
      {R"({"os": {"version": {"major": -6}}})", "/os/version/major: expected an unsigned 32-bit number"},
      {R"({"os": {"version": {"major": 4294967296}}})", "/os/version/major"},
      {R"({"os": {"wow46": true}})", "/os/wow46: unknown field"},
      {R"({"os": {"machine": "ia64"}})", "/os/machine: expected \"x86\", \"x64\" or \"arm64\""},
      {R"({"os": {"program": "arm64"}})", "/os/program: expected \"x86\" or \"x64\""},
      {R"({"os": {"wow64": false, "program": "x64"}})", "/os/program: a 64-bit program does not run on 32-bit"},
      {R"({"registry": {"K": {"V": {"type": "REG_QWORD", "value": 1}}}})", "/registry/K/V/type"},
      {R"({"registry": {"K": {"V": {"type": "REG_DWORD", "value": "1"}}}})", "/registry/K/V/value"},
      {R"({"registry": {"K": {"V": {"type": "REG_SZ"}}}})", "/registry/K/V/value: missing"},
      {R"({"registry": {"K": {"V": {"type": "REG_MULTI_SZ", "value": ["a", 2]}}}})", "/registry/K/V/value/1"},
      {R"({"registry": {"K": {"V": {"type": "REG_BINARY", "value": "0g"}}}})", "/registry/K/V/value"},
      {R"({"registry": {"K": {"V": {"type": "REG_BINARY", "value": "abc"}}}})", "odd number"},
      {R"({"registry": {"K": {"V": {"type": "REG_BINARY", "value": "00", "repeat": 0}}}})", "/registry/K/V/repeat"},
      {R"({"registry": {"K": {"V": {"type": "REG_SZ", "value": "a", "repeat": 2}}}})", "/registry/K/V/repeat"},
      {R"({"registry": {"K": []}})", "/registry/K: expected an object of values"},
      {R"({"processes": [{"pid": 8, "image": "a.exe"}, {"pid": 8, "image": "b.exe"}]})", "/processes/1/pid: duplicate"},
      {R"({"processes": [{"pid": 0, "image": "a.exe"}]})", "/processes/0/pid"},
      {R"({"processes": [{"pid": 8}]})", "/processes/0/image: missing"},
      {R"({"processes": {}})", "/processes: expected an array"},
      {R"([1, 2])", "/: expected an object"},
      {R"({"os": )", "not valid JSON"},
  };
  for (const Case& c : cases) {
    const BenchLoad load = parseBench(c.json);
    EXPECT_FALSE(load.bench.has_value()) << c.json;
    EXPECT_NE(load.error.find(c.place), std::string::npos) << c.json << " gave: " << load.error;
  }
}

TEST(BenchTest, WrongHoldIsRefused) {
  for (const auto& [json, place] : {std::pair{R"({"holdAtLog": "vScanUSBPort"})", "/holdAtLog: expected"},
                                    std::pair{R"({"holdAtLog": {"text": ""}})", "/holdAtLog: expected"},
                                    std::pair{R"({"holdAtLog": {"text": "a", "releasedByStop": 1}})",
                                              "/holdAtLog/releasedByStop"},
                                    std::pair{R"({"holdAtLog": {"text": "a", "until": true}})", "/holdAtLog/until"}}) {
    hbx::testing::TempFolder bench;
    bench.write("bench.json", json);
    SimHostOptions options;
    options.benchFolder = bench.path();
    SimHost host(options);
    EXPECT_NE(host.benchError().find(place), std::string::npos) << json << " gave: " << host.benchError();
  }
}

TEST(BenchTest, RefusedBenchKeepsNothingOfItAndTheProgramDoesNotRun) {
  hbx::testing::TempFolder bench;
  bench.write("bench.json", R"({"os": {"version": {"minor": 1}}, "processes": [{"pid": "x", "image": "a"}]})");
  SimHostOptions options;
  options.benchFolder = bench.path();
  {
    SimHost host(options);
    EXPECT_NE(host.benchError().find("/processes/0/pid"), std::string::npos) << host.benchError();
    EXPECT_EQ(host.system().versionEx().minorVersion, 2u);  // the OS section was not applied
    EXPECT_FALSE(std::filesystem::exists(bench.path() / "processes"));
  }
  const std::string command = "HBX_BENCH='" + bench.path().string() + "' '" HBX_PROGRAM_PATH "' /? 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = ::pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(output.find("bench refused"), std::string::npos) << output;
  EXPECT_NE(output.find("/processes/0/pid"), std::string::npos) << output;
}

}  // namespace
}  // namespace hbx::sim
