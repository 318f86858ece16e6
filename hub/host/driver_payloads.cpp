// Writing the carried driver package and the device-console tool to disk.
#include <span>
#include <vector>

#include "base/log/debug_log.h"
#include "hub/host/driver_package.h"
#include "hub/host/run_file_claim.h"
#include "hub/hub_utility.h"
#include "platform/handles.h"

namespace hbx {

namespace {

// The system error for a carried file the program was built without.
constexpr std::uint32_t kResourceNameNotFound = 1814;

constexpr std::uint8_t kOsWindows10 = 64;

// One carried file and where it goes: `subfolder` is empty or "\i386" /
// "\amd64" below the driver folder. A failed write logs `logLine` (with the
// system error) and ends the package with `failureStatus`.
struct DriverPayload {
  driver::PayloadId id;
  const wchar_t* subfolder;
  const wchar_t* file;
  int failureStatus;
  const wchar_t* logLine;
};

constexpr wchar_t kInfLogLine[] = L"%s:%d: Load Filter Driver inf, WriteFile Failed, Erroe=%d";

// The writer every payload goes through: builds the folders one step at a
// time, replaces an existing file, and writes the whole carried file in one
// call. 0 or the system error of the failed step.
std::uint32_t uWritePayload(CHubUtility& utility, const driver::PayloadId& id,
                            const std::vector<std::wstring>& folderSteps, const std::wstring& file) {
  platform::Ports& ports = utility.ports();
  const std::optional<std::vector<std::uint8_t>> bytes = ports.payloads.payload(id.type, id.id);
  if (!bytes) return kResourceNameNotFound;  // reported like a write that failed
  std::wstring path;
  std::uint32_t error = 0;
  for (const std::wstring& step : folderSteps) {
    path += step;
    if (!utility.bCheckFilePathExists(path, 0)) ports.files.createDirectory(path, error);
  }
  path += file;
  if (utility.bCheckFilePathExists(path, 0)) ports.files.deleteFile(path, error);

  const platform::OpenResult opened =
      ports.files.createFile(path, platform::access::kGenericRead | platform::access::kGenericWrite,
                             platform::share::kRead, platform::creation::kCreateNew, 0);
  if (opened.handle == platform::kInvalidHandle) return opened.error != 0 ? opened.error : platform::err::kGenFailure;
  const auto size = static_cast<std::uint32_t>(bytes->size());
  platform::FileIoResult written;
  {
    const platform::FileHandle file(ports.files, opened.handle);
    written = ports.files.writeFile(file.get(), bytes->data(), size);
  }
  if (!written.ok) return written.error != 0 ? written.error : platform::err::kGenFailure;
  if (written.bytes != size) return platform::err::kGenFailure;  // a short write is no copy
  return 0;
}

std::vector<std::wstring> driverFolderSteps(const std::wstring& base, const wchar_t* subfolder) {
  std::vector<std::wstring> steps{base + driver::kWorkFolder, driver::kDriverSubfolder};
  if (subfolder[0] != L'\0') steps.emplace_back(subfolder);
  return steps;
}

}  // namespace

int CHubUtility::nLoadFilterDriverLib(const std::wstring& base) {
  const driver::PayloadId sys64 = GetOSVersion() == kOsWindows10 ? driver::kSys64KmdfPayload : driver::kSys64Payload;
  const DriverPayload package[] = {
      {driver::kInfPayload, L"", driver::kInfFile, -1, kInfLogLine},
      {driver::kCatPayload, L"", driver::kCatFile, -10, L"%s:%d: Load Filter Driver cat, WriteFile Failed, Erroe=%d"},
      {driver::kSys32Payload, driver::kI386Folder, driver::kSysFile, -10,
       L"%s:%d: Load Load Filter Driver i368/zeltufdriver.sys, WriteFile Failed, Erroe=%d"},
      {sys64, driver::kAmd64Folder, driver::kSysFile, -10,
       L"%s:%d: Load Filter Driver amd64/zeltufdriver.sys, WriteFile Failed, Erroe=%d"},
      {driver::kSupportLibraryPayload, L"", driver::kSupportLibrary, -10,
       L"%s:%d: Load k9371937.DLL, WriteFile Failed, Erroe=%d"},
      {driver::kDebugRuntimePayload, L"", driver::kDebugRuntime, -10,
       L"%s:%d:  Load msvcrtd.dll, WriteFile Failed, Erroe=%d"},
      {driver::kUninstallScriptPayload, L"", driver::kUninstallScript, -1, kInfLogLine},
  };
  for (const DriverPayload& payload : package) {
    const std::uint32_t error = uWritePayload(*this, payload.id, driverFolderSteps(base, payload.subfolder), payload.file);
    if (error == 0) continue;
    HBX_LOG_ERR(payload.logLine, error);
    return payload.failureStatus;
  }
  return 0;
}

int CHubUtility::nLoadDelInstall_INF(const std::wstring& base) {
  const std::uint32_t error =
      uWritePayload(*this, driver::kUninstallScriptPayload, driverFolderSteps(base, L""), driver::kUninstallScript);
  if (error == 0) return 0;
  HBX_LOG_ERR(kInfLogLine, error);
  return -10;
}

int CHubUtility::nADD_Delete_DevconFile(const std::wstring& folder, bool add) {
  // The tool of the machine Windows runs on, not of this build.
  const bool windows64 = bIs64BitWindows();
  const driver::PayloadId id = windows64 ? driver::kDevcon64Payload : driver::kDevcon32Payload;
  const std::wstring name = windows64 ? driver::kDevcon64 : driver::kDevcon32;
  const std::wstring path = folder + name;
  // In the work folder while the run's copy lies beside the program.
  const std::wstring note = ports_.system.tempPath() + driver::kWorkFolder + L"\\devcon_copy.note";
  if (!add) {
    if (path != m_strDevconCopy) return 0;
    std::uint32_t error = 0;
    if (bCheckFilePathExists(path, 0)) ports_.files.deleteFile(path, error);
    m_strDevconCopy.clear();
    runfile::release(ports_.files, note);
    return 0;
  }
  const auto bytes = ports_.payloads.payload(id.type, id.id);
  const std::vector<std::uint8_t> carried = bytes ? *bytes : std::vector<std::uint8_t>();
  if (runfile::whatLiesAt(ports_.files, path, note, carried) == runfile::Found::UsersFile) {
    HBX_LOG_WRN(L"%s:%d: %s is a file of the user's: used as it is, and kept", path);
    // A note beside a user's file claims nothing.
    runfile::release(ports_.files, note);
    return 0;
  }
  // Claimed before it is written: a run ended in between leaves a copy the
  // next one knows as a run's.
  runfile::claim(ports_.files, note);
  m_strDevconCopy = path;
  const std::uint32_t error = uWritePayload(*this, id, {folder}, name);
  if (error == 0) return 0;
  HBX_LOG_ERR(kInfLogLine, error);
  return -10;
}

}  // namespace hbx
