#pragma once
// The built program in a program folder of its own, on a bench folder beside
// it: runs to their end, or started in the background to be signalled or
// met by another copy while it writes hubs.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/sim/shell_run.h"
#include "tests/sim/temp_folder.h"

namespace hbx::testing {

struct ProgramRun {
  std::string output;
  std::string errors;  // standard error
  int status = -1;     // the run's code (-10 for 246); -1000 when a signal ended it
  std::string log;
};

// A copy of the program started in the background through the shell (which
// the program replaces, so the pid is the program's).
class StartedProgram {
 public:
  explicit StartedProgram(const std::string& command) {
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl("/bin/sh", "sh", "-c", ("exec env " + command).c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~StartedProgram() {
    if (pid_ > 0 && !ended_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  void signal(int number) const { ::kill(pid_, number); }
  // The run's code, as ProgramRun::status.
  int wait() {
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_) return -2000;
    ended_ = true;
    return WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : -1000;
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
};

class ProgramFolderTest : public ::testing::Test {
 protected:
  ProgramFolderTest() {
    std::filesystem::create_directories(programFolder());
    std::filesystem::copy_file(HBX_PROGRAM_PATH, programFolder() / "8634FWUpgradeTool");
    std::filesystem::create_directories(benchFolder());
  }

  std::filesystem::path programFolder() const { return root_.path() / "program"; }
  std::filesystem::path benchFolder() const { return root_.path() / "bench"; }
  std::filesystem::path driveC() const { return benchFolder() / "drive_c"; }
  std::filesystem::path installedDriver() const {
    return driveC() / "Windows" / "system32" / "drivers" / "zeltufdriver.sys";
  }
  std::filesystem::path workFolder() const { return driveC() / "Windows" / "Temp" / "HBX763xFW"; }
  void bench(const std::string& json) { root_.write("bench/bench.json", json); }
  // The debug log and standard error of the run named `name`.
  std::filesystem::path logOf(const std::string& name) const { return root_.path() / (name + ".log"); }
  std::filesystem::path errorsOf(const std::string& name) const { return root_.path() / (name + ".stderr"); }

  // The shell command of a run named `name` at time scale `scale`; its
  // standard output goes nowhere unless `keepOutput`. `folder`: another
  // program folder with a copy of the program (default: programFolder()).
  std::string command(const std::string& arguments, const std::string& name = "run",
                      const std::string& scale = "0.001", bool keepOutput = false,
                      const std::filesystem::path& folder = {}) const {
    const std::filesystem::path program = (folder.empty() ? programFolder() : folder) / "8634FWUpgradeTool";
    return "HBX_BENCH='" + benchFolder().string() + "' HBX_TIME_SCALE=" + scale + " HBX_DEBUG_LOG='" +
           logOf(name).string() + "' '" + program.string() + "' " + arguments +
           " </dev/null " + (keepOutput ? "" : ">/dev/null ") + "2>'" + errorsOf(name).string() + "'";
  }

  ProgramRun run(const std::string& arguments, const std::string& scale = "0.001") {
    std::filesystem::remove(logOf("run"));
    const ShellRun shell = runShell(command(arguments, "run", scale, true));
    ProgramRun result;
    result.output = shell.output;
    result.errors = readText(errorsOf("run"));
    result.status = shell.exited ? static_cast<signed char>(shell.exitStatus) : -1000;
    result.log = readText(logOf("run"));
    return result;
  }

  // Waits (at most half a minute) until the debug log of `name` holds `line`.
  bool reach(const std::string& name, const std::string& line) const {
    for (int i = 0; i < 3000; ++i) {
      if (readText(logOf(name)).find(line) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // Every file below `folder`, as paths relative to it.
  static std::vector<std::string> filesBelow(const std::filesystem::path& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file() || it->is_symlink())
        files.push_back(std::filesystem::relative(it->path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }
  // The computer as before the run: no file on drive C: (no driver), no
  // driver work folder, nothing beside the program.
  void expectNothingWritten() {
    EXPECT_EQ(filesBelow(driveC()), std::vector<std::string>{});
    EXPECT_FALSE(std::filesystem::exists(workFolder()));
    EXPECT_EQ(filesBelow(programFolder()), std::vector<std::string>{"8634FWUpgradeTool"});
  }

  TempFolder root_;
};

}  // namespace hbx::testing
