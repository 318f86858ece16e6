// The thread routines of the run and the first scan, as dialog members.
#include <exception>

#include "update/run_dialog.h"
#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "update/hub_worker.h"
#include "update/main_task.h"
#include "update/run_display.h"
#include "ui/control_ids.h"

namespace hbx {

namespace {
inline constexpr int kScanAttempts = 3;
}

int RunDialog::MainThreadFun(MainThreadInfo* pMainThreadInfo) {
  try {
    update::MainTask task(*this, utility_, ports_, m_RunThreads, *pMainThreadInfo);
    task.run();
  } catch (const std::exception&) {
    HBX_DLG_ERR(L"%s:%d: Catch Error, Error=%s", systemErrorText(ports_.system.lastError()));
  }
  return 1;
}

int RunDialog::ChildThreadFun(ChildThreadInfo* pChildThreadInfo) {
  update::HubWorker worker(*this, utility_, ports_, m_RunThreads, *pChildThreadInfo);
  try {
    return worker.run();
  } catch (const std::exception&) {
    worker.abnormalEnd(ports_.system.lastError());
    return 0;
  }
}

void RunDialog::vRequestStop() {
  m_RunThreads.requestStop();
  if (m_RunThreads.stopNowRequested()) {
    HBX_DLG_ERR(L"%s:%d: Stop requested again: the run ends at once");
  } else {
    HBX_DLG_ERR(L"%s:%d: Stop requested: no hub starts its writes, the writes in progress are finished");
  }
}

bool RunDialog::vScanUSBPort() {
  HBX_DLG_MSG(L"%s:%d:   vScanUSBPort !!!");
  try {
    const int codeBefore = m_iRet.load();
    for (int attempt = 0; attempt < kScanAttempts; ++attempt) {
      if (m_RunHooks.openDevices) m_RunHooks.openDevices(&m_DevList);
      else utility_.m_ZeltUSBLib.OpenDev(&m_DevList, 1);
      if (m_DevList.DevNums != 0) {
        HBX_DLG_MSG(L"%s:%d: Device Number : %d", m_DevList.DevNums);
        vShowHubInfo(static_cast<std::uint8_t>(m_DevList.DevNums));
        // A scan that found the hubs on a later attempt is no failed scan.
        m_iRet = codeBefore;
        break;
      }
      m_Model.setItemText(ui::ctrl::kHubCount, L"0");
      m_Model.setItemText(ui::ctrl::kSpareVersion, L"");
      HBX_DLG_ERR(L"%s:%d: Can not found Corvane hubs:  , retry [%d]", attempt);
      m_iRet = exitValue(ExitCode::kNoHubFound);
      ports_.clock.sleepMs(100);
    }
    return true;
  } catch (const std::exception&) {
    HBX_DLG_ERR(L"%s:%d: vScanUSBPort:  dwErrorCode %s", systemErrorText(ports_.system.lastError()));
    return false;
  }
}

}  // namespace hbx
