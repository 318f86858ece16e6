// The hubs' selective-suspend setting in the registry: which key and value
// apply by operating system and USB driver stack, switching it off for
// discovery and putting back what was found at the end of the run.
#include <algorithm>
#include <cwctype>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"

namespace hbx {

namespace {

constexpr std::uint8_t kOsWindows7 = 8;
constexpr std::uint8_t kOsWindows8 = 16;
constexpr const wchar_t* kClassKeyRoot =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}\\";
constexpr const wchar_t* kEnumRoot = L"System\\CurrentControlSet\\Enum\\";
// The value that keeps what the user had beside a setting during a run, and
// what it holds when the setting was not there: a number the registry write
// keeps whole (it writes a DWORD from its first two bytes), which no
// selective-suspend value takes.
constexpr const wchar_t* kSavedSuffix = L" (before HBX763xFW update)";
constexpr std::uint32_t kSavedAbsent = 0xFFFFu;
// Earlier versions kept "absent" as 0xFFFFFFFF, which reached the registry as
// 0xFFFF too.
bool savedMeansAbsent(std::uint32_t saved) { return saved == kSavedAbsent || saved == 0xFFFFFFFFu; }

bool contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

// Found after the first character.
bool containsAfterStart(const std::wstring& text, const wchar_t* part) {
  const std::size_t at = text.find(part);
  return at != std::wstring::npos && at > 0;
}

// The instance text of an interface path: the part before the last "#" and
// after the one before it, in upper case.
std::wstring instanceText(const std::wstring& path) {
  const std::size_t last = path.rfind(L'#');
  const std::wstring rest = last == std::wstring::npos ? path : path.substr(0, last);
  const std::size_t before = rest.rfind(L'#');
  std::wstring sn = before == std::wstring::npos ? rest : rest.substr(before + 1);
  for (wchar_t& c : sn) c = static_cast<wchar_t>(std::towupper(c));
  return sn;
}

// Every step of the setting's change logs as the method that changes it.
constexpr const char* kSetPowerManagement = "bool hbx::CHubUtility::bSetHubPowerManagementByRegistry()";
#define POWER_LOG(level, format, ...) \
  ::hbx::log::writeAt(::hbx::log::Level::level, kSetPowerManagement, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)

struct SuspendSetting {
  std::wstring keyName;
  std::wstring subKey;
};

// Which value holds the selective-suspend setting of the hub on `path`: it
// depends on the operating system and the driver stack of the controller.
SuspendSetting suspendSettingFor(const HubInfo& hub, const std::wstring& path, const std::wstring& hostDesc,
                                 const std::wstring& classKey, std::uint8_t os) {
  const std::wstring strSN = instanceText(path);
  auto deviceKey = [&](const std::wstring& root) {
    return wformat(L"%sVID_%s&PID_%s\\%s\\Device Parameters", root, hub.strVID, hub.strPID, strSN);
  };
  if (os >= kOsWindows8) {
    const std::wstring usbRoot = std::wstring(kEnumRoot) + L"USB\\";
    if (contains(path, L"CORVANEUSBD")) {
      POWER_LOG(Msg, L"%s:%d: Corvane driver USB 3.0 driver");
      if (contains(path, L"CORVANEUSBD_HUB")) POWER_LOG(Msg, L"%s:%d: MCCI driver USB 3.0 on Win 8");
      return {L"SelectiveSuspendEnabled", classKey};
    }
    POWER_LOG(Msg, L"%s:%d: Win8 or Win10 Inbox driver");
    if (containsAfterStart(hostDesc, L"Enhanced")) return {L"EnableSelectiveSuspend", deviceKey(usbRoot) + L"\\"};
    return {L"IdleInWorkingState", deviceKey(usbRoot) + L"\\WDF\\"};
  }
  const std::wstring& name = hub.strConnectedHubName;
  if (contains(path, L"CORVANEUSBD") || contains(path, L"CORVANEUSBD_HUB")) {
    POWER_LOG(Msg, L"%s:%d: MCCI driver USB 3.0");
    return {L"SelectiveSuspendEnabled", classKey};
  }
  if (contains(name, L"IUSB")) {
    POWER_LOG(Msg, L"%s:%d: Intel driver USB 3.0 , HubName[%s]", name);
    return {L"EnableSelectiveSuspend", deviceKey(std::wstring(kEnumRoot) + L"IUSB3\\")};
  }
  if (contains(name, L"AMDUSB")) {
    POWER_LOG(Msg, L"%s:%d: AMD driver USB 3.0 , HubName[%s], strSN[%s]", name, strSN);
    const wchar_t* root = containsAfterStart(strSN, L"&") ? L"USB\\" : L"AMDUSB30\\";
    SuspendSetting s{L"EnableSelectiveSuspend", deviceKey(std::wstring(kEnumRoot) + root)};
    POWER_LOG(Msg, L"%s:%d: AMD driver USB 3.0 , strSubKeyRoot[%s]", s.subKey);
    return s;
  }
  if (contains(name, L"RENESAS_USB3")) {
    POWER_LOG(Msg, L"%s:%d: RENESAS driver USB 3.0 , HubName[%s]", name);
    return {L"EnableSelectiveSuspend", deviceKey(std::wstring(kEnumRoot) + L"RENESAS_USB3\\")};
  }
  if (contains(name, L"NUSB3")) {
    POWER_LOG(Msg, L"%s:%d: NEC driver USB 3.0 , HubName[%s]", name);
    return {L"EnableSelectiveSuspend", deviceKey(std::wstring(kEnumRoot) + L"NUSB3\\")};
  }
  POWER_LOG(Msg, L"%s:%d: Others driver USB 3.0 , HubName[%s]", name);
  return {L"EnableSelectiveSuspend", deviceKey(std::wstring(kEnumRoot) + L"USB\\")};
}

}  // namespace

bool CHubUtility::bSetHubPowerManagementByRegistry(HubInfo hub, std::uint32_t dwValue) {
  const std::uint8_t os = GetOSVersion();
  std::vector<std::wstring> paths;
  if (!powerSettingPaths(hub, dwValue, os, paths)) return true;
  const std::wstring hostDesc(hub.strHostDesc,
                              std::find(hub.strHostDesc, hub.strHostDesc + std::size(hub.strHostDesc), L'\0'));
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::wstring classKey = kClassKeyRoot + powerSettingDriverKey(paths[i], i, dwValue, os);
    const SuspendSetting s = suspendSettingFor(hub, paths[i], hostDesc, classKey, os);
    if (!changeSuspendSetting(hub, s.subKey, s.keyName, dwValue)) return false;
  }
  return true;
}

// The interface paths whose setting changes; false when there is nothing to
// change (a Corvane host on Windows 7, or no interface listed).
bool CHubUtility::powerSettingPaths(const HubInfo& hub, std::uint32_t dwValue, std::uint8_t os,
                                    std::vector<std::wstring>& paths) {
  if (os == kOsWindows7) {
    if (hub.bCorvaneHost == 1) return false;
    paths.push_back(L"\\\\?\\" + hub.strConnectedHubName);
    return true;
  }
  if (dwValue == 1) {
    paths.push_back(hub.strInterfacePath);
    return true;
  }
  HubInterfacePaths listed;
  std::uint8_t count = ucGetHubInterfaces(hub, listed, false);
  if (count == 0) count = ucGetHubInterfaces(hub, listed, false);
  if (count == 0) return false;
  paths.assign(listed.begin(), listed.begin() + count);
  return true;
}

// A listing (discovery) gives each path its driver key; the restore takes the
// one discovery found for the hub's own path.
std::wstring CHubUtility::powerSettingDriverKey(const std::wstring& path, std::size_t index, std::uint32_t dwValue,
                                                std::uint8_t os) {
  std::wstring driverKey = m_strHubDriverKey[index];
  if (dwValue == 0 && os != kOsWindows7) {
    m_PowerSettingsFound.rememberDriverKey(path, driverKey);
  } else if (const std::wstring listed = m_PowerSettingsFound.driverKeyOf(path); !listed.empty()) {
    driverKey = listed;
  }
  return driverKey;
}

// Switches the setting off (`dwValue` 0, discovery) or puts back what
// discovery found (1). What the user had is also kept beside the setting
// until the restore has put it back, so that a run killed in between leaves
// it for the next run instead of losing it.
bool CHubUtility::changeSuspendSetting(const HubInfo& hub, const std::wstring& subKey, const std::wstring& keyName,
                                       std::uint32_t dwValue) {
  std::uint32_t current = 0;
  const bool read = bRegistryReadWrite(subKey, keyName, &current, 0, platform::regtype::kDword);
  const std::wstring savedName = keyName + kSavedSuffix;
  std::uint32_t wanted = dwValue;
  std::optional<std::uint32_t> before;
  if (dwValue == 0) {
    before = read ? std::optional<std::uint32_t>(current) : std::nullopt;
    std::uint32_t saved = 0;
    if (bRegistryReadWrite(subKey, savedName, &saved, 0, platform::regtype::kDword)) {
      before = savedMeansAbsent(saved) ? std::nullopt : std::optional<std::uint32_t>(saved);
    } else {
      saved = before.value_or(kSavedAbsent);
      bRegistryReadWrite(subKey, savedName, &saved, 1, platform::regtype::kDword);
    }
    m_PowerSettingsFound.remember(subKey, keyName, before);
  } else if (const auto found = m_PowerSettingsFound.found(subKey, keyName)) {
    wanted = *found;
  }
  auto markChanged = [this] {
    CZeltHubDev* dev = walkTarget();
    if (dev != nullptr && dev->m_DriverNum < kMaxDriverRecords) dev->m_DriverInfo[dev->m_DriverNum].bPowerSettingChanged = 1;
  };
  // Every value discovery met is put back at the end of the run, whether or
  // not its hub is listed.
  auto noteLeft = [&](const std::optional<std::uint32_t>& left) {
    if (dwValue == 0) m_PowerSettingsFound.noteLeft({subKey, keyName, savedName, hub.strConnectedHubName, before, left});
  };
  // The put-back; only once it is done is the kept value removed.
  std::optional<std::uint32_t> left = read ? std::optional<std::uint32_t>(current) : std::nullopt;
  std::uint32_t value = wanted;
  if (dwValue != 0 && m_PowerSettingsFound.absentBefore(subKey, keyName)) {
    // Discovery created the value: the restore takes it away again.
    if (read) bRegistryDeleteValue(subKey, keyName);
  } else if (!read) {
    if (bRegistryReadWrite(subKey, keyName, &value, 1, platform::regtype::kDword)) {
      left = value;
      markChanged();
    } else {
      POWER_LOG(Wrn, L"%s:%d: RegCreateKeyEx fail, szSubKeyHub3=%s, dwErrorCode=%s", subKey,
                systemErrorText(ports_.system.lastError()));
    }
  } else if (current != wanted) {
    POWER_LOG(Msg,
              L"%s:%d: Hub's power management is enable, set it disable szSubKeyHub3=%s, szKeyName=%s, szKeyValue=%d",
              subKey, keyName, current);
    if (!bRegistryReadWrite(subKey, keyName, &value, 1, platform::regtype::kDword)) {
      POWER_LOG(Err, L"%s:%d: set registry value fail, szSubKeyHub3=%s, szKeyName=%S, szKeyValue=%d", subKey, keyName,
                current);
      noteLeft(left);
      return false;
    }
    left = value;
    markChanged();
  }
  noteLeft(left);
  if (dwValue != 0) bRegistryDeleteValue(subKey, savedName);
  return true;
}

}  // namespace hbx
