#include "transcode/hooks/Hooks.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>

#include "components/TFFLogger.h"
#include "media/TPreviewer.h"
#include "media/TWavePlayer.h"
#include "transcode/TCustomFFmpeg.h"

namespace {

// A backlog above this makes the preview skip writing (the flow counter).
constexpr int64_t WaveBacklog = 8191;
// Calls in a row with a backlog after which everything waiting is dropped.
constexpr int WaveDiscardAfter = 8;

int PlayerChannels(int AChannels) {
  return AChannels == 1 || AChannels == 2 || AChannels == 4 || AChannels == 6 ? AChannels : 2;
}

} // namespace

THooks &HooksOf(TCustomFFmpeg &AEngine) {
  if (auto *hooks = dynamic_cast<THooks *>(&AEngine.Hooks()))
    return *hooks;
  auto hooks = std::make_unique<THooks>(AEngine, [&AEngine] { return bool(AEngine.FBroken); });
  THooks &result = *hooks;
  AEngine.SetHooks(std::move(hooks));
  return result;
}

THooks::THooks(TObject &AEngine, std::function<bool()> AStopping)
    : FEngine(AEngine), FStopping(std::move(AStopping)), FResampler(&AEngine) {
  // The conversion never waits for the sound device: what does not fit is dropped.
  FWaveBuffer.SetWaitForSpace(false);
  FWaveBuffer.SetWaitForData(false);
}

THooks::~THooks() {
  EndOfRun();
  Cleanup();
}

void THooks::SetPostHooks(TPostHooks AHooks) {
  std::shared_ptr<TPreviewer> freed;
  {
    std::lock_guard lock(FHookLock);
    if (AHooks == FPostHooks)
      return;
    if (!(AHooks & PostHookBit(phPreview)))
      freed = std::move(FPreviewer);
    FPostHooks = AHooks;
    FPostHooksChanged = true;
  }
  // Freed outside the lock: the window goes away on the main thread.
}

TPostHooks THooks::PostHooks() {
  std::lock_guard lock(FHookLock);
  return FPostHooks;
}

void THooks::SetVideoHookBitsPixel(int ABitsPixel) {
  FInput.Converter.SetBitsPixel(ABitsPixel);
  FOutput.Converter.SetBitsPixel(ABitsPixel);
}

std::string THooks::StreamCopyConflict(AVMediaType AType) const {
  if (AType == AVMEDIA_TYPE_VIDEO) {
    if (FOnInputVideoHook || FOnOutputVideoHook)
      return "-vcodec/-c:video copy and VideoHook are incompatible (frames are not decoded)";
    if (FOnInputFrameHook || FOnOutputFrameHook)
      return "-vcodec/-c:video copy and FrameHook are incompatible (frames are not decoded)";
    std::lock_guard lock(FHookLock);
    if (FPostHooks != 0)
      return "-vcodec/-c:video copy and Preview are incompatible (frames are not decoded)";
  }
  if (AType == AVMEDIA_TYPE_AUDIO && (FOnInputAudioHook || FOnOutputAudioHook))
    return "-acodec/-c:audio copy and AudioHook are incompatible (frames are not decoded)";
  return {};
}

// ---- video ---------------------------------------------------------------------------------

// The decoded frame goes on with the hooks' changes (made writable first: the decoder may
// still read the picture it handed out).
void THooks::InputVideo(AVFrame *AFrame, int AFrameNumber, int64_t APosition) {
  TPicturePlanes picture;
  if (!RunSide(FInput, AFrame, AFrameNumber, APosition, true, picture))
    return;
  if (ff::av_frame_make_writable(AFrame) < 0) {
    Log(&FEngine, llError, "Could not make the hooked frame writable.");
    return;
  }
  ff::av_image_copy(AFrame->data, AFrame->linesize, const_cast<const uint8_t **>(picture.data),
                    picture.linesize, AVPixelFormat(AFrame->format), AFrame->width, AFrame->height);
}

// The frame itself stays as it is (the loop may encode it again as a duplicate): the encoder
// gets the hooked copy.
AVFrame *THooks::OutputVideo(AVFrame *AFrame, int AFrameNumber, int64_t APosition) {
  FOutput.BitmapCurrent = false;
  TPicturePlanes picture;
  AVFrame *encoded = AFrame;
  if (RunSide(FOutput, AFrame, AFrameNumber, APosition, false, picture))
    encoded = HookedFrame(AFrame, picture);
  RunPreviews(encoded, AFrameNumber, APosition);
  return encoded;
}

// True when hooks ran on APicture, the private copy of the frame's picture.
bool THooks::RunSide(TSide &ASide, AVFrame *AFrame, int AFrameNumber, int64_t APosition,
                     bool AFrameHookFirst, TPicturePlanes &APicture) {
  const bool video = *ASide.VideoHook && !ASide.VideoHookStopped;
  const bool frame = bool(*ASide.FrameHook);
  // Pictures in device memory have no planes to hand out.
  if ((!video && !frame) || AFrame->hw_frames_ctx || !CopyPicture(ASide, AFrame, APicture))
    return false;
  const auto frameHook = [&] {
    (*ASide.FrameHook)(&FEngine, APicture, AVPixelFormat(AFrame->format), AFrameNumber,
                       AFrame->width, AFrame->height, APosition);
  };
  if (frame && AFrameHookFirst)
    frameHook();
  if (video)
    RunVideoHook(ASide, APicture, AFrame, AFrameNumber, APosition);
  if (frame && !AFrameHookFirst)
    frameHook();
  return true;
}

// A frame with AFrame's properties over the planes of APicture (not reference-counted: the
// encoder copies it).
AVFrame *THooks::HookedFrame(AVFrame *AFrame, const TPicturePlanes &APicture) {
  if (!FHookedFrame)
    FHookedFrame.reset(ff::av_frame_alloc());
  AVFrame *hooked = FHookedFrame.get();
  if (!hooked) {
    Log(&FEngine, llError, "hook buf malloc error.");
    return AFrame;
  }
  ff::av_frame_unref(hooked);
  if (ff::av_frame_copy_props(hooked, AFrame) < 0) {
    Log(&FEngine, llError, "hook buf malloc error.");
    return AFrame;
  }
  hooked->format = AFrame->format;
  hooked->width = AFrame->width;
  hooked->height = AFrame->height;
  std::copy(std::begin(APicture.data), std::end(APicture.data), hooked->data);
  std::copy(std::begin(APicture.linesize), std::end(APicture.linesize), hooked->linesize);
  return hooked;
}

// The copy is laid out as the libraries lay out their frames, so the converters' block-wise
// reads and writes stay inside it.
bool THooks::CopyPicture(TSide &ASide, const AVFrame *AFrame, TPicturePlanes &APicture) {
  const auto format = AVPixelFormat(AFrame->format);
  try {
    if (!ASide.PictureBuf)
      ASide.PictureBuf = std::make_unique<TPictureBuffer>();
    if (!ASide.PictureBuf->Lay(format, AFrame->width, AFrame->height, APicture)) {
      Log(&FEngine, llError, "avpicture_get_size() returns error.");
      return false;
    }
  } catch (const std::bad_alloc &) {
    Log(&FEngine, llError,
        &ASide == &FInput ? "memory malloc error in pre_process_video_frame()."
                          : "hook buf malloc error.");
    return false;
  }
  ff::av_image_copy(APicture.data, APicture.linesize, const_cast<const uint8_t **>(AFrame->data),
                    AFrame->linesize, format, AFrame->width, AFrame->height);
  return true;
}

void THooks::RunVideoHook(TSide &ASide, TPicturePlanes &APicture, const AVFrame *AFrame,
                          int AFrameNumber, int64_t APosition) {
  const auto format = AVPixelFormat(AFrame->format);
  TFormatConverter &converter = ASide.Converter;
  if (!converter.PictureToRGB(APicture.data, APicture.linesize, true, AFrame->height, AFrame->width,
                              format)) {
    Log(&FEngine, llError, converter.LastErrMsg());
    ASide.VideoHookStopped = true;
    return;
  }
  bool update = true, stop = false;
  try {
    (*ASide.VideoHook)(&FEngine, converter.Bitmap(), AFrameNumber, APosition, update, stop);
  } catch (const std::exception &e) {
    Log(&FEngine, llError, std::string("Error occurs VideoHook event: ") + e.what());
    update = false;
    stop = false;
  } catch (...) {
    Log(&FEngine, llError, "Error occurs VideoHook event: unknown exception");
    update = false;
    stop = false;
  }
  if (update) {
    converter.BitmapToRGB();
    if (!converter.RGBToPicture(APicture.data, APicture.linesize, AFrame->height, AFrame->width,
                                format)) {
      Log(&FEngine, llError, converter.LastErrMsg());
      stop = true;
    }
  }
  ASide.BitmapCurrent = update && !stop;
  ASide.VideoHookStopped = stop;
}

// ---- previews ------------------------------------------------------------------------------

// No lock is held while an event or the window runs: either may wait for the main thread,
// which may be setting the post hooks meanwhile.
void THooks::RunPreviews(const AVFrame *AFrame, int AFrameNumber, int64_t APosition) {
  TPostHooks hooks;
  bool changed;
  std::shared_ptr<TPreviewer> previewer;
  const int64_t now = ff::av_gettime_relative();
  {
    std::lock_guard lock(FHookLock);
    hooks = FPostHooks;
    changed = FPostHooksChanged;
    FPostHooksChanged = false;
    const bool wanted =
        ((hooks & PostHookBit(phBitmap)) && FOnPreviewBitmap) || (hooks & PostHookBit(phPreview));
    if (!wanted || (FPreviewed && now - preview_last_time <= FPreviewInterval))
      return;
    FPreviewed = true;
    preview_last_time = now;
    if ((hooks & PostHookBit(phPreview)) && !FPreviewer)
      FPreviewer = std::make_shared<TPreviewer>();
    previewer = FPreviewer;
  }
  const bool reuse = FOutput.BitmapCurrent && !changed;
  if ((hooks & PostHookBit(phBitmap)) && FOnPreviewBitmap) {
    if (!PreviewBitmap(AFrame, reuse))
      return RemovePostHook(phBitmap);
    FOnPreviewBitmap(&FEngine, FOutput.Converter.Bitmap(), AFrameNumber, APosition);
  } else if (previewer) {
    if (!PreviewBitmap(AFrame, reuse))
      return RemovePostHook(phPreview);
    if (!previewer->PaintFrame(FOutput.Converter.Bitmap(), AFrameNumber, APosition))
      RemovePostHook(phPreview);
  }
}

bool THooks::PreviewBitmap(const AVFrame *AFrame, bool AReuse) {
  if (AReuse)
    return true;
  TFormatConverter &converter = FOutput.Converter;
  if (converter.PictureToRGB(AFrame->data, AFrame->linesize, true, AFrame->height, AFrame->width,
                             AVPixelFormat(AFrame->format)))
    return true;
  Log(&FEngine, llError, converter.LastErrMsg());
  return false;
}

void THooks::RemovePostHook(TPostHook AHook) {
  SetPostHooks(PostHooks() & ~PostHookBit(AHook));
}

// ---- audio ---------------------------------------------------------------------------------

void THooks::InputAudio(const AVFrame *AFrame, int64_t APosition) {
  AudioHook(FOnInputAudioHook, AFrame, APosition);
}

void THooks::OutputAudio(const AVFrame *AFrame, int64_t APosition, bool ANativeRate) {
  AudioHook(FOnOutputAudioHook, AFrame, APosition);
  if (FPreviewAudio)
    AudioPreview(AFrame, ANativeRate);
}

void THooks::AudioHook(const TFFAudioHookEvent &AHook, const AVFrame *AFrame, int64_t APosition) {
  if (!AHook)
    return;
  const auto format = AVSampleFormat(AFrame->format);
  int planeSize = 0;
  ff::av_samples_get_buffer_size(&planeSize, AFrame->ch_layout.nb_channels, AFrame->nb_samples,
                                 format, 1);
  AHook(&FEngine, APosition, AFrame, planeSize, AFrame->sample_rate, AFrame->ch_layout.nb_channels,
        format);
}

void THooks::AudioPreview(const AVFrame *AFrame, bool ANativeRate) {
  if (!FWavePlayer && !OpenWavePlayer(AFrame))
    return;
  // Enough room for the frame at the player's rate, and what the resampler still delays.
  const int maxSamples = int(ff::av_rescale_q(AFrame->nb_samples, {FDesireRate, 1},
                                              {std::max(AFrame->sample_rate, 1), 1})) +
                         4096;
  const int bytes = FResampler.Resample(AFrame, 0, FResampledBuffer, 0, maxSamples);
  if (bytes < 0)
    return StopAudioPreview();
  if (FWaveCanWrite == 0 || ANativeRate)
    FWaveBuffer.Write(FResampledBuffer.Data(), bytes);
  // The player opens paused; a task paused meanwhile keeps it so.
  std::lock_guard lock(FWaveLock);
  if (!FTaskPaused && FWavePlayer->Paused())
    FWavePlayer->Resume();
}

bool THooks::OpenWavePlayer(const AVFrame *AFrame) {
  FDesireRate = AFrame->sample_rate;
  FDesireChannels = PlayerChannels(AFrame->ch_layout.nb_channels);
  FWaveBuffer.InitBuffer(TCircularBuffer::DefaultCapacity);
  FWaveBuffer.Reset();
  FWaveCanWrite = 0;
  FTaskEnded = false;
  auto player = std::make_unique<TWavePlayer>();
  TFF_AudioSpec desired, obtained;
  desired.freq = FDesireRate;
  desired.format = WaveFormatS16;
  desired.channels = uint8_t(FDesireChannels);
  desired.callback = WaveReadCallback;
  desired.userdata = this;
  if (!player->Open(desired, obtained)) {
    Log(&FEngine, llError, "WaveOpen() failed: " + player->LastErrMsg());
    FPreviewAudio = false;
    return false;
  }
  FResampler.SetOutput(FDesireChannels, FDesireRate, AV_SAMPLE_FMT_S16);
  std::lock_guard lock(FWaveLock);
  FWavePlayer = std::move(player);
  return true;
}

void THooks::StopAudioPreview() {
  FPreviewAudio = false;
  if (FWavePlayer)
    FWavePlayer->Close();
}

void THooks::Pause() {
  std::lock_guard lock(FWaveLock);
  FTaskPaused = true;
  if (FWavePlayer)
    FWavePlayer->Pause();
}

void THooks::Resume() {
  std::lock_guard lock(FWaveLock);
  FTaskPaused = false;
  if (FWavePlayer)
    FWavePlayer->Resume();
}

void THooks::EndOfRun() {
  FTaskEnded = true;
  FWaveBuffer.EndWriting();
  if (FWavePlayer)
    FWavePlayer->Close();
}

void THooks::Cleanup() {
  std::unique_ptr<TWavePlayer> player;
  {
    std::lock_guard lock(FWaveLock);
    player = std::move(FWavePlayer);
  }
  player.reset(); // outside the lock: stopping its refill thread may take a moment
  FWaveBuffer.InitBuffer(0);
  FResampler.Reset();
  FInput.PictureBuf.reset();
  FOutput.PictureBuf.reset();
  FHookedFrame.reset();
  std::shared_ptr<TPreviewer> freed; // freed outside the lock: on the main thread
  std::lock_guard lock(FHookLock);
  freed = std::move(FPreviewer);
  FPreviewed = false;
  preview_last_time = 0;
}

void THooks::WaveReadCallback(void *AUserData, uint8_t *ABuffer, int ALength) {
  static_cast<THooks *>(AUserData)->ServeWave(ABuffer, ALength);
}

// Refill thread: the buffer arrives zero-filled, so silence needs nothing. What waits stays
// for a resume; a stopping task's rest is never played.
void THooks::ServeWave(uint8_t *ABuffer, int ALength) {
  const auto silent = [this] { return FTaskEnded || !FPreviewAudio || FTaskPaused || FStopping(); };
  while (!silent() && FWaveBuffer.DataSize() == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (silent())
    return;
  FWaveBuffer.Read(ABuffer, ALength);
  if (FWaveBuffer.DataSize() <= WaveBacklog) {
    FWaveCanWrite = 0;
    return;
  }
  if (++FWaveCanWrite >= WaveDiscardAfter) {
    FWaveBuffer.Discard(int(std::min<int64_t>(FWaveBuffer.DataSize(), INT32_MAX)));
    FWaveCanWrite = 0;
  }
}
