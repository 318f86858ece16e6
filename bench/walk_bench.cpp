// The CPU cost of the USB tree walk as the tree grows: 1 to 64 of our hubs
// behind 1 to 4 host controllers, no simulated latency, every wait scaled to
// zero (HBX_TIME_SCALE=0; the bench refuses to run with real waits). Two
// series: hubs that are listed (device object found, power setting, version
// read) and hubs that a product filter leaves out but the walk still
// descends. "per_hub" is the process CPU time of one walk divided by the
// hubs it examined, simulator included (an upper bound of the program's own).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "base/log/format.h"
#include "hub/hub_utility.h"
#include "hub/device/zelt_hub_dev.h"
#include "sim/hub/hub_bench.h"
#include "sim/sim_clock.h"
#include "sim/sim_host.h"
#include "tests/sim/temp_folder.h"

namespace {

using namespace hbx;

// Hubs are spread over the controllers; on each controller the first 16 sit
// on root ports 11-26 and the rest behind them, three on each.
std::string benchJson(int hubs, int controllers) {
  std::string chips;
  std::vector<std::vector<int>> perController(static_cast<std::size_t>(controllers));
  for (int i = 0; i < hubs; ++i) {
    chips += (i ? "," : "") + nformat(R"({"name": "h%d", "family": "HBX773x", "firmwareVersion": "250318250c01",
        "serial": "S%d", "requestMicros": 0, "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-%d"}})",
                                      i, i, 100 + i);
    perController[static_cast<std::size_t>(i % controllers)].push_back(i);
  }
  std::string tree;
  for (int c = 0; c < controllers; ++c) {
    const std::vector<int>& own = perController[static_cast<std::size_t>(c)];
    const std::size_t top = std::min<std::size_t>(own.size(), 16);
    std::string devices;
    for (std::size_t t = 0; t < top; ++t) {
      std::string below;
      for (std::size_t k = top + t, port = 1; k < own.size(); k += top, ++port) {
        below += (port > 1 ? "," : "") + nformat(R"({"port": %d, "chip": "h%d", "side": "usb3"})", static_cast<int>(port), own[k]);
      }
      devices += (t ? "," : "") + nformat(R"({"port": %d, "chip": "h%d", "side": "usb3", "devices": [%s]})",
                                          static_cast<int>(11 + t), own[t], below.c_str());
    }
    tree += (c ? "," : "") + nformat(R"({"path": "\\\\?\\PCI#VEN_8086&DEV_A36%d#3&1&%d#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
        "description": "Host %d", "ports": 30, "devices": [%s]})", c, c, c, devices.c_str());
  }
  return R"({"hubs": {"devices": [)" + chips + R"(]}, "usb": {"controllers": [)" + tree + "]}}";
}

struct WalkBench {
  WalkBench(int hubs, int controllers) {
    folder.write("bench.json", benchJson(hubs, controllers));
    sim::SimHostOptions options;
    options.benchFolder = folder.path();
    options.timeScale = sim::SimClock::scaleFromText(std::getenv("HBX_TIME_SCALE"));
    options.standardOutput = [](const std::string&) {};
    host = std::make_unique<sim::SimHost>(options);
    utility = std::make_unique<CHubUtility>(host->ports());
    host->hubBench().setTracing(false);
  }
  int walk() {
    CZeltHubDev& dev = *utility->m_ZeltUSBLib.ensureHubDev();
    dev.m_DriverNum = 0;
    utility->GetDeviceList();
    return dev.m_DriverNum;
  }
  hbx::testing::TempFolder folder;
  std::unique_ptr<sim::SimHost> host;
  std::unique_ptr<CHubUtility> utility;
};

void run(benchmark::State& state, bool listed) {
  if (sim::SimClock::scaleFromText(std::getenv("HBX_TIME_SCALE")) != 0) {
    state.SkipWithError("run with HBX_TIME_SCALE=0");
    return;
  }
  const int hubs = static_cast<int>(state.range(0));
  WalkBench bench(hubs, static_cast<int>(state.range(1)));
  // The count limit of the walk allows 15 records: the listed series stays below.
  if (!listed) bench.utility->m_strPID30_Indetify = L"ffff";
  bench.walk();  // the first walk switches the power settings off once
  int found = 0;
  for (auto _ : state) found = bench.walk();
  if (found != (listed ? hubs : 0)) state.SkipWithError("unexpected number of hubs listed");
  state.counters["per_hub"] = benchmark::Counter(static_cast<double>(state.iterations()) * hubs,
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Listed(benchmark::State& state) { run(state, true); }
void Walked(benchmark::State& state) { run(state, false); }

BENCHMARK(Listed)->ArgsProduct({{1, 2, 4, 8, 14}, {1, 4}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Walked)->ArgsProduct({{1, 4, 16, 64}, {1, 2, 4}})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace
