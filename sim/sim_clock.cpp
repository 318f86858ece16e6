#include "sim/sim_clock.h"

#include <cstdlib>
#include <ctime>
#include <thread>

namespace hbx::sim {

namespace {
constexpr std::int64_t kFrequency = 10'000'000;  // 100 ns ticks, as Windows reports
}

SimClock::SimClock(double timeScale)
    : scale_(timeScale > 0 ? timeScale : 1.0),
      start_(std::chrono::steady_clock::now()),
      calendarStart_(static_cast<std::int64_t>(std::time(nullptr))) {}

void SimClock::sleepMs(std::uint32_t ms) {
  const double realUs = static_cast<double>(ms) * 1000.0 * scale_;
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(realUs)));
}

std::int64_t SimClock::performanceCounter() {
  const auto real = std::chrono::steady_clock::now() - start_;
  const double realNs = static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(real).count());
  return static_cast<std::int64_t>(realNs / scale_ / 100.0);
}

std::int64_t SimClock::performanceFrequency() { return kFrequency; }

std::int64_t SimClock::virtualMs() { return performanceCounter() / (kFrequency / 1000); }

std::int64_t SimClock::calendarSeconds() { return calendarStart_ + virtualMs() / 1000; }

double SimClock::scaleFromText(const char* text) {
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v > 0) || v > 1e6) return 1.0;
  return v;
}

}  // namespace hbx::sim
