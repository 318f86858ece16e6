#include "app/run_report_file.h"

#include "app/run_report_json.h"
#include "base/log/format.h"
#include "base/log/message_line.h"
#include "platform/handles.h"
#include "update/run_dialog.h"

namespace hbx::app {

namespace {

std::string modeOf(const RunDialog& dialog) {
  if (dialog.m_bHelp) return "help";
  if (dialog.m_bOutputVer) return "version-file";
  if (dialog.m_bCmpSN) return "serial-comparison";
  if (dialog.m_bExport) return "export";
  if (dialog.m_bCheckFW && !dialog.m_bUpdate) return "check";
  return "update";
}

}  // namespace

bool bWriteFileAtomically(platform::FilePort& files, const std::wstring& path, const std::string& text,
                          std::uint32_t& error) {
  const std::wstring temporary = path + L".tmp";
  const platform::OpenResult opened =
      files.createFile(temporary, platform::access::kGenericWrite, 0, platform::creation::kCreateAlways, 0);
  if (opened.handle == platform::kInvalidHandle) {
    error = opened.error;
    return false;
  }
  bool written = false;
  {
    const platform::FileHandle file(files, opened.handle);
    const platform::FileIoResult result =
        files.writeFile(file.get(), reinterpret_cast<const std::uint8_t*>(text.data()),
                        static_cast<std::uint32_t>(text.size()));
    written = result.ok && result.bytes == text.size();
    if (!written) error = result.error;
  }
  if (written && files.moveFileReplacing(temporary, path, error)) return true;
  std::uint32_t ignored = 0;
  files.deleteFile(temporary, ignored);
  return false;
}

void vWriteRunReport(platform::Ports ports, const RunDialog& dialog, int exitCode, const std::wstring& traceFile) {
  const report::RunRecorder& recorder = dialog.m_Report;
  if (!recorder.requested()) return;
  const ReportEnding ending{modeOf(dialog), exitCode, ports.clock.calendarSeconds(), traceFile};
  const std::string document = strRunReportJson(recorder.facts(), ending);
  std::uint32_t error = 0;
  if (bWriteFileAtomically(ports.files, recorder.file(), document, error)) return;
  ports.system.errorWrite(
      strSuppressedMessageLine(L"Error", wformat(L"The run report could not be written[%s], error %d", recorder.file(),
                                                 static_cast<int>(error))));
}

}  // namespace hbx::app
