// Building the device list from a walk of the USB tree. The walk itself is
// not here yet: until it is, a scan finds no hub.
#include <cstring>

#include "app/log/debug_log.h"
#include "hubdev/filter_protocol.h"
#include "hubdev/zelt_hub_dev.h"

namespace hbx {

int CZeltHubDev::OpenDevice(DeviceList* pDevList, std::uint8_t clear) {
  m_pDevList = pDevList;
  m_DriverNum = 0;
  for (DriverInfo& record : m_DriverInfo) vClearDriverInfo(record);
  if (clear == 1) vClearPrivateData();
  return filter::rc::kNoHub;
}

void CZeltHubDev::vClearPrivateData() {
  vInitialPrivateData();
  if (m_pDevList == nullptr) return;
  for (std::size_t i = 0; i < 8; ++i) {
    DeviceListEntry& entry = m_pDevList->Devs[i];
    entry.m_ucTargetNumber = 0xFF;
    entry.m_strPID30 = entry.m_strPID20 = entry.m_strSN = entry.m_strProduct = L"----";
    for (std::wstring* text : {&entry.m_strVID, &entry.m_strManufacturer, &entry.m_strBcdDevice,
                               &entry.m_strFWVersion, &entry.m_strSpeed, &entry.m_strRootHubName,
                               &entry.m_strObjectName, &entry.m_strBcdUSB, &entry.m_strPairBcdUSB}) {
      text->clear();
    }
    entry.m_ucHubDepth = 0;
  }
  m_pDevList->DevNums = 0;
}

}  // namespace hbx
