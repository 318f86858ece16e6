#pragma once
// The run's report as one JSON document (docs/run-report.schema.json).
#include <cstdint>
#include <string>

#include "update/run_report.h"

namespace hbx::app {

// How the run ended, as the report states it beside the recorded facts.
struct ReportEnding {
  std::string mode;  // "update", "check", "export", "version-file", "serial-comparison", "help"
  int exitCode = 0;
  std::int64_t endSeconds = 0;
  std::wstring traceFile;  // the trace the run wrote; empty: none, and no "trace" field
};

// "YYYY-MM-DDThh:mm:ssZ" of seconds since 1970-01-01 UTC.
std::string strUtcTime(std::int64_t seconds);
// What an exit code of a run of `mode` tells a script.
const char* exitCodeMeaning(int exitCode, const std::string& mode);
std::string strRunReportJson(const report::RunFacts& facts, const ReportEnding& ending);

}  // namespace hbx::app
