#include "sim/setup/driver_setup.h"

#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "sim/hub/hub_bench.h"
#include "sim/setup/inf_file.h"
#include "sim/sim_registry.h"
#include "sim/sim_system.h"
#include "sim/usb/usb_host.h"
#include "sim/win_paths.h"

namespace hbx::sim::setup {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kAppendMultiSz = 0x00010008;   // FLG_ADDREG_TYPE_MULTI_SZ | FLG_ADDREG_APPEND
constexpr std::uint32_t kNewMultiSz = 0x00010002;      // FLG_ADDREG_TYPE_MULTI_SZ | FLG_ADDREG_NOCLOBBER
constexpr std::uint32_t kDeleteFromMultiSz = 0x00018002;  // FLG_DELREG_MULTI_SZ_DELSTRING
constexpr std::uint32_t kAddRegDword = 0x00010001;
constexpr std::size_t kMaxScriptBytes = 64 * 1024;
constexpr std::size_t kMaxInfBytes = 1024 * 1024;
constexpr wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";
constexpr wchar_t kFilterMark[] = L"ZELTFILTER";
constexpr wchar_t kServiceName[] = L"ZeltFilter";

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

std::wstring baseName(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

std::wstring folderOf(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L'\\');
  return cut == std::wstring::npos ? L"." : path.substr(0, cut);
}

// A path as CreateProcessW's current directory resolves it.
std::wstring resolve(const std::wstring& path, const std::wstring& currentDirectory) {
  if (path.find(L':') != std::wstring::npos || path.starts_with(L"\\")) return path;
  std::wstring relative = path;
  if (relative.starts_with(L".\\")) relative = relative.substr(2);
  return currentDirectory + L"\\" + relative;
}

std::optional<std::vector<std::uint8_t>> readHostFile(const fs::path& file, std::size_t limit) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes(limit + 1);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > limit) return std::nullopt;
  return bytes;
}

std::vector<std::wstring> multiStrings(const std::optional<RegValue>& value) {
  std::vector<std::wstring> list;
  if (!value || value->type != platform::regtype::kMultiSz) return list;
  std::wstring current;
  for (std::size_t i = 0; i + 1 < value->bytes.size(); i += 2) {
    const auto unit = static_cast<wchar_t>(value->bytes[i] | (value->bytes[i + 1] << 8));
    if (unit != 0) {
      current += unit;
    } else if (!current.empty()) {
      list.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) list.push_back(current);
  return list;
}

std::uint32_t number(const std::wstring& text) {
  try {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0));
  } catch (...) {
    return 0;
  }
}

// The INF decorations of a machine: its install sections and its
// SourceDisksFiles.
struct Decoration {
  const wchar_t* section;
  const wchar_t* sourceFiles;
};

Decoration decorationOf(std::uint16_t nativeMachine) {
  switch (nativeMachine) {
    case platform::machine::kAmd64: return {L".NTAMD64", L".amd64"};
    case platform::machine::kArm64: return {L".NTARM64", L".arm64"};
    default: return {L".NTx86", L".x86"};
  }
}

// One InstallHinfSection call.
class SectionRunner {
 public:
  SectionRunner(SetupHost& host, const InfFile& inf, std::wstring infFolder)
      : host_(host), inf_(inf), infFolder_(std::move(infFolder)) {}

  void run(const std::wstring& section) {
    // Only an install is refused or waits for a restart; the uninstall works.
    installing_ = upper(section).find(L"UNINSTALL") == std::wstring::npos;
    if (installing_ && host_.install == InstallOutcome::Fails) return;
    // The decoration follows the machine Windows runs on, whichever build of
    // the program started the setup library.
    const Decoration decoration = decorationOf(host_.system.identity().nativeMachine);
    std::wstring chosen;
    for (const wchar_t* suffix : {decoration.section, L".NT", L""}) {
      if (inf_.hasSection(section + suffix)) {
        chosen = section + suffix;
        break;
      }
    }
    if (chosen.empty()) return;
    platform_ = decoration.sourceFiles;
    for (const InfLine& line : inf_.section(chosen)) {
      bool ok = true;
      for (const std::wstring& list : line.fields) {
        if (line.key == L"copyfiles") ok = ok && copyFiles(list);
        else if (line.key == L"delfiles") deleteFiles(list);
        else if (line.key == L"addreg") addRegistry(list);
        else if (line.key == L"delreg") deleteRegistry(list);
      }
      if (!ok) return;  // the setup library stops at a file it cannot copy
    }
    for (const InfLine& line : inf_.section(chosen + L".Services")) {
      if (line.fields.empty()) continue;
      if (line.key == L"addservice") addService(line.fields);
      else if (line.key == L"delservice") host_.registry.deleteKey(kServicesKey + line.fields[0]);
    }
  }

 private:
  std::wstring destinationFolder(const std::wstring& list) const {
    auto dirid = inf_.value(L"DestinationDirs", list);
    if (!dirid) dirid = inf_.value(L"DestinationDirs", L"DefaultDestDir");
    const std::wstring system = host_.system.systemDirectory();
    if (!dirid || dirid->empty() || number((*dirid)[0]) == 12) return system + L"\\drivers";
    if (number((*dirid)[0]) == 11) return system;
    return system + L"\\drivers";
  }

  bool copyFiles(const std::wstring& list) {
    const std::wstring target = destinationFolder(list);
    for (const InfLine& line : inf_.section(list)) {
      if (line.fields.empty() || line.fields[0].empty()) continue;
      const std::wstring& file = line.fields[0];
      std::wstring subfolder;
      auto source = inf_.value(L"SourceDisksFiles" + platform_, file);
      if (!source) source = inf_.value(L"SourceDisksFiles", file);
      if (source && source->size() >= 2) subfolder = (*source)[1];
      if (!subfolder.empty() && !subfolder.starts_with(L"\\")) subfolder = L"\\" + subfolder;
      const auto from = host_.paths.toHost(infFolder_ + subfolder + L"\\" + file);
      const auto to = host_.paths.toHost(target + L"\\" + file);
      std::error_code ec;
      if (!from || !to || !fs::is_regular_file(*from, ec)) return false;
      if (installing_ && host_.install == InstallOutcome::RestartNeeded && fs::exists(*to, ec)) continue;
      fs::create_directories(to->parent_path(), ec);
      fs::copy_file(*from, *to, fs::copy_options::overwrite_existing, ec);
      if (ec) return false;
    }
    return true;
  }

  void deleteFiles(const std::wstring& list) {
    const std::wstring target = destinationFolder(list);
    for (const InfLine& line : inf_.section(list)) {
      if (line.fields.empty() || line.fields[0].empty()) continue;
      if (const auto file = host_.paths.toHost(target + L"\\" + line.fields[0])) {
        std::error_code ec;
        fs::remove(*file, ec);
      }
    }
  }

  // Lines: root, key, value name, flags, value. Only HKLM is on this computer.
  void addRegistry(const std::wstring& list) {
    for (const InfLine& line : inf_.section(list)) {
      if (line.fields.size() < 5 || upper(line.fields[0]) != L"HKLM") continue;
      const std::wstring& key = line.fields[1];
      const std::wstring& name = line.fields[2];
      const std::uint32_t flags = number(line.fields[3]);
      if (flags == kAppendMultiSz) {
        std::vector<std::wstring> entries = multiStrings(host_.registry.value(key, name));
        bool present = false;
        for (const std::wstring& e : entries) present = present || upper(e) == upper(line.fields[4]);
        if (!present) entries.push_back(line.fields[4]);
        host_.registry.setMultiString(key, name, entries);
      } else if (flags == kNewMultiSz) {
        if (!host_.registry.value(key, name)) host_.registry.setMultiString(key, name, {line.fields[4]});
      } else if (flags == kAddRegDword) {
        host_.registry.setDword(key, name, number(line.fields[4]));
      } else {
        host_.registry.setString(key, name, line.fields[4]);
      }
    }
  }

  void deleteRegistry(const std::wstring& list) {
    for (const InfLine& line : inf_.section(list)) {
      if (line.fields.size() < 5 || upper(line.fields[0]) != L"HKLM") continue;
      if (number(line.fields[3]) != kDeleteFromMultiSz) continue;
      const std::wstring& key = line.fields[1];
      const std::wstring& name = line.fields[2];
      const auto existing = host_.registry.value(key, name);
      if (!existing) continue;
      std::vector<std::wstring> kept;
      for (const std::wstring& e : multiStrings(existing)) {
        if (upper(e) != upper(line.fields[4])) kept.push_back(e);
      }
      host_.registry.setMultiString(key, name, kept);
    }
  }

  // AddService = name, flags, install section.
  void addService(const std::vector<std::wstring>& fields) {
    const std::wstring key = kServicesKey + fields[0];
    host_.registry.createKey(key);
    if (fields.size() < 3) return;
    for (const InfLine& line : inf_.section(fields[2])) {
      if (line.fields.empty()) continue;
      if (line.key == L"servicetype") host_.registry.setDword(key, L"Type", number(line.fields[0]));
      else if (line.key == L"starttype") host_.registry.setDword(key, L"Start", number(line.fields[0]));
      else if (line.key == L"errorcontrol") host_.registry.setDword(key, L"ErrorControl", number(line.fields[0]));
      else if (line.key == L"displayname") host_.registry.setString(key, L"DisplayName", line.fields[0]);
      else if (line.key == L"servicebinary") host_.registry.setString(key, L"ImagePath", line.fields[0]);
    }
  }

  SetupHost& host_;
  const InfFile& inf_;
  std::wstring infFolder_;
  std::wstring platform_;
  bool installing_ = false;
};

// "setupapi,InstallHinfSection <section> <mode> <inf path>": the path is the
// rest of the line.
platform::ProcessLaunch installHinfSection(SetupHost& host, const std::wstring& arguments,
                                           const std::wstring& currentDirectory) {
  const std::vector<std::wstring> args = usb::splitCommandLine(arguments);
  if (args.size() < 3) return {true, 0, 0};  // the setup library shows its usage box and ends
  std::size_t pathStart = 0;
  for (int skipped = 0; skipped < 2; ++skipped) {
    while (pathStart < arguments.size() && arguments[pathStart] == L' ') ++pathStart;
    while (pathStart < arguments.size() && arguments[pathStart] != L' ') ++pathStart;
  }
  std::wstring infPath = arguments.substr(pathStart);
  while (!infPath.empty() && infPath.front() == L' ') infPath.erase(0, 1);
  while (!infPath.empty() && infPath.back() == L' ') infPath.pop_back();
  infPath = resolve(infPath, currentDirectory);
  const auto file = host.paths.toHost(infPath);
  const auto bytes = file ? readHostFile(*file, kMaxInfBytes) : std::nullopt;
  if (bytes) {
    const InfFile inf = InfFile::parse(*bytes);
    SectionRunner(host, inf, folderOf(infPath)).run(args[0]);
  }
  {
    const bool installed = filterInstalled(host);
    std::lock_guard<std::mutex> lock(host.hubs.mutex());
    host.hubs.setDriverInstalled(installed);
  }
  // rundll32 ends with 0 whatever the section did.
  return {true, 0, 0};
}

std::optional<platform::ProcessLaunch> runRundll32(SetupHost& host, const std::wstring& commandLine,
                                                   const std::wstring& currentDirectory) {
  std::size_t cut = commandLine.find(L' ');
  if (cut == std::wstring::npos) return platform::ProcessLaunch{true, 0, 0};
  std::wstring rest = commandLine.substr(cut + 1);
  while (!rest.empty() && rest.front() == L' ') rest.erase(0, 1);
  cut = rest.find(L' ');
  const std::wstring entry = upper(rest.substr(0, cut));
  if (entry != L"SETUPAPI,INSTALLHINFSECTION" || cut == std::wstring::npos) return platform::ProcessLaunch{true, 0, 0};
  return installHinfSection(host, rest.substr(cut + 1), currentDirectory);
}

// A batch script: only its setup-library lines do anything on this computer;
// "%~dp0" is the script's folder with its trailing "\".
platform::ProcessLaunch runScript(SetupHost& host, const std::wstring& script, const std::wstring& currentDirectory) {
  const auto file = host.paths.toHost(script);
  std::error_code ec;
  if (!file || !fs::is_regular_file(*file, ec)) return {false, platform::err::kFileNotFound, 0};
  const auto bytes = readHostFile(*file, kMaxScriptBytes);
  if (!bytes) return {true, 0, 1};
  const std::wstring folder = folderOf(script) + L"\\";
  std::wstring line;
  auto runLine = [&](std::wstring text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t' || text.front() == L'@')) text.erase(0, 1);
    for (std::size_t at; (at = upper(text).find(L"%~DP0")) != std::wstring::npos;) text.replace(at, 5, folder);
    if (upper(text).starts_with(L"RUNDLL32")) runRundll32(host, text, currentDirectory);
  };
  for (std::uint8_t b : *bytes) {
    if (b == '\r' || b == '\n') {
      runLine(line);
      line.clear();
    } else {
      line += static_cast<wchar_t>(b);
    }
  }
  runLine(line);
  return {true, 0, 0};
}

}  // namespace

std::optional<platform::ProcessLaunch> runSetupCommand(SetupHost& host, const std::wstring& commandLine,
                                                       const std::wstring& currentDirectory) {
  const std::vector<std::wstring> args = usb::splitCommandLine(commandLine);
  if (args.empty()) return std::nullopt;
  const std::wstring program = upper(baseName(args[0]));
  if (program == L"RUNDLL32.EXE" || program == L"RUNDLL32") return runRundll32(host, commandLine, currentDirectory);
  if (program.ends_with(L".BAT") || program.ends_with(L".CMD")) {
    return runScript(host, resolve(args[0], currentDirectory), currentDirectory);
  }
  return std::nullopt;
}

std::wstring installedDriverPath(SimSystem& system) { return system.systemDirectory() + L"\\drivers\\zeltufdriver.sys"; }

bool filterInstalled(SetupHost& host) {
  bool named = false;
  for (const std::wstring& e : multiStrings(host.registry.value(usb::kUsbClassKey, L"UpperFilters"))) {
    named = named || upper(e).find(kFilterMark) != std::wstring::npos;
  }
  const auto file = host.paths.toHostNative(installedDriverPath(host.system));
  std::error_code ec;
  return named && file && fs::is_regular_file(*file, ec);
}

void completeInstalledState(SetupHost& host, const std::optional<std::vector<std::uint8_t>>& driverFile) {
  if (!host.registry.value(usb::kUsbClassKey, L"UpperFilters")) {
    host.registry.setMultiString(usb::kUsbClassKey, L"UpperFilters", {kServiceName});
  }
  const auto file = host.paths.toHostNative(installedDriverPath(host.system));
  std::error_code ec;
  if (!driverFile || !file || fs::exists(*file, ec)) return;
  fs::create_directories(file->parent_path(), ec);
  std::ofstream out(*file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(driverFile->data()), static_cast<std::streamsize>(driverFile->size()));
}

}  // namespace hbx::sim::setup
