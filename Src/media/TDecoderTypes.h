// Plain records of the decoder component: facts about an open file and its streams, the
// current video frame and the current audio block. Values only (except the buffers named
// below), safe to copy across threads. Times are microseconds unless said otherwise;
// AV_NOPTS_VALUE marks an unknown time.
#pragma once

#include <cstdint>
#include <string>

#include "components/FFAPI.h"

// Container-level facts of the open file.
struct TFileStreamInfo {
  int64_t StartTime = AV_NOPTS_VALUE; // AV_NOPTS_VALUE when the container reports none
  int64_t Duration = -1;              // -1 when unknown (never AV_NOPTS_VALUE)
  int BitRate = 0;                    // bits per second, 0 when unknown
  int Year = 0;                       // tag "year", 0 when absent or not a number
  int Track = 0;                      // tag "track", 0 when absent or not a number
  std::string Title, Author, Copyright, Comment, Album, Genre;
};

// Facts of one stream; every number -1 when it could not be filled (no file, bad index).
// StartTime/Duration are in the stream's time base, the *Scaled ones in microseconds (-1
// when the unscaled value is AV_NOPTS_VALUE).
struct TAudioStreamInfo {
  std::string Language;
  std::string CodecName; // "h264(H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10)" or "h264"
  int64_t StartTime = -1;
  int64_t StartTimeScaled = -1;
  int64_t Duration = -1;
  int64_t DurationScaled = -1;
  int BitRate = -1;
  int Channels = -1;
  int SampleRate = -1;
  AVSampleFormat SampleFormat = AV_SAMPLE_FMT_NONE;
};

struct TVideoStreamInfo {
  std::string Language;
  std::string CodecName;
  int64_t StartTime = -1;
  int64_t StartTimeScaled = -1;
  int64_t Duration = -1;
  int64_t DurationScaled = -1;
  int BitRate = -1;
  int Height = -1;
  int Width = -1;
  float SampleAspectRatio = -1.0f;
  float DisplayAspectRatio = -1.0f; // -1.0 when the sample aspect ratio is unknown
  AVRational SAR{0, 1};
  AVRational DAR{0, 1};
  AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
  AVRational FrameRate{0, 1}; // frames per second = num/den; 0/1 when unknown
  // How the stream's display matrix turns the picture for display, in degrees counter-clockwise
  // as ffprobe's "rotation" reads (a clip tagged rotate=90 has 90): 0, 90, 180 or 270, the
  // nearest quarter turn; 0 without a matrix. Width and Height are the coded, unturned sides.
  int Rotation = 0;
};

struct TSubtitleStreamInfo {
  std::string Language;
  std::string CodecName;
  int SubFormat = -1; // 0 bitmap subtitles, 1 text subtitles, -1 otherwise
};

// Seek flags; combine with |. Passed to the library unchanged.
enum TSeekFlag : int {
  sfBackward = AVSEEK_FLAG_BACKWARD,
  sfByte = AVSEEK_FLAG_BYTE,
  sfAny = AVSEEK_FLAG_ANY,
  sfFrame = AVSEEK_FLAG_FRAME
};
using TSeekFlags = int;

// Image planes: data pointers and line sizes, as the libraries lay them out.
struct TPicturePlanes {
  uint8_t *data[AV_NUM_DATA_POINTERS] = {};
  int linesize[AV_NUM_DATA_POINTERS] = {};
};

// The current decoded video frame. Picture points into Buffer, which the decoder owns and
// reuses (grown, never shrunk); both stay valid until the next Decode/Seek/CloseFile.
struct TFrameInfo {
  AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
  int Width = -1;
  int Height = -1;
  bool IsKeyFrame = false;
  bool IsInterlaced = false;
  bool IsTopFieldFirst = false;
  AVPictureType PictureType = AV_PICTURE_TYPE_NONE;
  int64_t PTS = AV_NOPTS_VALUE;         // microseconds from the stream start
  int64_t OriginalDTS = AV_NOPTS_VALUE; // packet values in stream time-base units
  int64_t OriginalPTS = AV_NOPTS_VALUE;
  int StreamIndex = -1;
  int64_t Position = -1; // byte position of the packet, -1 when unknown
  bool Ready = false;    // a frame is held
  TPicturePlanes Picture;
  uint8_t *Buffer = nullptr; // owned by the decoder
  int Size = 0;              // capacity of Buffer in bytes
  const AVFrame *Frame = nullptr;
};

// The last decoded audio block in the decoder's output format. Buffer is owned by the decoder
// and valid until the next DecodeAudio/Seek/CloseFile.
struct TWaveInfo {
  int Channels = 0;
  int SampleRate = 0;
  AVSampleFormat SampleFormat = AV_SAMPLE_FMT_NONE;
  int BytesPerSample = 0;               // one sample of one channel
  int BytesPerSecond = 0;               // BytesPerSample x SampleRate x Channels
  int64_t PTS = AV_NOPTS_VALUE;         // microseconds from the stream start
  int64_t OriginalDTS = AV_NOPTS_VALUE; // packet values in stream time-base units
  int64_t OriginalPTS = AV_NOPTS_VALUE;
  int StreamIndex = -1;
  bool Ready = false;
  const uint8_t *Buffer = nullptr;
  int Size = 0;                      // bytes
  int64_t Duration = AV_NOPTS_VALUE; // microseconds of the block
};
