#pragma once
// The utility object on a simulated computer with a USB tree (the built-in
// one, or the "usb" section of a bench.json), a clock that records every wait
// the program asks for and counts only those in its performance counter, and
// the debug log captured.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <filesystem>
#include <string>
#include <vector>

#include "base/log/debug_log.h"
#include "hub/hub_utility.h"
#include "sim/sim_clock.h"
#include "sim/sim_devices.h"
#include "sim/sim_host.h"
#include "sim/sim_registry.h"
#include "sim/sim_system.h"
#include "sim/usb/usb_tree.h"
#include "tests/sim/family_bench.h"
#include "tests/sim/temp_folder.h"

namespace hbx::testing {

class RecordingClock : public platform::ClockPort {
 public:
  explicit RecordingClock(sim::SimClock& real) : real_(real) {}
  void sleepMs(std::uint32_t ms) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      sleeps_.push_back(ms);
      ticks_ += static_cast<std::int64_t>(ms) * 10'000;
    }
    real_.sleepMs(ms);  // the simulated devices see the time pass
  }
  std::int64_t performanceCounter() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return ticks_;
  }
  std::int64_t performanceFrequency() override { return 10'000'000; }
  std::int64_t calendarSeconds() override { return real_.calendarSeconds(); }

  std::vector<std::uint32_t> takeSleeps() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::uint32_t> out;
    out.swap(sleeps_);
    return out;
  }

 private:
  sim::SimClock& real_;
  std::mutex mutex_;
  std::vector<std::uint32_t> sleeps_;
  std::int64_t ticks_ = 0;
};

class DiscoveryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (host) {
      EXPECT_EQ(host->hubIo().openHandles(), 0u) << "a hub handle was left open";
      EXPECT_EQ(host->setupApi().openLists(), 0u) << "a device information list was left open";
    }
    log::setDebugOutput(nullptr);
    log::vDEBUG_SetLevel(0);
  }

  // Starts the computer afresh (the utility object goes before the host it runs
  // on). Its hubs are one of each family with the driver installed, unless
  // `benchJson` has a "hubs" section of its own.
  CHubUtility& start(const std::string& benchJson = "") {
    utility.reset();
    ports.reset();
    clock.reset();
    log::setDebugOutput(nullptr);
    host.reset();
    sim::forgetRunningState(folder.path());
    if (!benchJson.empty()) folder.write("bench.json", withFamilyHubs(benchJson));
    else if (!std::filesystem::exists(folder.path() / "bench.json")) folder.write("bench.json", familyBenchJson());
    sim::SimHostOptions options;
    options.benchFolder = folder.path();
    options.timeScale = 0;  // virtual time: a busy machine cannot bring a hub back early
    options.debugLogFile = folder.path() / "debug.log";
    options.standardOutput = [](const std::string&) {};
    host = std::make_unique<sim::SimHost>(options);
    EXPECT_EQ(host->benchError(), "");
    clock = std::make_unique<RecordingClock>(host->clock());
    const platform::Ports p = host->ports();
    ports = std::make_unique<platform::Ports>(platform::Ports{p.deviceIo, p.hubIo, p.setupApi, p.registry, p.processes,
                                                              p.system, p.files, p.payloads, *clock, p.windows, p.digest});
    log::setDebugOutput(&host->system());
    log::vDEBUG_SetLevel(3);
    utility = std::make_unique<CHubUtility>(*ports);
    clock->takeSleeps();
    return *utility;
  }

  sim::usb::UsbTree& tree() { return host->usbTree(); }
  std::string debugLog() const { return readText(folder.path() / "debug.log"); }

  // The node of a hub chip function placed by the tree.
  std::uint32_t function(const char* chip, bool usb3 = true) {
    const int id = tree().findChipFunction(chip, usb3 ? sim::hub::Connection::Usb3 : sim::hub::Connection::Usb2);
    EXPECT_GE(id, 0) << chip;
    return static_cast<std::uint32_t>(id);
  }

  // Opens a hub the way the program does (write access, write sharing).
  platform::OsHandle openHub(const std::wstring& path) {
    const auto opened = ports->hubIo.openHub(path, platform::access::kGenericWrite, platform::share::kWrite);
    EXPECT_NE(opened.handle, platform::kInvalidHandle) << toUtf8(path);
    return opened.handle;
  }
  // The root hub of a controller, through its root hub name.
  platform::OsHandle openRootHub(std::size_t controller = 0) {
    std::wstring path;
    {
      std::lock_guard<std::mutex> lock(tree().mutex());
      path = tree().controllersLocked()[controller].config.path;
    }
    const platform::OsHandle hc = openHub(path);
    EXPECT_TRUE(utility->GetRootHubName(hc));
    ports->hubIo.closeHub(hc);
    return openHub(L"\\\\.\\" + utility->m_strRootHubName);
  }

  TempFolder folder;
  std::unique_ptr<sim::SimHost> host;
  std::unique_ptr<RecordingClock> clock;
  std::unique_ptr<platform::Ports> ports;
  std::unique_ptr<CHubUtility> utility;
};

}  // namespace hbx::testing
