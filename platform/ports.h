#pragma once
// The set of platform services the program runs on, passed in at start.
#include "platform/clock.h"
#include "platform/device_io.h"
#include "platform/digest.h"
#include "platform/files.h"
#include "platform/hub_io.h"
#include "platform/payloads.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/setup_api.h"
#include "platform/system.h"
#include "platform/windows.h"

namespace hbx::platform {

struct Ports {
  DeviceIoPort& deviceIo;
  HubIoPort& hubIo;
  SetupApiPort& setupApi;
  RegistryPort& registry;
  ProcessPort& processes;
  SystemPort& system;
  FilePort& files;
  PayloadPort& payloads;
  ClockPort& clock;
  WindowPort& windows;
  DigestPort& digest;
};

}  // namespace hbx::platform
