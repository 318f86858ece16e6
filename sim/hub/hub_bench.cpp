#include "sim/hub/hub_bench.h"

#include <fstream>
#include <sstream>

#include "base/log/format.h"

namespace hbx::sim::hub {

namespace fs = std::filesystem;

namespace {

bool sameName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  }
  return true;
}

fs::path stateFile(const fs::path& folder, const std::string& hub) { return folder / "hubs" / (hub + ".state"); }

bool restoreState(HubChip& chip, const fs::path& file) {
  std::ifstream in(file);
  if (!in) return false;
  const nlohmann::json state = nlohmann::json::parse(in, nullptr, false);
  return !state.is_discarded() && chip.restoreRunningState(state);
}

}  // namespace

std::unique_ptr<HubBench> HubBench::create(const HubBenchConfig& config, const std::optional<fs::path>& folder,
                                           std::string& error) {
  std::unique_ptr<HubBench> bench(new HubBench());
  bench->driverInstalled_ = config.driverInstalled;
  bench->folder_ = folder;
  for (const HubConfig& hubConfig : config.hubs) {
    auto chip = std::make_unique<HubChip>(hubConfig);
    if (folder) {
      const fs::path file = *folder / "hubs" / (hubConfig.name + ".flash");
      if (!chip->flash().attachFile(file)) {
        error = "cannot write " + file.string();
        return nullptr;
      }
      // A hub keeps running what it ran at the end of the last run; one
      // without a kept state boots from what the file holds.
      if (!restoreState(*chip, stateFile(*folder, hubConfig.name))) chip->powerOn(0);
    }
    bench->hubs_.push_back(std::move(chip));
  }
  bench->keepRunningStates();
  return bench;
}

void HubBench::keepRunningStates() {
  if (!folder_) return;
  for (auto& h : hubs_) {
    const std::string text = h->runningState().dump();
    std::string& kept = keptStates_[h->config().name];
    if (text == kept) continue;
    const fs::path file = stateFile(*folder_, h->config().name);
    const fs::path temporary = file.string() + ".new";
    {
      std::ofstream out(temporary, std::ios::trunc);
      out << text << "\n";
    }
    std::error_code ec;
    fs::rename(temporary, file, ec);
    if (!ec) kept = text;
  }
}

std::vector<HubChip*> HubBench::hubs() {
  std::vector<HubChip*> out;
  for (auto& h : hubs_) out.push_back(h.get());
  return out;
}

HubChip* HubBench::hub(const std::string& name) {
  for (auto& h : hubs_) {
    if (h->config().name == name) return h.get();
  }
  return nullptr;
}

HubChip* HubBench::findObject(const std::wstring& objectName, Connection& connection) {
  for (auto& h : hubs_) {
    if (h->config().usb3 && sameName(objectName, deviceObjectNameFor(h->config().usb3->pdoName))) {
      connection = Connection::Usb3;
      return h.get();
    }
    if (h->config().usb2 && sameName(objectName, deviceObjectNameFor(h->config().usb2->pdoName))) {
      connection = Connection::Usb2;
      return h.get();
    }
  }
  return nullptr;
}

void HubBench::powerCycle(Ticks now) {
  for (auto& h : hubs_) {
    h->powerOff();
    h->powerOn(now);
  }
  keepRunningStates();
}

std::vector<TraceEntry> HubBench::trace() {
  std::lock_guard<std::mutex> lock(mutex_);
  return trace_;
}

void HubBench::clearTrace() {
  std::lock_guard<std::mutex> lock(mutex_);
  trace_.clear();
}

HubBenchLoad loadHubSection(const fs::path& folder) {
  std::ifstream in(folder / "bench.json");
  if (!in) return {defaultHubBench(), {}};
  std::stringstream text;
  text << in.rdbuf();
  const nlohmann::json document = nlohmann::json::parse(text.str(), nullptr, false);
  if (document.is_discarded() || !document.is_object()) return {std::nullopt, "bench.json: not a JSON object"};
  return parseHubSection(document.contains("hubs") ? document["hubs"] : nlohmann::json());
}

bool saveHubSection(const fs::path& folder, const HubBenchConfig& config, std::string& error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  nlohmann::json document = nlohmann::json::object();
  if (std::ifstream in(folder / "bench.json"); in) {
    std::stringstream text;
    text << in.rdbuf();
    document = nlohmann::json::parse(text.str(), nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
      error = "bench.json exists and is not a JSON object";
      return false;
    }
  }
  document["hubs"] = toJson(config);
  std::ofstream out(folder / "bench.json", std::ios::trunc);
  out << document.dump(2) << "\n";
  if (!out) {
    error = "cannot write bench.json";
    return false;
  }
  return true;
}

}  // namespace hbx::sim::hub
