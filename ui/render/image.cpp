#include "ui/render/image.h"

namespace hbx::ui::render {

Image::Image(int width, int height, Colour fill)
    : width_(width < 0 ? 0 : width), height_(height < 0 ? 0 : height) {
  rgb_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) set(x, y, fill);
  }
}

Colour Image::at(int x, int y) const {
  if (!contains(x, y)) return kBlack;
  const std::size_t o = offset(x, y);
  return ui::rgb(rgb_[o], rgb_[o + 1], rgb_[o + 2]);
}

void Image::set(int x, int y, Colour colour) {
  if (!contains(x, y)) return;
  const std::size_t o = offset(x, y);
  rgb_[o] = redOf(colour);
  rgb_[o + 1] = greenOf(colour);
  rgb_[o + 2] = blueOf(colour);
}

void Image::blend(int x, int y, Colour colour, std::uint8_t alpha) {
  if (!contains(x, y) || alpha == 0) return;
  if (alpha == 255) {
    set(x, y, colour);
    return;
  }
  const std::size_t o = offset(x, y);
  const std::uint8_t parts[3] = {redOf(colour), greenOf(colour), blueOf(colour)};
  for (int i = 0; i < 3; ++i) {
    const int mixed = (parts[i] * alpha + rgb_[o + static_cast<std::size_t>(i)] * (255 - alpha) + 127) / 255;
    rgb_[o + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(mixed);
  }
}

}  // namespace hbx::ui::render
