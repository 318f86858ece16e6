// The dialog's status presentation: hub rows, status text, bars, set-up and
// timer 1. Callable from any thread; every control change runs on the UI
// thread of the dialog model.
#include <exception>

#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "base/log/format.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"

namespace hbx {

namespace {
// The console search indicator pauses this long at each of its ticks.
constexpr std::uint32_t kSearchTickPauseMs = 50;
}  // namespace

ZAr763ORIdirevaVodoRev::~ZAr763ORIdirevaVodoRev() {
  m_Model.killTimer();
  // The run's threads call back into this dialog: they end before it goes.
  m_RunThreads.endAll();
}

void ZAr763ORIdirevaVodoRev::vShowHubInfo(std::uint8_t ucHubNum) {
  std::vector<ui::DialogModel::HubRow> hubs;
  for (std::size_t i = 0; i < ucHubNum && i < m_DevList.Devs.size(); ++i) {
    hubs.push_back({m_DevList.Devs[i].m_ucChipType, m_DevList.Devs[i].m_strFWVersion});
  }
  const ui::DialogModel::HubInfoOutcome outcome = m_Model.showHubInfo(ucHubNum, m_bMajorType, hubs);
  if (outcome.invalidCount) {
    HBX_LOG_ERR(L"%s:%d:  ucHubNum Invalid %d", ucHubNum);
    return;
  }
  for (int i : outcome.mismatchedHubs) {
    HBX_LOG_ERR(L"%s:%d:  m_bMajorType[%d], Devs[%d].m_ucChipType[%d] ", m_bMajorType, i,
                hubs[static_cast<std::size_t>(i)].ucChipType);
  }
  if (outcome.hubsWithoutRow > 0) {
    HBX_LOG_WRN(L"%s:%d:  ucHubNum %d, rows shown for Hub 1 to Hub %d", ucHubNum,
                ucHubNum - outcome.hubsWithoutRow);
  }
}

void ZAr763ORIdirevaVodoRev::vShowUpddateResult(const std::wstring& text, std::uint8_t kind, std::uint8_t height) {
  if (!m_Model.showUpdateResult(text, kind, height)) {
    HBX_LOG_ERR(L"%s:%d: dwErrorCode %s", systemErrorText(ports_.system.lastError()));
  }
}

void ZAr763ORIdirevaVodoRev::vFinishHubBars(std::uint32_t color) {
  m_Model.finishHubBars(color, m_DevList.DevNums);
}

void ZAr763ORIdirevaVodoRev::vSetHubBar(std::uint8_t ucTargetNumber, int nPos, std::optional<std::uint32_t> color) {
  m_Model.setHubBar(ucTargetNumber, nPos, color);
}

void ZAr763ORIdirevaVodoRev::vSetUpControls() { m_Model.setUpControls(); }

void ZAr763ORIdirevaVodoRev::vSetUpProgressBars() {
  m_Model.setUpBars();
  m_Model.setTimer(&ports_.clock, ui::DialogModel::kTimerPeriodMs, [this] { OnTimer(kProgressTimerId); });
}

void ZAr763ORIdirevaVodoRev::vShowAttention(bool bShow) { m_Model.showAttention(bShow); }

void ZAr763ORIdirevaVodoRev::vEnableOkButton(bool bEnable) { m_Model.enableOk(bEnable); }

void ZAr763ORIdirevaVodoRev::OnTimer(std::uint32_t nIDEvent) {
  if (nIDEvent != kProgressTimerId) {
    m_Model.resetOverallBar();
    return;
  }
  const std::uint8_t state = m_MainThreadInfo.ucState;
  if (state == MAIN_THREAD_FINISH) {
    if (!m_Model.timerRunning()) return;
    HBX_LOG_MSG(L"%s:%d: main  Finish!!!  ");
  } else if (state == MAIN_THREAD_SCAN && m_bConsole) {
    for (const std::wstring& piece : m_SearchIndicator.tick()) ports_.system.consoleWrite(nformat("%S", piece));
    ports_.clock.sleepMs(kSearchTickPauseMs);
  }
  m_Model.onTimerTick(state, m_MainThreadInfo.bAllPass != 0);
}

}  // namespace hbx
