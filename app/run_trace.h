#pragma once
// "/TRACE <file>": the run's device conversation recorded into a file
// (docs/trace.md). The option is taken out of the line before the program
// sees it, so the run is the one it would be without it.
#include <optional>
#include <string>

#include "platform/system.h"
#include "trace/trace_writer.h"

namespace hbx {
class CHubUtility;
}

namespace hbx::app {

// The file of "/TRACE <file>" taken out of `line`; empty when the option has
// no file; nothing without the option.
std::optional<std::wstring> takeTraceFile(std::wstring& line);

// Opens the trace file once the program folder is current. Refuses a
// missing name and a file the run reads or asks for (the program, the
// firmware file, the report), and a file that cannot be written: each with
// an error line on standard error and the command line's error code (the
// run does not start). 0 when the trace runs.
int nStartTrace(trace::TraceWriter& writer, const CHubUtility& utility, platform::SystemPort& system,
                const std::wstring& line, const std::wstring& file);

}  // namespace hbx::app
