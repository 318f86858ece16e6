#include "ui/render/raster_canvas.h"

#include "ui/render/bitmap_font.h"

namespace hbx::ui::render {

RasterCanvas::RasterCanvas(Image& image, int originX, int originY, const Rect& clip)
    : image_(&image), originX_(originX), originY_(originY), clip_(clip) {}

RasterCanvas::RasterCanvas(Image& image) : RasterCanvas(image, 0, 0, Rect{0, 0, image.width(), image.height()}) {}

RasterCanvas::RasterCanvas(std::unique_ptr<Image> owned)
    : owned_(std::move(owned)), image_(owned_.get()), clip_{0, 0, image_->width(), image_->height()} {}

void RasterCanvas::setOwner(Owner owner, std::optional<Colour> classBackground) {
  owner_ = owner;
  classBackground_ = classBackground;
}

void RasterCanvas::fillRect(const Rect& rect, Colour colour) {
  const Rect r = intersect(rect, clip_);
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) image_->set(x + originX_, y + originY_, colour);
  }
}

void RasterCanvas::frameRect(const Rect& rect, Colour colour) {
  fillRect(Rect{rect.left, rect.top, rect.right, rect.top + 1}, colour);
  fillRect(Rect{rect.left, rect.bottom - 1, rect.right, rect.bottom}, colour);
  fillRect(Rect{rect.left, rect.top, rect.left + 1, rect.bottom}, colour);
  fillRect(Rect{rect.right - 1, rect.top, rect.right, rect.bottom}, colour);
}

void RasterCanvas::drawText(const std::wstring& text, int x, int y, Colour colour, const Rect& clip) {
  const Rect limit = intersect(clip, clip_);
  if (limit.empty() || text.empty()) return;
  const Mask mask = FontScale(font_).render(text);
  const bool upwards = font_.escapement == 900;
  for (int my = 0; my < mask.height; ++my) {
    for (int mx = 0; mx < mask.width; ++mx) {
      const std::uint8_t a = mask.at(mx, my);
      if (a == 0) continue;
      // Turned by 90 degrees the text runs up from (x, y), its top to the left.
      const int px = upwards ? x + my : x + mx;
      const int py = upwards ? y - mx - 1 : y + my;
      if (px < limit.left || px >= limit.right || py < limit.top || py >= limit.bottom) continue;
      image_->blend(px + originX_, py + originY_, colour, a);
    }
  }
}

Size RasterCanvas::measureText(const std::wstring& text) { return FontScale(font_).measure(text); }

Font RasterCanvas::selectFont(const Font& font) {
  Font old = font_;
  font_ = font;
  return old;
}

void RasterCanvas::drawSunkenEdge(Rect& rect) {
  // A flat sunken edge: the shadow colour outside, the face colour inside.
  frameRect(rect, kSystemColours.shadow);
  const Rect inside{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
  frameRect(inside, kSystemColours.buttonFace);
  rect = Rect{rect.left + 2, rect.top + 2, rect.right - 2, rect.bottom - 2};
}

std::unique_ptr<Canvas> RasterCanvas::createCompatible(Size size) {
  if (size.cx <= 0 || size.cy <= 0) return nullptr;
  std::unique_ptr<RasterCanvas> bitmap(new RasterCanvas(std::make_unique<Image>(size.cx, size.cy, background_)));
  bitmap->owner_ = owner_;
  bitmap->classBackground_ = classBackground_;
  bitmap->background_ = background_;
  return bitmap;
}

void RasterCanvas::copyFrom(const Canvas& source, const Rect& destination) {
  const auto* bitmap = dynamic_cast<const RasterCanvas*>(&source);
  if (!bitmap) return;
  const Rect r = intersect(destination, clip_);
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      image_->set(x + originX_, y + originY_,
                  bitmap->image_->at(x - destination.left, y - destination.top));
    }
  }
}

}  // namespace hbx::ui::render
