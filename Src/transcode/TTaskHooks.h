// TTaskHooks: where the engine hands a task's frames to the application. The engine calls these
// points and owns the object; this base does nothing (frames go on unchanged, nothing is
// refused). The hook layer above the media layer (transcode/hooks, THooks) derives from it and
// is installed with TCustomFFmpeg::SetHooks before the task starts.
// Threads: the call points, EndOfRun and Cleanup run on the task's thread; Pause and Resume on
// the thread that pauses or resumes the task; SetVideoHookBitsPixel while options are parsed.
#pragma once

#include <cstdint>
#include <string>

#include "components/FFAPI.h"

class TTaskHooks {
public:
  TTaskHooks() = default;
  virtual ~TTaskHooks() = default;
  TTaskHooks(const TTaskHooks &) = delete;
  TTaskHooks &operator=(const TTaskHooks &) = delete;

  // The error text that makes setting up a stream copy of this type fail (frames are not
  // decoded), empty when nothing needs its frames.
  virtual std::string StreamCopyConflict(AVMediaType) const { return {}; }
  // A decoded video frame before filtering (AFrameNumber counts from 1).
  virtual void InputVideo(AVFrame *, int /*AFrameNumber*/, int64_t /*APosition*/) {}
  // A video frame about to be encoded. Returns the frame to encode: AFrame, or a hooked copy
  // valid until the next call.
  virtual AVFrame *OutputVideo(AVFrame *AFrame, int /*AFrameNumber*/, int64_t /*APosition*/) {
    return AFrame;
  }
  virtual void InputAudio(const AVFrame *, int64_t /*APosition*/) {}
  // ANativeRate: the input is paced at its native rate.
  virtual void OutputAudio(const AVFrame *, int64_t /*APosition*/, bool /*ANativeRate*/) {}
  // Bit depth of the hook bitmaps; throws std::invalid_argument for a depth not supported.
  virtual void SetVideoHookBitsPixel(int /*ABitsPixel*/) {}
  // The task pauses or resumes.
  virtual void Pause() {}
  virtual void Resume() {}
  // The task has ended.
  virtual void EndOfRun() {}
  // Frees what the task's frames needed.
  virtual void Cleanup() {}
};
