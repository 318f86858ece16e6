#pragma once
// Faults of the simulated Windows computer itself, from bench.json's "host"
// section (docs/bench.md): a full disk, a file another program holds, folders
// the program may not change, and a driver install that fails or waits for
// a restart.
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "sim/setup/driver_setup.h"

namespace hbx::sim {

class SimFiles;

struct HostFaults {
  std::string shortWriteTo;        // a file name; empty: none
  std::string sharingViolationOn;  // a file name; empty: none
  std::vector<std::wstring> readOnlyFolders;  // Windows paths
  setup::InstallOutcome driverInstall = setup::InstallOutcome::Installs;
};

struct HostFaultsLoad {
  HostFaults faults;
  std::string error;  // names the refused place; empty when read whole
};

// Reads the "host" section of a bench document (none: no fault).
HostFaultsLoad readHostFaults(const nlohmann::json& document);

// Puts the file faults into the computer's file system.
void applyFileFaults(const HostFaults& faults, SimFiles& files);

}  // namespace hbx::sim
