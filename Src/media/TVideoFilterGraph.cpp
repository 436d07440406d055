#include "media/TVideoFilterGraph.h"

#include <algorithm>
#include <cstdio>

#include "components/TFFLogger.h"

namespace {
struct TInOutFree {
  void operator()(AVFilterInOut *p) const { ff::avfilter_inout_free(&p); }
};
using TInOutPtr = std::unique_ptr<AVFilterInOut, TInOutFree>;

TInOutPtr Endpoint(const char *AName, AVFilterContext *AFilter) {
  TInOutPtr io(ff::avfilter_inout_alloc());
  if (!io)
    throw std::bad_alloc();
  io->name = ff::av_strdup(AName);
  io->filter_ctx = AFilter;
  io->pad_idx = 0;
  io->next = nullptr;
  return io;
}
} // namespace

void TVideoFilterGraph::Reset() {
  FGraph.reset();
  FBufferSrc = FBufferSink = nullptr;
  FLastDescription.clear();
}

bool TVideoFilterGraph::Build(const std::string &ADescription, const TVideoFilterSource &ASource) {
  FGraph.reset(ff::avfilter_graph_alloc());
  if (!FGraph)
    throw std::bad_alloc();
  char args[512];
  int n = std::snprintf(args, sizeof args,
                        "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                        ASource.Width, ASource.Height, int(ASource.PixFmt), ASource.TimeBase.num,
                        ASource.TimeBase.den, ASource.SAR.num, std::max(ASource.SAR.den, 1));
  if (ASource.FrameRate.num > 0 && ASource.FrameRate.den > 0)
    std::snprintf(args + n, sizeof args - size_t(n), ":frame_rate=%d/%d", ASource.FrameRate.num,
                  ASource.FrameRate.den);
  if (ff::avfilter_graph_create_filter(&FBufferSrc, ff::avfilter_get_by_name("buffer"), "in", args,
                                       nullptr, FGraph.get()) < 0) {
    Log(FLogSender, llError, "Cannot create buffer source");
    return false;
  }
  if (ff::avfilter_graph_create_filter(&FBufferSink, ff::avfilter_get_by_name("buffersink"), "out",
                                       nullptr, nullptr, FGraph.get()) < 0) {
    Log(FLogSender, llError, "Cannot create buffer sink");
    return false;
  }
  const AVPixelFormat format = ASource.PixFmt;
  if (ff::av_opt_set_bin(FBufferSink, "pix_fmts", reinterpret_cast<const uint8_t *>(&format),
                         sizeof format, AV_OPT_SEARCH_CHILDREN) < 0) {
    Log(FLogSender, llError, "Cannot set output pixel format");
    return false;
  }
  // The description's open input is fed by "in", its open output drains into "out".
  TInOutPtr outputs = Endpoint("in", FBufferSrc);
  TInOutPtr inputs = Endpoint("out", FBufferSink);
  AVFilterInOut *in = inputs.release(), *out = outputs.release();
  int ret = ff::avfilter_graph_parse_ptr(FGraph.get(), ADescription.c_str(), &in, &out, nullptr);
  inputs.reset(in);
  outputs.reset(out);
  if (ret < 0 || ff::avfilter_graph_config(FGraph.get(), nullptr) < 0) {
    Log(FLogSender, llError, "Error while configuring the filtergraph: %s", ADescription.c_str());
    return false;
  }
  return true;
}

AVFrame *TVideoFilterGraph::Filter(AVFrame *AFrame, AVFrame *AFiltered, std::string &ADescription,
                                   const TVideoFilterSource &ASource) {
  if (ADescription.empty()) {
    if (FGraph)
      Reset();
    return AFrame;
  }
  if (ADescription != FLastDescription) {
    Reset();
    if (!Build(ADescription, ASource)) {
      // Frames pass unfiltered from now on rather than failing on every frame.
      Reset();
      ADescription.clear();
      return AFrame;
    }
    FLastDescription = ADescription;
  }
  if (ff::av_buffersrc_add_frame_flags(FBufferSrc, AFrame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
    Log(FLogSender, llError, "Error while feeding the filtergraph");
    return AFrame;
  }
  ff::av_frame_unref(AFiltered);
  if (ff::av_buffersink_get_frame_flags(FBufferSink, AFiltered, 0) < 0)
    return nullptr;
  return AFiltered;
}
