#include "media/TFrameIndex.h"

#include <algorithm>
#include <new>

bool TFrameIndex::Scan(AVFormatContext *AContext, int AStream,
                       const TTimeConverter &AToMicroseconds,
                       const std::function<void()> &AOnRead) {
  Clear();
  FStream = AStream;
  AVPacket *pkt = ff::av_packet_alloc();
  if (!pkt)
    throw std::bad_alloc();
  bool timed = true;
  int ret;
  while (AOnRead(), (ret = ff::av_read_frame(AContext, pkt)) >= 0) {
    if (pkt->stream_index == AStream) {
      ++FPacketCount;
      const int64_t time = pkt->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : AToMicroseconds(pkt->pts);
      timed = timed && time != AV_NOPTS_VALUE;
      if (timed)
        FFrames.push_back(time);
      if (pkt->flags & AV_PKT_FLAG_KEY)
        FKeys.push_back(TKey{time, pkt->pts, pkt->dts, pkt->pos});
    }
    ff::av_packet_unref(pkt);
  }
  ff::av_packet_free(&pkt);
  if (ret != AVERROR_EOF) { // a read error or time-out: an index of part of the file misleads
    Clear();
    return false;
  }
  FKeysTimed = timed;
  if (!timed) { // decoding order stays, for pairing with the decoded key frames
    FFrames.clear();
    for (TKey &key : FKeys)
      key.Time = AV_NOPTS_VALUE;
    return FPacketCount > 0;
  }
  std::sort(FFrames.begin(), FFrames.end());
  std::sort(FKeys.begin(), FKeys.end(),
            [](const TKey &a, const TKey &b) { return a.Time < b.Time; });
  return FPacketCount > 0;
}

void TFrameIndex::Clear() {
  FStream = -1;
  FPacketCount = 0;
  FKeysTimed = false;
  FFrames.clear();
  FKeys.clear();
  FDecodedKeys.clear();
}

void TFrameIndex::StartDecodedTimes() {
  FFrames.clear();
  FDecodedKeys.clear();
}

void TFrameIndex::AddDecodedFrame(int64_t ATime, bool AKey) {
  FFrames.push_back(ATime);
  if (AKey)
    FDecodedKeys.push_back(ATime);
}

bool TFrameIndex::FinishDecodedTimes() {
  // Key packets and decoded key frames follow the same order; a count that differs (a key
  // frame the decoder could not show) leaves the times unknown.
  const bool paired = FDecodedKeys.size() == FKeys.size() &&
                      std::find(FFrames.begin(), FFrames.end(), AV_NOPTS_VALUE) == FFrames.end();
  if (paired)
    for (size_t i = 0; i < FKeys.size(); ++i)
      FKeys[i].Time = FDecodedKeys[i];
  FDecodedKeys.clear();
  std::sort(FFrames.begin(), FFrames.end());
  FKeysTimed = paired;
  if (!paired)
    FFrames.clear();
  return paired;
}

int64_t TFrameIndex::FrameBefore(int64_t ATime) const {
  auto it = std::lower_bound(FFrames.begin(), FFrames.end(), ATime);
  return it == FFrames.begin() ? AV_NOPTS_VALUE : *(it - 1);
}

int TFrameIndex::KeyBefore(int64_t ATime) const {
  auto it = std::lower_bound(FKeys.begin(), FKeys.end(), ATime,
                             [](const TKey &k, int64_t t) { return k.Time < t; });
  return int(it - FKeys.begin()) - 1;
}

int TFrameIndex::KeyAtOrBefore(int64_t ATime) const {
  return ATime == INT64_MAX ? LastKey() : KeyBefore(ATime + 1);
}

int TFrameIndex::KeyAfter(int64_t ATime) const {
  const int next = KeyAtOrBefore(ATime) + 1;
  return next < int(FKeys.size()) ? next : -1;
}

int TFrameIndex::KeyAtOrAfter(int64_t ATime) const {
  const int next = KeyBefore(ATime) + 1;
  return next < int(FKeys.size()) ? next : -1;
}
