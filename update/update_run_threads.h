#pragma once
// The threads of one update run: the main task and one worker per hub. The
// task is joined when the run is waited for (and at the latest when the
// dialog goes); workers are joined by the task once they have ended. No
// thread is ever terminated: a run that must stop sets the cancel flag, which
// every worker checks at its next wait.
#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>

#include "update/thread_info.h"

namespace hbx {

class UpdateRunThreads {
 public:
  UpdateRunThreads() = default;
  ~UpdateRunThreads();
  UpdateRunThreads(const UpdateRunThreads&) = delete;
  UpdateRunThreads& operator=(const UpdateRunThreads&) = delete;

  // Starts the main task; false when one is still running.
  bool startTask(std::function<void()> body);
  bool taskEnded() const { return !taskRunning_.load(); }
  void joinTask();

  void startWorker(std::size_t slot, std::function<void()> body);
  bool workerRunning(std::size_t slot) const { return workerRunning_[slot].load(); }
  // Waits for the worker of `slot` to end.
  void joinWorker(std::size_t slot);

  // Waits for the task, then cancels and joins the workers still running.
  void endAll();

  void cancelWorkers() { cancel_.store(true); }
  bool cancelled() const { return cancel_.load(); }

  // Stop requests (an interrupt, the close box): the first stops the run
  // the write-safe way, no hub starts its writes and each hub's writes in
  // progress are finished; the second ends the run at once (the workers are
  // cancelled, their requests in flight too). Either way the run cleans up as at its end. Kept across runs of
  // the process: a request made before the task starts stops it.
  void requestStop() { stopRequests_.fetch_add(1); }
  bool stopRequested() const { return stopRequests_.load() >= 1; }
  bool stopNowRequested() const { return stopRequests_.load() >= 2; }

  // The run's time-out stops the run the write-safe way too: no hub starts
  // its writes and those in progress are finished. Cleared by each run.
  void timeOut() { timedOut_.store(true); }
  bool timedOut() const { return timedOut_.load(); }
  // No hub may begin its writes any more (a stop request or the time-out).
  bool writesClosed() const { return stopRequested() || timedOut(); }

 private:
  std::thread task_;
  std::atomic<bool> taskRunning_{false};
  std::array<std::thread, kMaxWorkers> workers_;
  std::array<std::atomic<bool>, kMaxWorkers> workerRunning_{};
  std::atomic<bool> cancel_{false};
  std::atomic<bool> timedOut_{false};
  std::atomic<int> stopRequests_{0};
};

}  // namespace hbx
