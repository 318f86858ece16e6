#pragma once
// What a run did, for the machine-readable report that the command line may
// ask for: the firmware source, every hub found with the phases it went
// through and how it ended, and the changes made to the computer. Start-up,
// the main task, the workers and the clean-up feed it as things happen; the
// application writes it at the end. Workers report in parallel: every call
// takes the recorder's lock. Nothing here reads a clock or a file unless the
// report was asked for, so a run without it stays as it was.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace hbx {
struct DeviceListEntry;
namespace platform {
class ClockPort;
}
}  // namespace hbx

namespace hbx::report {

struct PhaseRecord {
  std::string name;
  std::int64_t ms = 0;
  bool ok = false;
};

// Where a hub's version after the run comes from.
enum class VersionAfter { Unknown, Reloaded, ReadBack, Untouched };

struct HubRecord {
  int index = 0;
  std::wstring rootHub;
  std::vector<std::uint8_t> portChain;
  std::wstring vid;
  std::wstring pid30;
  std::wstring pid20;
  std::wstring serial;
  int chipType = 0;
  std::wstring family;  // "HBX773x"; empty when unknown
  std::wstring versionBefore;
  std::wstring versionAfter;
  VersionAfter versionAfterFrom = VersionAfter::Unknown;
  bool target = false;
  std::vector<PhaseRecord> phases;
  // Empty until the hub's end is known; see the schema for the values.
  std::string result;
  int code = 0;
  std::wstring reason;
  bool unread = false;  // the scan matched it but could not read it
};

struct SourceRecord {
  bool named = false;  // a source was chosen (update mode)
  std::wstring path;
  std::string kind;  // "configuration", "firmware", "none"
  std::wstring version;
  int chipType = -1;  // the classification's value (0 to 3, or its error value)
  std::int64_t size = -1;
  std::string sha256;  // lower-case hex, empty when unread
  std::wstring refusal;
};

struct HostChange {
  std::string change;  // "driver-installed", "driver-removed", "power-settings-changed", "power-settings-restored"
  std::wstring subject;
  bool ok = true;
};

struct RunFacts {
  std::wstring commandLine;
  std::int64_t startSeconds = 0;
  std::int64_t scanMs = -1;
  SourceRecord source;
  std::vector<HubRecord> hubs;
  std::vector<HostChange> hostChanges;
};

// The record of a hub as the scan found it.
HubRecord hubRecordOf(const DeviceListEntry& dev, int index);
// The record of a hub the walk matched but could not open or read: what its
// device name tells ("USB#VID_xxxx&PID_xxxx#serial#{...}") and its place.
HubRecord unreadHubRecord(const std::wstring& driverName, const std::wstring& rootHub,
                          const std::vector<std::uint8_t>& portChain, bool usb3);

class RunRecorder {
 public:
  explicit RunRecorder(platform::ClockPort& clock) : clock_(clock) {}

  // The report was asked for with the file it goes to; the run's start.
  void request(const std::wstring& file, const std::wstring& commandLine);
  bool requested() const { return requested_; }
  // No report is written after all.
  void withdraw() { requested_ = false; }
  const std::wstring& file() const { return file_; }

  // Milliseconds of the performance counter (0 when no report is asked for):
  // what a phase's start is taken with.
  std::int64_t now() const;

  void source(const SourceRecord& source);
  void scanned(std::int64_t startMs);
  void hubFound(const HubRecord& hub);
  // A hub the scan could not read: listed after the others, failed (-1).
  // Its other connection, known by vendor id and serial number, joins it.
  void hubUnread(HubRecord hub, const std::wstring& reason);
  // A phase of hub `index` that began at `startMs` (from now()) ends.
  void phase(int index, const char* name, std::int64_t startMs, bool ok);
  // How hub `index` ended; the first end given counts.
  void hubEnded(int index, const std::string& result, int code, const std::wstring& reason);
  void versionAfter(int index, VersionAfter from, const std::wstring& version);
  // Every hub without an end yet ends with `result` for `reason`.
  void hubsLeft(const std::string& result, const std::wstring& reason);
  void hostChange(const std::string& change, const std::wstring& subject, bool ok);

  RunFacts facts() const;

 private:
  HubRecord* hub(int index);

  platform::ClockPort& clock_;
  bool requested_ = false;
  std::wstring file_;
  mutable std::mutex mutex_;
  RunFacts facts_;
};

}  // namespace hbx::report
