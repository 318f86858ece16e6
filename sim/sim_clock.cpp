#include "sim/sim_clock.h"

#include <cstdlib>
#include <ctime>
#include <thread>

namespace hbx::sim {

namespace {
constexpr std::int64_t kFrequency = 10'000'000;  // 100 ns ticks, as Windows reports
}

SimClock::SimClock(double timeScale)
    : scale_(timeScale >= 0 ? timeScale : 1.0),
      start_(std::chrono::steady_clock::now()),
      calendarStart_(static_cast<std::int64_t>(std::time(nullptr))) {}

void SimClock::sleepMs(std::uint32_t ms) {
  if (scale_ == 0) {
    // Scale 0: no real wait; the virtual clock jumps to the sleeper's wake-up
    // time, so devices still see the time pass (concurrent sleeps overlap).
    const std::int64_t target = performanceCounter() + static_cast<std::int64_t>(ms) * (kFrequency / 1000);
    std::int64_t jump = jumpTicks_.load();
    for (;;) {
      const std::int64_t needed = target - realTicks();
      if (needed <= jump || jumpTicks_.compare_exchange_weak(jump, needed)) break;
    }
    return;
  }
  const double realUs = static_cast<double>(ms) * 1000.0 * scale_;
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(realUs)));
}

std::int64_t SimClock::realTicks() const {
  const auto real = std::chrono::steady_clock::now() - start_;
  return std::chrono::duration_cast<std::chrono::nanoseconds>(real).count() / 100;
}

std::int64_t SimClock::performanceCounter() {
  if (scale_ == 0) return realTicks() + jumpTicks_.load();
  return static_cast<std::int64_t>(static_cast<double>(realTicks()) / scale_);
}

std::int64_t SimClock::performanceFrequency() { return kFrequency; }

std::int64_t SimClock::virtualMs() { return performanceCounter() / (kFrequency / 1000); }

std::int64_t SimClock::calendarSeconds() { return calendarStart_ + virtualMs() / 1000; }

double SimClock::scaleFromText(const char* text) {
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v >= 0) || v > 1e6) return 1.0;
  return v;
}

}  // namespace hbx::sim
