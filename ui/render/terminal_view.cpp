#include "ui/render/terminal_view.h"

#include <algorithm>

#include "ui/render/terminal_renderer.h"

namespace hbx::ui::render {

namespace {

constexpr auto kFrameInterval = std::chrono::milliseconds(1000 / TerminalDialogView::kFramesPerSecond);

std::string footer(const ViewState& state) {
  if (state.closePending) return "  Closing: the dialog ends when the run has ended.";
  return state.okEnabled ? "  [ OK ]  Enter: OK    q: close" : "  [ OK ]  (disabled while the run goes on)    q: close";
}

// Breaks `text` into pieces of at most `width` characters.
std::vector<std::string> cut(const std::string& text, int width) {
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < text.size(); at += static_cast<std::size_t>(width)) {
    pieces.push_back(text.substr(at, static_cast<std::size_t>(width)));
  }
  return pieces;
}

}  // namespace

TerminalDialogView::TerminalDialogView(TerminalIo& io, Clock clock) : io_(io), clock_(std::move(clock)) {}

void TerminalDialogView::open() {
  std::lock_guard<std::mutex> present(presentMutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) return;
    open_ = true;
  }
  io_.setLiveMode(true);
  columns_ = io_.size().columns;
  shown_.reset();
  shownAt_.reset();
}

void TerminalDialogView::close() {
  show(true);
  std::lock_guard<std::mutex> present(presentMutex_);
  std::string partial;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return;
    open_ = false;
    kept_.clear();
    partial.swap(partialLine_);
  }
  io_.setLiveMode(false);
  // The last picture stays on the screen, as text, with the line the
  // program had begun under it.
  if (shown_) io_.write(shown_->text());
  if (!partial.empty()) io_.write(partial + "\n");
}

bool TerminalDialogView::due(std::chrono::steady_clock::time_point now) const {
  return !shownAt_ || now - *shownAt_ >= kFrameInterval;
}

bool TerminalDialogView::wantsPicture() {
  std::lock_guard<std::mutex> present(presentMutex_);
  return due(clock_());
}

void TerminalDialogView::draw(DialogControls& controls, const ViewState& state) {
  TerminalOptions options;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    options.columns = columns_;
  }
  options.footer = {footer(state)};
  TerminalFrame picture = renderTerminalFrame(controls, options);
  std::lock_guard<std::mutex> lock(mutex_);
  picture_ = std::move(picture);
}

void TerminalDialogView::present() { show(false); }

void TerminalDialogView::show(bool force) {
  std::lock_guard<std::mutex> present(presentMutex_);
  const auto now = clock_();
  if (!force && !due(now)) return;
  const TerminalSize size = io_.size();
  TerminalFrame frame;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || !picture_) return;
    columns_ = size.columns;
    frame = compose(*picture_, size);
  }
  if (shown_ && *shown_ == frame && !io_.lostPicture()) return;
  io_.present(frame);
  shown_ = std::move(frame);
  shownAt_ = now;
}

TerminalFrame TerminalDialogView::compose(const TerminalFrame& dialog, TerminalSize size) const {
  TerminalFrame frame = dialog;
  std::vector<std::string> lines(kept_.begin(), kept_.end());
  if (!partialLine_.empty()) lines.push_back(partialLine_);
  for (const std::string& line : lines) {
    for (const std::string& piece : cut(line, frame.columns())) {
      frame.put(frame.addLine(term::kText, term::kPanel), 0, piece, term::kText, term::kPanel);
    }
  }
  if (frame.rows() <= size.rows && frame.columns() <= size.columns) return frame;
  // A dialog cut off (or scrolled away) would show a wrong picture: say so
  // instead, in what room there is.
  const int columns = std::max(size.columns, 1);
  TerminalFrame note(columns);
  const std::string text = "The terminal is too small for the dialog: it needs " + std::to_string(frame.columns()) +
                           " columns and " + std::to_string(frame.rows()) + " rows, it has " +
                           std::to_string(size.columns) + " x " + std::to_string(size.rows) +
                           ". Enlarge the window; the run goes on.";
  for (const std::string& piece : cut(text, columns)) {
    if (note.rows() >= std::max(size.rows, 1)) break;
    note.put(note.addLine(term::kText, term::kPanel), 0, piece, term::kText, term::kPanel, true);
  }
  return note;
}

UserAction TerminalDialogView::takeAction() {
  const std::optional<std::string> typed = io_.readTyped();
  if (!typed) return UserAction::kNoOneThere;
  for (const TerminalKey& key : keys_.feed(*typed)) {
    if (key.kind == TerminalKey::Kind::kEnter) return UserAction::kOk;
    if (key.kind == TerminalKey::Kind::kEscape) return UserAction::kClose;
    if (key.kind == TerminalKey::Kind::kChar && (key.ch == 'q' || key.ch == 'Q')) return UserAction::kClose;
  }
  return UserAction::kNone;
}

void TerminalDialogView::programOutput(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) {
      for (char c : text) {
        if (c == '\n') {
          kept_.push_back(partialLine_);
          partialLine_.clear();
          if (kept_.size() > kKeptLines) kept_.pop_front();
        } else if (c != '\r') {
          partialLine_ += c;
        }
      }
      return;
    }
  }
  io_.write(text);
}

}  // namespace hbx::ui::render
