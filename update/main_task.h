#pragma once
// The main update task: the first scan, a side task or the gates, the
// staging of the image, one worker per hub, the wait that orders the hubs'
// resets by depth, the verdict, the clean-up and the final status.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "update/thread_info.h"

namespace hbx {
class CHubUtility;
struct DeviceListEntry;
class UpdateRunThreads;
class RunDialog;
struct MainThreadInfo;
namespace platform {
struct Ports;
}
}  // namespace hbx

namespace hbx::update {

class RunDisplay;

class MainTask {
 public:
  MainTask(RunDialog& dialog, CHubUtility& utility, platform::Ports& ports, UpdateRunThreads& threads,
           MainThreadInfo& info);
  void run();

 private:
  // How the run ended, for its final status.
  enum class Ending { Verdict, NoHub, TimeOut, AlreadyLatest, NoTarget, SideTask, Stopped };

  // A stop request before the hubs are written ends the run here.
  bool bStoppedBeforeWrites();
  // The update lock, so that no other copy ends this one while it writes;
  // false when another copy holds it for the whole wait.
  bool bLockUpdate();

  // A run that found more hubs than it serves writes none: -10.
  bool bRefuseTooManyHubs(std::size_t hubs);
  bool bRunSideTask();
  // The hubs the scan found, and the power settings it changed, for the report.
  void reportFoundHubs();
  std::wstring familyOf(const DeviceListEntry& dev) const;
  // Hubs the scan matched but could not open or read.
  bool bUnreadHubs() const;
  void reportUnreadHubs();
  // Why the hubs of a version-file or serial-comparison run were not written.
  std::wstring sideTaskReason() const;
  bool bAnyTargetChipType() const;
  bool bVersionGatesEndRun();
  // Hub k runs the file's version and image 0 of its flash holds it whole.
  bool bHasFileVersion(std::size_t k);
  bool bStageImage();
  bool bStageExportedImage(const std::vector<std::uint8_t>& file);
  void runWorkers();
  void lowerResetTier(std::size_t workers);
  // How many polls the task waits for its workers before the run times out.
  int timeOutPolls(std::size_t workers) const;
  // Ends the workers still running at once (a second stop request); the run
  // ends with `exitCode`.
  void cancelWorkers(std::size_t workers, int exitCode);
  // `failed`: a worker set an exit code or a second stop request ended the run.
  void judge(std::size_t workers, bool failed);
  void endOfRun();
  void showFinalStatus();
  bool bWantsRestart() const;
  void failWithRedBars();
  // A source that could not be staged: no hub is touched.
  void failStaging(const wchar_t* status);

  RunDialog& dialog_;
  CHubUtility& utility_;
  platform::Ports& ports_;
  UpdateRunThreads& threads_;
  MainThreadInfo& info_;
  RunDisplay* display_ = nullptr;

  bool bAllPass_ = true;
  Ending ending_ = Ending::Verdict;
  bool bVersionMismatch_ = false;
  // Why the hubs without a worker were not written, for the report.
  std::wstring leftReason_;
  std::size_t served_ = 0;  // hubs with a worker slot
  // Hubs that already run the image's version: no worker writes them.
  std::array<bool, kMaxWorkers> alreadyLatest_{};
};

}  // namespace hbx::update
