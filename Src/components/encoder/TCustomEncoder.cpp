#include "components/encoder/TCustomEncoder.h"

#include <cctype>
#include <stdexcept>

#include "components/CallInMainThread.h"
#include "components/TFFLoader.h"
#include "transcode/common/TextFormat.h"

namespace {

// Runs AOpen between InitOptionsContext and UninitOptionsContext (released whatever happens).
template <typename TOpen> int WithOptionsContext(TFFmpeg &AEngine, TOpen AOpen) {
  TOptionsContext o;
  AEngine.InitOptionsContext(o);
  try {
    const int ret = AOpen(o);
    AEngine.UninitOptionsContext(o);
    return ret;
  } catch (...) {
    AEngine.UninitOptionsContext(o);
    throw;
  }
}

bool SameTextAt(const std::string &AText, size_t APos, const std::string &AWord) {
  if (APos + AWord.size() > AText.size())
    return false;
  for (size_t i = 0; i < AWord.size(); i++)
    if (std::tolower(static_cast<unsigned char>(AText[APos + i])) !=
        std::tolower(static_cast<unsigned char>(AWord[i])))
      return false;
  return true;
}

std::string TrimBlanks(const std::string &s) {
  const char *blanks = " \t\r\n";
  const size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos)
    return {};
  return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

} // namespace

TCustomEncoder::TCustomEncoder() = default;

TCustomEncoder::~TCustomEncoder() {
  FGate->Close();
  {
    std::lock_guard lock(FTaskLock);
    FPendingTasks = 0;
  }
  FFFmpegList.Clear(); // each engine stops its task and waits for it
  FGate->WaitAll();
}

bool TCustomEncoder::AVLibLoaded() const {
  return FFLoader().Loaded(EncoderLibraries);
}

bool TCustomEncoder::LoadAVLib(const std::string &APath) {
  FFLoader().LibraryPath = APath;
  if (FFLoader().Load(EncoderLibraries))
    return true;
  FLastErrMsg = FFLoader().LastErrMsg();
  return false;
}

void TCustomEncoder::CheckNotWorking(const char *AOperation) const {
  if (FWorking)
    throw std::runtime_error(Format("Cannot %s while working.", AOperation));
}

void TCustomEncoder::CopySettings(TFFmpeg &AEngine) const {
  AEngine.FLastErrMsg.clear();
  AEngine.HaltOnInvalidOption = FHaltOnInvalidOption;
  AEngine.FReadTimeout = FReadTimeout;
  AEngine.FWriteTimeout = FWriteTimeout;
  CopyPreviewSettings(AEngine);
}

int TCustomEncoder::AddTask(const std::string &AFileName, TInputOptions *AOptions) {
  if (!AVLibLoaded())
    throw std::runtime_error("FFmpeg libraries not loaded.");
  CheckNotWorking("AddTask");
  auto engine = std::make_shared<TFFmpeg>(this);
  engine->FReportInterval = int64_t(FProgressInterval) * 1000;
  try {
    engine->OptionDef(); // builds the option table
    engine->FOnBeforeFindStreamInfo = [this](TObject *Sender, AVFormatContext *AContext) {
      DoBeforeFindStreamInfo(Sender, AContext);
    };
    RoutePreviewBitmap(*engine);
    CopySettings(*engine);
    const int ret = ReportOpen(*engine, [&] { return OpenInput(*engine, AFileName, AOptions); });
    if (ret < 0)
      return ret;
    TFFmpeg *raw = engine.get();
    engine->FOnProgress = [this, raw](TObject *, int AFileIndex, int AFrameNumber, int AFPS,
                                      float AQuality, float ABitRate, int64_t ACurrentSize,
                                      int64_t ACurrentDuration, int64_t ATotalDuration) {
      DoProgress(raw, AFileIndex, AFrameNumber, AFPS, AQuality, ABitRate, ACurrentSize,
                 ACurrentDuration, ATotalDuration);
    };
    engine->FOnTerminate = [this, raw](TObject *) { DoTerminate(raw); };
    return FFFmpegList.Add(std::move(engine));
  } catch (const std::exception &e) {
    FLastErrMsg = e.what();
    return -1;
  }
}

int TCustomEncoder::OpenInput(TFFmpeg &AEngine, const std::string &AFileName,
                              TInputOptions *AOptions) {
  TInputOptions input;
  if (AOptions) {
    if (AOptions->FileName.empty())
      AOptions->FileName = AFileName;
    input = *AOptions;
  }
  AEngine.FInputOptions.assign(1, input);
  return WithOptionsContext(AEngine, [&](TOptionsContext &o) {
    return AEngine.OpenInputFile(o, input.Options, AFileName, input.Presets);
  });
}

int TCustomEncoder::SetOutput(int ATaskIndex, const std::string &AFileName,
                              TOutputOptions *AOptions) {
  CheckNotWorking("SetOutput");
  const std::shared_ptr<TFFmpeg> engine = FFFmpegList.Get(ATaskIndex);
  if (!engine) {
    FLastErrMsg = Format("The task #%d had been released.", ATaskIndex);
    return -1;
  }
  return ReportOpen(*engine, [&] {
    CopySettings(*engine);
    return OpenOutput(*engine, AFileName, AOptions);
  });
}

int TCustomEncoder::ReportOpen(TFFmpeg &AEngine, const std::function<int()> &AOpen) {
  int ret;
  try {
    ret = AOpen();
  } catch (const std::exception &e) {
    if (AEngine.FLastErrMsg.empty())
      AEngine.FLastErrMsg = e.what();
    ret = -1;
  }
  if (ret < 0)
    FLastErrMsg = AEngine.LastErrMsg();
  return ret;
}

int TCustomEncoder::OpenOutput(TFFmpeg &AEngine, const std::string &AFileName,
                               TOutputOptions *AOptions) {
  const size_t position = AEngine.Fnb_output_files();
  TOutputOptions output;
  if (AOptions) {
    if (AOptions->FileName.empty())
      AOptions->FileName = AFileName;
    output = *AOptions;
    AEngine.SetVideoHookBitsPixel(output.VideoHookBitsPixel);
    RouteHooks(AEngine, output);
  }
  if (AEngine.FOutputOptions.size() <= position)
    AEngine.FOutputOptions.resize(position + 1);
  AEngine.FOutputOptions[position] = output;
  const std::string text = EngineOutputOptions(output.Options);
  int ret;
  try {
    ret = WithOptionsContext(AEngine, [&](TOptionsContext &o) {
      return AEngine.OpenOutputFile(o, text, AFileName, output.Presets);
    });
  } catch (...) {
    AEngine.FOutputOptions[position] = TOutputOptions();
    throw;
  }
  if (ret < 0)
    AEngine.FOutputOptions[position] = TOutputOptions();
  return ret;
}

std::string TCustomEncoder::EngineOutputOptions(const std::string &AOptions) {
  static const char *const Words[] = {"AudioInputHook",  "AudioOutputHook", "VideoInputHook",
                                      "VideoOutputHook", "FrameInputHook",  "FrameOutputHook"};
  std::string text = " " + AOptions + " ";
  for (const char *word : Words) {
    const std::string canonical = std::string(" -") + word + " ";
    // The closing blank of one word may open the next one.
    for (size_t p = 0; p + canonical.size() <= text.size(); p++)
      if (SameTextAt(text, p, canonical)) {
        text.replace(p, canonical.size(), canonical);
        p += canonical.size() - 2;
      }
  }
  return TrimBlanks(text);
}

void TCustomEncoder::RemoveTask(int ATaskIndex) {
  CheckNotWorking("RemoveTask");
  FFFmpegList.Delete(ATaskIndex);
}

void TCustomEncoder::ClearTasks() {
  if (FWorking && !FTerminated)
    throw std::runtime_error("Cannot ClearTasks while working.");
  FFFmpegList.Clear();
  FLastErrMsg.clear();
  {
    std::lock_guard lock(FTaskLock);
    FCompleteTasks = 0;
    FCurrentTask = -1;
    FPendingTasks = 0;
  }
  FTerminated = false;
  FThreadMode = false;
  FWorking = false;
  FPaused = false;
  FStepped = false;
}

void TCustomEncoder::Start(int AThreadCount) {
  CheckNotWorking("StartTask");
  {
    std::lock_guard lock(FTaskLock);
    FCompleteTasks = 0;
    FCurrentTask = 0;
    FPendingTasks = FFFmpegList.Count();
  }
  FTerminated = false;
  FThreadMode = AThreadCount > 0;
  FWorking = true;
  FPaused = false;
  FStepped = false;
  for (int started = 0; !FThreadMode || started < AThreadCount; started++) {
    {
      std::lock_guard lock(FTaskLock);
      if (FPendingTasks <= 0)
        break;
    }
    StartNextTask();
  }
}

void TCustomEncoder::StartNextTask() {
  for (;;) {
    int index;
    std::shared_ptr<TFFmpeg> engine;
    {
      std::lock_guard lock(FTaskLock);
      if (FPendingTasks <= 0)
        return;
      FPendingTasks--;
      index = FCurrentTask++;
      engine = FFFmpegList.Get(index);
    }
    if (!engine)
      continue; // released
    if (OnStart)
      OnStart(this, index);
    engine->StartConvert(FThreadMode, FThreadPriority);
    return;
  }
}

void TCustomEncoder::Pause() {
  if (!FWorking || FPaused || FStepped)
    return;
  FFFmpegList.ForEach([](TFFmpeg &e) { e.Pause(); });
  FPaused = true;
}

void TCustomEncoder::Resume() {
  if (!FWorking || !(FPaused || FStepped))
    return;
  FFFmpegList.ForEach([](TFFmpeg &e) { e.Resume(); });
  FPaused = false;
  FStepped = false;
}

void TCustomEncoder::Stop(bool AWaitForStop) {
  {
    std::lock_guard lock(FTaskLock);
    FPendingTasks = 0;
  }
  if (FWorking)
    FFFmpegList.ForEach([AWaitForStop](TFFmpeg &e) { e.RequestTerminate(AWaitForStop); });
}

void TCustomEncoder::Fire(const std::function<void()> &AEvent) const {
  if (FTriggerEventInMainThread)
    CallInMainThread(AEvent);
  else
    AEvent();
}

void TCustomEncoder::DoProgress(TFFmpeg *Sender, int AFileIndex, int AFrameNumber, int AFPS,
                                float AQuality, float ABitRate, int64_t ACurrentSize,
                                int64_t ACurrentDuration, int64_t ATotalDuration) {
  if (!OnProgress || FGate->Closed())
    return;
  std::lock_guard lock(FProgressLock);
  FProgressInfo = {Sender->FTaskIndex, AFileIndex,   AFrameNumber,     AFPS,          AQuality,
                   ABitRate,           ACurrentSize, ACurrentDuration, ATotalDuration};
  Fire([this] { OnProgress(this, &FProgressInfo); });
}

void TCustomEncoder::DoBeforeFindStreamInfo(TObject *Sender, AVFormatContext *AFormatContext) {
  if (!OnBeforeFindStreamInfo || FGate->Closed())
    return;
  std::lock_guard lock(FFindStreamLock);
  FSender = Sender;
  FAVFormatContext = AFormatContext;
  Fire([this] { OnBeforeFindStreamInfo(FSender, FAVFormatContext); });
}

void TCustomEncoder::DoTerminate(TFFmpeg *Sender) {
  std::lock_guard lock(FTerminateLock);
  if (OnTerminate)
    Deliver(
        {Sender->FTaskIndex, Sender->Finished(), Sender->FatalException(), Sender->FatalMessage()});
  bool all = false;
  bool next = false;
  {
    std::lock_guard taskLock(FTaskLock);
    FCompleteTasks++;
    if (FPendingTasks < 1)
      all = FCompleteTasks >= FFFmpegList.Count();
    else
      next = FThreadMode;
  }
  if (all)
    DoAllTerminated();
  else if (next)
    StartNextTask();
}

void TCustomEncoder::DoAllTerminated() {
  FTerminated = true;
  if (OnTerminate)
    Deliver({-1, true, false, {}});
}

// Thread mode (or outside a run): on a delivery thread; otherwise directly.
void TCustomEncoder::Deliver(const TTerminateInfo &AInfo) {
  FTerminateInfo = AInfo;
  if (FThreadMode || !FWorking) {
    TDoTerminateThread::Start(OnTerminate, this, FTerminateInfo, FGate, FTriggerEventInMainThread,
                              [this](int ATaskIndex) { ReleaseAfterEvent(ATaskIndex); });
    return;
  }
  if (!FGate->Closed())
    OnTerminate(this, FTerminateInfo);
}

void TCustomEncoder::ReleaseAfterEvent(int ATaskIndex) {
  if (FAutoReleaseTask && ATaskIndex < FFFmpegList.Count() && FFFmpegList.Get(ATaskIndex))
    FFFmpegList.Release(ATaskIndex);
}

void TCustomEncoder::SetProgressInterval(int Value) {
  FProgressInterval = Value <= 10 ? 10 : Value;
  FFFmpegList.ForEach(
      [this](TFFmpeg &e) { e.FReportInterval = int64_t(FProgressInterval) * 1000; });
}

bool TCustomEncoder::FrameRateEmulation() const {
  return FFFmpegList.Any([](const TFFmpeg &e) { return e.Frate_emu != 0; });
}

void TCustomEncoder::SetFrameRateEmulation(bool Value) {
  FFFmpegList.ForEach([Value](TFFmpeg &e) { e.SetRateEmu(Value); });
}

void TCustomEncoder::SetReadTimeout(int Value) {
  TFFBaseComponent::SetReadTimeout(Value);
  FFFmpegList.ForEach([Value](TFFmpeg &e) { e.FReadTimeout = Value; });
}

void TCustomEncoder::SetWriteTimeout(int Value) {
  TFFBaseComponent::SetWriteTimeout(Value);
  FFFmpegList.ForEach([Value](TFFmpeg &e) { e.FWriteTimeout = Value; });
}
