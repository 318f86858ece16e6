// The open dialog after start-up: shown, drawn and answered until it ends.
#include "app/fw_update_dlg.h"

namespace hbx {

namespace {
// How often the loop looks at the dialog and the user: the view is redrawn
// at most this often.
constexpr std::uint32_t kModalLoopPeriodMs = 80;
}  // namespace

int ZAr763ORIdirevaVodoRev::DoModal(ui::DialogView* view) {
  SetWindowPos(ui::swp::kShowWindow | ui::swp::kNoMove | ui::swp::kNoSize);
  // The hidden modes keep the window hidden: they never draw.
  const bool live = view != nullptr && m_Model.isVisible();
  bool someoneAnswers = live;
  std::uint64_t drawnRevision = 0;
  bool drawnOk = false;
  bool drawnOnce = false;
  auto draw = [&](bool okEnabled) {
    drawnRevision = m_Model.revision();
    drawnOk = okEnabled;
    drawnOnce = true;
    m_Model.withControls([&](ui::DialogControls& controls) { view->draw(controls, okEnabled); });
  };

  if (live) view->open();
  while (!m_Model.hasEnded()) {
    const bool runEnded = bRunEnded();
    if (someoneAnswers) {
      if (!drawnOnce || m_Model.revision() != drawnRevision || runEnded != drawnOk) draw(runEnded);
      switch (view->takeAction()) {
        case ui::UserAction::kOk:
          // OK is disabled while the run goes on.
          if (runEnded) OnBnClickedButtonOk();
          break;
        case ui::UserAction::kClose:
          OnClose();
          break;
        case ui::UserAction::kNoOneThere:
          someoneAnswers = false;
          break;
        case ui::UserAction::kNone:
          break;
      }
    } else if (runEnded) {
      // Nobody can press OK: the dialog ends as through it once the run is over.
      OnBnClickedButtonOk();
    }
    if (!m_Model.hasEnded()) ports_.clock.sleepMs(kModalLoopPeriodMs);
  }
  if (live) {
    draw(bRunEnded());
    view->close();
  }
  // The run's threads use the dialog: it is never left while one works (a
  // dialog closed during a run ends when the run has).
  vWaitForRunEnd();
  m_Model.killTimer();
  return m_iRet;
}

}  // namespace hbx
