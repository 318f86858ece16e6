#pragma once
// Runs a shell command as a child process and collects what it prints
// (standard output and error as the command redirects them) and how it ended.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace hbx::testing {

struct ShellRun {
  std::string output;
  bool exited = false;  // ended by itself, with an exit status
  int exitStatus = 0;   // 0 to 255
};

inline ShellRun runShell(const std::string& command) {
  ShellRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.exited = WIFEXITED(status);
  run.exitStatus = run.exited ? WEXITSTATUS(status) : 0;
  return run;
}

}  // namespace hbx::testing
