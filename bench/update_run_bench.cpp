// Whole update runs of 1, 2, 4 and 8 hubs on the simulated bench with a
// device timing model (per-request latency, erase time) and the clock
// unscaled. Each run's wall time is set against its floor: the fixed waits
// and device times on the run's critical path, worked out from the same
// model. The program's overhead (wall - floor) should stay under 2% of the
// floor and its CPU time under 1% of the wall time.
#include <sys/prctl.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "../tests/update/run_fixture.h"

namespace {

using namespace hbx;
using namespace hbx::testing_run;

// The device timing model.
constexpr double kRequestMs = 0.5;  // one filter-driver request
constexpr double kEraseMs = 250;    // one half image
// The program's fixed waits on the path of an update without reset.
constexpr double kErasePollMs = 100;     // erase status polls
constexpr double kAfterTableMs = 500;     // pause after each table write
constexpr double kAfterDownloadMs = 800;  // pause after each firmware download
constexpr double kTaskPollMs = 500;       // the main task's wait loop
constexpr double kEndOfRunMs = 500;       // before OK is enabled
// Requests of one hub outside erases and downloads: six registers read and
// written, the chip revision.
constexpr int kSetupRequests = 13;
constexpr int kTablePackets = 256 / 32;

// One half-image erase: the command, the polls that find it busy (each a read
// and a pause), the read that finds it done and its pause.
double eraseHalfMs() {
  const int busyPolls = kEraseMs > kRequestMs ? static_cast<int>(std::ceil((kEraseMs - kRequestMs) / (kRequestMs + kErasePollMs))) : 0;
  return kRequestMs + busyPolls * (kRequestMs + kErasePollMs) + kRequestMs + kErasePollMs;
}

// The floor of a run of `hubs` hubs whose firmware download sends `packets`
// packets: every hub prepares and writes its two tables at once; the
// downloads follow one another under the download lock; the last hub pauses
// after its download; the main task sees it at its next poll and then waits
// before the end.
double floorMs(int hubs, int packets) {
  const double tables = 2 * (2 * eraseHalfMs() + kTablePackets * kRequestMs + kAfterTableMs);
  const double workers = kSetupRequests * kRequestMs + tables + hubs * packets * kRequestMs + kAfterDownloadMs;
  return std::ceil(workers / kTaskPollMs) * kTaskPollMs + kEndOfRunMs;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

sim::hub::HubBenchConfig timedBench(int hubs) {
  std::vector<sim::hub::HubConfig> list;
  for (int k = 0; k < hubs; ++k) {
    list.push_back(targetHub(k));
    list.back().requestMicros = static_cast<std::uint32_t>(kRequestMs * 1000);
    list.back().eraseMs = static_cast<std::uint32_t>(kEraseMs);
  }
  return benchOf(list);
}

}  // namespace

// With --log, every log line of the runs goes to standard error with the
// milliseconds since its run started, to see where a run spends its time.
class TimedLog : public sim::SimSystem {
 public:
  explicit TimedLog(sim::SimHost& host) : sim::SimSystem(host.paths(), L"C:\\HBX\\x.exe", nullptr) {}
  void outputDebugString(const std::wstring& text) override {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "%8.1f %ls", ms, text.c_str());
  }
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

int main(int argc, char** argv) {
  const bool withLog = argc > 1 && std::string(argv[1]) == "--log";
  log::vDEBUG_SetLevel(0);
  // The simulated requests complete by sleeping; without timer slack their
  // durations stay close to the model's.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  std::printf("hubs  wall_ms  floor_ms  overhead_ms  overhead_%%  cpu_ms  cpu_%%  requests/hub  packets\n");
  bool withinLimits = true;
  for (int hubs : {1, 2, 4, 8}) {
    RunFixture run(timedBench(hubs), {}, 1.0);
    run.host().hubBench().setTracing(false);
    run.useCarriedImage();
    TimedLog timed(run.host());
    if (withLog) log::setDebugOutput(&timed);
    log::vDEBUG_SetLevel(withLog ? 3 : 0);
    // The download sends the staged file in 32-byte packets.
    const std::uint32_t staged = static_cast<std::uint32_t>(run.carriedImage.size() - 256);
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    timed.start = start;
    run.run();
    const double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const double cpuMs = (cpuSeconds() - cpuBefore) * 1000;
    std::uint32_t requests = 0;
    {
      std::lock_guard<std::mutex> lock(run.host().hubBench().mutex());
      requests = run.chip(0).requestCount();
    }
    // Packets actually sent: what is neither set-up, erase nor table request.
    const int erasePolls = static_cast<int>(std::lround((eraseHalfMs() - kRequestMs) / (kRequestMs + kErasePollMs)));
    const int packets = static_cast<int>(requests) - kSetupRequests - 2 * (2 * (1 + erasePolls) + kTablePackets);
    const double floor = floorMs(hubs, packets);
    const double overhead = wallMs - floor;
    std::printf("%4d  %7.0f  %8.0f  %11.1f  %9.2f  %6.1f  %5.2f  %12u  %7d (staged %u bytes)%s\n", hubs, wallMs,
                floor, overhead, 100 * overhead / floor, cpuMs, 100 * cpuMs / wallMs, requests, packets, staged,
                run.exitCode() == 0 ? "" : "  RUN FAILED");
    withinLimits = withinLimits && run.exitCode() == 0 && overhead < 0.02 * floor && cpuMs < 0.01 * wallMs;
  }
  std::printf(withinLimits ? "within limits\n" : "OUT OF LIMITS\n");
  return withinLimits ? 0 : 1;
}
