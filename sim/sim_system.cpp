#include "sim/sim_system.h"

#include <vector>

#include "base/log/format.h"
#include "sim/last_error.h"
#include "sim/pe_version.h"
#include "sim/win_paths.h"

namespace hbx::sim {

SimSystem::SimSystem(WinPaths& paths, std::wstring moduleFileName,
                     std::function<void(const std::string&)> standardOutput,
                     std::function<void(const std::string&)> standardError)
    : paths_(paths),
      moduleFileName_(std::move(moduleFileName)),
      standardOutput_(std::move(standardOutput)),
      standardError_(std::move(standardError)) {
  paths_.setWow64(identity_.wow64());
}

void SimSystem::setDebugLogFile(const std::filesystem::path& file) {
  std::lock_guard<std::mutex> lock(debugMutex_);
  debugLog_.open(file, std::ios::binary | std::ios::app);
}

std::wstring SimSystem::moduleFileName(std::uint32_t capacity) {
  // GetModuleFileNameW truncates to the buffer (terminator included).
  if (capacity == 0) return L"";
  return moduleFileName_.substr(0, capacity - 1);
}

bool SimSystem::setCurrentDirectory(const std::wstring& path) {
  const auto host = paths_.toHost(path);
  std::error_code ec;
  if (!host || !std::filesystem::is_directory(*host, ec)) {
    setThreadLastError(host && !std::filesystem::exists(host->parent_path(), ec) ? platform::err::kPathNotFound
                                                                                : platform::err::kFileNotFound);
    return false;
  }
  paths_.setCurrentDirectory(path);
  return true;
}

std::uint32_t SimSystem::lastError() { return threadLastError(); }

std::wstring SimSystem::currentDirectory() { return paths_.currentDirectory(); }

std::wstring SimSystem::tempPath() { return L"C:\\Windows\\Temp\\"; }

std::wstring SimSystem::systemDirectory() { return L"C:\\Windows\\system32"; }

platform::OsVersionInfo SimSystem::versionEx() {
  return {true, identity_.majorVersion, identity_.minorVersion, identity_.buildNumber, identity_.platformId};
}

bool SimSystem::hasIsWow64Process() { return identity_.hasIsWow64Process; }

bool SimSystem::isWow64Process() { return identity_.wow64(); }

bool SimSystem::isWow64Process2(std::uint16_t& processMachine, std::uint16_t& nativeMachine) {
  if (!identity_.hasIsWow64Process2) return false;
  processMachine = identity_.wow64() ? identity_.programMachine : platform::machine::kUnknown;
  nativeMachine = identity_.nativeMachine;
  return true;
}

// The token keeps the calling thread's state before the switch, as Windows'
// does, so that the revert puts that state back.
constexpr std::uintptr_t kTokenWasOn = 0x5157;
constexpr std::uintptr_t kTokenWasOff = 0x5158;

bool SimSystem::disableFsRedirection(std::uintptr_t& token, std::uint32_t& error) {
  if (!identity_.wow64()) {
    error = 1;  // ERROR_INVALID_FUNCTION on a 32-bit Windows
    setThreadLastError(error);
    return false;
  }
  token = paths_.redirectionOff() ? kTokenWasOff : kTokenWasOn;
  paths_.setRedirectionOff(true);
  return true;
}

bool SimSystem::revertFsRedirection(std::uintptr_t token, std::uint32_t& error) {
  if (token != kTokenWasOn && token != kTokenWasOff) {
    error = platform::err::kInvalidParameter;
    setThreadLastError(error);
    return false;
  }
  paths_.setRedirectionOff(token == kTokenWasOff);
  return true;
}

bool SimSystem::fsRedirectionDisabled() const { return paths_.redirectionOff(); }

void SimSystem::setIdentity(const SimOsIdentity& identity) {
  identity_ = identity;
  paths_.setWow64(identity.wow64());
}

bool SimSystem::enableShutdownPrivilege(std::uint32_t& lastError) {
  // AdjustTokenPrivileges sets the last error also when it succeeds.
  lastError = identity_.shutdownPrivilegeGranted ? 0 : 1300;  // ERROR_NOT_ALL_ASSIGNED
  setThreadLastError(lastError);
  return true;
}

void SimSystem::setRestartLog(const std::filesystem::path& file) {
  std::lock_guard<std::mutex> lock(restartMutex_);
  restartLog_ = file;
}

bool SimSystem::exitWindows(std::uint32_t flags, std::uint32_t reason) {
  // Recorded only: the simulated computer never restarts this machine.
  ++restartRequests_;
  const bool accepted = identity_.restartAccepted;
  std::lock_guard<std::mutex> lock(restartMutex_);
  if (restartLog_) {
    std::ofstream log(*restartLog_, std::ios::binary | std::ios::app);
    log << nformat("ExitWindowsEx flags=0x%X reason=0x%X accepted=%d\n", flags, reason, accepted ? 1 : 0);
  }
  return accepted;
}

bool SimSystem::fileVersion(const std::wstring& path, std::uint32_t& versionMs, std::uint32_t& versionLs) {
  constexpr std::uint32_t kErrorResourceTypeNotFound = 1813;
  const auto host = paths_.toHost(path);
  if (!host) {
    setThreadLastError(platform::err::kPathNotFound);
    return false;
  }
  const auto version = readPeFileVersion(*host);
  if (!version) {
    std::error_code ec;
    setThreadLastError(std::filesystem::exists(*host, ec) ? kErrorResourceTypeNotFound : platform::err::kFileNotFound);
    return false;
  }
  versionMs = version->ms;
  versionLs = version->ls;
  return true;
}

std::wstring SimSystem::ansiRoundTrip(const std::wstring& text) {
  // Windows-1252 keeps ASCII and the Latin-1 letters; the rest comes back as '?'.
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    const auto v = static_cast<std::uint32_t>(c);
    out += (v < 0x80 || (v >= 0xA0 && v <= 0xFF)) ? c : L'?';
  }
  return out;
}

void SimSystem::outputDebugString(const std::wstring& text) {
  const std::string utf8 = toUtf8(text);
  {
    std::lock_guard<std::mutex> lock(debugMutex_);
    if (debugLog_.is_open()) {
      debugLog_ << utf8;
      debugLog_.flush();
    }
  }
  if (debugHook_) debugHook_(utf8);
}

bool SimSystem::allocConsole() {
  consoleAllocated_ = true;
  return true;
}

void SimSystem::freeConsole() { consoleAllocated_ = false; }

void SimSystem::consoleWrite(const std::string& text) {
  if (consoleAllocated_ && standardOutput_) standardOutput_(text);
}

void SimSystem::errorWrite(const std::string& text) {
  if (standardError_) standardError_(text);
}

}  // namespace hbx::sim
