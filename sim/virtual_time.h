#pragma once
// Virtual time that passes only while every thread of this process waits.
// A sleeping thread registers its wake-up time and blocks; a keeper thread
// moves the time to the earliest wake-up once no other thread can run (each
// thread's state in /proc/self/task is neither running nor in a disk wait,
// seen twice with no new sleeper in between). A thread that is preempted,
// or a machine that stalls, therefore never makes time pass: the program
// measures the waits it asked for and nothing else, and a device time-out
// can only come from the program's own waits.
//
// Safety net: a thread that never blocks (a busy loop outside the program)
// would stop time for good, so after kStallLimitMs of real time without a
// moment of rest the time moves anyway.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>

namespace hbx::sim {

class VirtualTime {
 public:
  static constexpr std::int64_t kStallLimitMs = 2000;

  VirtualTime();
  ~VirtualTime();
  VirtualTime(const VirtualTime&) = delete;
  VirtualTime& operator=(const VirtualTime&) = delete;

  // Ticks (100 ns) since the start.
  std::int64_t now();
  // Blocks the caller until the time has moved `ticks` on (0: returns at once).
  void sleepTicks(std::int64_t ticks);

 private:
  void keep();
  bool othersAtRest() const;

  std::mutex mutex_;
  std::condition_variable changed_;  // the keeper waits on it
  std::condition_variable moved_;    // sleepers wait on it
  std::multiset<std::int64_t> wakeups_;
  std::int64_t now_ = 0;
  std::uint64_t generation_ = 0;  // moves with every new sleeper and every step
  int waking_ = 0;                // sleepers woken that have not run yet
  bool stopping_ = false;
  int keeperTid_ = 0;
  std::thread keeper_;
};

}  // namespace hbx::sim
