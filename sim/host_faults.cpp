#include "sim/host_faults.h"

#include <nlohmann/json.hpp>

#include "sim/bench_fields.h"
#include "sim/sim_files.h"

namespace hbx::sim {

using nlohmann::json;

namespace {

constexpr std::size_t kMaxPathChars = 260;

std::string fileName(const json& v, const std::string& where) {
  const std::wstring name = textValue(v, where, kMaxPathChars);
  if (name.empty() || name.find_first_of(L"\\/") != std::wstring::npos)
    throw BenchFieldError{where, "expected a file name without a folder"};
  return v.get<std::string>();
}

setup::InstallOutcome installOutcome(const json& v, const std::string& where) {
  if (v == "installs") return setup::InstallOutcome::Installs;
  if (v == "fails") return setup::InstallOutcome::Fails;
  if (v == "restartNeeded") return setup::InstallOutcome::RestartNeeded;
  throw BenchFieldError{where, "expected \"installs\", \"fails\" or \"restartNeeded\""};
}

}  // namespace

HostFaultsLoad readHostFaults(const json& document) {
  HostFaultsLoad load;
  if (!document.is_object() || !document.contains("host")) return load;
  const json& host = document["host"];
  try {
    checkKeys(host, "/host", {"shortWriteTo", "sharingViolationOn", "readOnlyFolders", "driverInstall"});
    HostFaults& f = load.faults;
    if (host.contains("shortWriteTo")) f.shortWriteTo = fileName(host["shortWriteTo"], "/host/shortWriteTo");
    if (host.contains("sharingViolationOn"))
      f.sharingViolationOn = fileName(host["sharingViolationOn"], "/host/sharingViolationOn");
    if (host.contains("readOnlyFolders")) {
      const json& folders = host["readOnlyFolders"];
      if (!folders.is_array()) throw BenchFieldError{"/host/readOnlyFolders", "expected an array"};
      for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::string where = "/host/readOnlyFolders/" + std::to_string(i);
        const std::wstring folder = textValue(folders[i], where, kMaxPathChars);
        if (folder.size() < 3 || folder[1] != L':' || folder[2] != L'\\')
          throw BenchFieldError{where, "expected a full Windows path (C:\\...)"};
        f.readOnlyFolders.push_back(folder);
      }
    }
    if (host.contains("driverInstall")) f.driverInstall = installOutcome(host["driverInstall"], "/host/driverInstall");
  } catch (const BenchFieldError& e) {
    load.faults = HostFaults{};
    load.error = e.where + ": " + e.what;
  }
  return load;
}

void applyFileFaults(const HostFaults& faults, SimFiles& files) {
  if (!faults.shortWriteTo.empty()) files.shortWritesTo(faults.shortWriteTo);
  if (!faults.sharingViolationOn.empty()) files.heldByAnotherProgram(faults.sharingViolationOn);
  for (const std::wstring& folder : faults.readOnlyFolders) files.makeFolderReadOnly(folder);
}

}  // namespace hbx::sim
