// TTaskControl: the thread and state model of one task engine. It starts the task body on a
// worker thread (or runs it on the caller's thread), carries the pause, resume and stop requests
// of other threads to the loop's checkpoint, records the fatal error and reports the end of the
// task exactly once.
//
// States: created (FSuspended -1) -> running (0) <-> paused (1) -> terminated (FTerminated).
// Threads: the control calls come from any thread (usually the main thread); Checkpoint and the
// body run on the task's thread. The events are the synchronisation; the flags are atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "components/TEvent.h"
#include "components/ThreadPriority.h"

class TCustomFFmpeg;

class TTaskControl {
public:
  explicit TTaskControl(TCustomFFmpeg &AEngine);
  // Joins the task's threads (a call on the task's own thread lets them finish alone).
  ~TTaskControl();
  TTaskControl(const TTaskControl &) = delete;
  TTaskControl &operator=(const TTaskControl &) = delete;

  void StartConvert(bool AUseThread, TThreadPriority APriority);
  void Pause();
  void Resume();
  void Stop(bool AWaitForStop);
  void RequestTerminate(bool AWaitForStop);
  // The task body: prepare, loop, release, report the end.
  void Run();

  // The loop's pause checkpoint: returns at once unless paused.
  void Checkpoint() { FSuspender.Wait(); }
  int64_t TotalPauseTime() const { return FTotalPauseTime; }
  void ShiftTotalPauseTime(int64_t ADelta) { FTotalPauseTime -= ADelta; }
  void SetFinished(bool AValue) { FFinished = AValue; }

  bool Converting() const { return FConverting; }
  bool Terminated() const { return FTerminated; }
  bool Finished() const { return FFinished; }
  bool FatalException() const { return FFatalException; }
  std::string FatalMessage() const;
  int Suspended() const { return FSuspended; }
  uint64_t ThreadID() const { return FThreadID; }

  // The calling thread is the one running the task.
  bool OnTaskThread() const;

private:
  void RecordFatal(const std::string &AText);
  // Runs AStep; an exception it raises is logged and recorded as the fatal error.
  template <class F> void Protected(F &&AStep);
  void NotifyTerminate();
  void JoinThreads();

  TCustomFFmpeg &E;
  std::atomic<bool> FConverting{false};
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FTerminateClaimed{false}; // the end is reported by exactly one caller
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FFatalException{false};
  std::atomic<bool> FStarted{false};
  std::atomic<int> FSuspended{-1};
  std::atomic<uint64_t> FThreadID{0};
  std::atomic<int64_t> FPauseTime{0};
  std::atomic<int64_t> FTotalPauseTime{0};
  mutable std::mutex FMessageLock;
  std::string FFatalMessage;
  TManualResetEvent FSuspender{true};
  // Shared with the threads so that they can signal after the engine may already be gone.
  std::shared_ptr<TManualResetEvent> FStopEvent = std::make_shared<TManualResetEvent>(true);
  std::shared_ptr<TManualResetEvent> FTermEvent = std::make_shared<TManualResetEvent>(true);
  std::thread FConvertThread;
  std::thread FTerminateThread;
  std::atomic<std::thread::id> FTaskThreadId{};
};
