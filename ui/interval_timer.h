#pragma once
// IntervalTimer: a window timer without a window. Once started, a thread of
// its own waits one period through the clock port and runs the tick, again
// and again, until the timer is stopped.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/clock.h"

namespace hbx::ui {

class IntervalTimer {
 public:
  IntervalTimer() = default;
  ~IntervalTimer();
  IntervalTimer(const IntervalTimer&) = delete;
  IntervalTimer& operator=(const IntervalTimer&) = delete;

  // SetTimer: replaces a running timer.
  void start(platform::ClockPort& clock, std::uint32_t periodMs, std::function<void()> tick);
  // KillTimer: no tick starts after this. Waits for a tick in progress,
  // except when called by the tick itself.
  void stop();
  // Only marks the timer as stopped; for code that must not wait (a tick
  // that ends its own timer, or code the tick may be waiting on).
  void cancel() { running_ = false; }
  bool running() const { return running_; }

 private:
  void join();

  std::atomic<bool> running_{false};
  std::mutex threadMutex_;
  std::thread thread_;
};

}  // namespace hbx::ui
