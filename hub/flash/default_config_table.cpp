// The default configuration table, for a hub whose own table cannot be read.
#include "base/log/debug_log.h"
#include "hub/hub_utility.h"
#include "image/default_config.h"

namespace hbx {

void CHubUtility::vSetMConfigInfo(std::uint8_t index) {
  const image::ConfigTable table = image::buildDefaultConfigTable(m_ucRegTable);
  m_ucMConfigInfo = table;
  CZeltHubDev* dev = m_ZeltUSBLib.hubDev();
  if (dev == nullptr || dev->m_pDevList == nullptr || index >= dev->m_pDevList->Devs.size()) {
    HBX_LOG_ERR(L"%s:%d: no device list entry [%d] for the default configuration", index);
    return;
  }
  dev->m_pDevList->Devs[index].m_ucConfigTable = table;
}

}  // namespace hbx
