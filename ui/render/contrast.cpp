#include "ui/render/contrast.h"

#include <algorithm>
#include <cmath>

namespace hbx::ui::render {

namespace {

double channel(std::uint8_t value) {
  const double c = value / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(Colour c) {
  return 0.2126 * channel(redOf(c)) + 0.7152 * channel(greenOf(c)) + 0.0722 * channel(blueOf(c));
}

// `c` moved `step` (0 to 1) of the way towards `target`.
Colour mix(Colour c, Colour target, double step) {
  auto one = [&](std::uint8_t from, std::uint8_t to) {
    return static_cast<std::uint8_t>(std::lround(from + (to - from) * step));
  };
  return rgb(one(redOf(c), redOf(target)), one(greenOf(c), greenOf(target)), one(blueOf(c), blueOf(target)));
}

}  // namespace

double contrastRatio(Colour a, Colour b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Colour textOn(Colour bg) { return contrastRatio(kBlack, bg) >= contrastRatio(kWhite, bg) ? kBlack : kWhite; }

Colour readableOn(Colour fg, Colour bg, double minimum) {
  const Colour target = textOn(bg);
  for (int i = 0; i <= 20; ++i) {
    const Colour c = mix(fg, target, i / 20.0);
    if (contrastRatio(c, bg) >= minimum) return c;
  }
  return target;
}

}  // namespace hbx::ui::render
