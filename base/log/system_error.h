#pragma once
// How a log line shows a system error code (a GetLastError value, an
// LSTATUS, the error a port call returned): every line that reports one
// prints it through this function, so the form is decided in one place.
#include <cstdint>
#include <string>

namespace hbx {

// The code as a signed decimal, the way "%d" has always printed it in the
// log ("2", "31", "-536870397" for 0xE0000203); scripts match these texts.
std::wstring systemErrorText(std::uint32_t code);

}  // namespace hbx
