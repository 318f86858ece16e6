// Finding a hub again after its processor reset. The hub comes back under new
// device objects and perhaps new ids; only its place in the tree survives.
// The position index alone is not a place (hubs on the same port number of
// like parents share it), so a record is the hub only when its root hub and
// its whole chain of ports are the hub's as well.
// The rebuild runs on records and a device list of its own, so the entries the
// other workers use are never cleared under them: only the target's entry and
// the discovered-hub records are brought up to date.
#include <algorithm>
#include <cstring>

#include "base/log/debug_log.h"
#include "base/text/text_util.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "hub/device/device_handle.h"
#include "hub/device/zelt_hub_dev.h"
#include "hub/discovery/usb_layouts.h"

namespace hbx {

namespace {

constexpr int kAttempts = 3;
constexpr std::uint32_t kNoHubPauseMs = 2000;
constexpr std::uint32_t kSlotFailedPauseMs = 5000;
constexpr std::uint32_t kAttemptPauseMs = 750;
constexpr std::size_t kSlots = 8;

bool samePlace(const DriverInfo& record, const DeviceListEntry& target) {
  return strField(record.RootHubName) == target.m_strRootHubName && portChainOf(record) == target.m_PortChain;
}
constexpr std::uint8_t kSerialChars = 20;

}  // namespace

bool CHubUtility::ReEnumrationTargetHub(std::uint8_t ucTargetNumber) {
  CZELTFILTER0 filter(ports_);
  std::lock_guard<std::mutex> lock(m_EnumCriticalSection);
  CZeltHubDev* shared = m_ZeltUSBLib.ensureHubDev();
  if (shared == nullptr || shared->m_pDevList == nullptr || ucTargetNumber >= kSlots) return false;
  DeviceListEntry& target = shared->m_pDevList->Devs[ucTargetNumber];
  m_ulOldPositionIndex[ucTargetNumber] = target.m_ucOldPositionIndex;
  const auto remembered = static_cast<std::uint8_t>(m_ulOldPositionIndex[ucTargetNumber]);
  // The rebuild must not move the reset tier the main task is working down.
  const std::uint8_t maxHubDepth = m_MaxHubDepth.load();

  bool result = false;
  try {
    CZeltHubDev rebuild(*this);
    DeviceList own;
    for (int attempt = 0; attempt < kAttempts && !result; ++attempt) {
      rebuild.m_DriverNum = 0;
      m_bAllHubCheck4ReEnum.store(1);
      rebuild.OpenDevice(&own, 1);
      m_MaxHubDepth.store(maxHubDepth);
      if (rebuild.m_DriverNum == 0) {
        ports_.clock.sleepMs(kNoHubPauseMs);
        HBX_LOG_ERR(L"%s:%d: ucTargetNumber[%d], get Hubs Number is 0, Retry[%d]!!!", ucTargetNumber, attempt);
        continue;
      }
      // Every record: the hub's may lie beyond the eighth.
      for (std::size_t slot = 0; slot < rebuild.m_DriverNum && !result; ++slot) {
        const DriverInfo& record = rebuild.m_DriverInfo[slot];
        if (record.ucPositionIndex != remembered) continue;
        if (!samePlace(record, target)) {
          HBX_LOG_MSG(L"%s:%d: ucTargetNumber[%d], hub [%s] at position index [%d] sits elsewhere: not the target",
                      ucTargetNumber, strField(record.DeviceObjectName), remembered);
          continue;
        }
        HBX_LOG_MSG(L"%s:%d: ucTargetNumber[%d], Find the target hub[%s] ucOldPositionIndex[%d]", ucTargetNumber,
                    own.Devs[slot].m_strObjectName, remembered);
        std::wstring version;
        for (int b = 0; b < 6; ++b) version += wformat(L"%02x", record.FWVersion[b]);
        target.m_strFWVersion = text::upper(version);

        const std::wstring objectName = strField(record.DeviceObjectName);
        hubdev::ScopedDevice device(ports_.deviceIo, objectName);
        if (!device.ok()) {
          HBX_LOG_ERR(L"%s:%d: This device[%s] handle can not be open,", objectName);
          ports_.clock.sleepMs(kSlotFailedPauseMs);
          continue;
        }
        std::uint8_t d[18] = {};
        const int descriptorResult = filter.Get_Descriptor(device.get(), d, sizeof d);
        if (descriptorResult != 0) {
          HBX_LOG_ERR(L"%s:%d: ZELTFILTER0.Get_Descriptor Failed, Error:%d", descriptorResult);
          ports_.clock.sleepMs(kSlotFailedPauseMs);
          continue;
        }
        const UsbDeviceDescriptor descriptor = UsbDeviceDescriptor::parse(std::vector<std::uint8_t>(d, d + sizeof d), 0);
        std::wstring serial = L"----";
        if (descriptor.iSerialNumber != 0) {
          std::uint8_t text[kSerialChars + 1] = {};
          filter.Get_StringDescriptor(device.get(), text, kSerialChars, descriptor.iSerialNumber);
          serial.clear();
          for (std::size_t i = 0; i < kSerialChars && text[i] != 0; ++i) serial += static_cast<wchar_t>(text[i]);
        }
        const std::wstring bcdUSB = wformat(L"%04x", static_cast<unsigned>(descriptor.bcdUSB));
        target.m_strBcdUSB = bcdUSB;
        target.m_strVID = text::upper(wformat(L"%04x", static_cast<unsigned>(descriptor.idVendor)));
        const std::wstring pid = text::upper(wformat(L"%04x", static_cast<unsigned>(descriptor.idProduct)));
        (text::equalsNoCase(bcdUSB.substr(0, 2), L"03") ? target.m_strPID30 : target.m_strPID20) = pid;
        target.m_strSN = text::upper(serial);
        target.m_strObjectName = objectName;
        result = true;
      }
      if (!result) ports_.clock.sleepMs(kAttemptPauseMs);
    }
    if (result) {
      std::memcpy(shared->m_DriverInfo, rebuild.m_DriverInfo, sizeof shared->m_DriverInfo);
      shared->m_DriverNum = rebuild.m_DriverNum;
    }
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: ucTargetNumber[%d], dwErrorCode %s",
                ucTargetNumber, systemErrorText(ports_.system.lastError()));
    result = false;
  }
  m_bAllHubCheck4ReEnum.store(0);
  m_MaxHubDepth.store(maxHubDepth);
  return result;
}

}  // namespace hbx
