#include "update/hub_worker.h"

#include <algorithm>
#include <mutex>

#include "update/run_dialog.h"
#include "base/log/format.h"
#include "base/text/text_util.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "hub/device/zelt_hub_dev.h"
#include "update/run_display.h"
#include "update/run_log.h"
#include "update/update_run_threads.h"
#include "image/version_rules.h"

namespace hbx::update {

namespace {

inline constexpr std::uint8_t kConfigType = 1;
inline constexpr std::uint16_t kChipRevisionRegister = 0x5820;
inline constexpr std::int64_t kResetTurnSeconds = 40;
inline constexpr std::int64_t kLongResetTurnSeconds = 140;
inline constexpr std::int64_t kReloadSeconds = 40;
inline constexpr int kReloadReads = 4;
inline constexpr std::size_t kConfigVidOffset = 0x84;

std::wstring chipName(std::uint8_t revision) {
  std::wstring name = L"HBX763xA";
  if ((revision & 0x70) == 0x10) name = L"HBX763xB";
  if ((revision & 0x70) == 0x20) name = L"HBX763xC";
  const std::uint8_t digit = revision & 0x0F;
  if (digit >= 1 && digit <= 5) name += static_cast<wchar_t>(L'0' + digit);
  return name;
}

}  // namespace

HubWorker::HubWorker(RunDialog& dialog, CHubUtility& utility, platform::Ports& ports,
                     const UpdateRunThreads& threads, ChildThreadInfo& slot)
    : dialog_(dialog),
      utility_(utility),
      ports_(ports),
      threads_(threads),
      slot_(slot),
      dev_(dialog.m_DevList.Devs[slot.ucTargetNumber]),
      i_(slot.ucTargetNumber) {}

bool HubWorker::cancelled() const { return threads_.cancelled(); }

template <typename Action>
bool HubWorker::step(const char* phase, Action action) {
  const std::int64_t start = dialog_.m_Report.now();
  const bool ok = action();
  dialog_.m_Report.phase(i_, phase, start, ok);
  return ok;
}

void HubWorker::failure(const std::wstring& reason, ExitCode code) {
  if (!reason_.empty()) return;
  reason_ = cancelled() ? L"the run gave up on the hub (a second stop request)" : reason;
  code_ = exitValue(code);
}

bool HubWorker::pause(std::uint32_t ms) {
  // The waits are those of the reset turn and the hub's return: a run that
  // was stopped or timed out does not reset its written hubs (they boot the
  // new firmware at their next power-up).
  if (cancelled() || threads_.writesClosed()) return false;
  ports_.clock.sleepMs(ms);
  return !cancelled() && !threads_.writesClosed();
}

std::wstring HubWorker::stopCause() const {
  return threads_.stopRequested() ? L"the run was stopped" : L"the run timed out";
}

bool HubWorker::bWritesClosed() {
  if (!threads_.writesClosed()) return false;
  HBX_WORKER_ERR(L"%s:%d: ucTargetNumber[%d], %s: the hub is not written", i_, stopCause());
  failure(stopCause() + L" before the hub's writes began");
  bResult_ = 0;
  return true;
}

std::int64_t HubWorker::nowSeconds() { return ports_.clock.calendarSeconds(); }

int HubWorker::countSlots(std::size_t slots, std::uint8_t a, std::uint8_t b, std::uint8_t c) const {
  int count = 0;
  for (std::size_t k = 0; k < slots && k < kMaxWorkers; ++k) {
    const std::uint8_t state = dialog_.m_ChildThreadInfo[k].ucState.load();
    if (state == a || state == b || state == c) ++count;
  }
  return count;
}

int HubWorker::run() {
  RunDisplay display(dialog_, ports_.system);
  dev_.m_bChkFWResult = 1;
  dev_.m_ucTargetNumber = i_;
  display.hubBar(i_, 0, kGreen);
  HBX_WORKER_MSG(L"%s:%d:  ChildThreadFun, pChildThreadInfo->ucTargetNumber[%d]", i_);
  display.console(nformat("===Hub[%d], FW Versoin[%S]==============\n", i_, dev_.m_strFWVersion));
  finish(work());
  return 1;
}

HubWorker::Outcome HubWorker::work() {
  if (cancelled() || bWritesClosed()) {
    failure(L"");
    return Outcome::Failure;
  }
  prepareRegisters();
  if (dialog_.m_bCheckFW) {
    const Outcome checked = checkVersion();
    // In export mode a hub that passed its check is exported next.
    if (checked != Outcome::Success || (!dialog_.m_bUpdate && !dialog_.m_bExport)) return Outcome::End;
  }
  if (dialog_.m_bExport) return exportRom();
  const Outcome written = updateSection();
  if (written != Outcome::Success) return written;
  if (dialog_.m_Ini.EnableRelinkAfterFWUpg != 1) return Outcome::Success;
  const Outcome turn = waitForResetTurn();
  if (turn != Outcome::Success) return turn;
  resetHub();
  const std::int64_t start = dialog_.m_Report.now();
  const Outcome reloaded = reloadAndVerify();
  dialog_.m_Report.phase(i_, "reload", start, reloaded == Outcome::Success);
  return reloaded;
}

void HubWorker::prepareRegisters() {
  CZeltHubDev* hub = utility_.m_ZeltUSBLib.hubDev();
  if (hub == nullptr) return;
  for (std::uint16_t address : {0x3601, 0x3611, 0x3621}) {
    std::uint8_t value = 0;
    hub->HBX763xAccessRegister(i_, &value, 1, address, 0);
    value = static_cast<std::uint8_t>((value & 0x3F) | 0x80);
    hub->HBX763xAccessRegister(i_, &value, 1, address, 1);
  }
  for (std::uint16_t address : {0x3000, 0x3100, 0x3200}) {
    std::uint8_t value = 0;
    hub->HBX763xAccessRegister(i_, &value, 1, address, 0);
    value = static_cast<std::uint8_t>(value & 0xFB);
    hub->HBX763xAccessRegister(i_, &value, 1, address, 1);
  }
}

HubWorker::Outcome HubWorker::checkVersion() {
  HBX_WORKER_MSG(L"%s:%d: ucTargetNumber[%d],  check FW version!!!", i_);
  dev_.m_strFWVersion = text::upper(dev_.m_strFWVersion);
  if (!version::bVersionEquals(dev_.m_strFWVersion, dialog_.m_strChkFWVer)) {
    bResult_ = 0;
    failure(L"the hub runs another version than the one checked for", ExitCode::kVerifyFailed);
    HBX_WORKER_WRN(
        L"%s:%d: ucTargetNumber[%d],  check FW version fail pFWUpdateDlg->m_strChkFWVer[%s], m_strFWVersion[%s]", i_,
        dialog_.m_strChkFWVer, dev_.m_strFWVersion);
  }
  dev_.m_bChkFWResult = bResult_;
  return bResult_ ? Outcome::Success : Outcome::End;
}

HubWorker::Outcome HubWorker::updateSection() {
  // In console mode hubs are written one after another, so that their
  // console lines do not interleave.
  std::unique_lock<std::mutex> consoleLock(utility_.m_ThreadCriticalSection, std::defer_lock);
  if (dialog_.m_bConsole) consoleLock.lock();
  // Another hub's writes may have taken the run past its time-out meanwhile.
  if (cancelled() || bWritesClosed()) {
    failure(L"");
    return Outcome::Failure;
  }
  if (dev_.m_ucChipType == kChipTypeUnknown) {
    // It may be a target: one that cannot be told apart fails, never passes.
    HBX_WORKER_ERR(L"%s:%d: ucTargetNumber[%d], chip type unknown, the hub is not written", i_);
    failure(L"the hub's chip type could not be read");
    bResult_ = 0;
    return Outcome::Failure;
  }
  if (dialog_.m_bMajorType != dev_.m_ucChipType) {
    dev_.m_bChkFWResult = 0;
    HBX_WORKER_ERR(L"%s:%d:  m_bMajorType[%d], Devs[%d].m_ucChipType[%d]", dialog_.m_bMajorType, i_,
                   dev_.m_ucChipType);
    return Outcome::NotTarget;
  }
  return updateHub();
}

bool HubWorker::bChipRevisionAllowed() {
  RunDisplay display(dialog_, ports_.system);
  HBX_WORKER_MSG(L"%s:%d: ucTargetNumber[%d], Update config &  Firmware, a. get chip verison", i_);
  std::uint8_t revision = 0;
  CZeltHubDev* hub = utility_.m_ZeltUSBLib.hubDev();
  if (hub == nullptr || hub->HBX763xAccessRegister(i_, &revision, 1, kChipRevisionRegister, 0) != 0) {
    failure(L"the hub's chip revision could not be read");
    return false;
  }
  display.hubBar(i_, 10);
  switch (version::chipRevisionGate(chipName(revision), dialog_.m_strCurFileFWVer)) {
    case version::RevisionGate::TooNew:
      HBX_WORKER_ERR(L"%s:%d:  Firmware too new to update to 0x120621000000!!![%d]", i_);
      failure(L"the hub's chip revision does not take this firmware (too new)");
      return false;
    case version::RevisionGate::TooOld:
      HBX_WORKER_ERR(L"%s:%d:  Firmware too old to update to 0x120720000000!!![%d]", i_);
      failure(L"the hub's chip revision does not take this firmware (too old)");
      return false;
    case version::RevisionGate::Allowed: break;
  }
  display.hubBar(i_, 20);
  return true;
}

void HubWorker::readConfigTable() {
  HBX_WORKER_MSG(L"%s:%d: Read config Table, ucTargetNumber[%d]", i_);
  dev_.m_ucConfigTable.fill(0xFF);
  if (dialog_.m_ucFWType == kConfigType) {
    std::copy(utility_.m_ucMConfigInfo.begin(), utility_.m_ucMConfigInfo.end(), dev_.m_ucConfigTable.begin());
    return;
  }
  if (utility_.vWrRdConfiguration(i_, 0, dev_.m_ucConfigTable.data(), 0, 1)) return;
  HBX_WORKER_MSG(L"%s:%d: Read Config from Device[%d] Fail. Try to read config from image 1!", i_);
  if (utility_.vWrRdConfiguration(i_, 0, dev_.m_ucConfigTable.data(), 1, 1)) return;
  HBX_WORKER_MSG(L"%s:%d: Read Config from Device[%d] Fail. Use Corvane default config!", i_);
  utility_.vSetMConfigInfo(i_);
}

HubWorker::Outcome HubWorker::updateHub() {
  RunDisplay display(dialog_, ports_.system);
  if (!bChipRevisionAllowed()) {
    bResult_ = 0;
    return Outcome::Failure;
  }
  longWait_ = version::bNeedsLongResetWait(dev_.m_strFWVersion) ? 1 : 0;
  readConfigTable();
  if (cancelled()) {
    failure(L"");
    return Outcome::Failure;
  }
  // From its first erase to its read-back a hub holds no whole firmware:
  // once begun, its writes are finished whatever is asked (only a second
  // stop request cuts them). Before, a stop request or the run's time-out
  // leaves it as it is.
  if (bWritesClosed()) return Outcome::Failure;

  display.console(nformat("Target Hub[%02d] >FW Update.....\t", i_));
  display.hubBar(i_, 30);
  HBX_WORKER_MSG(L"%s:%d: updata config , pChildThreadInfo->ucTargetNumber[%d]", i_);
  touched_ = true;
  if (!step("table-write-image-0", [&] { return utility_.vWrRdConfiguration(i_, 1, dev_.m_ucConfigTable.data(), 0, 1); })) {
    HBX_WORKER_ERR(L"%s:%d: vWrRdConfiguration image 0 Failed , pChildThreadInfo->ucTargetNumber[%d]", i_);
    failure(L"erasing and writing the configuration table of image 0 failed");
    bResult_ = 0;
    return Outcome::Failure;
  }
  if (cancelled() ||
      !step("table-write-image-1", [&] { return utility_.vWrRdConfiguration(i_, 1, dev_.m_ucConfigTable.data(), 1, 1); })) {
    HBX_WORKER_ERR(L"%s:%d: vWrRdConfiguration image 1 Failed , pChildThreadInfo->ucTargetNumber[%d]", i_);
    failure(L"erasing and writing the configuration table of image 1 failed");
    bResult_ = 0;
    return Outcome::Failure;
  }
  dev_.m_bConfigResult = 1;
  display.hubBar(i_, 40);
  if (cancelled() || !step("download", [&] { return utility_.vUpdateFirmware(i_, 0, 1); })) {
    HBX_WORKER_ERR(L"%s:%d: vUpdateFirmware image 0 Failed , pChildThreadInfo->ucTargetNumber[%d]", i_);
    failure(L"erasing image 0 and downloading the firmware into it failed");
    bResult_ = 0;
    return Outcome::Failure;
  }
  // What the flash holds now is what was meant: read back before any PASS.
  if (cancelled() ||
      !step("read-back", [&] { return utility_.bVerifyWrittenImage(i_, dev_.m_ucConfigTable.data()); })) {
    HBX_WORKER_ERR(L"%s:%d: Read-back verification Failed , pChildThreadInfo->ucTargetNumber[%d]", i_);
    failure(L"the read-back failed or differs from what was written", ExitCode::kVerifyFailed);
    dialog_.m_iRet = exitValue(ExitCode::kVerifyFailed);
    bResult_ = 0;
    return Outcome::Failure;
  }
  // A run that timed out meanwhile has given up on this hub: no PASS after it.
  if (cancelled()) {
    failure(L"");
    bResult_ = 0;
    return Outcome::Failure;
  }
  readBack_ = true;
  dev_.m_bUpdateFWResult = 1;
  HBX_WORKER_MSG(L"%s:%d: FW Update %s , dwFlashFWLeng[ %d]", L"PASS", static_cast<std::uint32_t>(utility_.m_TempBinDigest.size));
  display.console("PASS \n");
  display.hubBar(i_, 50);
  HBX_WORKER_MSG(L"%s:%d: ucTargetNumber[%d], CHILD_THREAD_RST_READY, Hub Depth = %d", i_, dev_.m_ucHubDepth);
  return Outcome::Success;
}

HubWorker::Outcome HubWorker::stopBeforeReset() {
  failure(stopCause() + L" before the hub's reset: it boots the written firmware at its next power-up");
  return Outcome::Failure;
}

HubWorker::Outcome HubWorker::waitForResetTurn() {
  slot_.ucState = CHILD_THREAD_RST_READY;
  std::int64_t start = nowSeconds();
  const std::int64_t limit = longWait_ ? kLongResetTurnSeconds : kResetTurnSeconds;
  std::int64_t elapsed = 0;
  for (;;) {
    bResult_ = 0;
    if (elapsed > limit) {
      HBX_WORKER_ERR(L"%s:%d: %s", wformat(L"Hub[%d] No responesed, Time out!!!", i_));
      failure(L"the hub's reset turn did not come in time", ExitCode::kTimeOut);
      dialog_.m_iRet = exitValue(ExitCode::kTimeOut);
      return Outcome::Failure;
    }
    if (!pause(500)) return stopBeforeReset();
    const bool allReady = countSlots(slot_.ucTargetTotal, CHILD_THREAD_RST_READY, CHILD_THREAD_RST_DONE,
                                     CHILD_THREAD_FINISH) >= slot_.ucTargetTotal;
    if (dev_.m_ucHubDepth == utility_.m_MaxHubDepth.load() && allReady) return Outcome::Success;
    // In console mode the hubs are written one after another: while others
    // still write, this hub waits for them, not for its reset turn.
    if (dialog_.m_bConsole && !allReady) start = nowSeconds() - elapsed;
    elapsed = nowSeconds() - start;
    if (!pause(300)) return stopBeforeReset();
  }
}

void HubWorker::resetHub() {
  RunDisplay display(dialog_, ports_.system);
  HBX_WORKER_MSG(L"%s:%d: ucTargetNumber[%d], this Hub is unlock to do CPU rest, m_MaxHubDepth=%d, m_ucHubDepth=%d",
                 i_, utility_.m_MaxHubDepth.load(), dev_.m_ucHubDepth);
  display.hubBar(i_, 60);
  display.console(nformat("Target Hub[%02d] >FW Reloading.....\n", i_));
  int result = 0;
  step("reset", [&] { return (result = utility_.vCPURST(i_, longWait_)) == 0; });
  if (result != 0) {
    HBX_WORKER_ERR(L"%s:%d:  ucTargetNumber[%d], vCPURST Failed, Error = %d", i_, result);
    failure(L"the hub's processor reset failed", ExitCode::kVerifyFailed);
    dialog_.m_iRet = exitValue(ExitCode::kVerifyFailed);
  }
  slot_.ucState = CHILD_THREAD_RST_DONE;
  display.hubBar(i_, 70);
  HBX_WORKER_MSG(L"%s:%d: ucTargetNumber[%d], /Re-Enumration All Hub", i_);
}

HubWorker::Outcome HubWorker::stopBeforeReload() {
  failure(stopCause() + L" before the hub came back from its reset");
  return Outcome::Failure;
}

HubWorker::Outcome HubWorker::reloadAndVerify() {
  RunDisplay display(dialog_, ports_.system);
  const std::int64_t start = nowSeconds();
  std::int64_t elapsed = 0;
  iRetry_ = 0;
  for (;;) {
    bResult_ = 0;
    if (elapsed > kReloadSeconds) {
      HBX_WORKER_ERR(L"%s:%d: ucTargetNumber[%d], reload Hub Time Out!!! , dwErrorCode : %s", i_,
                     systemErrorText(ports_.system.lastError()));
      failure(L"the hub did not come back in time after its reset", ExitCode::kVerifyFailed);
      dialog_.m_iRet = exitValue(ExitCode::kVerifyFailed);
      return Outcome::Failure;
    }
    if (!pause(500)) return stopBeforeReload();
    if (countSlots(kMaxWorkers, CHILD_THREAD_RST_DONE, CHILD_THREAD_FINISH, CHILD_THREAD_FINISH) !=
        slot_.ucTargetTotal) {
      elapsed = nowSeconds() - start;
      if (!pause(500)) return Outcome::Failure;
      display.hubBar(i_, 80 + iRetry_);
      if (!pause(dev_.m_ucHubDepth * 250u)) return stopBeforeReload();
      continue;
    }
    ++iRetry_;
    // The hub filters and the hub device object's scan state are shared by
    // every worker: one worker at a time sets them and finds its hub.
    std::unique_lock<std::mutex> filterLock(utility_.m_VerifyFWCriticalSection);
    if (CZeltHubDev* hub = utility_.m_ZeltUSBLib.hubDev()) hub->vInitialPrivateData();
    if (dialog_.m_ucFWType == kConfigType) {
      utility_.m_strFW_Indetify = dialog_.m_strCurFileFWVer;
      const std::uint16_t vid = static_cast<std::uint16_t>(utility_.m_ucMConfigInfo[kConfigVidOffset] |
                                                           (utility_.m_ucMConfigInfo[kConfigVidOffset + 1] << 8));
      utility_.m_strVID_Indetify = wformat(L"%04x", vid);
    } else {
      if (utility_.m_strVID_Indetify.empty()) utility_.m_strVID_Indetify = dev_.m_strVID;
      if (!utility_.m_strFW_Indetify.empty()) {
        HBX_WORKER_MSG(L"%s:%d: pUtility.m_strFW_Indetify = %s, Clear it.", utility_.m_strFW_Indetify);
        utility_.m_strFW_Indetify.clear();
      }
    }
    HBX_WORKER_MSG(L"%s:%d: pFWUpdateDlg->m_ucFWType = %d, Assign  pUtility.m_strVID_Indetifyr[%s],",
                   dialog_.m_ucFWType, utility_.m_strVID_Indetify);
    const bool found = dialog_.m_RunHooks.reEnumerateTargetHub && dialog_.m_RunHooks.reEnumerateTargetHub(i_);
    filterLock.unlock();
    if (!found) {
      HBX_WORKER_ERR(L"%s:%d: ReEnumrationTargetHub Failed, ucTargetNumber[%d],", i_);
      elapsed = nowSeconds() - start;
      continue;
    }
    dialog_.m_Report.versionAfter(i_, report::VersionAfter::Reloaded, dev_.m_strFWVersion);
    if (version::bVersionEquals(dev_.m_strFWVersion, dialog_.m_strCurFileFWVer)) {
      bResult_ = 1;
      resultText_ = dev_.m_strFWVersion;
      dev_.m_bReloadFWResult = 1;
      return Outcome::Success;
    }
    if (iRetry_ >= kReloadReads) {
      HBX_WORKER_ERR(
          L"%s:%d: try iRetry = %d, ucTargetNumber[%d], Reload Version Check Failed[%s] fail, "
          L"pFWUpdateDlg->m_strCurFileFWVer[%s], dwErrorCode : %s",
          iRetry_, i_, dev_.m_strFWVersion, dialog_.m_strCurFileFWVer, systemErrorText(ports_.system.lastError()));
      failure(L"the hub came back running another version than the one written", ExitCode::kVerifyFailed);
      dialog_.m_iRet = exitValue(ExitCode::kVerifyFailed);
      return Outcome::Failure;
    }
    HBX_WORKER_WRN(L"%s:%d: ucTargetNumber[%d], iRetry = %d, Reload Version Check Failed[%s] fail , dwErrorCode : %s",
                   i_, iRetry_, dev_.m_strFWVersion, systemErrorText(ports_.system.lastError()));
    if (!pause(5000) || !pause(1000)) return stopBeforeReload();
  }
}

void HubWorker::finish(Outcome outcome) {
  RunDisplay display(dialog_, ports_.system);
  if (outcome == Outcome::NotTarget) {
    // Not written, so neither passed nor failed: its own line, its bar as it is.
    HBX_WORKER_MSG(L"%s:%d: ucTargetNumber[%d], not a target: chip type[%d], FW chip type[%d]", i_,
                   dev_.m_ucChipType, dialog_.m_bMajorType);
    display.console(nformat("The Hub[%d] is not a target of this FW (chip type %d, FW chip type %d)\n", i_,
                            dev_.m_ucChipType, dialog_.m_bMajorType));
    reportEnd(outcome, false);
    slot_.ucState = CHILD_THREAD_FINISH;
    HBX_WORKER_MSG(L"%s:%d: ucTargetNumber[%d], Finish, bResult=%x", i_, bResult_);
    return;
  }
  // Once the run has timed out no hub is reported as passed.
  if (cancelled()) outcome = Outcome::Failure;
  const bool success = outcome == Outcome::Success || (outcome == Outcome::End && bResult_ == 1);
  if (success && !resultText_.empty()) display.hubResult(i_, resultText_);
  if (outcome == Outcome::Failure) bResult_ = 0;
  const char* pass = bResult_ == 1 ? "PASS" : "FAIL";
  // An export writes no firmware: its line says what the hub did.
  const char* task = dialog_.m_bCheckFW ? "Check" : dialog_.m_bExport ? "Export" : "Update";
  display.console(nformat("The Hub[%d] FW %s %s \n", i_, task, pass));
  display.hubBar(i_, 100, success ? kGreen : kRed);
  reportEnd(outcome, bResult_ == 1);
  slot_.ucState = CHILD_THREAD_FINISH;
  HBX_WORKER_MSG(L"%s:%d: ucTargetNumber[%d], Finish, bResult=%x", i_, bResult_);
}

void HubWorker::reportEnd(Outcome outcome, bool success) {
  report::RunRecorder& report = dialog_.m_Report;
  if (!touched_) report.versionAfter(i_, report::VersionAfter::Untouched, dev_.m_strFWVersion);
  else if (readBack_ && outcome != Outcome::Success)
    report.versionAfter(i_, report::VersionAfter::ReadBack, dialog_.m_strCurFileFWVer);
  // A hub that passed without its reset holds what its read-back found.
  else if (readBack_ && dialog_.m_Ini.EnableRelinkAfterFWUpg != 1)
    report.versionAfter(i_, report::VersionAfter::ReadBack, dialog_.m_strCurFileFWVer);
  if (outcome == Outcome::NotTarget) {
    report.hubEnded(i_, "not-target", 0, L"the hub's chip type is not the firmware's");
  } else if (!success && !touched_ && (threads_.writesClosed() || cancelled())) {
    // Stopped before its writes began: the hub holds what it held.
    report.hubEnded(i_, "not-written", 0, reason_.empty() ? stopCause() + L" before the hub's writes began" : reason_);
  } else if (success) {
    const char* result = dialog_.m_bExport ? "exported" : dialog_.m_bUpdate ? "passed" : "checked";
    report.hubEnded(i_, result, 0, L"");
  } else {
    const wchar_t* fallback = dialog_.m_bExport ? L"exporting the hub's ROM failed" : L"the hub failed";
    report.hubEnded(i_, "failed", code_, reason_.empty() ? fallback : reason_);
  }
}

void HubWorker::abnormalEnd(std::uint32_t error) {
  RunDisplay display(dialog_, ports_.system);
  display.hubBar(i_, 100, kRed);
  slot_.ucState = CHILD_THREAD_FINISH;
  HBX_WORKER_ERR(L"%s:%d: ucTargetNumber[%d], abnormal end, bResult=%x, ERROR=%s", i_, 0, systemErrorText(error));
}

}  // namespace hbx::update
