#include "app/fw_upgrade_app.h"

#include "app/command_line.h"
#include "host/hub_utility.h"

namespace hbx {

CMy763FWUpgradeToolApp::CMy763FWUpgradeToolApp(platform::Ports ports, CHubUtility& utility)
    : ports_(ports), utility_(utility) {}

CMy763FWUpgradeToolApp::~CMy763FWUpgradeToolApp() {
  if (pFWUpdateDlg == dialog_.get()) pFWUpdateDlg = nullptr;
}

int CMy763FWUpgradeToolApp::InitInstance(const std::wstring& rawCommandLine) {
  dialog_ = std::make_unique<ZAr763ORIdirevaVodoRev>(ports_, utility_);
  pFWUpdateDlg = dialog_.get();
  dialog_->g_strInitCmd = cmdline::strCollect(rawCommandLine);

  const StepResult started = dialog_->OnInitDialog();
  if (started.endsProcess()) return started.exitCode();

  // The modal dialog is shown (the hidden modes turn that into a hide). The
  // run that follows start-up is not wired in yet, so the dialog ends here as
  // through its OK button, with the exit code of the run state.
  dialog_->SetWindowPos(ui::swp::kShowWindow | ui::swp::kNoMove | ui::swp::kNoSize);
  dialog_->OnBnClickedButtonOk();
  return dialog_->m_iRet;
}

}  // namespace hbx
