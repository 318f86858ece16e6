// The start-up sequence: the dialog's initialisation, from the settings file
// to the console banner.
#include "app/command_line.h"
#include "app/fw_update_dlg.h"
#include "app/log/debug_log.h"
#include "app/tool_identity.h"
#include "host/hub_utility.h"

namespace hbx {

namespace {

// The first values of the hub filters, from the settings.
void vApplySettings(const Ini& ini, CHubUtility& utility) {
  utility.m_strVID_Indetify = ini.check_vid == 1 ? ini.vid : L"2E8B";
  utility.m_strFW_Indetify = ini.check_fw_version == 1 ? ini.fw_version : L"";
  utility.m_strPID30_Indetify.clear();
  utility.m_strPID20_Indetify.clear();
  if (ini.check_manufacture_string == 1) {
    utility.m_strManuString_Indetify = ini.manufacture_string;
    utility.m_bCheckManuString = 1;
  }
  const bool partial = ini.check_part_of_fw_version == 1;
  utility.m_strPartOfFWVersion = partial ? ini.part_of_fw_version : L"";
  utility.m_ucPartOfFWVersionStart = partial ? ini.start_address_of_part_of_fw_version : 0;
  utility.m_ucPartOfFWVersionLength = partial ? ini.part_of_fw_version_length : 0;
  utility.m_ucRequestedHubNumber = 0;
  utility.m_bRequestedHubNumber = 0;
  utility.m_strFWBinFilePath.clear();
}

std::uint8_t ucUsbMode(const Ini& ini) {
  if (ini.check_U2_only != 0) return 1;
  if (ini.check_U3_only != 0) return 2;
  return 0;
}

}  // namespace

StepResult ZAr763ORIdirevaVodoRev::OnInitDialog() {
  CHubUtility& utility = utility_;
  const std::wstring& folder = utility.strProgramFolder();

  // The settings come before the options, so a failure box there follows the
  // run mode the raw line asks for; a console asked for is set up first so
  // that the text reaches it.
  const bool consoleAsked = cmdline::bAsksConsole(g_strInitCmd);
  utility.setUnattendedMode(cmdline::bAsksSilent(g_strInitCmd), consoleAsked);
  if (consoleAsked) ports_.system.allocConsole();

  m_Ini.nExtractINILib(folder);
  const std::wstring iniPath = Ini::strFilePath(folder);
  if (!m_Ini.vLoadINIFile(iniPath)) {
    HBX_LOG_ERR(L"%s:%d: vLoadINIFile Failed[%s]", iniPath);
    // The dialog stays idle; the settings file must not outlive start-up.
    m_Ini.vDeleteINIFile(folder);
    return StepResult::goOn();
  }

  utility.m_ucUsbMode = ucUsbMode(m_Ini);
  m_Ini.vDeleteINIFile(folder);
  m_ucFWType = 0;
  m_strCurFileFWVer.clear();
  vApplySettings(m_Ini, utility);
  log::vDEBUG_SetLevel(0);

  const std::wstring S = cmdline::strPrepare(g_strInitCmd);
  vShowHubInfo(0);
  if (const StepResult parsed = ParseCommandLine(S); parsed.endsProcess()) return parsed;

  m_Model.setCaption(tool::kCaption);
  HBX_LOG_MSG(L"%s:%d: FWUpgToolVersion [%s], pFWUpdateDlg->g_strInitCmd=[%s]", tool::kCaption, g_strInitCmd);
  vSetUpControls();

  // Only one copy runs: an older copy is ended, never the starting one.
  const int processCount = utility.DetectProcess(tool::kProgramFileName);
  std::uint32_t otherId = 0;
  if (processCount >= 2) {
    otherId = utility.GetProcessID(tool::kProgramFileName);
    if (otherId != 0) utility.KillProcess(otherId, 0);
  }
  HBX_LOG_MSG(L"%s:%d: iProcessCount: %d , dwProcessID : %d dwErrorCode %d", processCount, otherId,
              ports_.system.lastError());

  ports_.system.setCurrentDirectory(folder);

  if (m_bConsole) {
    ports_.system.consoleWrite(nformat("=====ZELT Hub FWUpg Tool(%S)======\r\n", m_Model.caption()));
  } else {
    ports_.system.freeConsole();
  }
  return StepResult::goOn();
}

}  // namespace hbx
