#pragma once
// The one table of the program's exit codes: the run, the run report, its
// schema and the README's exit table all name these (a test keeps the last
// two in step with this table).
#include <array>
#include <optional>

namespace hbx {

enum class ExitCode : int {
  kOk = 0,
  kFailed = -1,
  kNoHubFound = -4,
  kExtraFilesFailed = -5,
  kVerifyFailed = -7,
  kTimeOut = -9,
  kCommandLineError = -10,
  kOtherCopyUpdating = -11,
  kStopped = -12,
  kFilterDriverMissing = -20,
};

// The process exit status of `code` (the run record keeps it as an int).
constexpr int exitValue(ExitCode code) { return static_cast<int>(code); }

struct ExitCodeEntry {
  ExitCode code;
  const char* meaning;  // what the code tells a script about the hubs
};

inline constexpr std::array<ExitCodeEntry, 10> kExitCodeTable{{
    {ExitCode::kOk, "every target hub holds the new firmware (or already ran it); for other modes: passed"},
    {ExitCode::kFailed, "a hub was not written completely, or could not be opened or read"},
    {ExitCode::kNoHubFound, "no target hub was found"},
    {ExitCode::kExtraFilesFailed, "the device-console tool could not be placed in the program folder"},
    {ExitCode::kVerifyFailed,
     "a hub read back wrong, its reset failed or it came back with another version; check mode: a version did not match"},
    {ExitCode::kTimeOut, "a hub's reset turn or the whole run timed out"},
    {ExitCode::kCommandLineError,
     "refused before any hub was touched: command line, firmware source or too many hubs"},
    {ExitCode::kOtherCopyUpdating, "another copy of the program was writing hubs"},
    {ExitCode::kStopped, "the run was stopped before every hub was done"},
    {ExitCode::kFilterDriverMissing, "the filter driver could not be installed or found"},
}};

// The table's entry for an exit status, if it is one of the program's codes.
constexpr std::optional<ExitCodeEntry> findExitCode(int value) {
  for (const ExitCodeEntry& entry : kExitCodeTable)
    if (exitValue(entry.code) == value) return entry;
  return std::nullopt;
}

}  // namespace hbx
