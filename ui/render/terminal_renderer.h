#pragma once
// Draws the dialog as lines of text with ANSI colours, for a live view in a
// terminal: the caption, the version line, the overall bar, the attention
// notice, the hub rows (label, version, bar with its centred percentage in
// two colours) and the status text in its colour.
#include <string>

#include "ui/dialog_controls.h"

namespace hbx::ui::render {

struct TerminalOptions {
  int columns = 72;
  bool colour = true;
  // A line under the dialog, e.g. what the Enter key does; empty for none.
  std::string footer;
};

// The whole dialog as UTF-8 text, one "\n" per line.
std::string renderTerminal(DialogControls& controls, const TerminalOptions& options);

// One progress bar `width` cells wide.
std::string renderTerminalBar(CTextProgressCtrl& bar, int width, bool colour);

}  // namespace hbx::ui::render
