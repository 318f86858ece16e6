// How CTextProgressCtrl paints, read back as pixels of the raster renderer.
#include <gtest/gtest.h>

#include "ui/controls/text_progress_ctrl.h"
#include "ui/render/bitmap_font.h"
#include "ui/render/raster_canvas.h"

namespace hbx::ui {
namespace {

using render::Image;
using render::RasterCanvas;

constexpr Colour kBar = rgb(200, 0, 0);
constexpr Colour kEmpty = rgb(255, 255, 255);
constexpr Colour kText = rgb(0, 0, 255);
constexpr Colour kBarText = rgb(255, 255, 0);
constexpr Colour kUntouched = rgb(1, 2, 3);
const Font kFont{L"Arial", 20, fw::kNormal, 0};

// A 104 x 24 bar: inside its 2-pixel sunken edge it is 100 x 20 at (2, 2).
constexpr Rect kInner{2, 2, 102, 22};

struct Painted {
  Image image{104, 24, kUntouched};
};

void setUpBar(CTextProgressCtrl& bar) {
  bar.MoveWindow(Rect{0, 0, 104, 24});
  bar.SetFont(kFont);
  bar.WindowProc(pbm::kSetBarColor, 0, static_cast<LPARAM>(kBar));
  bar.WindowProc(pbm::kSetBkColor, 0, static_cast<LPARAM>(kEmpty));
  bar.WindowProc(TPC_SETTEXTCOLOR, 0, static_cast<LPARAM>(kText));
  bar.WindowProc(TPC_SETBARTEXTCOLOR, 0, static_cast<LPARAM>(kBarText));
}

Painted paint(CTextProgressCtrl& bar) {
  Painted p;
  RasterCanvas dc(p.image);
  bar.WindowProc(wm::kPaint, reinterpret_cast<WPARAM>(static_cast<Canvas*>(&dc)), 0);
  return p;
}

bool isPlain(Colour c) { return c == kBar || c == kEmpty; }

// The box of every pixel that is neither bar nor background inside `inner`.
Rect inkBox(const Image& image) {
  Rect box{1000, 1000, -1, -1};
  for (int y = kInner.top; y < kInner.bottom; ++y) {
    for (int x = kInner.left; x < kInner.right; ++x) {
      if (isPlain(image.at(x, y))) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  return box;
}

TEST(ProgressPaint, BarWidthFollowsThePosition) {
  for (int pos : {0, 37, 99, 100}) {
    SCOPED_TRACE(pos);
    CTextProgressCtrl bar;
    setUpBar(bar);
    bar.WindowProc(TPC_SHOWPERCENT, 0, 0);
    bar.SetPos(pos);
    const Painted p = paint(bar);
    const int edge = kInner.left + pos;  // 100 pixels wide: one per percent
    for (int x = kInner.left; x < kInner.right; ++x) {
      EXPECT_EQ(p.image.at(x, 10), x < edge ? kBar : kEmpty) << "x=" << x;
    }
    // The sunken edge around it, and nothing but the bar inside.
    EXPECT_EQ(p.image.at(0, 0), kSystemColours.shadow);
    EXPECT_EQ(p.image.at(1, 1), kSystemColours.buttonFace);
    EXPECT_EQ(inkBox(p.image).right, -1);
  }
}

TEST(ProgressPaint, PositionLeftOutsideANarrowedRangeStaysInsideTheControl) {
  CTextProgressCtrl bar;
  setUpBar(bar);
  bar.WindowProc(TPC_SHOWPERCENT, 0, 0);
  bar.SetPos(80);
  bar.WindowProc(pbm::kSetRange32, 0, 40);  // position 80 of 0-40: twice the width
  const Painted p = paint(bar);
  EXPECT_EQ(p.image.at(kInner.right - 1, 10), kBar);
  EXPECT_EQ(p.image.at(kInner.right, 10), kSystemColours.buttonFace);
  EXPECT_EQ(p.image.at(kInner.right + 1, 10), kSystemColours.shadow);
}

TEST(ProgressPaint, MarqueeBlockReachesBackFromTheLeadingEdge) {
  struct BlockCase {
    int pos;
    int block;
    int from;  // block pixels [from, to) inside kInner's x
    int to;
  };
  const BlockCase cases[] = {
      {60, 20, 40, 60},   // (20 * 100 + 50) / 100 = 20 pixels back from 60
      {10, 20, 0, 10},    // cut at the left edge: no part before it
      {120, 20, 100, 100},  // beyond the right edge: nothing of the block left
      {110, 20, 90, 100},   // cut at the right edge: no part after it
      {50, 33, 17, 50},
  };
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(c.pos);
    CTextProgressCtrl bar;
    setUpBar(bar);
    bar.WindowProc(pbm::kSetMarquee, 1, 30);
    bar.WindowProc(TPC_SETMARQUEEBLOCK, static_cast<WPARAM>(c.block), 0);
    bar.SetPos(c.pos);
    const Painted p = paint(bar);
    for (int x = 0; x < 100; ++x) {
      const bool inBlock = x >= c.from && x < c.to;
      EXPECT_EQ(p.image.at(kInner.left + x, 10), inBlock ? kBar : kEmpty) << "x=" << x;
    }
  }
}

TEST(ProgressPaint, PercentTextIsDrawnInTwoColoursAcrossTheEdge) {
  CTextProgressCtrl bar;
  setUpBar(bar);
  bar.SetPos(50);
  const Painted p = paint(bar);
  const int edge = kInner.left + 50;
  int barTextLeft = 0, textRight = 0;
  for (int y = kInner.top; y < kInner.bottom; ++y) {
    for (int x = kInner.left; x < kInner.right; ++x) {
      const Colour c = p.image.at(x, y);
      if (x < edge) {
        EXPECT_NE(c, kText) << x << "," << y;
        barTextLeft += c == kBarText;
      } else {
        EXPECT_NE(c, kBarText) << x << "," << y;
        textRight += c == kText;
      }
    }
  }
  EXPECT_GT(barTextLeft, 0);
  EXPECT_GT(textRight, 0);
  // "50%" centred: as much ink on each side of the centre.
  const Rect ink = inkBox(p.image);
  const int width = render::FontScale(kFont).measure(L"50%").cx;
  EXPECT_EQ(ink.left, kInner.left + (100 - width) / 2);
}

TEST(ProgressPaint, TextPositionForEachAlignment) {
  const render::FontScale scale(kFont);
  const Size extent = scale.measure(L"H");
  // The glyph's ink starts at its cell's left edge and one leading row down.
  const int leading = scale.cellHeight() / 10;
  struct AlignCase {
    int align;
    int x;
  };
  const AlignCase cases[] = {
      {0, kInner.left + 2},
      {1, kInner.left + (100 - extent.cx) / 2},
      {2, kInner.right - extent.cx - 3},
  };
  for (const AlignCase& c : cases) {
    SCOPED_TRACE(c.align);
    CTextProgressCtrl bar;
    setUpBar(bar);
    bar.WindowProc(TPC_SHOWPERCENT, 0, 0);
    bar.WindowProc(TPC_SETTEXTALIGN, static_cast<WPARAM>(c.align), 0);
    bar.SetText(L"H");
    const Painted p = paint(bar);
    const Rect ink = inkBox(p.image);
    EXPECT_EQ(ink.left, c.x);
    EXPECT_EQ(ink.top, kInner.top + (20 - extent.cy) / 2 + leading);
  }
}

TEST(ProgressPaint, WindowTextComesBeforeThePercentage) {
  CTextProgressCtrl bar;
  bar.SetPos(37);
  EXPECT_EQ(bar.PaintText(0.37), L"37%");
  bar.SetText(L"Hub ");
  EXPECT_EQ(bar.PaintText(0.375), L"Hub 38%");
  bar.WindowProc(TPC_SHOWPERCENT, 0, 0);
  EXPECT_EQ(bar.PaintText(0.375), L"Hub ");
}

TEST(ProgressPaint, EmptyRangePaintsNothing) {
  CTextProgressCtrl bar;
  setUpBar(bar);
  bar.WindowProc(pbm::kSetRange32, 50, 50);
  const Painted p = paint(bar);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 104; ++x) ASSERT_EQ(p.image.at(x, y), kUntouched);
  }
}

TEST(ProgressPaint, VerticalBarGrowsFromTheBottom) {
  CTextProgressCtrl bar;
  bar.MoveWindow(Rect{0, 0, 24, 104});
  bar.ModifyStyle(0, pbs::kVertical);
  const ProgressGeometry g = [&] {
    bar.SetPos(25);
    return bar.Geometry(Rect{2, 2, 22, 102});
  }();
  ASSERT_EQ(g.parts.size(), 2u);
  EXPECT_EQ(g.parts[0], (ProgressPart{Rect{2, 77, 22, 102}, true}));
  EXPECT_EQ(g.parts[1], (ProgressPart{Rect{2, 2, 22, 77}, false}));
  int x = 0, y = 0;
  bar.TextOrigin(Rect{2, 2, 22, 102}, Size{30, 12}, x, y);
  EXPECT_EQ(x, 2 + (20 - 12) / 2);
  EXPECT_EQ(y, 2 + 30 + (100 - 30) / 2);
  // The turned font is made on the first vertical paint.
  Image image(24, 104);
  RasterCanvas dc(image);
  bar.OnPaint(dc);
  ASSERT_TRUE(bar.verticalFont());
  EXPECT_EQ(bar.verticalFont()->escapement, 900);
}

}  // namespace
}  // namespace hbx::ui
