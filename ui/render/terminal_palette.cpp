#include "ui/render/terminal_palette.h"

#include "ui/render/contrast.h"

namespace hbx::ui::render {

namespace {

constexpr Colour kBasic[16] = {
    rgb(0, 0, 0),       rgb(205, 0, 0),     rgb(0, 205, 0),     rgb(205, 205, 0),
    rgb(0, 0, 238),     rgb(205, 0, 205),   rgb(0, 205, 205),   rgb(229, 229, 229),
    rgb(127, 127, 127), rgb(255, 0, 0),     rgb(0, 255, 0),     rgb(255, 255, 0),
    rgb(92, 92, 255),   rgb(255, 0, 255),   rgb(0, 255, 255),   rgb(255, 255, 255),
};
constexpr int kCubeLevels[6] = {0, 95, 135, 175, 215, 255};

int distance(Colour a, Colour b) {
  const int dr = redOf(a) - redOf(b);
  const int dg = greenOf(a) - greenOf(b);
  const int db = blueOf(a) - blueOf(b);
  return dr * dr + dg * dg + db * db;
}

int nearest(Colour c, int colours) {
  int best = 0;
  for (int i = 1; i < colours; ++i) {
    if (distance(paletteColour(i, colours), c) < distance(paletteColour(best, colours), c)) best = i;
  }
  return best;
}

int number(Colour c, int colours) {
  if (colours >= kDirectColours) return (redOf(c) << 16) | (greenOf(c) << 8) | blueOf(c);
  return nearest(c, colours >= 256 ? 256 : (colours >= 16 ? 16 : 8));
}

}  // namespace

Colour paletteColour(int number, int colours) {
  if (colours >= kDirectColours) {
    return rgb(static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 8),
               static_cast<std::uint8_t>(number));
  }
  if (number < 16) return kBasic[number];
  if (number < 232) {
    const int n = number - 16;
    return rgb(static_cast<std::uint8_t>(kCubeLevels[n / 36]), static_cast<std::uint8_t>(kCubeLevels[n / 6 % 6]),
               static_cast<std::uint8_t>(kCubeLevels[n % 6]));
  }
  const auto grey = static_cast<std::uint8_t>(8 + 10 * (number - 232));
  return rgb(grey, grey, grey);
}

TerminalColours terminalColours(Colour fg, Colour bg, int colours) {
  TerminalColours out{number(fg, colours), number(bg, colours)};
  const Colour shownBg = paletteColour(out.bg, colours);
  if (contrastRatio(paletteColour(out.fg, colours), shownBg) < kReadableContrast) {
    out.fg = number(textOn(shownBg), colours);
  }
  return out;
}

}  // namespace hbx::ui::render
