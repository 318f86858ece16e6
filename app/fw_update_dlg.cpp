#include "app/fw_update_dlg.h"

#include <exception>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "app/usage_text.h"
#include "base/log/message_line.h"
#include "platform/box_answer.h"
#include "hub/hub_utility.h"

namespace hbx {

ZAr763ORIdirevaVodoRev* pFWUpdateDlg = nullptr;

namespace {

struct MessageStyle {
  const wchar_t* caption;
  std::uint32_t icon;
};

MessageStyle styleOf(std::uint8_t kind) {
  switch (kind) {
    case msgkind::kError: return {L"Error", platform::mb::kIconError};
    case msgkind::kTimeOut: return {L"TimeOut", platform::mb::kIconError};
    case msgkind::kWarning: return {L"Warning", platform::mb::kIconWarning};
    case msgkind::kInformation: return {L"Information", platform::mb::kIconInformation};
    case msgkind::kQuestion: return {L"Question", platform::mb::kIconQuestion};
    default: return {L"", 0};
  }
}

constexpr int kQuitCodeOnClose = 18;

}  // namespace

ZAr763ORIdirevaVodoRev::ZAr763ORIdirevaVodoRev(platform::Ports ports, CHubUtility& utility)
    : RunDialog(ports, utility) {
  m_Ini.setPlainMessage([this](const std::wstring& text) { utility_.nShowPlainMessage(text); });
}

StepResult ZAr763ORIdirevaVodoRev::vShowUsage(int exitCode) {
  if (!m_bConsole) {
    const std::wstring& typed = m_strReceivedCmd.empty() ? g_strInitCmd : m_strReceivedCmd;
    nShowMessage(strUsageText(typed, m_Ini.force_disable_fwupdate), msgkind::kQuestion, platform::mb::kOk);
  }
  vRemoveBinFiles();
  return StepResult::endProcess(exitCode);
}

int ZAr763ORIdirevaVodoRev::nShowMessage(const std::wstring& text, std::uint8_t kind, std::uint32_t flags) {
  const MessageStyle style = styleOf(kind);
  if (m_bConsole || kind < m_ucMsgBoxLevel) {
    // Standard output belongs to the scripts that parse it; the reason for
    // what the run did goes to standard error instead of a box.
    // Nobody is there to press a button: the box takes its default answer.
    ports_.system.errorWrite(strSuppressedMessageLine(style.caption, text));
    return platform::defaultAnswer(flags);
  }
  return ports_.windows.messageBox(text, style.caption, flags | style.icon);
}

void ZAr763ORIdirevaVodoRev::SetExitcode(int iExitcode) {
  m_iRet = iExitcode;
  HBX_LOG_MSG(L"%s:%d:  iExitcode[ %d]", iExitcode);
}

bool ZAr763ORIdirevaVodoRev::vRemoveBinFiles() {
  // Only files the program wrote: the copy of the carried image (also when the
  // run used another file) and an image written from an exported one. A file
  // the user named, or keeps under the carried image's name, is never deleted.
  for (const std::wstring* path : {&m_strCarriedImageCopy, &m_strExportedImageFile}) {
    if (path->empty() || !utility_.bCheckFilePathExists(*path, 0)) continue;
    std::uint32_t error = 0;
    ports_.files.deleteFile(*path, error);
    HBX_LOG_MSG(L"%s:%d: bCheckFilePathExists(%s) fail, GetLastError() %s", *path, systemErrorText(error));
  }
  // The note that claimed the copy goes after it (see vExtractBinFiles).
  // With it the work folder, unless the driver's files are still in it.
  if (!m_strCarriedImageCopy.empty() && !utility_.bCheckFilePathExists(m_strCarriedImageCopy, 0)) {
    std::uint32_t error = 0;
    const std::wstring note = strCarriedCopyNote();
    ports_.files.deleteFile(note, error);
    ports_.files.removeDirectory(note.substr(0, note.rfind(L'\\')), error);
  }
  return true;
}

void ZAr763ORIdirevaVodoRev::OnBnClickedButtonOk() {
  vRemoveBinFiles();
  HBX_LOG_MSG(L"%s:%d:  m_iRet[ %d]", m_iRet);
  m_Model.endDialog(platform::idanswer::kOk);
}

void ZAr763ORIdirevaVodoRev::OnClose() {
  if (!bRunEnded()) {
    // The run still needs its image and its hubs may be being written: the
    // run is asked to stop the write-safe way, as by an interrupt, and the
    // dialog closes when it has ended and cleaned up (DoModal). Pressed
    // again, the close box asks nothing more.
    if (!m_bClosePending) {
      HBX_LOG_WRN(L"%s:%d: OnClose: the dialog closes when the run has ended");
      vRequestStop();
    }
    m_bClosePending = true;
    return;
  }
  m_bClosePending = false;
  try {
    vRemoveBinFiles();
    m_Model.postQuit(kQuitCodeOnClose);
    m_Model.endDialog(platform::idanswer::kCancel);
  } catch (const std::exception&) {
    HBX_LOG_ERR(L"%s:%d: OnClose: dwErrorCode %s", systemErrorText(ports_.system.lastError()));
  }
}

void ZAr763ORIdirevaVodoRev::SetWindowPos(std::uint32_t flags) { m_Model.setWindowPos(flags, bHiddenMode()); }

}  // namespace hbx
