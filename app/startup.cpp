// The start-up sequence: the dialog's initialisation, from the settings file
// to the Start button pressed in code.
#include <cwctype>

#include "app/command_line.h"
#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "base/log/message_line.h"
#include "app/tool_identity.h"
#include "hub/host/driver_package.h"
#include "hub/host/native_system_view.h"
#include "hub/hub_utility.h"

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

constexpr wchar_t kArm64Text[] =
    L"This program does not run on ARM64 Windows: the filter driver it needs is for x86 and x64 Windows only.";

// Status colour kind of a failure, and the height of its text.
constexpr std::uint8_t kStatusRed = 0;
constexpr std::uint8_t kStatusHeight = 32;
// Extra flags of the driver-file message: the warning icon.
constexpr std::uint32_t kIconWarningFlags = 0x30;
// GetTempPathW's buffers of the two installs, in characters.
constexpr std::size_t kFirstInstallPathChars = 260;
constexpr std::size_t kSecondInstallPathChars = 255;
// How long another copy asked to stop is given to clean up and end: a search
// to finish and the driver's removal.
constexpr std::uint32_t kOtherCopyStopWaitMs = 60000;

std::wstring strTempPath(platform::SystemPort& system, std::size_t chars) {
  std::wstring path = system.tempPath();
  if (path.size() > chars) path.resize(chars);
  return path;
}

bool bSameTextIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  }
  return true;
}

// What start-up wrote into the program folder goes with a process that ends
// before the run: the run's image file and the device-console tool.
void vRemoveStartupFiles(ZAr763ORIdirevaVodoRev& dialog, CHubUtility& utility) {
  dialog.vRemoveBinFiles();
  utility.nADD_Delete_DevconFile(utility.strProgramFolder(), false);
}

// The start-up failure procedure: message, red status, silent from here on,
// the exit code set, the files start-up wrote deleted, and the process ends.
StepResult vStartupFailure(ZAr763ORIdirevaVodoRev& dialog, CHubUtility& utility, const std::wstring& text, int code) {
  dialog.nShowMessage(text, msgkind::kError, platform::mb::kOk);
  dialog.vShowUpddateResult(L"Failed!!", kStatusRed, kStatusHeight);
  dialog.m_bSilent = 1;
  dialog.SetExitcode(code);
  vRemoveStartupFiles(dialog, utility);
  return StepResult::endProcess(code);
}

// A start-up that installed the filter (or tried to) and then ends leaves the
// computer as the end of a run does: the filter removed and its package
// deleted, unless "/UN" keeps them.
void vRemoveDriverOfEndedStart(ZAr763ORIdirevaVodoRev& dialog, CHubUtility& utility, platform::Ports ports) {
  if (dialog.m_bNoUninstall) return;
  std::wstring buffer = strTempPath(ports.system, kSecondInstallPathChars);
  const bool removed = utility.Remove_FilterDriverAndFiles(buffer, nullptr) == 0;
  dialog.m_Report.hostChange("driver-removed", buffer, removed);
  if (!removed) return;
  std::uint32_t error = 0;
  ports.files.removeDirectory(buffer, error);
  ports.files.removeDirectory(strTempPath(ports.system, kSecondInstallPathChars) + driver::kWorkFolder, error);
}

// The version of the installed driver file (the system folder's, else under
// WOW64 the SysWOW64 one); empty without a file or a version.
std::wstring strInstalledDriverVersion(CHubUtility& utility, platform::SystemPort& system, bool* found = nullptr) {
  const NativeSystemView native(system, utility.IsWow64());
  const std::wstring driverFile = wformat(L"\\%s%s", std::wstring(driver::kDriversFolder), std::wstring(driver::kSysFile));
  std::wstring candidate = system.systemDirectory() + driverFile;
  bool exists = utility.bCheckFilePathExists(candidate, 0);
  if (!exists && utility.IsWow64()) {
    candidate = driver::kWow64SystemFolder + driverFile;
    exists = utility.bCheckFilePathExists(candidate, 0);
  }
  if (found != nullptr) *found = exists;
  return exists ? utility.vGetFileVersionInfo(candidate) : std::wstring();
}

// Why no filter driver could be had: a build made without the driver files
// (none named when it was built) says so rather than asking for a driver.
std::wstring strNoDriverText(platform::PayloadPort& payloads) {
  for (const driver::PayloadId id : {driver::kSys32Payload, driver::kSys64Payload, driver::kSys64KmdfPayload}) {
    if (payloads.payload(id.type, id.id)) return L"Please install Corvane Filter Driver !!";
  }
  return L"This program carries no filter driver: it was built without the driver files. Use a build that "
         L"carries them.";
}

// The filter driver registered and its driver file at the version the
// program needs; installed when either is not so.
StepResult vMakeSureFilterDriver(ZAr763ORIdirevaVodoRev& dialog, CHubUtility& utility, platform::Ports ports) {
  platform::SystemPort& system = ports.system;
  bool installTried = false;
  auto failure = [&](const std::wstring& text) {
    if (installTried) vRemoveDriverOfEndedStart(dialog, utility, ports);
    return vStartupFailure(dialog, utility, text, exitValue(ExitCode::kFilterDriverMissing));
  };

  const auto install = [&](std::size_t pathChars) {
    installTried = true;
    const std::wstring folder = strTempPath(system, pathChars);
    const bool installed = utility.InstallFilterDriver(folder) == 0;
    dialog.m_Report.hostChange("driver-installed", folder, installed);
    return installed;
  };
  if (!utility.bIsInstallZeltFilterDriverFromRegistry()) {
    if (!install(kFirstInstallPathChars)) return failure(strNoDriverText(ports.payloads));
  }

  bool found = false;
  const std::wstring version = strInstalledDriverVersion(utility, system, &found);
  if (!found) {
    dialog.vShowHubInfo(0);
    dialog.nShowMessage(L"Can not find Corvane Filter Driver !!", msgkind::kError, kIconWarningFlags);
    dialog.vShowUpddateResult(L"Failed!!", kStatusRed, kStatusHeight);
    dialog.SetExitcode(exitValue(ExitCode::kFilterDriverMissing));
    const bool silent = dialog.m_bSilent || dialog.m_bAuto || dialog.m_bHelp;
    if (silent || dialog.m_bConsole) {
      if (installTried) vRemoveDriverOfEndedStart(dialog, utility, ports);
      vRemoveStartupFiles(dialog, utility);
      if (!silent) {
        system.consoleWrite("\n");
        system.focusConsole();
      }
      return StepResult::endProcess(exitValue(ExitCode::kFilterDriverMissing));
    }
    // The interactive dialog installs once more and runs: the image file of
    // the run stays, as the run reads it.
  }

  if (version.empty() || !bSameTextIgnoringCase(version, driver::kDriverVersion)) {
    if (!install(kSecondInstallPathChars)) return failure(strNoDriverText(ports.payloads));
  }
  // The setup library reports nothing back: an install that did not take (a
  // package it refused, a driver file in use that it replaces only at the
  // next restart) shows only in what it left. No run goes on without the
  // filter, or with a driver of another version.
  if (installTried) {
    const bool registered = utility.bIsInstallZeltFilterDriverFromRegistry();
    const std::wstring installed = strInstalledDriverVersion(utility, system);
    if (!registered || !bSameTextIgnoringCase(installed, driver::kDriverVersion)) {
      HBX_LOG_ERR(L"%s:%d: The filter driver did not install: registered[%d], driver version[%s] (a restart may be "
                  L"pending)",
                  registered ? 1 : 0, installed);
      return failure(strNoDriverText(ports.payloads));
    }
  }
  return StepResult::goOn();
}

}  // namespace

StepResult ZAr763ORIdirevaVodoRev::vOtherCopyUpdating() {
  const std::wstring text = L"Another copy of this tool is writing hubs: this copy ends. Run again when it has ended.";
  HBX_LOG_ERR(L"%s:%d: %s", text);
  nShowMessage(text, msgkind::kError, platform::mb::kOk);
  SetExitcode(exitValue(ExitCode::kOtherCopyUpdating));
  // The copy of the carried image this copy wrote goes, wherever it lies; one
  // it took over may be the writing copy's (same folder) and stays, as do the
  // other files, which are the writing copy's as well.
  if (m_bCarriedCopyTakenOver) m_strCarriedImageCopy.clear();
  vRemoveBinFiles();
  return StepResult::endProcess(exitValue(ExitCode::kOtherCopyUpdating));
}

StepResult ZAr763ORIdirevaVodoRev::OnInitDialog() {
  CHubUtility& utility = utility_;
  const std::wstring& folder = utility.strProgramFolder();

  // The report's option is no option of the line: its file may hold any text.
  const std::wstring receivedLine = g_strInitCmd;
  m_strReceivedCmd = receivedLine;
  if (const std::optional<std::wstring> reportFile = cmdline::takeReportFile(g_strInitCmd)) {
    m_bReportFileMissing = reportFile->empty();
    if (!m_bReportFileMissing) m_Report.request(*reportFile, receivedLine);
  }

  // The settings come before the options, so a failure box there follows the
  // run mode the raw line asks for; a console asked for is set up first so
  // that the text reaches it.
  const bool consoleAsked = cmdline::bAsksConsole(g_strInitCmd);
  utility.setUnattendedMode(cmdline::bAsksSilent(g_strInitCmd), consoleAsked);
  if (consoleAsked) ports_.system.allocConsole();

  // A settings file that was not written whole (a full disk, say) is not
  // read: its cut last line would load as another setting.
  const std::wstring settingsFolder = m_Ini.strPlaceCopy(folder, ports_.system.tempPath() + driver::kWorkFolder);
  const bool extracted = m_Ini.nExtractINILib(settingsFolder) == 0;
  const std::wstring iniPath = Ini::strFilePath(settingsFolder);
  if (!extracted || !m_Ini.vLoadINIFile(iniPath)) {
    if (!extracted) HBX_LOG_ERR(L"%s:%d: nExtractINILib Failed[%s]", iniPath);
    HBX_LOG_ERR(L"%s:%d: vLoadINIFile Failed[%s]", iniPath);
    // The settings file must not outlive start-up. An interactive dialog
    // stays idle; an unattended run has nobody to close it and ends, saying
    // why on standard error.
    m_Ini.vDeleteCopy();
    if (cmdline::bAsksSilent(g_strInitCmd) || consoleAsked) {
      ports_.system.errorWrite(strSuppressedMessageLine(L"Error", L"vLoadINIFile Failed[" + iniPath + L"]"));
      return StepResult::endProcess(exitValue(ExitCode::kCommandLineError));
    }
    m_bSettingsNotLoaded = true;
    return StepResult::goOn();
  }

  utility.m_ucUsbMode = ucUsbMode(m_Ini);
  m_Ini.vDeleteCopy();
  m_ucFWType = 0;
  m_strCurFileFWVer.clear();
  vApplySettings(m_Ini, utility);
  log::vDEBUG_SetLevel(0);

  const std::wstring S = cmdline::strPrepare(g_strInitCmd);
  vShowHubInfo(0);
  if (const StepResult parsed = ParseCommandLine(S); parsed.endsProcess()) return parsed;
  if (const StepResult report = vRefuseReportOverRunFiles(); report.endsProcess()) return report;

  m_Model.setCaption(tool::kCaption);
  HBX_LOG_MSG(L"%s:%d: FWUpgToolVersion [%s], pFWUpdateDlg->g_strInitCmd=[%s]", tool::kCaption, g_strInitCmd);
  vSetUpControls();

  // Only one copy runs: an older copy is ended, never the starting one, and
  // never one that is writing hubs (it holds the update lock meanwhile: this
  // copy then ends itself). The lock is held while the other copy is ended,
  // so that it cannot begin to write in between. It is asked to stop as an
  // interrupt does, so that it removes what it placed (its driver, its files
  // in its own folder); only a copy that does not end in time is ended
  // outright. Either way its code says it was stopped: it wrote no hub.
  const int processCount = utility.DetectProcess(tool::kProgramFileName);
  std::uint32_t otherId = 0;
  if (processCount >= 2) {
    if (!ports_.processes.tryLockUpdate()) return vOtherCopyUpdating();
    otherId = utility.GetProcessID(tool::kProgramFileName);
    if (otherId != 0) {
      utility.StopProcess(otherId, tool::kProgramFileName, static_cast<std::uint32_t>(exitValue(ExitCode::kStopped)),
                          kOtherCopyStopWaitMs);
    }
    ports_.processes.unlockUpdate();
  }
  HBX_LOG_MSG(L"%s:%d: iProcessCount: %d , dwProcessID : %d dwErrorCode %s", processCount, otherId,
              systemErrorText(ports_.system.lastError()));

  ports_.system.setCurrentDirectory(folder);

  if (m_bConsole) {
    ports_.system.consoleWrite(nformat("=====ZELT Hub FWUpg Tool(%S)======\r\n", m_Model.caption()));
  } else {
    ports_.system.freeConsole();
  }

  // No task or worker of an earlier run is left in the books.
  m_MainThreadInfo.hWnd = nullptr;
  m_MainThreadInfo.ucHubNum.store(0);
  m_MainThreadInfo.ucState.store(0);
  m_MainThreadInfo.bAllPass.store(0);
  for (ChildThreadInfo& slot : m_ChildThreadInfo) {
    slot.hWnd = nullptr;
    slot.ucTargetNumber = 0;
    slot.ucTargetTotal = 0;
    slot.ucState.store(0);
  }

  vSetUpProgressBars();

  // The end of the run removes what start-up places here.
  m_RunHooks.removeDevconFile = [&utility](const std::wstring& programFolder) {
    return utility.nADD_Delete_DevconFile(programFolder, false);
  };
  m_RunHooks.removeFilterDriverAndFiles = [this, &utility](std::wstring& buffer) {
    return utility.Remove_FilterDriverAndFiles(buffer, [this] { vRemoveBinFiles(); });
  };
  // A reset hub is found again by the walk; a hub's ROM is read back through it.
  m_RunHooks.reEnumerateTargetHub = [&utility](std::uint8_t index) { return utility.ReEnumrationTargetHub(index); };
  m_RunHooks.readSpiRom = [&utility](std::uint8_t index, std::uint8_t* buffer) {
    return utility.bReadSPIROM(index, buffer, 0, 1);
  };

  // An x86 or x64 program runs on ARM64 Windows emulated, but the filter
  // driver and the device-console tool it carries are for x86 and x64
  // Windows: nothing is placed or installed there.
  if (utility.uNativeMachine() == platform::machine::kArm64) {
    HBX_LOG_ERR(L"%s:%d: ARM64 Windows: no filter driver for this machine");
    return vStartupFailure(*this, utility, kArm64Text, exitValue(ExitCode::kFilterDriverMissing));
  }

  if (utility.nADD_Delete_DevconFile(folder, true) != 0) {
    HBX_LOG_ERR(L"%s:%d: nADD_Delete_DevconFile Failed[%s]", folder);
    return vStartupFailure(*this, utility, L"extra necessary files failed!!", exitValue(ExitCode::kExtraFilesFailed));
  }

  utility.vLoadRegTableFromFile(L"");

  if (const StepResult driver = vMakeSureFilterDriver(*this, utility, ports_); driver.endsProcess()) {
    return driver;
  }

  HBX_LOG_MSG(L"%s:%d: OnBnClickedStartButton:: fw path=[%ls],", utility.m_strFWBinFilePath);
  OnBnClickedButtonStart();
  return StepResult::goOn();
}


}  // namespace hbx
