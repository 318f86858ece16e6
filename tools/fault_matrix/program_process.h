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
  bool hung = false;    // still running after the time limit, and killed then
  std::string output;   // standard output and error
};

// A run takes well under a second of real time on virtual time; one that
// still runs after `limitSeconds` waits for something that never comes.
ProgramRun runProgram(const std::filesystem::path& program, const std::filesystem::path& benchFolder,
                      const std::vector<std::string>& arguments, const std::filesystem::path& debugLog,
                      int limitSeconds = 40);

// How a run ended, for a point's report: "ended with -9", "died of signal 9"...
std::string endedText(const ProgramRun& run);

// A copy of the program in a folder of its own (a hard link when the file
// system allows), so that runs in parallel do not share a program folder.
bool placeProgram(const std::filesystem::path& program, const std::filesystem::path& copy);

}  // namespace hbx::faultmatrix
