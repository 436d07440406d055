#include "components/CallInMainThread.h"

#include <mutex>
#include <thread>

namespace {
std::mutex DispatcherLock;
TMainThreadDispatcher Dispatcher;
std::thread::id MainThreadId = std::this_thread::get_id();
} // namespace

void SetMainThreadDispatcher(TMainThreadDispatcher dispatcher) {
  std::lock_guard lock(DispatcherLock);
  MainThreadId = std::this_thread::get_id();
  Dispatcher = std::move(dispatcher);
}

bool IsMainThread() { return std::this_thread::get_id() == MainThreadId; }

void CallInMainThread(const std::function<void()> &method) {
  TMainThreadDispatcher d;
  {
    std::lock_guard lock(DispatcherLock);
    d = Dispatcher;
  }
  if (IsMainThread() || !d)
    method();
  else
    d(method);
}
