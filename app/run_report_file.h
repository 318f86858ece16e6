#pragma once
// The report file "/REPORT <file>" asks for, written when the run has ended.
#include <string>

#include "platform/ports.h"

namespace hbx {
class RunDialog;
}

namespace hbx::app {

// Writes `text` to `path` whole or not at all: into a file beside it first,
// then renamed over it. False with the system error.
bool bWriteFileAtomically(platform::FilePort& files, const std::wstring& path, const std::string& text,
                          std::uint32_t& error);

// The report of the run `dialog` holds, when one was asked for. A report that
// cannot be written is said on standard error; the run's code stays.
// `traceFile`: the trace the run wrote ("/TRACE"), empty when none.
void vWriteRunReport(platform::Ports ports, const RunDialog& dialog, int exitCode,
                     const std::wstring& traceFile = std::wstring());

}  // namespace hbx::app
