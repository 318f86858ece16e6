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

}  // namespace

std::unique_ptr<HubBench> HubBench::create(const HubBenchConfig& config, const std::optional<fs::path>& folder,
                                           std::string& error, Start start) {
  std::unique_ptr<HubBench> bench(new HubBench());
  bench->driverInstalled_ = config.driverInstalled;
  bench->folder_ = folder;
  for (const HubConfig& hubConfig : config.hubs) {
    bench->hubs_.push_back(std::make_unique<HubChip>(hubConfig));
    if (!folder) continue;
    Kept kept;
    kept.files = std::make_unique<HubFiles>(*folder, hubConfig.name);
    kept.fresh = start == Start::Fresh;
    if (!kept.files->open()) {
      error = "cannot write " + kept.files->lockFile().string();
      return nullptr;
    }
    bench->kept_.push_back(std::move(kept));
  }
  // Every hub is read now (a hub without files gets them), so a folder that
  // cannot keep its hubs refuses the bench here.
  std::lock_guard<std::mutex> lock(bench->mutex_);
  for (std::size_t i = 0; i < bench->kept_.size(); ++i) {
    { Access access(*bench, *bench->hubs_[i]); }
    if (!fs::exists(bench->kept_[i].files->flashFile())) {
      error = "cannot write " + bench->kept_[i].files->flashFile().string();
      return nullptr;
    }
  }
  return bench;
}

HubBench::Access::Access(HubBench& bench, HubChip& chip) : bench_(bench), chip_(chip), index_(bench.kept_.size()) {
  for (std::size_t i = 0; i < bench.kept_.size(); ++i) {
    if (bench.hubs_[i].get() == &chip) index_ = i;
  }
  if (index_ == bench.kept_.size()) return;  // a bench in memory keeps nothing
  Kept& kept = bench.kept_[index_];
  kept.files->lock();
  bench.bringUpToDate(kept, chip);
}

HubBench::Access::~Access() {
  if (index_ == bench_.kept_.size()) return;
  Kept& kept = bench_.kept_[index_];
  bench_.store(kept, chip_);
  kept.files->unlock();
}

void HubBench::bringUpToDate(Kept& kept, HubChip& chip) {
  const std::uint64_t generation = kept.files->generation();
  if (kept.loaded && generation == kept.generation) return;
  const bool first = !kept.loaded;
  kept.generation = generation;
  kept.loaded = true;
  if (kept.fresh) {
    // The hub as its configuration makes it replaces what the files hold.
    kept.fresh = false;
    chip.flash().markAllChanged();
    kept.state.clear();
    return;
  }
  if (auto flash = kept.files->readFlash(SpiFlash::kSize)) {
    chip.flash().load(std::move(*flash));
    chip.flash().takeChanges();
  } else {
    chip.flash().markAllChanged();
  }
  const auto state = kept.files->readState();
  const std::string text = state ? state->dump() : std::string();
  if (!first && text == kept.state) return;  // the chip's download in progress stays
  // A hub keeps running what the last process left it running; one without
  // a kept state boots from what its flash holds.
  if (!state || !chip.restoreRunningState(*state)) chip.powerOn(0);
  kept.state = text;
}

void HubBench::store(Kept& kept, HubChip& chip) {
  const auto changes = chip.flash().takeChanges();
  const std::string state = chip.runningState().dump();
  if (!changes && state == kept.state) return;
  // The generation goes up first: files left half-way by a killed process
  // are still taken as changed by the next one.
  kept.files->setGeneration(++kept.generation);
  if (changes && !kept.files->writeFlash(chip.flash().bytes(), changes->from, changes->length)) {
    chip.flash().markAllChanged();  // tried again at the next access
  }
  if (state != kept.state && kept.files->writeState(state)) kept.state = state;
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
    Access access(*this, *h);
    h->powerOff();
    h->powerOn(now);
  }
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
