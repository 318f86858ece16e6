#include "app/run_trace.h"

#include <array>

#include "app/command_line.h"
#include "base/log/format.h"
#include "base/log/message_line.h"
#include "base/text/text_util.h"
#include "hub/hub_utility.h"
#include "update/run_dialog.h"

namespace hbx::app {

namespace {

int nRefuse(platform::SystemPort& system, const std::wstring& text) {
  system.errorWrite(strSuppressedMessageLine(L"Error", text));
  return exitValue(ExitCode::kCommandLineError);
}

// The firmware file and the report file the line names, as written.
std::array<std::wstring, 2> namedFiles(const std::wstring& line) {
  std::wstring rest = line;
  const std::wstring report = cmdline::takeReportFile(rest).value_or(std::wstring());
  std::wstring firmware;
  if (const auto span = cmdline::firmwareSpan(text::upper(rest))) {
    firmware = rest.substr(span->begin, span->end - span->begin);
    text::removeAll(firmware, L"\"");
  }
  return {firmware, report};
}

}  // namespace

std::optional<std::wstring> takeTraceFile(std::wstring& line) { return cmdline::takeFileOption(line, L"/TRACE"); }

int nStartTrace(trace::TraceWriter& writer, const CHubUtility& utility, platform::SystemPort& system,
                const std::wstring& line, const std::wstring& file) {
  if (file.empty()) return nRefuse(system, L"Please Input Trace File!!! ");
  const std::wstring& folder = utility.strProgramFolder();
  const std::wstring trace = cmdline::strComparablePath(folder, file);
  const std::array<std::wstring, 2> named = namedFiles(line);
  for (const std::wstring& used : {utility.strModulePath(), named[0], named[1]}) {
    if (!used.empty() && cmdline::strComparablePath(folder, used) == trace)
      return nRefuse(system, L"The trace file must not be the firmware file, the program or the report file: " + file);
  }
  std::uint32_t error = 0;
  if (!writer.open(file, error))
    return nRefuse(system, wformat(L"The trace file could not be written[%s], error %d", file, static_cast<int>(error)));
  return 0;
}

}  // namespace hbx::app
