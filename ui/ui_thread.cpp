#include "ui/ui_thread.h"

namespace hbx::ui {

UiThread::UiThread() : thread_([this] { run(); }) {}

UiThread::~UiThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void UiThread::invoke(const std::function<void()>& work) {
  if (onUiThread()) {
    work();
    return;
  }
  Call call{&work};
  std::unique_lock<std::mutex> lock(mutex_);
  queue_.push_back(&call);
  wake_.notify_all();
  finished_.wait(lock, [&] { return call.done; });
}

void UiThread::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and every caller served
    Call* call = queue_.front();
    queue_.pop_front();
    lock.unlock();
    // A control change must not take the UI thread down: a failing call
    // ends that call only.
    try {
      (*call->work)();
    } catch (...) {
    }
    lock.lock();
    call->done = true;
    finished_.notify_all();
  }
}

}  // namespace hbx::ui
