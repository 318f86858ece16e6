#include "win32/win32_host.h"

namespace hbx::win32 {

platform::Ports ports() {
  return platform::Ports{deviceIoPort(), hubIoPort(),  setupApiPort(), registryPort(),
                         processPort(),  systemPort(), filePort(),     payloadPort(),
                         clockPort(),    windowPort(),   digestPort()};
}

}  // namespace hbx::win32
