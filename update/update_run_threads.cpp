#include "update/update_run_threads.h"

#include <utility>

namespace hbx {

UpdateRunThreads::~UpdateRunThreads() { endAll(); }

void UpdateRunThreads::endAll() {
  joinTask();
  cancel_.store(true);
  for (std::thread& worker : workers_)
    if (worker.joinable()) worker.join();
}

bool UpdateRunThreads::startTask(std::function<void()> body) {
  if (taskRunning_.load()) return false;
  if (task_.joinable()) task_.join();
  cancel_.store(false);
  timedOut_.store(false);
  taskRunning_.store(true);
  task_ = std::thread([this, body = std::move(body)] {
    body();
    taskRunning_.store(false);
  });
  return true;
}

void UpdateRunThreads::joinTask() {
  if (task_.joinable() && task_.get_id() != std::this_thread::get_id()) task_.join();
}

void UpdateRunThreads::startWorker(std::size_t slot, std::function<void()> body) {
  if (workers_[slot].joinable()) workers_[slot].join();
  workerRunning_[slot].store(true);
  workers_[slot] = std::thread([this, slot, body = std::move(body)] {
    body();
    workerRunning_[slot].store(false);
  });
}

void UpdateRunThreads::joinWorker(std::size_t slot) {
  if (workers_[slot].joinable()) workers_[slot].join();
}

}  // namespace hbx
