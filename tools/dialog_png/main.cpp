// hbx_dialog_png MOMENT OUT.png [--terminal]
// Drives the dialog model through the display calls a run makes up to
// MOMENT and writes the dialog as a picture. MOMENT is one of: start,
// search, processing, pass, fail, nohub. With --terminal the dialog is
// also printed as the terminal view draws it.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "ui/dialog_model.h"
#include "ui/render/dialog_painter.h"
#include "ui/render/png_writer.h"
#include "ui/render/terminal_renderer.h"

namespace {

using namespace hbx::ui;

constexpr std::uint8_t kStateScan = 6;
constexpr std::uint8_t kStateOpen = 7;
constexpr std::uint8_t kStateFinish = 8;
const std::vector<DialogModel::HubRow> kTwoHubs = {{2, L"230211170000"}, {2, L"230211170000"}};

void ticks(DialogModel& model, int count, std::uint8_t state) {
  for (int i = 0; i < count; ++i) model.onTimerTick(state, false);
}

// The display calls of a run, in order, up to `moment`. False for an
// unknown moment.
bool drive(DialogModel& model, const std::string& moment) {
  model.setUpControls();
  model.setUpBars();
  model.setTimer(nullptr, DialogModel::kTimerPeriodMs, {});
  model.showHubInfo(0, 2, {});
  model.setCaption(L"Corvane USB 3.2 Hub Firmware Update Tool Ver 3, 2, 2, 0");
  model.setItemText(ctrl::kVersionText, L"25031825010C");
  model.enableOk(false);
  ticks(model, 12, 1);
  if (moment == "start") return true;

  model.showUpdateResult(L"Search Target Hub...", 3, 34);
  ticks(model, 25, kStateScan);
  if (moment == "search") return true;
  if (moment == "nohub") {
    model.showUpdateResult(L"Can't Find HBX763x Hub Controller in current platform", 0, 20);
    model.showUpdateResult(L"Failed!!(-4)", 0, 30);
    model.onTimerTick(kStateFinish, false);
    model.enableOk(true);
    return true;
  }

  model.showHubInfo(2, 2, kTwoHubs);
  model.showUpdateResult(L"Processing!!", 3, 32);
  model.showAttention(true);
  model.setHubBar(0, 40);
  model.setHubBar(1, 65);
  ticks(model, 30, kStateOpen);
  if (moment == "processing") return true;
  if (moment == "pass") {
    model.setHubBar(0, 100, kGreen);
    model.setHubBar(1, 100, kGreen);
    model.showUpdateResult(L"Pass!!\nPlease AC POWER OFF!", 1, 32);
    model.onTimerTick(kStateFinish, true);
    model.enableOk(true);
    return true;
  }
  if (moment == "fail") {
    model.setHubBar(0, 100, kGreen);
    model.setHubBar(1, 70, kRed);
    model.showUpdateResult(L"Failed!!(0)", 0, 32);
    model.onTimerTick(kStateFinish, false);
    model.enableOk(true);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s start|search|processing|pass|fail|nohub OUT.png [--terminal]\n", argv[0]);
    return 2;
  }
  DialogModel model;
  if (!drive(model, argv[1])) {
    std::fprintf(stderr, "unknown moment: %s\n", argv[1]);
    return 2;
  }
  std::string error;
  bool written = false;
  model.withControls([&](DialogControls& controls) {
    const render::DialogPicture picture = render::paintDialog(controls);
    written = render::writePng(picture.image, argv[2], error);
    if (argc > 3 && std::strcmp(argv[3], "--terminal") == 0) {
      std::cout << render::renderTerminal(controls, render::TerminalOptions{});
    }
  });
  if (!written) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
