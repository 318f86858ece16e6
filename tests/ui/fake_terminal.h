#pragma once
// A terminal for the live view's tests: keeps what is written and every
// frame presented (as text), hands out what the test has typed, can end its
// input, and can be paused like a terminal after Ctrl-S.
#include <condition_variable>
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
  void present(const ui::render::TerminalFrame& frame) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++presentsStarted_;
    resumed_.wait(lock, [&] { return !paused_; });
    written_ += frame.text();
    lastFrame_ = frame;
    ++frames_;
  }
  std::optional<std::string> readTyped() override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<std::string> out = typed_;
    if (typed_) typed_ = std::string();
    return out;
  }
  ui::render::TerminalSize size() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_;
  }
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
  // Paused, a present waits until the terminal goes on (Ctrl-S, Ctrl-Q).
  void pause(bool paused) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      paused_ = paused;
    }
    resumed_.notify_all();
  }
  void resize(ui::render::TerminalSize size) {
    std::lock_guard<std::mutex> lock(mutex_);
    size_ = size;
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
  int frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  int presentsStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return presentsStarted_;
  }
  ui::render::TerminalFrame lastFrame() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastFrame_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable resumed_;
  std::string written_;
  std::optional<std::string> typed_ = std::string();
  ui::render::TerminalSize size_{40, 72};
  ui::render::TerminalFrame lastFrame_;
  bool live_ = false;
  bool paused_ = false;
  int openings_ = 0;
  int frames_ = 0;
  int presentsStarted_ = 0;
};

}  // namespace hbx::testing
