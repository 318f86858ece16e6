#pragma once
// The dialog live in a terminal: every draw repaints the screen with the
// terminal renderer and a line for the OK button; Enter is OK, "q" or Escape
// the close box. Text the program prints while the dialog is shown (message
// boxes) is kept under the dialog instead of being painted over.
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "ui/dialog_view.h"

namespace hbx::ui::render {

// The terminal the view draws on and reads keys from.
class TerminalIo {
 public:
  virtual ~TerminalIo() = default;
  virtual void write(const std::string& text) = 0;
  // The bytes typed since the last call, without waiting; nullopt once the
  // input has ended.
  virtual std::optional<std::string> readTyped() = 0;
  virtual int columns() = 0;
  // Live mode: keys arrive one by one and are not echoed; the cursor hides.
  virtual void setLiveMode(bool on) = 0;
};

class TerminalDialogView : public DialogView {
 public:
  explicit TerminalDialogView(TerminalIo& io);

  void open() override;
  void close() override;
  void draw(DialogControls& controls, bool okEnabled) override;
  UserAction takeAction() override;

  // Text the program writes to standard output: straight through while the
  // dialog is not shown, else kept (the last few lines) under the dialog.
  void programOutput(const std::string& text);

  static constexpr std::size_t kKeptLines = 6;

 private:
  std::string footer(bool okEnabled) const;

  TerminalIo& io_;
  std::mutex mutex_;
  bool open_ = false;
  std::deque<std::string> kept_;
  std::string partialLine_;
};

}  // namespace hbx::ui::render
