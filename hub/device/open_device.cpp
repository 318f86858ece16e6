// Building the device list from a walk of the USB tree: every record's device
// object is made to answer (restarting hubs that do not), the two connections
// of one hub are paired through an identification mark written over the first
// and read back over the second, and one entry is made per hub.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "base/log/debug_log.h"
#include "base/text/text_util.h"
#include "base/text/utf.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "hub/device/device_handle.h"
#include "hub/device/filter_protocol.h"
#include "hub/device/zelt_hub_dev.h"
#include "hub/discovery/usb_layouts.h"

namespace hbx {

using hubdev::ScopedDevice;

namespace {

// Every line of a scan carries the name of the scan, whichever helper writes it.
constexpr const char* kOpenDevice = "int hbx::CZeltHubDev::OpenDevice()";
#define SCAN_LOG(level, format, ...) \
  ::hbx::log::writeAt(::hbx::log::Level::level, kOpenDevice, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)

constexpr std::uint8_t kOsWindows7 = 8;
constexpr std::uint8_t kMarkBase = 0x30;  // mark number '0' + entry index
constexpr std::uint32_t kRestartPauseMs = 500;
constexpr std::uint32_t kPowerChangedPauseMs = 500;
constexpr std::uint32_t kReopenPauseMs = 200;
constexpr int kAttempts = 3;
constexpr std::uint8_t kProbeChars = 44;
constexpr std::uint8_t kSerialChars = 20;
constexpr std::uint8_t kManufacturerChars = 44;
constexpr std::uint8_t kProductChars = 48;

// A string read through the filter driver: single-byte characters up to the
// first zero or the end of the buffer, widened.
std::wstring readDeviceString(CZELTFILTER0& filter, platform::OsHandle handle, std::uint8_t maxChars,
                              std::uint8_t index) {
  std::array<std::uint8_t, 128> buffer{};
  filter.Get_StringDescriptor(handle, buffer.data(), maxChars, index);
  std::wstring text;
  for (std::size_t i = 0; i < maxChars && buffer[i] != 0; ++i) text += static_cast<wchar_t>(buffer[i]);
  return text;
}

std::wstring hex4(std::uint16_t value) { return wformat(L"%04x", static_cast<unsigned>(value)); }

// The path as 8-bit text (UTF-8) in the record's field, cut before a
// character that would not fit whole, so the field always ends on a
// character boundary with its terminator.
void setInterfacePath(char (&field)[kNameChars], const std::wstring& path) {
  const std::string out = toUtf8Within(path, kNameChars - 1);
  std::memset(field, 0, kNameChars);
  std::memcpy(field, out.data(), out.size());
}

}  // namespace

int CZeltHubDev::OpenDevice(DeviceList* pDevList, std::uint8_t clear) {
  if (pDevList == nullptr) return filter::rc::kNoHub;
  m_pDevList = pDevList;
  utility_.m_MaxHubDepth.store(0);
  m_DriverNum = 0;
  m_strUnreadHubs.clear();
  m_UnreadHubs.clear();
  for (DriverInfo& record : m_DriverInfo) vClearDriverInfo(record);
  if (clear == 1) vClearPrivateData();
  try {
    {
      CHubUtility::WalkTargetScope scope(utility_, *this);
      utility_.GetDeviceList();
    }
    if (m_DriverNum == 0) return filter::rc::kNoHub;
    SCAN_LOG(Msg, L"%s:%d: Found %d Hubs", m_DriverNum);
    for (std::uint8_t i = 0; i < m_DriverNum; ++i) {
      const DriverInfo& record = m_DriverInfo[i];
      SCAN_LOG(Msg, L"%s:%d: ucPortIndex[%d], ucPositionIndex[%d], DeviceObjectName[%s]", record.ucPortIndex,
                  record.ucPositionIndex, strField(record.DeviceObjectName));
    }
    vProbeRecords();
    vClearMarks();
    vBuildList();
  } catch (...) {
    SCAN_LOG(Err, L"%s:%d:  Error:%s", systemErrorText(ports().system.lastError()));
  }
  return filter::rc::kOk;
}

void CZeltHubDev::vProbeRecords() {
  platform::Ports& p = ports();
  for (std::uint8_t i = 0; i < m_DriverNum; ++i) {
    DriverInfo& record = m_DriverInfo[i];
    bool unreachable = false;
    std::wstring probe;
    {
      ScopedDevice device(p.deviceIo, strField(record.DeviceObjectName));
      if (!device.ok()) {
        SCAN_LOG(Err, L"%s:%d: This device[%s] handle can not be open, ErrorCode[%s].",
                    strField(record.DeviceObjectName), systemErrorText(device.error()));
        unreachable = true;
      } else {
        probe = readDeviceString(ZELTFILTER0, device.get(), kProbeChars, 2);
      }
    }
    // Windows 7 answers no string over a fresh device object; elsewhere an
    // empty answer means the hub is not ready.
    const bool emptyMatters = probe.empty() && utility_.ucOSCode() != kOsWindows7;
    if (record.bPowerSettingChanged != 0 || unreachable || emptyMatters) vRestartAndRelookup(i);

    HubInfo hub;
    hub.strConnectedHubName = strField(record.DriverName);
    CHubUtility::HubInterfacePaths paths;
    const std::uint8_t listed = utility_.ucGetHubInterfaces(hub, paths, false);
    setInterfacePath(record.InterfacePath, listed > 0 ? paths[0] : std::wstring());
  }
}

void CZeltHubDev::vRestartAndRelookup(std::uint8_t index) {
  platform::Ports& p = ports();
  HubInfo hub;
  hub.strConnectedHubName = strField(m_DriverInfo[index].DriverName);
  SCAN_LOG(Msg, L"%s:%d: Trigger Hub, strHubInfo.strConnectedHubName[%s]", hub.strConnectedHubName);
  CHubUtility::HubInterfacePaths paths;
  utility_.ucGetHubInterfaces(hub, paths, true);
  p.clock.sleepMs(kRestartPauseMs);
  // A restart gives the hub and everything below it new device objects.
  for (std::uint8_t j = 0; j < m_DriverNum; ++j) {
    DriverInfo& record = m_DriverInfo[j];
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      if (record.bPowerSettingChanged != 0) p.clock.sleepMs(kPowerChangedPauseMs);
      DriverInfo scratch;
      vClearDriverInfo(scratch);
      vSetField(scratch.DriverName, strField(record.DriverName));
      if (utility_.GetObjecNameFromDriverName(&scratch, true, record.bPowerSettingChanged != 0) != 0) {
        SCAN_LOG(Err, L"%s:%d: GetObjecNameFromDriverName Failed, Driverinfo->DriverName[%s]",
                    strField(record.DriverName));
        continue;
      }
      vSetField(record.DeviceObjectName, strField(scratch.DeviceObjectName));
      SCAN_LOG(Msg, L"%s:%d:  RE-GetObjecNameFromDriverName [%s]", strField(record.DriverName));
      ScopedDevice device(p.deviceIo, strField(record.DeviceObjectName));
      if (device.ok()) break;
      SCAN_LOG(Err, L"%s:%d:  Re-Get Objec Handler Open still failed. This device[%s] handle can not be open, "
                  L"ERROR=%s,Retry[%d] ",
                  strField(record.DeviceObjectName), systemErrorText(device.error()), attempt);
      p.clock.sleepMs(kReopenPauseMs);
    }
  }
}

void CZeltHubDev::vClearMarks() {
  for (std::uint8_t i = 0; i < m_DriverNum; ++i) {
    const std::wstring name = strField(m_DriverInfo[i].DeviceObjectName);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      ScopedDevice device(ports().deviceIo, name);
      if (!device.ok()) {
        SCAN_LOG(Err, L"%s:%d:  Clear mark Handler Open failed. This device[%s] handle can not be open, "
                    L"ERROR=%s,Retry[%d] ",
                    name, systemErrorText(device.error()), attempt);
        continue;
      }
      if (utility_.WriteSignatureWORD(device.get(), 0xFFFF) != 0) {
        SCAN_LOG(Err, L"%s:%d: ZELTFILTER1.RegisterReadWriteCmd Failed  Error:%s",
                 systemErrorText(ports().system.lastError()));
        continue;
      }
      break;
    }
  }
}

void CZeltHubDev::vBuildList() {
  for (std::uint8_t i = 0; i < m_DriverNum; ++i) vAddRecordToList(m_DriverInfo[i]);
}

void CZeltHubDev::vNoteUnreadHub(const std::wstring& driverName, const std::wstring& rootHubName,
                                 const std::vector<std::uint8_t>& chain, const std::wstring& bcdUSB) {
  const std::wstring line = wformat(L"Hub [%s] at root hub [%s] port [%s] cannot be opened or read: it is not updated",
                                    driverName, rootHubName, strPortChain(chain));
  if (std::find(m_strUnreadHubs.begin(), m_strUnreadHubs.end(), line) != m_strUnreadHubs.end()) return;
  m_strUnreadHubs.push_back(line);
  m_UnreadHubs.push_back({driverName, rootHubName, chain, bcdUSB.compare(0, 2, L"03") == 0});
}

void CZeltHubDev::vAddRecordToList(const DriverInfo& record) {
  const std::uint8_t p = m_ucListPosition;
  const std::wstring objectName = strField(record.DeviceObjectName);
  // The walk matched this hub: one that cannot be read is reported, never
  // dropped without a word.
  const auto unread = [&] {
    vNoteUnreadHub(strField(record.DriverName), strField(record.RootHubName), portChainOf(record), strField(record.Speed));
  };
  ScopedDevice device(ports().deviceIo, objectName);
  if (!device.ok()) {
    SCAN_LOG(Err, L"%s:%d: This device[%s] handle can not be open, ", objectName);
    unread();
    return;
  }
  if (!readConnectionDescriptor(device.get())) {
    unread();
    return;
  }
  const bool usb2 = m_strBcdUSB.compare(0, 2, L"02") == 0;

  // Second connection of a hub already listed: it only adds its pair fields.
  // A mark number that names no entry (a failed read included) is no mark.
  if (utility_.bIsSignatureMarked(device.get()) == 1) {
    if (!addPairConnection(device.get(), record, usb2)) unread();
    return;
  }

  const int markResult = utility_.MarkSignatureforIdentify(device.get(), static_cast<std::uint8_t>(kMarkBase + p));
  if (markResult != 0) {
    SCAN_LOG(Err, L"%s:%d: Hub [%s] MarkSignatureforIdentify Failed  Error:%d", objectName, markResult);
  }

  std::uint8_t block[16] = {};
  if (ZELTFILTER0.Get_Version(device.get(), block, sizeof block, 0) != 0) {
    SCAN_LOG(Err, L"%s:%d: Get_Version Failed,  dwErrorCode=%s", systemErrorText(ports().system.lastError()));
    unread();
    return;
  }
  std::wstring version;
  for (int b = 0; b < 6; ++b) version += wformat(L"%02x", block[b]);

  const std::wstring& versionList = utility_.m_strFW_Indetify;
  // Versions are hexadecimal texts: case does not matter.
  if (!versionList.empty() && !text::containsNoCase(versionList, version)) {
    SCAN_LOG(Msg, L"%s:%d:  Filter Out FW version this->m_strFW_Indetify = [%s], Get FW Version=%s", versionList,
                version);
    return;
  }
  if (!bPartialVersionPasses(version, p)) return;

  DeviceListEntry& entry = m_pDevList->Devs[p];
  fillListEntry(entry, record, version, usb2);
  readPackageAndChipType(entry);
  m_ucListPosition = static_cast<std::uint8_t>(p + 1);
  m_pDevList->DevNums = m_ucListPosition;
}

// The connection's device descriptor and its texts, into the descriptor
// fields of the hub examined last.
bool CZeltHubDev::readConnectionDescriptor(platform::OsHandle device) {
  std::uint8_t d[18] = {};
  const int descriptorResult = ZELTFILTER0.Get_Descriptor(device, d, sizeof d);
  if (descriptorResult != 0) {
    SCAN_LOG(Err, L"%s:%d: ZELTFILTER0.Get_Descriptor Failed  Error:%d", descriptorResult);
    return false;
  }
  const UsbDeviceDescriptor descriptor = UsbDeviceDescriptor::parse(std::vector<std::uint8_t>(d, d + sizeof d), 0);
  m_strSN = descriptor.iSerialNumber == 0
                ? std::wstring(L"----")
                : readDeviceString(ZELTFILTER0, device, kSerialChars, descriptor.iSerialNumber);
  m_strManufacturer = readDeviceString(ZELTFILTER0, device, kManufacturerChars, descriptor.iManufacturer);
  m_strProduct = readDeviceString(ZELTFILTER0, device, kProductChars, descriptor.iProduct);
  m_strPID = hex4(descriptor.idProduct);
  m_strVID = hex4(descriptor.idVendor);
  m_strBcdDevice = hex4(descriptor.bcdDevice);
  m_strBcdUSB = hex4(descriptor.bcdUSB);
  return true;
}

// A marked connection is the other connection of the entry its mark names:
// it adds its pair fields there. False when the mark names no entry.
bool CZeltHubDev::addPairConnection(platform::OsHandle device, const DriverInfo& record, bool usb2) {
  const std::uint8_t mark = utility_.ucGetSignatureMarked(device);
  const int n = static_cast<int>(mark) - kMarkBase;
  if (n >= 0 && n < static_cast<int>(kMaxDevices)) {
    SCAN_LOG(Msg, L"%s:%d: This  Hub [%s] have been marked, ", strField(record.DriverName));
    DeviceListEntry& first = m_pDevList->Devs[static_cast<std::size_t>(n)];
    first.m_strPairRootHubName = strField(record.RootHubName);
    first.m_ucPairPortIndex = record.ucPortIndex;
    first.m_strPairBcdUSB = m_strBcdUSB;
    (usb2 ? first.m_strPID20 : first.m_strPID30) = m_strPID;
    return true;
  }
  // Marked, so another connection of a listed hub; which one is unknown.
  // Listed on its own it would be written twice at once.
  SCAN_LOG(Wrn, L"%s:%d: Hub [%s] mark number 0x%02X names no entry, not listed", strField(record.DriverName), mark);
  return false;
}

void CZeltHubDev::fillListEntry(DeviceListEntry& entry, const DriverInfo& record, const std::wstring& version,
                                bool usb2) {
  const std::uint8_t p = m_ucListPosition;
  (usb2 ? entry.m_strPID20 : entry.m_strPID30) = m_strPID;
  entry.m_strVID = m_strVID;
  entry.m_strSN = m_strSN;
  entry.m_strManufacturer = m_strManufacturer;
  entry.m_strProduct = m_strProduct;
  entry.m_strBcdDevice = m_strBcdDevice;
  entry.m_strBcdUSB = m_strBcdUSB;
  entry.m_strFWVersion = version;
  entry.m_strSpeed = usb2 ? L"USB 2.0" : L"USB 3.0";
  entry.m_ucTargetNumber = p;
  entry.m_strRootHubName = strField(record.RootHubName);
  entry.m_strDriverName = strField(record.DriverName);
  entry.m_strExtraText = strField(record.ExtraText);
  entry.m_strObjectName = strField(record.DeviceObjectName);
  entry.m_ucPortIndex = record.ucPortIndex;
  entry.m_ucOldPositionIndex = record.ucPositionIndex;
  entry.m_PortChain = portChainOf(record);
  entry.m_ucHubDepth = record.ucDepth;
  if (record.ucDepth > utility_.m_MaxHubDepth.load()) utility_.m_MaxHubDepth.store(record.ucDepth);
  SCAN_LOG(Msg, L"%s:%d: Found Hubs[%d], USB[%s], VID[%s], PID 3.0[%s], PID2.0[%s], SN[%s], M String[%s], "
              L"P String[%s], Index[%d], Version[%s]",
              p, entry.m_strSpeed, entry.m_strVID, entry.m_strPID30, entry.m_strPID20, entry.m_strSN,
              entry.m_strManufacturer, entry.m_strProduct, entry.m_ucOldPositionIndex, version);
}

// The package from the USB status register and the chip type from the chip
// revision register. A chip type not read is unknown, never one left from an
// earlier scan: no hub is written or passed on a guess.
void CZeltHubDev::readPackageAndChipType(DeviceListEntry& entry) {
  const std::uint8_t p = m_ucListPosition;
  std::uint8_t value = 0;
  if (HBX763xAccessRegister(p, &value, 1, filter::reg::kUsbStatus, 0) == 0) {
    SCAN_LOG(Msg, L"%s:%d: Dev[%d] ucUSBStatusBuf: 0x%02X", p, value);
    entry.m_ucPackage = value & 3;
    SCAN_LOG(Msg, L"%s:%d: Dev[%d] Package: 0x%02X", p, entry.m_ucPackage);
  }
  entry.m_ucChipType = kChipTypeUnknown;
  if (HBX763xAccessRegister(p, &value, 1, filter::reg::kChipRevision, 0) == 0) {
    entry.m_ucChipType = (value >> 4) & 7;
  } else {
    SCAN_LOG(Err, L"%s:%d: Dev[%d] chip type cannot be read", p);
  }
}

bool CZeltHubDev::bPartialVersionPasses(const std::wstring& version, std::uint8_t position) const {
  const std::wstring& fields = utility_.m_strPartOfFWVersion;
  if (fields.empty()) return true;
  const std::size_t start = utility_.m_ucPartOfFWVersionStart;
  const std::wstring piece =
      start < version.size() ? version.substr(start, utility_.m_ucPartOfFWVersionLength) : std::wstring();
  std::size_t from = 0;
  for (int field = 0; field < 16 && from <= fields.size(); ++field) {
    const std::size_t end = std::min(fields.find(L';', from), fields.size());
    const std::wstring text = fields.substr(from, end - from);
    if (!text.empty() && text::equalsNoCase(text, piece)) return true;
    from = end + 1;
  }
  SCAN_LOG(Err, L"%s:%d: %s", wformat(L"Dev[%d]: Customer ID is not correct, Target[%s]", position, piece));
  return false;
}

void CZeltHubDev::vClearResultFlags() {
  if (m_pDevList == nullptr) return;
  for (std::size_t i = 0; i < 8; ++i) {
    DeviceListEntry& entry = m_pDevList->Devs[i];
    entry.m_bConfigResult = entry.m_bUpdateFWResult = entry.m_bReloadFWResult = 0;
  }
}

void CZeltHubDev::vClearPrivateData() {
  try {
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
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d:  m_pDevList : %x , dwErrorCode %s",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(m_pDevList)), systemErrorText(ports().system.lastError()));
  }
}

}  // namespace hbx
