#include "tools/fault_matrix/program_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>

extern char** environ;

namespace hbx::faultmatrix {

namespace fs = std::filesystem;

std::string endedText(const ProgramRun& run) {
  if (!run.started) return "did not start";
  if (run.hung) return "never ended (killed after its time limit)";
  if (!run.exited) return "died of signal " + std::to_string(run.signal);
  return "ended with " + std::to_string(run.code);
}

ProgramRun runProgram(const fs::path& program, const fs::path& benchFolder, const std::vector<std::string>& arguments,
                      const fs::path& debugLog, int limitSeconds) {
  ProgramRun run;
  // Everything the child needs is built before the fork: between fork and
  // exec only async-signal-safe calls are made.
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("HBX_", 0) != 0) environment.push_back(entry);
  }
  environment.push_back("HBX_BENCH=" + benchFolder.string());
  environment.push_back("HBX_TIME_SCALE=0");
  environment.push_back("HBX_DEBUG_LOG=" + debugLog.string());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string path = program.string();
  std::vector<std::string> args = arguments;
  std::vector<char*> argv{path.data()};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return run;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return run;
  }
  if (child == 0) {
    const int nullFd = ::open("/dev/null", O_RDONLY);
    if (nullFd >= 0) ::dup2(nullFd, 0);
    ::dup2(pipeFds[1], 1);
    ::dup2(pipeFds[1], 2);
    ::execve(path.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  run.started = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{pipeFds[0], POLLIN, 0};
    const int polled = left.count() > 0 ? ::poll(&ready, 1, static_cast<int>(left.count())) : 0;
    if (polled == 0) {
      run.hung = true;
      ::kill(child, SIGKILL);
      break;
    }
    if (polled < 0) {
      if (errno == EINTR) continue;
      break;
    }
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n > 0) run.output.append(buffer, static_cast<std::size_t>(n));
    else if (n == 0 || errno != EINTR) break;
  }
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  run.exited = WIFEXITED(status);
  if (run.exited) run.code = static_cast<std::int8_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  return run;
}

bool placeProgram(const fs::path& program, const fs::path& copy) {
  std::error_code ec;
  fs::create_directories(copy.parent_path(), ec);
  fs::create_hard_link(program, copy, ec);
  if (!ec) return true;
  return fs::copy_file(program, copy, fs::copy_options::overwrite_existing, ec);
}

}  // namespace hbx::faultmatrix
