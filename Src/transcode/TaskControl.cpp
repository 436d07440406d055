#include "transcode/TaskControl.h"

#include <sys/syscall.h>
#include <unistd.h>

#include "components/CallInMainThread.h"
#include "components/TFFLogger.h"
#include "transcode/TCustomFFmpeg.h"

namespace {

uint64_t CurrentThreadID() {
  return uint64_t(::syscall(SYS_gettid));
}

// Waits until AEvent is set; on the main thread it keeps serving the workers' calls meanwhile.
void WaitServing(TManualResetEvent &AEvent) {
  WaitInMainThread([&AEvent] { return AEvent.WaitFor(20); });
}

} // namespace

TTaskControl::TTaskControl(TCustomFFmpeg &AEngine) : E(AEngine) {}

TTaskControl::~TTaskControl() {
  JoinThreads();
}

void TTaskControl::JoinThreads() {
  for (std::thread *t : {&FConvertThread, &FTerminateThread}) {
    if (!t->joinable())
      continue;
    if (t->get_id() == std::this_thread::get_id())
      t->detach(); // destroyed from its own handler: the body touches no engine state any more
    else
      t->join();
  }
}

bool TTaskControl::OnTaskThread() const {
  return FStarted && FTaskThreadId == std::this_thread::get_id();
}

std::string TTaskControl::FatalMessage() const {
  std::lock_guard<std::mutex> lock(FMessageLock);
  return FFatalMessage;
}

void TTaskControl::RecordFatal(const std::string &AText) {
  Log(&E, llQuiet, "%s", AText.c_str());
  const std::string text = E.ExplainedError(AText);
  std::lock_guard<std::mutex> lock(FMessageLock);
  FFatalMessage = text;
  FFatalException = true;
}

template <class F> void TTaskControl::Protected(F &&AStep) {
  try {
    AStep();
  } catch (const std::exception &e) {
    RecordFatal(e.what());
  } catch (...) {
    RecordFatal("Unknown error");
  }
}

void TTaskControl::StartConvert(bool AUseThread, TThreadPriority APriority) {
  if (FConverting || FTerminated || FTerminateClaimed)
    return;
  if (E.Fnb_output_files() == 0) {
    E.Cleanup();
    const std::string text = "At least one output file must be specified";
    E.FLastErrMsg = text;
    RecordFatal(text);
    NotifyTerminate();
    return;
  }
  FConverting = true;
  E.FBroken = false;
  FFinished = false;
  FTerminated = false;
  FSuspended = 0;
  FPauseTime = 0;
  FTotalPauseTime = 0;
  FStopEvent->Reset(); // before the thread exists, so that a Stop right now waits for it
  if (!AUseThread) {
    FThreadID = CurrentThreadID();
    FTaskThreadId = std::this_thread::get_id();
    FStarted = true;
    Run();
    FStopEvent->Set();
    return;
  }
  FStarted = true;
  std::shared_ptr<TManualResetEvent> stopEvent = FStopEvent;
  FConvertThread = std::thread([this, stopEvent, APriority] {
    FTaskThreadId = std::this_thread::get_id();
    if (!ApplyThreadPriority(APriority))
      Log(&E, llWarning,
          "The task's thread priority could not be set; it runs at the current one.");
    Run();
    stopEvent->Set();
  });
}

void TTaskControl::Run() {
  FThreadID = CurrentThreadID();
  FFinished = false;
  E.ForgetErrors();
  {
    const TErrorReceiverScope receiver(&E);
    Protected([this] {
      if (!E.PrepareTranscode())
        throw FFmpegException(E.FLastErrMsg);
      E.Transcode();
    });
    Protected([this] { E.FinishTranscode(); });
    Protected([this] { E.Cleanup(); });
  }
  Protected([this] { NotifyTerminate(); });
  // The termination handler may have destroyed the engine: nothing below touches it.
  ff::av_log(nullptr, AV_LOG_QUIET, "%s", "");
}

void TTaskControl::NotifyTerminate() {
  if (FTerminateClaimed.exchange(true))
    return;
  FConverting = false;
  FTerminated = true;
  if (E.FOnTerminate)
    E.FOnTerminate(&E);
}

void TTaskControl::Pause() {
  int running = 0;
  if (!FSuspended.compare_exchange_strong(running, 1))
    return;
  FPauseTime = ff::av_gettime_relative();
  FSuspender.Reset();
}

void TTaskControl::Resume() {
  int paused = 1;
  if (!FSuspended.compare_exchange_strong(paused, 0))
    return;
  FTotalPauseTime += ff::av_gettime_relative() - FPauseTime;
  FSuspender.Set();
}

void TTaskControl::Stop(bool AWaitForStop) {
  int paused = 1;
  FSuspended.compare_exchange_strong(paused, 0); // this pause is not added to the total
  E.FBroken = true;
  FSuspender.Set();
  if (!AWaitForStop || !FStarted || OnTaskThread())
    return;
  FSuspended = 0;
  WaitServing(*FStopEvent);
}

void TTaskControl::RequestTerminate(bool AWaitForStop) {
  if (FConverting) {
    Stop(AWaitForStop);
    return;
  }
  if (FTerminated || FTerminateClaimed || FTerminateThread.joinable())
    return;
  FTermEvent->Reset();
  std::shared_ptr<TManualResetEvent> termEvent = FTermEvent;
  FTerminateThread = std::thread([this, termEvent] {
    NotifyTerminate();
    termEvent->Set();
  });
  if (AWaitForStop)
    WaitServing(*FTermEvent);
}
