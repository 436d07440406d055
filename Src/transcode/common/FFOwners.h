// Small RAII owners for the FFmpeg objects the engine and the media layer hold: the one place
// for their deleters. Each deleter calls the matching free function through the bound entry
// points (the libraries must still be loaded when an owner is destroyed; the engine is always
// destroyed before the loader unloads).
#pragma once

#include <memory>
#include <vector>

#include "components/FFAPI.h"
#include "components/Owners.h"

namespace ffown {

// Frees a codec context; an SVT-AV1 encoder that was never told its stream ended is told first
// (its library waits for the end-of-stream packet forever otherwise: a failed output hangs).
struct CodecContextDeleter {
  void operator()(AVCodecContext *p) const;
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
struct AVIODeleter {
  void operator()(AVIOContext *p) const { ff::avio_closep(&p); }
};
struct FilterGraphDeleter {
  void operator()(AVFilterGraph *p) const { ff::avfilter_graph_free(&p); }
};
struct FilterInOutDeleter {
  void operator()(AVFilterInOut *p) const { ff::avfilter_inout_free(&p); }
};
struct SwrDeleter {
  void operator()(SwrContext *p) const { ff::swr_free(&p); }
};
struct SwsDeleter {
  void operator()(SwsContext *p) const { ff::sws_freeContext(p); }
};
// A muxer context and its I/O.
struct MuxerContextDeleter {
  void operator()(AVFormatContext *p) const {
    if (p->oformat && !(p->oformat->flags & AVFMT_NOFILE))
      ff::avio_closep(&p->pb);
    ff::avformat_free_context(p);
  }
};
// A FIFO of AVPacket pointers: the packets still queued are freed with it.
struct PacketFifoDeleter {
  void operator()(AVFifo *p) const {
    AVPacket *pkt = nullptr;
    while (ff::av_fifo_read(p, &pkt, 1) >= 0)
      ff::av_packet_free(&pkt);
    ff::av_fifo_freep2(&p);
  }
};
// A FIFO of AVFrame pointers: the frames still queued are freed with it.
struct FrameFifoDeleter {
  void operator()(AVFifo *p) const {
    AVFrame *frame = nullptr;
    while (ff::av_fifo_read(p, &frame, 1) >= 0)
      ff::av_frame_free(&frame);
    ff::av_fifo_freep2(&p);
  }
};
// A FIFO of AVSubtitle values: the subtitles still queued are freed with it.
struct SubtitleFifoDeleter {
  void operator()(AVFifo *p) const {
    AVSubtitle sub;
    while (ff::av_fifo_read(p, &sub, 1) >= 0)
      ff::avsubtitle_free(&sub);
    ff::av_fifo_freep2(&p);
  }
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
using TAVIOPtr = std::unique_ptr<AVIOContext, ffown::AVIODeleter>;
using TAVFilterGraphPtr = std::unique_ptr<AVFilterGraph, ffown::FilterGraphDeleter>;
using TFilterInOutPtr = std::unique_ptr<AVFilterInOut, ffown::FilterInOutDeleter>;
using TSwrPtr = std::unique_ptr<SwrContext, ffown::SwrDeleter>;
using TSwsPtr = std::unique_ptr<SwsContext, ffown::SwsDeleter>;
using TMuxerContextPtr = std::unique_ptr<AVFormatContext, ffown::MuxerContextDeleter>;
using TPacketFifoPtr = std::unique_ptr<AVFifo, ffown::PacketFifoDeleter>;
using TSubtitleFifoPtr = std::unique_ptr<AVFifo, ffown::SubtitleFifoDeleter>;
using TFrameFifoPtr = std::unique_ptr<AVFifo, ffown::FrameFifoDeleter>;

// A decoded subtitle freed at the end of the scope, unless Release() says another owner took it.
class TSubtitleScope {
public:
  explicit TSubtitleScope(AVSubtitle &sub) : FSub(&sub) {}
  TSubtitleScope(const TSubtitleScope &) = delete;
  TSubtitleScope &operator=(const TSubtitleScope &) = delete;
  ~TSubtitleScope() {
    if (FSub)
      ff::avsubtitle_free(FSub);
  }
  void Release() { FSub = nullptr; }

private:
  AVSubtitle *FSub;
};

// An owned FFmpeg dictionary. Get() hands out the pointer, Ref() the address for the
// av_dict_* calls that set entries.
class TDict {
public:
  TDict() = default;
  explicit TDict(const AVDictionary *src) { Copy(src); }
  // Takes over a dictionary the caller owned.
  static TDict Adopt(AVDictionary *d) {
    TDict r;
    r.FDict = d;
    return r;
  }
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
  // Hands the dictionary to a caller that frees it.
  AVDictionary *Release() {
    AVDictionary *d = FDict;
    FDict = nullptr;
    return d;
  }

private:
  AVDictionary *FDict = nullptr;
};

// Owned dictionaries in one array, for the calls that take one dictionary per stream
// (avformat_find_stream_info); the library may replace entries, so the array keeps ownership.
class TDictArray {
public:
  explicit TDictArray(size_t n) : FDicts(n, nullptr) {}
  TDictArray(const TDictArray &) = delete;
  TDictArray &operator=(const TDictArray &) = delete;
  ~TDictArray() {
    for (AVDictionary *&d : FDicts)
      ff::av_dict_free(&d);
  }
  void Set(size_t i, TDict d) {
    ff::av_dict_free(&FDicts[i]);
    FDicts[i] = d.Release();
  }
  AVDictionary **Ref(size_t i) { return &FDicts[i]; }
  AVDictionary **Data() { return FDicts.empty() ? nullptr : FDicts.data(); }

private:
  std::vector<AVDictionary *> FDicts;
};
