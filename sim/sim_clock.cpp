#include "sim/sim_clock.h"

#include <cstdlib>
#include <ctime>
#include <thread>

#include "sim/virtual_time.h"

namespace hbx::sim {

namespace {
constexpr std::int64_t kFrequency = 10'000'000;  // 100 ns ticks, as Windows reports
}

SimClock::SimClock(double timeScale)
    : scale_(timeScale >= 0 ? timeScale : 1.0),
      start_(std::chrono::steady_clock::now()),
      calendarStart_(static_cast<std::int64_t>(std::time(nullptr))) {
  if (scale_ == 0) virtual_ = std::make_unique<VirtualTime>();
}

SimClock::~SimClock() = default;

void SimClock::sleepMs(std::uint32_t ms) {
  if (virtual_) {
    virtual_->sleepTicks(static_cast<std::int64_t>(ms) * (kFrequency / 1000));
    return;
  }
  const double realUs = static_cast<double>(ms) * 1000.0 * scale_;
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(realUs)));
}

void SimClock::waitUntil(std::int64_t counter) {
  const std::int64_t remaining = counter - performanceCounter();
  if (remaining <= 0) return;
  if (virtual_) {
    virtual_->sleepTicks(remaining);
    return;
  }
  const double realNs = static_cast<double>(remaining) * 100.0 * scale_;
  std::this_thread::sleep_for(std::chrono::nanoseconds(static_cast<std::int64_t>(realNs)));
}

std::int64_t SimClock::realTicks() const {
  const auto real = std::chrono::steady_clock::now() - start_;
  return std::chrono::duration_cast<std::chrono::nanoseconds>(real).count() / 100;
}

std::int64_t SimClock::performanceCounter() {
  if (virtual_) return virtual_->now();
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
