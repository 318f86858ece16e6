// hubbench: the simulated hubs of a bench folder.
//   hubbench init DIR         writes the default hubs into DIR (bench.json's
//                             "hubs" section and one flash file per hub)
//   hubbench show DIR         one line per hub: name, running version and the
//                             firmware version of each image (or "invalid")
//   hubbench power-cycle DIR  powers every hub off and on again (each boots
//                             from its flash; the running state a bench
//                             keeps between runs is reset)
//   hubbench tree DIR         the USB tree of the bench: one line per host
//                             controller and per device (tier, port, ids,
//                             and for hubs of our families the hub's name)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/log/format.h"
#include "sim/hub/hub_bench.h"
#include "sim/sim_clock.h"
#include "sim/usb/usb_host.h"

namespace {

namespace fs = std::filesystem;
using namespace hbx::sim::hub;

std::string versionText(const std::array<std::uint8_t, 6>& v) {
  std::string text;
  for (std::uint8_t b : v) text += hbx::nformat("%02x", b);
  return text;
}

std::unique_ptr<HubBench> openBench(const fs::path& folder, HubBench::Start start = HubBench::Start::Kept) {
  const HubBenchLoad load = loadHubSection(folder);
  std::string error = load.error;
  std::unique_ptr<HubBench> bench;
  if (load.bench) bench = HubBench::create(*load.bench, folder, error, start);
  if (!bench) std::fprintf(stderr, "hubbench: %s\n", error.c_str());
  return bench;
}

int init(const fs::path& folder) {
  const HubBenchConfig config = defaultHubBench();
  std::string error;
  if (!saveHubSection(folder, config, error)) {
    std::fprintf(stderr, "hubbench: %s\n", error.c_str());
    return 1;
  }
  // Fresh flash files with the default images, and hubs just powered on
  // (each replaced under its lock: a program running on the bench sees the
  // old hub or the new one).
  return openBench(folder, HubBench::Start::Fresh) ? 0 : 1;
}

int show(const fs::path& folder) {
  const auto bench = openBench(folder);
  if (!bench) return 1;
  std::lock_guard<std::mutex> lock(bench->mutex());
  for (HubChip* chip : bench->hubs()) {
    // Under the hub's lock: a program running on the bench changes a hub
    // between requests, never during this read.
    HubBench::Access access(*bench, *chip);
    std::string line = chip->config().name + " running=" + versionText(chip->runningVersion());
    for (std::uint32_t image : {0u, 1u}) {
      const auto version = HubChip::validFirmware(chip->flash().image(image), chip->config().chipType());
      line += " image" + std::to_string(image) + "=" + (version ? versionText(*version) : "invalid");
    }
    if (!chip->powered()) line += " off";
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

int powerCycle(const fs::path& folder) {
  const auto bench = openBench(folder);
  if (!bench) return 1;
  // Opening the bench finds the hubs as the last run left them running; the
  // power cycle boots each from its flash and keeps that state.
  bench->powerCycle(0);
  return 0;
}

int tree(const fs::path& folder) {
  const auto bench = openBench(folder);
  if (!bench) return 1;
  nlohmann::json document = nlohmann::json::object();
  if (std::ifstream in(folder / "bench.json"); in) {
    document = nlohmann::json::parse(in, nullptr, false);
    if (document.is_discarded()) {
      std::fprintf(stderr, "hubbench: bench.json: not valid JSON\n");
      return 1;
    }
  }
  hbx::sim::SimClock clock;
  const hbx::sim::usb::UsbTreeLoad load = hbx::sim::usb::makeUsbTree(document, *bench, clock);
  if (!load.error.empty()) {
    std::fprintf(stderr, "hubbench: %s\n", load.error.c_str());
    return 1;
  }
  for (const std::string& line : load.tree->describe()) std::printf("%s\n", line.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3) {
    const std::string command = argv[1];
    const fs::path folder = argv[2];
    if (command == "init") return init(folder);
    if (command == "show") return show(folder);
    if (command == "power-cycle") return powerCycle(folder);
    if (command == "tree") return tree(folder);
  }
  std::fprintf(stderr, "usage: hubbench init|show|power-cycle|tree DIR\n");
  return 2;
}
