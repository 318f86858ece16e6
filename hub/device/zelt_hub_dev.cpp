#include "hub/device/zelt_hub_dev.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "hub/device/device_handle.h"
#include "hub/device/filter_protocol.h"

namespace hbx {

using hubdev::ScopedDevice;

namespace {

constexpr std::uint32_t kMaxFirmwareFile = 0x10000;
constexpr std::uint32_t kErasePollSeconds = 3;
constexpr std::uint8_t kEraseDone = 1;

}  // namespace

CZeltHubDev::CZeltHubDev(CHubUtility& utility) : ZELTFILTER0(utility.ports()), utility_(utility) {
  vInitialPrivateData();
}

platform::Ports& CZeltHubDev::ports() { return utility_.ports(); }

std::wstring CZeltHubDev::objectName(std::uint8_t index) const {
  if (m_pDevList == nullptr || index >= kMaxDevices) return {};
  return m_pDevList->Devs[index].m_strObjectName;
}

bool CZeltHubDev::recordHasObject(std::uint8_t index) const {
  return index < kMaxDriverRecords && m_DriverInfo[index].DeviceObjectName[0] != L'\0';
}

int CZeltHubDev::HBX763xAccessRegister(std::uint8_t index, std::uint8_t* buffer, std::uint32_t length,
                                       std::uint16_t address, std::uint8_t write) {
  if (m_DriverNum == 0) return filter::rc::kNoHub;
  const std::wstring name = objectName(index);
  ScopedDevice device(ports().deviceIo, name);
  if (!device.ok()) return filter::rc::kFailed;
  const int result = ZELTFILTER0.RegisterReadWriteCmd(device.get(), buffer, length, address, write);
  if (result != 0) HBX_LOG_ERR(L"%s:%d: RegisterReadWriteCmd failed, CreateFile[%s] ", name);
  return result;
}

int CZeltHubDev::HBX763xBlockErase(std::uint8_t index, std::uint8_t image) {
  if (!recordHasObject(index)) return filter::rc::kBadArgument;
  int result = filter::rc::kFailed;
  try {
    ScopedDevice device(ports().deviceIo, objectName(index));
    if (!device.ok()) {
      HBX_LOG_ERR(L"%s:%d: ucTargetNumber[%d], CreateFile[%s] failed, dwErrorCode %s", index,
                  m_DriverInfo[index].DeviceObjectName, systemErrorText(device.error()));
      return filter::rc::kFailed;
    }
    const std::uint8_t done = kEraseDone;
    result = ZELTFILTER0.SPIBlockEraseCmd(device.get(), image, 0);
    if (result != 0) {
      HBX_LOG_WRN(L"%s:%d: SPIBlockEraseCmd[%d] Bolcok 0, return %d, dwErrorCode %s", index, result,
                  systemErrorText(ports().system.lastError()));
      return result;
    }
    if (!utility_.PollingRegStatus(device.get(), filter::reg::kEraseStatus, &done, 1, kErasePollSeconds)) {
      HBX_LOG_WRN(L"%s:%d: PollingRegStatus [Dev%d] TimeOut!!! Bolcok 0, dwErrorCode %s", index,
                  systemErrorText(ports().system.lastError()));
      // An image that was not erased must not be programmed: NOR flash would
      // keep a mix of old and new bits.
      return filter::rc::kFailed;
    }
    result = ZELTFILTER0.SPIBlockEraseCmd(device.get(), image, 1);
    if (result != 0) {
      HBX_LOG_ERR(L"%s:%d: SPIBlockEraseCmd[%d] return %d, dwErrorCode %s",
                  index, result, systemErrorText(ports().system.lastError()));
    }
    if (!utility_.PollingRegStatus(device.get(), filter::reg::kEraseStatus, &done, 1, kErasePollSeconds)) {
      HBX_LOG_ERR(L"%s:%d: PollingRegStatus [Dev%d] TimeOut!!! Bolcok 0, dwErrorCode %s", index,
                  systemErrorText(ports().system.lastError()));
      result = filter::rc::kFailed;
    }
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: HBX763xConfigWrite[%d]: dwErrorCode %s", index, systemErrorText(ports().system.lastError()));
  }
  return result;
}

int CZeltHubDev::HBX763xConfigRead(std::uint8_t index, std::uint8_t* out, std::uint32_t length,
                                   std::uint8_t image, std::uint8_t variant) {
  ScopedDevice device(ports().deviceIo, objectName(index));
  if (!device.ok()) {
    HBX_LOG_ERR(L"%s:%d: Target[%d] CreateFile FAIL, ret:%s", index, systemErrorText(device.error()));
    return filter::rc::kFailed;
  }
  int result = length < filter::kPacketData ? filter::rc::kBadArgument : filter::rc::kOk;
  for (std::uint32_t piece = 0; piece < length / filter::kPacketData; ++piece) {
    std::array<std::uint8_t, filter::kPacketData> chunk{};
    const std::uint32_t offset = piece * filter::kPacketData;
    if (ZELTFILTER0.ReadConfigFWCmd(device.get(), chunk.data(), filter::kPacketData, offset, image, variant) != 0) {
      HBX_LOG_ERR(L"%s:%d: Target[%d] ReadConfigFWCmd FAIL, ret:%s",
                  index, systemErrorText(ports().system.lastError()));
      result = filter::rc::kFailed;
      break;
    }
    std::memcpy(out + offset, chunk.data(), chunk.size());
  }
  if (result != 0) HBX_LOG_ERR(L"%s:%d: Target[%d] ReadConfigFWCmd FAIL, ret:%d", index, result);
  return result;
}

int CZeltHubDev::HBX763xConfigWrite(std::uint8_t index, const std::uint8_t* table, std::uint8_t image,
                                    std::uint8_t variant) {
  if (!recordHasObject(index)) return filter::rc::kBadArgument;
  int result = filter::rc::kFailed;
  try {
    ScopedDevice device(ports().deviceIo, objectName(index));
    if (!device.ok()) {
      HBX_LOG_ERR(L"%s:%d: ucTargetNumber[%d], CreateFile[%s] failed, dwErrorCode %s", index,
                  m_DriverInfo[index].DeviceObjectName, systemErrorText(device.error()));
      return filter::rc::kFailed;
    }
    const std::uint8_t opcode = variant ? filter::op::kConfigWrite : filter::op::kConfigWrite0;
    result = ZELTFILTER0.DownLoadCMD(device.get(), table, filter::kConfigTableSize, opcode, image);
    if (result != 0) {
      HBX_LOG_ERR(L"%s:%d: HBX763xConfigWrite[%d] return %d, dwErrorCode %s",
                  index, result, systemErrorText(ports().system.lastError()));
    }
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: HBX763xConfigWrite[%d]: dwErrorCode %s", index, systemErrorText(ports().system.lastError()));
  }
  return result;
}

int CZeltHubDev::HBX763xFirmwareRead(std::uint8_t index, std::uint8_t* out, std::uint32_t capacity,
                                     std::uint8_t image, std::uint8_t variant) {
  const std::wstring name = objectName(index);
  ScopedDevice device(ports().deviceIo, name);
  if (!device.ok()) {
    HBX_LOG_ERR(L"%s:%d: Target[%d] CreateFile FAIL[%s], ret:%s", index, name, systemErrorText(device.error()));
    return filter::rc::kFailed;
  }
  std::array<std::uint8_t, filter::kPacketData> chunk;
  chunk.fill(0xFF);
  // A failed read leaves 0xFFFF, which the length check refuses.
  ZELTFILTER0.ReadConfigFWCmd(device.get(), chunk.data(), filter::kPacketData, filter::kFirmwareAreaOffset,
                              image, variant);
  const std::uint32_t firmwareLength = chunk[0] | (chunk[1] << 8);
  // The length, code, marker and checksum made up to whole packets, but never
  // past the end of the image: the longest firmware ends in its last packet.
  const std::uint32_t end =
      std::min(firmwareLength + filter::kFirmwareAreaOffset + filter::kPacketData, filter::kImageSize);
  const std::uint32_t needed =
      (end - filter::kFirmwareAreaOffset + filter::kPacketData - 1) / filter::kPacketData * filter::kPacketData;
  if (!filter::isValidFirmwareLength(firmwareLength) || needed > capacity) {
    HBX_LOG_ERR(L"%s:%d: Target[%d] ReadConfigFWCmd FAIL, wFWLength=%x, Error:%s", index, firmwareLength,
                systemErrorText(ports().system.lastError()));
    return filter::rc::kFailed;
  }
  std::uint32_t written = 0;
  for (std::uint32_t offset = filter::kFirmwareAreaOffset; offset < end; offset += filter::kPacketData) {
    // The firmware area is always read with variant flag 1.
    if (ZELTFILTER0.ReadConfigFWCmd(device.get(), out + written, filter::kPacketData, offset, image, 1) != 0) {
      return filter::rc::kFailed;
    }
    written += filter::kPacketData;
  }
  return filter::rc::kOk;
}

int CZeltHubDev::HBX763xFirmwareWrite(std::uint8_t index, const std::wstring& path, std::uint8_t image,
                                      std::uint8_t variant) {
  if (!utility_.bCheckFilePathExists(path, 0)) return filter::rc::kFailed;
  platform::FilePort& files = ports().files;
  int result = filter::rc::kFailed;
  // Held past the catch below: the file is closed after a failure is logged.
  platform::FileHandle file(files, platform::kInvalidHandle);
  try {
    const platform::OpenResult opened =
        files.createFile(path, platform::access::kGenericRead, platform::share::kRead,
                         platform::creation::kOpenExisting, 0);
    if (opened.handle == platform::kInvalidHandle) {
      HBX_LOG_ERR(L"%s:%d: Failed to open file for reading: %s, Error code: %s", path, systemErrorText(opened.error));
      return filter::rc::kFailed;
    }
    file.reset(opened.handle);
    std::int64_t size = 0;
    std::uint32_t error = 0;
    if (!files.fileSize(file.get(), size, error)) {
      HBX_LOG_ERR(L"%s:%d: Failed to get file size: %s, Error code: %s", path, systemErrorText(error));
      return filter::rc::kFailed;
    }
    if (size < 0 || size > static_cast<std::int64_t>(kMaxFirmwareFile)) {
      HBX_LOG_ERR(L"%s:%d: Memory allocation failed for file buffer, dwFWFileLen: %d, Error code: %s",
                  static_cast<long long>(size), systemErrorText(platform::err::kNotEnoughMemory));
      return filter::rc::kFailed;
    }
    const auto length = static_cast<std::uint32_t>(size);
    std::vector<std::uint8_t> data(length);
    const platform::FileIoResult read = files.readFile(file.get(), data.data(), length);
    if (!read.ok || read.bytes != length) {
      HBX_LOG_ERR(L"%s:%d: Failed to read file: %s, Error code: %s", path, systemErrorText(read.error));
      return filter::rc::kFailed;
    }
    ScopedDevice device(ports().deviceIo, objectName(index), platform::access::kGenericWrite);
    if (!device.ok()) {
      HBX_LOG_ERR(L"%s:%d: Failed to open target device, Error code: %s", systemErrorText(device.error()));
      return filter::rc::kFailed;
    }
    const std::uint8_t opcode = variant ? filter::op::kFirmwareWrite : filter::op::kFirmwareWrite0;
    result = ZELTFILTER0.DownLoadCMD(device.get(), data.data(), length, opcode, image);
    if (result != 0) HBX_LOG_ERR(L"%s:%d: Download [%d] FW failed, Error code: %s",
                                 index, systemErrorText(ports().system.lastError()));
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: HBX763xFirmwareWrite [%d]: Unexpected error occurred, Error code: %s", index,
                systemErrorText(ports().system.lastError()));
  }
  return result;
}

int CZeltHubDev::HBX763xReset(std::uint8_t index, std::uint8_t byRegisters) {
  if (m_DriverNum == 0) return filter::rc::kNoHub;
  const std::wstring name = objectName(index);
  ScopedDevice device(ports().deviceIo, name);
  if (!device.ok()) {
    HBX_LOG_ERR(L"%s:%d: Target[%d] CreateFile FAIL,objectname=%s,  Error:%s",
                index, name, systemErrorText(device.error()));
    return filter::rc::kNoHub;
  }
  return ZELTFILTER0.SendCpuResetByFilterDriver(device.get(), byRegisters);
}

void CZeltHubDev::vInitialPrivateData() {
  HBX_LOG_MSG(L"%s:%d:   Clear  Descriptor");
  m_ucListPosition = 0;
  for (std::wstring* text : {&m_strPID, &m_strVID, &m_strSN, &m_strManufacturer, &m_strProduct,
                             &m_strBcdDevice, &m_strBcdUSB}) {
    text->clear();
  }
}

}  // namespace hbx
