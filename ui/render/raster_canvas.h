#pragma once
// A Canvas that paints into an Image with the bitmap font: a view of the
// picture with its own origin and clip, as a window's paint context is.
#include <memory>

#include "ui/controls/canvas.h"
#include "ui/render/image.h"

namespace hbx::ui::render {

class RasterCanvas : public Canvas {
 public:
  // A view of `image` whose logical (0, 0) is the image's `origin` and which
  // draws only inside `clip` (logical units).
  RasterCanvas(Image& image, int originX, int originY, const Rect& clip);
  // A view of the whole image.
  explicit RasterCanvas(Image& image);

  void setOwner(Owner owner, std::optional<Colour> classBackground = std::nullopt);
  void setBackgroundColour(Colour colour) { background_ = colour; }

  void fillRect(const Rect& rect, Colour colour) override;
  void drawText(const std::wstring& text, int x, int y, Colour colour, const Rect& clip) override;
  Size measureText(const std::wstring& text) override;
  Font selectFont(const Font& font) override;
  void drawSunkenEdge(Rect& rect) override;
  Rect clipBox() const override { return clip_; }
  Owner owner() const override { return owner_; }
  std::optional<Colour> classBackground() const override { return classBackground_; }
  Colour backgroundColour() const override { return background_; }
  std::unique_ptr<Canvas> createCompatible(Size size) override;
  void copyFrom(const Canvas& source, const Rect& destination) override;

  // Outlines `rect` one pixel wide.
  void frameRect(const Rect& rect, Colour colour);
  const Image& image() const { return *image_; }

 private:
  // A canvas owning its own picture (an off-screen bitmap).
  RasterCanvas(std::unique_ptr<Image> owned);

  std::unique_ptr<Image> owned_;
  Image* image_;
  int originX_ = 0;
  int originY_ = 0;
  Rect clip_;
  Font font_;
  Owner owner_ = Owner::None;
  std::optional<Colour> classBackground_;
  Colour background_ = kWhite;
};

}  // namespace hbx::ui::render
