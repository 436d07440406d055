#include "media/TFrameIndex.h"

#include <algorithm>
#include <new>

#include "transcode/common/FFOwners.h"

bool TFrameIndex::Scan(AVFormatContext *AContext, int AStream,
                       const TTimeConverter &AToMicroseconds,
                       const std::function<void()> &AOnRead) {
  Clear();
  FStream = AStream;
  TPacketPtr pkt(ff::av_packet_alloc());
  if (!pkt)
    throw std::bad_alloc();
  std::vector<TEntry> entries;
  bool timed = true;
  int ret;
  while (AOnRead(), (ret = ff::av_read_frame(AContext, pkt.get())) >= 0) {
    if (pkt->stream_index == AStream) {
      ++FPacketCount;
      const int64_t time = pkt->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : AToMicroseconds(pkt->pts);
      const bool key = pkt->flags & AV_PKT_FLAG_KEY;
      timed = timed && time != AV_NOPTS_VALUE;
      if (timed)
        entries.push_back(TEntry{time, key ? int(FKeys.size()) : -1});
      if (key)
        FKeys.push_back(TKey{time, pkt->pts, pkt->dts, pkt->pos});
    }
    ff::av_packet_unref(pkt.get());
  }
  if (ret != AVERROR_EOF) { // a read error or time-out: an index of part of the file misleads
    Clear();
    return false;
  }
  FKeysTimed = timed;
  if (!timed) { // decoding order stays, for pairing with the decoded key frames
    for (TKey &key : FKeys)
      key.Time = AV_NOPTS_VALUE;
    return FPacketCount > 0;
  }
  Order(entries);
  return FPacketCount > 0;
}

void TFrameIndex::Order(std::vector<TEntry> &AEntries) {
  std::stable_sort(AEntries.begin(), AEntries.end(),
                   [](const TEntry &a, const TEntry &b) { return a.Time < b.Time; });
  FFrames.clear();
  for (const TEntry &entry : AEntries) {
    if (entry.Key >= 0)
      FKeys[size_t(entry.Key)].Frame = int64_t(FFrames.size());
    FFrames.push_back(entry.Time);
  }
  std::sort(FKeys.begin(), FKeys.end(),
            [](const TKey &a, const TKey &b) { return a.Frame < b.Frame; });
}

void TFrameIndex::Clear() {
  FStream = -1;
  FPacketCount = 0;
  FKeysTimed = false;
  FFrames.clear();
  FKeys.clear();
  FDecoded.clear();
  FDecodedKeys = 0;
}

void TFrameIndex::StartDecodedTimes() {
  FFrames.clear();
  FDecoded.clear();
  FDecodedKeys = 0;
}

void TFrameIndex::AddDecodedFrame(int64_t ATime, bool AKey) {
  FDecoded.push_back(TEntry{ATime, AKey ? FDecodedKeys++ : -1});
}

bool TFrameIndex::FinishDecodedTimes() {
  // Key packets and decoded key frames follow the same order; a count that differs (a key
  // frame the decoder could not show) leaves the times unknown.
  const bool paired = size_t(FDecodedKeys) == FKeys.size() &&
                      std::none_of(FDecoded.begin(), FDecoded.end(), [](const TEntry &AEntry) {
                        return AEntry.Time == AV_NOPTS_VALUE;
                      });
  if (paired) {
    for (const TEntry &entry : FDecoded)
      if (entry.Key >= 0)
        FKeys[size_t(entry.Key)].Time = entry.Time;
    Order(FDecoded);
  }
  FDecoded.clear();
  FDecodedKeys = 0;
  FKeysTimed = paired;
  return paired;
}

int64_t TFrameIndex::FrameTime(int64_t AFrame) const {
  return AFrame >= 0 && size_t(AFrame) < FFrames.size() ? FFrames[size_t(AFrame)] : AV_NOPTS_VALUE;
}

int64_t TFrameIndex::FramesBefore(int64_t ATime) const {
  return std::lower_bound(FFrames.begin(), FFrames.end(), ATime) - FFrames.begin();
}

int64_t TFrameIndex::FrameAt(int64_t ATime, bool AKey) const {
  if (AKey) {
    const int key = KeyAtOrAfter(ATime);
    if (key >= 0 && FKeys[size_t(key)].Time == ATime)
      return FKeys[size_t(key)].Frame;
  }
  const int64_t first = FramesBefore(ATime);
  return FrameTime(first) == ATime ? first : -1;
}

int TFrameIndex::KeyBefore(int64_t ATime) const {
  auto it = std::lower_bound(FKeys.begin(), FKeys.end(), ATime,
                             [](const TKey &k, int64_t t) { return k.Time < t; });
  return int(it - FKeys.begin()) - 1;
}

int TFrameIndex::KeyAtOrBefore(int64_t ATime) const {
  const int last = ATime == INT64_MAX ? LastKey() : KeyBefore(ATime + 1);
  return last < 0 ? -1 : KeyBefore(FKeys[size_t(last)].Time) + 1;
}

int TFrameIndex::KeyAtOrAfter(int64_t ATime) const {
  const int next = KeyBefore(ATime) + 1;
  return next < int(FKeys.size()) ? next : -1;
}

int TFrameIndex::KeyBeforeFrame(int64_t AFrame) const {
  auto it = std::lower_bound(FKeys.begin(), FKeys.end(), AFrame,
                             [](const TKey &k, int64_t f) { return k.Frame < f; });
  return int(it - FKeys.begin()) - 1;
}

int TFrameIndex::KeyAtOrBeforeFrame(int64_t AFrame) const {
  return KeyBeforeFrame(AFrame + 1);
}

int TFrameIndex::KeyAfterFrame(int64_t AFrame) const {
  const int next = KeyAtOrBeforeFrame(AFrame) + 1;
  return next < int(FKeys.size()) ? next : -1;
}
