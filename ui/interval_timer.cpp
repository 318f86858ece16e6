#include "ui/interval_timer.h"

namespace hbx::ui {

IntervalTimer::~IntervalTimer() { stop(); }

void IntervalTimer::start(platform::ClockPort& clock, std::uint32_t periodMs, std::function<void()> tick) {
  stop();
  std::lock_guard<std::mutex> lock(threadMutex_);
  running_ = true;
  thread_ = std::thread([this, &clock, periodMs, tick = std::move(tick)] {
    while (running_) {
      clock.sleepMs(periodMs);
      if (!running_) break;
      tick();
    }
  });
}

void IntervalTimer::stop() {
  running_ = false;
  join();
}

void IntervalTimer::join() {
  std::lock_guard<std::mutex> lock(threadMutex_);
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // A tick ending its own timer: the thread ends after this tick and is
    // joined by the next start or the destructor.
    return;
  }
  thread_.join();
}

}  // namespace hbx::ui
