#include "components/CallInMainThread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace {

struct TPendingCall {
  const std::function<void()> *Method;
  bool Done = false;
  std::exception_ptr Error;
};

// Never destroyed: the logger's shutdown at process end still waits through it.
struct TBridgeState {
  std::mutex DispatcherLock;
  TMainThreadDispatcher Dispatcher;
  std::thread::id MainThreadId = std::this_thread::get_id();
  // Calls queued by workers; the workers own the records and wait for Done.
  std::mutex QueueLock;
  std::condition_variable QueueChanged;
  std::deque<TPendingCall *> Pending;
};

TBridgeState &Bridge() {
  static TBridgeState *state = new TBridgeState;
  return *state;
}

// Binds the bridge (and the main thread id) during static initialisation, on the main thread.
[[maybe_unused]] TBridgeState &InitialBridge = Bridge();

TPendingCall *NextPending(TBridgeState &b) {
  std::lock_guard lock(b.QueueLock);
  if (b.Pending.empty())
    return nullptr;
  TPendingCall *call = b.Pending.front();
  b.Pending.pop_front();
  return call;
}

} // namespace

void SetMainThreadDispatcher(TMainThreadDispatcher dispatcher) {
  TBridgeState &b = Bridge();
  std::lock_guard lock(b.DispatcherLock);
  b.MainThreadId = std::this_thread::get_id();
  b.Dispatcher = std::move(dispatcher);
}

bool IsMainThread() {
  TBridgeState &b = Bridge();
  std::lock_guard lock(b.DispatcherLock);
  return std::this_thread::get_id() == b.MainThreadId;
}

void CallInMainThread(const std::function<void()> &method) {
  TBridgeState &b = Bridge();
  TMainThreadDispatcher dispatcher;
  {
    std::lock_guard lock(b.DispatcherLock);
    if (std::this_thread::get_id() != b.MainThreadId)
      dispatcher = b.Dispatcher;
  }
  if (!dispatcher) {
    method();
    return;
  }
  TPendingCall call{&method, false, nullptr};
  {
    std::lock_guard lock(b.QueueLock);
    b.Pending.push_back(&call);
  }
  b.QueueChanged.notify_all();
  dispatcher([] { ServeMainThreadCalls(); });
  std::unique_lock lock(b.QueueLock);
  b.QueueChanged.wait(lock, [&] { return call.Done; });
  if (call.Error)
    std::rethrow_exception(call.Error);
}

int ServeMainThreadCalls() {
  if (!IsMainThread())
    return 0;
  TBridgeState &b = Bridge();
  int served = 0;
  while (TPendingCall *call = NextPending(b)) {
    try {
      (*call->Method)();
    } catch (...) {
      call->Error = std::current_exception();
    }
    {
      std::lock_guard lock(b.QueueLock);
      call->Done = true;
    }
    b.QueueChanged.notify_all();
    ++served;
  }
  return served;
}

void WaitInMainThread(const std::function<bool()> &done) {
  TBridgeState &b = Bridge();
  const bool serve = IsMainThread();
  while (!done()) {
    if (serve && ServeMainThreadCalls() > 0)
      continue;
    std::unique_lock lock(b.QueueLock);
    b.QueueChanged.wait_for(lock, std::chrono::milliseconds(10),
                            [&] { return serve && !b.Pending.empty(); });
  }
}
