// The virtual clock (time scale 0): time passes only while every thread
// waits, so a thread that runs (or is kept from running) for a long real
// time never turns into simulated time.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sim/sim_clock.h"

namespace {

using hbx::sim::SimClock;

void busyFor(std::chrono::milliseconds real) {
  const auto until = std::chrono::steady_clock::now() + real;
  while (std::chrono::steady_clock::now() < until) {
  }
}

TEST(VirtualTimeTest, TimeStandsStillWhileAnyThreadRuns) {
  // A poller waits in 100 ms steps for a worker that computes for 300 ms of
  // real time without waiting: at most the poller's first step passes. On a
  // wall clock at scale 0.001 the same 300 ms would be five minutes.
  SimClock clock(0);
  std::atomic<bool> done{false};
  std::int64_t seenAt = -1;
  std::thread poller([&] {
    while (!done) clock.sleepMs(100);
    seenAt = clock.virtualMs();
  });
  std::thread worker([&] {
    busyFor(std::chrono::milliseconds(300));
    done = true;
  });
  worker.join();
  poller.join();
  EXPECT_LE(seenAt, 200);
}

TEST(VirtualTimeTest, ConcurrentSleepsOverlapAndWakeInOrder) {
  SimClock clock(0);
  std::vector<std::int64_t> wakes(3, -1);
  std::vector<std::thread> threads;
  const std::uint32_t steps[3] = {500, 300, 1000};
  for (int i = 0; i < 3; ++i) {
    threads.emplace_back([&, i] {
      for (int n = 0; n < 4; ++n) clock.sleepMs(steps[i]);
      wakes[i] = clock.virtualMs();
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wakes[0], 2000);
  EXPECT_EQ(wakes[1], 1200);
  EXPECT_EQ(wakes[2], 4000);
  EXPECT_EQ(clock.virtualMs(), 4000);
}

TEST(VirtualTimeTest, DeviceCompletionsWaitOnTheSameTime) {
  SimClock clock(0);
  const std::int64_t start = clock.performanceCounter();
  clock.waitUntil(start + 1250);  // a 125 us request
  EXPECT_EQ(clock.performanceCounter(), start + 1250);
  clock.waitUntil(start);  // already reached
  EXPECT_EQ(clock.performanceCounter(), start + 1250);
}

}  // namespace
