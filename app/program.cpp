#include "app/program.h"

#include "app/fw_upgrade_app.h"
#include "app/run_report_file.h"
#include "base/log/debug_log.h"
#include "hub/hub_utility.h"

namespace hbx::app {

int runProgram(platform::Ports ports, const std::wstring& rawCommandLine, ui::DialogView* view) {
  // The log channel is set before the utility object, whose construction logs.
  log::setDebugOutput(&ports.system);
  int exitCode = 0;
  {
    CHubUtility utility(ports);
    pUtility = &utility;
    CMy763FWUpgradeToolApp application(ports, utility, view);
    exitCode = application.InitInstance(rawCommandLine);
    // Whatever ended the run (a refusal, a failure, a stop request), the
    // report states it.
    if (application.dialog() != nullptr) app::vWriteRunReport(ports, *application.dialog(), exitCode);
    pUtility = nullptr;
  }
  log::setDebugOutput(nullptr);
  return exitCode;
}

}  // namespace hbx::app
