#pragma once
// A bench folder that holds a recorded trace (trace.jsonl, or the file its
// bench.json names in "trace") is replayed: the hubs, the filter driver,
// SetupAPI and the registry answer from the recording (docs/trace.md).
#include <filesystem>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "trace/replay_ports.h"

namespace hbx::sim {

struct ReplayLoad {
  std::unique_ptr<trace::ReplayPorts> ports;  // none: the folder holds no trace
  std::string error;                          // why a trace was refused
};

ReplayLoad loadReplay(const std::filesystem::path& benchFolder, const nlohmann::json& benchDocument);

}  // namespace hbx::sim
