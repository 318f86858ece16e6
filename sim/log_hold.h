#pragma once
// Bench field holdAtLog: a run held at a moment of its own, so that another
// copy of the program or a signal meets it exactly there, however fast the
// machine is. The first tool on the bench that sends a debug-output string
// holding the text waits in that call until it is asked to stop (an
// interrupt) or a release file appears, or for good.
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace hbx::sim {

struct LogHoldField {
  std::string text;             // UTF-8, not empty
  bool releasedByStop = true;   // false: held until the process is ended
  std::string releaseFile;      // not empty: also released once this file is in the bench folder
};

// The field from bench.json; empty when absent. `error` names a wrong one.
std::optional<LogHoldField> readLogHold(const nlohmann::json& document, std::string& error);

class LogHold {
 public:
  // `benchFolder`: where the file that takes the hold for one tool of the
  // bench is made, and the release file looked for (empty: the built-in
  // bench, one hold per process). `stopRequests`: the interrupts the program
  // has had.
  LogHold(LogHoldField field, std::filesystem::path benchFolder, std::function<int()> stopRequests);

  // Called with every debug-output string, outside any lock of the channel.
  void onLine(const std::string& utf8);

 private:
  LogHoldField field_;
  std::filesystem::path folder_;
  std::function<int()> stopRequests_;
  std::atomic<bool> spent_{false};
};

}  // namespace hbx::sim
