// The filter driver's device object of a hub, the hub interfaces that belong
// to a hub (with their driver keys), the restart of a hub, and device
// registry properties, all through SetupAPI.
#include <algorithm>
#include <cwctype>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/discovery/command_line_argument.h"
#include "hub/hub_utility.h"
#include "platform/handles.h"

namespace hbx {

namespace {

constexpr std::uint32_t kPropertyBufferBytes = 4096;
constexpr std::size_t kObjectPathChars = 255;
constexpr std::uint32_t kDevConWaitMs = 12'000'000;
constexpr double kObjectWaitSeconds = 20.0;
constexpr std::uint8_t kOsWindows8 = 16;

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

bool sameTextIgnoringCase(const std::wstring& a, const std::wstring& b) { return upper(a) == upper(b); }

// The text after the first "#" (the whole text when it has none).
std::wstring afterFirstHash(const std::wstring& text) {
  const std::size_t hash = text.find(L'#');
  return hash == std::wstring::npos ? text : text.substr(hash + 1);
}

// "\Device\USBPDO-12" -> "USBPDO_12".
std::wstring physicalObjectForm(const std::wstring& pdoName) {
  std::wstring form = pdoName.substr(pdoName.find_last_of(L'\\') + 1);
  std::replace(form.begin(), form.end(), L'-', L'_');
  return form;
}

std::wstring objectPath(const std::wstring& name) {
  return (L"\\\\.\\" + name + L"0001").substr(0, kObjectPathChars);
}

bool startsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

int CHubUtility::GetObjecNameFromDriverName(DriverInfo* Driverinfo, bool /*bHub*/, bool bWait) {
  // Only the hub interface class is ever asked for.
  const platform::Guid& interfaceClass = platform::kGuidDevinterfaceUsbHub;
  const std::wstring driverName = strField(Driverinfo->DriverName);
  if (GetOSVersion() != kOsWindows8 && !driverName.empty() && driverName.front() == L'{') {
    vSetField(Driverinfo->DeviceObjectName, objectPath(driverName));
    HBX_LOG_MSG(L"%s:%d: Get MCCI Driver , ObjectName =%s", strField(Driverinfo->DeviceObjectName));
    return 0;
  }
  platform::SetupApiPort& setupApi = ports_.setupApi;
  const std::int64_t start = ports_.clock.performanceCounter();
  platform::DeviceInfoList list(setupApi, setupApi.getClassDevs(interfaceClass));
  if (!list.valid()) {
    HBX_LOG_ERR(L"%s:%d: Can not found any Hubs");
    return -1;
  }
  const std::wstring nameKey = upper(afterFirstHash(driverName));
  int result = -4;
  std::wstring strDeviceName;
  while (true) {
    platform::DeviceInterfaceInfo info;
    for (std::uint32_t index = 0; setupApi.enumDeviceInterface(list.get(), interfaceClass, index, info); ++index) {
      if (!info.detailOk) {
        HBX_LOG_ERR(L"%s:%d: Get Device Interface Detail failed");
        return -1;
      }
      strDeviceName = info.devicePath;
      const std::wstring interfaceKey = upper(afterFirstHash(info.devicePath));
      const std::wstring pdoName =
          vGetSetupDiDeviceRegistryProperty(list.get(), &info.device, platform::spdrp::kPhysicalDeviceObjectName);
      const std::wstring pdoForm = pdoName.empty() ? std::wstring() : physicalObjectForm(pdoName);
      // A device without a physical device object name matches by its path only.
      const bool matches =
          interfaceKey == nameKey || (!pdoForm.empty() && sameTextIgnoringCase(pdoForm, driverName));
      if (!matches) {
        result = -5;
        continue;
      }
      vSetField(Driverinfo->DeviceObjectName, objectPath(pdoForm));
      HBX_LOG_MSG(L"%s:%d: GetObjecNameFromDriverName[%s]", strField(Driverinfo->DeviceObjectName));
      return 0;
    }
    if (!bWait) return result;
    std::int64_t frequency = m_llCounterFrequency > 0 ? m_llCounterFrequency : ports_.clock.performanceFrequency();
    if (frequency <= 0) frequency = 1;
    const double fsdif = static_cast<double>(ports_.clock.performanceCounter() - start) / static_cast<double>(frequency);
    if (fsdif > kObjectWaitSeconds) {
      HBX_LOG_MSG(L"%s:%d:  Time Out, fsdif= : %f ,  strDeviceName=%s, Driverinfo->DriverName=%s", fsdif,
                  strDeviceName, driverName);
      return -9;
    }
    list.reset(setupApi.getClassDevs(interfaceClass));
    if (!list.valid()) {
      HBX_LOG_ERR(L"%s:%d: Can not found any Hubs, GetLastError=%s", systemErrorText(ports_.system.lastError()));
      return -4;
    }
    ports_.clock.sleepMs(5000);
    HBX_LOG_MSG(L"%s:%d: Can not find Target Hubs[%s] Retry", driverName);
  }
}

std::uint8_t CHubUtility::ucGetHubInterfaces(const HubInfo& hub, HubInterfacePaths& paths, bool bRestart) {
  HubInterfacePaths found;
  const std::uint8_t count = ucGetHWId(platform::kGuidDevinterfaceUsbHub, hub, found, bRestart);
  std::copy_n(found.begin(), count, paths.begin());
  return count;
}

std::uint8_t CHubUtility::ucGetHWId(const platform::Guid& interfaceClass, const HubInfo& hub, HubInterfacePaths& paths,
                                    bool bRestart) {
  platform::SetupApiPort& setupApi = ports_.setupApi;
  std::uint8_t count = 0;
  platform::DeviceInfoList list(setupApi, setupApi.getClassDevs(interfaceClass));
  if (!list.valid()) {
    HBX_LOG_ERR(L"%s:%d: hDevInfo = INVALID_HANDLE_VALUE, dwErrorCode : %s",
                systemErrorText(ports_.system.lastError()));
    return 0;
  }
  try {
    const std::wstring name = upper(hub.strConnectedHubName);
    platform::DeviceInterfaceInfo info;
    for (std::uint32_t index = 0; setupApi.enumDeviceInterface(list.get(), interfaceClass, index, info); ++index) {
      if (!info.detailOk) {
        HBX_LOG_ERR(L"%s:%d: SetupDiGetInterfaceDeviceDetail failed!!, dwErrorCode : %s", systemErrorText(info.error));
        return count;
      }
      const std::wstring path = upper(info.devicePath.size() > 4 ? info.devicePath.substr(4) : std::wstring());
      std::wstring objectKey =
          vGetSetupDiDeviceRegistryProperty(list.get(), &info.device, platform::spdrp::kPhysicalDeviceObjectName);
      const std::size_t brace = objectKey.find(L'{');
      if (brace != std::wstring::npos) objectKey = objectKey.substr(brace);
      std::replace(objectKey.begin(), objectKey.end(), L'-', L'_');
      objectKey = upper(objectKey);
      if (!startsWith(path, name) && !startsWith(objectKey, name)) continue;
      if (count >= paths.size()) continue;
      const std::wstring driverKey =
          vGetSetupDiDeviceRegistryProperty(list.get(), &info.device, platform::spdrp::kDriver);
      m_strHubDriverKey[count] = driverKey.substr(driverKey.find_last_of(L'\\') + 1);
      if (bRestart) {
        const std::wstring hardwareId =
            vGetSetupDiDeviceRegistryProperty(list.get(), &info.device, platform::spdrp::kHardwareId);
        HBX_LOG_MSG(L"%s:%d: Trigger Device!!!!!Get Hub ID Number, strDevConParam[%s]", hardwareId);
        // On 64-bit Windows the class installer's restart is left to the
        // amd64 device-console tool, for the 32-bit and the 64-bit build.
        if (bIs64BitWindows()) {
          // The id is one argument, whatever characters it holds.
          ports_.processes.shellExecuteAndWait(m_strProgramFolder + L"\\devconAMD64.exe",
                                               L"Restart " + quoteCommandLineArgument(hardwareId), kDevConWaitMs);
          ports_.clock.sleepMs(500);
        } else {
          bChangeDeviceStatus(list.get(), info.device, platform::dics::kPropChange);
        }
        ports_.clock.sleepMs(500);
      }
      paths[count] = path;
      ++count;
    }
    return count;
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: OpenDevice fail, dwErrorCode : %s", systemErrorText(ports_.system.lastError()));
    return count;
  }
}

bool CHubUtility::bChangeDeviceStatus(platform::OsHandle hDevInfo, const platform::DeviceInfoData& devInfo,
                                      std::uint32_t dwStateChange) {
  try {
    bool allDone = true;
    // The global scope first, then the current hardware profile; the second
    // pass runs whatever the first did.
    for (const std::uint32_t scope : {platform::dics::kFlagGlobal, platform::dics::kFlagConfigSpecific}) {
      std::uint32_t error = 0;
      if (!ports_.setupApi.setPropChangeParams(hDevInfo, devInfo, dwStateChange, scope, 0, error)) {
        HBX_LOG_ERR(L"%s:%d: SetupDiSetClassInstallParams Fail , dwErrorCode %s", systemErrorText(error));
        allDone = false;
      }
      if (!ports_.setupApi.callClassInstallerPropChange(hDevInfo, devInfo, error)) {
        HBX_LOG_ERR(L"%s:%d: SetupDiCallClassInstaller Fail , dwErrorCode %s", systemErrorText(error));
        allDone = false;
      }
    }
    return allDone;
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: vSafeRemoveUSB: dwErrorCode %s", systemErrorText(ports_.system.lastError()));
    return false;
  }
}

std::wstring CHubUtility::vGetSetupDiDeviceRegistryProperty(platform::OsHandle hDevInfo,
                                                            const platform::DeviceInfoData* devInfo,
                                                            std::uint32_t dwProperty) {
  if (devInfo == nullptr) return L"";
  try {
    const platform::PropertyValue value =
        ports_.setupApi.deviceRegistryProperty(hDevInfo, *devInfo, dwProperty, kPropertyBufferBytes);
    if (!value.ok || value.regType == platform::regtype::kNone) return L"";
    switch (value.regType) {
      case platform::regtype::kSz:
      case platform::regtype::kExpandSz:
      case platform::regtype::kMultiSz:
        return usblayout::readText(value.bytes, 0);  // the first string
      default:
        HBX_LOG_WRN(L"%s:%d:  Type[%d] Not Valid dwPropertyRegDataType %d", dwProperty, value.regType);
        return L"";
    }
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d:   dwErrorCode %s", systemErrorText(ports_.system.lastError()));
    return L"";
  }
}

}  // namespace hbx
