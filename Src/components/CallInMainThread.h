// The one bridge from worker threads to the main thread.
//
// A worker calling CallInMainThread queues the method, asks the installed dispatcher to wake
// the main thread, and blocks until the main thread has run the method (an exception thrown by
// the method is re-thrown on the worker). The main thread runs queued methods when its event
// loop runs the function handed to the dispatcher, or whenever it calls ServeMainThreadCalls —
// so a main thread that waits for a worker (WaitInMainThread) keeps serving it and cannot
// dead-lock against it, without spinning the whole event loop.
//
// Called on the main thread, or with no dispatcher installed, the method runs directly.
#pragma once

#include <functional>

// Hands `serve` to the main thread and returns (it may also run it before returning). Qt:
// QMetaObject::invokeMethod(qApp, serve, Qt::QueuedConnection). Called on worker threads.
using TMainThreadDispatcher = std::function<void(const std::function<void()> &serve)>;

// Marks the calling thread as the main thread and installs the dispatcher (may be empty).
void SetMainThreadDispatcher(TMainThreadDispatcher dispatcher);
bool IsMainThread();
// Runs method on the main thread and waits until it has run.
void CallInMainThread(const std::function<void()> &method);

// Main thread: runs every method workers have queued so far; returns how many ran.
// Off the main thread it runs nothing and returns 0.
int ServeMainThreadCalls();
// Waits until done() is true. On the main thread it serves queued calls meanwhile; done() is
// re-checked after each call served and at least every 10 ms.
void WaitInMainThread(const std::function<bool()> &done);
