#include "sim/log_hold.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace hbx::sim {

std::optional<LogHoldField> readLogHold(const nlohmann::json& document, std::string& error) {
  if (!document.contains("holdAtLog")) return std::nullopt;
  const nlohmann::json& hold = document["holdAtLog"];
  if (!hold.is_object() || !hold.contains("text") || !hold["text"].is_string() ||
      hold["text"].get<std::string>().empty()) {
    error = "/holdAtLog: expected an object with a text";
    return std::nullopt;
  }
  LogHoldField field;
  field.text = hold["text"].get<std::string>();
  for (const auto& [key, value] : hold.items()) {
    if (key == "text") continue;
    if (key == "releasedByStop" && value.is_boolean()) {
      field.releasedByStop = value.get<bool>();
    } else if (key == "releaseFile" && value.is_string() && !value.get<std::string>().empty()) {
      field.releaseFile = value.get<std::string>();
    } else {
      error = "/holdAtLog/" + key + ": expected releasedByStop (true or false) or releaseFile (a file name)";
      return std::nullopt;
    }
  }
  return field;
}

LogHold::LogHold(LogHoldField field, std::filesystem::path benchFolder, std::function<int()> stopRequests)
    : field_(std::move(field)), folder_(std::move(benchFolder)), stopRequests_(std::move(stopRequests)) {}

void LogHold::onLine(const std::string& utf8) {
  if (spent_.load() || utf8.find(field_.text) == std::string::npos || spent_.exchange(true)) return;
  if (!folder_.empty()) {
    // Taken once per bench: the other tools on it run through.
    const int fd = ::open((folder_ / "hold-at-log.taken").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return;
    ::close(fd);
  }
  const auto released = [&] {
    if (field_.releasedByStop && stopRequests_() > 0) return true;
    std::error_code ec;
    return !field_.releaseFile.empty() && std::filesystem::exists(folder_ / field_.releaseFile, ec);
  };
  // Real time: the hold stands for something outside the program's clock.
  const timespec tenMs{0, 10'000'000};
  while (!released()) ::nanosleep(&tenMs, nullptr);
}

}  // namespace hbx::sim
