#pragma once
// The registry of a bench folder as the last run left it ("registry.json"):
// every key with its values, written through on every change, so what a run
// leaves behind (a filter in "UpperFilters", selective-suspend values that a
// killed run never restored) is what the next run finds.
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "sim/sim_registry.h"

namespace hbx::sim {

// Keys (normalised paths) with their values (names in folded case).
using RegistryKeys = std::map<std::wstring, std::map<std::wstring, RegValue>>;

// Writes the whole registry (to a temporary file, then renamed over the old).
bool saveRegistryFile(const std::filesystem::path& file, const RegistryKeys& keys);
// Empty when the file is missing or not a registry file.
std::optional<RegistryKeys> loadRegistryFile(const std::filesystem::path& file);

// Which write of the file is there now; empty when there is no file.
std::optional<RegistryFileStamp> registryFileStamp(const std::filesystem::path& file);

}  // namespace hbx::sim
