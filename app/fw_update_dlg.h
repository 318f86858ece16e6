#pragma once
// ZAr763ORIdirevaVodoRev: the main dialog. It owns the run-state record (every
// run option and result), the settings record and the dialog model (through
// its base, which the update run sees), and it is reached everywhere as
// pFWUpdateDlg.
#include <cstdint>
#include <optional>
#include <string>

#include "app/step_result.h"
#include "platform/ports.h"
#include "ui/dialog_view.h"
#include "ui/status_display.h"
#include "update/run_dialog.h"

namespace hbx {

class CHubUtility;

class ZAr763ORIdirevaVodoRev : public RunDialog {
 public:
  ZAr763ORIdirevaVodoRev(platform::Ports ports, CHubUtility& utility);
  ZAr763ORIdirevaVodoRev(const ZAr763ORIdirevaVodoRev&) = delete;
  ZAr763ORIdirevaVodoRev& operator=(const ZAr763ORIdirevaVodoRev&) = delete;

  // ---- Start-up (startup.cpp) -------------------------------------------------
  // The dialog's initialisation: the whole start-up sequence.
  StepResult OnInitDialog();
  // Start-up finds another copy writing hubs: a message, and this copy ends
  // with exitValue(ExitCode::kOtherCopyUpdating), deleting only the copy of the carried
  // image it wrote itself.
  StepResult vOtherCopyUpdating();

  // ---- Options (command_line.cpp, firmware_source.cpp) ---------------------------
  // Parses the prepared command line S into the run state and the hub
  // filters, and chooses the firmware source when the run updates.
  StepResult ParseCommandLine(std::wstring S);
  StepResult SelectFirmwareSource(std::wstring S);

  // ---- Messages and exit (fw_update_dlg.cpp) ---------------------------------------
  // Shows the help text (not in console mode), deletes the image file of the
  // run and ends the process with `exitCode`.
  StepResult vShowUsage(int exitCode);
  // Ends start-up (-10) when "/REPORT" names the source, the program or a
  // file the run writes.
  StepResult vRefuseReportOverRunFiles();
  // The one way to show a message box: caption and icon by kind. A box the
  // run suppresses (console mode, or kind below the message level) goes to
  // standard error and gives its default answer.
  int nShowMessage(const std::wstring& text, std::uint8_t kind, std::uint32_t flags) override;
  void SetExitcode(int iExitcode) override;
  // Deletes the image files the program wrote for the run. Always true.
  bool vRemoveBinFiles() override;
  // The note in the work folder that claims the copy of the carried image in
  // the program folder as the program's own.
  std::wstring strCarriedCopyNote() const;
  void OnBnClickedButtonOk();
  // The close box. During a run it asks the run to stop the write-safe way
  // (as an interrupt does) and the dialog closes when the run has ended and
  // cleaned up; the run keeps every file it still needs until then.
  void OnClose();
  // Window-position requests pass the hidden-mode hook.
  void SetWindowPos(std::uint32_t flags);
  bool bHiddenMode() const { return m_bSilent != 0 || m_bConsole != 0; }

  // ---- Display (dialog_display.cpp, modal_loop.cpp) ----------------------------
  // Waits for the run's threads and stops timer 1 before the members they
  // read go.
  ~ZAr763ORIdirevaVodoRev() override;
  // Lays out the hub rows for `ucHubNum` hubs from the device list: row n is
  // hub n, only hubs of the image's chip type `m_bMajorType` get a row, and
  // the first four hubs at most (the fifth row lies under the status text).
  void vShowHubInfo(std::uint8_t ucHubNum) override;
  // The status text in the colour of colour kind `kind` and a bold "Arial"
  // font of `height`.
  void vShowUpddateResult(const std::wstring& text, std::uint8_t kind, std::uint8_t height) override;
  // Every listed hub's bar in `color` (0x00BBGGRR) at 100.
  void vFinishHubBars(std::uint32_t color) override;
  // One hub's bar as its worker moves it; the colour at the end.
  void vSetHubBar(std::uint8_t ucTargetNumber, int nPos, std::optional<std::uint32_t> color = std::nullopt) override;
  // Start-up: the coloured statics, the hidden notice, the status font.
  void vSetUpControls();
  // Start-up: the bars' ranges, steps and colours, then timer 1 (80 ms).
  void vSetUpProgressBars();
  // The attention notice, shown when the updates start.
  void vShowAttention(bool bShow) override;
  void vEnableOkButton(bool bEnable) override;
  // Timer ticks: the overall bar, the end of the run, the console search
  // indicator while the hubs are searched.
  static constexpr std::uint32_t kProgressTimerId = 1;
  void OnTimer(std::uint32_t nIDEvent);
  // The open dialog after start-up, until it ends: drawn through `view` in
  // interactive mode, if there is one. Without anyone to press OK (hidden
  // modes, no view, input ended) it ends as through OK once the run has
  // ended. Returns the exit code, m_iRet.
  int DoModal(ui::DialogView* view);

  // ---- Firmware images (config_staging.cpp, default_image_restore.cpp,
  // source_validation.cpp) ------------------------------------------------
  // Writes the carried firmware image into the program folder (into the
  // temporary work folder when the user keeps a file of that name there) and
  // sets m_strDefaultFWFile and m_strCarriedImageCopy; false when either
  // carried file is missing or the image could not be written.
  bool vExtractBinFiles();
  // The major type of a firmware source (0-3); 0xF2 a configuration file of
  // the wrong size for its type, 0xF6 a firmware file over 0xFEF8 bytes, 0xFF
  // not a firmware source (name, unreadable, too short, major type above 3).
  std::uint8_t vIsValidHubFirmware(const std::wstring& strFilePath) override;
  std::uint8_t vIsValidHubFirmware(const image::LoadedSource& source) override;
  // Stages a configuration file: its table into the utility object's
  // configuration buffer, its firmware area (bytes 256 on) as TempBinData.bin.
  bool bConfig_File2TempBinFile(const std::wstring& strConfig_File) override;
  bool bStageConfigImage(std::span<const std::uint8_t> content) override;
  // The firmware source of the run for its report, read and digested only
  // when a report was asked for; `refusal`: why start-up refused it.
  void vReportSource(const std::wstring& path, const std::wstring& refusal = L"");

  // Where the copy of the carried image is that the run deletes at its end;
  // empty while there is none.
  std::wstring m_strCarriedImageCopy;
  // That copy was left by an earlier run and taken over, not written by this
  // one: it may be the copy of another copy still running from this folder.
  bool m_bCarriedCopyTakenOver = false;
  // The program was built without a firmware image of its own (a build for
  // real PCs whose packager named none): a run needs "/U <file>".
  bool m_bCarriesNoImage = false;
  // Start-up stopped at the settings file: the dialog is idle, no run starts.
  bool m_bSettingsNotLoaded = false;
  // "/REPORT" came without its file.
  bool m_bReportFileMissing = false;
  // The command line as it came, "/REPORT" and its file included: the help
  // text's "Your Input:" shows what the user typed.
  std::wstring m_strReceivedCmd;

 private:

  // Display: the console line that grows while the hubs are searched.
  ui::SearchIndicator m_SearchIndicator;
  // The close box was used during the run.
  bool m_bClosePending = false;
};

// The main dialog under a name that says what it is; the system's own name
// stays for what logs and the settings describe.
using UpdateDialog = ZAr763ORIdirevaVodoRev;

// The process-wide dialog (set by the application while it runs).
extern ZAr763ORIdirevaVodoRev* pFWUpdateDlg;

}  // namespace hbx
