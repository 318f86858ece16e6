// The terminal dialog reads on any terminal theme: it brings its own
// background, every character on it reaches 4.5:1 contrast in each state a
// run shows, and stays readable when the terminal has fewer colours.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "ui/dialog_model.h"
#include "ui/render/contrast.h"
#include "ui/render/terminal_palette.h"
#include "ui/render/terminal_renderer.h"

namespace hbx::ui::render {
namespace {

// The dialog in the states a run shows, each status colour kind included.
std::vector<TerminalFrame> framesOfARun() {
  std::vector<TerminalFrame> frames;
  DialogModel model;
  auto take = [&] {
    model.withControls([&](DialogControls& c) { frames.push_back(renderTerminalFrame(c, TerminalOptions{72, {"  [ OK ]"}})); });
  };
  model.setUpControls();
  model.setUpBars();
  model.setCaption(L"Corvane USB 3.2 Hub Firmware Update Tool Ver 3, 2, 2, 0");
  model.setItemText(ctrl::kVersionText, L"250318_25_01_0C");
  take();
  model.showHubInfo(3, 2, {{2, L"250115250101"}, {2, L"250115250100"}, {2, L"250115250102"}});
  model.showAttention(true);
  for (int position : {0, 37, 50, 63, 100}) {
    model.setHubBar(0, position);
    model.setHubBar(1, position, kRed);
    model.setHubBar(2, position, kGreen);
    model.onTimerTick(7, false);
    take();
  }
  for (std::uint8_t kind = 0; kind <= 7; ++kind) {
    model.showUpdateResult(L"Status of kind " + std::to_wstring(kind), kind, 32);
    take();
  }
  model.onTimerTick(8, false);
  take();
  return frames;
}

TEST(TerminalColours, EveryCharacterOfTheDialogReadsOnItsOwnBackground) {
  const std::vector<TerminalFrame> frames = framesOfARun();
  std::set<std::pair<Colour, Colour>> used;
  for (const TerminalFrame& frame : frames) {
    for (int r = 0; r < frame.rows(); ++r) {
      for (int c = 0; c < frame.columns(); ++c) {
        const TerminalCell& cell = frame.at(r, c);
        if (cell.ch != ' ') used.insert({cell.fg, cell.bg});
      }
    }
  }
  // Green percentages and status texts, red bars, the caption bar at least.
  EXPECT_GE(used.size(), 8u);
  for (const auto& [fg, bg] : used) {
    EXPECT_GE(contrastRatio(fg, bg), kReadableContrast) << std::hex << fg << " on " << bg;
  }
  // The blank cells of the dialog carry its own background too: nothing is
  // left to the terminal's theme.
  for (const TerminalFrame& frame : frames) {
    for (int r = 0; r < frame.rows(); ++r) {
      EXPECT_NE(frame.at(r, 0).bg, 0u) << "row " << r;
    }
  }
  // In a smaller palette each pair keeps its contrast (the 8 basic colours
  // are dim: there the better of black and white is the floor).
  for (int colours : {kDirectColours, 256, 16, 8}) {
    for (const auto& [fg, bg] : used) {
      const TerminalColours shown = terminalColours(fg, bg, colours);
      const Colour shownFg = paletteColour(shown.fg, colours);
      const Colour shownBg = paletteColour(shown.bg, colours);
      const double best = std::max(contrastRatio(paletteColour(0, colours), shownBg),
                                   contrastRatio(paletteColour(colours == 8 ? 7 : 15, colours), shownBg));
      EXPECT_GE(contrastRatio(shownFg, shownBg), std::min(kReadableContrast, best))
          << colours << " colours: " << std::hex << fg << " on " << bg;
    }
  }
}

TEST(TerminalColours, ContrastAsTheUsualRuleMeasuresIt) {
  EXPECT_NEAR(contrastRatio(kBlack, kWhite), 21.0, 0.01);
  EXPECT_NEAR(contrastRatio(kGreen, rgb(240, 240, 240)), 1.27, 0.05);  // the control's green on grey
  EXPECT_NEAR(contrastRatio(kWhite, kGreen), 1.44, 0.05);               // white percentages on green
  EXPECT_EQ(readableOn(kBlack, kWhite), kBlack);                        // already readable: kept
  const Colour green = readableOn(kGreen, rgb(240, 240, 240));
  EXPECT_GE(contrastRatio(green, rgb(240, 240, 240)), kReadableContrast);
  EXPECT_GT(greenOf(green), redOf(green));  // still green
}

}  // namespace
}  // namespace hbx::ui::render
