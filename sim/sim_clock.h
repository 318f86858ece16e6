#pragma once
// The simulated clock. Every wait is scaled by the time scale (HBX_TIME_SCALE)
// and the counters report virtual time, so a scaled run measures the waits it
// asked for: a 5000 ms sleep at scale 0.001 takes 5 ms and the performance
// counter advances by 5 s. A scaled clock follows the wall clock, so a
// scheduling stall of the machine shows as (scaled up) time.
//
// Scale 0 is virtual time (sim/virtual_time.h): no real waits, and time
// passes only while every thread of the process waits, so no stall ever
// becomes time the program or a device sees.
#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/clock.h"

namespace hbx::sim {

class VirtualTime;

class SimClock : public platform::ClockPort {
 public:
  explicit SimClock(double timeScale = 1.0);
  ~SimClock() override;

  void sleepMs(std::uint32_t ms) override;
  std::int64_t performanceCounter() override;
  std::int64_t performanceFrequency() override;
  std::int64_t calendarSeconds() override;

  double timeScale() const { return scale_; }
  // Virtual milliseconds since the clock was made.
  std::int64_t virtualMs();

  // Waits until the performance counter reaches `counter` (a device
  // completion), scaled like every wait.
  void waitUntil(std::int64_t counter);

  // Parses HBX_TIME_SCALE: a decimal factor from 0 (virtual time: no real
  // waits, time passes only while every thread waits) up to 1e6; anything
  // else gives 1.
  static double scaleFromText(const char* text);

 private:
  std::int64_t realTicks() const;

  double scale_;
  std::unique_ptr<VirtualTime> virtual_;  // scale 0 only
  std::chrono::steady_clock::time_point start_;
  std::int64_t calendarStart_;
};

}  // namespace hbx::sim
