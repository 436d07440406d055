// The encoder component's previews and hooks: its settings reach every task engine, and the
// engines' hooks and preview pictures reach the component's events.
#include "components/encoder/TCustomEncoder.h"
#include "components/encoder/TFFmpeg.h"
#include "transcode/hooks/Hooks.h"

void TCustomEncoder::SetPreviewAudio(bool Value) {
  FPreviewAudio = Value;
  FFFmpegList.ForEach([this](TFFmpeg &e) { CopyPreviewSettings(e); });
}

void TCustomEncoder::SetPreviewVideo(bool Value) {
  FPreviewVideo = Value;
  FFFmpegList.ForEach([this](TFFmpeg &e) { CopyPreviewSettings(e); });
}

void TCustomEncoder::SetPreviewBitmap(bool Value) {
  FPreviewBitmap = Value;
  FFFmpegList.ForEach([this](TFFmpeg &e) { CopyPreviewSettings(e); });
}

void TCustomEncoder::SetPreviewInterval(int Value) {
  FPreviewInterval = Value <= 10 ? 10 : Value;
  FFFmpegList.ForEach([this](TFFmpeg &e) { CopyPreviewSettings(e); });
}

void TCustomEncoder::CopyPreviewSettings(TFFmpeg &AEngine) const {
  THooks &hooks = HooksOf(AEngine);
  hooks.SetPreviewAudio(FPreviewAudio);
  hooks.SetPostHooks((FPreviewVideo ? PostHookBit(phPreview) : 0) |
                     (FPreviewBitmap ? PostHookBit(phBitmap) : 0));
  hooks.SetPreviewInterval(int64_t(FPreviewInterval) * 1000);
}

void TCustomEncoder::RoutePreviewBitmap(TFFmpeg &AEngine) {
  HooksOf(AEngine).FOnPreviewBitmap = [this, engine = &AEngine](TObject *, const TBitmap &ABitmap,
                                                                int AFrameNumber, int64_t APTS) {
    DoPreviewBitmap(engine, ABitmap, AFrameNumber, APTS);
  };
}

void TCustomEncoder::RouteHooks(TFFmpeg &AEngine, const TOutputOptions &AOutput) {
  THooks &hooks = HooksOf(AEngine);
  TFFmpeg *engine = &AEngine;
  const auto video = [this, engine](const TVideoHookEvent &AEvent) {
    return [this, engine, &AEvent](TObject *, TBitmap &ABitmap, int AFrameNumber, int64_t APTS,
                                   bool &AUpdate, bool &AStopHook) {
      DoVideoHook(AEvent, engine, ABitmap, AFrameNumber, APTS, AUpdate, AStopHook);
    };
  };
  const auto frame = [this, engine](const TFrameHookEvent &AEvent) {
    return [this, engine, &AEvent](TObject *, TPicturePlanes &APicture, AVPixelFormat APixFmt,
                                   int AFrameNumber, int AWidth, int AHeight, int64_t APTS) {
      DoFrameHook(AEvent, engine, APicture, APixFmt, AFrameNumber, AWidth, AHeight, APTS);
    };
  };
  const auto audio = [this, engine](const TAudioHookEvent &AEvent) {
    return [this, engine, &AEvent](TObject *, int64_t APTS, const AVFrame *AFrame, int ASize,
                                   int ASampleRate, int AChannels, AVSampleFormat AFormat) {
      if (!AEvent)
        return;
      std::lock_guard lock(FAudioHookLock);
      AEvent(this, engine->FTaskIndex, APTS, AFrame, ASize, ASampleRate, AChannels, AFormat);
    };
  };
  if (AOutput.VideoInputHook)
    hooks.FOnInputVideoHook = video(OnVideoInputHook);
  if (AOutput.VideoOutputHook)
    hooks.FOnOutputVideoHook = video(OnVideoOutputHook);
  if (AOutput.FrameInputHook)
    hooks.FOnInputFrameHook = frame(OnFrameInputHook);
  if (AOutput.FrameOutputHook)
    hooks.FOnOutputFrameHook = frame(OnFrameOutputHook);
  if (AOutput.AudioInputHook)
    hooks.FOnInputAudioHook = audio(OnAudioInputHook);
  if (AOutput.AudioOutputHook)
    hooks.FOnOutputAudioHook = audio(OnAudioOutputHook);
}

void TCustomEncoder::DoPreviewBitmap(TFFmpeg *Sender, const TBitmap &ABitmap, int AFrameNumber,
                                     int64_t APTS) {
  if (!OnPreviewBitmap || FGate->Closed())
    return;
  std::lock_guard lock(FPreviewLock);
  FPreviewInfo = {Sender->FTaskIndex, &ABitmap, AFrameNumber, APTS};
  Fire([this] { OnPreviewBitmap(this, FPreviewInfo); });
}

// On the task's thread; an exception of the handler goes on to the engine, which logs it.
void TCustomEncoder::DoVideoHook(const TVideoHookEvent &AEvent, TFFmpeg *Sender, TBitmap &ABitmap,
                                 int AFrameNumber, int64_t APTS, bool &AUpdate, bool &AStopHook) {
  if (!AEvent)
    return;
  std::lock_guard lock(FVideoHookLock);
  FVideoHookInfo = {Sender->FTaskIndex, &ABitmap, AFrameNumber, APTS, AUpdate, AStopHook};
  AEvent(this, &FVideoHookInfo);
  AUpdate = FVideoHookInfo.Update;
  AStopHook = FVideoHookInfo.StopHook;
}

void TCustomEncoder::DoFrameHook(const TFrameHookEvent &AEvent, TFFmpeg *Sender,
                                 TPicturePlanes &APicture, AVPixelFormat APixFmt, int AFrameNumber,
                                 int AWidth, int AHeight, int64_t APTS) {
  if (!AEvent)
    return;
  std::lock_guard lock(FFrameHookLock);
  FFrameHookInfo = {Sender->FTaskIndex, AFrameNumber, &APicture, APixFmt, AWidth, AHeight, APTS};
  AEvent(this, &FFrameHookInfo);
}
