#pragma once
// Device access on the simulated host: the filter driver's device objects
// (SimDeviceIo, the simulated filter driver of sim/hub/), the USB hub I/O
// controls and SetupAPI over the simulated USB tree (sim/usb/).
#include "platform/device_io.h"
#include "sim/hub/filter_driver.h"
#include "sim/usb/sim_hub_io.h"
#include "sim/usb/sim_setup_api.h"

namespace hbx::sim {

}  // namespace hbx::sim
