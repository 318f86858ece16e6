#include "sim/sim_processes.h"

#include <unistd.h>

namespace hbx::sim {

SimProcesses::SimProcesses(std::wstring ownImageName) : ownImageName_(std::move(ownImageName)) {}

std::optional<std::vector<std::uint32_t>> SimProcesses::enumProcesses(std::uint32_t /*capacity*/) {
  return std::vector<std::uint32_t>{currentProcessId()};
}

std::optional<std::wstring> SimProcesses::processBaseName(std::uint32_t pid) {
  if (pid == currentProcessId()) return ownImageName_;
  return std::nullopt;
}

std::uint32_t SimProcesses::currentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

bool SimProcesses::terminateProcess(std::uint32_t, std::uint32_t, bool& opened, std::uint32_t& error) {
  opened = false;
  error = platform::err::kInvalidParameter;
  return false;
}

platform::ProcessLaunch SimProcesses::createProcessAndWait(const std::wstring&, const std::wstring&) {
  return {false, platform::err::kFileNotFound, 0};
}

platform::ProcessLaunch SimProcesses::shellExecuteAndWait(const std::wstring&, const std::wstring&, std::uint32_t) {
  return {false, platform::err::kFileNotFound, 0};
}

}  // namespace hbx::sim
