#pragma once
// The simulated Windows host: one simulated computer (a bench) with its
// registry, OS identity, processes, file system, clock and output channels.
// It implements every port, so the program runs on it unchanged.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/ports.h"
#include "sim/sim_digest.h"
#include "sim/setup/driver_setup.h"

namespace hbx::trace {
struct ReplayPorts;
}

namespace hbx::sim {

class SimClock;
class WinPaths;
class SimFiles;
class LogHold;
class SimSystem;
class SimWindows;
class SimPayloads;
class SimRegistry;
class SimProcesses;
class SimDeviceIo;
class SimHubIo;
class SimSetupApi;
struct LastErrorPorts;
namespace hub {
class HubBench;  // the simulated hubs (sim/hub/)
}
namespace usb {
class UsbTree;  // the simulated USB tree (sim/usb/)
}
struct Bench;

struct SimHostOptions {
  // The bench folder (HBX_BENCH); empty: the built-in bench, in memory, with
  // drive C: in a private temporary folder removed with the host. A bench
  // folder holds bench.json (docs/bench.md), drive_c/, processes/ and
  // restart-requests.log.
  std::optional<std::filesystem::path> benchFolder;
  double timeScale = 1.0;                                 // HBX_TIME_SCALE
  std::optional<std::filesystem::path> debugLogFile;      // HBX_DEBUG_LOG
  // The program's own path as a Windows path (GetModuleFileNameW).
  std::wstring moduleFileName = L"C:\\HBX\\8634FWUpgradeTool.exe";
  // Message boxes ask on the terminal only when one is attached.
  bool terminalAttached = false;
  // Receives standard output (message boxes, console lines). Unset: stdout.
  std::function<void(const std::string&)> standardOutput;
  // Receives standard error. Unset: stderr.
  std::function<void(const std::string&)> standardError;
  // Answers a message box when a terminal is attached. Unset: the default.
  std::function<int(const std::wstring& caption, const std::wstring& text, std::uint32_t flags)>
      askUser;
};

// Forgets what runs left on a bench folder beyond its flash and drive C:
// the kept registry (registry.json) and the hubs' running states
// (hubs/<name>.state), so the next host starts from bench.json as a freshly
// set-up computer whose hubs have just been powered on.
void forgetRunningState(const std::filesystem::path& benchFolder);

// Reads HBX_BENCH, HBX_TIME_SCALE and HBX_DEBUG_LOG, and the program's path
// from the running executable.
SimHostOptions optionsFromEnvironment(const char* argv0);

class SimHost {
 public:
  explicit SimHost(SimHostOptions options);
  ~SimHost();
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  platform::Ports ports();

  SimClock& clock() { return *clock_; }
  WinPaths& paths() { return *paths_; }
  SimSystem& system() { return *system_; }
  SimWindows& windows() { return *windows_; }
  SimPayloads& payloads() { return *payloads_; }
  SimRegistry& registry() { return *registry_; }
  SimProcesses& processes() { return *processes_; }
  SimFiles& files() { return *files_; }
  // The simulated hubs and their filter driver.
  hub::HubBench& hubBench() { return *hubBench_; }
  SimDeviceIo& deviceIo() { return *deviceIo_; }
  // The USB tree, its hub driver and SetupAPI (sim/usb/).
  usb::UsbTree& usbTree() { return *usbTree_; }
  SimHubIo& hubIo() { return *hubIo_; }
  SimSetupApi& setupApi() { return *setupApi_; }

  // The host folder of drive C:.
  const std::filesystem::path& driveC() const;
  // The host path of a Windows path (for tests and tools).
  std::filesystem::path hostPath(const std::wstring& windowsPath) const;

  void writeStandardOutput(const std::string& text);

  // Empty when the bench was read whole; otherwise why bench.json was
  // refused (naming the place). A refused bench leaves the host on the
  // built-in bench, and the program must not run on it.
  const std::string& benchError() const { return benchError_; }
  // The parsed bench.json, every section included (an empty object for the
  // built-in bench), for the parts of the simulator that read their own.
  const nlohmann::json& benchDocument() const;
  const std::optional<std::filesystem::path>& benchFolder() const { return options_.benchFolder; }

  // A bench folder with a recorded trace replays it (docs/trace.md): true
  // while this host answers from one.
  bool replaying() const { return replay_ != nullptr; }
  // Empty while the replay holds; else the call that broke it and where the
  // trace stood. Once the run has ended, also a trace not replayed whole.
  std::string replayVerdict() const;

 private:
  void applyRunFaults();
  // The filter's registry entry and driver file on a bench whose filter
  // driver is installed (sim/setup/).
  void placeInstalledDriver();

  SimHostOptions options_;
  std::filesystem::path driveC_;
  bool ownsDriveC_ = false;
  std::string benchError_;
  std::unique_ptr<Bench> bench_;
  std::mutex outputMutex_;
  std::unique_ptr<SimClock> clock_;
  std::unique_ptr<WinPaths> paths_;
  std::unique_ptr<SimFiles> files_;
  std::unique_ptr<LogHold> logHold_;  // before system_, which calls it
  std::unique_ptr<SimSystem> system_;
  std::unique_ptr<SimWindows> windows_;
  SimDigest digest_;
  std::unique_ptr<SimPayloads> payloads_;
  std::unique_ptr<SimRegistry> registry_;
  std::unique_ptr<SimProcesses> processes_;
  std::unique_ptr<hub::HubBench> hubBench_;  // before deviceIo_, which uses it
  std::unique_ptr<SimDeviceIo> deviceIo_;
  std::unique_ptr<usb::UsbTree> usbTree_;  // before hubIo_ and setupApi_, which use it
  std::unique_ptr<SimHubIo> hubIo_;
  std::unique_ptr<SimSetupApi> setupApi_;
  // The recording that answers for the four ports above and the registry.
  std::unique_ptr<trace::ReplayPorts> replay_;
  // What ports() hands out for the five above that report errors in their
  // results: a failed call also becomes the thread's last error.
  std::unique_ptr<LastErrorPorts> lastErrorPorts_;
  // What the setup library's install does (bench.json "host").
  setup::InstallOutcome installOutcome_ = setup::InstallOutcome::Installs;
};

}  // namespace hbx::sim
