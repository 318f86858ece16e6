// The utility object's hub operations: signature marking, register polling,
// version reads and the dispatchers of the per-hub worker. All register
// traffic goes through ZELTFILTER1 on a handle the caller opened.
#include <algorithm>
#include <array>
#include <cstring>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "hub/device/device_handle.h"
#include "hub/device/filter_protocol.h"

namespace hbx {

using platform::OsHandle;

namespace {

constexpr std::uint32_t kPollPeriodMs = 100;
constexpr std::uint32_t kVersionRetryPauseMs = 500;
constexpr std::uint32_t kConfigPauseMs = 500;
constexpr std::uint32_t kSignatureReadLength = 4;

bool invalid(OsHandle h) { return h == platform::kInvalidHandle; }

// The identification mark pairs a hub's two connections, so it is reached
// through the older register requests when a hub refuses the vendor ones:
// otherwise one chip would be listed, and written, as two hubs.
int signatureRegister(CZELTFILTER0& filter, OsHandle hDevice, std::uint8_t* buffer, std::uint8_t length,
                      std::uint16_t address, std::uint8_t write) {
  if (filter.RegisterReadWriteCmd(hDevice, buffer, length, address, write) == 0) return filter::rc::kOk;
  return filter.RegisterReadWriteCmdOld(hDevice, buffer, length, address, write);
}

constexpr int kMarkAttempts = 3;

}  // namespace

bool CHubUtility::PollingRegStatus(OsHandle hDevice, std::uint16_t address, const std::uint8_t* expected,
                                   std::uint8_t count, std::uint32_t timeoutSeconds) {
  platform::ClockPort& clock = ports_.clock;
  const std::int64_t start = clock.calendarSeconds();
  const std::uint32_t length = std::min<std::uint32_t>(count, filter::kMaxRegisterLength);
  std::array<std::uint8_t, filter::kMaxRegisterLength> status{};
  for (;;) {
    if (ZELTFILTER1.RegisterReadWriteCmd(hDevice, status.data(), length, address, 0) != 0) {
      HBX_LOG_ERR(L"%s:%d: RegisterReadWriteCmd Failed ,  dwErrorCode %s", systemErrorText(ports_.system.lastError()));
      return false;
    }
    // A register that has reached its value counts even when the read came
    // late: a failed erase now fails the write, so a finished one must not be
    // taken for a time-out.
    if (std::equal(expected, expected + length, status.data())) {
      HBX_LOG_MSG(L"%s:%d:   ucTargetValue=%d, pBLockEraseStatus[0]=%d", expected[0], status[0]);
      clock.sleepMs(kPollPeriodMs);
      return true;
    }
    if (clock.calendarSeconds() - start > static_cast<std::int64_t>(timeoutSeconds)) {
      HBX_LOG_ERR(L"%s:%d: Time Out (%ds), ucTargetValue=%d", timeoutSeconds, expected[0]);
      return false;
    }
    clock.sleepMs(kPollPeriodMs);
  }
}

int CHubUtility::WriteSignatureWORD(OsHandle hDevice, std::uint16_t word) {
  if (invalid(hDevice)) return filter::rc::kBadArgument;
  std::uint8_t low = static_cast<std::uint8_t>(word & 0xFF);
  std::uint8_t high = static_cast<std::uint8_t>(word >> 8);
  if (signatureRegister(ZELTFILTER1, hDevice, &low, 1, filter::reg::kSignature, 1) != 0 ||
      signatureRegister(ZELTFILTER1, hDevice, &high, 1, filter::reg::kSignatureNumber, 1) != 0) {
    HBX_LOG_ERR(L"%s:%d: RegisterReadWriteCmd Failed  Error:%s", systemErrorText(ports_.system.lastError()));
    return filter::rc::kFailed;
  }
  return filter::rc::kOk;
}

int CHubUtility::MarkSignatureforIdentify(OsHandle hDevice, std::uint8_t mark) {
  if (invalid(hDevice)) return filter::rc::kBadArgument;
  const std::uint16_t marked = static_cast<std::uint16_t>(mark * 256 + filter::kSignatureMark);
  // One failed write must not split the hub in two: the mark is written
  // again until it reads back.
  std::array<std::uint8_t, kSignatureReadLength> readBack{};
  for (int attempt = 0; attempt < kMarkAttempts; ++attempt) {
    bool written = true;
    for (std::uint16_t word : {std::uint16_t{0xFFFF}, marked}) {
      if (written && WriteSignatureWORD(hDevice, word) != 0) {
        HBX_LOG_ERR(L"%s:%d: ZELTFILTER1.RegisterReadWriteCmd Failed  Error:%s",
                    systemErrorText(ports_.system.lastError()));
        written = false;
      }
    }
    if (!written) continue;
    if (signatureRegister(ZELTFILTER1, hDevice, readBack.data(), kSignatureReadLength, filter::reg::kSignature,
                          0) != 0) {
      HBX_LOG_ERR(L"%s:%d: ZELTFILTER1.RegisterReadWriteCmd Failed  Error:%s",
                  systemErrorText(ports_.system.lastError()));
      continue;
    }
    if (readBack[0] == filter::kSignatureMark && readBack[1] == mark) return filter::rc::kOk;
  }
  if (readBack[0] == filter::kSignatureMark) return filter::rc::kOk;
  // The read-back check is reported under the name of the check it stands for.
  log::writeAt(log::Level::Err, "bool hbx::CHubUtility::bIsSignatureMarked()", __LINE__,
               L"%s:%d: bIsSignatureMarked Failed  Error:%d", ports_.system.lastError());
  return filter::rc::kFailed;
}

std::uint8_t CHubUtility::bIsSignatureMarked(OsHandle hDevice) {
  if (invalid(hDevice)) return 0xF6;
  std::array<std::uint8_t, kSignatureReadLength> signature{};
  if (signatureRegister(ZELTFILTER1, hDevice, signature.data(), kSignatureReadLength, filter::reg::kSignature,
                        0) != 0) {
    HBX_LOG_ERR(L"%s:%d: ZELTFILTER1.RegisterReadWriteCmd Failed  Error:%s",
                systemErrorText(ports_.system.lastError()));
    return 0xFF;
  }
  return signature[0] == filter::kSignatureMark ? 1 : 0;
}

std::uint8_t CHubUtility::ucGetSignatureMarked(OsHandle hDevice) {
  if (invalid(hDevice)) return 0xF6;
  std::array<std::uint8_t, kSignatureReadLength> signature{};
  if (signatureRegister(ZELTFILTER1, hDevice, signature.data(), kSignatureReadLength, filter::reg::kSignature,
                        0) != 0) {
    HBX_LOG_ERR(L"%s:%d: ZELTFILTER1.RegisterReadWriteCmd Failed  Error:%s",
                systemErrorText(ports_.system.lastError()));
    return 0xFF;
  }
  return signature[1];
}

bool CHubUtility::bGet763xFWVersion(DriverInfo& info) {
  constexpr int kAttempt = 0;
  std::memset(info.FWVersion, 0, sizeof info.FWVersion);
  hubdev::ScopedDevice device(ports_.deviceIo, info.DeviceObjectName);
  if (!device.ok()) {
    HBX_LOG_ERR(L"%s:%d: Create[%s] Failed,Retry[%d],  dwErrorCode=%s", info.DeviceObjectName, kAttempt,
                systemErrorText(device.error()));
    ports_.clock.sleepMs(kVersionRetryPauseMs);
    return false;
  }
  std::array<std::uint8_t, 16> block{};
  if (ZELTFILTER1.Get_Version(device.get(), block.data(), 16, 0) != 0) {
    HBX_LOG_WRN(L"%s:%d: Get_Version Failed, Retry[%d], dev_name=%s , dwErrorCode=%s", kAttempt,
                info.DeviceObjectName, systemErrorText(ports_.system.lastError()));
    ports_.clock.sleepMs(kVersionRetryPauseMs);
    return false;
  }
  std::wstring hex;
  for (std::uint8_t b : block) hex += wformat(L"%02x", b);
  HBX_LOG_MSG(L"%s:%d: strFWver =%s ", hex);
  if (!filter::isAcceptedFamily(block.data())) {
    ports_.clock.sleepMs(kVersionRetryPauseMs);
    return false;
  }
  std::memcpy(info.FWVersion, block.data(), block.size());
  return true;
}

bool CHubUtility::vWrRdConfiguration(std::uint8_t index, std::uint8_t action, std::uint8_t* table,
                                     std::uint8_t image, std::uint8_t variant) {
  CZeltHubDev* hubDev = m_ZeltUSBLib.hubDev();
  if (hubDev == nullptr) return false;
  const std::uint8_t target = variant ? image : 1;
  int result = 0;
  if (action == 2) {
    result = hubDev->HBX763xBlockErase(index, target);
  } else if (action == 1) {
    // Programming over an image whose erase failed would corrupt it.
    result = hubDev->HBX763xBlockErase(index, target);
    if (result == 0) result = hubDev->HBX763xConfigWrite(index, table, target, variant);
  } else {
    result = hubDev->HBX763xConfigRead(index, table, filter::kConfigTableSize, target, variant);
  }
  ports_.clock.sleepMs(kConfigPauseMs);
  return result == 0;
}

int CHubUtility::vCPURST(std::uint8_t index, std::uint8_t byRegisters) {
  CZeltHubDev* hubDev = m_ZeltUSBLib.hubDev();
  if (hubDev == nullptr) return filter::rc::kNoHub;
  return hubDev->HBX763xReset(index, byRegisters);
}

}  // namespace hbx
