// RAII owners for FFmpeg objects: each frees its object with the matching library function
// through the bound entry points, so an early return or exception cannot leak.
#pragma once

#include <memory>

#include "components/FFAPI.h"

struct TCodecContextFree {
  void operator()(AVCodecContext *p) const { ff::avcodec_free_context(&p); }
};
struct TFrameFree {
  void operator()(AVFrame *p) const { ff::av_frame_free(&p); }
};
struct TPacketFree {
  void operator()(AVPacket *p) const { ff::av_packet_free(&p); }
};
struct TFilterGraphFree {
  void operator()(AVFilterGraph *p) const { ff::avfilter_graph_free(&p); }
};
struct TSwrFree {
  void operator()(SwrContext *p) const { ff::swr_free(&p); }
};
struct TDictFree {
  void operator()(AVDictionary *p) const { ff::av_dict_free(&p); }
};

using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextFree>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFree>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFilterGraphFree>;
using TSwrPtr = std::unique_ptr<SwrContext, TSwrFree>;

// A grow-only byte buffer from the library allocator (aligned for SIMD code).
class TAVBuffer {
public:
  TAVBuffer() = default;
  ~TAVBuffer() { ff::av_free(FData); }
  TAVBuffer(const TAVBuffer &) = delete;
  TAVBuffer &operator=(const TAVBuffer &) = delete;
  // Makes room for at least ASize bytes; contents are not kept when it grows. False when
  // the allocation fails (the buffer is then empty).
  bool Reserve(size_t ASize) {
    if (ASize <= FSize)
      return true;
    ff::av_free(FData);
    FData = static_cast<uint8_t *>(ff::av_malloc(ASize));
    FSize = FData ? ASize : 0;
    return FData != nullptr;
  }
  // Like Reserve, but keeps the contents.
  bool Grow(size_t ASize) {
    if (ASize <= FSize)
      return true;
    auto *p = static_cast<uint8_t *>(ff::av_realloc(FData, ASize));
    if (!p)
      return false;
    FData = p;
    FSize = ASize;
    return true;
  }
  uint8_t *Data() const { return FData; }
  size_t Size() const { return FSize; }

private:
  uint8_t *FData = nullptr;
  size_t FSize = 0;
};
