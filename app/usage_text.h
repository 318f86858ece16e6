#pragma once
// The help text shown for "/?" and after a command-line error.
#include <cstdint>
#include <string>

namespace hbx {

// `initCmd` is the command line as received; the "/U" line is left out when
// the settings file's `force disable fwupdate` is non-zero.
std::wstring strUsageText(const std::wstring& initCmd, std::uint8_t forceDisableFwUpdate);

}  // namespace hbx
