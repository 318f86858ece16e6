// Installing and uninstalling the filter driver through the setup library,
// and the registry test of an installed filter.
#include <cwctype>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/host/driver_package.h"
#include "hub/host/native_system_view.h"
#include "hub/hub_utility.h"

namespace hbx {

namespace {

std::wstring driverFolderOf(const std::wstring& base) {
  return base + driver::kWorkFolder + driver::kDriverSubfolder;
}

}  // namespace

platform::ProcessLaunch CHubUtility::launchSetupCommand(const std::wstring& commandLine,
                                                        const std::wstring& driverFolder) {
  // The tools (rundll32, and cmd for the script) are then the 64-bit ones,
  // whose "%12%" is the real system drivers folder the filter loads from.
  const NativeSystemView native(ports_.system, IsWow64());
  return ports_.processes.createProcessAndWait(commandLine, driverFolder, driver::kSetupCommandWaitMs);
}

int CHubUtility::InstallFilterDriver(const std::wstring& base) {
  HBX_LOG_MSG(L"%s:%d: InstallFilterDriver[%s]", base);
  const int loaded = nLoadFilterDriverLib(base);
  if (loaded != 0) {
    HBX_LOG_ERR(L"%s:%d: LoadFilterDriverLib failed[%d],", loaded);
    return loaded;
  }
  return Launch_INF(driverFolderOf(base));
}

int CHubUtility::Launch_INF(const std::wstring& driverFolder) {
  // The command names the INF relative to the driver folder.
  const std::wstring previous = ports_.system.currentDirectory();
  ports_.system.setCurrentDirectory(driverFolder);
  const platform::ProcessLaunch launch = launchSetupCommand(driver::kInstallCommand, driverFolder);
  // The driver folder must not stay current: a folder in use cannot be
  // removed at the end of the run.
  ports_.system.setCurrentDirectory(previous);
  if (!launch.started) {
    HBX_LOG_ERR(L"%s:%d: CreateProcess failed, szCmdLine=%s, szFilterDriver=%s, dwError=%s",
                std::wstring(driver::kInstallCommand), driverFolder, systemErrorText(launch.error));
    HBX_LOG_ERR(L"%s:%d: Launch_INF failed[%d],", -1);
    return -1;
  }
  if (launch.timedOut) {
    HBX_LOG_ERR(L"%s:%d: Setup command ended after %d ms, szCmdLine=%s", static_cast<int>(driver::kSetupCommandWaitMs),
                std::wstring(driver::kInstallCommand));
    HBX_LOG_ERR(L"%s:%d: Launch_INF failed[%d],", -1);
    return -1;
  }
  return 0;
}

int CHubUtility::Launch_DelINF(const std::wstring& base) {
  const std::wstring driverFolder = driverFolderOf(base);
  const std::wstring previous = ports_.system.currentDirectory();
  ports_.system.setCurrentDirectory(driverFolder);
  if (!bCheckFilePathExists(driverFolder + driver::kUninstallScript, 0)) {
    // The script runs DefaultUninstall of the INF beside it: the whole package
    // is needed, not only the script.
    nLoadFilterDriverLib(base);
    nLoadDelInstall_INF(base);
    ports_.system.setCurrentDirectory(driverFolder);
  }
  const platform::ProcessLaunch launch = launchSetupCommand(driver::kUninstallCommand, driverFolder);
  ports_.system.setCurrentDirectory(previous);
  if (!launch.started) {
    HBX_LOG_ERR(L"%s:%d:   CreateProcess Failed,szCmdLine=%s, szFilterDriver=%s, Erroe=%s",
                std::wstring(driver::kUninstallCommand), driverFolder, systemErrorText(launch.error));
    return -1;
  }
  if (launch.timedOut) {
    HBX_LOG_ERR(L"%s:%d: Setup command ended after %d ms, szCmdLine=%s", static_cast<int>(driver::kSetupCommandWaitMs),
                std::wstring(driver::kUninstallCommand));
    return -1;
  }
  return 0;
}

bool CHubUtility::bIsInstallZeltFilterDriverFromRegistry() {
  wchar_t filters[kRegistryTextChars] = {};
  if (!bRegistryReadWrite(driver::kUsbClassKey, driver::kUpperFilters, filters, 0, platform::regtype::kMultiSz)) {
    HBX_LOG_ERR(L"%s:%d: bRegistryReadWrite(REG_MULTI_SZ) Failed, wSubKey[%s], wKeyName[%s",
                std::wstring(driver::kUsbClassKey), std::wstring(driver::kUpperFilters));
    return false;
  }
  std::wstring text(filters);
  std::wstring upper = text;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  if (upper.find(driver::kFilterMark) != std::wstring::npos) return true;
  HBX_LOG_WRN(L"%s:%d: The Filter driver is not installed, strRegValue[%s]", text);
  return false;
}

}  // namespace hbx
