// TFrameIndex: where the frames of one video stream lie, for frame-exact stepping. A scan of
// the stream's packets (no decoding) gives the frame count and the key frames with their byte
// position and stream times; when every packet carries a presentation time it also gives every
// frame's time. Streams whose packets lack times (MPEG program streams) get their frame times
// from a decoding pass the decoder records with AddDecodedFrame.
// Times: Time fields are microseconds from the stream start, as the decoder reports frames;
// StreamPTS/StreamDTS are the packet's own values in the stream's time base.
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

  int64_t FirstFrame() const { return FFrames.empty() ? AV_NOPTS_VALUE : FFrames.front(); }
  // The largest frame time below ATime; AV_NOPTS_VALUE when none.
  int64_t FrameBefore(int64_t ATime) const;
  // Indexes into the key list (ascending times); -1 when there is none.
  int KeyBefore(int64_t ATime) const;
  int KeyAtOrBefore(int64_t ATime) const;
  int KeyAfter(int64_t ATime) const;
  int KeyAtOrAfter(int64_t ATime) const;
  int LastKey() const { return int(FKeys.size()) - 1; }
  const TKey &Key(int AIndex) const { return FKeys[size_t(AIndex)]; }

private:
  int FStream = -1;
  size_t FPacketCount = 0;
  bool FKeysTimed = false;
  std::vector<int64_t> FFrames; // ascending
  std::vector<TKey> FKeys;      // ascending
  std::vector<int64_t> FDecodedKeys;
};
