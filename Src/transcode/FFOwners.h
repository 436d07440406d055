// Small RAII owners for the FFmpeg objects the engine records hold. Each deleter calls the
// matching free function through the bound entry points (the libraries must still be loaded
// when an owner is destroyed; the engine is always destroyed before the loader unloads).
#pragma once

#include <memory>

#include "components/FFAPI.h"

namespace ffown {

struct CodecContextDeleter {
  void operator()(AVCodecContext *p) const { ff::avcodec_free_context(&p); }
};
struct FrameDeleter {
  void operator()(AVFrame *p) const { ff::av_frame_free(&p); }
};
struct PacketDeleter {
  void operator()(AVPacket *p) const { ff::av_packet_free(&p); }
};
struct CodecParametersDeleter {
  void operator()(AVCodecParameters *p) const { ff::avcodec_parameters_free(&p); }
};
struct BSFDeleter {
  void operator()(AVBSFContext *p) const { ff::av_bsf_free(&p); }
};
struct BufferRefDeleter {
  void operator()(AVBufferRef *p) const { ff::av_buffer_unref(&p); }
};
struct InputContextDeleter {
  void operator()(AVFormatContext *p) const { ff::avformat_close_input(&p); }
};
struct ExprDeleter {
  void operator()(AVExpr *p) const { ff::av_expr_free(p); }
};

} // namespace ffown

using TCodecContextPtr = std::unique_ptr<AVCodecContext, ffown::CodecContextDeleter>;
using TFramePtr = std::unique_ptr<AVFrame, ffown::FrameDeleter>;
using TPacketPtr = std::unique_ptr<AVPacket, ffown::PacketDeleter>;
using TCodecParametersPtr = std::unique_ptr<AVCodecParameters, ffown::CodecParametersDeleter>;
using TBSFContextPtr = std::unique_ptr<AVBSFContext, ffown::BSFDeleter>;
using TBufferRefPtr = std::unique_ptr<AVBufferRef, ffown::BufferRefDeleter>;
using TInputContextPtr = std::unique_ptr<AVFormatContext, ffown::InputContextDeleter>;
using TExprPtr = std::unique_ptr<AVExpr, ffown::ExprDeleter>;

// An owned FFmpeg dictionary. Get() hands out the pointer, Ref() the address for the
// av_dict_* calls that set entries.
class TDict {
public:
  TDict() = default;
  explicit TDict(const AVDictionary *src) { Copy(src); }
  TDict(const TDict &) = delete;
  TDict &operator=(const TDict &) = delete;
  TDict(TDict &&o) noexcept : FDict(o.FDict) { o.FDict = nullptr; }
  TDict &operator=(TDict &&o) noexcept {
    if (this != &o) {
      Clear();
      FDict = o.FDict;
      o.FDict = nullptr;
    }
    return *this;
  }
  ~TDict() { Clear(); }

  AVDictionary *Get() const { return FDict; }
  AVDictionary **Ref() { return &FDict; }
  void Copy(const AVDictionary *src) {
    Clear();
    if (src)
      ff::av_dict_copy(&FDict, src, 0);
  }
  void Clear() {
    if (FDict)
      ff::av_dict_free(&FDict);
  }
  const char *Value(const char *key) const {
    const AVDictionaryEntry *e = FDict ? ff::av_dict_get(FDict, key, nullptr, 0) : nullptr;
    return e ? e->value : nullptr;
  }
  int Count() const { return FDict ? ff::av_dict_count(FDict) : 0; }

private:
  AVDictionary *FDict = nullptr;
};
