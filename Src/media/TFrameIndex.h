// TFrameIndex: where the frames of one video stream lie, for frame-exact stepping. A scan of
// the stream's packets (no decoding) gives the frame count and the key frames with their byte
// position and stream times; when every packet carries a presentation time it also gives every
// frame's time. Streams whose packets lack times (MPEG program streams) get their frame times
// from a decoding pass the decoder records with AddDecodedFrame.
// Times: Time fields are microseconds from the stream start, as the decoder reports frames;
// StreamPTS/StreamDTS are the packet's own values in the stream's time base.
// Positions: frames are numbered in presentation order from 0. Frames may share a time stamp
// (a millisecond time base rounds a jittered cadence together); those keep their file order,
// so that stepping can tell them apart by position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "components/FFAPI.h"

class TFrameIndex {
public:
  struct TKey {
    int64_t Time = AV_NOPTS_VALUE;
    int64_t StreamPTS = AV_NOPTS_VALUE;
    int64_t StreamDTS = AV_NOPTS_VALUE;
    int64_t Pos = -1;
    int64_t Frame = -1; // position among the frames
  };
  using TTimeConverter = std::function<int64_t(int64_t)>;

  // Reads every packet of AStream from the current position to the end (AOnRead runs before
  // each read). False, leaving the index empty, when reading fails before the end of the file
  // or the stream has no packet.
  bool Scan(AVFormatContext *AContext, int AStream, const TTimeConverter &AToMicroseconds,
            const std::function<void()> &AOnRead);
  void Clear();
  int Stream() const { return FStream; }
  size_t PacketCount() const { return FPacketCount; }
  // Every frame and key frame has a time.
  bool HasTimes() const { return !FFrames.empty() && FKeysTimed; }
  // Frame times come from decoding: AddDecodedFrame records them in decoding order, Finish
  // pairs the decoded key frames with the scanned key packets (false when they disagree).
  void StartDecodedTimes();
  void AddDecodedFrame(int64_t ATime, bool AKey);
  bool FinishDecodedTimes();

  // The time of frame AFrame; AV_NOPTS_VALUE outside the list.
  int64_t FrameTime(int64_t AFrame) const;
  // The number of frames before ATime: the position of the first frame at or after it.
  int64_t FramesBefore(int64_t ATime) const;
  // The position of a frame decoded at ATime after a seek: the first key frame of that time
  // (AKey), else the first frame of that time; -1 when no frame has it.
  int64_t FrameAt(int64_t ATime, bool AKey) const;
  // Indexes into the key list (ascending positions and times); -1 when there is none. Of key
  // frames that share a time, a search by time finds the first.
  int KeyBefore(int64_t ATime) const;
  int KeyAtOrBefore(int64_t ATime) const;
  int KeyAtOrAfter(int64_t ATime) const;
  int KeyBeforeFrame(int64_t AFrame) const;
  int KeyAtOrBeforeFrame(int64_t AFrame) const;
  int KeyAfterFrame(int64_t AFrame) const;
  int LastKey() const { return int(FKeys.size()) - 1; }
  const TKey &Key(int AIndex) const { return FKeys[size_t(AIndex)]; }

private:
  // A frame in file or decoding order; Key: its index into FKeys (scan) or its number among
  // the decoded key frames (decoding pass), -1 for other frames.
  struct TEntry {
    int64_t Time;
    int Key;
  };
  // Puts the frames in presentation order and gives the key frames their positions.
  void Order(std::vector<TEntry> &AEntries);

  int FStream = -1;
  size_t FPacketCount = 0;
  bool FKeysTimed = false;
  std::vector<int64_t> FFrames; // ascending
  std::vector<TKey> FKeys;      // ascending
  std::vector<TEntry> FDecoded;
  int FDecodedKeys = 0;
};
