#include "tools/dialog_png/capture_view.h"

#include "tools/dialog_png/dialog_state.h"
#include "ui/control_ids.h"
#include "ui/render/terminal_renderer.h"

namespace hbx::tools {

namespace {
// A hub bar this far along shows a stage of the write, not its start.
constexpr int kMidRunLeast = 30;
}  // namespace

bool CaptureView::isTheMoment(ui::DialogControls& controls, const ui::ViewState& state) const {
  if (moment_ == Moment::kEnd) {
    // The timer stops the overall bar at 100 once it sees the end; OK comes
    // after it.
    return state.okEnabled && controls.progress(ui::ctrl::kOverallBar)->GetPos() == 100;
  }
  if (state.okEnabled || !controls.item(ui::ctrl::kAttention)->IsWindowVisible()) return false;
  for (int id : ui::ctrl::kHubBars) {
    ui::CTextProgressCtrl* bar = controls.progress(id);
    if (bar->IsWindowVisible() && bar->GetPos() >= kMidRunLeast && bar->GetPos() < 100) return true;
  }
  return false;
}

void CaptureView::draw(ui::DialogControls& controls, const ui::ViewState& state) {
  if (isTheMoment(controls, state)) {
    picture_ = ui::render::paintDialog(controls);
    terminalText_ = ui::render::renderTerminal(controls, ui::render::TerminalOptions{});
    stateText_ = saveDialogState(controls);
  }
  runEnded_ = state.okEnabled;
}

ui::UserAction CaptureView::takeAction() {
  // OK once the run has ended and the picture of its end is taken.
  if (runEnded_ && (moment_ == Moment::kMidRun || picture_)) return ui::UserAction::kOk;
  return ui::UserAction::kNone;
}

}  // namespace hbx::tools
