#pragma once
// Draws the dialog as a grid of character cells for a live view in a
// terminal: the caption, the version line, the overall bar, the attention
// notice, the hub rows (label, version, bar with its centred percentage) and
// the status text in its colour. The dialog brings its own background, and
// every text on it gets a colour chosen to read there, so the picture is
// the same on light and dark terminal themes.
#include <string>
#include <vector>

#include "ui/dialog_controls.h"
#include "ui/render/terminal_frame.h"

namespace hbx::ui::render {

// The colours of the terminal dialog (0x00BBGGRR).
namespace term {
inline constexpr Colour kPanel = rgb(240, 240, 240);  // the dialog's face
inline constexpr Colour kText = rgb(0, 0, 0);         // 18.1:1 on the face
inline constexpr Colour kTitleBar = rgb(0, 84, 153);  // caption bar
inline constexpr Colour kTitleText = rgb(255, 255, 255);  // 7.6:1 on the bar
inline constexpr Colour kTrough = rgb(190, 190, 190);     // the empty part of a bar
}  // namespace term

struct TerminalOptions {
  int columns = 72;
  // Lines under the dialog (the OK line, what the program printed); empty
  // for none.
  std::vector<std::string> footer;
};

// The narrowest and widest dialog the terminal view draws.
inline constexpr int kMinTerminalColumns = 40;
inline constexpr int kMaxTerminalColumns = 100;

// The whole dialog as cells, `options.columns` wide (kept within the limits).
TerminalFrame renderTerminalFrame(DialogControls& controls, const TerminalOptions& options);

// The same as text, one "\n" per line.
std::string renderTerminal(DialogControls& controls, const TerminalOptions& options);

// One progress bar `width` cells wide, into `row` of `frame` from `column`.
void renderTerminalBar(TerminalFrame& frame, int row, int column, CTextProgressCtrl& bar, int width);

}  // namespace hbx::ui::render
