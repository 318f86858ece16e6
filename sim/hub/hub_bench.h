#pragma once
// The hubs of a simulated computer and the filter driver's side of them: the
// chips, whether the filter driver is installed (device objects exist only
// then), the trace of every request, and the flash files of a bench folder
// ("<folder>/hubs/<name>.flash", image 0 then image 1).
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/hub/hub_chip.h"
#include "sim/hub/hub_config.h"

namespace hbx::sim::hub {

struct TraceEntry {
  std::string hub;
  Connection connection = Connection::Usb3;
  std::uint32_t code = 0;
  std::array<std::uint32_t, 6> words{};  // the header words (zero when shorter)
  std::uint32_t inLength = 0;
  std::uint32_t payloadLength = 0;  // bytes after the 24-byte header
  std::uint32_t outLength = 0;
  std::uint32_t error = 0;  // 0: success
  std::uint32_t replyBytes = 0;
  std::vector<std::uint8_t> payload;  // the bytes after the header
};

class HubBench {
 public:
  // With a folder, each hub's flash is loaded from and written through to
  // its file there. `error` names what failed.
  static std::unique_ptr<HubBench> create(const HubBenchConfig& config,
                                          const std::optional<std::filesystem::path>& folder, std::string& error);

  std::mutex& mutex() { return mutex_; }
  bool driverInstalled() const { return driverInstalled_; }
  void setDriverInstalled(bool installed) { driverInstalled_ = installed; }

  std::vector<HubChip*> hubs();
  HubChip* hub(const std::string& name);
  // The chip and connection behind a device object name (any case).
  HubChip* findObject(const std::wstring& objectName, Connection& connection);

  void powerCycle(Ticks now);

  // A bench folder keeps each hub's running state ("hubs/<name>.state") until
  // a power cycle: what a hub was left running (and its registers) is what
  // the next program run finds. Writes the states that changed; the caller
  // holds mutex().
  void keepRunningStates();

  // Tracing costs a copy of each request; a benchmark can turn it off.
  void setTracing(bool on) { tracing_ = on; }
  bool tracing() const { return tracing_; }
  void record(TraceEntry entry) { trace_.push_back(std::move(entry)); }
  std::vector<TraceEntry> trace();
  void clearTrace();

 private:
  HubBench() = default;

  std::mutex mutex_;
  std::optional<std::filesystem::path> folder_;
  std::map<std::string, std::string> keptStates_;  // per hub, as last written
  bool driverInstalled_ = true;
  bool tracing_ = true;
  std::vector<std::unique_ptr<HubChip>> hubs_;
  std::vector<TraceEntry> trace_;
};

// The bench.json "hubs" section of a folder: parsed, or the default when the
// folder has no bench.json or no such section.
HubBenchLoad loadHubSection(const std::filesystem::path& folder);
// Writes the "hubs" section into <folder>/bench.json, keeping its other sections.
bool saveHubSection(const std::filesystem::path& folder, const HubBenchConfig& config, std::string& error);

}  // namespace hbx::sim::hub
