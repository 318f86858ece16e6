#pragma once
// A terminal for the live view's tests: keeps what is written, hands out
// what the test has typed, and can end its input.
#include <mutex>
#include <optional>
#include <string>

#include "ui/render/terminal_view.h"

namespace hbx::testing {

class FakeTerminal : public ui::render::TerminalIo {
 public:
  void write(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    written_ += text;
  }
  std::optional<std::string> readTyped() override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<std::string> out = typed_;
    if (typed_) typed_ = std::string();
    return out;
  }
  int columns() override { return 72; }
  void setLiveMode(bool on) override {
    std::lock_guard<std::mutex> lock(mutex_);
    live_ = on;
    if (on) ++openings_;
  }

  // Keys to hand out next; nullopt: the input ends.
  void type(std::optional<std::string> keys) {
    std::lock_guard<std::mutex> lock(mutex_);
    typed_ = std::move(keys);
  }
  std::string written() {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
  }
  void clearWritten() {
    std::lock_guard<std::mutex> lock(mutex_);
    written_.clear();
  }
  bool live() {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_;
  }
  int openings() {
    std::lock_guard<std::mutex> lock(mutex_);
    return openings_;
  }

 private:
  std::mutex mutex_;
  std::string written_;
  std::optional<std::string> typed_ = std::string();
  bool live_ = false;
  int openings_ = 0;
};

}  // namespace hbx::testing
