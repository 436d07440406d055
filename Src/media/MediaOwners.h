// RAII owners of the decoder: the shared ones of the engine plus the filter graph, the
// resampler and a grow-only buffer. Each frees its object through the bound entry points.
#pragma once

#include <memory>

#include "components/FFAPI.h"
#include "transcode/FFOwners.h"

namespace mediaown {
struct FilterGraphDeleter {
  void operator()(AVFilterGraph *p) const { ff::avfilter_graph_free(&p); }
};
struct SwrDeleter {
  void operator()(SwrContext *p) const { ff::swr_free(&p); }
};
} // namespace mediaown

using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, mediaown::FilterGraphDeleter>;
using TSwrPtr = std::unique_ptr<SwrContext, mediaown::SwrDeleter>;

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
