#include "ui/render/terminal_view.h"

#include "ui/render/terminal_renderer.h"

namespace hbx::ui::render {

namespace {
const char* const kHome = "\x1b[H\x1b[2J";
constexpr char kEscape = 0x1b;
}  // namespace

TerminalDialogView::TerminalDialogView(TerminalIo& io) : io_(io) {}

void TerminalDialogView::open() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_) return;
  open_ = true;
  io_.setLiveMode(true);
}

void TerminalDialogView::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return;
  open_ = false;
  io_.setLiveMode(false);
  // The last picture stays on the screen; what was kept under it is there.
  kept_.clear();
  if (!partialLine_.empty()) io_.write(partialLine_ + "\n");
  partialLine_.clear();
}

std::string TerminalDialogView::footer(bool okEnabled) const {
  return okEnabled ? "  [ OK ]  Enter: OK    q: close" : "  [ OK ]  (disabled while the run goes on)    q: close";
}

void TerminalDialogView::draw(DialogControls& controls, bool okEnabled) {
  TerminalOptions options;
  options.columns = io_.columns();
  options.footer = footer(okEnabled);
  std::string picture = kHome + renderTerminal(controls, options);
  std::lock_guard<std::mutex> lock(mutex_);
  for (const std::string& line : kept_) picture += line + "\n";
  if (!partialLine_.empty()) picture += partialLine_ + "\n";
  io_.write(picture);
}

UserAction TerminalDialogView::takeAction() {
  const std::optional<std::string> typed = io_.readTyped();
  if (!typed) return UserAction::kNoOneThere;
  for (char c : *typed) {
    if (c == '\r' || c == '\n') return UserAction::kOk;
    if (c == 'q' || c == 'Q' || c == kEscape) return UserAction::kClose;
  }
  return UserAction::kNone;
}

void TerminalDialogView::programOutput(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) {
    io_.write(text);
    return;
  }
  for (char c : text) {
    if (c == '\n') {
      kept_.push_back(partialLine_);
      partialLine_.clear();
      if (kept_.size() > kKeptLines) kept_.pop_front();
    } else if (c != '\r') {
      partialLine_ += c;
    }
  }
}

}  // namespace hbx::ui::render
