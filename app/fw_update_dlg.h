#pragma once
// ZAr763ORIdirevaVodoRev: the main dialog. It owns the run-state record (every
// run option and result), the settings record and the dialog model, and it is
// reached everywhere as pFWUpdateDlg.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "app/ini.h"
#include "app/step_result.h"
#include "platform/ports.h"
#include "ui/dialog_model.h"
#include "ui/dialog_view.h"
#include "ui/status_display.h"
#include "hubdev/hub_records.h"  // Update run (update/)
#include "update/run_hooks.h"
#include "update/thread_info.h"
#include "update/update_run_threads.h"

namespace hbx {

class CHubUtility;

// Message kinds of nShowMessage.
namespace msgkind {
inline constexpr std::uint8_t kError = 1;
inline constexpr std::uint8_t kTimeOut = 2;
inline constexpr std::uint8_t kWarning = 3;
inline constexpr std::uint8_t kInformation = 4;
inline constexpr std::uint8_t kQuestion = 5;
}  // namespace msgkind

// Exit codes the frame itself ends the process with.
namespace exitcode {
inline constexpr int kOk = 0;
inline constexpr int kNoHubFound = -4;
inline constexpr int kExtraFilesFailed = -5;
inline constexpr int kCommandLineError = -10;
inline constexpr int kFilterDriverMissing = -20;
}  // namespace exitcode

class ZAr763ORIdirevaVodoRev {
 public:
  ZAr763ORIdirevaVodoRev(platform::Ports ports, CHubUtility& utility);
  ZAr763ORIdirevaVodoRev(const ZAr763ORIdirevaVodoRev&) = delete;
  ZAr763ORIdirevaVodoRev& operator=(const ZAr763ORIdirevaVodoRev&) = delete;

  // ---- Run-state record ----------------------------------------------------
  std::wstring g_strInitCmd;  // the command line as received, tabs and LFs removed
  std::uint8_t m_bMP = 0;
  std::uint8_t m_bHelp = 0;
  std::uint8_t m_bSilent = 0;
  std::uint8_t m_bAuto = 0;
  std::uint8_t m_bOutputVer = 0;
  std::uint8_t m_bAssignVID = 0;
  std::uint8_t m_bCheckFW = 0;
  std::uint8_t m_bExport = 0;
  std::uint8_t m_bCmpSN = 0;
  std::uint8_t m_bUpdate = 0;
  std::uint8_t m_bNoUninstall = 0;
  std::uint8_t m_bConsole = 0;
  // Written by the main task and the workers at once: the last writer wins.
  std::atomic<int> m_iRet{0};
  std::uint8_t m_ucMsgBoxLevel = 0;  // boxes of a lower kind are suppressed
  std::uint8_t m_ucFWType = 0;       // 0 firmware file, 1 configuration file
  std::wstring m_strCurFileFWVer;
  std::wstring m_strChkFWVer;
  std::uint8_t m_bMajorType = 0;
  std::wstring m_strDefaultFWFile;

  // ---- Settings and window ---------------------------------------------------
  Ini m_Ini;
  ui::DialogModel m_Model;

  // ---- Start-up (startup.cpp) -------------------------------------------------
  // The dialog's initialisation: the whole start-up sequence.
  StepResult OnInitDialog();

  // ---- Options (command_line.cpp, firmware_source.cpp) ---------------------------
  // Parses the prepared command line S into the run state and the hub
  // filters, and chooses the firmware source when the run updates.
  StepResult ParseCommandLine(std::wstring S);
  StepResult SelectFirmwareSource(std::wstring S);

  // ---- Messages and exit (fw_update_dlg.cpp) ---------------------------------------
  // Shows the help text (not in console mode), deletes the image file of the
  // run and ends the process with `exitCode`.
  StepResult vShowUsage(int exitCode);
  // The one way to show a message box: caption and icon by kind. -1 when the
  // box is suppressed (console mode, or kind below the message level).
  int nShowMessage(const std::wstring& text, std::uint8_t kind, std::uint32_t flags);
  void SetExitcode(int iExitcode);
  // Deletes the image files the program wrote for the run. Always true.
  bool vRemoveBinFiles();
  void OnBnClickedButtonOk();
  void OnClose();
  // Window-position requests pass the hidden-mode hook.
  void SetWindowPos(std::uint32_t flags);
  bool bHiddenMode() const { return m_bSilent != 0 || m_bConsole != 0; }

  // The image file the main task writes from an exported image; deleted at the
  // end of the run like the copy of the carried image.
  std::wstring m_strExportedImageFile;

  // ---- Display (dialog_display.cpp, modal_loop.cpp) ----------------------------
  // Stops timer 1 before the members its ticks read go.
  ~ZAr763ORIdirevaVodoRev();
  // Lays out the hub rows for `ucHubNum` hubs from the device list: only hubs
  // of the image's chip type `m_bMajorType` get a row, at most three rows.
  void vShowHubInfo(std::uint8_t ucHubNum);
  // The status text in the colour of colour kind `kind` and a bold "Arial"
  // font of `height`.
  void vShowUpddateResult(const std::wstring& text, std::uint8_t kind, std::uint8_t height);
  // Every listed hub's bar in `color` (0x00BBGGRR) at 100.
  void vFinishHubBars(std::uint32_t color);
  // One hub's bar as its worker moves it; the colour at the end.
  void vSetHubBar(std::uint8_t ucTargetNumber, int nPos, std::optional<std::uint32_t> color = std::nullopt);
  // Start-up: the coloured statics, the hidden notice, the status font.
  void vSetUpControls();
  // Start-up: the bars' ranges, steps and colours, then timer 1 (80 ms).
  void vSetUpProgressBars();
  // The attention notice, shown when the updates start.
  void vShowAttention(bool bShow);
  void vEnableOkButton(bool bEnable);
  // Timer ticks: the overall bar, the end of the run, the console search
  // indicator while the hubs are searched.
  static constexpr std::uint32_t kProgressTimerId = 1;
  void OnTimer(std::uint32_t nIDEvent);
  // The open dialog after start-up, until it ends: drawn through `view` in
  // interactive mode, if there is one. Without anyone to press OK (hidden
  // modes, no view, input ended) it ends as through OK once the run has
  // ended. Returns the exit code, m_iRet.
  int DoModal(ui::DialogView* view);

  // ---- Update run (update/) ------------------------------------------------
  // The task's record: `ucState` (MAIN_THREAD_*) and the verdict `bAllPass`
  // are what the dialog's timer reads.
  MainThreadInfo m_MainThreadInfo;
  ChildThreadSlots m_ChildThreadInfo;
  // The device list of the run (the hub device object points at it).
  DeviceList m_DevList;
  // Operations of other subsystems the run calls through (see run_hooks.h).
  UpdateRunHooks m_RunHooks;
  // The Start button: takes the source's version and starts the main task.
  void OnBnClickedButtonStart();
  // The main task and one hub's worker; both return 1 after a normal end.
  int MainThreadFun(MainThreadInfo* pMainThreadInfo);
  int ChildThreadFun(ChildThreadInfo* pChildThreadInfo);
  // The first scan of a run; false only when an exception ended it.
  bool vScanUSBPort();
  // Side tasks: the version file and the serial-number comparison.
  int outputFWVersionTask();
  int nOutputVerTextFile();
  int nCmpHubSNTask();
  // True once the main task has ended (or was never started); waits for it.
  bool bRunEnded() const { return m_RunThreads.taskEnded(); }
  void vWaitForRunEnd() { m_RunThreads.joinTask(); }

  // ---- Firmware images (image/) ------------------------------------------------
  // Writes the carried firmware image into the current (program) folder and
  // sets m_strDefaultFWFile; false when either carried file is missing or the
  // image could not be written.
  bool vExtractBinFiles();
  // The major type of a firmware source (0-3); 0xF2 a configuration file of
  // the wrong size for its type, 0xF6 a firmware file over 0xFEF8 bytes, 0xFF
  // not a firmware source (name, unreadable, too short, major type above 3).
  std::uint8_t vIsValidHubFirmware(const std::wstring& strFilePath);
  // Stages a configuration file: its table into the utility object's
  // configuration buffer, its firmware area (bytes 256 on) as TempBinData.bin.
  bool bConfig_File2TempBinFile(const std::wstring& strConfig_File);

 private:
  void vDeleteWrittenFile(const std::wstring& path);

  platform::Ports ports_;
  CHubUtility& utility_;
  // Display: the console line that grows while the hubs are searched.
  ui::SearchIndicator m_SearchIndicator;
  // Update run (update/): declared last so that its threads end first.
  UpdateRunThreads m_RunThreads;
};

// The process-wide dialog (set by the application while it runs).
extern ZAr763ORIdirevaVodoRev* pFWUpdateDlg;

}  // namespace hbx
