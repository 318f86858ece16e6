// What the platform answers during a scan: the hub driver's I/O control
// replies (root hub and hub names, port counts, connection information,
// device and string descriptors), device properties and interface paths, and
// the registry values read on the way, each changed as the input says, on a
// simulated computer with one hub of each family and the filter installed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include <nlohmann/json.hpp>

#include "fuzz/reply_changer.h"
#include "hub/device/zelt_hub_dev.h"
#include "hub/hub_utility.h"
#include "sim/hub/hub_config.h"
#include "sim/sim_host.h"
#include "sim/usb/sim_hub_io.h"
#include "sim/usb/sim_setup_api.h"

using namespace hbx;

#define REQUIRE(c) \
  if (!(c)) __builtin_trap()

namespace {

// The bench folder, made once. The bench keeps its registry and its hubs' states in files after every change:
// in memory (/dev/shm) that costs no disk waits.
const std::filesystem::path& benchFolder() {
  static const std::filesystem::path folder = [] {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/hbx_replies_fuzz_XXXXXX";
    const std::filesystem::path made = mkdtemp(pattern.data());
    std::ofstream(made / "bench.json") << nlohmann::json{{"hubs", sim::hub::toJson(sim::hub::oneHubPerFamilyBench())}}.dump();
    std::atexit([] { std::filesystem::remove_all(benchFolder()); });
    return made;
  }();
  return folder;
}

// The program's clock: a wait moves the time on at once, and every look at
// the counter moves it a millisecond, so a loop that polls ends too. Nothing
// sleeps: on a busy machine even a short sleep costs a time slice.
class NoWaitClock : public platform::ClockPort {
 public:
  void sleepMs(std::uint32_t ms) override { ticks_ += static_cast<std::int64_t>(ms) * 10'000; }
  std::int64_t performanceCounter() override { return ticks_ += 10'000; }
  std::int64_t performanceFrequency() override { return 10'000'000; }
  std::int64_t calendarSeconds() override { return 1'700'000'000 + ticks_ / 10'000'000; }

 private:
  std::int64_t ticks_ = 0;
};

bool terminated(const wchar_t (&field)[kNameChars]) {
  for (wchar_t c : field)
    if (c == L'\0') return true;
  return false;
}

// One computer for many inputs (starting one costs more than a scan); a fresh
// one now and then, so that what scans leave (restarted hubs, registry values
// written back) does not drift far.
sim::SimHost& host() {
  static std::unique_ptr<sim::SimHost> current;
  static int uses = 0;
  if (!current || ++uses % 200 == 0) {
    current.reset();
    sim::forgetRunningState(benchFolder());
    sim::SimHostOptions options;
    options.benchFolder = benchFolder();
    // The simulated devices' own delays, 100000 times shorter than real ones.
    options.timeScale = 0.00001;
    options.standardOutput = [](const std::string&) {};
    options.standardError = [](const std::string&) {};
    current = std::make_unique<sim::SimHost>(options);
    REQUIRE(current->benchError().empty());
  }
  return *current;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sim::SimHost& host = ::host();
  fuzz::ReplyChanger changer(data, size);
  const platform::Ports real = host.ports();
  fuzz::ChangedHubIo hubIo(real.hubIo, changer);
  fuzz::ChangedSetupApi setupApi(real.setupApi, changer);
  fuzz::ChangedRegistry registry(real.registry, changer);
  NoWaitClock clock;
  const platform::Ports changed{real.deviceIo, hubIo,        setupApi,     registry,  real.processes,
                                real.system,   real.files,   real.payloads, clock,      real.windows,
                                real.digest};
  {
    CHubUtility utility(changed);
    utility.GetOSVersion();
    utility.bIsInstallZeltFilterDriverFromRegistry();
    DeviceList list;
    const int scanned = utility.m_ZeltUSBLib.OpenDev(&list, 1);
    REQUIRE(scanned == 0 || scanned == -4);
    REQUIRE(list.DevNums >= 0 && static_cast<std::size_t>(list.DevNums) <= kMaxDevices);
    const CZeltHubDev& dev = *utility.m_ZeltUSBLib.ensureHubDev();
    REQUIRE(dev.m_DriverNum <= kMaxDriverRecords);
    for (const DriverInfo& record : dev.m_DriverInfo) {
      REQUIRE(terminated(record.DriverName) && terminated(record.DeviceObjectName) && terminated(record.VID) &&
              terminated(record.PID) && terminated(record.Speed) && terminated(record.RootHubName) &&
              terminated(record.HostControllerName));
      REQUIRE(record.ucPortChainLength <= kMaxPortChain);
    }
  }
  // Every handle and list the scan opened is closed again, whatever it was told.
  REQUIRE(host.hubIo().openHandles() == 0);
  REQUIRE(host.setupApi().openLists() == 0);
  return 0;
}
