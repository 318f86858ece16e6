#include "update/run_report.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "base/text/text_util.h"
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

namespace {
// The characters after `key` in `name` up to the next "&" or "#".
std::wstring nameField(const std::wstring& name, const wchar_t* key) {
  const std::size_t at = text::upper(name).find(key);
  if (at == std::wstring::npos) return L"----";
  const std::size_t begin = at + std::wcslen(key);
  const std::size_t end = name.find_first_of(L"&#", begin);
  return name.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin);
}
}  // namespace

HubRecord unreadHubRecord(const std::wstring& driverName, const std::wstring& rootHub,
                          const std::vector<std::uint8_t>& portChain, bool usb3) {
  HubRecord hub;
  hub.rootHub = rootHub;
  hub.portChain = portChain;
  // Lower case, as the ids read from a device descriptor are.
  hub.vid = nameField(driverName, L"VID_");
  hub.pid30 = hub.pid20 = L"----";
  (usb3 ? hub.pid30 : hub.pid20) = nameField(driverName, L"PID_");
  for (std::wstring* id : {&hub.vid, &hub.pid30, &hub.pid20})
    for (wchar_t& c : *id) c = static_cast<wchar_t>(std::towlower(c));
  const std::size_t first = driverName.find(L'#');
  const std::size_t second = first == std::wstring::npos ? first : driverName.find(L'#', first + 1);
  const std::size_t third = second == std::wstring::npos ? second : driverName.find(L'#', second + 1);
  hub.serial = third == std::wstring::npos ? L"----" : driverName.substr(second + 1, third - second - 1);
  hub.chipType = kChipTypeUnknown;
  hub.target = true;
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

void RunRecorder::hubUnread(HubRecord hub, const std::wstring& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (HubRecord& other : facts_.hubs) {
    if (!other.unread || hub.serial == L"----" || other.serial != hub.serial || other.vid != hub.vid) continue;
    if (hub.pid30 != L"----") other.pid30 = hub.pid30;
    if (hub.pid20 != L"----") other.pid20 = hub.pid20;
    return;
  }
  int next = 0;
  for (const HubRecord& h : facts_.hubs) next = std::max(next, h.index + 1);
  hub.index = next;
  if (facts_.scanMs >= 0) hub.phases.push_back({"scan", facts_.scanMs, false});
  hub.unread = true;
  hub.result = "failed";
  hub.code = -1;
  hub.reason = reason;
  facts_.hubs.push_back(std::move(hub));
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
