// Reading one image of a hub's SPI flash back: the configuration table, then
// the firmware area. When the table cannot be read the hub's device object
// may have changed, so the hub is looked up again by its position.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "hub/device/zelt_hub_dev.h"
#include "platform/handles.h"

namespace hbx {

namespace {

constexpr int kAttempts = 3;
constexpr std::size_t kRomBufferBytes = 0xFF00;
constexpr std::size_t kTableBytes = 256;
constexpr std::uint32_t kFailurePauseMs = 5000;
constexpr std::uint32_t kPauseMs = 500;

}  // namespace

bool CHubUtility::bReadSPIROM(std::uint8_t index, std::uint8_t* out, std::uint8_t image, std::uint8_t variant) {
  try {
    CZeltHubDev* dev = m_ZeltUSBLib.hubDev();
    if (dev == nullptr || dev->m_pDevList == nullptr || out == nullptr || index >= kMaxDevices) return false;
    DeviceListEntry& entry = dev->m_pDevList->Devs[index];
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      std::array<std::uint8_t, kTableBytes> table;
      table.fill(0xFF);
      if (dev->HBX763xConfigRead(index, table.data(), kTableBytes, image, variant) == 0) {
        std::memcpy(out, table.data(), kTableBytes);
        // The firmware area goes behind the table, into what is left of the
        // caller's buffer and no further.
        const int read = dev->HBX763xFirmwareRead(index, out + kTableBytes,
                                                  static_cast<std::uint32_t>(kRomBufferBytes - kTableBytes), image, 1);
        if (read != 0) {
          HBX_LOG_ERR(L"%s:%d: HBX763xFirmwareRead Failed[%d] , Retry[%d], dwErrorCode=%s", index, attempt,
                      systemErrorText(ports_.system.lastError()));
          ports_.clock.sleepMs(kFailurePauseMs);
        }
        ports_.clock.sleepMs(kPauseMs);
        return read == 0;
      }
      HBX_LOG_ERR(L"%s:%d: HBX763xConfigRead Failed[%d] , Retry[%d], dwErrorCode=%s", index, attempt,
                  systemErrorText(ports_.system.lastError()));
      ports_.clock.sleepMs(kFailurePauseMs);

      const std::uint8_t oldPosition = entry.m_ucOldPositionIndex;
      const std::uint8_t oldCount = dev->m_DriverNum;
      {
        // One walk at a time, also when several hubs are read back at once.
        std::lock_guard<std::mutex> lock(m_EnumCriticalSection);
        dev->m_DriverNum = 0;
        GetDeviceList();
      }
      if (dev->m_DriverNum != oldCount) {
        ports_.clock.sleepMs(kFailurePauseMs);
        HBX_LOG_MSG(L"%s:%d: ucTargetNumber[%d], the total target hub number[%d] is not equal to "
                    L"ucOldPositionIndex[%d] !!! ",
                    index, dev->m_DriverNum, oldCount);
        continue;
      }
      for (std::uint8_t r = 0; r < dev->m_DriverNum; ++r) {
        const DriverInfo& record = dev->m_DriverInfo[r];
        if (record.ucPositionIndex != oldPosition) continue;
        std::unique_ptr<DriverInfo> scratch(new (std::nothrow) DriverInfo);
        if (!scratch) {
          HBX_LOG_ERR(L"%s:%d: vMemory Allocation Failed , Retry[%d], dwErrorCode=%s", attempt,
                      systemErrorText(platform::err::kNotEnoughMemory));
          continue;
        }
        vClearDriverInfo(*scratch);
        if (record.ucDepth == 1) {
          // A hub on a root-hub port: ask the root hub for the hub's name.
          const std::wstring path = L"\\\\.\\" + strField(record.RootHubName);
          const platform::OpenResult root =
              ports_.hubIo.openHub(path, platform::access::kGenericWrite, platform::share::kWrite);
          if (root.handle == platform::kInvalidHandle) {
            HBX_LOG_ERR(L"%s:%d:  CreateFile[%s] fail , dwErrorCode : %s", path, systemErrorText(root.error));
            continue;
          }
          std::wstring name;
          {
            const platform::HubHandle rootHub(ports_.hubIo, root.handle);
            name = strGetExternalHubName(rootHub.get(), record.ucPortIndex);
          }
          vSetField(scratch->DriverName, strChangeDeviceNameForMCCI(name));
          if (GetObjecNameFromDriverName(scratch.get(), true, false) != 0) {
            HBX_LOG_ERR(L"%s:%d: bReadSPIROM Failed  , Retry[%d], dwErrorCode=%s",
                        attempt, systemErrorText(ports_.system.lastError()));
            continue;
          }
        } else {
          // A deeper hub's port number belongs to its parent hub, not to the
          // root hub: the walk has just looked its device object up.
          std::memcpy(scratch->DeviceObjectName, record.DeviceObjectName, sizeof scratch->DeviceObjectName);
        }
        entry.m_strObjectName = strField(scratch->DeviceObjectName);
        break;
      }
      ports_.clock.sleepMs(kPauseMs);
    }
    ports_.clock.sleepMs(kPauseMs);
    return false;
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d:  catch , dwErrorCode %s", systemErrorText(ports_.system.lastError()));
    return false;
  }
}

}  // namespace hbx
