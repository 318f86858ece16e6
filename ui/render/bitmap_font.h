#pragma once
// The renderers' own bitmap font: one 5 x 9 glyph per printable ASCII
// character (rows 0-6 above the baseline, 7-8 the descenders), scaled to
// any font height with area coverage so that it stays legible.
#include <cstdint>
#include <vector>

#include "ui/controls/win_types.h"

namespace hbx::ui::render {

inline constexpr int kGlyphRows = 9;
inline constexpr int kGlyphColumns = 5;

// The rows of `ch` (bit 4 is the leftmost column); characters outside the
// table show as "?".
const std::uint8_t* glyphRows(wchar_t ch);

// A coverage mask: 0 (none) to 255 (fully covered), row by row.
struct Mask {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> alpha;
  std::uint8_t at(int x, int y) const { return alpha[static_cast<std::size_t>(y * width + x)]; }
};

// How a logical font maps onto the glyph grid.
class FontScale {
 public:
  explicit FontScale(const Font& font);
  // The cell height in pixels (tmHeight).
  int cellHeight() const { return cellHeight_; }
  // The extent of `text`: along it and its cell height.
  Size measure(const std::wstring& text) const;
  // The text drawn unrotated with its cell's top-left at (0, 0).
  Mask render(const std::wstring& text) const;

 private:
  double advanceUnits() const { return bold_ ? 7.0 : 6.0; }
  int cellHeight_ = 0;
  double unitX_ = 1;
  double unitY_ = 1;
  bool bold_ = false;
};

// The dialog base units for a dialog font: the average width of the letters
// and the cell height, as the dialog manager takes them.
Size dialogBaseUnits(const Font& font);

}  // namespace hbx::ui::render
