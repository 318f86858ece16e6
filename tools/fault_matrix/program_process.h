#pragma once
// One run of the built program as a process of its own on a bench folder,
// on virtual time (HBX_TIME_SCALE=0), without a terminal.
#include <filesystem>
#include <string>
#include <vector>

namespace hbx::faultmatrix {

struct ProgramRun {
  bool started = false;
  bool exited = false;  // ended by itself
  int code = 0;         // the exit status as the program's own signed code (246 is -10)
  int signal = 0;       // the signal that ended it, when it did not exit
  std::string output;   // standard output and error
};

ProgramRun runProgram(const std::filesystem::path& program, const std::filesystem::path& benchFolder,
                      const std::vector<std::string>& arguments, const std::filesystem::path& debugLog);

// A copy of the program in a folder of its own (a hard link when the file
// system allows), so that runs in parallel do not share a program folder.
bool placeProgram(const std::filesystem::path& program, const std::filesystem::path& copy);

}  // namespace hbx::faultmatrix
