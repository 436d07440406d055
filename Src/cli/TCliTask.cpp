#include "cli/TCliTask.h"

#include <thread>

#include "cli/ProgressLine.h"
#include "components/CallInMainThread.h"

TCliTask::TCliTask(const TCliArguments &AArgs, TStopSignal &AStop, FILE *AOut)
    : FArgs(AArgs), FStop(AStop), FOut(AOut) {
  FEncoder.OnProgress = [this](TObject *, TProgressInfo *AInfo) { ShowProgress(*AInfo); };
  FEncoder.OnTerminate = [this](TObject *, const TTerminateInfo &AInfo) { Ended(AInfo); };
}

TCliTask::~TCliTask() {
  GlobalLogger()->SetOnLog(nullptr);
}

void TCliTask::ShowPreview(std::function<void()> AProcessEvents) {
  FProcessEvents = std::move(AProcessEvents);
  FEncoder.SetPreviewVideo(true);
  FEncoder.SetPreviewAudio(true);
}

void TCliTask::ShowLog() {
  TFFLogger *logger = GlobalLogger();
  logger->SetLogLevel(llWarning);
  logger->SetLogFlags(LogFlagSkipRepeated);
  logger->SetSynchronous(true); // in order with the progress and before the task's end
  logger->SetTriggerEventInMainThread(false);
  logger->SetOnLog([this](const TObject *ASender, uint32_t, TLogLevel ALevel,
                          const std::string &ALine) { ShowLogLine(ASender, ALevel, ALine); });
}

void TCliTask::ShowLogLine(const TObject *ASender, TLogLevel ALevel, const std::string &ALine) {
  if (ALevel == llQuiet)
    return; // the task's end record, printed with the termination record
  const std::string text = ToolLogLine(ALine, ASender == GlobalLogger());
  std::lock_guard lock(FOutLock);
  // Over the progress line, which the next report writes again below.
  if (FLineWidth > 0)
    std::fprintf(FOut, "\r%*s\r", int(FLineWidth), "");
  std::fprintf(FOut, "%s\n", text.c_str());
  std::fflush(FOut);
  FLineWidth = 0;
}

int TCliTask::Run(const std::string &ALibraryPath) {
  ShowLog();
  if (!FEncoder.AVLibLoaded() && !FEncoder.LoadAVLib(ALibraryPath))
    return Refused(FEncoder.LastErrMsg());
  TInputOptions input;
  input.Options = FArgs.InputOptions;
  const int task = FEncoder.AddTask(FArgs.Input, &input);
  if (task < 0)
    return Refused(FEncoder.LastErrMsg());
  // The engine replaces an existing file (the app asks first); the command line asks for -y,
  // as the ffmpeg tool does.
  FEncoder.FFmpegs(task)->FOverwriteNeedsY = true;
  for (const TCliOutput &out : FArgs.Outputs) {
    TOutputOptions output;
    output.Options = out.Options;
    if (FEncoder.SetOutput(task, out.File, &output) < 0)
      return Refused(FEncoder.LastErrMsg());
  }
  FStarted = std::chrono::steady_clock::now();
  if (FProcessEvents)
    ConvertOnWorker();
  else
    ConvertHere();
  std::fprintf(FOut, "\n%s", TerminationRecord(FTaskEnd).c_str());
  if (FTaskEnd.Exception)
    return 1;
  // A stop signal may end the reading before the task is told to stop.
  return FStop.Requested() ? 130 : FTaskEnd.Finished ? 0 : 1;
}

void TCliTask::ConvertHere() {
  std::thread watcher([this] {
    // The signal goes to the converting thread, ending a read it is blocked in.
    FStop.BlockHere();
    if (!FStop.Wait())
      return;
    // A stop sent before the task converts would end it on another thread while it starts
    // here: it is sent once the task converts, unless the task has ended by then.
    while (!FAllEnded) {
      if (FEncoder.FFmpegs(0)->Converting()) {
        StopOnRequest();
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  FEncoder.Start(0);
  FStop.Release();
  watcher.join();
}

void TCliTask::ConvertOnWorker() {
  FEncoder.Start(1);
  WaitInMainThread([this] { return Done(); });
}

int TCliTask::Refused(const std::string &AMessage) {
  std::fprintf(FOut, "%s\n", AMessage.c_str());
  // An open that Ctrl+C ended is a stop, not a failure.
  return FStop.Requested() ? 130 : 1;
}

void TCliTask::ShowProgress(const TProgressInfo &AInfo) {
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - FStarted).count();
  const std::string line = ProgressLine(AInfo, elapsed);
  std::lock_guard lock(FOutLock);
  // Blanks over what is left of a longer previous line.
  const size_t pad = FLineWidth > line.size() ? FLineWidth - line.size() : 0;
  std::fprintf(FOut, "\r%s%*s", line.c_str(), int(pad), "");
  std::fflush(FOut);
  FLineWidth = line.size();
}

void TCliTask::Ended(const TTerminateInfo &AInfo) {
  if (AInfo.TaskIndex >= 0)
    FTaskEnd = AInfo;
  else
    FAllEnded = true;
}

bool TCliTask::Done() {
  FProcessEvents();
  if (FStop.Requested())
    StopOnRequest();
  return FAllEnded;
}

void TCliTask::StopOnRequest() {
  if (!FStopSent.exchange(true))
    FEncoder.Stop(false);
}
