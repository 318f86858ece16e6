#include "hub/device/in_flight_requests.h"

namespace hbx {

bool InFlightRequests::enter(platform::OsHandle device) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) return false;
  ++inFlight_[device];
  return true;
}

void InFlightRequests::leave(platform::OsHandle device) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = inFlight_.find(device);
  if (found != inFlight_.end() && --found->second == 0) inFlight_.erase(found);
}

bool InFlightRequests::cancelled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

void InFlightRequests::cancelAll(platform::DeviceIoPort& io) {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  for (const auto& [device, requests] : inFlight_) io.cancelIo(device);
}

void InFlightRequests::resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = false;
}

InFlightRequests& inFlightRequests() {
  static InFlightRequests requests;
  return requests;
}

}  // namespace hbx
