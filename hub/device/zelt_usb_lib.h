#pragma once
// CZeltUSBLib: creates the one hub device object on first use and hands scans
// to it. The utility object holds the program's single instance.
#include <cstdint>
#include <memory>

#include "hub/device/zelt_hub_dev.h"

namespace hbx {

class CHubUtility;

class CZeltUSBLib {
 public:
  explicit CZeltUSBLib(CHubUtility& utility) : utility_(&utility) {}
  virtual ~CZeltUSBLib() = default;
  CZeltUSBLib(const CZeltUSBLib&) = delete;
  CZeltUSBLib& operator=(const CZeltUSBLib&) = delete;

  // Creates the hub device object when there is none yet, then runs its scan.
  // -4 when the object cannot be created.
  int OpenDev(DeviceList* pDevList, std::uint8_t clear);
  // The hub device object, or null before the first scan.
  CZeltHubDev* hubDev() { return m_pHubDev.get(); }
  // Creates the hub device object if needed; null when that fails.
  CZeltHubDev* ensureHubDev();

 private:
  CHubUtility* utility_;
  std::unique_ptr<CZeltHubDev> m_pHubDev;
};

}  // namespace hbx
