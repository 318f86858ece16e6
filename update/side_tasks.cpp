// The side tasks of the main task: the version file and the serial-number
// comparison.
#include "update/run_dialog.h"
#include "base/log/debug_log.h"
#include "base/log/format.h"
#include "base/text/text_util.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "image/temp_bin_file.h"
#include "platform/handles.h"
#include "update/run_display.h"

namespace hbx {

namespace {
inline constexpr wchar_t OUTPUT_VERSION_FILE_NAME[] = L"HbxHubVersion.txt";
}

int RunDialog::outputFWVersionTask() {
  ports_.system.setCurrentDirectory(utility_.strProgramFolder());
  HBX_DLG_MSG(L"%s:%d:   outputFWVersionTask !!! , CurrentDir=%s", ports_.system.currentDirectory());
  if (!m_bOutputVer) return 0;
  const int result = nOutputVerTextFile();
  update::RunDisplay display(*this, ports_.system);
  vShowHubInfo(static_cast<std::uint8_t>(m_DevList.DevNums));
  display.status(L"Output Version File PASS", update::kStatusGreen, 20);
  display.finishHubBars(update::kGreen);
  return result;
}

int RunDialog::nOutputVerTextFile() {
  // The current folder is the program folder (outputFWVersionTask made it so).
  const std::wstring path = utility_.strProgramFolder() + L"\\" + OUTPUT_VERSION_FILE_NAME;
  std::uint32_t error = 0;
  ports_.files.deleteFile(path, error);
  const platform::OpenResult opened =
      ports_.files.createFile(path, platform::access::kGenericWrite, platform::share::kWrite | platform::share::kDelete,
                              platform::creation::kOpenAlways, platform::fileflag::kWriteThrough);
  if (opened.handle == platform::kInvalidHandle) {
    HBX_DLG_ERR(L"%s:%d:   CreateFile Failed,OUTPUT_VERSION_FILE_NAME=%s,Erroe=%s", OUTPUT_VERSION_FILE_NAME,
                systemErrorText(opened.error));
    return -1;
  }
  bool written = true;
  {
    const platform::FileHandle file(ports_.files, opened.handle);
    for (int k = 0; k < m_DevList.DevNums && written; ++k) {
      const std::string line =
          nformat("%d:%012S\r\n", k, text::trim(m_DevList.Devs[static_cast<std::size_t>(k)].m_strFWVersion));
      written = image::writeAll(ports_.files, file.get(),
                                std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()), error);
    }
  }
  if (!written) {
    // A file with lines missing is no version file.
    HBX_DLG_ERR(L"%s:%d:   WriteFile Failed,OUTPUT_VERSION_FILE_NAME=%s,Erroe=%s",
                OUTPUT_VERSION_FILE_NAME, systemErrorText(error));
    return -1;
  }
  return 0;
}

int RunDialog::nCmpHubSNTask() {
  HBX_DLG_MSG(L"%s:%d:   nCmpHubSNTask !!! ");
  update::RunDisplay display(*this, ports_.system);
  if (m_DevList.DevNums == 2) {
    if (text::equalsNoCase(m_DevList.Devs[0].m_strSN, m_DevList.Devs[1].m_strSN)) {
      display.status(L"Compare Serial Number PASS", update::kStatusGreen, 20);
      display.finishHubBars(update::kGreen);
      return 0;
    }
    display.status(L"The Serial Number are not same!!!", update::kStatusRed, 20);
    display.finishHubBars(update::kRed);
    return -3;
  }
  display.finishHubBars(update::kRed);
  display.status(L"Can not Compare above 2 Hubs in platform", update::kStatusRed, 32);
  return -3;
}

}  // namespace hbx
