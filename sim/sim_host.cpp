#include "sim/sim_host.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "base/log/format.h"
#include "base/text/utf.h"
#include "sim/bench.h"
#include "sim/host_faults.h"
#include "sim/last_error.h"
#include "sim/log_hold.h"
#include "sim/sim_clock.h"
#include "sim/sim_devices.h"
#include "sim/sim_files.h"
#include "sim/sim_payloads.h"
#include "sim/sim_processes.h"
#include "sim/sim_registry.h"
#include "sim/sim_system.h"
#include "sim/sim_windows.h"
#include "sim/hub/hub_bench.h"
#include "sim/setup/driver_setup.h"
#include "sim/usb/usb_host.h"
#include "sim/trace_replay.h"
#include "sim/win_paths.h"

namespace hbx::sim {

namespace fs = std::filesystem;

namespace {

std::wstring folderOf(const std::wstring& windowsPath) {
  const std::size_t cut = windowsPath.find_last_of(L'\\');
  return cut == std::wstring::npos ? windowsPath : windowsPath.substr(0, cut);
}

std::wstring baseNameOf(const std::wstring& windowsPath) {
  const std::size_t cut = windowsPath.find_last_of(L'\\');
  return cut == std::wstring::npos ? windowsPath : windowsPath.substr(cut + 1);
}

fs::path makePrivateDriveC() {
  std::string pattern = (fs::temp_directory_path() / "hbx-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return fs::temp_directory_path() / "hbx-bench";
  return pattern;
}

// The Windows folders every simulated computer has.
void createStandardFolders(const fs::path& driveC) {
  std::error_code ec;
  fs::create_directories(driveC / "Windows" / "system32" / "drivers", ec);
  fs::create_directories(driveC / "Windows" / "SysWOW64" / "drivers", ec);
  fs::create_directories(driveC / "Windows" / "Temp", ec);
}

void seedRegistry(SimRegistry& registry, const std::vector<BenchRegistryValue>& values) {
  for (const BenchRegistryValue& v : values) {
    if (v.value) registry.setRaw(v.key, v.name, *v.value);
    else registry.createKey(v.key);
  }
}

// The hubs of the bench: those of its "hubs" section, with their flash files
// in the bench folder, or the built-in hubs in memory. A "hubs" section that
// cannot be read leaves the computer without hubs.
std::unique_ptr<hub::HubBench> makeHubBench(const nlohmann::json& document,
                                            const std::optional<fs::path>& folder) {
  const hub::HubBenchLoad load = hub::parseHubSection(document.contains("hubs") ? document["hubs"] : nlohmann::json());
  std::string error = load.error;
  std::unique_ptr<hub::HubBench> bench;
  if (load.bench) bench = hub::HubBench::create(*load.bench, folder, error);
  if (!bench) {
    std::fprintf(stderr, "bench hubs: %s\n", error.c_str());
    bench = hub::HubBench::create(hub::HubBenchConfig{}, std::nullopt, error);
  }
  return bench;
}

}  // namespace

void forgetRunningState(const fs::path& benchFolder) {
  std::error_code ec;
  fs::remove(benchFolder / "registry.json", ec);
  for (const auto& entry : fs::directory_iterator(benchFolder / "hubs", ec)) {
    if (entry.path().extension() == ".state") hub::HubFiles(benchFolder, entry.path().stem().string()).forgetState();
  }
}

SimHostOptions optionsFromEnvironment(const char* argv0) {
  SimHostOptions options;
  if (const char* bench = std::getenv("HBX_BENCH"); bench && *bench) options.benchFolder = fs::path(bench);
  options.timeScale = SimClock::scaleFromText(std::getenv("HBX_TIME_SCALE"));
  if (const char* log = std::getenv("HBX_DEBUG_LOG"); log && *log) options.debugLogFile = fs::path(log);
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec && argv0) self = fs::absolute(argv0, ec);
  // Windows names a program by its file name with ".exe".
  if (!self.has_extension()) self += ".exe";
  options.moduleFileName = WinPaths::fromHost(self);
  options.terminalAttached = ::isatty(0) == 1;
  return options;
}

SimHost::SimHost(SimHostOptions options) : options_(std::move(options)) {
  // The whole bench description is read before anything uses it.
  if (options_.benchFolder) {
    BenchLoad load = loadBenchFolder(*options_.benchFolder);
    if (load.bench) bench_ = std::make_unique<Bench>(std::move(*load.bench));
    else benchError_ = load.error;
  }
  const bool benchInUse = bench_ != nullptr;
  if (!bench_) bench_ = std::make_unique<Bench>(defaultBench());
  if (!options_.standardOutput) {
    options_.standardOutput = [](const std::string& text) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fflush(stdout);
    };
  }
  if (!options_.standardError) {
    options_.standardError = [](const std::string& text) {
      std::fwrite(text.data(), 1, text.size(), stderr);
      std::fflush(stderr);
    };
  }
  if (options_.benchFolder) {
    driveC_ = *options_.benchFolder / "drive_c";
    std::error_code ec;
    fs::create_directories(driveC_, ec);
  } else {
    driveC_ = makePrivateDriveC();
    ownsDriveC_ = true;
  }
  createStandardFolders(driveC_);

  const std::wstring programFolder = folderOf(options_.moduleFileName);
  clock_ = std::make_unique<SimClock>(options_.timeScale);
  paths_ = std::make_unique<WinPaths>(driveC_, programFolder);
  if (const auto host = paths_->toHost(programFolder)) {
    std::error_code ec;
    fs::create_directories(*host, ec);
  }
  files_ = std::make_unique<SimFiles>(*paths_);
  auto out = [this](const std::string& text) { writeStandardOutput(text); };
  auto err = [this](const std::string& text) {
    std::lock_guard<std::mutex> lock(outputMutex_);
    options_.standardError(text);
  };
  system_ = std::make_unique<SimSystem>(*paths_, options_.moduleFileName, out, err);
  if (options_.debugLogFile) system_->setDebugLogFile(*options_.debugLogFile);
  system_->setIdentity(bench_->os);
  if (benchInUse) system_->setRestartLog(*options_.benchFolder / "restart-requests.log");
  SimWindows::Ask ask;
  if (options_.terminalAttached) ask = options_.askUser;
  windows_ = std::make_unique<SimWindows>(out, ask);
  payloads_ = std::make_unique<SimPayloads>();
  applyRunFaults();
  registry_ = std::make_unique<SimRegistry>();
  // A bench folder keeps its registry between runs: a saved one replaces what
  // bench.json describes, and the set-up below leaves it as the last run did.
  const fs::path registryFile = benchInUse ? *options_.benchFolder / "registry.json" : fs::path();
  const bool registryKept = benchInUse && fs::exists(registryFile) && registry_->attachFile(registryFile);
  if (!registryKept) seedRegistry(*registry_, bench_->registry ? *bench_->registry : defaultRegistry());
  std::optional<fs::path> processFolder;
  if (benchInUse) processFolder = *options_.benchFolder / "processes";
  processes_ = std::make_unique<SimProcesses>(baseNameOf(options_.moduleFileName), processFolder,
                                              bench_->processes, bench_->processStatusLibrary);
  hubBench_ = makeHubBench(bench_->document, benchInUse ? options_.benchFolder : std::nullopt);
  deviceIo_ = std::make_unique<SimDeviceIo>(*clock_, *hubBench_);
  // ---- The USB tree (sim/usb/) ----
  usb::UsbTreeLoad usb = usb::makeUsbTree(bench_->document, *hubBench_, *clock_);
  if (!usb.error.empty() && benchError_.empty()) benchError_ = usb.error;
  usbTree_ = std::move(usb.tree);
  if (!usbTree_->config().windows.empty()) {
    SimOsIdentity identity = system_->identity();
    usb::applyWindows(usbTree_->config().windows, *registry_, identity);
    system_->setIdentity(identity);
  }
  if (!registryKept) usb::writeUsbRegistry(*usbTree_, *registry_);
  processes_->setShellHandler([this](const std::wstring& file, const std::wstring& parameters) {
    return usb::runDeviceConsole(*usbTree_, *paths_, file, parameters);
  });
  // ---- The setup library and batch scripts (sim/setup/) ----
  if (registryKept) {
    // The driver is where the last run left it.
    setup::SetupHost setupHost{*paths_, *registry_, *system_, *hubBench_};
    hubBench_->setDriverInstalled(setup::filterInstalled(setupHost));
  } else {
    placeInstalledDriver();
  }
  if (benchInUse && !registryKept) registry_->attachFile(registryFile);
  processes_->setCommandHandler([this](const std::wstring& commandLine, const std::wstring& currentDirectory,
                                       std::uint32_t) {
    setup::SetupHost setupHost{*paths_, *registry_, *system_, *hubBench_, installOutcome_};
    return setup::runSetupCommand(setupHost, commandLine, currentDirectory);
  });
  hubIo_ = std::make_unique<SimHubIo>(*usbTree_);
  setupApi_ = std::make_unique<SimSetupApi>(*usbTree_);
  if (benchInUse) {
    ReplayLoad replay = loadReplay(*options_.benchFolder, bench_->document);
    if (!replay.error.empty() && benchError_.empty()) benchError_ = replay.error;
    replay_ = std::move(replay.ports);
  }
  platform::DeviceIoPort& deviceIo = replay_ ? static_cast<platform::DeviceIoPort&>(replay_->deviceIo) : *deviceIo_;
  platform::HubIoPort& hubIo = replay_ ? static_cast<platform::HubIoPort&>(replay_->hubIo) : *hubIo_;
  platform::SetupApiPort& setupApi = replay_ ? static_cast<platform::SetupApiPort&>(replay_->setupApi) : *setupApi_;
  lastErrorPorts_.reset(new LastErrorPorts{LastErrorDeviceIo(deviceIo), LastErrorHubIo(hubIo),
                                           LastErrorSetupApi(setupApi), LastErrorFiles(*files_),
                                           LastErrorProcesses(*processes_)});
}

// Top-level fields of bench.json for the runs of the fault matrix (carried
// files replaced, the settings file say, and a kill half-way through a
// write) and for runs met at a moment (a hold), and the faults of the
// computer in its "host" section.
void SimHost::applyRunFaults() {
  const nlohmann::json& document = bench_->document;
  std::string error;
  if (document.contains("killAtWriteTo")) {
    const nlohmann::json& name = document["killAtWriteTo"];
    if (name.is_string() && !name.get<std::string>().empty()) files_->killHalfWayThroughWriteTo(name.get<std::string>());
    else error = "/killAtWriteTo: expected a file name";
  }
  if (document.contains("carried")) {
    const nlohmann::json& carried = document["carried"];
    for (std::size_t i = 0; carried.is_array() && i < carried.size() && error.empty(); ++i) {
      const nlohmann::json& file = carried[i];
      if (!file.is_object() || !file.contains("type") || !file["type"].is_string() || !file.contains("id") ||
          !file["id"].is_number_unsigned() || !file.contains("text") || !file["text"].is_string()) {
        error = "/carried/" + std::to_string(i) + ": expected type, id and text";
        break;
      }
      const std::string text = file["text"].get<std::string>();
      payloads_->replace(fromUtf8(file["type"].get<std::string>()), file["id"].get<std::uint32_t>(),
                         std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    if (!carried.is_array()) error = "/carried: expected an array";
  }
  if (const std::optional<LogHoldField> hold = readLogHold(document, error)) {
    const std::optional<fs::path>& folder = options_.benchFolder;
    logHold_ = std::make_unique<LogHold>(*hold, folder ? *folder : fs::path(),
                                         [this] { return system_->interruptRequests(); });
    system_->setDebugOutputHook([this](const std::string& line) { logHold_->onLine(line); });
  }
  const HostFaultsLoad host = readHostFaults(document);
  if (error.empty()) error = host.error;
  applyFileFaults(host.faults, *files_);
  installOutcome_ = host.faults.driverInstall;
  if (!error.empty() && benchError_.empty()) benchError_ = error;
}

void SimHost::placeInstalledDriver() {
  if (!hubBench_->driverInstalled()) return;
  setup::SetupHost setupHost{*paths_, *registry_, *system_, *hubBench_};
  const bool windows64 = system_->identity().nativeMachine != platform::machine::kI386;
  setup::completeInstalledState(setupHost, payloads_->payload(L"SYS", windows64 ? 165 : 154));
}

SimHost::~SimHost() {
  files_.reset();
  if (ownsDriveC_) {
    std::error_code ec;
    fs::remove_all(driveC_, ec);
  }
}

platform::Ports SimHost::ports() {
  LastErrorPorts& p = *lastErrorPorts_;
  platform::RegistryPort& registry = replay_ ? static_cast<platform::RegistryPort&>(replay_->registry) : *registry_;
  return platform::Ports{p.deviceIo, p.hubIo,  p.setupApi, registry, p.processes,
                         *system_,   p.files,  *payloads_, *clock_,  *windows_, digest_};
}

std::string SimHost::replayVerdict() const { return replay_ ? replay_->replay.verdict() : std::string(); }

const fs::path& SimHost::driveC() const { return driveC_; }

const nlohmann::json& SimHost::benchDocument() const { return bench_->document; }

fs::path SimHost::hostPath(const std::wstring& windowsPath) const {
  return paths_->toHostNative(windowsPath).value_or(fs::path());
}

void SimHost::writeStandardOutput(const std::string& text) {
  std::lock_guard<std::mutex> lock(outputMutex_);
  options_.standardOutput(text);
}

}  // namespace hbx::sim
