// The thread routines of the run and the first scan, as dialog members.
#include <exception>

#include "app/fw_update_dlg.h"
#include "app/log/debug_log.h"
#include "host/hub_utility.h"
#include "update/hub_worker.h"
#include "update/main_task.h"
#include "update/run_display.h"
#include "ui/control_ids.h"

namespace hbx {

namespace {
inline constexpr int kScanAttempts = 3;
}

int ZAr763ORIdirevaVodoRev::MainThreadFun(MainThreadInfo* pMainThreadInfo) {
  try {
    update::MainTask task(*this, utility_, ports_, m_RunThreads, *pMainThreadInfo);
    task.run();
  } catch (const std::exception&) {
    HBX_LOG_ERR(L"%s:%d: Catch Error, Error=%d", ports_.system.lastError());
  }
  return 1;
}

int ZAr763ORIdirevaVodoRev::ChildThreadFun(ChildThreadInfo* pChildThreadInfo) {
  update::HubWorker worker(*this, utility_, ports_, m_RunThreads, *pChildThreadInfo);
  try {
    return worker.run();
  } catch (const std::exception&) {
    worker.abnormalEnd(ports_.system.lastError());
    return 0;
  }
}

bool ZAr763ORIdirevaVodoRev::vScanUSBPort() {
  HBX_LOG_MSG(L"%s:%d:   vScanUSBPort !!!");
  try {
    const int codeBefore = m_iRet.load();
    for (int attempt = 0; attempt < kScanAttempts; ++attempt) {
      if (m_RunHooks.openDevices) m_RunHooks.openDevices(&m_DevList);
      else utility_.m_ZeltUSBLib.OpenDev(&m_DevList, 1);
      if (m_DevList.DevNums != 0) {
        HBX_LOG_MSG(L"%s:%d: Device Number : %d", m_DevList.DevNums);
        vShowHubInfo(static_cast<std::uint8_t>(m_DevList.DevNums));
        // A scan that found the hubs on a later attempt is no failed scan.
        m_iRet = codeBefore;
        break;
      }
      m_Model.setItemText(ui::ctrl::kHubCount, L"0");
      m_Model.setItemText(ui::ctrl::kSpareVersion, L"");
      HBX_LOG_ERR(L"%s:%d: Can not found Corvane hubs:  , retry [%d]", attempt);
      m_iRet = exitcode::kNoHubFound;
      ports_.clock.sleepMs(100);
    }
    return true;
  } catch (const std::exception&) {
    HBX_LOG_ERR(L"%s:%d: vScanUSBPort:  dwErrorCode %d", ports_.system.lastError());
    return false;
  }
}

}  // namespace hbx
