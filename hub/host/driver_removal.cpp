// The end of a run: the filter uninstalled and every file of the driver
// package and of the staged image deleted.
#include <exception>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/host/driver_package.h"
#include "hub/hub_utility.h"
#include "image/temp_bin_file.h"

namespace hbx {

namespace {

// GetTempPathW's buffer, in characters.
constexpr std::size_t kTempPathChars = 255;

}  // namespace

int CHubUtility::Remove_FilterDriverAndFiles(std::wstring& buffer, const std::function<void()>& vRemoveRunImages) {
  HBX_LOG_MSG(L"%s:%d: Remove_FilterDriverAndFiles[%s]", buffer);
  const int launched = Launch_DelINF(buffer);
  if (launched != 0) {
    HBX_LOG_ERR(L"%s:%d: Launch_DelINF failed[%d],", launched);
    return launched;
  }
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
  return launched;
}

}  // namespace hbx
