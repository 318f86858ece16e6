#pragma once
// One hub's worker: register preparation, the per-hub gates, the
// configuration table into both images and the firmware into image 0, then,
// when the settings ask for it, the processor reset at the hub's turn and the
// check of the version it comes back with. Or, in export mode, the export of
// the hub's ROM.
#include <cstdint>
#include <string>

#include "base/run/exit_code.h"
#include "update/thread_info.h"

namespace hbx {
class CHubUtility;
class UpdateRunThreads;
class RunDialog;
struct DeviceListEntry;
namespace platform {
struct Ports;
}
}  // namespace hbx

namespace hbx::update {

class RunDisplay;

class HubWorker {
 public:
  HubWorker(RunDialog& dialog, CHubUtility& utility, platform::Ports& ports,
            const UpdateRunThreads& threads, ChildThreadInfo& slot);
  // The whole worker; returns 1.
  int run();
  // Ends the worker after an exception: red bar, finished.
  void abnormalEnd(std::uint32_t error);

 private:
  // NotTarget: a hub of another chip type, left untouched and not reported
  // as updated.
  enum class Outcome { Success, Failure, End, NotTarget };

  Outcome work();
  Outcome checkVersion();
  Outcome updateSection();
  Outcome updateHub();
  bool bChipRevisionAllowed();
  void readConfigTable();
  Outcome waitForResetTurn();
  void resetHub();
  Outcome reloadAndVerify();
  // A stop request or the run's time-out ended the wait for the reset turn,
  // or for the hub's return.
  Outcome stopBeforeReset();
  Outcome stopBeforeReload();
  Outcome exportRom();
  void prepareRegisters();
  void finish(Outcome outcome);
  // One step of the hub's writes, timed as a phase of the run's report.
  template <typename Action>
  bool step(const char* phase, Action action);
  // Why the hub failed, and the run's code for it, for the report.
  void failure(const std::wstring& reason, ExitCode code = ExitCode::kFailed);
  void reportEnd(Outcome outcome, bool success);

  // A wait of the worker; false when the run was cancelled.
  bool pause(std::uint32_t ms);
  // After a stop request or the run's time-out no hub begins its writes:
  // true (and the hub failed as not written) once that holds.
  bool bWritesClosed();
  // "the run was stopped" or "the run timed out", for the hub's reason.
  std::wstring stopCause() const;
  bool cancelled() const;
  std::int64_t nowSeconds();
  int countSlots(std::size_t slots, std::uint8_t a, std::uint8_t b, std::uint8_t c) const;

  RunDialog& dialog_;
  CHubUtility& utility_;
  platform::Ports& ports_;
  const UpdateRunThreads& threads_;
  ChildThreadInfo& slot_;
  DeviceListEntry& dev_;
  std::uint8_t i_;
  std::uint8_t bResult_ = 1;
  std::uint8_t longWait_ = 0;
  int iRetry_ = 0;
  std::wstring resultText_;
  std::wstring reason_;
  int code_ = -1;
  // The hub's first erase was sent / its writes read back equal.
  bool touched_ = false;
  bool readBack_ = false;
};

}  // namespace hbx::update
