// The program's CPU cost per register request and per 64 KiB firmware
// download against the simulated hub with no simulated latency (the hub
// chip's own work and the trace are off or negligible).
#include <benchmark/benchmark.h>

#include <vector>

#include "hub/hub_utility.h"
#include "sim/hub/filter_driver.h"
#include "sim/hub/hub_bench.h"
#include "sim/sim_host.h"

namespace {

using namespace hbx;

// One hub of each family with no per-request time, behind their own driver.
sim::hub::HubBenchConfig noLatency() {
  sim::hub::HubBenchConfig config = sim::hub::oneHubPerFamilyBench();
  for (auto& hub : config.hubs) hub.requestMicros = 0;
  return config;
}

struct Bench {
  Bench()
      : host(sim::SimHostOptions{}),
        hubs(sim::hub::HubBench::create(noLatency(), std::nullopt, error)),
        io(host.clock(), *hubs),
        ports(withDriver(host.ports(), io)),
        utility(ports),
        filter(ports) {
    hubs->setTracing(false);
    handle = io.openDevice(L"\\\\.\\USBPDO_140001", 0, 0, platform::fileflag::kOverlapped).handle;
  }
  ~Bench() { io.closeHandle(handle); }
  static platform::Ports withDriver(platform::Ports p, platform::DeviceIoPort& io) {
    return platform::Ports{io, p.hubIo, p.setupApi, p.registry, p.processes, p.system, p.files, p.payloads, p.clock, p.windows, p.digest};
  }
  std::string error;
  sim::SimHost host;
  std::unique_ptr<sim::hub::HubBench> hubs;
  sim::SimDeviceIo io;
  platform::Ports ports;
  CHubUtility utility;
  CZELTFILTER0 filter;
  platform::OsHandle handle;
};

Bench& bench() {
  static Bench b;
  return b;
}

void RegisterRead(benchmark::State& state) {
  Bench& b = bench();
  std::uint8_t value[16];
  for (auto _ : state) benchmark::DoNotOptimize(b.filter.RegisterReadWriteCmd(b.handle, value, 16, 0x07F0, 0));
}
BENCHMARK(RegisterRead);

void FirmwareDownload64K(benchmark::State& state) {
  Bench& b = bench();
  std::vector<std::uint8_t> data(65536, 0x00);
  for (auto _ : state) benchmark::DoNotOptimize(b.filter.DownLoadCMD(b.handle, data.data(), 65536, 'P', 0));
  state.SetBytesProcessed(state.iterations() * 65536);
}
BENCHMARK(FirmwareDownload64K)->Unit(benchmark::kMillisecond);

}  // namespace
