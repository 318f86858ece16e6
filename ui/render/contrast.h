#pragma once
// Contrast of text colours against their background, as the common
// accessibility rule measures it (relative luminance; 4.5:1 is the usual
// minimum for normal text, 21:1 black on white).
#include "ui/controls/win_types.h"

namespace hbx::ui::render {

inline constexpr double kReadableContrast = 4.5;

double contrastRatio(Colour a, Colour b);

// `fg` itself when it reads on `bg`; otherwise `fg` moved towards black (on
// a light background) or white (on a dark one) until it does, so a status
// keeps its hue.
Colour readableOn(Colour fg, Colour bg, double minimum = kReadableContrast);

// Black or white, whichever reads better on `bg`.
Colour textOn(Colour bg);

}  // namespace hbx::ui::render
