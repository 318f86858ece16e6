#pragma once
// The signals of the Linux program. SIGINT, SIGTERM, SIGHUP and SIGQUIT ask
// the program to stop: each is counted for the program to poll, as Windows
// counts its console control events. The terminate signal of another tool
// on the bench ends the program at once with the exit code it carries, as
// TerminateProcess does. No handler runs for these signals: they are
// blocked in every thread and the watcher's own thread takes them.
#include <atomic>
#include <thread>

namespace hbx::sim {

class SimSystem;

// Blocks the watched signals in the calling thread and in every thread it
// starts afterwards: called first thing in main.
void blockWatchedSignals();

class SignalWatch {
 public:
  explicit SignalWatch(SimSystem& system);
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

 private:
  void run();

  SimSystem& system_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace hbx::sim
