// Processes: the process-status library loaded at run time, termination, and
// the commands the program starts and waits for.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "win32/interrupt_watch.h"
#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleBaseNameWFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);

// PSAPI.DLL and its three functions, loaded once on first use and kept for
// the life of the process.
struct ProcessStatusLibrary {
  EnumProcessesFn enumProcesses = nullptr;
  EnumProcessModulesFn enumProcessModules = nullptr;
  GetModuleBaseNameWFn getModuleBaseName = nullptr;

  ProcessStatusLibrary() {
    HMODULE library = LoadLibraryW(L"PSAPI.DLL");
    if (!library) return;
    enumProcesses = reinterpret_cast<EnumProcessesFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "EnumProcesses")));
    enumProcessModules = reinterpret_cast<EnumProcessModulesFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "EnumProcessModules")));
    getModuleBaseName = reinterpret_cast<GetModuleBaseNameWFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetModuleBaseNameW")));
  }
  bool available() const { return enumProcesses && enumProcessModules && getModuleBaseName; }
};

// How long TerminateProcess is given to end the other process.
constexpr DWORD kTerminateWaitMs = 5000;
// One per computer, in every session.
constexpr wchar_t kUpdateLockName[] = L"Global\\8634FWUpgradeTool.UpdateLock";

const ProcessStatusLibrary& processStatus() {
  static const ProcessStatusLibrary library;
  return library;
}

class Win32Processes final : public platform::ProcessPort {
 public:
  bool processStatusAvailable() override { return processStatus().available(); }

  std::optional<std::vector<std::uint32_t>> enumProcesses(std::uint32_t capacity) override {
    if (!processStatus().available()) return std::nullopt;
    std::vector<DWORD> ids(capacity);
    DWORD bytes = 0;
    if (!processStatus().enumProcesses(ids.data(), capacity * sizeof(DWORD), &bytes)) return std::nullopt;
    return std::vector<std::uint32_t>(ids.begin(), ids.begin() + bytes / sizeof(DWORD));
  }

  std::optional<std::wstring> processBaseName(std::uint32_t pid) override {
    if (!processStatus().available()) return std::nullopt;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return std::nullopt;
    std::optional<std::wstring> name;
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (processStatus().enumProcessModules(process, &module, sizeof(module), &needed)) {
      wchar_t buffer[MAX_PATH] = {};
      const DWORD length = processStatus().getModuleBaseName(process, module, buffer, MAX_PATH);
      if (length > 0) name = std::wstring(buffer, length);
    }
    CloseHandle(process);
    return name;
  }

  std::uint32_t currentProcessId() override { return GetCurrentProcessId(); }

  bool terminateProcess(std::uint32_t pid, std::uint32_t exitCode, bool& opened, std::uint32_t& error) override {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    opened = process != nullptr;
    if (!process) {
      error = GetLastError();
      return false;
    }
    const BOOL ok = TerminateProcess(process, exitCode);
    error = ok ? 0 : GetLastError();
    // TerminateProcess only starts the end: wait until the process is gone.
    if (ok) WaitForSingleObject(process, kTerminateWaitMs);
    CloseHandle(process);
    return ok != FALSE;
  }

  bool requestStop(std::uint32_t pid, std::uint32_t& error) override {
    const bool asked = askToStop(pid);
    error = asked ? 0 : ERROR_NOT_FOUND;
    return asked;
  }

  bool tryLockUpdate() override {
    if (updateLock_) return false;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kUpdateLockName);
    if (!mutex) return false;
    // A holder that ended without giving the lock up leaves it abandoned:
    // taken all the same.
    const DWORD result = WaitForSingleObject(mutex, 0);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
      CloseHandle(mutex);
      return false;
    }
    updateLock_ = mutex;
    // The lock is held while this copy writes hubs.
    setWritingHubs(true);
    return true;
  }

  void unlockUpdate() override {
    if (!updateLock_) return;
    ReleaseMutex(updateLock_);
    CloseHandle(updateLock_);
    updateLock_ = nullptr;
    setWritingHubs(false);
  }

  platform::ProcessLaunch createProcessAndWait(const std::wstring& commandLine,
                                               const std::wstring& currentDirectory, std::uint32_t waitMs) override {
    // The install commands show no window and no busy cursor.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // CreateProcessW may write into the command line: hand it a copy.
    std::wstring mutableLine = commandLine;
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &info)) {
      return {false, GetLastError(), 0};
    }
    platform::ProcessLaunch launch{true, 0, 0, false};
    if (WaitForSingleObject(info.hProcess, waitMs) == WAIT_TIMEOUT) {
      launch.timedOut = true;
      TerminateProcess(info.hProcess, ERROR_TIMEOUT);
      WaitForSingleObject(info.hProcess, 5000);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(info.hProcess, &exitCode);
    launch.exitCode = exitCode;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return launch;
  }

  platform::ProcessLaunch shellExecuteAndWait(const std::wstring& file, const std::wstring& parameters,
                                              std::uint32_t waitMs) override {
    // ShellExecuteExW may hand the start to a shell extension, which needs
    // COM on the calling thread (a worker thread has none of its own).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    const bool started = ShellExecuteExW(&info) != FALSE;
    const DWORD startError = started ? 0 : GetLastError();
    if (SUCCEEDED(com)) CoUninitialize();
    if (!started) return {false, startError, 0};
    DWORD exitCode = 0;
    if (info.hProcess) {
      WaitForSingleObject(info.hProcess, waitMs);
      GetExitCodeProcess(info.hProcess, &exitCode);
      CloseHandle(info.hProcess);
    }
    return {true, 0, exitCode};
  }
 private:
  HANDLE updateLock_ = nullptr;
};

}  // namespace

platform::ProcessPort& processPort() {
  static Win32Processes port;
  return port;
}

}  // namespace hbx::win32
