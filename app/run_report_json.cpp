#include "app/run_report_json.h"

#include <chrono>

#include <nlohmann/json.hpp>

#include "app/tool_identity.h"
#include "base/log/format.h"
#include "base/run/exit_code.h"
#include "base/text/text_util.h"
#include "base/text/utf.h"
#include "hub/device/hub_records.h"

namespace hbx::app {

namespace {

// Fields keep the order they are written in.
using json = nlohmann::ordered_json;

json textOrNull(const std::wstring& text) { return text.empty() ? json(nullptr) : json(toUtf8(text)); }

const char* versionAfterFrom(report::VersionAfter from) {
  switch (from) {
    case report::VersionAfter::Reloaded: return "reload";
    case report::VersionAfter::ReadBack: return "read-back";
    case report::VersionAfter::Untouched: return "untouched";
    case report::VersionAfter::Unknown: break;
  }
  return "unknown";
}

json sourceJson(const report::SourceRecord& source) {
  if (!source.named) return nullptr;
  return {{"path", toUtf8(source.path)},
          {"kind", source.kind},
          {"version", textOrNull(text::upper(source.version))},
          {"chipType", source.chipType >= 0 ? json(source.chipType) : json(nullptr)},
          {"size", source.size >= 0 ? json(source.size) : json(nullptr)},
          {"sha256", source.sha256.empty() ? json(nullptr) : json(source.sha256)},
          {"refused", !source.refusal.empty()},
          {"refusal", textOrNull(source.refusal)}};
}

json hubJson(const report::HubRecord& hub) {
  json phases = json::array();
  for (const report::PhaseRecord& phase : hub.phases)
    phases.push_back({{"name", phase.name}, {"ms", phase.ms}, {"ok", phase.ok}});
  return {{"index", hub.index},
          {"place", {{"rootHub", toUtf8(hub.rootHub)}, {"ports", hub.portChain}, {"text", toUtf8(strPortChain(hub.portChain))}}},
          {"vid", toUtf8(hub.vid)},
          {"pidUsb3", toUtf8(hub.pid30)},
          {"pidUsb2", toUtf8(hub.pid20)},
          {"serial", toUtf8(hub.serial)},
          {"chip", {{"family", textOrNull(hub.family)}, {"type", hub.chipType}}},
          {"versionBefore", textOrNull(text::upper(hub.versionBefore))},
          {"versionAfter", textOrNull(text::upper(hub.versionAfter))},
          {"versionAfterFrom", versionAfterFrom(hub.versionAfterFrom)},
          {"target", hub.target},
          {"phases", phases},
          {"result", hub.result.empty() ? std::string("not-written") : hub.result},
          {"code", hub.code},
          {"reason", textOrNull(hub.reason)}};
}

}  // namespace

std::string strUtcTime(std::int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds time{std::chrono::seconds(seconds)};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss<std::chrono::seconds> clock{time - day};
  return nformat("%04d-%02u-%02uT%02d:%02d:%02lldZ", static_cast<int>(date.year()),
                 static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                 static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                 static_cast<long long>(clock.seconds().count()));
}

const char* exitCodeMeaning(int exitCode, const std::string& mode) {
  if (exitCode == exitValue(ExitCode::kFailed) && mode == "serial-comparison") return "the two hubs' serial numbers differ, or not exactly two hubs were found";
  if (exitCode == exitValue(ExitCode::kFailed) && mode == "version-file") return "the version file could not be written";
  const std::optional<ExitCodeEntry> entry = findExitCode(exitCode);
  return entry ? entry->meaning : "unknown";
}

std::string strRunReportJson(const report::RunFacts& facts, const ReportEnding& ending) {
  json hubs = json::array();
  for (const report::HubRecord& hub : facts.hubs) hubs.push_back(hubJson(hub));
  json changes = json::array();
  for (const report::HostChange& change : facts.hostChanges)
    changes.push_back({{"change", change.change}, {"subject", toUtf8(change.subject)}, {"ok", change.ok}});
  json document = {{"tool", {{"name", toUtf8(tool::kProgramFileName)}, {"version", toUtf8(tool::kVersion)}}},
                         {"commandLine", toUtf8(facts.commandLine)},
                         {"start", strUtcTime(facts.startSeconds)},
                         {"end", strUtcTime(ending.endSeconds)},
                         {"mode", ending.mode},
                         {"exitCode", ending.exitCode},
                         {"exitMeaning", exitCodeMeaning(ending.exitCode, ending.mode)},
                         // Only an update writes a source; the other modes carry one unused.
                         {"source", ending.mode == "update" ? sourceJson(facts.source) : json(nullptr)},
                         {"hubs", hubs},
                         {"hostChanges", changes}};
  if (!ending.traceFile.empty()) document["trace"] = toUtf8(ending.traceFile);
  return document.dump(2) + "\n";
}

}  // namespace hbx::app
