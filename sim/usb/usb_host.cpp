#include "sim/usb/usb_host.h"

#include <cwctype>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "base/log/format.h"
#include "sim/sim_registry.h"
#include "sim/sim_system.h"
#include "sim/win_paths.h"

namespace hbx::sim::usb {

namespace {

constexpr const wchar_t* kEnumRoot = L"SYSTEM\\CurrentControlSet\\Enum\\";
constexpr const wchar_t* kCurrentVersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

bool isWhite(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

UsbTreeLoad makeUsbTree(const nlohmann::json& document, hub::HubBench& hubs, SimClock& clock) {
  const nlohmann::json section = document.is_object() && document.contains("usb") ? document["usb"] : nlohmann::json();
  UsbLoad load = parseUsbSection(section, hubs);
  UsbTreeLoad out;
  out.error = load.error;
  out.tree = std::make_unique<UsbTree>(load.config ? *load.config : UsbConfig{}, hubs, clock);
  return out;
}

std::vector<SuspendKey> suspendKeys(UsbTree& tree, const TreeNode& node) {
  DeviceIds ids;
  {
    std::lock_guard<std::mutex> lock(tree.mutex());
    ids = tree.idsLocked(node);
  }
  const std::wstring device = wformat(L"VID_%04X&PID_%04X\\%s\\Device Parameters", ids.vid, ids.pid, node.instance);
  std::vector<std::wstring> enumerators{tree.enumerator(node)};
  // AMD's driver lists a hub under either enumerator.
  if (enumerators.front() == L"AMDUSB30") enumerators.push_back(L"USB");
  std::vector<SuspendKey> keys;
  for (const std::wstring& e : enumerators) {
    const std::wstring parameters = kEnumRoot + e + L"\\" + device;
    keys.push_back({parameters, L"EnableSelectiveSuspend"});
    keys.push_back({parameters + L"\\WDF", L"IdleInWorkingState"});
  }
  keys.push_back({std::wstring(L"SYSTEM\\CurrentControlSet\\Control\\Class\\") + tree.driverKey(node),
                  L"SelectiveSuspendEnabled"});
  return keys;
}

void writeUsbRegistry(UsbTree& tree, SimRegistry& registry) {
  registry.createKey(kUsbClassKey);
  if (tree.config().upperFilters) {
    registry.setMultiString(kUsbClassKey, L"UpperFilters", *tree.config().upperFilters);
  }
  std::vector<TreeNode> hubsInTree;
  {
    std::lock_guard<std::mutex> lock(tree.mutex());
    for (const TreeNode& node : tree.nodesLocked()) {
      if (node.config.hub) hubsInTree.push_back(node);
    }
  }
  for (const TreeNode& node : hubsInTree) {
    for (const SuspendKey& k : suspendKeys(tree, node)) {
      registry.createKey(k.key);
      if (node.config.selectiveSuspend) registry.setDword(k.key, k.value, *node.config.selectiveSuspend);
    }
  }
}

void applyWindows(const std::string& windows, SimRegistry& registry, SimOsIdentity& identity) {
  struct Version {
    const char* name;
    std::uint32_t major;  // what GetVersionExW reports
    std::uint32_t minor;
    const wchar_t* currentVersion;
    const wchar_t* build;
    std::uint32_t majorNumber;  // CurrentMajorVersionNumber, 0: absent
    const wchar_t* product;
  };
  // From Windows 8.1 on a program without a supported-OS list is told 6.2.
  static const Version kVersions[] = {
      {"7", 6, 1, L"6.1", L"7601", 0, L"Windows 7 Professional"},
      {"8", 6, 2, L"6.2", L"9200", 0, L"Windows 8 Pro"},
      {"8.1", 6, 2, L"6.3", L"9600", 0, L"Windows 8.1 Pro"},
      {"10", 6, 2, L"6.3", L"19045", 10, L"Windows 10 Pro"},
      {"11", 6, 2, L"6.3", L"22631", 10, L"Windows 10 Pro"},
  };
  for (const Version& v : kVersions) {
    if (windows != v.name) continue;
    identity.majorVersion = v.major;
    identity.minorVersion = v.minor;
    identity.buildNumber = v.major == 6 && v.minor == 1 ? 7601 : 9200;
    registry.setString(kCurrentVersionKey, L"CurrentVersion", v.currentVersion);
    registry.setString(kCurrentVersionKey, L"CurrentBuildNumber", v.build);
    registry.setString(kCurrentVersionKey, L"ProductName", v.product);
    if (v.majorNumber != 0) {
      registry.setDword(kCurrentVersionKey, L"CurrentMajorVersionNumber", v.majorNumber);
      registry.setDword(kCurrentVersionKey, L"CurrentMinorVersionNumber", 0);
    } else {
      // Older Windows have no such values: a bench's own are replaced by
      // ones that say so (a zero major number reads as absent).
      if (registry.value(kCurrentVersionKey, L"CurrentMajorVersionNumber")) {
        registry.setDword(kCurrentVersionKey, L"CurrentMajorVersionNumber", 0);
      }
    }
  }
}

std::vector<std::wstring> splitCommandLine(const std::wstring& line) {
  std::vector<std::wstring> args;
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && isWhite(line[i])) ++i;
    if (i >= line.size()) return args;
    std::wstring arg;
    bool quoted = false;
    while (i < line.size() && (quoted || !isWhite(line[i]))) {
      if (line[i] == L'\\') {
        std::size_t slashes = 0;
        while (i < line.size() && line[i] == L'\\') ++slashes, ++i;
        if (i < line.size() && line[i] == L'"') {
          arg.append(slashes / 2, L'\\');
          if (slashes % 2 == 1) {
            arg += L'"';
            ++i;
          }
        } else {
          arg.append(slashes, L'\\');
        }
      } else if (line[i] == L'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
          arg += L'"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += line[i++];
      }
    }
    args.push_back(arg);
  }
}

std::optional<platform::ProcessLaunch> runDeviceConsole(UsbTree& tree, WinPaths& paths, const std::wstring& file,
                                                        const std::wstring& parameters) {
  const std::wstring base = upper(file.substr(file.find_last_of(L'\\') + 1));
  if (base != L"DEVCONAMD64.EXE" && base != L"DEVCON.EXE") return std::nullopt;
  const auto host = paths.toHost(file);
  std::error_code ec;
  if (!host || !std::filesystem::is_regular_file(*host, ec)) {
    return platform::ProcessLaunch{false, platform::err::kFileNotFound, 0};
  }
  const std::vector<std::wstring> args = splitCommandLine(parameters);
  // DevCon's exit codes: 0 done, 2 failed (also for a command it does not know).
  if (args.size() != 2 || upper(args[0]) != L"RESTART") return platform::ProcessLaunch{true, 0, 2};
  tree.restartByHardwareId(args[1]);
  return platform::ProcessLaunch{true, 0, 0};
}

}  // namespace hbx::sim::usb
