// Host services of the utility object: path test, registry, OS code,
// processes, restart, file version, ANSI round trip, the run's locks.
#include <cstring>
#include <cwchar>
#include <vector>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "base/log/message_line.h"
#include "hub/hub_utility.h"
#include "platform/handles.h"

namespace hbx {

namespace {

constexpr const wchar_t* kProgramName = L"8634FWUpgradeTool";
constexpr std::size_t kRegistryWorkBytes = 8192;
constexpr std::uint32_t kProcessTableEntries = 1024;
constexpr std::size_t kBaseNameChars = 260;
constexpr std::uint32_t kEwxRebootForce = 6;  // EWX_REBOOT | EWX_FORCE
constexpr const wchar_t* kCurrentVersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// One walk of the process list for DetectProcess and GetProcessID.
struct ProcessScan {
  enum class Outcome { Done, NoLibrary, EnumFailed };
  Outcome outcome = Outcome::Done;
  int count = 0;                 // matching processes
  std::uint32_t firstOther = 0;  // first match that is not the caller
};

ProcessScan scanProcesses(platform::ProcessPort& processes, const std::wstring& name,
                          bool stopAtFirstOther) {
  ProcessScan scan;
  if (!processes.processStatusAvailable()) {
    scan.outcome = ProcessScan::Outcome::NoLibrary;
    return scan;
  }
  const auto ids = processes.enumProcesses(kProcessTableEntries);
  if (!ids) {
    scan.outcome = ProcessScan::Outcome::EnumFailed;
    return scan;
  }
  const std::uint32_t own = processes.currentProcessId();
  const std::size_t listed = ids->size() < kProcessTableEntries ? ids->size() : kProcessTableEntries;
  for (std::size_t i = 0; i < listed; ++i) {
    const std::uint32_t pid = (*ids)[i];
    std::optional<std::wstring> baseName = processes.processBaseName(pid);
    // Processes that cannot be opened or listed are never counted.
    if (!baseName) continue;
    // GetModuleBaseNameW fills a buffer of 260 characters.
    if (baseName->size() > kBaseNameChars - 1) baseName->resize(kBaseNameChars - 1);
    if (*baseName != name) continue;
    ++scan.count;
    if (stopAtFirstOther && pid != own) {
      scan.firstOther = pid;
      return scan;
    }
  }
  return scan;
}

std::uint32_t toUnsigned(std::int32_t status) { return static_cast<std::uint32_t>(status); }

}  // namespace

void CHubUtility::setUnattendedMode(bool silent, bool console) {
  m_bSilentMode.store(silent);
  m_bConsoleMode.store(console);
}

int CHubUtility::nShowPlainMessage(const std::wstring& text) {
  if (!m_bConsoleMode.load() && !m_bSilentMode.load()) {
    return ports_.windows.messageBox(text, kProgramName, platform::mb::kOk);
  }
  // Unattended: nobody would press the button, and standard output carries
  // only the console lines scripts parse.
  HBX_LOG_ERR(L"%s:%d: %s", text);
  ports_.system.errorWrite(strSuppressedMessageLine(kProgramName, text));
  return platform::idanswer::kOk;
}

namespace {
// _waccess mode of a file that is only read.
constexpr int kAccessRead = 4;
}  // namespace

bool CHubUtility::bCheckSourceFileExists(const std::wstring& strFilePath, std::uint8_t bShowMsg) {
  return bCheckFilePathExists(strFilePath, bShowMsg, kAccessRead, true);
}

bool CHubUtility::bCheckFilePathExists(const std::wstring& strFilePath, std::uint8_t bShowMsg, int accessMode,
                                       bool regularFileOnly) {
  int crtErrno = 0;
  std::uint32_t error = 0;
  try {
    if (ports_.files.access(strFilePath, 0, crtErrno, error) != 0) {
      HBX_LOG_ERR(L"%s:%d: bCheckFilePathExists: Not Exist , strFilePath : %s , err : %d , dwErrorCode %s",
                  strFilePath, crtErrno, systemErrorText(error));
      if (bShowMsg == 1) nShowPlainMessage(strFilePath + L" File/Path Not Exist");
      return false;
    }
    if (regularFileOnly && !platform::bIsRegularFile(ports_.files, strFilePath, error)) {
      HBX_LOG_ERR(L"%s:%d: bCheckFilePathExists: Not a File , strFilePath : %s , dwErrorCode %d", strFilePath, error);
      // It is there: the user is told what it is rather than that it is missing.
      const std::uint32_t attributes = ports_.files.fileAttributes(strFilePath, error);
      const bool folder = attributes != platform::attr::kInvalidAttributes && (attributes & platform::attr::kDirectory);
      if (bShowMsg == 1)
        nShowPlainMessage(strFilePath + (folder ? L" is a folder, not a file" : L" is a pipe or device, not a file"));
      return false;
    }
    if (ports_.files.access(strFilePath, accessMode, crtErrno, error) != 0) {
      HBX_LOG_ERR(
          L"%s:%d: bCheckFilePathExists: Not Read/Write , strFilePath : %s , err : %d , dwErrorCode %s",
          strFilePath, crtErrno, systemErrorText(error));
      if (bShowMsg == 1) nShowPlainMessage(strFilePath + L" File/Path Not Read/Write");
      return false;
    }
    return true;
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: bCheckFilePathExists: strFilePath : %s , err : %d , dwErrorCode %s", strFilePath,
                crtErrno, systemErrorText(error));
    if (bShowMsg == 1) nShowPlainMessage(strFilePath + L" File/Path Not Exist");
    return false;
  }
}

bool CHubUtility::bRegistryDeleteValue(const std::wstring& wSubKey, const std::wstring& wKeyName) {
  platform::RegistryPort& registry = ports_.registry;
  const platform::RegOpenResult opened = registry.openKey(wSubKey, platform::keyaccess::kWrite);
  if (opened.status != 0) {
    HBX_LOG_ERR(L"%s:%d: RegOpenKeyExW fail, szSubKeyHub3=%ws, dwErrorCode=%d", wSubKey, toUnsigned(opened.status));
    return false;
  }
  const std::int32_t status = registry.deleteValue(opened.key, wKeyName);
  if (status != 0) HBX_LOG_ERR(L"%s:%d: RegDeleteValue fail, szKeyName[%ws], dwErrorCode%d", wKeyName, toUnsigned(status));
  registry.flushKey(opened.key);
  registry.closeKey(opened.key);
  return status == 0;
}

bool CHubUtility::bRegistryReadWrite(const std::wstring& wSubKey, const std::wstring& wKeyName, void* data,
                                     std::uint8_t write, std::uint8_t type) {
  platform::RegistryPort& registry = ports_.registry;
  if (write != 0) {
    const platform::RegOpenResult opened = registry.openKey(wSubKey, platform::keyaccess::kWrite);
    if (opened.status != 0) {
      HBX_LOG_ERR(L"%s:%d: RegCreateKeyEx fail, szSubKeyHub3=%s, dwErrorCode=%s", wSubKey,
                  systemErrorText(toUnsigned(opened.status)));
      return false;
    }
    const platform::RegistryKey key(registry, opened.key);
    bool result = true;
    if (type == platform::regtype::kDword) {
      // Callers keep a number from 0 to 255 in the first two bytes.
      std::uint16_t unit = 0;
      std::memcpy(&unit, data, sizeof unit);
      const std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(unit & 0xFF),
                                            static_cast<std::uint8_t>(unit >> 8), 0, 0};
      const std::int32_t status = registry.setValue(key.get(), wKeyName, platform::regtype::kDword, bytes);
      if (status != 0) {
        HBX_LOG_ERR(L"%s:%d: RegSetValueEx fail, lResult%s, szKeyName[%ws], dwErrorCode%s",
                    systemErrorText(status), wKeyName,
                    systemErrorText(toUnsigned(status)));
        result = false;
      }
    } else {
      // Only REG_DWORD values are ever written; anything else is refused
      // rather than reported as written.
      HBX_LOG_ERR(L"%s:%d: RegSetValueEx unsupported type[%d], szKeyName[%ws]", type, wKeyName);
      result = false;
    }
    registry.flushKey(key.get());
    return result;
  }

  const platform::RegOpenResult opened = registry.openKey(wSubKey, platform::keyaccess::kRead);
  if (opened.status != 0) {
    HBX_LOG_ERR(L"%s:%d: RegOpenKeyExW fail, szSubKeyHub3=%ws, dwErrorCode=%s", wSubKey,
                systemErrorText(toUnsigned(opened.status)));
    return false;
  }
  const platform::RegistryKey key(registry, opened.key);
  std::vector<std::uint8_t> work(kRegistryWorkBytes, 0);
  const platform::RegQueryResult query = registry.queryValue(key.get(), wKeyName, work);
  if (query.status != 0 || query.size > work.size()) return false;
  if (type == platform::regtype::kDword) {
    // The caller's buffer holds one double word.
    const std::size_t bytes = query.size < 4 ? query.size : 4;
    std::memcpy(data, work.data(), bytes);
  } else {
    // Zero characters become spaces, so a list reads as one text.
    auto* text = static_cast<wchar_t*>(data);
    std::size_t units = query.size / 2;
    if (units > kRegistryTextChars - 1) units = kRegistryTextChars - 1;
    for (std::size_t i = 0; i < units; ++i) {
      const auto unit = static_cast<std::uint16_t>(work[2 * i] | (work[2 * i + 1] << 8));
      text[i] = unit == 0 ? L' ' : static_cast<wchar_t>(unit);
    }
    text[units] = L'\0';
  }
  return true;
}

std::uint8_t CHubUtility::GetOSVersion() {
  std::uint32_t majorValue = 0;
  wchar_t buildText[kRegistryTextChars] = {};
  bRegistryReadWrite(kCurrentVersionKey, L"CurrentMajorVersionNumber", &majorValue, 0,
                     platform::regtype::kDword);
  bRegistryReadWrite(kCurrentVersionKey, L"CurrentBuildNumber", buildText, 0, platform::regtype::kSz);
  const std::uint32_t curMajor = majorValue & 0xFFFF;
  const auto curBuild = static_cast<std::uint32_t>(std::wcstoul(buildText, nullptr, 10));

  platform::OsVersionInfo info = ports_.system.versionEx();
  if (!info.ok) info = platform::OsVersionInfo{false, 0, 0, 0, 0};
  HBX_LOG_MSG(L"%s:%d:  !! dwCurMajorVer=[%d], dwCurBuildNumber=[%d]", curMajor, curBuild);

  if (info.platformId != platform::kVerPlatformWin32Nt) return 255;
  if (info.majorVersion == 5) return info.minorVersion == 1 ? 2 : 1;
  if (info.majorVersion != 6 || info.minorVersion > 3) return 255;
  if (curMajor == 10 || curBuild >= 10000) return 64;
  switch (info.minorVersion) {
    case 0: return 4;
    case 1: return 8;
    case 2: return 16;
    default: return 32;
  }
}

bool CHubUtility::IsWow64() {
  try {
    if (!ports_.system.hasIsWow64Process()) return false;
    return ports_.system.isWow64Process();
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d:  dwErrorCode %s", systemErrorText(ports_.system.lastError()));
    return false;
  }
}

std::uint16_t CHubUtility::uNativeMachine() {
  std::uint16_t processMachine = platform::machine::kUnknown;
  std::uint16_t nativeMachine = platform::machine::kUnknown;
  if (ports_.system.isWow64Process2(processMachine, nativeMachine)) return nativeMachine;
  if (ports_.system.programMachine() != platform::machine::kI386) return ports_.system.programMachine();
  return IsWow64() ? platform::machine::kAmd64 : platform::machine::kI386;
}

int CHubUtility::DetectProcess(const std::wstring& pName) {
  try {
    const ProcessScan scan = scanProcesses(ports_.processes, pName, false);
    switch (scan.outcome) {
      case ProcessScan::Outcome::NoLibrary:
        HBX_LOG_ERR(L"%s:%d: DetectProcess: hPsApi = NULL , hPsApi : %x , pName : %s , dwErrorCode %s", 0, pName,
                    systemErrorText(ports_.system.lastError()));
        return 0;
      case ProcessScan::Outcome::EnumFailed:
        HBX_LOG_ERR(L"%s:%d: DetectProcess: EnumProcesses = FAIL , pName : %s , dwErrorCode %s", pName,
                    systemErrorText(ports_.system.lastError()));
        return 0;
      case ProcessScan::Outcome::Done: break;
    }
    return scan.count;
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: DetectProcess: pName : %s , dwErrorCode %s",
                pName, systemErrorText(ports_.system.lastError()));
    return 0;
  }
}

std::uint32_t CHubUtility::GetProcessID(const std::wstring& pName) {
  try {
    const ProcessScan scan = scanProcesses(ports_.processes, pName, true);
    switch (scan.outcome) {
      case ProcessScan::Outcome::NoLibrary:
        HBX_LOG_ERR(L"%s:%d: GetProcessID: hPsApi = NULL , hPsApi : %x , pName : %s , dwErrorCode %s", 0, pName,
                    systemErrorText(ports_.system.lastError()));
        return 0;
      case ProcessScan::Outcome::EnumFailed:
        HBX_LOG_ERR(L"%s:%d: GetProcessID: EnumProcesses = FAIL , pName : %s , dwErrorCode %s", pName,
                    systemErrorText(ports_.system.lastError()));
        return 0;
      case ProcessScan::Outcome::Done: break;
    }
    return scan.firstOther;
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: GetProcessID: pName : %s , dwErrorCode %s", pName, systemErrorText(ports_.system.lastError()));
    return 0;
  }
}

bool CHubUtility::KillProcess(std::uint32_t pId, std::uint32_t exitCode) {
  bool opened = false;
  std::uint32_t error = 0;
  const bool terminated = ports_.processes.terminateProcess(pId, exitCode, opened, error);
  if (!opened) {
    HBX_LOG_ERR(L"%s:%d: KillProcess: hProcess = NULL , pId:%x , exitCode:%x , dwErrorCode:%s", pId, exitCode,
                systemErrorText(error));
    return false;
  }
  return terminated;
}

bool CHubUtility::StopProcess(std::uint32_t pId, const std::wstring& pName, std::uint32_t exitCode,
                              std::uint32_t waitMs) {
  // How often the wait looks whether the process is gone.
  constexpr std::uint32_t kGonePollMs = 100;
  platform::ProcessPort& processes = ports_.processes;
  const auto running = [&] { return processes.processBaseName(pId) == pName; };
  std::uint32_t error = 0;
  if (processes.requestStop(pId, error)) {
    HBX_LOG_MSG(L"%s:%d: StopProcess: pId:%x asked to stop, waiting up to %d ms", pId, waitMs);
    for (std::uint32_t waited = 0; waited < waitMs && running(); waited += kGonePollMs) {
      ports_.clock.sleepMs(kGonePollMs);
    }
    if (!running()) return true;
    HBX_LOG_ERR(L"%s:%d: StopProcess: pId:%x still runs after %d ms: ended outright", pId, waitMs);
  } else {
    HBX_LOG_ERR(L"%s:%d: StopProcess: pId:%x cannot be asked to stop, dwErrorCode:%s: ended outright", pId,
                systemErrorText(error));
  }
  return KillProcess(pId, exitCode);
}

int CHubUtility::bRebootSystem() {
  std::uint32_t lastError = 0;
  if (!ports_.system.enableShutdownPrivilege(lastError)) return 0;
  // The adjustment reports success even when the privilege was not granted;
  // only a last error of 0 means it really was.
  if (lastError != 0) return 0;
  return ports_.system.exitWindows(kEwxRebootForce, 0) ? 1 : 0;
}

std::wstring CHubUtility::vGetFileVersionInfo(const std::wstring& path) {
  try {
    std::uint32_t ms = 0;
    std::uint32_t ls = 0;
    if (!ports_.system.fileVersion(path, ms, ls)) return L"";
    return wformat(L"%d.%d.%d.%d", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: vGetFileVersionInfo fail, dwErrorCode : %s", systemErrorText(ports_.system.lastError()));
    return L"";
  }
}

std::wstring CHubUtility::WideStrToMultiStr(const std::wstring& text) {
  try {
    return ports_.system.ansiRoundTrip(text);
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: WideStrToMultiStr , dwErrorCode %s", systemErrorText(ports_.system.lastError()));
    return L"";
  }
}

void CHubUtility::vInitializeCriticalSection() {
  // The mutexes exist for the object's whole life and cannot fail to be
  // made; a new run only marks them as in use.
  m_bLocksInitialized.store(true);
  HBX_LOG_MSG(L"%s:%d: Utility: locks ready");
}

void CHubUtility::vDeleteCriticalSection() {
  // A lock is never destroyed under a thread that may hold it: the mutexes
  // live as long as the object. A lock still held here means a worker left
  // its section without releasing it; report it. The caller holds none.
  struct Named {
    std::mutex& lock;
    const wchar_t* name;
  };
  const Named locks[] = {
      {m_UpdateConfigurationCriticalSection, L"m_UpdateConfigurationCriticalSection"},
      {m_UpdateFirmwareCriticalSection, L"m_UpdateFirmwareCriticalSection"},
      {m_CPURSTCriticalSection, L"m_CPURSTCriticalSection"},
      {m_EnumCriticalSection, L"m_EnumCriticalSection"},
      {m_VerifyFWCriticalSection, L"m_VerifyFWCriticalSection"},
      {m_ThreadCriticalSection, L"m_ThreadCriticalSection"},
  };
  for (const Named& entry : locks) {
    if (entry.lock.try_lock()) {
      entry.lock.unlock();
    } else {
      HBX_LOG_ERR(L"%s:%d: Utility: DeleteCriticalSection %s still held", entry.name);
    }
  }
  m_bLocksInitialized.store(false);
}

bool CHubUtility::bWait5Seconds() {
  ports_.clock.sleepMs(5000);
  return true;
}

}  // namespace hbx
