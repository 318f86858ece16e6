#pragma once
// The simulated clock. Every wait is scaled by the time scale (HBX_TIME_SCALE)
// and the counters report virtual time, so a scaled run measures the waits it
// asked for: a 5000 ms sleep at scale 0.001 takes 5 ms and the performance
// counter advances by 5 s.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace hbx::sim {

class SimClock : public platform::ClockPort {
 public:
  explicit SimClock(double timeScale = 1.0);

  void sleepMs(std::uint32_t ms) override;
  std::int64_t performanceCounter() override;
  std::int64_t performanceFrequency() override;
  std::int64_t calendarSeconds() override;

  double timeScale() const { return scale_; }
  // Virtual milliseconds since the clock was made.
  std::int64_t virtualMs();

  // Parses HBX_TIME_SCALE: a decimal factor from 0 (no real waits at all; the
  // virtual clock jumps over every sleep) up to 1e6; anything else gives 1.
  static double scaleFromText(const char* text);

 private:
  std::int64_t realTicks() const;

  double scale_;
  std::atomic<std::int64_t> jumpTicks_{0};  // scale 0: virtual time slept so far
  std::chrono::steady_clock::time_point start_;
  std::int64_t calendarStart_;
};

}  // namespace hbx::sim
