#include "cli/TCliBatch.h"

#include <algorithm>
#include <filesystem>

#include "cli/ProgressLine.h"
#include "components/CallInMainThread.h"

namespace fs = std::filesystem;

TCliBatch::TCliBatch(const TBatchArguments &AArgs, TStopSignal &AStop, FILE *AReport,
                     FILE *AMessages)
    : FArgs(AArgs), FStop(AStop), FReport(AReport), FMessages(AMessages) {}

TCliBatch::~TCliBatch() {
  GlobalLogger()->SetOnLog(nullptr);
}

void TCliBatch::ShowLog() {
  TFFLogger *logger = GlobalLogger();
  logger->SetLogLevel(llWarning);
  logger->SetLogFlags(LogFlagSkipRepeated);
  logger->SetSynchronous(true);
  logger->SetTriggerEventInMainThread(false);
  logger->SetOnLog([this](const TObject *ASender, uint32_t, TLogLevel ALevel,
                          const std::string &ALine) { ShowLogLine(ASender, ALevel, ALine); });
}

void TCliBatch::ShowLogLine(const TObject *ASender, TLogLevel ALevel, const std::string &ALine) {
  if (ALevel == llQuiet)
    return; // a task's end record: the file's report says it
  std::lock_guard lock(FOutLock);
  const auto named = FLogNames.find(ASender);
  const std::string text = ToolLogLine(ALine, ASender == GlobalLogger());
  if (named != FLogNames.end())
    std::fprintf(FMessages, "%s: %s\n", named->second.c_str(), text.c_str());
  else
    std::fprintf(FMessages, "%s\n", text.c_str());
  std::fflush(FMessages);
}

int TCliBatch::Run(const std::string &ALibraryPath) {
  for (const std::string &input : FArgs.Inputs)
    FFiles.push_back({input, {}, TBatchState::Skipped, -1, 0, {}});
  FNamer = std::make_unique<TOutputNamer>(FArgs.Folder, FArgs.Pattern, FArgs.Inputs);
  ShowLog();
  std::error_code error;
  fs::create_directories(FArgs.Folder, error);
  TFFEncoder loader;
  if (error || (!loader.AVLibLoaded() && !loader.LoadAVLib(ALibraryPath))) {
    std::fprintf(FMessages, "%s\n",
                 error ? (FArgs.Folder + ": " + error.message()).c_str()
                       : loader.LastErrMsg().c_str());
    return 1;
  }
  for (int i = 0; i < FArgs.Jobs; i++)
    FSlots.push_back(std::make_unique<TSlot>());
  for (auto &slot : FSlots)
    StartNext(*slot);
  while (Busy()) {
    WaitInMainThread([this] { return (FStop.Requested() && !FStopSent) || AnyEnded(); });
    if (FStop.Requested())
      StopAll();
    for (auto &slot : FSlots)
      if (slot->Ended) {
        Collect(*slot);
        StartNext(*slot);
      }
  }
  for (size_t i = FNextFile; i < FFiles.size(); i++)
    Report(FFiles[i]); // left out by a stop
  return ExitStatus();
}

void TCliBatch::StartNext(TSlot &ASlot) {
  while (!FStop.Requested() && FNextFile < FFiles.size()) {
    const int file = int(FNextFile++);
    if (!Open(ASlot, file))
      continue;
    ASlot.Started = std::chrono::steady_clock::now();
    FFiles[file].State = TBatchState::Running;
    Report(FFiles[file]);
    ASlot.Encoder.Start(1);
    return;
  }
}

bool TCliBatch::Open(TSlot &ASlot, int AFile) {
  TBatchFile &file = FFiles[AFile];
  file.Output = FNamer->Next(file.Input);
  std::error_code error;
  fs::create_directories(fs::path(file.Output).parent_path(), error);
  TFFEncoder &encoder = ASlot.Encoder;
  encoder.OnProgress = [this, &ASlot](TObject *, TProgressInfo *AInfo) { Progress(ASlot, *AInfo); };
  encoder.OnTerminate = [&ASlot](TObject *, const TTerminateInfo &AInfo) {
    if (AInfo.TaskIndex >= 0)
      ASlot.TaskEnd = AInfo;
    else
      ASlot.Ended = true;
  };
  ASlot.File = AFile;
  TInputOptions input;
  input.Options = FArgs.InputOptions;
  const int task = encoder.AddTask(file.Input, &input);
  if (task < 0) {
    Refused(ASlot, AFile, encoder.LastErrMsg());
    return false;
  }
  {
    std::lock_guard lock(FOutLock);
    FLogNames[encoder.FFmpegs(task)] = file.Input;
  }
  // As in the single-file form, an existing output is replaced only with -y.
  encoder.FFmpegs(task)->FOverwriteNeedsY = true;
  TOutputOptions output;
  output.Options = FArgs.OutputOptions;
  if (encoder.SetOutput(task, file.Output, &output) < 0) {
    Refused(ASlot, AFile, encoder.LastErrMsg());
    return false;
  }
  return true;
}

void TCliBatch::Refused(TSlot &ASlot, int AFile, const std::string &AReason) {
  TBatchFile &file = FFiles[AFile];
  // An open that Ctrl+C ended is a stop, not a failure.
  file.State = FStop.Requested() ? TBatchState::Stopped : TBatchState::Failed;
  file.Error = AReason;
  Release(ASlot);
  Report(file);
}

void TCliBatch::Progress(TSlot &ASlot, const TProgressInfo &AInfo) {
  TBatchFile &file = FFiles[ASlot.File];
  if (AInfo.TotalDuration > 0)
    file.Percent =
        std::clamp(100.0 * double(AInfo.CurrentDuration) / double(AInfo.TotalDuration), 0.0, 100.0);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - ASlot.Started).count();
  if (elapsed > 0)
    file.Speed = double(AInfo.CurrentDuration) / 1e6 / elapsed;
  if (FArgs.Json)
    Report(file);
}

void TCliBatch::Collect(TSlot &ASlot) {
  TBatchFile &file = FFiles[ASlot.File];
  const TTerminateInfo &end = ASlot.TaskEnd;
  file.State = end.Exception                        ? TBatchState::Failed
               : FStop.Requested() || !end.Finished ? TBatchState::Stopped
                                                    : TBatchState::Finished;
  file.Error = end.ExceptionMsg;
  if (file.State == TBatchState::Finished)
    file.Percent = 100;
  Release(ASlot);
  Report(file);
}

void TCliBatch::Release(TSlot &ASlot) {
  {
    std::lock_guard lock(FOutLock);
    for (int i = 0; i < ASlot.Encoder.TasksCount(); i++)
      FLogNames.erase(ASlot.Encoder.FFmpegs(i));
  }
  ASlot.Encoder.ClearTasks();
  ASlot.File = -1;
  ASlot.Ended = false;
  ASlot.TaskEnd = {};
}

bool TCliBatch::Busy() const {
  return std::any_of(FSlots.begin(), FSlots.end(), [](const auto &s) { return s->File >= 0; });
}

bool TCliBatch::AnyEnded() const {
  return std::any_of(FSlots.begin(), FSlots.end(), [](const auto &s) { return s->Ended; });
}

void TCliBatch::StopAll() {
  if (FStopSent)
    return;
  FStopSent = true;
  for (auto &slot : FSlots)
    if (slot->File >= 0)
      slot->Encoder.Stop(false);
}

void TCliBatch::Report(const TBatchFile &AFile) {
  std::lock_guard lock(FOutLock);
  if (FArgs.Json) {
    std::fprintf(FReport, "%s\n", JsonLine(AFile).c_str());
    std::fflush(FReport);
  } else {
    const int number = int(&AFile - FFiles.data()) + 1;
    std::fprintf(FMessages, "%s\n", TextLine(AFile, number, int(FFiles.size())).c_str());
    std::fflush(FMessages);
  }
}

int TCliBatch::ExitStatus() const {
  if (FStop.Requested())
    return 130;
  const bool all = std::all_of(FFiles.begin(), FFiles.end(), [](const TBatchFile &f) {
    return f.State == TBatchState::Finished;
  });
  return all ? 0 : 1;
}
