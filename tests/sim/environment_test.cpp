// The environment of the simulated host (HBX_BENCH, HBX_TIME_SCALE,
// HBX_DEBUG_LOG), the scaled clock, the debug-output file and the recorded
// restart requests.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "base/log/format.h"
#include "sim/sim_clock.h"
#include "sim/sim_host.h"
#include "sim/sim_system.h"
#include "tests/sim/temp_folder.h"

namespace hbx::sim {
namespace {

// Sets an environment variable for the scope of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(EnvironmentTest, OptionsComeFromTheEnvironment) {
  ScopedEnv bench("HBX_BENCH", "/tmp/some-bench");
  ScopedEnv scale("HBX_TIME_SCALE", "0.001");
  ScopedEnv log("HBX_DEBUG_LOG", "/tmp/some.log");
  const SimHostOptions options = optionsFromEnvironment(nullptr);
  EXPECT_EQ(options.benchFolder, std::filesystem::path("/tmp/some-bench"));
  EXPECT_DOUBLE_EQ(options.timeScale, 0.001);
  EXPECT_EQ(options.debugLogFile, std::filesystem::path("/tmp/some.log"));
  // The program's own path, as Windows names it (with ".exe").
  EXPECT_TRUE(options.moduleFileName.starts_with(L"Z:\\")) << toUtf8(options.moduleFileName);
  EXPECT_TRUE(options.moduleFileName.ends_with(L".exe"));
}

TEST(EnvironmentTest, UnsetOrBadValuesGiveTheDefaults) {
  ScopedEnv bench("HBX_BENCH", "");
  ScopedEnv log("HBX_DEBUG_LOG", nullptr);
  const SimHostOptions options = optionsFromEnvironment(nullptr);
  EXPECT_FALSE(options.benchFolder.has_value());
  EXPECT_FALSE(options.debugLogFile.has_value());
  for (const char* text : {static_cast<const char*>(nullptr), "", "abc", "-1", "0.5x", "1e9"}) {
    EXPECT_DOUBLE_EQ(SimClock::scaleFromText(text), 1.0) << (text ? text : "(unset)");
  }
  EXPECT_DOUBLE_EQ(SimClock::scaleFromText("2.5"), 2.5);
  EXPECT_DOUBLE_EQ(SimClock::scaleFromText("0"), 0.0);
}

TEST(EnvironmentTest, ScaleZeroSkipsEveryWaitButVirtualTimeStillPasses) {
  SimClock clock(0);
  const auto before = std::chrono::steady_clock::now();
  clock.sleepMs(60'000);
  clock.sleepMs(5'000);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
  EXPECT_GE(clock.virtualMs(), 65'000);
  EXPECT_LT(clock.virtualMs(), 66'000);
}

TEST(EnvironmentTest, ScaledClockMeasuresVirtualTime) {
  SimClock clock(0.001);
  const auto realStart = std::chrono::steady_clock::now();
  const std::int64_t virtualStart = clock.virtualMs();
  clock.sleepMs(5000);
  const auto realMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - realStart).count();
  EXPECT_LT(realMs, 1000);
  EXPECT_GE(clock.virtualMs() - virtualStart, 5000);
  EXPECT_EQ(clock.performanceFrequency(), 10'000'000);
}

TEST(EnvironmentTest, DebugOutputGoesVerbatimToTheLogFile) {
  hbx::testing::TempFolder folder;
  const auto file = folder.path() / "debug.log";
  {
    SimHostOptions options;
    options.debugLogFile = file;
    SimHost host(options);
    host.system().outputDebugString(L"\r\nERR::a:1: x");
    host.system().outputDebugString(L"\r\nMSG::Hub \u00e9\u4e2d");
  }
  EXPECT_EQ(hbx::testing::readText(file), "\r\nERR::a:1: x\r\nMSG::Hub \xc3\xa9\xe4\xb8\xad");
  // Without a file the channel goes nowhere, as on Windows without a debugger.
  SimHost quiet{SimHostOptions{}};
  quiet.system().outputDebugString(L"lost");
}

TEST(EnvironmentTest, RestartRequestsAreRecordedNeverCarriedOut) {
  hbx::testing::TempFolder bench;
  SimHostOptions options;
  options.benchFolder = bench.path();
  SimHost host(options);
  EXPECT_TRUE(host.system().exitWindows(6, 0));
  EXPECT_TRUE(host.system().exitWindows(6, 0));
  EXPECT_EQ(host.system().restartRequests(), 2);
  EXPECT_EQ(hbx::testing::readText(bench.path() / "restart-requests.log"),
            "ExitWindowsEx flags=0x6 reason=0x0 accepted=1\nExitWindowsEx flags=0x6 reason=0x0 accepted=1\n");
}

}  // namespace
}  // namespace hbx::sim
