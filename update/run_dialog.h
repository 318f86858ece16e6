#pragma once
// The dialog as the update run sees it: the run-state record, the settings
// record, the model of its controls, the run's own records, and the display
// operations the dialog implements. The update run (main task, workers, side
// tasks) is defined in update/ on this base; the dialog (app/) derives from it.
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/run/exit_code.h"
#include "hub/device/hub_records.h"
#include "image/source_file.h"
#include "platform/ports.h"
#include "ui/dialog_model.h"
#include "update/ini.h"
#include "update/run_hooks.h"
#include "update/run_log.h"
#include "update/run_report.h"
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

class RunDialog {
 public:
  RunDialog(platform::Ports ports, CHubUtility& utility);
  virtual ~RunDialog() = default;
  RunDialog(const RunDialog&) = delete;
  RunDialog& operator=(const RunDialog&) = delete;

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
  // The image file the main task writes from an exported image; deleted at the
  // end of the run like the copy of the carried image.
  std::wstring m_strExportedImageFile;

  // ---- Settings and window ---------------------------------------------------
  Ini m_Ini;
  ui::DialogModel m_Model;

  // ---- What the dialog does for the run (app/) --------------------------------
  // The one way to show a message box: caption and icon by kind. -1 when the
  // box is suppressed (console mode, or kind below the message level).
  virtual int nShowMessage(const std::wstring& text, std::uint8_t kind, std::uint32_t flags) = 0;
  virtual void SetExitcode(int iExitcode) = 0;
  // Deletes the image files the program wrote for the run. Always true.
  virtual bool vRemoveBinFiles() = 0;
  // Lays out the hub rows for `ucHubNum` hubs from the device list: row n is
  // hub n, only hubs of the image's chip type `m_bMajorType` get a row, and
  // the first four hubs at most (the fifth row lies under the status text).
  virtual void vShowHubInfo(std::uint8_t ucHubNum) = 0;
  // The status text in the colour of colour kind `kind` and a bold "Arial"
  // font of `height`.
  virtual void vShowUpddateResult(const std::wstring& text, std::uint8_t kind, std::uint8_t height) = 0;
  // Every listed hub's bar in `color` (0x00BBGGRR) at 100.
  virtual void vFinishHubBars(std::uint32_t color) = 0;
  // One hub's bar as its worker moves it; the colour at the end.
  virtual void vSetHubBar(std::uint8_t ucTargetNumber, int nPos, std::optional<std::uint32_t> color = std::nullopt) = 0;
  // The attention notice, shown when the updates start.
  virtual void vShowAttention(bool bShow) = 0;
  virtual void vEnableOkButton(bool bEnable) = 0;
  // Classifies a firmware source: its major type (0 to 3), or 0xF2, 0xF6 or
  // 0xFF for a source no hub may be given.
  virtual std::uint8_t vIsValidHubFirmware(const std::wstring& strFilePath) = 0;
  // The same for a source already read (the other reads the file).
  virtual std::uint8_t vIsValidHubFirmware(const image::LoadedSource& source) = 0;
  // Stages a configuration file: its table into the utility object's
  // configuration buffer, its firmware area (bytes 256 on) as TempBinData.bin.
  virtual bool bConfig_File2TempBinFile(const std::wstring& strConfig_File) = 0;
  // The same from a whole image already in memory.
  virtual bool bStageConfigImage(std::span<const std::uint8_t> content) = 0;

  // ---- Update run (update/) ------------------------------------------------
  // The task's record: `ucState` (MAIN_THREAD_*) and the verdict `bAllPass`
  // are what the dialog's timer reads.
  MainThreadInfo m_MainThreadInfo;
  ChildThreadSlots m_ChildThreadInfo;
  // The device list of the run (the hub device object points at it).
  DeviceList m_DevList;
  // Operations of other subsystems the run calls through (see run_hooks.h).
  UpdateRunHooks m_RunHooks;
  // What the run did, for the report "/REPORT" asks for.
  report::RunRecorder m_Report;
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
  // An interrupt or the close box asks the run to stop: the first request
  // the write-safe way, the second at once (UpdateRunThreads::requestStop).
  void vRequestStop();
  // True once the main task has ended (or was never started); waits for it.
  bool bRunEnded() const { return m_RunThreads.taskEnded(); }
  void vWaitForRunEnd() { m_RunThreads.joinTask(); }

 protected:
  platform::Ports ports_;
  CHubUtility& utility_;
  // The run's threads. The dialog waits for the run to end before its own
  // members go, since the threads call back into it.
  UpdateRunThreads m_RunThreads;
};

}  // namespace hbx
