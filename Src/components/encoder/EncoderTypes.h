// The records that cross the encoder component's boundary, and its event types. Plain values:
// the component fills its own copy of each record under the event family's lock and hands it
// to the handler, so no allocation happens per event.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "components/FFAPI.h"
#include "components/TObject.h"

class TBitmap;
struct TPicturePlanes;

// One input of a task.
struct TInputOptions {
  std::string FileName; // filled with AddTask's file name when empty
  std::string Options;  // input option string, passed to the engine unchanged
  std::string Presets;  // preset text, passed unchanged
  int32_t Tag = 0;
  void *Data = nullptr;
};

// One output of a task. The hook flags route the engine's hooks to the component's hook events.
struct TOutputOptions {
  std::string FileName;
  std::string Options;
  std::string Presets;
  bool AudioInputHook = false;
  bool AudioOutputHook = false;
  bool VideoInputHook = false;
  bool VideoOutputHook = false;
  int32_t VideoHookBitsPixel = 32;
  bool FrameInputHook = false;
  bool FrameOutputHook = false;
  int32_t Tag = 0;
  void *Data = nullptr;
};

// OnProgress: the engine's progress report, copied unchanged.
struct TProgressInfo {
  int TaskIndex = 0;
  int FileIndex = -1;          // always -1 from the current engine
  int FrameNumber = 0;         // frames written on the first video output; -1 without video
  int FPS = 0;                 // -1 without video
  float Quality = 0;           // encoder quality / 118; -1 for stream copy
  float BitRate = 0;           // kbit/s; -1 when unknown
  int64_t CurrentSize = 0;     // bytes written to the first output
  int64_t CurrentDuration = 0; // microseconds of output written
  int64_t TotalDuration = 0;   // microseconds of output expected; -1 when unknown
};

// OnTerminate: one per task, then one with TaskIndex -1 after the last task.
struct TTerminateInfo {
  int TaskIndex = 0;
  bool Finished = false;  // ran to its normal end; True for the -1 event
  bool Exception = false; // ended with a fatal error
  std::string ExceptionMsg;
};

// OnPreviewBitmap: a picture of the task's output, at most once per PreviewInterval. The bitmap
// belongs to the engine and is valid during the event only.
struct TPreviewInfo {
  int TaskIndex = 0;
  const TBitmap *Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0; // microseconds
};
// OnVideoInputHook / OnVideoOutputHook: the picture as a bitmap the handler may change.
struct THookInfo {
  int TaskIndex = 0;
  TBitmap *Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
  bool Update = true;    // rebuild the frame from the bitmap afterwards
  bool StopHook = false; // no more calls of this hook for the task
};
// OnFrameInputHook / OnFrameOutputHook: the picture's planes (a private copy the handler may
// change).
struct TFrameHookInfo {
  int TaskIndex = 0;
  int FrameNumber = 0;
  TPicturePlanes *Picture = nullptr;
  int PixFmt = -1; // library pixel format
  int Width = 0;
  int Height = 0;
  int64_t PTS = 0;
};

using TStartEvent = std::function<void(TObject *Sender, int ATaskIndex)>;
using TProgressEvent = std::function<void(TObject *Sender, TProgressInfo *AProgressInfo)>;
using TPreviewBitmapEvent = std::function<void(TObject *Sender, const TPreviewInfo &APreviewInfo)>;
using TVideoHookEvent = std::function<void(TObject *Sender, THookInfo *AHookInfo)>;
using TFrameHookEvent = std::function<void(TObject *Sender, TFrameHookInfo *AHookInfo)>;
using TAudioHookEvent =
    std::function<void(TObject *Sender, int ATaskIndex, int64_t APTS, const AVFrame *AFrame,
                       int ASize, int ASampleRate, int AChannels, AVSampleFormat ASampleFormat)>;
using TTerminateEvent = std::function<void(TObject *Sender, const TTerminateInfo &ATerminateInfo)>;
