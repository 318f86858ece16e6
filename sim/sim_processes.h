#pragma once
// Processes of the simulated computer. A bench is one computer: every tool
// running on a bench folder registers itself in <bench>/processes/<id>, so
// tools on the same bench see (and may end) each other, while tools on other
// benches, or on the built-in bench, never do. The bench may also list
// simulated processes that exist only in its description.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/processes.h"
#include "sim/bench.h"

namespace hbx::sim {

// One registered real process, as its registration file records it.
struct ProcessRegistration {
  std::uint32_t realPid = 0;         // the process on this machine
  std::uint64_t startTime = 0;       // its start time, to tell a reused pid
  std::wstring image;
};

class SimProcesses : public platform::ProcessPort {
 public:
  // `registryFolder` is the bench's processes/ folder; empty for the built-in
  // bench, which sees only its own process and the simulated ones.
  SimProcesses(std::wstring ownImageName, std::optional<std::filesystem::path> registryFolder,
               std::vector<BenchProcess> simulated, bool processStatusLibrary);
  ~SimProcesses() override;
  SimProcesses(const SimProcesses&) = delete;
  SimProcesses& operator=(const SimProcesses&) = delete;

  bool processStatusAvailable() override { return processStatusLibrary_; }
  std::optional<std::vector<std::uint32_t>> enumProcesses(std::uint32_t capacity) override;
  std::optional<std::wstring> processBaseName(std::uint32_t pid) override;
  std::uint32_t currentProcessId() override { return ownId_; }
  bool terminateProcess(std::uint32_t pid, std::uint32_t exitCode, bool& opened,
                        std::uint32_t& error) override;
  // A tool of this machine gets SIGTERM, one of its interrupts. Another
  // host inside this process and the bench's simulated processes cannot
  // be asked.
  bool requestStop(std::uint32_t pid, std::uint32_t& error) override;
  // On a bench folder the lock is an exclusive flock of
  // processes/update.lock, which the system gives up with the process.
  bool tryLockUpdate() override;
  void unlockUpdate() override;
  platform::ProcessLaunch createProcessAndWait(const std::wstring& commandLine,
                                               const std::wstring& currentDirectory, std::uint32_t waitMs) override;
  platform::ProcessLaunch shellExecuteAndWait(const std::wstring& file, const std::wstring& parameters,
                                              std::uint32_t waitMs) override;

  // The signal TerminateProcess sends a tool of this machine, with the exit
  // code as its value (sigqueue); sim/signal_watch.h ends the tool with it.
  static int terminateSignal();

  // ---- Commands the simulated computer runs (sim/usb/: the device console) --
  // A handler answers ShellExecuteExW of the programs it knows and returns
  // nothing for the others, which keep failing with error 2.
  using ShellHandler = std::function<std::optional<platform::ProcessLaunch>(const std::wstring& file,
                                                                            const std::wstring& parameters)>;
  void setShellHandler(ShellHandler handler) { shellHandler_ = std::move(handler); }
  // A handler answers CreateProcessW of the commands it knows (sim/setup/:
  // the setup library, batch scripts); any other command fails to start
  // with error 2. `waitMs` is the caller's limit for the wait.
  using CommandHandler = std::function<std::optional<platform::ProcessLaunch>(
      const std::wstring& commandLine, const std::wstring& currentDirectory, std::uint32_t waitMs)>;
  void setCommandHandler(CommandHandler handler) { commandHandler_ = std::move(handler); }

  // True while this process's own registration is on the bench (false on the
  // built-in bench, and after another tool on the bench ended it).
  bool ownRegistrationPresent() const;

  // Registers a real process of this machine under `id` in `folder`; false
  // when the id is taken or the file cannot be written.
  static bool registerProcess(const std::filesystem::path& folder, std::uint32_t id,
                              std::uint32_t realPid, const std::wstring& image);
  // The start time of a running process, empty when it does not run.
  static std::optional<std::uint64_t> processStartTime(std::uint32_t realPid);

 private:
  std::optional<ProcessRegistration> liveRegistration(std::uint32_t id) const;
  void registerSelf();

  std::wstring ownImageName_;
  std::optional<std::filesystem::path> folder_;
  bool processStatusLibrary_;
  std::uint32_t ownId_ = 0;
  bool registered_ = false;
  int updateLock_ = -1;        // the locked file while the lock is held
  bool updateLocked_ = false;  // the built-in bench: nobody else can see it
  mutable std::mutex mutex_;
  std::vector<BenchProcess> simulated_;
  ShellHandler shellHandler_;  // set once while the host is built
  CommandHandler commandHandler_;  // likewise
};

}  // namespace hbx::sim
