#include "app/fw_upgrade_app.h"

#include "app/command_line.h"
#include "hub/hub_utility.h"

namespace hbx {

CMy763FWUpgradeToolApp::CMy763FWUpgradeToolApp(platform::Ports ports, CHubUtility& utility, ui::DialogView* view)
    : ports_(ports), utility_(utility), view_(view) {}

CMy763FWUpgradeToolApp::~CMy763FWUpgradeToolApp() {
  if (pFWUpdateDlg == dialog_.get()) pFWUpdateDlg = nullptr;
}

int CMy763FWUpgradeToolApp::InitInstance(const std::wstring& rawCommandLine) {
  dialog_ = std::make_unique<ZAr763ORIdirevaVodoRev>(ports_, utility_);
  pFWUpdateDlg = dialog_.get();
  dialog_->g_strInitCmd = cmdline::strCollect(rawCommandLine);

  const StepResult started = dialog_->OnInitDialog();
  if (started.endsProcess()) return started.exitCode();

  // The modal dialog is shown (the hidden modes turn that into a hide) and
  // runs until it ends.
  return dialog_->DoModal(view_);
}

}  // namespace hbx
