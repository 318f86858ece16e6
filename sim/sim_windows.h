#pragma once
// Message boxes on the simulated host: a box that is shown prints
// "[Caption] text" and a line feed to standard output and takes its default
// answer, unless a terminal is attached to ask.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/windows.h"

namespace hbx::sim {

struct ShownMessageBox {
  std::wstring caption;
  std::wstring text;
  std::uint32_t flags = 0;
  int answer = 0;
};

class SimWindows : public platform::WindowPort {
 public:
  using Ask = std::function<int(const std::wstring&, const std::wstring&, std::uint32_t)>;
  SimWindows(std::function<void(const std::string&)> standardOutput, Ask askUser);

  int messageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t flags) override;

  // The boxes shown so far, oldest first.
  std::vector<ShownMessageBox> shown() const;

  // The answer a box takes when nobody is asked.
  static int defaultAnswer(std::uint32_t flags);

 private:
  std::function<void(const std::string&)> standardOutput_;
  Ask askUser_;
  mutable std::mutex mutex_;
  std::vector<ShownMessageBox> shown_;
};

}  // namespace hbx::sim
