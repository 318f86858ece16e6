// The report file may be no file the run reads or writes: written over the
// firmware source, the program or one of the run's own files, the report
// would destroy what the user has or what the run needs.
#include <array>

#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "base/text/text_util.h"
#include "hub/host/driver_package.h"
#include "hub/hub_utility.h"
#include "image/temp_bin_file.h"
#include "update/ini.h"

namespace hbx {

namespace {

// A path as Windows resolves it, for a comparison: upper case, "\" for "/",
// no "." folders, a name without a drive or root in `folder`.
std::wstring strComparablePath(const std::wstring& folder, const std::wstring& path) {
  std::wstring p = text::upper(text::trim(path));
  for (wchar_t& c : p)
    if (c == L'/') c = L'\\';
  const bool rooted = p.find(L':') != std::wstring::npos || p.starts_with(L"\\");
  if (!rooted) p = text::upper(folder) + L"\\" + p;
  for (std::size_t at; (at = p.find(L"\\.\\")) != std::wstring::npos;) p.erase(at, 2);
  return p;
}

}  // namespace

StepResult ZAr763ORIdirevaVodoRev::vRefuseReportOverRunFiles() {
  if (!m_Report.requested()) return StepResult::goOn();
  const std::wstring& folder = utility_.strProgramFolder();
  const std::wstring report = strComparablePath(folder, m_Report.file());
  const std::array<std::wstring, 11> used = {
      utility_.m_strFWBinFilePath,
      utility_.strModulePath(),
      m_strDefaultFWFile,
      m_strCarriedImageCopy,
      folder + L"\\" + Ini::kFileName,
      image::tempBinFile(folder),
      folder + driver::kDevcon64,
      folder + driver::kDevcon32,
      folder + driver::kInfFile,
      folder + driver::kCatFile,
      folder + driver::kSysFile,
  };
  for (const std::wstring& file : used) {
    if (file.empty() || strComparablePath(folder, file) != report) continue;
    HBX_LOG_ERR(L"%s:%d: The report file [%s] is [%s], a file the run uses", m_Report.file(), file);
    // Nothing is written to it, this refusal included.
    m_Report.withdraw();
    nShowMessage(L"The report file must not be the firmware file, the program or a file the program uses: " +
                     m_Report.file(),
                 msgkind::kError, platform::mb::kOk);
    return vShowUsage(exitValue(ExitCode::kCommandLineError));
  }
  return StepResult::goOn();
}

}  // namespace hbx
