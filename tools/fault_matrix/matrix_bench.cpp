#include "tools/fault_matrix/matrix_bench.h"

#include <fstream>
#include <iterator>
#include <memory>

#include <nlohmann/json.hpp>

#include "base/log/format.h"
#include "sim/hub/hub_bench.h"
#include "sim/sim_host.h"
#include "sim/sim_payloads.h"
#include "sim/win_paths.h"
#include "update/ini.h"

namespace hbx::faultmatrix {

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string versionText(const std::array<std::uint8_t, 6>& version) {
  std::string text;
  for (std::uint8_t b : version) text += nformat("%02x", b);
  return text;
}

// The carried settings file with the reset after the update turned on.
std::string relinkSettings() {
  sim::SimPayloads payloads;
  const auto carried = payloads.payload(Ini::kResourceType, Ini::kResourceId);
  std::string text = carried ? std::string(carried->begin(), carried->end()) : std::string();
  const std::string key = "EnableRelinkAfterFWUpg=";
  const std::size_t at = text.find(key);
  if (at != std::string::npos) text.replace(at + key.size(), 1, "1");
  return text;
}

std::unique_ptr<sim::hub::HubBench> openHubs(const fs::path& folder) {
  const sim::hub::HubBenchLoad load = sim::hub::loadHubSection(folder);
  std::string error;
  return load.bench ? sim::hub::HubBench::create(*load.bench, folder, error) : nullptr;
}

void addFiles(const fs::path& root, const fs::path& below, HostSnapshot& snapshot) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(below, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = fs::relative(it->path(), root).string();
    snapshot[name] = it->is_regular_file() ? readFile(it->path()) : std::string("<folder>");
  }
}

// The registry as its values: a key without values, and an empty list of
// strings (what removing the last name of a list leaves, as on Windows),
// count as absent.
std::string registryValues(const fs::path& file) {
  const nlohmann::json registry = nlohmann::json::parse(readFile(file), nullptr, false);
  if (!registry.is_object()) return "unreadable";
  nlohmann::json values = nlohmann::json::object();
  for (const auto& [key, keyValues] : registry.items()) {
    for (const auto& [name, value] : keyValues.items()) {
      if (value.value("type", 0) == 7 && value.value("data", "") == "0000") continue;  // REG_MULTI_SZ, no string
      values[key + "\\" + name] = value;
    }
  }
  return values.dump(1);
}

}  // namespace

void writeBench(const fs::path& folder, const BenchLayout& layout) {
  using nlohmann::json;
  json devices = json::array();
  json ports = json::array();
  int pdo = 20;
  for (std::size_t p = 0; p < layout.hubs.size(); ++p) {
    const BenchHub& hub = layout.hubs[p];
    json h = {{"name", hub.name},
              {"family", "HBX773x"},
              {"firmwareVersion", kOldVersion},
              // Without valid firmware the hub runs its ROM code, which
              // reports the chip type in version byte 3.
              {"romVersion", "000000200000"},
              {"serial", "SN-" + hub.name},
              {"usb3", {{"pid", "0632"}, {"pdo", "\\Device\\USBPDO-" + std::to_string(pdo)}}},
              {"usb2", {{"pid", "0622"}, {"bcdUSB", "0210"}, {"pdo", "\\Device\\USBPDO-" + std::to_string(pdo + 1)}}}};
    if (!hub.faults.empty()) h["faults"] = json::parse(hub.faults);
    if (hub.requestMicros != 0) h["requestMicros"] = hub.requestMicros;
    devices.push_back(h);
    pdo += 2;
    // On the root hub the USB 2.0 functions sit on ports 11 and up.
    ports.push_back({{"port", p + 1}, {"chip", hub.name}, {"side", "usb3"}, {"devices", json::array()}});
    ports.push_back({{"port", p + 11}, {"chip", hub.name}, {"side", "usb2"}, {"devices", json::array()}});
  }
  json bench = {{"hubs", {{"driverInstalled", layout.driverInstalled}, {"devices", devices}}},
                {"usb", {{"controllers", json::array({{{"path", "\\\\?\\PCI#VEN_3A7F&DEV_7630#4&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}"},
                                                        {"description", "Corvane Host"},
                                                        {"ports", 20},
                                                        {"devices", ports}}})}}}};
  if (layout.relink) {
    bench["carried"] = json::array({{{"type", "INI"}, {"id", Ini::kResourceId}, {"text", relinkSettings()}}});
  }
  if (!layout.killAtWriteTo.empty()) bench["killAtWriteTo"] = layout.killAtWriteTo;
  fs::create_directories(folder);
  std::ofstream(folder / "bench.json", std::ios::binary | std::ios::trunc) << bench.dump(2);
}

bool powerCycle(const fs::path& folder) {
  const auto hubs = openHubs(folder);
  if (!hubs) return false;
  std::lock_guard<std::mutex> lock(hubs->mutex());
  // Opening the bench finds the hubs as the last run left them; the power
  // cycle boots each from its flash and keeps that state.
  hubs->powerCycle(0);
  return true;
}

std::string runningVersion(const fs::path& folder, const std::string& hub) {
  const auto hubs = openHubs(folder);
  sim::hub::HubChip* chip = hubs ? hubs->hub(hub) : nullptr;
  if (chip == nullptr) return "";
  return chip->powered() ? versionText(chip->runningVersion()) : "off";
}

std::string image0Version(const fs::path& folder, const std::string& hub) {
  const auto hubs = openHubs(folder);
  sim::hub::HubChip* chip = hubs ? hubs->hub(hub) : nullptr;
  if (chip == nullptr) return "";
  const auto version = sim::hub::HubChip::validFirmware(chip->flash().image(0), chip->config().chipType());
  return version ? versionText(*version) : "invalid";
}

HostSnapshot snapshotHost(const fs::path& benchFolder, const fs::path& programFolder) {
  HostSnapshot snapshot;
  snapshot["registry.json"] = registryValues(benchFolder / "registry.json");
  addFiles(benchFolder, benchFolder / "drive_c", snapshot);
  addFiles(programFolder.parent_path(), programFolder, snapshot);
  return snapshot;
}

std::string hostDifference(const HostSnapshot& before, const HostSnapshot& after) {
  std::string differences;
  int shown = 0;
  const auto note = [&](const std::string& what) {
    if (shown++ < 4) differences += (differences.empty() ? "" : ", ") + what;
  };
  for (const auto& [path, content] : before) {
    const auto found = after.find(path);
    if (found == after.end()) note("gone: " + path);
    else if (found->second != content) note("changed: " + path);
  }
  for (const auto& [path, content] : after) {
    if (!before.count(path)) note("left: " + path);
  }
  return differences;
}

void setUpComputer(const fs::path& benchFolder, const fs::path& programFile) {
  sim::SimHostOptions options;
  options.benchFolder = benchFolder;
  options.timeScale = 0;
  options.moduleFileName = sim::WinPaths::fromHost(programFile.string() + ".exe");
  options.standardOutput = [](const std::string&) {};
  options.standardError = [](const std::string&) {};
  sim::SimHost host(options);
}

}  // namespace hbx::faultmatrix
