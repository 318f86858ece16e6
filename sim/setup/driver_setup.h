#pragma once
// The setup library and the command interpreter of the simulated computer,
// as far as the program starts them: "rundll32.exe setupapi,InstallHinfSection
// <section> <mode> <inf>" carries out an INF section (files copied or
// deleted, registry values added or removed, services added or deleted), and
// a batch script runs the setup-library lines it holds. Whether the filter
// driver is installed (its device objects exist) follows from the result:
// a name with "ZELTFILTER" in the USB class's "UpperFilters" and its driver
// file in the system drivers folder.
#include <optional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace hbx::sim {
class SimRegistry;
class SimSystem;
class WinPaths;
namespace hub {
class HubBench;
}
}  // namespace hbx::sim

namespace hbx::sim::setup {

// What the setup library's install does on this computer (bench.json
// "host"/"driverInstall").
enum class InstallOutcome {
  Installs,
  // The setup library refuses the package: nothing of the install section is
  // carried out (no file, no registry value, no service); rundll32 still ends
  // with 0, as it always does.
  Fails,
  // A driver file in use cannot be replaced until the computer restarts: the
  // section is carried out, but a file copied over an existing one keeps its
  // old content (the copy waits for a restart that this computer never
  // makes). New files are copied as usual.
  RestartNeeded,
};

struct SetupHost {
  WinPaths& paths;
  SimRegistry& registry;
  SimSystem& system;
  hub::HubBench& hubs;
  InstallOutcome install = InstallOutcome::Installs;
};

// CreateProcessW of `commandLine` in `currentDirectory`. Empty for a command
// this computer does not know.
std::optional<platform::ProcessLaunch> runSetupCommand(SetupHost& host, const std::wstring& commandLine,
                                                       const std::wstring& currentDirectory);

// The installed driver file: system folder\drivers\zeltufdriver.sys.
std::wstring installedDriverPath(SimSystem& system);
// True when the registry names the filter and its driver file is in place.
bool filterInstalled(SetupHost& host);
// A computer described with its filter driver installed gets what an install
// leaves: the filter in "UpperFilters" (unless the registry names filters
// already) and the driver file `driverFile` (unless one is there, of another
// version, say).
void completeInstalledState(SetupHost& host, const std::optional<std::vector<std::uint8_t>>& driverFile);

}  // namespace hbx::sim::setup
