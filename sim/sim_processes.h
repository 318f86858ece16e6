#pragma once
// Processes of the simulated computer.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace hbx::sim {

class SimProcesses : public platform::ProcessPort {
 public:
  explicit SimProcesses(std::wstring ownImageName);

  bool processStatusAvailable() override { return true; }
  std::optional<std::vector<std::uint32_t>> enumProcesses(std::uint32_t capacity) override;
  std::optional<std::wstring> processBaseName(std::uint32_t pid) override;
  std::uint32_t currentProcessId() override;
  bool terminateProcess(std::uint32_t pid, std::uint32_t exitCode, bool& opened,
                        std::uint32_t& error) override;
  platform::ProcessLaunch createProcessAndWait(const std::wstring& commandLine,
                                               const std::wstring& currentDirectory) override;
  platform::ProcessLaunch shellExecuteAndWait(const std::wstring& file, const std::wstring& parameters,
                                              std::uint32_t waitMs) override;

 private:
  std::wstring ownImageName_;
};

}  // namespace hbx::sim
