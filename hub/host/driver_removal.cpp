// The end of a run: the filter uninstalled and every file of the driver
// package and of the staged image deleted.
#include <cwctype>
#include <exception>
#include <vector>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/host/driver_package.h"
#include "hub/host/native_system_view.h"
#include "hub/hub_utility.h"
#include "image/temp_bin_file.h"
#include "platform/handles.h"

namespace hbx {

namespace {

// GetTempPathW's buffer, in characters.
constexpr std::size_t kTempPathChars = 255;
// The longest "UpperFilters" value read back, in bytes.
constexpr std::size_t kFiltersBytes = 8192;

// True when "UpperFilters" of the USB class key still names the filter. A
// missing key or value names nothing; no log line either way, as neither is
// a fault here.
bool bFilterStillNamed(platform::RegistryPort& registry) {
  const platform::RegOpenResult opened = registry.openKey(driver::kUsbClassKey, platform::keyaccess::kRead);
  if (opened.status != 0) return false;
  const platform::RegistryKey key(registry, opened.key);
  std::vector<std::uint8_t> bytes(kFiltersBytes, 0);
  const platform::RegQueryResult query = registry.queryValue(key.get(), driver::kUpperFilters, bytes);
  if (query.status != 0) return false;
  std::wstring text;
  for (std::size_t i = 0; i + 1 < query.size && i + 1 < bytes.size(); i += 2) {
    text += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(bytes[i] | (bytes[i + 1] << 8))));
  }
  return text.find(driver::kFilterMark) != std::wstring::npos;
}

}  // namespace

std::wstring CHubUtility::strFilterLeftovers() {
  std::wstring left;
  auto add = [&left](const std::wstring& what) { left += (left.empty() ? L"" : L", ") + what; };
  if (bFilterStillNamed(ports_.registry)) add(L"the filter in UpperFilters");
  const platform::RegOpenResult service =
      ports_.registry.openKey(driver::kServicesKey + std::wstring(driver::kServiceName), platform::keyaccess::kRead);
  if (service.status == 0) {
    ports_.registry.closeKey(service.key);
    add(L"its service");
  }
  const std::wstring driverFile = ports_.system.systemDirectory() + L"\\" + driver::kDriversFolder + driver::kSysFile;
  const NativeSystemView native(ports_.system, IsWow64());
  if (bCheckFilePathExists(driverFile, 0)) add(driverFile);
  return left;
}

int CHubUtility::Remove_FilterDriverAndFiles(std::wstring& buffer, const std::function<void()>& vRemoveRunImages) {
  HBX_LOG_MSG(L"%s:%d: Remove_FilterDriverAndFiles[%s]", buffer);
  const int launched = Launch_DelINF(buffer);
  if (launched != 0) {
    HBX_LOG_ERR(L"%s:%d: Launch_DelINF failed[%d],", launched);
    return launched;
  }
  // The script's tools end with 0 whatever they did: what is left tells.
  const std::wstring left = strFilterLeftovers();
  if (!left.empty()) HBX_LOG_ERR(L"%s:%d: The filter driver was not removed; left: %s", left);
  platform::FilePort& files = ports_.files;
  std::uint32_t error = 0;
  try {
    if (vRemoveRunImages) vRemoveRunImages();

    std::wstring temp = ports_.system.tempPath();
    if (temp.size() > kTempPathChars) temp.resize(kTempPathChars);
    buffer = temp + driver::kWorkFolder;

    // The staged image: where staging writes it (beside the program) and in
    // the work folder.
    for (const std::wstring& folder : {m_strProgramFolder, buffer}) {
      const std::wstring stagedFolder = folder + L"\\" + image::kTempBinFolderName;
      files.deleteFile(stagedFolder + L"\\" + image::kTempBinFileName, error);
      files.removeDirectory(stagedFolder, error);
    }

    buffer += driver::kDriverSubfolder;
    if (bCheckFilePathExists(buffer, 0)) {
      for (const std::wstring& file :
           {std::wstring(driver::kInfFile), std::wstring(driver::kUninstallScript), std::wstring(driver::kCatFile),
            std::wstring(driver::kSupportLibrary), std::wstring(driver::kDebugRuntime),
            std::wstring(driver::kI386Folder) + driver::kSysFile, std::wstring(driver::kAmd64Folder) + driver::kSysFile}) {
        files.deleteFile(buffer + file, error);
      }
      files.removeDirectory(buffer + driver::kAmd64Folder, error);
      files.removeDirectory(buffer + driver::kI386Folder, error);
    }
  } catch (const std::exception&) {
    HBX_LOG_ERR(L"%s:%d: catch Failed, ERROR=%s", systemErrorText(ports_.system.lastError()));
  }
  return left.empty() ? launched : kRemovalLeftDriver;
}

}  // namespace hbx
