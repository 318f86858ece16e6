// The dialog's status presentation: hub rows, status text, bars, set-up
// and timer, changed from other threads through the UI thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ui/dialog_model.h"

namespace hbx::ui {
namespace {

using Rows = std::vector<DialogModel::HubRow>;

struct RowView {
  bool label, version, bar;
  std::wstring text;
};

std::vector<RowView> rows(DialogModel& model) {
  std::vector<RowView> out;
  model.withControls([&](DialogControls& c) {
    for (std::size_t r = 0; r < ctrl::kHubRows; ++r) {
      EXPECT_FALSE(c.item(ctrl::kHubSpeeds[r])->IsWindowVisible());
      out.push_back({c.item(ctrl::kHubLabels[r])->IsWindowVisible(),
                     c.item(ctrl::kHubVersions[r])->IsWindowVisible(),
                     c.item(ctrl::kHubBars[r])->IsWindowVisible(),
                     c.item(ctrl::kHubVersions[r])->GetText()});
    }
  });
  return out;
}

std::vector<bool> shownRows(DialogModel& model) {
  std::vector<bool> shown;
  for (const RowView& r : rows(model)) {
    EXPECT_EQ(r.label, r.version);
    EXPECT_EQ(r.label, r.bar);
    shown.push_back(r.label);
  }
  return shown;
}

TEST(HubRows, CountAndChipTypeRules) {
  // Hub n runs version 23021117000n, so a row shows which hub it is.
  Rows nine;
  for (int n = 0; n < 9; ++n) nine.push_back({2, L"23021117000" + std::to_wstring(n)});
  struct RowCase {
    std::uint8_t count;
    Rows hubs;
    bool invalid;
    std::vector<int> mismatched;
    int withoutRow;
    std::vector<bool> shown;
  };
  const RowCase cases[] = {
      {0, nine, true, {}, 0, {false, false, false, false, false}},
      {9, nine, true, {}, 0, {false, false, false, false, false}},
      {1, nine, false, {}, 0, {true, false, false, false, false}},
      {3, nine, false, {}, 0, {true, true, true, false, false}},
      // A run serves eight hubs; four rows lie clear of the status text.
      {4, nine, false, {}, 0, {true, true, true, true, false}},
      {5, nine, false, {}, 1, {true, true, true, true, false}},
      {8, nine, false, {}, 4, {true, true, true, true, false}},
      {2, {{1, L"230211170000"}, {2, L"230211170001"}}, false, {0}, 0, {false, true, false, false, false}},
      {6, {{2, L"1"}, {1, L"2"}, {2, L"3"}, {2, L"4"}, {2, L"5"}, {2, L"6"}}, false, {1}, 2,
       {true, false, true, true, false}},
      {2, {{2, L"230211170000"}}, false, {1}, 0, {true, false, false, false, false}},  // list shorter than the count
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.count));
    DialogModel model;
    // Rows shown by an earlier call are hidden again.
    model.showHubInfo(4, 2, nine);
    const auto outcome = model.showHubInfo(c.count, 2, c.hubs);
    EXPECT_EQ(outcome.invalidCount, c.invalid);
    EXPECT_EQ(outcome.mismatchedHubs, c.mismatched);
    EXPECT_EQ(outcome.hubsWithoutRow, c.withoutRow);
    EXPECT_EQ(shownRows(model), c.shown);
    // Row n is hub n: its label and its hub's version, whichever hubs are
    // left out around it.
    const std::vector<RowView> view = rows(model);
    for (std::size_t r = 0; r < view.size(); ++r) {
      if (!view[r].label) continue;
      EXPECT_EQ(view[r].text, strHubVersionText(c.hubs[r].strFWVersion)) << r;
      model.withControls([&](DialogControls& controls) {
        EXPECT_EQ(controls.item(ctrl::kHubLabels[r])->GetText(), L"Hub " + std::to_wstring(r + 1) + L":");
      });
    }
  }
}

TEST(HubRows, ShownRowHasItsVersionFontAndAnEmptyBar) {
  DialogModel model;
  model.setHubBar(0, 70);
  model.showHubInfo(1, 0, {{0, L"230211170000"}});
  EXPECT_EQ(rows(model)[0].text, L"230211_17_00_00");
  model.withControls([](DialogControls& c) {
    EXPECT_EQ(c.progress(ctrl::kHubBars[0])->GetPos(), 0);
    for (int id : ctrl::kHubVersions) EXPECT_EQ(c.item(id)->GetOwnFont(), (Font{L"Arial", 24, fw::kBold, 0}));
  });
}

TEST(StatusDisplay, HubVersionText) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"230211170000", L"230211_17_00_00"},
      {L"25031825010C", L"250318_25_01_0C"},
      {L"23021117", L"230211_17__"},
      {L"2302", L"2302___"},
      {L"", L"___"},
      {L"2302111700001234", L"230211_17_00_00"},
  };
  for (const auto& [version, shown] : cases) EXPECT_EQ(strHubVersionText(version), shown) << version;
}

TEST(StatusDisplay, ColourKinds) {
  const std::pair<int, Colour> cases[] = {{0, rgb(250, 50, 50)},   {1, rgb(50, 250, 50)}, {2, rgb(250, 165, 0)},
                                          {3, rgb(50, 50, 250)},   {4, rgb(250, 165, 0)}, {5, kWhite},
                                          {7, rgb(255, 255, 255)}, {255, kWhite}};
  for (const auto& [kind, colour] : cases) EXPECT_EQ(colourOfKind(static_cast<std::uint8_t>(kind)), colour) << kind;
  EXPECT_EQ(colourOfKind(0), kRed);
  EXPECT_EQ(colourOfKind(1), kGreen);
  EXPECT_EQ(colourOfKind(3), kBlue);
  EXPECT_EQ(colourOfKind(2), kOrange);
}

TEST(StatusDisplay, ResultTextColourAndFont) {
  DialogModel model;
  ASSERT_TRUE(model.showUpdateResult(L"Pass!!\nPlease AC POWER OFF!", 1, 32));
  model.withControls([](DialogControls& c) {
    CColorStaticST* status = c.colorStatic(ctrl::kStatusText);
    EXPECT_EQ(status->GetText(), L"Pass!!\nPlease AC POWER OFF!");
    EXPECT_EQ(status->textColour(), kGreen);
    EXPECT_EQ(status->GetOwnFont(), (Font{L"Arial", 32, fw::kBold, 0}));
    EXPECT_FALSE(status->blinking());
  });
}

// As SetWindowPos: "hide" wins when "show" is asked with it; hidden mode
// never shows the window.
TEST(DialogSetUp, WindowPosShowAndHide) {
  DialogModel model;
  model.setWindowPos(swp::kShowWindow, false);
  EXPECT_TRUE(model.isVisible());
  model.setWindowPos(swp::kShowWindow | swp::kHideWindow, false);
  EXPECT_FALSE(model.isVisible());
  model.setWindowPos(swp::kShowWindow, true);
  EXPECT_FALSE(model.isVisible());
}

TEST(DialogSetUp, ControlsBarsAndTimer) {
  DialogModel model;
  EXPECT_FALSE(model.timerRunning());
  model.setUpControls();
  model.setUpBars();
  model.setTimer(nullptr, DialogModel::kTimerPeriodMs, {});
  EXPECT_TRUE(model.timerRunning());
  model.withControls([](DialogControls& c) {
    EXPECT_EQ(c.colorStatic(ctrl::kHubCount)->textColour(), kBlack);
    EXPECT_FALSE(c.item(ctrl::kAttention)->IsWindowVisible());
    // No status font yet: the system font, not the dialog's.
    EXPECT_EQ(c.item(ctrl::kStatusText)->GetEffectiveFont(), kSystemFont);
    EXPECT_NE(c.item(ctrl::kStatusText)->GetEffectiveFont(), c.dialogFont());
    CTextProgressCtrl* overall = c.progress(ctrl::kOverallBar);
    EXPECT_FALSE(overall->showPercent());
    EXPECT_EQ(overall->barColour(), kGreen);
    EXPECT_EQ(overall->step(), 1);
    for (int id : ctrl::kHubBars) {
      CTextProgressCtrl* bar = c.progress(id);
      EXPECT_EQ(bar->lower(), 0);
      EXPECT_EQ(bar->upper(), 100);
      EXPECT_EQ(bar->step(), 1);
      EXPECT_EQ(bar->barColour(), kGreen);
      EXPECT_TRUE(bar->showPercent());
    }
  });
}

TEST(DialogTimer, OverallBarSweepsAndStopsAtTheEnd) {
  for (const bool allPass : {true, false}) {
    DialogModel model;
    model.setUpBars();
    model.setTimer(nullptr, DialogModel::kTimerPeriodMs, {});
    auto position = [&] {
      int pos = -1;
      model.withControls([&](DialogControls& c) { pos = c.progress(ctrl::kOverallBar)->GetPos(); });
      return pos;
    };
    for (int tick = 0; tick < 100; ++tick) EXPECT_FALSE(model.onTimerTick(6, true));
    EXPECT_EQ(position(), 100);
    model.onTimerTick(3, true);
    EXPECT_EQ(position(), 0);  // wraps from 100 to 0
    EXPECT_TRUE(model.onTimerTick(8, allPass));
    EXPECT_FALSE(model.timerRunning());
    EXPECT_FALSE(model.onTimerTick(8, allPass));  // the timer is gone
    model.withControls([&](DialogControls& c) {
      EXPECT_EQ(c.progress(ctrl::kOverallBar)->GetPos(), 100);
      EXPECT_EQ(c.progress(ctrl::kOverallBar)->barColour(), allPass ? kGreen : kRed);
    });
  }
}

// Sleeps for real, briefly, and records every wait.
class RecordingClock : public platform::ClockPort {
 public:
  void sleepMs(std::uint32_t ms) override {
    periods.push_back(ms);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  std::int64_t performanceCounter() override { return 0; }
  std::int64_t performanceFrequency() override { return 1; }
  std::int64_t calendarSeconds() override { return 0; }
  std::vector<std::uint32_t> periods;  // read after the timer has stopped
};

TEST(DialogTimer, TicksOnItsOwnThreadThroughTheClockUntilKilledOrFinished) {
  RecordingClock clock;
  DialogModel model;
  model.setUpBars();
  std::atomic<int> ticks{0};
  std::atomic<std::uint8_t> state{6};
  model.setTimer(&clock, DialogModel::kTimerPeriodMs, [&] {
    ++ticks;
    model.onTimerTick(state, true);
  });
  while (ticks < 5) std::this_thread::yield();
  state = 8;  // the tick of the finished state ends the timer itself
  while (model.timerRunning()) std::this_thread::yield();
  model.killTimer();
  const int atEnd = ticks;
  EXPECT_EQ(clock.periods, std::vector<std::uint32_t>(clock.periods.size(), DialogModel::kTimerPeriodMs));
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(ticks, atEnd);

  const std::uint64_t before = model.revision();
  model.resetOverallBar();
  EXPECT_GT(model.revision(), before);  // every change is counted for the views
  model.withControls([](DialogControls& c) { EXPECT_EQ(c.progress(ctrl::kOverallBar)->GetPos(), 0); });
}

TEST(DialogTimer, ConsoleSearchIndicatorGrowsAndRestarts) {
  SearchIndicator indicator;
  EXPECT_EQ(indicator.tick(), (std::vector<std::wstring>{L"Search Hub.\r"}));
  for (int i = 0; i < 20; ++i) indicator.tick();
  EXPECT_EQ(indicator.text(), L"Search Hub" + std::wstring(21, L'.'));  // 31 characters
  const std::vector<std::wstring> restart = indicator.tick();
  ASSERT_EQ(restart.size(), 2u);
  EXPECT_EQ(restart[0], L"\r" + std::wstring(56, L' ') + L"\r");
  EXPECT_EQ(restart[1], L"Search Hub.\r");
}

TEST(DialogThreads, ChangesFromOtherThreadsAreDoneWhenTheCallReturns) {
  DialogModel model;
  model.setUpControls();
  std::vector<std::thread> workers;
  for (int row = 0; row < 3; ++row) {
    workers.emplace_back([&model, row] {
      for (int pos = 0; pos <= 100; pos += 10) model.setHubBar(row, pos);
      model.setHubBar(row, 100, row == 1 ? kRed : kGreen);
    });
  }
  for (std::thread& t : workers) t.join();
  model.finishHubBars(kRed, 2);
  model.withControls([](DialogControls& c) {
    EXPECT_EQ(c.progress(ctrl::kHubBars[0])->barColour(), kRed);
    EXPECT_EQ(c.progress(ctrl::kHubBars[1])->barColour(), kRed);
    EXPECT_EQ(c.progress(ctrl::kHubBars[2])->barColour(), kGreen);
    for (std::size_t r = 0; r < 3; ++r) EXPECT_EQ(c.progress(ctrl::kHubBars[r])->GetPos(), 100);
  });
}

}  // namespace
}  // namespace hbx::ui
