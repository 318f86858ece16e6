// The walk of the USB tree: every host controller, its root hub and every hub
// below it, port by port. Hubs that pass the run's filters are tied to the
// filter driver's device object, have selective suspend switched off and their
// firmware version read, and are appended to the walk target's records. Hubs
// left out are still descended, so our hubs behind foreign ones are found.
#include <algorithm>
#include <iterator>
#include <new>

#include "base/log/debug_log.h"
#include "base/text/text_util.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "hub/device/zelt_hub_dev.h"
#include "platform/handles.h"

namespace hbx {

namespace {

using namespace usblayout;

constexpr std::uint8_t kOsWindows7 = 8;
constexpr std::uint32_t kNameFailedPauseMs = 5000;
constexpr std::size_t kHostDescChars = 254;
// The last record is the one being filled.
constexpr std::uint8_t kMaxRecordsPerWalk = static_cast<std::uint8_t>(kMaxDriverRecords - 1);
constexpr std::uint8_t kUsbModeUsb3Only = 2;
constexpr std::uint8_t kUsbModeUsb2Only = 1;
// USB allows five tiers of hubs below the root hub; a deeper hub is a tree
// the platform reports wrongly, and searching on would never end.
constexpr std::uint32_t kMaxHubDepth = 5;

// The steps of a port's examination log as the port scan they belong to.
constexpr const char* kGetHubPort = "void hbx::CHubUtility::GetHubPort()";
#define WALK_LOG(level, format, ...) \
  ::hbx::log::writeAt(::hbx::log::Level::level, kGetHubPort, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)

bool speedIs(const std::wstring& bcdUSB, const wchar_t* prefix) { return bcdUSB.compare(0, 2, prefix) == 0; }

// The hub's interface path for a descent: "\\?\" and its name up to the first
// "}"; no "}" gives no path.
std::wstring descentPath(const std::wstring& hubName) {
  const std::size_t end = hubName.find(L'}');
  return end == std::wstring::npos ? std::wstring() : L"\\\\?\\" + hubName.substr(0, end + 1);
}

// Two names of one hub compare equal in this form: up to the first "}", in
// any case.
std::wstring walkNameKey(const std::wstring& hubName) {
  const std::size_t end = hubName.find(L'}');
  return text::upper(end == std::wstring::npos ? hubName : hubName.substr(0, end + 1));
}

}  // namespace

CHubUtility::WalkTargetScope::WalkTargetScope(CHubUtility& utility, CZeltHubDev& target)
    : utility_(utility), previous_(utility.m_pWalkTarget) {
  utility_.m_pWalkTarget = &target;
}

CHubUtility::WalkTargetScope::~WalkTargetScope() { utility_.m_pWalkTarget = previous_; }

CZeltHubDev* CHubUtility::walkTarget() {
  return m_pWalkTarget != nullptr ? m_pWalkTarget : m_ZeltUSBLib.ensureHubDev();
}

bool CHubUtility::GetDeviceList() {
  platform::SetupApiPort& setupApi = ports_.setupApi;
  const platform::Guid& hostClass = platform::kGuidDevinterfaceUsbHostController;
  m_ucWalkRecordsFilled = walkTarget() != nullptr ? walkTarget()->m_DriverNum : 0;
  if (walkTarget() != nullptr) walkTarget()->m_bRecordsOverflow = 0;
  const platform::DeviceInfoList list(setupApi, setupApi.getClassDevs(hostClass));
  if (!list.valid()) return false;
  bool result = true;
  try {
    platform::DeviceInterfaceInfo info;
    std::uint32_t count = 0;
    while (setupApi.enumDeviceInterface(list.get(), hostClass, count, info)) ++count;
    if (count == 0) result = false;
    for (std::uint32_t index = 0; result && setupApi.enumDeviceInterface(list.get(), hostClass, index, info); ++index) {
      if (!info.detailOk) {
        result = false;
        break;
      }
      const platform::PropertyValue property = setupApi.deviceRegistryProperty(
          list.get(), info.device, platform::spdrp::kDeviceDesc, static_cast<std::uint32_t>(2 * (kHostDescChars + 1)));
      if (!property.ok) {
        result = false;
        break;
      }
      const std::wstring description = readText(property.bytes, 0).substr(0, kHostDescChars);
      HBX_LOG_MSG(L"%s:%d: Found USB Host , strDeviceName=%s", description);
      const platform::HubHandle host(
          ports_.hubIo,
          ports_.hubIo.openHub(info.devicePath, platform::access::kGenericWrite, platform::share::kWrite).handle);
      if (!host.valid()) {
        HBX_LOG_MSG(L"%s:%d: Enum: strHostControllerName : %s ,", info.devicePath);
        continue;
      }
      const std::size_t maker = text::upper(info.devicePath).find(L"3A7F");
      const bool bCorvaneHost = maker != std::wstring::npos && maker > 0;
      HBX_LOG_MSG(L"%s:%d: Found USB Host , strDeviceName=%s", info.devicePath);
      EnumerateHost(host.get(), description, bCorvaneHost);
    }
  } catch (const std::bad_alloc&) {
    nShowPlainMessage(L"Insufficient memory");
    result = false;
  }
  return result;
}

void CHubUtility::EnumerateHost(platform::OsHandle hHostController, const std::wstring& strHostDesc,
                                bool bCorvaneHost) {
  if (!GetRootHubName(hHostController)) {
    HBX_LOG_ERR(L"%s:%d: GetRootHubName Fail , dwErrorCode : %s", systemErrorText(ports_.system.lastError()));
    return;
  }
  HBX_LOG_MSG(L"%s:%d:  Root hub name is %s", m_strRootHubName);
  const std::wstring path = L"\\\\.\\" + m_strRootHubName;
  const platform::OpenResult root =
      ports_.hubIo.openHub(path, platform::access::kGenericRead | platform::access::kGenericWrite,
                           platform::share::kRead | platform::share::kWrite);
  if (root.handle == platform::kInvalidHandle) {
    HBX_LOG_ERR(L"%s:%d:  CreateFile[%s] fail , dwErrorCode : %s", path, systemErrorText(root.error));
    return;
  }
  platform::HubHandle rootHub(ports_.hubIo, root.handle);
  try {
    std::uint32_t portCount = 0;
    std::uint32_t error = 0;
    if (!bGetHubPortCount(rootHub.get(), portCount, error)) {
      rootHub.reset();  // closed before the failure is logged
      HBX_LOG_ERR(L"%s:%d: EnumerateHostController: IOCTL_USB_GET_NODE_INFORMATION fail , dwErrorCode : %s",
                  systemErrorText(error));
      return;
    }
    // The root hub name is handed down as it is now: every record of this
    // controller carries it, whatever the scratch copy holds later.
    WalkContext walk;
    walk.rootHubName = m_strRootHubName;
    walk.hostDesc = strHostDesc;
    walk.corvaneHost = bCorvaneHost;
    walk.hubNames.assign(1, walkNameKey(walk.rootHubName));
    GetHubPort(rootHub.get(), portCount, walk);
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: EnumerateHostController: dwErrorCode %s", systemErrorText(ports_.system.lastError()));
  }
}

void CHubUtility::GetHubPort(platform::OsHandle hHub, std::uint32_t ulPortCount, WalkContext& walk) {
  CZeltHubDev* dev = walkTarget();
  if (dev == nullptr) return;
  std::wstring lastDescent;
  try {
    for (std::uint32_t port = 1; port <= ulPortCount; ++port) {
      HBX_LOG_MSG(L"%s:%d: Search Hub port[%d]/[%d] of host[%s]\n", port, ulPortCount, walk.hostDesc);
      std::vector<std::uint8_t> info;
      try {
        if (!bGetConnectionInformation(hHub, port, info)) continue;
      } catch (const std::bad_alloc&) {
        HBX_LOG_ERR(L"%s:%d: connectionInfoEx=NULL, nBytesEx=%d\n", static_cast<int>(kConnectionInfoExBytes));
        break;
      }
      if (read32(info, kConnectionStatus) != kDeviceConnected || info[kDeviceIsHub] == 0) continue;

      if (walk.level + 1 > kMaxHubDepth) {
        HBX_LOG_ERR(L"%s:%d:  Hub on port[%d] would be on tier %d, deeper than USB allows: not searched", port,
                    walk.level + 1);
        continue;
      }
      WalkPort at;
      at.parent = hHub;
      at.port = port;
      at.positionIndex = static_cast<std::uint8_t>((walk.level + 1) * ulPortCount + port);
      HBX_LOG_MSG(L"%s:%d:  There is a hub be found , port number[%d], ucHubPortIndex[%d]", port, at.positionIndex);
      // The manufacturer text belongs to this hub alone: a hub without one at
      // the index read must not pass the manufacturer test with the text of
      // the hub examined before.
      strIManufacture.clear();
      GetDeviceDescriptor(hHub, port, 0, UsbDeviceDescriptor::parse(info, kDeviceDescriptor));

      if (examineHub(at, walk, *dev) == Examined::RecordsOverflow) return;
      if (!at.placed) continue;
      lastDescent = descentPath(at.hubName);
      descendInto(at, walk, lastDescent);
    }
    if (!lastDescent.empty()) HBX_LOG_MSG(L"%s:%d:  End of Hub[%s] search", lastDescent);
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d:  dwErrorCode %s", systemErrorText(ports_.system.lastError()));
  }
}

// A name that is one of the hubs above this port is a loop in the tree the
// platform reports: that hub is neither listed nor searched.
void CHubUtility::fetchWalkHubName(WalkPort& at, const WalkContext& walk) {
  at.hubName = strGetExternalHubName(at.parent, static_cast<std::uint8_t>(at.port));
  const std::wstring key = walkNameKey(at.hubName);
  if (!at.hubName.empty() && std::find(walk.hubNames.begin(), walk.hubNames.end(), key) != walk.hubNames.end()) {
    WALK_LOG(Err, L"%s:%d:  Hub on port[%d] is named [%s], a hub above it: not searched", at.port, at.hubName);
    at.placed = false;
  }
}

// A hub of the other speed is not listed, but the hubs below it are still
// visited: the descent needs its name.
bool CHubUtility::passesSpeedMode() {
  if (m_ucUsbMode == kUsbModeUsb3Only && !speedIs(strbcdUSB, L"03")) {
    WALK_LOG(Wrn, L"%s:%d:  Check USB 3.0 Only!!!strBCDUSB[%s]", strbcdUSB);
    return false;
  }
  if (m_ucUsbMode == kUsbModeUsb2Only && !speedIs(strbcdUSB, L"02")) {
    WALK_LOG(Wrn, L"%s:%d:  Check USB 2.0 Only!!!strBCDUSB[%s]", strbcdUSB);
    return false;
  }
  return true;
}

// The run's filters on the hub's descriptor: vendor (outside re-enumeration),
// manufacturer text, the product id of either speed; hubs of the platform's
// own vendor are never ours.
bool CHubUtility::passesIdentityFilters(const WalkPort& at, const CZeltHubDev& dev) {
  if (m_bAllHubCheck4ReEnum.load() == 0) {
    WALK_LOG(Msg, L"%s:%d: m_bAllHubCheck4ReEnum == FALSE");
    if (!m_strVID_Indetify.empty() && !text::equalsNoCase(strVID, L"2E8B") &&
        !text::equalsNoCase(strVID, m_strVID_Indetify)) {
      WALK_LOG(Wrn, L"%s:%d:  VID compare Error, this->strVID=%s, this->m_strVID_Indetify=%s", strVID,
                  m_strVID_Indetify);
      return false;
    }
  } else {
    const int devNums = dev.m_pDevList != nullptr ? dev.m_pDevList->DevNums : 0;
    WALK_LOG(Msg, L"%s:%d: m_bAllHubCheck4ReEnum == TRUE, ulHubPortIndex=%d, DevNums=%d", at.positionIndex, devNums);
    for (std::size_t i = 0; i < m_ulOldPositionIndex.size(); ++i) {
      if (m_ulOldPositionIndex[i] == 0xFFFFFFFFu) continue;
      WALK_LOG(Msg, L"%s:%d: m_ulOldPositionIndex[%d]=%d", static_cast<int>(i), m_ulOldPositionIndex[i]);
      if (m_ulOldPositionIndex[i] == at.positionIndex) {
        WALK_LOG(Msg, L"%s:%d:  [%d]Found current hub port index[%d]=m_ulOldPositionIndex[%d], ulPortIndex=%ld",
                    static_cast<int>(i), at.positionIndex, static_cast<int>(i), static_cast<long>(at.port));
        break;
      }
    }
  }
  WALK_LOG(Msg, L"%s:%d:  get ExternalHubName, strConnectedHubName=%s, ulPortIndex=%d", at.hubName, at.port);
  // The filter value comes upper-cased from the command line; the hub's text
  // is as the maker wrote it.
  if (m_bCheckManuString == 1 && !text::equalsNoCase(strIManufacture, m_strManuString_Indetify)) {
    WALK_LOG(Wrn, L"%s:%d:  Manufactory compare Error, this->strIManufacture=%s, this->m_strManuString_Indetify=%s",
                strIManufacture, m_strManuString_Indetify);
    return false;
  }
  if (!m_strPID30_Indetify.empty()) {
    if (!speedIs(strbcdUSB, L"03")) {
      WALK_LOG(Wrn, L"%s:%d:  Current connection is not USB3.0, this->strbcdUSB=%s", strbcdUSB);
      return false;
    }
    if (!text::equalsNoCase(strPID, m_strPID30_Indetify)) {
      WALK_LOG(Wrn, L"%s:%d:  USB3.0 PID compare Error, this->strPID=%s, this->m_strPID30_Indetify=%s,", strPID,
                  m_strPID30_Indetify);
      return false;
    }
  }
  if (!m_strPID20_Indetify.empty()) {
    if (!speedIs(strbcdUSB, L"02")) {
      WALK_LOG(Wrn, L"%s:%d:  Current connection is not USB2.0, this->strbcdUSB=%s", strbcdUSB);
      return false;
    }
    if (!text::equalsNoCase(strPID, m_strPID20_Indetify)) {
      WALK_LOG(Wrn, L"%s:%d:  USB2.0 PID compare Error, this->strPID=%s, this->m_strPID20_Indetify=%s,", strPID,
                  m_strPID20_Indetify);
      return false;
    }
  }
  return !text::equalsNoCase(strVID, L"8087");
}

// Ties the hub to the filter driver's device object and takes the next
// record for it. Null when the hub has no device object; `overflow` when the
// walk has more records than it can hold (the list starts again at record 1).
DriverInfo* CHubUtility::takeWalkRecord(const std::wstring& changedName, CZeltHubDev& dev, bool& overflow) {
  DriverInfo scratch;
  vClearDriverInfo(scratch);
  vSetField(scratch.DriverName, changedName);
  if (GetObjecNameFromDriverName(&scratch, true, false) != 0) {
    WALK_LOG(Err, L"%s:%d: GetObjecNameFromDriverName Failed, str763xDriverName=%s", changedName);
    return nullptr;
  }
  DriverInfo& record = dev.m_DriverInfo[dev.m_DriverNum];
  if (dev.m_DriverNum < m_ucWalkRecordsFilled) {
    // The count limit below starts the list again from record 1; say which
    // hub is dropped so the user can see it.
    WALK_LOG(Wrn, L"%s:%d: Record[%d] of hub [%s] is overwritten by hub [%s]", dev.m_DriverNum,
                strField(record.DriverName), changedName);
  }
  vClearDriverInfo(record);
  vSetField(record.DeviceObjectName, strField(scratch.DeviceObjectName));
  vSetField(record.DriverName, strField(scratch.DriverName));
  if (dev.m_DriverNum >= kMaxRecordsPerWalk) {
    WALK_LOG(Wrn, L"%s:%d: Find un-reasonable case, there are some exactly the same Hubs cascade, m_DriverNum=%d",
                dev.m_DriverNum);
    dev.m_bRecordsOverflow = 1;
    dev.m_DriverNum = 1;
    overflow = true;
    return nullptr;
  }
  WALK_LOG(Msg, L"%s:%d:  Get the ObjecName =%s", strField(record.DeviceObjectName));
  return &record;
}

// Reads the hub's firmware version into its record, restarting the hub up to
// twice when the read fails. False when the version filter leaves it out. A
// hub never read is noted, not dropped without a word: it may be a target.
bool CHubUtility::readWalkVersion(const WalkPort& at, const WalkContext& walk, const HubInfo& hub,
                                  DriverInfo& record, CZeltHubDev& dev) {
  const auto versionText = [&] {
    std::wstring version;
    for (int i = 0; i < 6; ++i) version += wformat(L"%02X", record.FWVersion[i]);
    return version;
  };
  if (bGet763xFWVersion(record)) {
    const std::wstring version = versionText();
    // Versions are hexadecimal texts: case does not matter.
    if (!m_strFW_Indetify.empty() && !text::containsNoCase(m_strFW_Indetify, version)) {
      WALK_LOG(Msg, L"%s:%d:  Filter Out FW version this->m_strFW_Indetify = [%s], Get FW Version=%s",
                  m_strFW_Indetify, version);
      return false;
    }
    return true;
  }
  WALK_LOG(Wrn, L"%s:%d:  bGet763xFWVersion Failed, ucPositionIndex[%d]", at.positionIndex);
  bool read = false;
  for (int retry = 1; retry <= 2 && !read; ++retry) {
    WALK_LOG(Err, L"%s:%d:  bGet763xFWVersion Failed, Retry[%d], Restart Hub[%s]", retry, hub.strConnectedHubName);
    HubInterfacePaths paths;
    ucGetHubInterfaces(hub, paths, true);
    read = bGet763xFWVersion(record);
  }
  WALK_LOG(Err, L"%s:%d:  Filter Out FW version this->m_strFW_Indetify = [%s], Get FW Version=%s", m_strFW_Indetify,
              versionText());
  if (!read) {
    std::vector<std::uint8_t> chain = walk.portChain;
    chain.push_back(static_cast<std::uint8_t>(at.port));
    dev.vNoteUnreadHub(hub.strConnectedHubName, walk.rootHubName, chain, strbcdUSB);
  }
  return true;
}

// The family nibble of the version: the walk lists the 863 and 773 families
// and leaves the rest out.
bool CHubUtility::listedByFamily(const DriverInfo& record) {
  const std::uint8_t family = record.FWVersion[3];
  if ((family >> 4) == 1) {
    WALK_LOG(Err, L"%s:%d:  Version3:[%x], 863 ??", family);
    return true;
  }
  if ((family >> 4) == 2) {
    WALK_LOG(Err, L"%s:%d:  Version3:[%x], 773 ??", family);
    return true;
  }
  WALK_LOG(Err, L"%s:%d:  Version3:[%x], 763", family);
  return false;
}

void CHubUtility::fillWalkRecord(DriverInfo& record, const WalkPort& at, const WalkContext& walk) {
  vSetField(record.VID, strVID);
  vSetField(record.PID, strPID);
  vSetField(record.Speed, strbcdUSB);
  vSetField(record.RootHubName, walk.rootHubName);
  vSetField(record.HostControllerName, walk.hostDesc);
  record.ExtraText[0] = L'\0';
  record.ucPortIndex = static_cast<std::uint8_t>(at.port);
  record.ucDepth = static_cast<std::uint8_t>(walk.level + 1);
  record.ucPositionIndex = at.positionIndex;
  record.ucPortChainLength = 0;
  for (const std::uint8_t step : walk.portChain)
    if (record.ucPortChainLength < kMaxPortChain) record.ucPortChain[record.ucPortChainLength++] = step;
  if (record.ucPortChainLength < kMaxPortChain)
    record.ucPortChain[record.ucPortChainLength++] = static_cast<std::uint8_t>(at.port);
}

Examined CHubUtility::examineHub(WalkPort& at, const WalkContext& walk, CZeltHubDev& dev) {
  if (!passesSpeedMode()) {
    fetchWalkHubName(at, walk);
    return Examined::LeftOut;
  }
  WALK_LOG(Msg, L"%s:%d: ready to get ExternalHubName, strHubName=%s, ulPortIndex=%d", walk.rootHubName, at.port);
  fetchWalkHubName(at, walk);
  if (at.hubName.empty()) {
    WALK_LOG(Err, L"%s:%d:  strGetExternalHubName failed, strHubName=%s, ulPortIndex=%d", walk.rootHubName, at.port);
    ports_.clock.sleepMs(kNameFailedPauseMs);
    return Examined::LeftOut;
  }
  if (!at.placed || !passesIdentityFilters(at, dev)) return Examined::LeftOut;

  const std::wstring changedName = strChangeDeviceNameForMCCI(at.hubName);
  WALK_LOG(Msg, L"%s:%d:  strChangeDeviceNameForMCCI=%s", changedName);
  bool overflow = false;
  DriverInfo* record = takeWalkRecord(changedName, dev, overflow);
  if (overflow) return Examined::RecordsOverflow;
  if (record == nullptr) return Examined::LeftOut;

  HubInfo hub;
  hub.strConnectedHubName = changedName;
  hub.strVID = strVID;
  hub.strPID = strPID;
  hub.strbcdUSB = strbcdUSB;
  const std::size_t descChars = std::min(walk.hostDesc.size(), std::size(hub.strHostDesc) - 1);
  std::copy_n(walk.hostDesc.begin(), descChars, hub.strHostDesc);
  hub.bCorvaneHost = walk.corvaneHost ? 1 : 0;
  if (GetPortStatus(at.hubName, 0xFF) == 0 || ucOSCode() > kOsWindows7) bSetHubPowerManagementByRegistry(hub, 0);

  if (!readWalkVersion(at, walk, hub, *record, dev) || !listedByFamily(*record)) return Examined::LeftOut;
  fillWalkRecord(*record, at, walk);
  WALK_LOG(Msg, L"%s:%d:  Find HBX763x Hub, VID[%s], PID[%s], Speed[%s], ucPositionIndex[%d]", strVID, strPID,
              strbcdUSB, at.positionIndex);
  ++dev.m_DriverNum;
  m_ucWalkRecordsFilled = std::max(m_ucWalkRecordsFilled, dev.m_DriverNum);
  return Examined::Listed;
}

// Descends through the hub on `at`, listed or not.
void CHubUtility::descendInto(const WalkPort& at, WalkContext& walk, const std::wstring& path) {
  const platform::OpenResult opened =
      ports_.hubIo.openHub(path, platform::access::kGenericWrite, platform::share::kWrite);
  if (opened.handle == platform::kInvalidHandle) {
    WALK_LOG(Err, L"%s:%d:  CreateFile[%s] fail , dwErrorCode : %s", path, systemErrorText(opened.error));
    return;
  }
  // Closed when this port is done, also when the descent throws.
  const platform::HubHandle child(ports_.hubIo, opened.handle);
  std::uint32_t childPorts = 0;
  std::uint32_t error = 0;
  if (!bGetHubPortCount(child.get(), childPorts, error)) {
    WALK_LOG(Err, L"%s:%d:  IOCTL_USB_ET_NODE_INFORMATION (%s) Fail , dwErrorCode %s", path, systemErrorText(error));
    return;
  }
  WALK_LOG(Msg, L"%s:%d:  try NEXT_HUB Searching [%s]", path);
  // GetHubPort catches everything, so the way down is always undone.
  walk.portChain.push_back(static_cast<std::uint8_t>(at.port));
  walk.hubNames.push_back(walkNameKey(at.hubName));
  ++walk.level;
  GetHubPort(child.get(), childPorts, walk);
  --walk.level;
  walk.hubNames.pop_back();
  walk.portChain.pop_back();
}

}  // namespace hbx
