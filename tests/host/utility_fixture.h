#pragma once
// A utility object on a simulated bench in a private folder, with the debug
// log and standard output captured.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "base/log/debug_log.h"
#include "hub/hub_utility.h"
#include "sim/sim_clock.h"
#include "sim/sim_host.h"
#include "sim/sim_system.h"
#include "sim/sim_windows.h"
#include "tests/sim/family_bench.h"
#include "tests/sim/temp_folder.h"

namespace hbx::testing {

class UtilityTest : public ::testing::Test {
 protected:
  void TearDown() override {
    log::setDebugOutput(nullptr);
    log::vDEBUG_SetLevel(0);
  }

  // Makes the host (with `benchJson` as its bench.json when given; the first
  // start without one has the bench of every family with the driver
  // installed) and the utility object on it. The log is on at the message level.
  CHubUtility& start(const char* benchJson = nullptr,
                     const wchar_t* module = L"C:\\HBX\\8634FWUpgradeTool.exe") {
    utility.reset();  // before the host it runs on
    host.reset();
    sim::forgetRunningState(bench.path());  // a freshly set-up computer each time
    if (benchJson) bench.write("bench.json", benchJson);
    else if (!std::filesystem::exists(bench.path() / "bench.json")) bench.write("bench.json", familyBenchJson());
    sim::SimHostOptions options;
    options.benchFolder = bench.path();
    options.moduleFileName = module;
    options.timeScale = 0.001;
    options.debugLogFile = bench.path() / "debug.log";
    options.standardOutput = [this](const std::string& text) {
      std::lock_guard<std::mutex> lock(outputMutex);
      output += text;
    };
    options.standardError = [this](const std::string& text) {
      std::lock_guard<std::mutex> lock(outputMutex);
      errors += text;
    };
    host = std::make_unique<sim::SimHost>(options);
    EXPECT_EQ(host->benchError(), "");
    log::setDebugOutput(&host->system());
    log::vDEBUG_SetLevel(3);
    utility = std::make_unique<CHubUtility>(host->ports());
    return *utility;
  }

  std::string debugLog() const { return readText(bench.path() / "debug.log"); }
  std::string standardOutput() {
    std::lock_guard<std::mutex> lock(outputMutex);
    return output;
  }
  std::string standardError() {
    std::lock_guard<std::mutex> lock(outputMutex);
    return errors;
  }

  TempFolder bench;
  std::unique_ptr<sim::SimHost> host;
  std::unique_ptr<CHubUtility> utility;
  std::mutex outputMutex;
  std::string output;
  std::string errors;
};

}  // namespace hbx::testing
