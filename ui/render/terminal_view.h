#pragma once
// The dialog live in a terminal. The modal loop hands the view a picture of
// the dialog (taken on the UI thread, in memory only) and asks it to present
// the newest one: at most kFramesPerSecond times a second, only when it
// changed, through a terminal that sends only the changed cells. Enter is
// OK, "q" or Escape the close box. Text the program prints while the dialog
// is shown (message boxes) is kept under the dialog instead of being
// painted over.
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "ui/dialog_view.h"
#include "ui/render/terminal_frame.h"
#include "ui/render/terminal_keys.h"

namespace hbx::ui::render {

struct TerminalSize {
  int rows = 24;
  int columns = 80;
};

// The terminal the view draws on and reads keys from.
class TerminalIo {
 public:
  virtual ~TerminalIo() = default;
  // Plain text, while the dialog is not shown.
  virtual void write(const std::string& text) = 0;
  // Live mode: shows `frame` from the top-left corner, sending only what
  // differs from the frame shown before, in one piece.
  virtual void present(const TerminalFrame& frame) = 0;
  // The bytes typed since the last call, without waiting; nullopt once the
  // input has ended.
  virtual std::optional<std::string> readTyped() = 0;
  virtual TerminalSize size() = 0;
  // True when the screen no longer shows the last frame (resized, or back
  // after a stop): the next frame is presented even if it did not change.
  virtual bool lostPicture() { return false; }
  // Live mode: keys arrive one by one and are not echoed; the cursor hides.
  // Off again, the terminal is as it was before.
  virtual void setLiveMode(bool on) = 0;
};

class TerminalDialogView : public DialogView {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  explicit TerminalDialogView(TerminalIo& io, Clock clock = &std::chrono::steady_clock::now);

  void open() override;
  void close() override;
  bool wantsPicture() override;
  void draw(DialogControls& controls, const ViewState& state) override;
  void present() override;
  UserAction takeAction() override;

  // Text the program writes to standard output: straight through while the
  // dialog is not shown, else kept (the last few lines) under the dialog.
  void programOutput(const std::string& text);

  static constexpr std::size_t kKeptLines = 6;
  static constexpr int kFramesPerSecond = 10;

 private:
  // The frame to show on a terminal of `size`: the dialog and the kept
  // lines, or a note that the terminal is too small for them.
  TerminalFrame compose(const TerminalFrame& dialog, TerminalSize size) const;
  bool due(std::chrono::steady_clock::time_point now) const;
  // Presents the newest picture; `force`: also before the next frame is due.
  void show(bool force);

  TerminalIo& io_;
  Clock clock_;
  TerminalKeyDecoder keys_;
  // Guards what the threads share; never held while the terminal is written.
  std::mutex mutex_;
  bool open_ = false;
  std::deque<std::string> kept_;
  std::string partialLine_;
  std::optional<TerminalFrame> picture_;
  int columns_ = 80;
  // Only the loop's thread presents; this keeps a close from overtaking it.
  std::mutex presentMutex_;
  std::optional<TerminalFrame> shown_;
  std::optional<std::chrono::steady_clock::time_point> shownAt_;
};

}  // namespace hbx::ui::render
