#pragma once
// The real platform's ports, one per platform service. Each lives in its own
// win32_<port>.cpp as one process-wide object.
#include "platform/ports.h"

namespace hbx::win32 {

platform::DeviceIoPort& deviceIoPort();
platform::HubIoPort& hubIoPort();
platform::SetupApiPort& setupApiPort();
platform::RegistryPort& registryPort();
platform::ProcessPort& processPort();
platform::SystemPort& systemPort();
platform::FilePort& filePort();
platform::PayloadPort& payloadPort();
platform::ClockPort& clockPort();
platform::WindowPort& windowPort();
platform::DigestPort& digestPort();

// The process-wide ports of the Windows host.
platform::Ports ports();

}  // namespace hbx::win32
