#pragma once
// Processes: enumeration of ids with their image base names (PSAPI), the own
// id, termination, and starting the Windows commands the program runs.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/os_types.h"

namespace hbx::platform {

struct ProcessLaunch {
  bool started = false;
  std::uint32_t error = 0;     // system error when it did not start
  std::uint32_t exitCode = 0;  // the process's exit code once it ended
  bool timedOut = false;       // still running at the end of the wait, and ended
};

class ProcessPort {
 public:
  virtual ~ProcessPort() = default;

  // LoadLibraryW("PSAPI.DLL") and its three functions are available.
  // False models a system without the process-status library.
  virtual bool processStatusAvailable() = 0;
  // EnumProcesses into a table of `capacity` ids. Empty optional on failure.
  virtual std::optional<std::vector<std::uint32_t>> enumProcesses(std::uint32_t capacity) = 0;
  // OpenProcess(query | vm read) + EnumProcessModules + GetModuleBaseNameW of
  // the first module. Empty when the process cannot be opened or listed.
  virtual std::optional<std::wstring> processBaseName(std::uint32_t pid) = 0;
  // GetCurrentProcessId.
  virtual std::uint32_t currentProcessId() = 0;
  // OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE) + TerminateProcess(exitCode),
  // then a wait of a few seconds at most for the process to be gone (the
  // termination itself runs on). Returns false with the system error when
  // the process cannot be opened or terminated; `opened` tells which of the
  // two failed.
  virtual bool terminateProcess(std::uint32_t pid, std::uint32_t exitCode, bool& opened,
                                std::uint32_t& error) = 0;
  // Asks the process to stop the write-safe way, as an interrupt does (the
  // run stops, cleans up and the process ends by itself). On Windows a close
  // request to its stop-request window. False with the system error when it
  // cannot be asked (no such window, a process that is not a copy of this
  // program): only ending it outright is left then.
  virtual bool requestStop(std::uint32_t pid, std::uint32_t& error) = 0;
  // The update lock: one per computer, held by a copy of the program while
  // it writes hubs, so that no other copy ends it then. A named mutex
  // (WaitForSingleObject with no wait / ReleaseMutex); the system gives it
  // up when the holder ends, however it ends. Take and give it up on one
  // thread. True when this call took it.
  virtual bool tryLockUpdate() = 0;
  virtual void unlockUpdate() = 0;
  // CreateProcessW(commandLine, currentDirectory), hidden, and
  // WaitForSingleObject for at most `waitMs`, then GetExitCodeProcess. A
  // process still running then is ended (TerminateProcess) and `timedOut` set.
  virtual ProcessLaunch createProcessAndWait(const std::wstring& commandLine,
                                             const std::wstring& currentDirectory, std::uint32_t waitMs) = 0;
  // ShellExecuteExW(file, parameters, hidden, SEE_MASK_NOCLOSEPROCESS) and a
  // wait of at most `waitMs` for the process to end.
  virtual ProcessLaunch shellExecuteAndWait(const std::wstring& file,
                                            const std::wstring& parameters,
                                            std::uint32_t waitMs) = 0;
};

}  // namespace hbx::platform
