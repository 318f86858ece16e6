#pragma once
// The terminal of the Linux program: standard output for the live dialog,
// standard input for its keys.
#include <optional>
#include <string>
#include <termios.h>

#include "ui/render/terminal_view.h"

namespace hbx::sim {

class PosixTerminal : public ui::render::TerminalIo {
 public:
  PosixTerminal() = default;
  ~PosixTerminal() override;
  PosixTerminal(const PosixTerminal&) = delete;
  PosixTerminal& operator=(const PosixTerminal&) = delete;

  // Whether standard output is a terminal: only then is the dialog drawn.
  static bool outputIsTerminal();

  void write(const std::string& text) override;
  std::optional<std::string> readTyped() override;
  int columns() override;
  void setLiveMode(bool on) override;

 private:
  std::optional<termios> saved_;
  bool inputEnded_ = false;
  bool live_ = false;
};

}  // namespace hbx::sim
