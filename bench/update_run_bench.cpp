// Whole update runs of 1, 2, 4 and 8 hubs on the simulated bench with a
// device timing model (per-request latency, erase time) and the clock
// unscaled. Each run's wall time is set against its floor: the fixed waits
// and device times on the run's critical path, worked out from the same
// model. The program's overhead (wall - floor) should stay under 2% of the
// floor and its CPU time under 1% of the wall time.
#include <sys/prctl.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "../tests/update/run_fixture.h"

namespace {

using namespace hbx;
using namespace hbx::testing_run;

// The device timing model.
constexpr double kRequestMs = 0.5;  // one filter-driver request, as asked of the simulator
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

// The read-back after the writes: both tables, then the firmware area's
// length and the area itself (its length + 32 bytes made up to 32), 32 bytes
// a request.
int readBackRequests(const std::vector<std::uint8_t>& image) {
  const int length = image[256] | (image[257] << 8);
  return 2 * kTablePackets + 1 + (length + 32 + 31) / 32;
}

// One half-image erase: the command, the polls that find it busy (each a read
// and a pause), the read that finds it done and its pause.
double eraseHalfMs(double requestMs) {
  const int busyPolls =
      kEraseMs > requestMs ? static_cast<int>(std::ceil((kEraseMs - requestMs) / (requestMs + kErasePollMs))) : 0;
  return requestMs + busyPolls * (requestMs + kErasePollMs) + requestMs + kErasePollMs;
}

// The floor of a run of `hubs` hubs whose firmware download sends `packets`
// packets: every hub prepares and writes its two tables at once; the
// downloads follow one another under the download lock; the last hub pauses
// after its download; the main task sees it at its next poll and then waits
// before the end.
// After its pause the last hub reads back what it was given (`readBack`
// requests).
double workersFloorMs(int hubs, int packets, int readBack, double requestMs) {
  const double tables = 2 * (2 * eraseHalfMs(requestMs) + kTablePackets * requestMs + kAfterTableMs);
  return kSetupRequests * requestMs + tables + hubs * packets * requestMs + kAfterDownloadMs + readBack * requestMs;
}
double floorMs(double workersMs) { return std::ceil(workersMs / kTaskPollMs) * kTaskPollMs + kEndOfRunMs; }

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
// It also notes when the last worker finished, which the main task only
// sees at its next 500 ms poll.
class TimedLog : public sim::SimSystem {
 public:
  TimedLog(sim::SimHost& host, bool print)
      : sim::SimSystem(host.paths(), L"C:\\HBX\\x.exe", nullptr), print_(print) {}
  void outputDebugString(const std::wstring& text) override {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (text.find(L"Finish, bResult") != std::wstring::npos) lastWorkerMs = ms;
    if (print_) std::fprintf(stderr, "%8.1f %ls", ms, text.c_str());
  }
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::atomic<double> lastWorkerMs{0};

 private:
  bool print_;
};

// What one request really takes on this machine: the simulated driver
// completes a request by sleeping for its latency, and the sleep ends a
// little late. That lateness belongs to the simulated device, not to the
// program, so the floor uses the measured duration.
double measuredRequestMs() {
  constexpr int kSamples = 2000;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kSamples; ++i)
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int>(kRequestMs * 1000)));
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kSamples;
}

int main(int argc, char** argv) {
  const bool withLog = argc > 1 && std::string(argv[1]) == "--log";
  log::vDEBUG_SetLevel(0);
  // The simulated requests complete by sleeping; without timer slack their
  // durations stay close to the model's.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  const double requestMs = measuredRequestMs();
  std::printf("request %.3f ms asked, %.3f ms measured\n", kRequestMs, requestMs);
  // wall/floor: the whole run; workers/floor: until the last worker ends
  // (before the main task's poll rounds it up to 500 ms).
  std::printf("hubs  wall_ms  floor_ms  over_%%  workers_ms  floor_ms  over_%%  cpu_ms  cpu_%%  requests  packets\n");
  bool withinLimits = true;
  for (int hubs : {1, 2, 4, 8}) {
    RunFixture run(timedBench(hubs), {}, 1.0);
    run.host().hubBench().setTracing(false);
    run.useCarriedImage();
    TimedLog timed(run.host(), withLog);
    log::setDebugOutput(&timed);
    log::vDEBUG_SetLevel(3);
    // The download sends the staged file in 32-byte packets.
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
    const int erasePolls =
        static_cast<int>(std::lround((eraseHalfMs(requestMs) - requestMs) / (requestMs + kErasePollMs)));
    const int readBack = readBackRequests(run.carriedImage);
    const int packets =
        static_cast<int>(requests) - kSetupRequests - 2 * (2 * (1 + erasePolls) + kTablePackets) - readBack;
    const double workersFloor = workersFloorMs(hubs, packets, readBack, requestMs);
    const double workersMs = timed.lastWorkerMs.load();
    const double floor = floorMs(workersFloor);
    const double overhead = wallMs - floor;
    const double workersOverhead = workersMs - workersFloor;
    std::printf("%4d  %7.0f  %8.0f  %6.2f  %10.0f  %10.0f  %8.2f  %6.1f  %5.2f  %8u  %7d%s\n", hubs, wallMs, floor,
                100 * overhead / floor, workersMs, workersFloor, 100 * workersOverhead / workersFloor, cpuMs,
                100 * cpuMs / wallMs, requests, packets, run.exitCode() == 0 ? "" : "  RUN FAILED");
    withinLimits = withinLimits && run.exitCode() == 0 && overhead < 0.02 * floor && cpuMs < 0.01 * wallMs;
    log::setDebugOutput(nullptr);
  }
  std::printf(withinLimits ? "within limits\n" : "OUT OF LIMITS\n");
  return withinLimits ? 0 : 1;
}
