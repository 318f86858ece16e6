#include "update/main_task.h"

#include <algorithm>
#include <vector>

#include "update/run_dialog.h"
#include "base/log/format.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "hub/device/in_flight_requests.h"
#include "hub/device/zelt_hub_dev.h"
#include "image/source_check.h"
#include "image/temp_bin_file.h"
#include "update/exported_image.h"
#include "update/run_display.h"
#include "update/run_log.h"
#include "update/update_run_threads.h"
#include "image/version_rules.h"
#include "platform/handles.h"

namespace hbx::update {

namespace {

inline constexpr std::uint8_t kConfigType = 1;
inline constexpr int kWaitPolls = 520;
inline constexpr std::uint32_t kPollMs = 500;
inline constexpr std::uint8_t kOsWindowsXp = 2;
inline constexpr wchar_t kDriverWorkFolder[] = L"HBX763xFW";
// How long the run waits for the update lock that another copy holds.
inline constexpr int kLockTries = 100;
inline constexpr std::uint32_t kLockTryMs = 100;


}  // namespace

MainTask::MainTask(RunDialog& dialog, CHubUtility& utility, platform::Ports& ports,
                   UpdateRunThreads& threads, MainThreadInfo& info)
    : dialog_(dialog), utility_(utility), ports_(ports), threads_(threads), info_(info) {}

void MainTask::failWithRedBars() {
  bAllPass_ = false;
  display_->finishHubBars(kRed);
}

void MainTask::run() {
  RunDisplay display(dialog_, ports_.system);
  display_ = &display;
  HBX_TASK_MSG(L"%s:%d:   MainThreadFun !!! ");
  dialog_.m_Model.resetOverallBar();
  display.status(L"Search Target Hub...", kStatusBlue, 34);
  info_.ucState = MAIN_THREAD_SCAN;
  const std::int64_t scanStart = dialog_.m_Report.now();
  dialog_.vScanUSBPort();
  dialog_.m_Report.scanned(scanStart);
  reportFoundHubs();
  info_.ucState = MAIN_THREAD_OPEN;
  for (std::size_t k = 0; k < kMaxWorkers; ++k) {
    DeviceListEntry& dev = dialog_.m_DevList.Devs[k];
    dev.m_bConfigResult = dev.m_bUpdateFWResult = dev.m_bReloadFWResult = 0;
  }
  if (bStoppedBeforeWrites()) return endOfRun();

  const std::size_t hubs = static_cast<std::size_t>(std::clamp(dialog_.m_DevList.DevNums, 0, 16));
  if (hubs == 0) {
    dialog_.vShowHubInfo(0);
    const wchar_t* text = L"Can't Find HBX763x Hub Controller in current platform";
    display.status(text, kStatusRed, 20);
    bAllPass_ = false;
    ending_ = Ending::NoHub;
    info_.ucState = MAIN_THREAD_FINISH;
    ports_.clock.sleepMs(100);
    display.enableOk(true);
    display.console(nformat("%S", text));
    endOfRun();
    return;
  }
  if (bRefuseTooManyHubs(hubs)) return endOfRun();

  display.versionField(dialog_.m_bCheckFW ? dialog_.m_strChkFWVer : dialog_.m_strCurFileFWVer);
  display.status(L"Processing!!", kStatusBlue, 32);
  served_ = std::min(hubs, kMaxWorkers);
  info_.ucHubNum = static_cast<std::uint8_t>(served_);
  dialog_.vShowHubInfo(static_cast<std::uint8_t>(hubs));
  display.console(nformat("\nFind %d ZELT Hub \r\n", static_cast<int>(hubs)));

  if (bRunSideTask()) return endOfRun();
  // The chip type decides only when an image is to be written.
  if (dialog_.m_bUpdate && !bAnyTargetChipType()) {
    HBX_TASK_ERR(L"%s:%d: No hub of chip type [%d]", dialog_.m_bMajorType);
    leftReason_ = L"no hub found has the firmware's chip type";
    ending_ = Ending::NoTarget;
    info_.ucState = MAIN_THREAD_EARLY_END;
    return endOfRun();
  }
  if (bVersionGatesEndRun()) return endOfRun();
  if (!bStageImage() || bStoppedBeforeWrites()) return endOfRun();
  runWorkers();
  endOfRun();
}

std::wstring MainTask::familyOf(const DeviceListEntry& dev) const {
  // The family code is in bytes 8 to 10 of the version block the scan read
  // from the connection that made the entry.
  const CZeltHubDev* hub = utility_.m_ZeltUSBLib.hubDev();
  for (int r = 0; hub != nullptr && r < hub->m_DriverNum && r < static_cast<int>(kMaxDriverRecords); ++r) {
    const DriverInfo& record = hub->m_DriverInfo[r];
    if (record.ucPortIndex != dev.m_ucPortIndex || strField(record.RootHubName) != dev.m_strRootHubName) continue;
    const std::uint8_t* code = record.FWVersion + 8;
    if (code[0] != 0) return wformat(L"HBX%d%d%dx", code[0], code[1], code[2]);
  }
  return L"";
}

void MainTask::reportFoundHubs() {
  report::RunRecorder& report = dialog_.m_Report;
  if (!report.requested()) return;
  const int hubs = std::clamp(dialog_.m_DevList.DevNums, 0, static_cast<int>(kMaxDevices));
  for (int k = 0; k < hubs; ++k) {
    const DeviceListEntry& dev = dialog_.m_DevList.Devs[static_cast<std::size_t>(k)];
    report::HubRecord hub = report::hubRecordOf(dev, k);
    hub.target = !dialog_.m_bUpdate || dev.m_ucChipType == dialog_.m_bMajorType || dev.m_ucChipType == kChipTypeUnknown;
    hub.family = familyOf(dev);
    report.hubFound(hub);
  }
  // Every setting the walk changed, listed hub or not.
  for (const PowerSettingsMemory::Left& entry : utility_.powerSettingsLeft())
    if (entry.changed()) report.hostChange("power-settings-changed", entry.hub, true);
}

void MainTask::failStaging(const wchar_t* status) {
  display_->status(status, kStatusRed, 32);
  // A console run says why it ends before any hub is written.
  display_->console(nformat("%S\n", std::wstring(status)));
  leftReason_ = L"the firmware source could not be staged";
  failWithRedBars();
}

bool MainTask::bStoppedBeforeWrites() {
  if (!threads_.stopRequested()) return false;
  HBX_TASK_ERR(L"%s:%d: The run was stopped before any hub was written");
  leftReason_ = L"the run was stopped before any hub was written";
  ending_ = Ending::Stopped;
  bAllPass_ = false;
  return true;
}

bool MainTask::bLockUpdate() {
  for (int tries = 0; tries < kLockTries; ++tries) {
    if (ports_.processes.tryLockUpdate()) return true;
    if (threads_.stopRequested()) break;
    ports_.clock.sleepMs(kLockTryMs);
  }
  const std::wstring text = L"Another copy of this tool is writing hubs: no hub was written. Run again when it has ended.";
  HBX_TASK_ERR(L"%s:%d: %s", text);
  dialog_.nShowMessage(text, msgkind::kError, 0x10);
  dialog_.m_iRet = exitValue(ExitCode::kOtherCopyUpdating);
  leftReason_ = L"another copy of the program was writing hubs";
  failWithRedBars();
  return false;
}

bool MainTask::bRefuseTooManyHubs(std::size_t hubs) {
  // One run serves eight hubs. Writing some of more would leave the others
  // old behind a run that looks done, so none is written.
  const CZeltHubDev* dev = utility_.m_ZeltUSBLib.hubDev();
  const bool overflow = dev != nullptr && dev->m_bRecordsOverflow != 0;
  if (hubs <= kMaxWorkers && !overflow) return false;
  const int most = static_cast<int>(kMaxWorkers);
  const std::wstring text =
      (overflow ? std::wstring(L"Found more hubs than one run can list") : wformat(L"Found %d hubs", static_cast<int>(hubs))) +
      wformat(L": one run updates at most %d hubs. Connect at most %d and run again.", most, most);
  HBX_TASK_ERR(L"%s:%d: %s", text);
  display_->console(nformat("%S\n", text));
  dialog_.nShowMessage(text, msgkind::kError, 0x10);
  display_->status(text, kStatusRed, 20);
  dialog_.m_iRet = exitValue(ExitCode::kCommandLineError);
  leftReason_ = L"the run found more hubs than it serves: none was written";
  failWithRedBars();
  return true;
}

bool MainTask::bUnreadHubs() const {
  const CZeltHubDev* dev = utility_.m_ZeltUSBLib.hubDev();
  return dev != nullptr && !dev->m_strUnreadHubs.empty();
}

void MainTask::reportUnreadHubs() {
  // Once the other hubs are served: a hub the scan could not read was not
  // updated, so the run fails.
  if (!bUnreadHubs()) return;
  const CZeltHubDev& dev = *utility_.m_ZeltUSBLib.hubDev();
  for (const CZeltHubDev::UnreadHub& hub : dev.m_UnreadHubs) {
    dialog_.m_Report.hubUnread(report::unreadHubRecord(hub.driverName, hub.rootHubName, hub.chain, hub.usb3),
                               L"the hub could not be opened or read: it is not updated (" + hub.driverName + L")");
  }
  std::wstring all;
  for (const std::wstring& line : dev.m_strUnreadHubs) {
    HBX_TASK_ERR(L"%s:%d: %s", line);
    display_->console(nformat("%S\n", line));
    all += line + L"\r\n";
  }
  dialog_.nShowMessage(all, msgkind::kError, 0x10);
  bAllPass_ = false;
}

bool MainTask::bRunSideTask() {
  int result = 0;
  if (dialog_.m_bOutputVer) {
    result = dialog_.outputFWVersionTask();
  } else if (dialog_.m_bUpdate && dialog_.m_strCurFileFWVer.empty()) {
    dialog_.nShowMessage(L"Cannot Get FW File Version...", msgkind::kError, 0x10);
    leftReason_ = L"the firmware source's version could not be read";
    info_.ucState = MAIN_THREAD_FINISH;
    failWithRedBars();
    return true;
  } else if (dialog_.m_bCmpSN) {
    result = dialog_.nCmpHubSNTask();
  } else {
    return false;
  }
  bAllPass_ = result == 0;
  ending_ = Ending::SideTask;
  leftReason_ = sideTaskReason();
  display_->finishHubBars(bAllPass_ ? kGreen : kRed);
  return true;
}

std::wstring MainTask::sideTaskReason() const {
  if (dialog_.m_bOutputVer) {
    return bAllPass_ ? L"the run wrote the version file" : L"the run could not write the version file";
  }
  if (bAllPass_) return L"the run compared serial numbers: the two hubs' are the same";
  return dialog_.m_DevList.DevNums == 2 ? L"the run compared serial numbers: the two hubs' differ"
                                        : L"the run compared serial numbers: it needs exactly two hubs";
}

bool MainTask::bAnyTargetChipType() const {
  // A hub whose chip type could not be read may be one: its worker fails it.
  for (std::size_t k = 0; k < served_; ++k) {
    const std::uint8_t type = dialog_.m_DevList.Devs[k].m_ucChipType;
    if (type == dialog_.m_bMajorType || type == kChipTypeUnknown) return true;
  }
  return false;
}

bool MainTask::bVersionGatesEndRun() {
  if (dialog_.m_bMP || dialog_.m_bCheckFW || dialog_.m_bExport) return false;
  const std::wstring& fileVersion = dialog_.m_strCurFileFWVer;
  // A hub that already has the version is passed over; the others are
  // updated, so a run after an interrupted one finishes the job.
  std::size_t targets = 0;
  std::size_t latest = 0;
  for (std::size_t k = 0; k < served_; ++k) {
    DeviceListEntry& dev = dialog_.m_DevList.Devs[k];
    if (dev.m_ucChipType != dialog_.m_bMajorType) continue;
    ++targets;
    if (!bHasFileVersion(k)) continue;
    ++latest;
    alreadyLatest_[k] = true;
    dev.m_bChkFWResult = 1;
    dev.m_bUpdateFWResult = 1;
    dev.m_bReloadFWResult = 1;
    display_->hubBar(static_cast<int>(k), 100, kGreen);
    dialog_.m_Report.hubEnded(static_cast<int>(k), "already-latest", 0,
                              L"the hub already runs the firmware's version, which image 0 holds whole");
    dialog_.m_Report.versionAfter(static_cast<int>(k), report::VersionAfter::Untouched, dev.m_strFWVersion);
    display_->console(nformat("===Hub[%d], FW Versoin[%S] The Firmware version has been the latest version\n",
                              static_cast<int>(k), dev.m_strFWVersion));
  }
  if (targets > 0 && latest == targets) {
    bAllPass_ = true;
    ending_ = Ending::AlreadyLatest;
    info_.ucState = MAIN_THREAD_EARLY_END;
    return true;
  }
  if (dialog_.m_Ini.check_fw_version == 1) {
    bool listed = false;
    for (std::size_t k = 0; k < served_ && !listed; ++k)
      listed = version::bVersionListed(dialog_.m_Ini.fw_version, dialog_.m_DevList.Devs[k].m_strFWVersion);
    if (!listed) {
      HBX_TASK_ERR(L"%s:%d: No hub runs a version of fw_version[%s]", dialog_.m_Ini.fw_version);
      leftReason_ = L"no hub runs a version the settings list";
      // Nothing is written: a run without a target hub.
      ending_ = Ending::NoTarget;
      info_.ucState = MAIN_THREAD_EARLY_END;
      return true;
    }
  }
  const version::VersionValue file = version::versionValue(fileVersion);
  for (std::size_t k = 0; k < served_; ++k) {
    const std::wstring& hubVersion = dialog_.m_DevList.Devs[k].m_strFWVersion;
    const version::VersionValue hub = version::versionValue(hubVersion);
    HBX_TASK_MSG(L"%s:%d: Hub[%d] FW Version[%s] MSB[%x] LSB[%x], File FW Version[%s] MSB[%x] LSB[%x]",
                 static_cast<int>(k), hubVersion, hub.msb, hub.lsb, fileVersion, file.msb, file.lsb);
    if (hub.value() > file.value())
      HBX_TASK_MSG(L"%s:%d: liCurrentver.QuadPart=[%lld], liUpdateVer.QuadPart=[%lld]", hub.value(), file.value());
  }
  return false;
}

bool MainTask::bHasFileVersion(std::size_t k) {
  // The version a hub runs says what it booted, not what it boots next: only
  // image 0 holding that version, whole, proves there is nothing to write.
  const DeviceListEntry& dev = dialog_.m_DevList.Devs[k];
  const std::wstring& fileVersion = dialog_.m_strCurFileFWVer;
  if (!version::bVersionEquals(dev.m_strFWVersion, fileVersion)) return false;
  const auto index = static_cast<std::uint8_t>(k);
  if (utility_.bImage0HoldsVersion(index, fileVersion, dialog_.m_bMajorType)) return true;
  HBX_TASK_WRN(L"%s:%d: Hub[%d] runs [%s], but image 0 of its flash does not hold it whole: it is written",
               static_cast<int>(k), dev.m_strFWVersion);
  return false;
}

bool MainTask::bStageImage() {
  const std::wstring& path = utility_.m_strFWBinFilePath;
  HBX_TASK_MSG(L"%s:%d: pUtility.m_strFWBinFilePath[%s]", path);
  if (path.empty()) return true;
  const bool exported = bIsExportedImagePath(path);
  if (!exported && image::sourceKindOf(path) == image::SourceKind::Configuration) dialog_.m_ucFWType = kConfigType;
  // Checked again, on the very bytes that are staged, for every kind of
  // source: nothing reaches a hub that no hub of the run's chip type boots.
  const image::LoadedSource& source = utility_.runSource();
  const std::uint8_t type = dialog_.vIsValidHubFirmware(source);
  if (type != dialog_.m_bMajorType) {
    HBX_TASK_ERR(L"%s:%d: [%s] is no firmware for chip type [%d]: 0x%02X", path, dialog_.m_bMajorType, type);
    display_->status(L"The FW is not valide, Please check again!!", kStatusRed, 32);
    dialog_.m_iRet = exitValue(ExitCode::kCommandLineError);
    failWithRedBars();
    return false;
  }
  if (exported) return bStageExportedImage(source.bytes);
  if (dialog_.m_ucFWType == kConfigType) {
    if (dialog_.bStageConfigImage(source.bytes)) return true;
    HBX_TASK_ERR(L"%s:%d:   bConfig_File2TempBinFile Fail !!!");
    failStaging(L"The FW is not valide, Please check again!!");
    return false;
  }
  HBX_TASK_MSG(L"%s:%d: !3 vCreateTempBinDataFile [%s]", path);
  if (utility_.bStageFirmwareCode(source.bytes)) return true;
  HBX_TASK_ERR(L"%s:%d:  vCreateTempBinDataFile Fail");
  failStaging(L"insufficient memory available");
  return false;
}

bool MainTask::bStageExportedImage(const std::vector<std::uint8_t>& file) {
  std::vector<std::uint8_t> image;
  ExportedTrailer trailer;
  if (!bSplitExportedImage(file, image, trailer)) {
    HBX_TASK_ERR(L"%s:%d:   ucpFWBinDataBuffer mallco Fail !!!");
    failStaging(L"insufficient memory available");
    return false;
  }
  dialog_.m_strCurFileFWVer = version::strVersionFromBytes(trailer.version);
  display_->versionField(dialog_.m_strCurFileFWVer);
  // Staged straight from memory: no copy of the image is written beside the
  // program, where it could take the place of a user's file of that name.
  const bool ok = dialog_.m_ucFWType == kConfigType ? dialog_.bStageConfigImage(image)
                                                    : utility_.bStageFirmwareCode(image);
  if (!ok) {
    HBX_TASK_ERR(L"%s:%d:  vCreateTempBinDataFile Fail");
    failStaging(L"insufficient memory available");
    return false;
  }
  return true;
}

void MainTask::runWorkers() {
  const std::size_t n = served_;
  // Held from before the first erase to the end of the workers.
  if (!bLockUpdate()) return;
  utility_.vInitializeCriticalSection();
  if (utility_.GetOSVersion() == kOsWindowsXp) ports_.clock.sleepMs(250);
  info_.ucHubNum = static_cast<std::uint8_t>(n);
  display_->attention(true);
  for (std::size_t k = 0; k < n; ++k) {
    ChildThreadInfo& slot = dialog_.m_ChildThreadInfo[k];
    slot.hWnd = info_.hWnd;
    slot.ucTargetNumber = static_cast<std::uint8_t>(k);
    slot.ucTargetTotal = info_.ucHubNum;
    slot.ucState = CHILD_THREAD_START;
  }
  const int codeBeforeWorkers = dialog_.m_iRet.load();
  for (std::size_t k = 0; k < n; ++k) {
    // A hub already running the version has nothing to write or reset.
    if (alreadyLatest_[k]) {
      dialog_.m_ChildThreadInfo[k].ucState = CHILD_THREAD_FINISH;
      continue;
    }
    threads_.startWorker(k, [this, k] { dialog_.ChildThreadFun(&dialog_.m_ChildThreadInfo[k]); });
  }

  // The time-out ends the run the write-safe way: no hub begins its writes
  // any more, and the task waits for the hubs in their writes to finish them.
  const int limit = timeOutPolls(n);
  bool timedOut = false;
  bool stoppedNow = false;
  for (int passes = 0;; ++passes) {
    int finished = 0;
    for (std::size_t k = 0; k < n; ++k)
      if (dialog_.m_ChildThreadInfo[k].ucState.load() == CHILD_THREAD_FINISH) ++finished;
    if (finished >= info_.ucHubNum) {
      HBX_TASK_MSG(L"%s:%d:  All Thread done, ucCheckChildThreadFinishCount[%d]!!!", finished);
      break;
    }
    if (!timedOut && passes >= limit) {
      timedOut = true;
      threads_.timeOut();
      HBX_TASK_ERR(L"%s:%d:  TimeOut dwErrorCode %s", systemErrorText(ports_.system.lastError()));
      HBX_TASK_ERR(L"%s:%d: After %d polls no hub begins its writes; the hubs in their writes finish them", limit);
    }
    if (threads_.stopNowRequested()) {
      stoppedNow = true;
      break;
    }
    lowerResetTier(n);
    ports_.clock.sleepMs(kPollMs);
  }
  if (stoppedNow) {
    cancelWorkers(n, exitValue(ExitCode::kStopped));
    ending_ = Ending::Stopped;
  } else {
    for (std::size_t k = 0; k < n; ++k) threads_.joinWorker(k);
  }
  ports_.processes.unlockUpdate();
  // A worker that set an exit code failed (its reset turn never came, the
  // reset failed or the hub came back with another version): the run fails
  // with that code, even where the hub's flags alone would pass.
  judge(n, stoppedNow || dialog_.m_iRet.load() != codeBeforeWorkers);
  // Timed out, the run passes only when every hub passed all the same (the
  // last ones finished their writes after the time-out); else it ends -9.
  if (timedOut && !stoppedNow && !bAllPass_) {
    ending_ = Ending::TimeOut;
    dialog_.m_iRet = exitValue(ExitCode::kTimeOut);
  }
}

int MainTask::timeOutPolls(std::size_t workers) const {
  // 520 polls of 500 ms (260 s) for each hub the run writes: the downloads
  // go one hub at a time (in console mode all the writes do), so slow hubs
  // need that time one after another.
  std::size_t writing = 0;
  for (std::size_t k = 0; k < workers; ++k)
    if (!alreadyLatest_[k]) ++writing;
  return kWaitPolls * static_cast<int>(std::max<std::size_t>(writing, 1));
}

void MainTask::lowerResetTier(std::size_t workers) {
  const std::uint8_t depth = utility_.m_MaxHubDepth.load();
  int pending = 0;
  for (std::size_t k = 0; k < workers; ++k)
    if (dialog_.m_DevList.Devs[k].m_ucHubDepth == depth) ++pending;
  for (std::size_t k = 0; k < workers; ++k) {
    const std::uint8_t state = dialog_.m_ChildThreadInfo[k].ucState.load();
    if ((state == CHILD_THREAD_RST_DONE || state == CHILD_THREAD_FINISH) &&
        dialog_.m_DevList.Devs[k].m_ucHubDepth == depth)
      --pending;
  }
  if (pending == 0 && depth > 1) {
    utility_.m_MaxHubDepth = static_cast<std::uint8_t>(depth - 1);
    HBX_TASK_MSG(L"%s:%d:  Reset Thread,pUtility.m_MaxHubDepth decrese [%d]", depth - 1);
  }
}

void MainTask::cancelWorkers(std::size_t workers, int exitCode) {
  // No thread is killed: the workers still running stop at their next wait
  // or request and end as failed; the task waits for them before the locks
  // they may hold are given up. Their requests in flight are cancelled, so
  // that one the driver never completes cannot hold the run.
  threads_.cancelWorkers();
  inFlightRequests().cancelAll(ports_.deviceIo);
  for (std::size_t k = 0; k < workers; ++k) {
    dialog_.m_ChildThreadInfo[k].ucState = CHILD_THREAD_FINISH;
    if (threads_.workerRunning(k))
      HBX_TASK_ERR(L"%s:%d:  CancelThread[%d] , dwErrorCode %s",
                   static_cast<int>(k), systemErrorText(ports_.system.lastError()));
  }
  for (std::size_t k = 0; k < workers; ++k) threads_.joinWorker(k);
  inFlightRequests().resume();
  utility_.vDeleteCriticalSection();
  dialog_.m_iRet = exitCode;
}

void MainTask::judge(std::size_t workers, bool failed) {
  HBX_TASK_MSG(L"%s:%d:  go 9999");
  for (std::size_t k = 0; k < workers; ++k) {
    const DeviceListEntry& dev = dialog_.m_DevList.Devs[k];
    const int target = static_cast<int>(k);
    if (dialog_.m_bUpdate) {
      // Checked before the update: a hub with another version was left
      // alone, and the run fails as a check that did not match.
      if (dev.m_bChkFWResult == 0 && dialog_.m_bCheckFW &&
          !version::bVersionEquals(dev.m_strFWVersion, dialog_.m_strChkFWVer)) {
        bAllPass_ = false;
        bVersionMismatch_ = true;
        HBX_TASK_ERR(L"%s:%d: [%d]Version Check Failed, ,m_bChkFWResult[%d]", target, dev.m_bChkFWResult);
        continue;
      }
      if (dev.m_bChkFWResult == 0) {
        HBX_TASK_ERR(L"%s:%d: incorrect DUT [%d], m_bChkFWResult[%d]", target, dev.m_bChkFWResult);
        continue;
      }
      if (dev.m_bUpdateFWResult == 0) {
        bAllPass_ = false;
        HBX_TASK_ERR(L"%s:%d: Update FW failed[%d], m_bUpdateFWResult [%d],m_bReloadFWResult[%d]", target,
                     dev.m_bUpdateFWResult, dev.m_bReloadFWResult);
        break;
      }
      HBX_TASK_MSG(L"%s:%d: Update FW PASS, target[%d], m_bUpdateFWResult [%d],m_bReloadFWResult[%d]", target,
                   dev.m_bUpdateFWResult, dev.m_bReloadFWResult);
    } else {
      if (dev.m_bChkFWResult == 0) {
        bAllPass_ = false;
        bVersionMismatch_ = dialog_.m_bCheckFW != 0;
        HBX_TASK_ERR(L"%s:%d: [%d]Version Check Failed, ,m_bChkFWResult[%d]", target, dev.m_bChkFWResult);
        break;
      }
      // An export run passes only with every hub's ROM in its file.
      if (dialog_.m_bExport && dev.m_bExportResult == 0) {
        bAllPass_ = false;
        HBX_TASK_ERR(L"%s:%d: [%d]Export Failed, m_bExportResult[%d]", target, dev.m_bExportResult);
        break;
      }
      HBX_TASK_MSG(L"%s:%d: Check FW [%d]m_bChkFWResult[%d]", target, dev.m_bChkFWResult);
    }
  }
  if (failed || bUnreadHubs()) bAllPass_ = false;
  // Logged once the verdict can no longer change.
  HBX_TASK_MSG(L"%s:%d:  Final result bAllPass [%d]", bAllPass_ ? 1 : 0);
}

void MainTask::endOfRun() {
  const std::wstring& folder = utility_.strProgramFolder();
  // Only the run's own copy of the settings, should start-up have left it.
  dialog_.m_Ini.vDeleteCopy();
  std::uint32_t error = 0;
  HBX_TASK_MSG(L"%s:%d: Device Number : %d", dialog_.m_DevList.DevNums);

  const UpdateRunHooks& hooks = dialog_.m_RunHooks;
  if (hooks.removeDevconFile && hooks.removeDevconFile(folder) != 0)
    HBX_TASK_ERR(L"%s:%d: nADD_Delete_DevconFile Failed(%s]", folder);
  if (!dialog_.m_bNoUninstall && hooks.removeFilterDriverAndFiles) {
    const std::wstring temp = ports_.system.tempPath();
    std::wstring buffer = temp;
    const int result = hooks.removeFilterDriverAndFiles(buffer);
    dialog_.m_Report.hostChange("driver-removed", buffer, result == 0);
    if (result != 0) HBX_TASK_ERR(L"%s:%d:  Remove_FilterDriverAndFiles Failed... [%d]", result);
    HBX_TASK_ERR(L"%s:%d: szTempPath [%s]", buffer);
    // Each removal succeeds only on an empty folder.
    ports_.files.removeDirectory(buffer, error);
    ports_.files.removeDirectory(temp + kDriverWorkFolder, error);
  } else {
    // "/UN" keeps the driver, not the image staged beside the program.
    ports_.files.deleteFile(image::tempBinFile(folder), error);
    ports_.files.removeDirectory(image::tempBinFolder(folder), error);
  }
  if (CZeltHubDev* hub = utility_.m_ZeltUSBLib.hubDev()) {
    for (int r = 0; r < hub->m_DriverNum && r < static_cast<int>(kMaxDriverRecords); ++r)
      HBX_TASK_MSG(L"%s:%d:  Set Power Management registery to be active!!!m_DriverNum=%d", r);
  }
  // Put back by what the walks changed, not by the listed hubs: a hub left
  // out of the list (another family, beyond the run's limit, a record used
  // again) had its setting changed too. "/UN" keeps the settings.
  for (const CHubUtility::PowerSettingPutBack& put : utility_.putBackPowerSettings(dialog_.m_bNoUninstall != 0))
    dialog_.m_Report.hostChange("power-settings-restored", put.hub, put.ok);

  if (ending_ == Ending::NoTarget) {
    bAllPass_ = false;
    dialog_.m_iRet = exitValue(ExitCode::kNoHubFound);
  }
  reportUnreadHubs();
  // A run stopped before every hub was done says so, whatever else failed.
  if (threads_.stopRequested() && (!bAllPass_ || ending_ == Ending::Stopped)) {
    ending_ = Ending::Stopped;
    bAllPass_ = false;
    dialog_.m_iRet = exitValue(ExitCode::kStopped);
  }
  // A failed run never ends with 0.
  if (!bAllPass_ && dialog_.m_iRet == 0) dialog_.m_iRet = bVersionMismatch_ ? exitValue(ExitCode::kVerifyFailed) : exitValue(ExitCode::kFailed);
  dialog_.m_Report.hubsLeft("not-written",
                            leftReason_.empty() ? L"the run ended before the hub was written" : leftReason_);
  info_.bAllPass = bAllPass_ ? 1 : 0;
  info_.ucState = MAIN_THREAD_FINISH;
  showFinalStatus();
  if (bWantsRestart()) {
    dialog_.nShowMessage(
        L"The firmware update process is successful.\r\n** Please AC POWER OFF to reload firmware. **\r\n",
        msgkind::kWarning, 0x30);
    utility_.bRebootSystem();
  }
  ports_.clock.sleepMs(500);
  display_->enableOk(true);
  dialog_.vRemoveBinFiles();
}

void MainTask::showFinalStatus() {
  const std::wstring code = wformat(L"(%d)", dialog_.m_iRet.load());
  switch (ending_) {
    case Ending::NoHub: return display_->status(L"Failed!!" + code, kStatusRed, 30);
    case Ending::TimeOut: return display_->status(L"TimeOut!!" + code, kStatusRed, 32);
    case Ending::Stopped: return display_->status(L"Stopped!!" + code, kStatusRed, 32);
    case Ending::AlreadyLatest: return display_->status(L"The lastest Version!!" + code, kStatusGreen, 30);
    // The side task's own result text ("Output Version File PASS", "The
    // Serial Number are not same!!!") is what the user came for: it stays,
    // unless it is a pass the task did not reach (a version file that could
    // not be written).
    case Ending::SideTask:
      if (!bAllPass_ && dialog_.m_bOutputVer) display_->status(L"Failed!!" + code, kStatusRed, 32);
      return;
    default: break;
  }
  if (!bAllPass_) return display_->status(L"Failed!!" + code, kStatusRed, 32);
  display_->status(L"Pass!!\nPlease AC POWER OFF!", kStatusGreen, 32);
}

bool MainTask::bWantsRestart() const {
  // Only an update that passed and wrote firmware to some hub asks for the
  // power-off and restarts the computer; never one asked to stop.
  if (!bAllPass_ || ending_ != Ending::Verdict || !dialog_.m_bUpdate || dialog_.m_bExport || dialog_.m_bOutputVer ||
      dialog_.m_bCmpSN || threads_.stopRequested())
    return false;
  for (std::size_t k = 0; k < served_; ++k)
    if (dialog_.m_DevList.Devs[k].m_bUpdateFWResult == 1 && dialog_.m_DevList.Devs[k].m_bChkFWResult == 1)
      return true;
  return false;
}

}  // namespace hbx::update
