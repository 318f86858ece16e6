#pragma once
// The description of one simulated computer (a bench): its OS identity, its
// registry and its simulated processes, read from the bench folder's
// bench.json (docs/bench.md). Sections this file does not know are kept in
// the parsed document for the parts of the simulator that read them.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/sim_registry.h"
#include "sim/sim_system.h"

namespace hbx::sim {

struct BenchProcess {
  std::uint32_t pid = 0;
  std::wstring image;     // the base name PSAPI reports ("name.exe")
  bool openable = true;   // false: a protected or 64-bit process the program cannot list
};

struct BenchRegistryValue {
  std::wstring key;   // path under HKEY_LOCAL_MACHINE
  std::wstring name;  // empty for a key without values
  std::optional<RegValue> value;
};

struct Bench {
  SimOsIdentity os;
  bool processStatusLibrary = true;
  // The registry's whole content; empty means the built-in Windows values.
  std::optional<std::vector<BenchRegistryValue>> registry;
  std::vector<BenchProcess> processes;
  nlohmann::json document = nlohmann::json::object();
};

// Either a bench or an error that names the place ("/os/wow64: ...").
struct BenchLoad {
  std::optional<Bench> bench;
  std::string error;
};

// The built-in bench: Windows 10 (GetVersionExW 6.2), WOW64, no other process.
Bench defaultBench();
// The registry values every bench starts from when it lists none.
std::vector<BenchRegistryValue> defaultRegistry();
// Parses the text of a bench.json. Nothing of a refused bench is used.
BenchLoad parseBench(std::string_view text);
// Reads <folder>/bench.json; a folder without one is the built-in bench.
BenchLoad loadBenchFolder(const std::filesystem::path& folder);

}  // namespace hbx::sim
