// The option parser: any bytes as the command line (one character each),
// collected and prepared as start-up does, parsed by the dialog on a
// simulated computer that carries its image.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/fw_update_dlg.h"
#include "hub/hub_utility.h"
#include "sim/sim_host.h"

using namespace hbx;

#define REQUIRE(c) \
  if (!(c)) __builtin_trap()

namespace {

// One computer for many inputs; a fresh one now and then, so that the boxes
// it keeps do not pile up.
sim::SimHost& host() {
  static std::unique_ptr<sim::SimHost> current;
  static int uses = 0;
  if (!current || ++uses % 500 == 0) {
    current.reset();
    sim::SimHostOptions options;
    options.timeScale = 0;
    options.standardOutput = [](const std::string&) {};
    options.standardError = [](const std::string&) {};
    current = std::make_unique<sim::SimHost>(options);
  }
  return *current;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring raw(data, data + size);
  const std::wstring S = cmdline::strPrepare(cmdline::strCollect(raw));
  // File names reach only the simulated drive C:, never this machine's own
  // files (drive Z:, or a way up out of drive C:).
  if (S.find(L"Z:") != std::wstring::npos || S.find(L"..") != std::wstring::npos) return 0;

  CHubUtility utility(host().ports());
  ZAr763ORIdirevaVodoRev dialog(host().ports(), utility);
  pUtility = &utility;
  pFWUpdateDlg = &dialog;
  const StepResult r = dialog.ParseCommandLine(S);
  pFWUpdateDlg = nullptr;
  pUtility = nullptr;

  if (r.endsProcess()) {
    REQUIRE(r.exitCode() == exitValue(ExitCode::kOk) || r.exitCode() == exitValue(ExitCode::kCommandLineError));
    return 0;
  }
  // A run that goes on has a version of twelve characters to check, or a
  // firmware source any hub could take, and never both an export and an
  // update.
  if (dialog.m_bCheckFW) REQUIRE(dialog.m_strChkFWVer.size() == 12);
  if (dialog.m_bUpdate) {
    REQUIRE(!utility.m_strFWBinFilePath.empty());
    REQUIRE(dialog.m_bMajorType <= 3);
    REQUIRE(!dialog.m_bExport);
  }
  REQUIRE(utility.m_strPID30_Indetify.size() <= 4 && utility.m_strPID20_Indetify.size() <= 4);
  return 0;
}
