#include "update/run_report.h"

#include "hub/device/hub_records.h"
#include "platform/clock.h"

namespace hbx::report {

HubRecord hubRecordOf(const DeviceListEntry& dev, int index) {
  HubRecord hub;
  hub.index = index;
  hub.rootHub = dev.m_strRootHubName;
  hub.portChain = dev.m_PortChain;
  hub.vid = dev.m_strVID;
  hub.pid30 = dev.m_strPID30;
  hub.pid20 = dev.m_strPID20;
  hub.serial = dev.m_strSN;
  hub.chipType = dev.m_ucChipType;
  hub.versionBefore = dev.m_strFWVersion;
  return hub;
}

void RunRecorder::request(const std::wstring& file, const std::wstring& commandLine) {
  std::lock_guard<std::mutex> lock(mutex_);
  requested_ = true;
  file_ = file;
  facts_.commandLine = commandLine;
  facts_.startSeconds = clock_.calendarSeconds();
}

std::int64_t RunRecorder::now() const {
  if (!requested_) return 0;
  const std::int64_t frequency = clock_.performanceFrequency();
  return frequency > 0 ? clock_.performanceCounter() * 1000 / frequency : 0;
}

void RunRecorder::source(const SourceRecord& source) {
  std::lock_guard<std::mutex> lock(mutex_);
  facts_.source = source;
}

void RunRecorder::scanned(std::int64_t startMs) {
  const std::int64_t end = now();
  std::lock_guard<std::mutex> lock(mutex_);
  facts_.scanMs = end - startMs;
}

void RunRecorder::hubFound(const HubRecord& hub) {
  std::lock_guard<std::mutex> lock(mutex_);
  facts_.hubs.push_back(hub);
  if (facts_.scanMs >= 0) facts_.hubs.back().phases.push_back({"scan", facts_.scanMs, true});
}

HubRecord* RunRecorder::hub(int index) {
  for (HubRecord& hub : facts_.hubs)
    if (hub.index == index) return &hub;
  return nullptr;
}

void RunRecorder::phase(int index, const char* name, std::int64_t startMs, bool ok) {
  const std::int64_t end = now();
  std::lock_guard<std::mutex> lock(mutex_);
  if (HubRecord* h = hub(index)) h->phases.push_back({name, end - startMs, ok});
}

void RunRecorder::hubEnded(int index, const std::string& result, int code, const std::wstring& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  HubRecord* h = hub(index);
  if (h == nullptr || !h->result.empty()) return;
  h->result = result;
  h->code = code;
  h->reason = reason;
}

void RunRecorder::versionAfter(int index, VersionAfter from, const std::wstring& version) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (HubRecord* h = hub(index)) {
    h->versionAfterFrom = from;
    h->versionAfter = version;
  }
}

void RunRecorder::hubsLeft(const std::string& result, const std::wstring& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (HubRecord& h : facts_.hubs) {
    if (!h.result.empty()) continue;
    h.result = result;
    h.reason = reason;
    // A hub no worker touched holds what it held.
    if (h.versionAfterFrom == VersionAfter::Unknown && h.phases.size() <= 1) {
      h.versionAfterFrom = VersionAfter::Untouched;
      h.versionAfter = h.versionBefore;
    }
  }
}

void RunRecorder::hostChange(const std::string& change, const std::wstring& subject, bool ok) {
  std::lock_guard<std::mutex> lock(mutex_);
  facts_.hostChanges.push_back({change, subject, ok});
}

RunFacts RunRecorder::facts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return facts_;
}

}  // namespace hbx::report
