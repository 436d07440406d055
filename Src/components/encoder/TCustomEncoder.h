// TCustomEncoder: the encoder component. Keeps a list of tasks, each one conversion carried out
// by its own engine (TFFmpeg): AddTask opens a task's input, SetOutput its output, Start runs
// the tasks on worker threads (at most AThreadCount at once) or one after the other on the
// calling thread, and Pause/Resume/Stop reach every engine. Each task's end is reported once
// through OnTerminate, then once more with TaskIndex -1 after the last task.
//
// Threads: every public operation is called from the component's (main) thread. OnProgress and
// OnBeforeFindStreamInfo run on the main thread (CallInMainThread) when
// TriggerEventInMainThread, else on the task's thread; OnTerminate runs on the main thread, or
// else on a delivery thread (thread mode) or the task's thread; OnStart runs on the thread that
// starts the task (the caller of Start, or the worker of the task that just ended).
// Failures: libraries missing and operations refused while working throw std::runtime_error
// ("FFmpeg libraries not loaded.", "Cannot %s while working."); AddTask and SetOutput return a
// negative value with the reason in LastErrMsg; a bad task index throws std::out_of_range.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "components/TFFBaseComponent.h"
#include "components/ThreadPriority.h"
#include "components/encoder/EncoderTypes.h"
#include "components/encoder/TDoTerminateThread.h"
#include "components/encoder/TFFmpegList.h"

class TCustomEncoder : public TFFBaseComponent {
public:
  TCustomEncoder();
  // Stops and frees every task (waiting for them) and waits for pending deliveries; no handler
  // is called any more once destruction has begun.
  ~TCustomEncoder() override;
  TCustomEncoder(const TCustomEncoder &) = delete;
  TCustomEncoder &operator=(const TCustomEncoder &) = delete;
  std::string ClassName() const override { return "TCustomEncoder"; }

  bool AVLibLoaded() const;
  // Loads the encoder's libraries from APath (empty: the system search); false with LastErrMsg.
  bool LoadAVLib(const std::string &APath);

  // New task with one input. Result: its index, or negative with the reason in LastErrMsg.
  // AOptions may be null; an empty FileName in it is filled with AFileName.
  int AddTask(const std::string &AFileName, TInputOptions *AOptions = nullptr);
  // Adds an output to a task. Result: 0 or more, or negative with the reason in LastErrMsg
  // (the task stays in the list).
  int SetOutput(int ATaskIndex, const std::string &AFileName, TOutputOptions *AOptions = nullptr);
  void RemoveTask(int ATaskIndex);
  void ClearTasks();
  // AThreadCount > 0: thread mode, at most that many tasks at once; returns at once.
  // 0: every task runs on the calling thread; returns after the -1 event.
  void Start(int AThreadCount);
  void Pause();
  void Resume();
  void Stop(bool AWaitForStop);

  // The task engine; null for a released task.
  TFFmpeg *FFmpegs(int AIndex) const { return FFFmpegList.Get(AIndex).get(); }
  int TasksCount() const { return FFFmpegList.Count(); }
  const std::string &LastErrMsg() const { return FLastErrMsg; }

  bool AutoReleaseTask() const { return FAutoReleaseTask; }
  void SetAutoReleaseTask(bool Value) { FAutoReleaseTask = Value; }
  bool HaltOnInvalidOption() const { return FHaltOnInvalidOption; }
  void SetHaltOnInvalidOption(bool Value) { FHaltOnInvalidOption = Value; }
  // Milliseconds; values of 10 or less store 10. Reaches every engine (in microseconds).
  int ProgressInterval() const { return FProgressInterval; }
  void SetProgressInterval(int Value);
  bool FrameRateEmulation() const;
  void SetFrameRateEmulation(bool Value);
  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority Value) { FThreadPriority = Value; }
  // Previews of every task (reach running tasks too): the audio played while converting, the
  // output pictures in the preview window (PreviewVideo) or through OnPreviewBitmap
  // (PreviewBitmap), at most once per PreviewInterval ms (values of 10 or less store 10).
  bool PreviewAudio() const { return FPreviewAudio; }
  void SetPreviewAudio(bool Value);
  bool PreviewVideo() const { return FPreviewVideo; }
  void SetPreviewVideo(bool Value);
  bool PreviewBitmap() const { return FPreviewBitmap; }
  void SetPreviewBitmap(bool Value);
  int PreviewInterval() const { return FPreviewInterval; }
  void SetPreviewInterval(int Value);
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool Value) { FTriggerEventInMainThread = Value; }
  void *UserData() const { return FData; }
  void SetUserData(void *Value) { FData = Value; }
  bool Terminated() const { return FTerminated; }
  bool Working() const { return FWorking; }
  bool Paused() const { return FPaused; }
  bool Stepped() const { return FStepped; }

  void SetReadTimeout(int Value) override;
  void SetWriteTimeout(int Value) override;

  // Set before Start; see the header comment for the thread each runs on.
  TStartEvent OnStart;
  TProgressEvent OnProgress;
  TTerminateEvent OnTerminate;
  TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;
  // Like OnProgress.
  TPreviewBitmapEvent OnPreviewBitmap;
  // Hooks, routed per output by the hook flags of TOutputOptions: always on the task's thread.
  TVideoHookEvent OnVideoInputHook, OnVideoOutputHook;
  TFrameHookEvent OnFrameInputHook, OnFrameOutputHook;
  TAudioHookEvent OnAudioInputHook, OnAudioOutputHook;

  // The option text SetOutput hands to the engine: the hook words in their canonical letter
  // case wherever they stand between blanks, leading and trailing blanks trimmed.
  static std::string EngineOutputOptions(const std::string &AOptions);

protected:
  virtual void DoProgress(TFFmpeg *Sender, int AFileIndex, int AFrameNumber, int AFPS,
                          float AQuality, float ABitRate, int64_t ACurrentSize,
                          int64_t ACurrentDuration, int64_t ATotalDuration);
  virtual void DoTerminate(TFFmpeg *Sender);
  void DoBeforeFindStreamInfo(TObject *Sender, AVFormatContext *AFormatContext);
  void DoPreviewBitmap(TFFmpeg *Sender, const TBitmap &ABitmap, int AFrameNumber, int64_t APTS);
  void DoVideoHook(const TVideoHookEvent &AEvent, TFFmpeg *Sender, TBitmap &ABitmap,
                   int AFrameNumber, int64_t APTS, bool &AUpdate, bool &AStopHook);
  void DoFrameHook(const TFrameHookEvent &AEvent, TFFmpeg *Sender, TPicturePlanes &APicture,
                   AVPixelFormat APixFmt, int AFrameNumber, int AWidth, int AHeight, int64_t APTS);

private:
  void CheckNotWorking(const char *AOperation) const;
  void CopySettings(TFFmpeg &AEngine) const;
  // The preview settings and the preview event, onto one engine.
  void CopyPreviewSettings(TFFmpeg &AEngine) const;
  void RoutePreviewBitmap(TFFmpeg &AEngine);
  // The engine's hooks to this component's events, as the output's flags say.
  void RouteHooks(TFFmpeg &AEngine, const TOutputOptions &AOutput);
  int OpenInput(TFFmpeg &AEngine, const std::string &AFileName, TInputOptions *AOptions);
  int OpenOutput(TFFmpeg &AEngine, const std::string &AFileName, TOutputOptions *AOptions);
  // Runs one opening on AEngine and reports its failure one way: a negative result (-1 for an
  // exception) with the reason in FLastErrMsg. The engine leaves the whole reason in its
  // LastErrMsg whether it returns a negative code or throws; an exception from outside the
  // engine brings its own text.
  int ReportOpen(TFFmpeg &AEngine, const std::function<int()> &AOpen);
  void StartNextTask();
  void DoAllTerminated();
  void Deliver(const TTerminateInfo &AInfo);
  // Runs AEvent on the main thread when TriggerEventInMainThread, else here.
  void Fire(const std::function<void()> &AEvent) const;
  void ReleaseAfterEvent(int ATaskIndex);

  std::string FLastErrMsg;
  void *FData = nullptr;
  std::atomic<bool> FAutoReleaseTask{false};
  bool FHaltOnInvalidOption = true;
  int FProgressInterval = 500;
  TThreadPriority FThreadPriority = tpNormal;
  bool FTriggerEventInMainThread = true;
  bool FPreviewAudio = false;
  bool FPreviewVideo = false;
  bool FPreviewBitmap = false;
  int FPreviewInterval = 100;

  // Staging records, each filled under its family's lock.
  TProgressInfo FProgressInfo;
  TTerminateInfo FTerminateInfo;
  TObject *FSender = nullptr;
  AVFormatContext *FAVFormatContext = nullptr;
  std::mutex FProgressLock;
  std::recursive_mutex FTerminateLock; // re-entered by a task that ends inside StartConvert
  std::mutex FFindStreamLock;
  TPreviewInfo FPreviewInfo;
  THookInfo FVideoHookInfo;
  TFrameHookInfo FFrameHookInfo;
  std::mutex FPreviewLock;
  std::mutex FVideoHookLock;
  std::mutex FFrameHookLock;
  std::mutex FAudioHookLock;

  // Termination deliveries still under way (replaces a single "delivered" flag, which two
  // tasks ending close together would overwrite).
  std::shared_ptr<TTerminateGate> FGate = std::make_shared<TTerminateGate>();
  TFFmpegList FFFmpegList;

  // Run state; the counters change under FTaskLock (a finishing worker starts the next task
  // while Start may still be starting the first ones).
  std::mutex FTaskLock;
  int FCompleteTasks = 0;
  int FCurrentTask = -1;
  int FPendingTasks = 0;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FThreadMode{false};
  std::atomic<bool> FWorking{false};
  std::atomic<bool> FPaused{false};
  std::atomic<bool> FStepped{false};
};
