#pragma once
// UiThread: the one thread that owns the dialog's controls. Other threads
// change a control by a synchronous call: the work runs on the UI thread and
// the caller waits until it is done, as SendMessage does.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace hbx::ui {

class UiThread {
 public:
  UiThread();
  ~UiThread();
  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;

  // Runs `work` on the UI thread and returns when it has run. Called on the
  // UI thread itself it runs at once (a window calling itself).
  void invoke(const std::function<void()>& work);
  bool onUiThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  struct Call {
    const std::function<void()>* work;
    bool done = false;
  };
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<Call*> queue_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace hbx::ui
