// CColorStaticST: text colour, blinking and the control-colour answer.
#include <gtest/gtest.h>

#include "ui/controls/color_static_st.h"

namespace hbx::ui {
namespace {

TEST(ColorStatic, TextColourAndTheSystemDefault) {
  CColorStaticST text;
  const std::uint64_t before = text.RedrawCount();
  text.vSetTextColor(kRed);
  EXPECT_EQ(text.textColour(), kRed);
  EXPECT_EQ(text.RedrawCount(), before + 1);
  text.vSetTextColor(0xFFFFFFFF);
  EXPECT_EQ(text.textColour(), kSystemColours.buttonText);

  CtlColorDC dc{kWhite, kWhite};
  text.vSetTextColor(kBlue);
  EXPECT_EQ(text.CtlColor(dc), kSystemColours.buttonFace);
  EXPECT_EQ(dc.textColour, kBlue);
  EXPECT_EQ(dc.backgroundColour, kSystemColours.buttonFace);
}

TEST(ColorStatic, BlinkPeriodCodes) {
  struct PeriodCase {
    std::uint32_t code;
    std::uint32_t ms;
  };
  for (const PeriodCase c : {PeriodCase{0, 2000}, {1, 1000}, {2, 500}, {3, 3}, {750, 750}}) {
    SCOPED_TRACE(c.code);
    CColorStaticST text;
    text.vSetTextBlink(1, c.code);
    EXPECT_TRUE(text.blinking());
    EXPECT_EQ(text.TimerPeriod(CColorStaticST::kBlinkTimer), c.ms);
  }
}

TEST(ColorStatic, StoppingTheBlinkKeepsTheTextColour) {
  CColorStaticST text;
  text.vSetTextColor(kGreen);
  text.vSetTextBlink(1, 3);
  text.WindowProc(wm::kTimer, 1, 0);
  EXPECT_EQ(text.blinkPhase(), 1u);
  CtlColorDC dc;
  text.CtlColor(dc);
  EXPECT_EQ(dc.textColour, kSystemColours.buttonText);  // the blink colours, which have no setter
  text.vSetTextBlink(0, 2);
  EXPECT_FALSE(text.blinking());
  EXPECT_EQ(text.blinkPhase(), 0u);
  EXPECT_TRUE(text.Timers().empty());
  text.CtlColor(dc);
  EXPECT_EQ(dc.textColour, kGreen);
}

TEST(ColorStatic, TimerFlipsThePhaseOnlyForItsOwnTimerWhileBlinking) {
  CColorStaticST text;
  text.vSetTextBlink(1, 2);
  const std::uint64_t before = text.RedrawCount();
  text.WindowProc(wm::kTimer, 7, 0);
  EXPECT_EQ(text.blinkPhase(), 0u);
  text.WindowProc(wm::kTimer, 1, 0);
  text.WindowProc(wm::kTimer, 1, 0);
  EXPECT_EQ(text.blinkPhase(), 0u);
  EXPECT_EQ(text.RedrawCount(), before + 2);
  text.vSetTextBlink(0, 2);
  text.WindowProc(wm::kTimer, 1, 0);
  EXPECT_EQ(text.blinkPhase(), 0u);
}

TEST(ColorStatic, DestructionStopsTheTimerAndDropsTheBrush) {
  CColorStaticST text;
  text.vSetTextBlink(1, 0);
  text.OnDestroy();
  EXPECT_TRUE(text.Timers().empty());
  EXPECT_FALSE(text.hasBrush());
}

}  // namespace
}  // namespace hbx::ui
