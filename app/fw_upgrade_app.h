#pragma once
// CMy763FWUpgradeToolApp: the application object. It creates the main dialog,
// hands it the command line and runs it.
#include <memory>
#include <string>

#include "app/fw_update_dlg.h"
#include "platform/ports.h"

namespace hbx {

class CHubUtility;

class CMy763FWUpgradeToolApp {
 public:
  // `view`: where the open dialog is drawn in interactive mode; none, nowhere.
  CMy763FWUpgradeToolApp(platform::Ports ports, CHubUtility& utility, ui::DialogView* view = nullptr);
  ~CMy763FWUpgradeToolApp();

  // The application's start: builds the dialog and g_strInitCmd from the raw
  // command line, runs start-up and the dialog. Returns the exit code.
  int InitInstance(const std::wstring& rawCommandLine);

  // The dialog of the run (null before InitInstance).
  ZAr763ORIdirevaVodoRev* dialog() { return dialog_.get(); }

 private:
  platform::Ports ports_;
  CHubUtility& utility_;
  ui::DialogView* view_;
  std::unique_ptr<ZAr763ORIdirevaVodoRev> dialog_;
};

}  // namespace hbx
