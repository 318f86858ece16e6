// The message table of CTextProgressCtrl: results and the state left behind.
#include <gtest/gtest.h>

#include <functional>

#include "ui/controls/text_progress_ctrl.h"

namespace hbx::ui {
namespace {

LRESULT send(CTextProgressCtrl& bar, std::uint32_t message, WPARAM w = 0, LPARAM l = 0) {
  return bar.WindowProc(message, w, l);
}
WPARAM w(int v) { return static_cast<WPARAM>(v); }

struct MessageCase {
  const char* name;
  std::function<void(CTextProgressCtrl&)> setUp;
  std::uint32_t message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result;
  int position;
};

class ProgressMessages : public testing::TestWithParam<MessageCase> {};

TEST_P(ProgressMessages, ResultAndPosition) {
  const MessageCase& c = GetParam();
  CTextProgressCtrl bar;
  if (c.setUp) c.setUp(bar);
  EXPECT_EQ(send(bar, c.message, c.wParam, c.lParam), c.result);
  EXPECT_EQ(bar.GetPos(), c.position);
}

const auto kMarquee = [](CTextProgressCtrl& b) { b.ModifyStyle(0, pbs::kMarquee); };
const auto kAt = [](int pos) { return [pos](CTextProgressCtrl& b) { b.SetPos(pos); }; };

INSTANTIATE_TEST_SUITE_P(
    Table, ProgressMessages,
    testing::Values(
        MessageCase{"SetPosAboveUpperClampsToUpper", nullptr, pbm::kSetPos, w(150), 0, 0, 100},
        MessageCase{"SetPosAboveUpperMarqueeClampsToCeiling", kMarquee, pbm::kSetPos, w(150), 0, 0, 120},
        MessageCase{"SetPosBelowLowerClampsToLower", kAt(40), pbm::kSetPos, w(-5), 0, 40, 0},
        MessageCase{"DeltaPosAddsAndClamps", kAt(90), pbm::kDeltaPos, w(20), 0, 90, 100},
        MessageCase{"DeltaPosNegative", kAt(30), pbm::kDeltaPos, w(-10), 0, 30, 20},
        MessageCase{"StepItWrapsPastUpper", [](CTextProgressCtrl& b) { b.SetPos(95); }, pbm::kStepIt, 0, 0, 95, 5},
        MessageCase{"StepItWrapsBelowLower",
                    [](CTextProgressCtrl& b) {
                      b.SetPos(3);
                      send(b, pbm::kSetStep, w(-10));
                    },
                    pbm::kStepIt, 0, 0, 3, 93},
        MessageCase{"StepItPlain", kAt(20), pbm::kStepIt, 0, 0, 20, 30},
        MessageCase{"StepItFarOutsideIsClamped",
                    [](CTextProgressCtrl& b) { send(b, pbm::kSetStep, w(500)); }, pbm::kStepIt, 0, 0, 0, 100},
        MessageCase{"SetStepReturnsOldStep", nullptr, pbm::kSetStep, w(1), 0, 10, 0},
        MessageCase{"SetRangeReturnsOldRangePacked",
                    [](CTextProgressCtrl& b) { send(b, pbm::kSetRange32, w(5), 50); }, pbm::kSetRange, 0,
                    0x640000, 0x320005, 0},
        MessageCase{"SetRange32ReturnsOldRangePacked", nullptr, pbm::kSetRange32, w(10), 200, 0x640000, 0},
        MessageCase{"GetRangeLower", [](CTextProgressCtrl& b) { send(b, pbm::kSetRange32, w(7), 70); },
                    pbm::kGetRange, 1, 0, 7, 0},
        MessageCase{"GetRangeUpper", [](CTextProgressCtrl& b) { send(b, pbm::kSetRange32, w(7), 70); },
                    pbm::kGetRange, 0, 0, 70, 0},
        MessageCase{"GetPos", kAt(42), pbm::kGetPos, 0, 0, 42, 42},
        MessageCase{"EraseBackgroundDoesNothing", kAt(42), wm::kEraseBkgnd, 0, 0, 1, 42},
        MessageCase{"SetMarqueeReturnsWParam", nullptr, pbm::kSetMarquee, 1, 30, 1, 0},
        MessageCase{"SetMarqueeBlockReturnsWParam", nullptr, TPC_SETMARQUEEBLOCK, 35, 0, 35, 0}),
    [](const testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

TEST(ProgressMessages, SetRangeTakesBothHalvesUnsigned) {
  CTextProgressCtrl bar;
  send(bar, pbm::kSetRange, 0, 0x640000);
  EXPECT_EQ(bar.lower(), 0);
  EXPECT_EQ(bar.upper(), 100);
  send(bar, pbm::kSetRange, 0, static_cast<LPARAM>(0xFFFF8000u));
  EXPECT_EQ(bar.lower(), 0x8000);
  EXPECT_EQ(bar.upper(), 0xFFFF);
  PBRANGE range{-1, -1};
  send(bar, pbm::kGetRange, 0, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0x8000);
  EXPECT_EQ(range.iHigh, 0xFFFF);
}

TEST(ProgressMessages, ColoursStoreReturnOldAndResolveDefaults) {
  struct ColourCase {
    std::uint32_t set;
    std::uint32_t get;
    Colour system;
  };
  const ColourCase cases[] = {
      {pbm::kSetBarColor, pbm::kGetBarColor, kSystemColours.highlight},
      {pbm::kSetBkColor, pbm::kGetBkColor, kSystemColours.buttonFace},
      {TPC_SETTEXTCOLOR, TPC_GETTEXTCOLOR, kSystemColours.windowText},
      {TPC_SETBARTEXTCOLOR, TPC_GETBARTEXTCOLOR, kSystemColours.window},
  };
  for (const ColourCase& c : cases) {
    SCOPED_TRACE(c.set);
    CTextProgressCtrl bar;
    EXPECT_EQ(static_cast<Colour>(send(bar, c.get)), c.system);
    EXPECT_EQ(static_cast<Colour>(send(bar, c.set, 0, static_cast<LPARAM>(kGreen))), clr::kDefault);
    EXPECT_EQ(static_cast<Colour>(send(bar, c.get)), kGreen);
    EXPECT_EQ(static_cast<Colour>(send(bar, c.set, 0, static_cast<LPARAM>(kRed))), kGreen);
  }
}

TEST(ProgressMessages, SettersRepaintAfterStoring) {
  CTextProgressCtrl bar;
  int seen = -1;
  bar.SetRedrawHook([&](CWndControl& c) { seen = static_cast<CTextProgressCtrl&>(c).GetPos(); });
  const std::uint64_t before = bar.RedrawCount();
  bar.SetPos(33);
  EXPECT_EQ(seen, 33);
  send(bar, pbm::kSetStep, w(5));  // no repaint for the step
  EXPECT_EQ(bar.RedrawCount(), before + 1);
  EXPECT_EQ(send(bar, TPC_SHOWPERCENT, 0), 1);
  EXPECT_EQ(send(bar, TPC_SETTEXTALIGN, 2), 1);
  EXPECT_EQ(bar.RedrawCount(), before + 3);
}

TEST(ProgressMessages, MarqueeStyleTimerAndPercent) {
  CTextProgressCtrl bar;
  send(bar, pbm::kSetMarquee, 1, 30);
  EXPECT_TRUE(bar.GetStyle() & pbs::kMarquee);
  EXPECT_EQ(bar.TimerPeriod(CTextProgressCtrl::kMarqueeTimer), 30u);
  EXPECT_FALSE(bar.showPercent());
  EXPECT_EQ(bar.Ceiling(), 120);
  send(bar, TPC_SETMARQUEEBLOCK, 50);
  EXPECT_EQ(bar.Ceiling(), 150);
  send(bar, pbm::kSetMarquee, 0, 0);
  EXPECT_FALSE(bar.GetStyle() & pbs::kMarquee);
  EXPECT_FALSE(bar.TimerPeriod(CTextProgressCtrl::kMarqueeTimer));
  EXPECT_EQ(bar.Ceiling(), 100);
}

TEST(ProgressMessages, MarqueeRunsBackAndForthWithOneSharedDirection) {
  CTextProgressCtrl::SetMarqueeDirection(1);
  CTextProgressCtrl first;
  CTextProgressCtrl second;
  for (CTextProgressCtrl* bar : {&first, &second}) send(*bar, pbm::kSetMarquee, 1, 30);
  first.SetPos(119);
  send(first, wm::kTimer, 1);
  EXPECT_EQ(first.GetPos(), 120);
  send(first, wm::kTimer, 2);  // another timer: ignored
  EXPECT_EQ(first.GetPos(), 120);
  send(first, wm::kTimer, 1);  // at the ceiling: turns
  EXPECT_EQ(first.GetPos(), 119);
  EXPECT_EQ(CTextProgressCtrl::MarqueeDirection(), -1);
  second.SetPos(50);
  send(second, wm::kTimer, 1);  // the other bar follows the shared direction
  EXPECT_EQ(second.GetPos(), 49);
  second.SetPos(0);
  send(second, wm::kTimer, 1);  // at the lower bound: turns back
  EXPECT_EQ(second.GetPos(), 1);
  EXPECT_EQ(CTextProgressCtrl::MarqueeDirection(), 1);
}

}  // namespace
}  // namespace hbx::ui
