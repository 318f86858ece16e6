// The report file may be no file the run reads or writes: written over the
// firmware source, the program or one of the run's own files, the report
// would destroy what the user has or what the run needs.
#include <array>

#include "app/command_line.h"
#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "hub/host/driver_package.h"
#include "hub/hub_utility.h"
#include "image/temp_bin_file.h"
#include "update/ini.h"

namespace hbx {

StepResult ZAr763ORIdirevaVodoRev::vRefuseReportOverRunFiles() {
  if (!m_Report.requested()) return StepResult::goOn();
  const std::wstring& folder = utility_.strProgramFolder();
  const std::wstring report = cmdline::strComparablePath(folder, m_Report.file());
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
    if (file.empty() || cmdline::strComparablePath(folder, file) != report) continue;
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
