// THooks: what a task engine hands to the application while it converts. Input hooks see every
// decoded frame before filtering, output hooks every frame just before it is encoded, and may
// change the picture; previews show the output pictures at most once per preview interval, as a
// bitmap event or in the preview window; the audio preview plays the output audio through a
// ring buffer and the wave player.
//
// Threads: the events and settings are set before the task starts, except SetPostHooks,
// SetPreviewInterval and SetPreviewAudio (any thread). The call points and Cleanup run on the
// task's thread; hooks and previews run there, synchronously. WaveReadCallback runs on the wave
// player's refill thread. Failures inside hooks and previews never end the task: they are
// logged and the hook or preview concerned is switched off.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "components/FFAPI.h"
#include "components/TObject.h"
#include "media/MediaOwners.h"
#include "media/TAudioResampler.h"
#include "media/TBitmap.h"
#include "media/TCircularBuffer.h"
#include "media/TDecoderTypes.h"
#include "media/TFormatConverter.h"
#include "transcode/TTaskHooks.h"
#include "transcode/common/FFOwners.h"

class TCustomFFmpeg;
class TPreviewer;
class TWavePlayer;

// Which previews run after the output hooks (bit numbers of TPostHooks).
enum TPostHook : unsigned { phPreview = 0, phBitmap = 1, phHBITMAP = 2 };
using TPostHooks = unsigned;
constexpr TPostHooks PostHookBit(TPostHook AHook) {
  return 1u << AHook;
}

// Position and times in microseconds. The bitmap belongs to the engine and is reused.
using TFFPreviewBitmapEvent =
    std::function<void(TObject *Sender, const TBitmap &ABitmap, int AFrameNumber, int64_t APTS)>;
// AUpdate (True on entry): rebuild the frame from the bitmap afterwards. AStopHook (False on
// entry): no more calls of this hook in the task.
using TFFVideoHookEvent = std::function<void(TObject *Sender, TBitmap &ABitmap, int AFrameNumber,
                                             int64_t APTS, bool &AUpdate, bool &AStopHook)>;
// APicture: a private copy of the frame's planes; changes go on to filtering or encoding.
using TFFFrameHookEvent =
    std::function<void(TObject *Sender, TPicturePlanes &APicture, AVPixelFormat APixFmt,
                       int AFrameNumber, int AWidth, int AHeight, int64_t APTS)>;
// ASize: bytes of the frame's first plane.
using TFFAudioHookEvent =
    std::function<void(TObject *Sender, int64_t APTS, const AVFrame *AFrame, int ASize,
                       int ASampleRate, int AChannels, AVSampleFormat ASampleFormat)>;

class THooks : public TTaskHooks {
public:
  // AEngine: the sender of every event and of the log lines. AStopping: whether the task has
  // been asked to stop (read on the player's thread; the audio preview is silent then).
  THooks(TObject &AEngine, std::function<bool()> AStopping);
  ~THooks() override;

  TFFAudioHookEvent FOnInputAudioHook, FOnOutputAudioHook;
  TFFVideoHookEvent FOnInputVideoHook, FOnOutputVideoHook;
  TFFFrameHookEvent FOnInputFrameHook, FOnOutputFrameHook;
  TFFPreviewBitmapEvent FOnPreviewBitmap;

  // No effect when unchanged; removing phPreview frees the preview window.
  void SetPostHooks(TPostHooks AHooks);
  TPostHooks PostHooks();
  void SetPreviewInterval(int64_t AMicroseconds) { FPreviewInterval = AMicroseconds; }
  void SetPreviewAudio(bool AValue) { FPreviewAudio = AValue; }
  bool PreviewAudio() const { return FPreviewAudio; }
  // Bit depth of the bitmaps of both converters (8, 15, 16, 24, 32).
  void SetVideoHookBitsPixel(int ABitsPixel) override;

  // The error text that makes setting up a stream copy of this type fail (frames are not
  // decoded), empty when nothing needs its frames.
  std::string StreamCopyConflict(AVMediaType AType) const override;

  // ---- call points (task thread) -------------------------------------------------------------
  // A decoded video frame before filtering (AFrameNumber counts from 1).
  void InputVideo(AVFrame *AFrame, int AFrameNumber, int64_t APosition) override;
  // A video frame about to be encoded: the output hooks, then the previews. Returns the frame
  // to encode: AFrame, or the hooked copy (valid until the next call).
  AVFrame *OutputVideo(AVFrame *AFrame, int AFrameNumber, int64_t APosition) override;
  void InputAudio(const AVFrame *AFrame, int64_t APosition) override;
  // An audio frame about to be encoded: the output hook, then the audio preview (ANativeRate:
  // the input is paced at its native rate, so the preview never falls behind).
  void OutputAudio(const AVFrame *AFrame, int64_t APosition, bool ANativeRate) override;
  // The task pauses or resumes: so does the player. While paused the preview stays silent,
  // even when a frame still being encoded reaches it (a stop with the task paused included).
  void Pause() override;
  void Resume() override;
  // The task has ended: the player stops pulling and closes.
  void EndOfRun() override;
  // Frees the picture buffers and resets the previews.
  void Cleanup() override;

  // The wave player's source (refill thread).
  static void WaveReadCallback(void *AUserData, uint8_t *ABuffer, int ALength);
  // The preview's ring buffer (for inspection).
  TCircularBuffer &WaveBuffer() { return FWaveBuffer; }

private:
  // One side's hooks: input or output.
  struct TSide {
    TFFVideoHookEvent *VideoHook;
    TFFFrameHookEvent *FrameHook;
    TFormatConverter Converter;
    std::unique_ptr<TPictureBuffer> PictureBuf; // grown, never shrunk; freed by Cleanup
    bool VideoHookStopped = false;
    bool BitmapCurrent = false; // the converter's bitmap shows the frame as it is now
  };
  bool RunSide(TSide &ASide, AVFrame *AFrame, int AFrameNumber, int64_t APosition,
               bool AFrameHookFirst, TPicturePlanes &APicture);
  AVFrame *HookedFrame(AVFrame *AFrame, const TPicturePlanes &APicture);
  bool CopyPicture(TSide &ASide, const AVFrame *AFrame, TPicturePlanes &APicture);
  void RunVideoHook(TSide &ASide, TPicturePlanes &APicture, const AVFrame *AFrame, int AFrameNumber,
                    int64_t APosition);
  void RunPreviews(const AVFrame *AFrame, int AFrameNumber, int64_t APosition);
  bool PreviewBitmap(const AVFrame *AFrame, bool AReuse);
  void RemovePostHook(TPostHook AHook);
  void AudioHook(const TFFAudioHookEvent &AHook, const AVFrame *AFrame, int64_t APosition);
  void AudioPreview(const AVFrame *AFrame, bool ANativeRate);
  bool OpenWavePlayer(const AVFrame *AFrame);
  void StopAudioPreview();
  void ServeWave(uint8_t *ABuffer, int ALength);

  TObject &FEngine;
  const std::function<bool()> FStopping;
  TSide FInput{&FOnInputVideoHook, &FOnInputFrameHook, {}, {}};
  TSide FOutput{&FOnOutputVideoHook, &FOnOutputFrameHook, {}, {}};
  TFramePtr FHookedFrame; // what the encoder gets after output hooks

  mutable std::mutex FHookLock; // FPostHooks, FPostHooksChanged, FPreviewer
  TPostHooks FPostHooks = 0;
  bool FPostHooksChanged = false;
  std::shared_ptr<TPreviewer> FPreviewer;
  int64_t preview_last_time = 0;
  bool FPreviewed = false; // the first frame is always previewed
  std::atomic<int64_t> FPreviewInterval{100000};

  std::atomic<bool> FPreviewAudio{false};
  std::atomic<bool> FTaskEnded{false};
  std::atomic<int> FWaveCanWrite{0};
  TCircularBuffer FWaveBuffer{0}; // its area exists only while the audio preview plays
  // The player is made and freed on the task's thread; Pause and Resume come from others.
  std::mutex FWaveLock; // FWavePlayer, and the player's pause state with FTaskPaused
  std::atomic<bool> FTaskPaused{false};
  std::unique_ptr<TWavePlayer> FWavePlayer;
  TAudioResampler FResampler;
  TAVBuffer FResampledBuffer; // grown, never shrunk
  int FDesireChannels = 0;
  int FDesireRate = 0;
};

// AEngine's hooks: THooks installed on the first call (before the engine's task starts), which
// see the engine's stop request.
THooks &HooksOf(TCustomFFmpeg &AEngine);
