#pragma once
// The real platform's ports, one per platform service.
#include "platform/ports.h"

namespace hbx::win32 {

// The process-wide ports of the Windows host.
platform::Ports ports();

}  // namespace hbx::win32
