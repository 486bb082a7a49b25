#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// An event that wakes one waiter and then resets itself. Its lock is held only
// for the few instructions of set and of the waiter's check, so the audio
// device's thread may set it.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quavrix {

class AutoResetEvent {
 public:
  void set() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      signalled_ = true;
    }
    cv_.notify_one();
  }
  void reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
  }
  void wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
  }
  // false when the time ran out before the event was set.
  template <class Rep, class Period>
  bool waitFor(std::chrono::duration<Rep, Period> timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace quavrix
