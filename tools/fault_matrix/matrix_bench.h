#pragma once
// The bench folders of the fault matrix: hubs of the carried image's family,
// each on its own port of one host controller, with the faults of a point;
// and what the matrix reads back from a folder after a run (the hubs' flash
// and running firmware, the host's registry and files).
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace hbx::faultmatrix {

// The version the carried image holds and the hubs' older one.
inline constexpr char kCarriedVersion[] = "25031825010c";
inline constexpr char kOldVersion[] = "250115250000";

struct BenchHub {
  std::string name;
  std::string faults;  // the hub's "faults" object as JSON text; empty: none
  std::uint32_t requestMicros = 0;  // how long each request takes; 0: the bench's default
};

struct BenchLayout {
  std::vector<BenchHub> hubs;
  bool driverInstalled = true;
  bool relink = false;        // carried settings with EnableRelinkAfterFWUpg=1 (a reset after the update)
  std::string killAtWriteTo;  // bench field killAtWriteTo; empty: none
};

// Writes <folder>/bench.json (the flash, running states and registry a
// folder already holds stay as they are).
void writeBench(const std::filesystem::path& folder, const BenchLayout& layout);

// Every hub of the folder off and on again (hubbench power-cycle).
bool powerCycle(const std::filesystem::path& folder);

// What a hub runs (12 hex digits), or "off" without power; "" when the
// folder has no such hub.
std::string runningVersion(const std::filesystem::path& folder, const std::string& hub);
// The version of valid firmware in image 0, or "invalid".
std::string image0Version(const std::filesystem::path& folder, const std::string& hub);

// The host a run may change: the registry and every file of drive C: and of
// the program's folder, by path relative to the bench folder.
using HostSnapshot = std::map<std::string, std::string>;
HostSnapshot snapshotHost(const std::filesystem::path& benchFolder, const std::filesystem::path& programFolder);
// What differs between two snapshots ("" when nothing): the first few paths.
std::string hostDifference(const HostSnapshot& before, const HostSnapshot& after);

// Lets a host start on the folder and end again without a run, so the
// registry and drive C: are as a computer that was just set up.
void setUpComputer(const std::filesystem::path& benchFolder, const std::filesystem::path& programFile);

}  // namespace hbx::faultmatrix
