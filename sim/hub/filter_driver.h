#pragma once
// The simulated filter driver behind the device-I/O port: a device object per
// connection of every powered hub while the driver is installed, requests
// decoded by the hub chip, each completed after the hub's per-request time on
// the simulated clock, and every request recorded in the bench's trace.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/device_io.h"
#include "sim/hub/hub_bench.h"

namespace hbx::sim {

class SimClock;

class SimDeviceIo : public platform::DeviceIoPort {
 public:
  SimDeviceIo(SimClock& clock, hub::HubBench& bench);

  platform::OpenResult openDevice(const std::wstring& name, std::uint32_t desiredAccess, std::uint32_t shareMode,
                                  std::uint32_t flags) override;
  platform::OsHandle createEvent(bool manualReset, bool initialState) override;
  platform::IoctlStart deviceIoControl(platform::OsHandle device, std::uint32_t code, const std::uint8_t* in,
                                       std::uint32_t inLength, std::uint8_t* out, std::uint32_t outLength,
                                       platform::OsHandle event, platform::OverlappedSlot& slot) override;
  // Set when the request that carries the event completes (a stuck one: when
  // its handle's I/O is cancelled or the handle closed); an event no request
  // carried keeps the state it was made with.
  std::uint32_t waitForEvent(platform::OsHandle event, std::uint32_t ms) override;
  bool getOverlappedResult(platform::OsHandle device, platform::OverlappedSlot& slot, std::uint32_t& bytes,
                           std::uint32_t& error) override;
  void closeHandle(platform::OsHandle handle) override;

  // Handles (device objects and events) not closed yet.
  std::size_t openHandles();
  // CancelIo: a request of the handle that is stuck (fault stuckAtRequest)
  // completes with ERROR_OPERATION_ABORTED; closing the handle does too.
  void cancelIo(platform::OsHandle device) override;
  // Makes every CreateEventW fail (the -8 path).
  void setEventCreationFails(bool fails) { eventsFail_ = fails; }
  hub::HubBench& bench() { return bench_; }

 private:
  struct OpenObject {
    hub::HubChip* chip = nullptr;
    hub::Connection connection = hub::Connection::Usb3;
    bool overlapped = false;
    bool isEvent = false;
    // An event: its state when made, and the last request that carried it.
    bool initiallySet = false;
    bool carriesRequest = false;
    platform::OsHandle requestDevice = platform::kNullHandle;
    std::int64_t completesAt = 0;  // simulated ticks; -1: until cancelled
  };

  hub::Ticks now();
  bool cancelled(platform::OsHandle device);

  SimClock& clock_;
  hub::HubBench& bench_;
  std::mutex handlesMutex_;
  std::map<platform::OsHandle, OpenObject> handles_;
  std::set<platform::OsHandle> cancelled_;
  platform::OsHandle nextHandle_ = 0x1000;
  std::atomic<bool> eventsFail_{false};
};

}  // namespace hbx::sim
