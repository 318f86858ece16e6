#include "sim/sim_windows.h"

#include "base/log/format.h"
#include "platform/box_answer.h"

namespace hbx::sim {

SimWindows::SimWindows(std::function<void(const std::string&)> standardOutput, Ask askUser)
    : standardOutput_(std::move(standardOutput)), askUser_(std::move(askUser)) {}

int SimWindows::defaultAnswer(std::uint32_t flags) { return platform::defaultAnswer(flags); }

int SimWindows::messageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t flags) {
  if (standardOutput_) standardOutput_(toUtf8(L"[" + caption + L"] " + text + L"\n"));
  const int answer = askUser_ ? askUser_(caption, text, flags) : defaultAnswer(flags);
  std::lock_guard<std::mutex> lock(mutex_);
  shown_.push_back({caption, text, flags, answer});
  return answer;
}

std::vector<ShownMessageBox> SimWindows::shown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

}  // namespace hbx::sim
