// A manual-reset event: Set wakes every waiter and stays set until Reset.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class TManualResetEvent {
public:
  explicit TManualResetEvent(bool AInitiallySet) : FSet(AInitiallySet) {}

  void Set() {
    std::lock_guard<std::mutex> lock(FLock);
    FSet = true;
    FChanged.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(FLock);
    FSet = false;
  }
  bool IsSet() {
    std::lock_guard<std::mutex> lock(FLock);
    return FSet;
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FSet; });
  }
  // True when the event was set within AMilliseconds.
  bool WaitFor(int AMilliseconds) {
    std::unique_lock<std::mutex> lock(FLock);
    return FChanged.wait_for(lock, std::chrono::milliseconds(AMilliseconds),
                             [this] { return FSet; });
  }

private:
  std::mutex FLock;
  std::condition_variable FChanged;
  bool FSet;
};
