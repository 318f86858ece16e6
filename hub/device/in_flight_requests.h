#pragma once
// The filter-driver requests in flight, so that a run that must stop can
// cancel them: a request the driver never completes would otherwise hold its
// worker, and with it the whole run, for ever.
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/device_io.h"

namespace hbx {

class InFlightRequests {
 public:
  // Before a request on `device`: false while requests are cancelled, and
  // the request must not be sent.
  bool enter(platform::OsHandle device);
  void leave(platform::OsHandle device);
  // True while requests are cancelled: a request that was sent before the
  // cancel but had not started then is cancelled by its sender.
  bool cancelled() const;

  // Cancels every request in flight (CancelIoEx on its handle) and refuses
  // new ones until resume().
  void cancelAll(platform::DeviceIoPort& io);
  void resume();

 private:
  mutable std::mutex mutex_;
  std::map<platform::OsHandle, int> inFlight_;  // handle -> requests on it
  bool cancelled_ = false;
};

// The process's one set: every request of the hub layer goes through it.
InFlightRequests& inFlightRequests();

}  // namespace hbx
