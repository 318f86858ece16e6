#include "hub/device/zelt_usb_lib.h"

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/device/filter_protocol.h"
#include "hub/hub_utility.h"

namespace hbx {

CZeltHubDev* CZeltUSBLib::ensureHubDev() {
  if (!m_pHubDev) {
    try {
      m_pHubDev = std::make_unique<CZeltHubDev>(*utility_);
    } catch (...) {
      HBX_LOG_MSG(L"%s:%d: OpenDev: OSv%d Fail:%s ", 0, systemErrorText(utility_->ports().system.lastError()));
    }
  }
  return m_pHubDev.get();
}

int CZeltUSBLib::OpenDev(DeviceList* pDevList, std::uint8_t clear) {
  CZeltHubDev* hubDev = ensureHubDev();
  if (hubDev == nullptr) return filter::rc::kNoHub;
  return hubDev->OpenDevice(pDevList, clear);
}

}  // namespace hbx
