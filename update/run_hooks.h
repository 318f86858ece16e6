#pragma once
// Operations of other subsystems that the update run calls through a seam:
// each hook left empty falls back to the behaviour named with it. Tests set
// them to run a whole update on a device list built from a bench, and the
// subsystems that provide the real operations plug them in here.
#include <cstdint>
#include <functional>
#include <string>

namespace hbx {

struct DeviceList;

struct UpdateRunHooks {
  // Builds the device list of the first scan and returns its result code.
  // Empty: CZeltUSBLib::OpenDev.
  std::function<int(DeviceList* pDevList)> openDevices;
  // Finds a reset hub again at its old position and re-reads its version.
  // Empty: the hub is not found.
  std::function<bool(std::uint8_t ucTargetNumber)> reEnumerateTargetHub;
  // Reads image 0 of a hub (table, then firmware area) into a 0xFF00-byte
  // buffer. Empty: the read fails.
  std::function<bool(std::uint8_t index, std::uint8_t* buffer)> readSpiRom;
  // Removes the device-console tool from the program folder; 0 on success.
  // Empty: nothing to remove.
  std::function<int(const std::wstring& programFolder)> removeDevconFile;
  // Removes the filter driver and its files; leaves the driver folder in
  // `folder` and returns 0 on success. Empty: nothing to remove.
  std::function<int(std::wstring& folder)> removeFilterDriverAndFiles;
};

}  // namespace hbx
