#pragma once
// Time: every wait of the program goes through this port.
#include <cstdint>

namespace hbx::platform {

class ClockPort {
 public:
  virtual ~ClockPort() = default;
  // Sleep(ms).
  virtual void sleepMs(std::uint32_t ms) = 0;
  // QueryPerformanceCounter / QueryPerformanceFrequency.
  virtual std::int64_t performanceCounter() = 0;
  virtual std::int64_t performanceFrequency() = 0;
  // Seconds since 1970-01-01 (time()).
  virtual std::int64_t calendarSeconds() = 0;
};

}  // namespace hbx::platform
