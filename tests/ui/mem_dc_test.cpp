// CMyMemDC: drawing stays off-screen until the surface is destroyed, and
// the off-screen copy starts with the owner's background.
#include <gtest/gtest.h>

#include "ui/controls/mem_dc.h"
#include "ui/render/raster_canvas.h"

namespace hbx::ui {
namespace {

using render::Image;
using render::RasterCanvas;

class PrinterCanvas : public RasterCanvas {
 public:
  using RasterCanvas::RasterCanvas;
  bool isPrinter() const override { return true; }
};

TEST(MemDC, DrawsOffScreenAndCopiesOnDestruction) {
  Image image(20, 10, kWhite);
  RasterCanvas target(image);
  target.setBackgroundColour(kBlue);
  const Rect part{5, 2, 15, 8};
  {
    CMyMemDC dc(target, &part);
    EXPECT_TRUE(dc.bMemDC());
    dc.fillRect(Rect{6, 3, 8, 5}, kRed);  // logical coordinates of the target
    EXPECT_EQ(image.at(6, 3), kWhite);
  }
  EXPECT_EQ(image.at(6, 3), kRed);
  EXPECT_EQ(image.at(8, 3), kBlue);  // the rest of the rectangle: the target's background
  EXPECT_EQ(image.at(4, 3), kWhite);   // outside the rectangle: untouched
  EXPECT_EQ(image.at(15, 3), kWhite);
}

TEST(MemDC, PrinterIsDrawnDirectly) {
  Image image(20, 10, kWhite);
  PrinterCanvas target(image);
  CMyMemDC dc(target);
  EXPECT_FALSE(dc.bMemDC());
  dc.fillRect(Rect{1, 1, 2, 2}, kRed);
  EXPECT_EQ(image.at(1, 1), kRed);
}

TEST(MemDC, BackgroundByOwner) {
  struct OwnerCase {
    Canvas::Owner owner;
    std::optional<Colour> classBrush;
    Colour expected;
  };
  const Colour own = rgb(9, 9, 9);
  const OwnerCase cases[] = {
      {Canvas::Owner::None, kRed, own},
      {Canvas::Owner::Dialog, kRed, kSystemColours.buttonFace},
      {Canvas::Owner::OtherWindow, kRed, kRed},
      {Canvas::Owner::OtherWindow, std::nullopt, own},
  };
  for (const OwnerCase& c : cases) {
    Image image(4, 4, kWhite);
    RasterCanvas target(image);
    target.setOwner(c.owner, c.classBrush);
    target.setBackgroundColour(own);
    { CMyMemDC dc(target); }
    EXPECT_EQ(image.at(2, 2), c.expected) << static_cast<int>(c.owner);
  }
}

}  // namespace
}  // namespace hbx::ui
