#include "sim/virtual_time.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hbx::sim {

namespace {

// The scheduler state letter of one thread of this process ('R' running or
// runnable, 'S' asleep, 'D' disk wait, ...); 0 when it is gone.
char threadState(const char* tid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%s/stat", tid);
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) return 0;
  char text[512];
  const std::size_t n = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  text[n] = '\0';
  // "tid (name) S ...": the name may hold spaces and brackets.
  const char* close = std::strrchr(text, ')');
  return close != nullptr && close[1] == ' ' ? close[2] : 0;
}

}  // namespace

VirtualTime::VirtualTime() : keeper_([this] { keep(); }) {}

VirtualTime::~VirtualTime() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  keeper_.join();
}

std::int64_t VirtualTime::now() {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

void VirtualTime::sleepTicks(std::int64_t ticks) {
  if (ticks <= 0) {
    std::this_thread::yield();
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  const std::int64_t target = now_ + ticks;
  const auto entry = wakeups_.insert(target);
  ++generation_;
  changed_.notify_all();
  moved_.wait(lock, [&] { return now_ >= target || stopping_; });
  wakeups_.erase(entry);
  if (waking_ > 0) --waking_;
  changed_.notify_all();
}

bool VirtualTime::othersAtRest() const {
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return true;
  bool rest = true;
  while (const dirent* entry = ::readdir(tasks)) {
    if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == keeperTid_) continue;
    const char state = threadState(entry->d_name);
    if (state == 'R' || state == 'D') {
      rest = false;
      break;
    }
  }
  ::closedir(tasks);
  return rest;
}

void VirtualTime::keep() {
  keeperTid_ = static_cast<int>(::syscall(SYS_gettid));
  using RealClock = std::chrono::steady_clock;
  auto busySince = RealClock::now();
  auto pause = std::chrono::microseconds(10);
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (wakeups_.empty() || waking_ > 0) {
      changed_.wait(lock);
      busySince = RealClock::now();
      continue;
    }
    const std::uint64_t seen = generation_;
    lock.unlock();
    // Two looks with a pause between: a thread woken by another between the
    // looks is caught by the second.
    bool rest = othersAtRest();
    if (rest) {
      std::this_thread::yield();
      rest = othersAtRest();
    }
    const bool stalled = RealClock::now() - busySince > std::chrono::milliseconds(kStallLimitMs);
    lock.lock();
    if (stopping_) break;
    if (seen != generation_ || waking_ > 0 || wakeups_.empty()) continue;
    if (!rest && !stalled) {
      // Look again soon, or at once when another thread goes to sleep.
      changed_.wait_for(lock, pause);
      pause = std::min(pause * 2, std::chrono::microseconds(500));
      continue;
    }
    now_ = *wakeups_.begin();
    waking_ = static_cast<int>(std::distance(wakeups_.begin(), wakeups_.upper_bound(now_)));
    ++generation_;
    pause = std::chrono::microseconds(10);
    busySince = RealClock::now();
    moved_.notify_all();
  }
  moved_.notify_all();
}

}  // namespace hbx::sim
