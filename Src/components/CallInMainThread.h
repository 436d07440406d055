// The one bridge from worker threads to the main thread. The application installs a dispatcher
// at start (Qt: a blocking queued call); tests install their own. Called on the main thread, or
// with no dispatcher installed, the method runs directly.
#pragma once

#include <functional>

using TMainThreadDispatcher = std::function<void(const std::function<void()> &)>;

// Marks the calling thread as the main thread and installs the dispatcher (may be empty).
void SetMainThreadDispatcher(TMainThreadDispatcher dispatcher);
bool IsMainThread();
// Runs method on the main thread and waits until it has run.
void CallInMainThread(const std::function<void()> &method);
