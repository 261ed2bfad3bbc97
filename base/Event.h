#pragma once
// A manual-reset event: once Set it stays set, waking every waiter, until Reset.
#include <chrono>
#include <condition_variable>
#include <mutex>

class TEvent {
 public:
  explicit TEvent(bool initiallySet = false) : set_(initiallySet) {}
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  void Set() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      set_ = true;
    }
    cv_.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
  }
  bool IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
  }
  // Waits until the event is set or ms milliseconds have passed (a negative ms waits for ever);
  // returns whether it is set.
  bool WaitFor(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ms < 0) {
      cv_.wait(lock, [this] { return set_; });
      return true;
    }
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return set_; });
  }
  // Waits for ever until the event is set.
  void Wait() { WaitFor(-1); }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool set_;
};
