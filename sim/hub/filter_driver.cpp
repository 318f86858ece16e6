#include "sim/hub/filter_driver.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "hub/device/filter_protocol.h"
#include "sim/last_error.h"
#include "sim/sim_clock.h"

namespace hbx::sim {

namespace {

constexpr std::uint32_t kSlotMagic = 0x51A7C0DE;

// What a pending request keeps in the caller's OVERLAPPED storage.
struct PendingRequest {
  std::uint32_t magic;
  std::uint32_t error;
  std::uint32_t bytes;
  std::int64_t completesAt;  // simulated ticks; kNever: until it is cancelled
};
constexpr std::int64_t kNever = -1;
constexpr std::uint32_t kOperationAborted = 995;  // ERROR_OPERATION_ABORTED
constexpr std::uint32_t kStuckPollMs = 10;
static_assert(sizeof(PendingRequest) <= sizeof(platform::OverlappedSlot::storage));

}  // namespace

SimDeviceIo::SimDeviceIo(SimClock& clock, hub::HubBench& bench) : clock_(clock), bench_(bench) {}

hub::Ticks SimDeviceIo::now() { return clock_.performanceCounter(); }

platform::OpenResult SimDeviceIo::openDevice(const std::wstring& name, std::uint32_t, std::uint32_t,
                                             std::uint32_t flags) {
  hub::HubChip* chip = nullptr;
  hub::Connection connection = hub::Connection::Usb3;
  {
    std::lock_guard<std::mutex> lock(bench_.mutex());
    if (!bench_.driverInstalled()) return {platform::kInvalidHandle, hub::simerr::kFileNotFound};
    chip = bench_.findObject(name, connection);
    if (chip == nullptr) return {platform::kInvalidHandle, hub::simerr::kFileNotFound};
    hub::HubBench::Access access(bench_, *chip);  // whether it has power is kept with the hub
    if (!chip->present(now())) return {platform::kInvalidHandle, hub::simerr::kFileNotFound};
    if (chip->faults().openError != 0) return {platform::kInvalidHandle, chip->faults().openError};
  }
  std::lock_guard<std::mutex> lock(handlesMutex_);
  const platform::OsHandle handle = nextHandle_++;
  handles_[handle] = OpenObject{chip, connection, (flags & platform::fileflag::kOverlapped) != 0, false};
  return {handle, 0};
}

platform::OsHandle SimDeviceIo::createEvent(bool, bool initialState) {
  if (eventsFail_) {
    setThreadLastError(platform::err::kNotEnoughMemory);
    return platform::kNullHandle;
  }
  std::lock_guard<std::mutex> lock(handlesMutex_);
  const platform::OsHandle handle = nextHandle_++;
  OpenObject event;
  event.isEvent = true;
  event.initiallySet = initialState;
  handles_[handle] = event;
  return handle;
}

platform::IoctlStart SimDeviceIo::deviceIoControl(platform::OsHandle device, std::uint32_t code,
                                                  const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                                                  std::uint32_t outLength, platform::OsHandle event,
                                                  platform::OverlappedSlot& slot) {
  OpenObject object;
  {
    std::lock_guard<std::mutex> lock(handlesMutex_);
    const auto found = handles_.find(device);
    const auto ev = handles_.find(event);
    if (found == handles_.end() || found->second.isEvent) return {false, 6};  // ERROR_INVALID_HANDLE
    // The driver completes asynchronously: without an overlapped handle and an
    // event the request could not be waited for.
    if (!found->second.overlapped || ev == handles_.end() || !ev->second.isEvent) return {false, hub::simerr::kInvalidParameter};
    object = found->second;
  }
  std::lock_guard<std::mutex> lock(bench_.mutex());
  const hub::Ticks start = now();
  hub::Reply reply;
  {
    hub::HubBench::Access access(bench_, *object.chip);
    reply = object.chip->request(object.connection, code, in, inLength, out, outLength, start);
  }
  if (bench_.tracing()) {
    hub::TraceEntry entry;
    entry.hub = object.chip->config().name;
    entry.connection = object.connection;
    entry.code = code;
    for (std::size_t i = 0; i < 6 && in != nullptr && 4 * i + 4 <= inLength; ++i) entry.words[i] = filter::getU32(in + 4 * i);
    entry.inLength = inLength;
    entry.payloadLength = inLength > filter::kHeaderSize ? inLength - filter::kHeaderSize : 0;
    if (entry.payloadLength > 0) entry.payload.assign(in + filter::kHeaderSize, in + inLength);
    entry.outLength = outLength;
    entry.error = reply.error;
    entry.replyBytes = reply.bytes;
    bench_.record(std::move(entry));
  }
  // Another program renames a file over another (the source of the run,
  // say) while the run goes on.
  if (reply.renameFiles) {
    std::error_code ec;
    std::filesystem::rename(object.chip->config().faults.renameFrom, object.chip->config().faults.renameTo, ec);
  }
  // A kill as from outside: no handler, no clean-up; the flash and the hub's
  // running state are already stored and the hub's lock released.
  if (reply.killProgram) ::raise(SIGKILL);
  if (reply.immediate) return {false, reply.error};
  if (reply.stuck) {
    std::lock_guard<std::mutex> handlesLock(handlesMutex_);
    cancelled_.erase(device);
  }
  const PendingRequest pending{kSlotMagic, reply.error, reply.bytes,
                               reply.stuck ? kNever : start + static_cast<hub::Ticks>(object.chip->config().requestMicros) * 10};
  std::memcpy(slot.storage, &pending, sizeof pending);
  {
    std::lock_guard<std::mutex> handlesLock(handlesMutex_);
    const auto ev = handles_.find(event);
    if (ev != handles_.end()) {
      ev->second.carriesRequest = true;
      ev->second.requestDevice = device;
      ev->second.completesAt = pending.completesAt;
    }
  }
  return {false, platform::err::kIoPending};
}

std::uint32_t SimDeviceIo::waitForEvent(platform::OsHandle event, std::uint32_t ms) {
  OpenObject object;
  {
    std::lock_guard<std::mutex> lock(handlesMutex_);
    const auto found = handles_.find(event);
    if (found == handles_.end() || !found->second.isEvent) return platform::wait::kFailed;
    object = found->second;
  }
  const hub::Ticks ticksPerMs = clock_.performanceFrequency() / 1000;
  const hub::Ticks deadline = now() + static_cast<hub::Ticks>(ms) * ticksPerMs;
  if (!object.carriesRequest && object.initiallySet) return platform::wait::kObject0;
  if (!object.carriesRequest) {
    clock_.waitUntil(deadline);
    return platform::wait::kTimeout;
  }
  if (object.completesAt != kNever) {
    clock_.waitUntil(std::min(object.completesAt, deadline));
    return object.completesAt <= deadline ? platform::wait::kObject0 : platform::wait::kTimeout;
  }
  // A stuck request: polled like its GetOverlappedResult, never past the limit.
  while (!cancelled(object.requestDevice)) {
    const hub::Ticks left = deadline - now();
    if (left <= 0) return platform::wait::kTimeout;
    clock_.sleepMs(static_cast<std::uint32_t>(std::min<hub::Ticks>(kStuckPollMs, (left + ticksPerMs - 1) / ticksPerMs)));
  }
  return platform::wait::kObject0;
}

bool SimDeviceIo::getOverlappedResult(platform::OsHandle device, platform::OverlappedSlot& slot, std::uint32_t& bytes,
                                      std::uint32_t& error) {
  PendingRequest pending;
  std::memcpy(&pending, slot.storage, sizeof pending);
  if (pending.magic != kSlotMagic) {
    error = hub::simerr::kInvalidParameter;
    return false;
  }
  std::memset(slot.storage, 0, sizeof pending);
  if (pending.completesAt == kNever) {
    // A stuck request ends only when its handle's I/O is cancelled or the
    // handle is closed.
    while (!cancelled(device)) clock_.sleepMs(kStuckPollMs);
    bytes = 0;
    error = kOperationAborted;
    return false;
  }
  // Wait for the completion time on the simulated clock (scaled like every wait).
  clock_.waitUntil(pending.completesAt);
  bytes = pending.bytes;
  error = pending.error;
  return pending.error == 0;
}

void SimDeviceIo::closeHandle(platform::OsHandle handle) {
  std::lock_guard<std::mutex> lock(handlesMutex_);
  handles_.erase(handle);
  cancelled_.erase(handle);
}

void SimDeviceIo::cancelIo(platform::OsHandle device) {
  std::lock_guard<std::mutex> lock(handlesMutex_);
  if (handles_.count(device)) cancelled_.insert(device);
}

bool SimDeviceIo::cancelled(platform::OsHandle device) {
  std::lock_guard<std::mutex> lock(handlesMutex_);
  return cancelled_.count(device) != 0 || handles_.count(device) == 0;
}

std::size_t SimDeviceIo::openHandles() {
  std::lock_guard<std::mutex> lock(handlesMutex_);
  return handles_.size();
}

}  // namespace hbx::sim
