#pragma once
// An RGB picture in memory.
#include <cstdint>
#include <vector>

#include "ui/controls/win_types.h"

namespace hbx::ui::render {

class Image {
 public:
  Image() = default;
  Image(int width, int height, Colour fill = kWhite);

  int width() const { return width_; }
  int height() const { return height_; }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // Colours outside the picture read as black.
  Colour at(int x, int y) const;
  void set(int x, int y, Colour colour);
  // Mixes `colour` over the pixel with coverage `alpha` (0-255).
  void blend(int x, int y, Colour colour, std::uint8_t alpha);
  // Rows of R, G, B bytes.
  const std::vector<std::uint8_t>& rgb() const { return rgb_; }

 private:
  std::size_t offset(int x, int y) const {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 3;
  }
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> rgb_;
};

}  // namespace hbx::ui::render
