#pragma once
// The colours a terminal can show: 24-bit colour when it announces it, else
// the 256-colour palette, else the 16 or 8 basic colours. A text colour that
// loses its contrast in a smaller palette becomes black or white.
#include "ui/controls/win_types.h"

namespace hbx::ui::render {

// Colour numbers as the terminal takes them: a 24-bit value (0xRRGGBB) when
// `colours` is 2^24, else a palette index below `colours`.
struct TerminalColours {
  int fg = 0;
  int bg = 0;
  bool operator==(const TerminalColours&) const = default;
};

inline constexpr int kDirectColours = 0x1000000;

TerminalColours terminalColours(Colour fg, Colour bg, int colours);

// The colour a palette entry stands for (0x00BBGGRR), by the usual xterm
// palette; what the contrast rules are measured on.
Colour paletteColour(int number, int colours);

}  // namespace hbx::ui::render
