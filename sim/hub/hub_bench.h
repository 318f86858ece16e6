#pragma once
// The hubs of a simulated computer and the filter driver's side of them: the
// chips, whether the filter driver is installed (device objects exist only
// then), the trace of every request, and the files each hub keeps in a bench
// folder (sim/hub/hub_files.h), which other processes on the bench share.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/hub/hub_chip.h"
#include "sim/hub/hub_config.h"
#include "sim/hub/hub_files.h"

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
  // With a folder, each hub is what its files there hold (a hub without
  // files as `config` makes it, just powered on); `Start::Fresh` replaces
  // the files with that. `error` names what failed.
  enum class Start { Kept, Fresh };
  static std::unique_ptr<HubBench> create(const HubBenchConfig& config,
                                          const std::optional<std::filesystem::path>& folder, std::string& error,
                                          Start start = Start::Kept);

  // One access to a hub's flash or running state. On a bench folder it holds
  // the hub's file lock: the chip is brought up to date with its files when
  // another process changed them, and what the access changed is stored
  // before the lock goes, so two processes on one bench never work on a
  // stale copy. The caller holds mutex().
  class Access {
   public:
    Access(HubBench& bench, HubChip& chip);
    ~Access();
    Access(const Access&) = delete;
    Access& operator=(const Access&) = delete;

   private:
    HubBench& bench_;
    HubChip& chip_;
    std::size_t index_;
  };

  std::mutex& mutex() { return mutex_; }
  bool driverInstalled() const { return driverInstalled_; }
  void setDriverInstalled(bool installed) { driverInstalled_ = installed; }

  std::vector<HubChip*> hubs();
  HubChip* hub(const std::string& name);
  // The chip and connection behind a device object name (any case).
  HubChip* findObject(const std::wstring& objectName, Connection& connection);

  // Every hub off and on again (each under its file lock); the caller holds
  // mutex().
  void powerCycle(Ticks now);

  // Tracing costs a copy of each request; a benchmark can turn it off.
  void setTracing(bool on) { tracing_ = on; }
  bool tracing() const { return tracing_; }
  void record(TraceEntry entry) { trace_.push_back(std::move(entry)); }
  std::vector<TraceEntry> trace();
  void clearTrace();

 private:
  HubBench() = default;

  // What this process knows of one hub's files.
  struct Kept {
    std::unique_ptr<HubFiles> files;
    bool loaded = false;
    bool fresh = false;           // the first access replaces the files
    std::uint64_t generation = 0;  // of the files the chip matches
    std::string state;            // the running state as the files hold it
  };
  void bringUpToDate(Kept& kept, HubChip& chip);
  void store(Kept& kept, HubChip& chip);

  std::mutex mutex_;
  std::optional<std::filesystem::path> folder_;
  std::vector<Kept> kept_;  // beside hubs_, on a bench folder
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
