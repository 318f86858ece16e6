#include "app/program.h"

#include <optional>

#include "app/fw_upgrade_app.h"
#include "app/run_report_file.h"
#include "app/run_trace.h"
#include "base/log/debug_log.h"
#include "hub/hub_utility.h"
#include "trace/recording_ports.h"

namespace hbx::app {

int runProgram(platform::Ports hostPorts, const std::wstring& rawCommandLine, ui::DialogView* view) {
  std::wstring commandLine = rawCommandLine;
  const std::optional<std::wstring> traceFile = takeTraceFile(commandLine);
  // Without "/TRACE" the program talks to the host's ports directly.
  trace::RecordedPorts recorded(hostPorts);
  const platform::Ports ports = traceFile ? recorded.ports() : hostPorts;
  if (traceFile) recorded.writer().startRecording();
  // The log channel is set before the utility object, whose construction logs.
  log::setDebugOutput(&ports.system);
  int exitCode = 0;
  {
    CHubUtility utility(ports);
    pUtility = &utility;
    if (traceFile) exitCode = nStartTrace(recorded.writer(), utility, ports.system, commandLine, *traceFile);
    if (exitCode == 0) {
      CMy763FWUpgradeToolApp application(ports, utility, view);
      exitCode = application.InitInstance(commandLine);
      // Whatever ended the run (a refusal, a failure, a stop request), the
      // report states it.
      const std::wstring traced = recorded.writer().writing() ? recorded.writer().path() : std::wstring();
      if (application.dialog() != nullptr) app::vWriteRunReport(ports, *application.dialog(), exitCode, traced);
    }
    pUtility = nullptr;
  }
  log::setDebugOutput(nullptr);
  return exitCode;
}

}  // namespace hbx::app
