#pragma once
// The terminal of the Linux program: standard output for the live dialog,
// drawn through ncurses (only the changed cells, one write per frame, the
// terminal's own colour depth), standard input for its keys. The terminal
// is given back as it was on every way out: the end of the dialog (also
// after Ctrl-C, Ctrl-\, SIGTERM or SIGHUP, which stop the run), the end of
// the process from outside, and around Ctrl-Z (the dialog comes back with
// fg).
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "ui/render/terminal_view.h"

struct screen;

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
  void present(const ui::render::TerminalFrame& frame) override;
  std::optional<std::string> readTyped() override;
  ui::render::TerminalSize size() override;
  bool lostPicture() override;
  void setLiveMode(bool on) override;

  // Puts the terminal back as it was before the dialog: modes, colours,
  // cursor. Safe inside a signal handler; does nothing while no dialog is
  // live. For what ends the process from outside.
  static void restoreForSignal();

 private:
  short pairOf(int fg, int bg);

  screen* screen_ = nullptr;
  bool inputEnded_ = false;
  int colours_ = 0;
  std::map<std::pair<int, int>, short> pairs_;
  ui::render::TerminalSize shownSize_;
};

}  // namespace hbx::sim
