// The open dialog after start-up: shown, drawn and answered until it ends.
#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"

namespace hbx {

namespace {
// How often the loop looks at the dialog and the user. The view itself
// bounds how often it draws, whatever the time scale.
constexpr std::uint32_t kModalLoopPeriodMs = 80;
}  // namespace

int ZAr763ORIdirevaVodoRev::DoModal(ui::DialogView* view) {
  SetWindowPos(ui::swp::kShowWindow | ui::swp::kNoMove | ui::swp::kNoSize);
  // The hidden modes keep the window hidden: they never draw.
  const bool live = view != nullptr && m_Model.isVisible();
  bool someoneAnswers = live;
  std::uint64_t drawnRevision = 0;
  std::optional<ui::ViewState> drawnState;
  // The picture is taken on the UI thread (in memory only); the view puts it
  // on the screen from this thread, so the run's threads, which change the
  // controls through the UI thread, never wait for the screen.
  auto draw = [&](const ui::ViewState& state) {
    drawnRevision = m_Model.revision();
    drawnState = state;
    m_Model.withControls([&](ui::DialogControls& controls) { view->draw(controls, state); });
  };

  if (live) view->open();
  int interruptsSeen = 0;
  while (!m_Model.hasEnded()) {
    // An interrupt is a stop request for the run and a close request for
    // the dialog, which ends once the run has cleaned up.
    for (const int interrupts = ports_.system.interruptRequests(); interruptsSeen < interrupts; ++interruptsSeen) {
      HBX_LOG_WRN(L"%s:%d: Interrupt[%d]", interruptsSeen + 1);
      if (!bRunEnded()) vRequestStop();
      m_bClosePending = true;
    }
    const bool runEnded = bRunEnded();
    if (m_bClosePending && runEnded) {
      OnClose();
      break;
    }
    if (live) {
      const ui::ViewState state{runEnded, m_bClosePending};
      if ((!drawnState || m_Model.revision() != drawnRevision || state != *drawnState) && view->wantsPicture()) {
        draw(state);
      }
      view->present();
    }
    if (someoneAnswers) {
      switch (view->takeAction()) {
        case ui::UserAction::kOk:
          // OK is disabled while the run goes on.
          if (runEnded) OnBnClickedButtonOk();
          break;
        case ui::UserAction::kClose:
          OnClose();
          break;
        case ui::UserAction::kNoOneThere:
          // Nobody can answer any more; the dialog is still drawn.
          someoneAnswers = false;
          break;
        case ui::UserAction::kNone:
          break;
      }
    } else if (m_bSettingsNotLoaded) {
      // An idle dialog that nobody can read or close: the settings failure is
      // the result.
      SetExitcode(exitValue(ExitCode::kCommandLineError));
      OnBnClickedButtonOk();
    } else if (runEnded) {
      // Nobody can press OK: the dialog ends as through it once the run is over.
      OnBnClickedButtonOk();
    }
    if (!m_Model.hasEnded()) ports_.clock.sleepMs(kModalLoopPeriodMs);
  }
  if (live) {
    draw(ui::ViewState{bRunEnded(), false});
    view->close();
  }
  // The run's threads use the dialog: it is never left while one works.
  vWaitForRunEnd();
  m_Model.killTimer();
  return m_iRet;
}

}  // namespace hbx
