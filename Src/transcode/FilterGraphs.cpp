#include "transcode/FilterGraphs.h"

#include <cmath>
#include <cstring>

#include "components/TFFLogger.h"
#include "transcode/HWDevices.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/TOutputStreamFactory.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

namespace {

struct TBPrint {
  AVBPrint b;
  TBPrint() { ff::av_bprint_init(&b, 0, AV_BPRINT_SIZE_UNLIMITED); }
  ~TBPrint() { ff::av_bprint_finalize(&b, nullptr); }
  TBPrint(const TBPrint &) = delete;
  TBPrint &operator=(const TBPrint &) = delete;
  std::string Text() const { return b.str ? std::string(b.str, b.len) : std::string(); }
};

std::string LayoutText(const AVChannelLayout &layout) {
  TBPrint p;
  ff::av_channel_layout_describe_bprint(&layout, &p.b);
  return p.Text();
}

// The filter name alone when the filter has several pads on that side, else "filter:pad".
std::string DescribeFilterLink(const AVFilterInOut *inout, bool input) {
  const AVFilterContext *ctx = inout->filter_ctx;
  const AVFilterPad *pads = input ? ctx->input_pads : ctx->output_pads;
  const unsigned count = input ? ctx->nb_inputs : ctx->nb_outputs;
  if (count > 1)
    return ctx->filter->name;
  return Format("%s:%s", ctx->filter->name, ff::avfilter_pad_get_name(pads, inout->pad_idx));
}

std::string DictAsArgs(const AVDictionary *d, const char *lead, const char *tail) {
  std::string args;
  const AVDictionaryEntry *e = nullptr;
  while ((e = ff::av_dict_get(d, "", e, AV_DICT_IGNORE_SUFFIX)))
    args += Format("%s%s=%s%s", lead, e->key, e->value, tail);
  return args;
}

int Link(AVFilterContext *src, int pad, AVFilterContext *dst, int dstPad = 0) {
  return ff::avfilter_link(src, unsigned(pad), dst, unsigned(dstPad));
}

// Links ctx behind *last, which it becomes.
int Append(AVFilterContext **last, int *pad, AVFilterContext *ctx) {
  int ret = Link(*last, *pad, ctx);
  if (ret < 0)
    return ret;
  *last = ctx;
  *pad = 0;
  return 0;
}

// A filter made with name and args, linked behind *last, which it becomes.
int InsertFilter(AVFilterContext **last, int *pad, const char *filter, const std::string &name,
                 const char *args) {
  AVFilterContext *ctx = nullptr;
  int ret = ff::avfilter_graph_create_filter(&ctx, ff::avfilter_get_by_name(filter), name.c_str(),
                                             args, nullptr, (*last)->graph);
  return ret < 0 ? ret : Append(last, pad, ctx);
}

// trim (video) or atrim (audio) behind *last limiting to [start, start + duration), both in
// microseconds; nothing when neither is given.
int InsertTrim(int64_t start, int64_t duration, AVFilterContext **last, int *pad,
               const std::string &name) {
  if (duration == INT64_MAX && start == AV_NOPTS_VALUE)
    return 0;
  const AVMediaType type = ff::avfilter_pad_get_type((*last)->output_pads, *pad);
  const char *filterName = type == AVMEDIA_TYPE_VIDEO ? "trim" : "atrim";
  const AVFilter *trim = ff::avfilter_get_by_name(filterName);
  if (!trim) {
    ff::av_log(nullptr, AV_LOG_ERROR, "%s filter not present, cannot limit recording time.\n",
               filterName);
    return AVERROR_FILTER_NOT_FOUND;
  }
  AVFilterContext *ctx = ff::avfilter_graph_alloc_filter((*last)->graph, trim, name.c_str());
  if (!ctx)
    return AVERROR(ENOMEM);
  int ret = 0;
  if (duration != INT64_MAX)
    ret = ff::av_opt_set_int(ctx, "durationi", duration, AV_OPT_SEARCH_CHILDREN);
  if (ret >= 0 && start != AV_NOPTS_VALUE)
    ret = ff::av_opt_set_int(ctx, "starti", start, AV_OPT_SEARCH_CHILDREN);
  if (ret < 0) {
    ff::av_log(ctx, AV_LOG_ERROR, "Error configuring the %s filter", filterName);
    return ret;
  }
  ret = ff::avfilter_init_str(ctx, nullptr);
  return ret < 0 ? ret : Append(last, pad, ctx);
}

// Rotation of a display matrix in whole degrees within [0, 360), 0 without a matrix.
double RotationOf(const int32_t *matrix) {
  double theta = matrix ? -std::round(ff::av_display_rotation_get(matrix)) : 0;
  theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
  if (std::fabs(theta - 90 * std::round(theta / 90)) > 2)
    ff::av_log(nullptr, AV_LOG_WARNING,
               "Odd rotation angle.\nIf you want to help, upload a sample of this file to "
               "https://streams.videolan.org/upload/ and contact the ffmpeg-devel mailing list. "
               "(ffmpeg-devel@ffmpeg.org)");
  return theta;
}

// Every filter is metadata-only, a sink or a buffer source.
int GraphIsMeta(const AVFilterGraph *graph) {
  for (unsigned i = 0; i < graph->nb_filters; i++) {
    const AVFilter *f = graph->filters[i]->filter;
    if (!(f->flags & AVFILTER_FLAG_METADATA_ONLY) && f->nb_outputs != 0 &&
        std::strcmp(f->name, "buffer") != 0 && std::strcmp(f->name, "abuffer") != 0)
      return 0;
  }
  return 1;
}

const AVPixelFormat *CompliantPixFmts(const AVCodec *codec, const AVPixelFormat *list) {
  static const AVPixelFormat mjpeg[] = {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P,
                                        AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_NONE};
  return std::strcmp(codec->name, "mjpeg") == 0 ? mjpeg : list;
}

// The requested format when the encoder takes it, else the best match of its list.
AVPixelFormat ChoosePixelFmt(const AVCodecContext *enc, const AVCodec *codec,
                             AVPixelFormat target) {
  if (!codec || !codec->pix_fmts)
    return target;
  const AVPixFmtDescriptor *desc = ff::av_pix_fmt_desc_get(target);
  const int hasAlpha = desc ? desc->nb_components % 2 == 0 : 0;
  const AVPixelFormat *p = codec->pix_fmts;
  if (enc->strict_std_compliance > FF_COMPLIANCE_UNOFFICIAL)
    p = CompliantPixFmts(codec, p);
  AVPixelFormat best = AV_PIX_FMT_NONE;
  for (; *p != AV_PIX_FMT_NONE; p++) {
    best = ff::av_find_best_pix_fmt_of_2(best, *p, target, hasAlpha, nullptr);
    if (*p == target)
      return target;
  }
  if (target != AV_PIX_FMT_NONE)
    ff::av_log(nullptr, AV_LOG_WARNING,
               "Incompatible pixel format \"%s\" for codec \"%s\", auto-selecting format \"%s\"\n",
               ff::av_get_pix_fmt_name(target), codec->name, ff::av_get_pix_fmt_name(best));
  return best;
}

// "name=value:" for the wanted value, or "name=a|b|...:" for the accepted list; nothing when
// neither is known.
template <typename T, typename ToText>
std::string ChooseFormat(const char *name, T wanted, T none, const T *list, ToText text) {
  if (wanted == none && !list)
    return {};
  std::string s = std::string(name) + "=";
  if (wanted != none) {
    s += text(wanted);
  } else {
    std::string joined;
    for (const T *p = list; *p != none; p++)
      joined += text(*p) + "|";
    if (!joined.empty())
      joined.pop_back();
    s += joined;
  }
  return s + ":";
}

std::string ChooseChannelLayouts(const TOutputFilter *ofilter) {
  if (ff::av_channel_layout_check(&ofilter->ch_layout))
    return "channel_layouts=" + LayoutText(ofilter->ch_layout) + ":";
  if (!ofilter->ch_layouts)
    return {};
  std::string joined;
  for (const AVChannelLayout *p = ofilter->ch_layouts; p->nb_channels; p++)
    joined += LayoutText(*p) + "|";
  if (!joined.empty())
    joined.pop_back();
  return "channel_layouts=" + joined + ":";
}

} // namespace

void TFilterGraphs::Fatal(const std::string &text) const {
  ::Fatal(&E, text);
}

// ---- creating and binding ------------------------------------------------------------------

// A new input of fg fed by ist (listed among the stream's filters).
TInputFilter *TFilterGraphs::AddInputFilter(TFilterGraph *fg, TInputStream *ist) {
  auto ifilter = std::make_unique<TInputFilter>();
  ifilter->ist = ist;
  ifilter->graph = fg;
  ifilter->type_ = ist->st->codecpar->codec_type;
  ifilter->frame_queue.reset(ff::av_fifo_alloc2(8, sizeof(AVFrame *), AV_FIFO_FLAG_AUTO_GROW));
  if (!ifilter->frame_queue)
    Fatal("av_fifo_alloc() failed");
  ist->filters.push_back(ifilter.get());
  ist->nb_filters = int(ist->filters.size());
  fg->inputs.push_back(std::move(ifilter));
  return fg->inputs.back().get();
}

int TFilterGraphs::init_simple_filtergraph(TInputStream *ist, TOutputStream *ost) {
  auto fg = std::make_unique<TFilterGraph>();
  fg->index = E.Fnb_filtergraphs();
  fg->is_simple = true;

  auto ofilter = std::make_unique<TOutputFilter>();
  ofilter->ost = ost;
  ofilter->graph = fg.get();
  ofilter->type_ = ost->st->codecpar->codec_type;
  ost->filter = ofilter.get();
  fg->outputs.push_back(std::move(ofilter));

  AddInputFilter(fg.get(), ist);
  E.Ffiltergraphs.push_back(std::move(fg));
  return 0;
}

int TFilterGraphs::init_complex_filters() {
  for (; FNbParsedGraphs < E.Fnb_filtergraphs(); FNbParsedGraphs++) {
    TFilterGraph *fg = E.Ffiltergraphs[FNbParsedGraphs].get();
    if (filtergraph_is_simple(fg))
      continue;
    int ret = init_complex_filtergraph(fg);
    if (ret < 0) {
      // Not parsed: the failed output removes the graph again.
      return ret;
    }
  }
  return 0;
}

// Parses the description into a throw-away graph to learn its unconnected pads.
int TFilterGraphs::init_complex_filtergraph(TFilterGraph *fg) {
  TAVFilterGraphPtr graph(ff::avfilter_graph_alloc());
  if (!graph)
    return AVERROR(ENOMEM);
  graph->nb_threads = 1;
  AVFilterInOut *inputs = nullptr, *outputs = nullptr;
  int ret = ff::avfilter_graph_parse2(graph.get(), fg->graph_desc.c_str(), &inputs, &outputs);
  TFilterInOutPtr ownInputs(inputs), ownOutputs(outputs);
  if (ret < 0)
    return ret;
  for (AVFilterInOut *cur = inputs; cur; cur = cur->next)
    init_input_filter(fg, cur);
  while (AVFilterInOut *cur = ownOutputs.release()) {
    ownOutputs.reset(cur->next);
    cur->next = nullptr;
    auto ofilter = std::make_unique<TOutputFilter>();
    ofilter->graph = fg;
    ofilter->type_ = ff::avfilter_pad_get_type(cur->filter_ctx->output_pads, cur->pad_idx);
    ofilter->name = DescribeFilterLink(cur, false);
    cur->filter_ctx = nullptr; // belongs to the parse-only graph
    ofilter->out_tmp.reset(cur);
    fg->outputs.push_back(std::move(ofilter));
  }
  return 0;
}

TInputStream *TFilterGraphs::FindLabelledInput(const TFilterGraph *fg, const char *label,
                                               AVMediaType type) {
  char *p = nullptr;
  const long fileIdx = std::strtol(label, &p, 0);
  if (fileIdx < 0 || fileIdx >= E.Fnb_input_files())
    Fatal(Format("Invalid file index %d in filtergraph description %s.", int(fileIdx),
                 fg->graph_desc.c_str()));
  const TInputFile &f = *E.Finput_files[fileIdx];
  AVFormatContext *s = f.ctx.get();
  const char *spec = *p == ':' ? p + 1 : p;
  for (unsigned i = 0; i < s->nb_streams; i++) {
    const AVMediaType stType = s->streams[i]->codecpar->codec_type;
    const bool sub2video = stType == AVMEDIA_TYPE_SUBTITLE && type == AVMEDIA_TYPE_VIDEO;
    if (stType != type && !sub2video)
      continue;
    const int match = ff::avformat_match_stream_specifier(s, s->streams[i], spec);
    if (match < 0)
      ff::av_log(s, AV_LOG_ERROR, "Invalid stream specifier: %s.\n", spec);
    if (match <= 0)
      continue;
    TInputStream *ist = E.Finput_streams[f.ist_index + int(i)].get();
    if (ist->user_set_discard == AVDISCARD_ALL)
      Fatal(Format("Stream specifier \"%s\" in filtergraph description %s matches a disabled "
                   "input stream.",
                   p, fg->graph_desc.c_str()));
    return ist;
  }
  Fatal(Format("Stream specifier \"%s\" in filtergraph description %s matches no streams.", p,
               fg->graph_desc.c_str()));
}

TInputStream *TFilterGraphs::FindUnlabelledInput(const AVFilterInOut *in, AVMediaType type) {
  for (auto &ist : E.Finput_streams) {
    if (ist->user_set_discard == AVDISCARD_ALL)
      continue;
    if (ist->dec_ctx && ist->dec_ctx->codec_type == type && ist->discard)
      return ist.get();
  }
  Fatal(Format("Cannot find a matching stream for unlabeled input pad %d on filter %s", in->pad_idx,
               in->filter_ctx->name));
}

void TFilterGraphs::init_input_filter(TFilterGraph *fg, AVFilterInOut *in) {
  const AVMediaType type = ff::avfilter_pad_get_type(in->filter_ctx->input_pads, in->pad_idx);
  if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
    Fatal("Only video and audio filters supported currently.");
  TInputStream *ist =
      in->name ? FindLabelledInput(fg, in->name, type) : FindUnlabelledInput(in, type);
  ist->discard = 0;
  ist->decoding_needed |= DECODING_FOR_FILTER;
  ist->processing_needed = 1;
  ist->st->discard = AVDISCARD_NONE;

  AddInputFilter(fg, ist)->name = DescribeFilterLink(in, true);
}

TOutputFilter *TFilterGraphs::FindUnboundOutput(const std::string &label) const {
  for (const auto &fg : E.Ffiltergraphs)
    for (const auto &ofilter : fg->outputs)
      if (!ofilter->ost && ofilter->out_tmp && ofilter->out_tmp->name &&
          label == ofilter->out_tmp->name)
        return ofilter.get();
  return nullptr;
}

void TFilterGraphs::init_output_filter(TOutputFilter *ofilter, TOutputStreamFactory &factory) {
  TOutputStream *ost = nullptr;
  switch (ofilter->type_) {
  case AVMEDIA_TYPE_VIDEO:
    ost = factory.NewVideoStream(-1);
    break;
  case AVMEDIA_TYPE_AUDIO:
    ost = factory.NewAudioStream(-1);
    break;
  default:
    Fatal("Only video and audio filters are supported currently.");
  }
  ost->filter = ofilter;
  ofilter->ost = ost;
  ofilter->format = -1;
  if (ost->stream_copy)
    Fatal(Format("Streamcopy requested for output stream %d:%d, which is fed from a complex "
                 "filtergraph. Filtering and streamcopy cannot be used together.",
                 ost->file_index, ost->index));
  if (!ost->filters_script.empty() || !ost->filters.empty()) {
    const bool script = !ost->filters_script.empty();
    Fatal(Format("%s \"%s\" was specified through the %s option for output stream %d:%d, which "
                 "is fed from a complex filtergraph.\r\n%s and -filter_complex cannot be used "
                 "together for the same stream.",
                 script ? "Filtergraph script" : "Filtergraph",
                 script ? ost->filters_script.c_str() : ost->filters.c_str(),
                 script ? "-filter_script" : "-vf/-af/-filter", ost->file_index, ost->index,
                 script ? "-filter_script" : "-vf/-af/-filter"));
  }
}

void TFilterGraphs::BindUnlabelledOutputs(TOutputStreamFactory &factory, int &videoDisable,
                                          int &audioDisable, int &subtitleDisable) {
  for (auto &fg : E.Ffiltergraphs)
    for (auto &ofilter : fg->outputs) {
      if (ofilter->ost || !ofilter->out_tmp || ofilter->out_tmp->name)
        continue;
      if (ofilter->type_ == AVMEDIA_TYPE_VIDEO)
        videoDisable = 1;
      else if (ofilter->type_ == AVMEDIA_TYPE_AUDIO)
        audioDisable = 1;
      else if (ofilter->type_ == AVMEDIA_TYPE_SUBTITLE)
        subtitleDisable = 1;
      init_output_filter(ofilter.get(), factory);
    }
}

static void SetChannelLayout(TOutputFilter *f, TOutputStream *ost) {
  AVCodecContext *enc = ost->enc_ctx.get();
  if (enc->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC) {
    ff::av_channel_layout_copy(&f->ch_layout, &enc->ch_layout);
    return;
  }
  // -ac only: the encoder's first layout with that many channels, else the default one.
  if (ost->enc && ost->enc->ch_layouts) {
    for (const AVChannelLayout *p = ost->enc->ch_layouts; p->nb_channels; p++)
      if (p->nb_channels == enc->ch_layout.nb_channels) {
        ff::av_channel_layout_copy(&f->ch_layout, p);
        return;
      }
  }
  ff::av_channel_layout_default(&f->ch_layout, enc->ch_layout.nb_channels);
}

void TFilterGraphs::SetOutputConstraints(int firstStream) {
  for (int i = firstStream; i < E.Fnb_output_streams(); i++) {
    TOutputStream *ost = E.Foutput_streams[i].get();
    TOutputFilter *f = ost->filter;
    if (!f || !ost->enc)
      continue;
    const AVCodecContext *enc = ost->enc_ctx.get();
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
      f->frame_rate = ost->frame_rate;
      f->width = enc->width;
      f->height = enc->height;
      if (enc->pix_fmt != AV_PIX_FMT_NONE)
        f->format = enc->pix_fmt;
      else
        f->formats = reinterpret_cast<const int *>(ost->enc->pix_fmts);
    } else if (enc->codec_type == AVMEDIA_TYPE_AUDIO) {
      if (enc->sample_fmt != AV_SAMPLE_FMT_NONE)
        f->format = enc->sample_fmt;
      else
        f->formats = reinterpret_cast<const int *>(ost->enc->sample_fmts);
      if (enc->sample_rate)
        f->sample_rate = enc->sample_rate;
      else
        f->sample_rates = ost->enc->supported_samplerates;
      if (enc->ch_layout.nb_channels)
        SetChannelLayout(f, ost);
      else if (ost->enc->ch_layouts)
        f->ch_layouts = ost->enc->ch_layouts;
    }
  }
}

void TFilterGraphs::check_filter_outputs() const {
  for (const auto &fg : E.Ffiltergraphs)
    for (const auto &ofilter : fg->outputs)
      if (!ofilter->ost)
        Fatal(Format("Filter %s has an unconnected output", ofilter->name.c_str()));
}

void TFilterGraphs::UndoOutput(size_t graphCount, size_t streamCount) {
  auto removed = [&](const TFilterGraph *g) {
    for (size_t i = graphCount; i < E.Ffiltergraphs.size(); i++)
      if (E.Ffiltergraphs[i].get() == g)
        return true;
    return false;
  };
  for (auto &ist : E.Finput_streams) {
    std::erase_if(ist->filters, [&](TInputFilter *f) { return removed(f->graph); });
    ist->nb_filters = int(ist->filters.size());
  }
  E.Ffiltergraphs.resize(std::min(graphCount, E.Ffiltergraphs.size()));
  FNbParsedGraphs = std::min(FNbParsedGraphs, E.Fnb_filtergraphs());
  for (auto &fg : E.Ffiltergraphs)
    for (auto &ofilter : fg->outputs) {
      if (!ofilter->ost)
        continue;
      bool gone = true;
      for (size_t i = 0; i < streamCount && i < E.Foutput_streams.size(); i++)
        if (E.Foutput_streams[i].get() == ofilter->ost)
          gone = false;
      if (gone)
        ofilter->ost = nullptr;
    }
}

// ---- configuration -------------------------------------------------------------------------

bool TFilterGraphs::ifilter_has_all_input_formats(const TFilterGraph *fg) {
  for (const auto &ifilter : fg->inputs)
    if (ifilter->format < 0 &&
        (ifilter->type_ == AVMEDIA_TYPE_AUDIO || ifilter->type_ == AVMEDIA_TYPE_VIDEO))
      return false;
  return true;
}

void TFilterGraphs::SetGraphOptions(TFilterGraph *fg) {
  AVFilterGraph *graph = fg->graph.get();
  if (!filtergraph_is_simple(fg)) {
    graph->nb_threads = E.Ffilter_complex_nbthreads;
    return;
  }
  TOutputStream *ost = fg->outputs[0]->ost;
  if (!E.Ffilter_nbthreads.empty()) {
    ff::av_opt_set(graph, "threads", E.Ffilter_nbthreads.c_str(), 0);
  } else if (const AVDictionaryEntry *e =
                 ff::av_dict_get(ost->encoder_opts.Get(), "threads", nullptr, 0)) {
    ff::av_opt_set(graph, "threads", e->value, 0);
  }
  std::string sws = DictAsArgs(ost->sws_dict.Get(), "", ":");
  if (!sws.empty()) {
    sws.pop_back();
    graph->scale_sws_opts = ff::av_strdup(sws.c_str());
  }
  std::string swr = DictAsArgs(ost->swr_opts.Get(), "", ":");
  if (!swr.empty())
    swr.pop_back();
  ff::av_opt_set(graph, "aresample_swr_opts", swr.c_str(), 0);
}

int TFilterGraphs::hw_device_setup_for_filter(TFilterGraph *fg) {
  THWDevicePtr dev = E.Ffilter_hw_device;
  if (!dev) {
    int count = 0;
    dev = HWDeviceLast(count, E.FHWDevices);
    if (dev && count > 1)
      ff::av_log(nullptr, AV_LOG_WARNING,
                 "There are %d hardware devices. device %s of type %s is picked for filters by "
                 "default. Set hardware device explicitly with the filter_hw_device option if "
                 "device %s is not usable for filters.\n",
                 count, dev->name.c_str(), ff::av_hwdevice_get_type_name(dev->type_),
                 dev->name.c_str());
  }
  if (!dev)
    return 0;
  AVFilterGraph *graph = fg->graph.get();
  for (unsigned i = 0; i < graph->nb_filters; i++) {
    graph->filters[i]->hw_device_ctx = ff::av_buffer_ref(dev->device_ref.get());
    if (!graph->filters[i]->hw_device_ctx)
      return AVERROR(ENOMEM);
  }
  return 0;
}

static const char *PadCountText(const AVFilterInOut *list) {
  return !list ? "0" : list->next ? ">1" : "1";
}

int TFilterGraphs::ParseAndCheck(TFilterGraph *fg, AVFilterInOut **inputs,
                                 AVFilterInOut **outputs) {
  const std::string &desc =
      filtergraph_is_simple(fg) ? fg->outputs[0]->ost->avfilter : fg->graph_desc;
  int ret = ff::avfilter_graph_parse2(fg->graph.get(), desc.c_str(), inputs, outputs);
  if (ret < 0)
    return ret;
  ret = hw_device_setup_for_filter(fg);
  if (ret < 0)
    return ret;
  const AVFilterInOut *in = *inputs, *out = *outputs;
  if (filtergraph_is_simple(fg) && (!in || in->next || !out || out->next)) {
    Log(&E, llError,
        "Simple filtergraph \"%s\" was expected to have exactly 1 input and 1 output. However, "
        "it had %s input(s) and %s output(s). Please adjust, or use a complex filtergraph "
        "(-filter_complex) instead.",
        desc.c_str(), PadCountText(in), PadCountText(out));
    return AVERROR(EINVAL);
  }
  return 0;
}

int TFilterGraphs::configure_filtergraph(TFilterGraph *fg) {
  for (auto &ifilter : fg->inputs)
    ifilter->filter = nullptr;
  for (auto &ofilter : fg->outputs)
    ofilter->filter = nullptr;
  fg->graph.reset(ff::avfilter_graph_alloc());
  if (!fg->graph)
    return AVERROR(ENOMEM);
  SetGraphOptions(fg);

  AVFilterInOut *inputs = nullptr, *outputs = nullptr;
  int ret = ParseAndCheck(fg, &inputs, &outputs);
  TFilterInOutPtr ownInputs(inputs), ownOutputs(outputs);
  int i = 0;
  for (AVFilterInOut *cur = inputs; ret >= 0 && cur; cur = cur->next, i++)
    ret = i < fg->nb_inputs() ? configure_input_filter(fg, fg->inputs[i].get(), cur)
                              : AVERROR(EINVAL);
  i = 0;
  for (AVFilterInOut *cur = outputs; ret >= 0 && cur; cur = cur->next, i++)
    ret = i < fg->nb_outputs() ? configure_output_filter(fg, fg->outputs[i].get(), cur)
                               : AVERROR(EINVAL);
  if (ret >= 0)
    ret = FinishConfiguration(fg);
  if (ret < 0) {
    for (auto &ifilter : fg->inputs)
      ifilter->filter = nullptr;
    for (auto &ofilter : fg->outputs)
      ofilter->filter = nullptr;
    fg->graph.reset();
  }
  return ret;
}

int TFilterGraphs::FinishConfiguration(TFilterGraph *fg) {
  if (!E.Fauto_conversion_filters)
    ff::avfilter_graph_set_auto_convert(fg->graph.get(), AVFILTER_AUTO_CONVERT_NONE);
  int ret = ff::avfilter_graph_config(fg->graph.get(), nullptr);
  if (ret < 0)
    return ret;
  fg->is_meta = GraphIsMeta(fg->graph.get());
  for (auto &ofilter : fg->outputs) {
    AVFilterContext *sink = ofilter->filter;
    ofilter->format = ff::av_buffersink_get_format(sink);
    ofilter->width = ff::av_buffersink_get_w(sink);
    ofilter->height = ff::av_buffersink_get_h(sink);
    ofilter->sample_rate = ff::av_buffersink_get_sample_rate(sink);
    ff::av_channel_layout_uninit(&ofilter->ch_layout);
    ret = ff::av_buffersink_get_ch_layout(sink, &ofilter->ch_layout);
    if (ret < 0)
      return ret;
  }
  fg->reconfiguration = 1;
  for (auto &ofilter : fg->outputs) {
    TOutputStream *ost = ofilter->ost;
    if (!ost->enc) {
      Log(&E, llError, "Encoder (codec %s) not found for output stream #%d:%d",
          ff::avcodec_get_name(ost->st->codecpar->codec_id), ost->file_index, ost->index);
      return AVERROR(EINVAL);
    }
    if (ost->enc->type == AVMEDIA_TYPE_AUDIO &&
        !(ost->enc->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
      ff::av_buffersink_set_frame_size(ofilter->filter, unsigned(ost->enc_ctx->frame_size));
  }
  return FeedQueued(fg);
}

// Frames that waited for the configuration, then end of stream for inputs that ended, then
// subtitles that waited for the canvas.
int TFilterGraphs::FeedQueued(TFilterGraph *fg) {
  for (auto &ifilter : fg->inputs) {
    AVFrame *tmp = nullptr;
    while (ff::av_fifo_read(ifilter->frame_queue.get(), &tmp, 1) >= 0) {
      int ret = ff::av_buffersrc_add_frame(ifilter->filter, tmp);
      ff::av_frame_free(&tmp);
      if (ret < 0)
        return ret;
    }
  }
  for (auto &ifilter : fg->inputs)
    if (ifilter->eof) {
      int ret = ff::av_buffersrc_add_frame(ifilter->filter, nullptr);
      if (ret < 0)
        return ret;
    }
  for (auto &ifilter : fg->inputs) {
    TISsub2video &s2v = ifilter->ist->sub2video;
    if (!s2v.sub_queue || !s2v.frame)
      continue;
    AVSubtitle sub;
    while (ff::av_fifo_read(s2v.sub_queue.get(), &sub, 1) >= 0) {
      sub2video_update(ifilter->ist, INT64_MIN, &sub);
      ff::avsubtitle_free(&sub);
    }
  }
  return 0;
}

int TFilterGraphs::configure_input_filter(TFilterGraph *fg, TInputFilter *ifilter,
                                          AVFilterInOut *in) {
  const TInputStream *ist = ifilter->ist;
  if (!ist->avdec) {
    Log(&E, llError, "No decoder for stream #%d:%d, filtering impossible", ist->file_index,
        ist->st->index);
    return AVERROR_DECODER_NOT_FOUND;
  }
  switch (ff::avfilter_pad_get_type(in->filter_ctx->input_pads, in->pad_idx)) {
  case AVMEDIA_TYPE_VIDEO:
    return configure_input_video_filter(fg, ifilter, in);
  case AVMEDIA_TYPE_AUDIO:
    return configure_input_audio_filter(fg, ifilter, in);
  default:
    return AVERROR(EINVAL);
  }
}

// The input's trim behind last, then the link into the graph's input pad.
int TFilterGraphs::FinishInputChain(const TInputStream *ist, AVFilterContext *last, int pad,
                                    const std::string &trimName, AVFilterInOut *in) {
  const TInputFile &f = *E.Finput_files[ist->file_index];
  int ret = InsertTrim(InputTrimStart(ist), f.recording_time, &last, &pad, trimName);
  return ret < 0 ? ret : Link(last, pad, in->filter_ctx, in->pad_idx);
}

// Trim start of an input: the time-stamp offset when the file has -ss and accurate seeking.
int64_t TFilterGraphs::InputTrimStart(const TInputStream *ist) const {
  const TInputFile &f = *E.Finput_files[ist->file_index];
  if (f.start_time == AV_NOPTS_VALUE || !f.accurate_seek)
    return AV_NOPTS_VALUE;
  int64_t tsoffset = 0;
  if (E.Fcopy_ts) {
    tsoffset = f.start_time;
    if (!E.Fstart_at_zero && f.ctx->start_time != AV_NOPTS_VALUE)
      tsoffset += f.ctx->start_time;
  }
  return tsoffset;
}

int TFilterGraphs::InsertRotation(TInputFilter *ifilter, AVFilterContext **last, int *pad) {
  const int32_t *m = ifilter->displaymatrix ? ifilter->displaymatrix->data() : nullptr;
  if (!m)
    m = reinterpret_cast<const int32_t *>(
        ff::av_stream_get_side_data(ifilter->ist->st, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
  const double theta = RotationOf(m);
  if (std::fabs(theta - 90) < 1.0)
    return InsertFilter(last, pad, "transpose", "transpose", m[3] > 0 ? "cclock_flip" : "clock");
  if (std::fabs(theta - 180) < 1.0) {
    int ret = m[0] < 0 ? InsertFilter(last, pad, "hflip", "hflip", nullptr) : 0;
    if (ret >= 0 && m[4] < 0)
      ret = InsertFilter(last, pad, "vflip", "vflip", nullptr);
    return ret;
  }
  if (std::fabs(theta - 270) < 1.0)
    return InsertFilter(last, pad, "transpose", "transpose", m[3] < 0 ? "clock_flip" : "cclock");
  if (std::fabs(theta) > 1.0)
    return InsertFilter(last, pad, "rotate", "rotate", Format("%f*PI/180", theta).c_str());
  if (m && m[4] < 0)
    return InsertFilter(last, pad, "vflip", "vflip", nullptr);
  return 0;
}

int TFilterGraphs::configure_input_video_filter(TFilterGraph *fg, TInputFilter *ifilter,
                                                AVFilterInOut *in) {
  TInputStream *ist = ifilter->ist;
  if (ist->dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO) {
    Log(&E, llError, "Cannot connect video filter to audio input");
    return AVERROR(EINVAL);
  }
  const TInputFile &f = *E.Finput_files[ist->file_index];
  const AVRational tb = ist->framerate.num ? av_inv_q(ist->framerate) : ist->st->time_base;
  AVRational fr = ist->framerate;
  if (!fr.num)
    fr = ff::av_guess_frame_rate(f.ctx.get(), ist->st, nullptr);
  if (ist->dec_ctx->codec_type == AVMEDIA_TYPE_SUBTITLE) {
    int ret = sub2video_prepare(ist, ifilter);
    if (ret < 0)
      return ret;
  }
  AVRational sar = ifilter->sample_aspect_ratio;
  if (!sar.den)
    sar = AVRational{0, 1};
  std::string args =
      Format("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", ifilter->width,
             ifilter->height, ifilter->format, tb.num, tb.den, sar.num, sar.den);
  if (fr.num && fr.den)
    args += Format(":frame_rate=%d/%d", fr.num, fr.den);
  std::string name =
      Format("graph %d input from stream %d:%d", fg->index, ist->file_index, ist->st->index);
  int ret = ff::avfilter_graph_create_filter(&ifilter->filter, ff::avfilter_get_by_name("buffer"),
                                             name.c_str(), args.c_str(), nullptr, fg->graph.get());
  if (ret < 0)
    return ret;
  AVBufferSrcParameters *par = ff::av_buffersrc_parameters_alloc();
  if (!par)
    return AVERROR(ENOMEM);
  par->format = AV_PIX_FMT_NONE;
  par->hw_frames_ctx = ifilter->hw_frames_ctx.get();
  ret = ff::av_buffersrc_parameters_set(ifilter->filter, par);
  ff::av_free(par);
  if (ret < 0)
    return ret;

  AVFilterContext *last = ifilter->filter;
  int pad = 0;
  const AVPixFmtDescriptor *desc = ff::av_pix_fmt_desc_get(AVPixelFormat(ifilter->format));
  if (ist->autorotate && desc && !(desc->flags & AV_PIX_FMT_FLAG_HWACCEL)) {
    ret = InsertRotation(ifilter, &last, &pad);
    if (ret < 0)
      return ret;
  }
  return FinishInputChain(ist, last, pad, Format("trim_in_%d_%d", ist->file_index, ist->st->index),
                          in);
}

// A filter standing in for an option, announced the way the ffmpeg tool announces it.
int TFilterGraphs::ForwardedFilter(const char *option, const char *filter, const std::string &name,
                                   const std::string &args, AVFilterContext **last, int *pad) {
  Log(&E, llInfo, "%s is forwarded to lavfi similarly to -af %s=%s.", option, filter, args.c_str());
  return InsertFilter(last, pad, filter, name, args.c_str());
}

int TFilterGraphs::configure_input_audio_filter(TFilterGraph *fg, TInputFilter *ifilter,
                                                AVFilterInOut *in) {
  TInputStream *ist = ifilter->ist;
  if (ist->dec_ctx->codec_type != AVMEDIA_TYPE_AUDIO) {
    Log(&E, llError, "Cannot connect audio filter to non audio input");
    return AVERROR(EINVAL);
  }
  std::string args =
      Format("time_base=%d/%d:sample_rate=%d:sample_fmt=%s", 1, ifilter->sample_rate,
             ifilter->sample_rate, ff::av_get_sample_fmt_name(AVSampleFormat(ifilter->format)));
  if (ff::av_channel_layout_check(&ifilter->ch_layout) &&
      ifilter->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
    args += ":channel_layout=" + LayoutText(ifilter->ch_layout);
  else
    args += Format(":channels=%d", ifilter->ch_layout.nb_channels);
  std::string name = Format("graph_%d_in_%d_%d", fg->index, ist->file_index, ist->st->index);
  int ret = ff::avfilter_graph_create_filter(&ifilter->filter, ff::avfilter_get_by_name("abuffer"),
                                             name.c_str(), args.c_str(), nullptr, fg->graph.get());
  if (ret < 0)
    return ret;
  AVFilterContext *last = ifilter->filter;
  int pad = 0;
  auto inputName = [&](const char *filter) {
    return Format("graph_%d_%s_in_%d_%d", fg->index, filter, ist->file_index, ist->st->index);
  };
  if (E.Faudio_sync_method > 0) {
    std::string a = Format("async=%d", E.Faudio_sync_method);
    if (double(E.Faudio_drift_threshold) != 0.1)
      a += Format(":min_hard_comp=%f", double(E.Faudio_drift_threshold));
    if (!fg->reconfiguration)
      a += ":first_pts=0";
    ret = ForwardedFilter("-async", "aresample", inputName("aresample"), a, &last, &pad);
    if (ret < 0)
      return ret;
  }
  if (E.Faudio_volume != 256) {
    Log(&E, llWarning, "-vol has been deprecated. Use the volume audio filter instead.");
    std::string a = Format("%f", E.Faudio_volume / 256.0);
    Log(&E, llInfo, "%s is forwarded to lavfi similarly to -af %s=%s", "-vol", "volume", a.c_str());
    ret = InsertFilter(&last, &pad, "volume", inputName("volume"), a.c_str());
    if (ret < 0)
      return ret;
  }
  return FinishInputChain(
      ist, last, pad, Format("trim for input stream %d:%d", ist->file_index, ist->st->index), in);
}

int TFilterGraphs::configure_output_filter(TFilterGraph *fg, TOutputFilter *ofilter,
                                           AVFilterInOut *out) {
  if (!ofilter->ost)
    Fatal(Format("Filter %s has an unconnected output", ofilter->name.c_str()));
  switch (ff::avfilter_pad_get_type(out->filter_ctx->output_pads, out->pad_idx)) {
  case AVMEDIA_TYPE_VIDEO:
    return configure_output_video_filter(fg, ofilter, out);
  case AVMEDIA_TYPE_AUDIO:
    return configure_output_audio_filter(fg, ofilter, out);
  default:
    throw FFmpegException("Never occur");
  }
}

// The output file's trim behind last, then the link into the sink.
int TFilterGraphs::FinishOutputChain(TOutputFilter *ofilter, AVFilterContext *last, int pad,
                                     const std::string &trimName) {
  const TOutputFile &of = *E.Foutput_files[ofilter->ost->file_index];
  int ret = InsertTrim(of.start_time, of.recording_time, &last, &pad, trimName);
  return ret < 0 ? ret : Link(last, pad, ofilter->filter);
}

std::string TFilterGraphs::choose_pix_fmts(TOutputFilter *ofilter) {
  TOutputStream *ost = ofilter->ost;
  AVCodecContext *enc = ost->enc_ctx.get();
  if (const AVDictionaryEntry *strict =
          ff::av_dict_get(ost->encoder_opts.Get(), "strict", nullptr, 0))
    ff::av_opt_set(enc, "strict", strict->value, 0);
  if (ost->keep_pix_fmt) {
    ff::avfilter_graph_set_auto_convert(ofilter->graph->graph.get(), AVFILTER_AUTO_CONVERT_NONE);
    return enc->pix_fmt == AV_PIX_FMT_NONE ? std::string() : ff::av_get_pix_fmt_name(enc->pix_fmt);
  }
  if (enc->pix_fmt != AV_PIX_FMT_NONE)
    return ff::av_get_pix_fmt_name(ChoosePixelFmt(enc, ost->enc, enc->pix_fmt));
  if (!ost->enc || !ost->enc->pix_fmts)
    return {};
  const AVPixelFormat *p = ost->enc->pix_fmts;
  if (enc->strict_std_compliance > FF_COMPLIANCE_UNOFFICIAL)
    p = CompliantPixFmts(ost->enc, p);
  std::string list;
  for (; *p != AV_PIX_FMT_NONE; p++)
    list += std::string(list.empty() ? "" : "|") + ff::av_get_pix_fmt_name(*p);
  return list;
}

int TFilterGraphs::configure_output_video_filter(TFilterGraph *fg, TOutputFilter *ofilter,
                                                 AVFilterInOut *out) {
  TOutputStream *ost = ofilter->ost;
  std::string name = Format("out_%d_%d", ost->file_index, ost->index);
  int ret =
      ff::avfilter_graph_create_filter(&ofilter->filter, ff::avfilter_get_by_name("buffersink"),
                                       name.c_str(), nullptr, nullptr, fg->graph.get());
  if (ret < 0)
    return ret;
  AVFilterContext *last = out->filter_ctx;
  int pad = out->pad_idx;
  if ((ofilter->width || ofilter->height) && ost->autoscale) {
    std::string args =
        Format("%d:%d", ofilter->width, ofilter->height) + DictAsArgs(ost->sws_dict.Get(), ":", "");
    ret = InsertFilter(&last, &pad, "scale",
                       Format("scaler_out_%d_%d", ost->file_index, ost->index), args.c_str());
    if (ret < 0)
      return ret;
  }
  const std::string pixFmts = choose_pix_fmts(ofilter);
  if (!pixFmts.empty()) {
    ret = InsertFilter(&last, &pad, "format", "format", pixFmts.c_str());
    if (ret < 0)
      return ret;
  }
  return FinishOutputChain(ofilter, last, pad,
                           Format("trim_out_%d_%d", ost->file_index, ost->index));
}

int TFilterGraphs::configure_output_audio_filter(TFilterGraph *fg, TOutputFilter *ofilter,
                                                 AVFilterInOut *out) {
  TOutputStream *ost = ofilter->ost;
  const TOutputFile &of = *E.Foutput_files[ost->file_index];
  AVCodecContext *enc = ost->enc_ctx.get();
  std::string name = Format("out_%d_%d", ost->file_index, ost->index);
  int ret =
      ff::avfilter_graph_create_filter(&ofilter->filter, ff::avfilter_get_by_name("abuffersink"),
                                       name.c_str(), nullptr, nullptr, fg->graph.get());
  if (ret < 0)
    return ret;
  ret = ff::av_opt_set_int(ofilter->filter, "all_channel_counts", 1, AV_OPT_SEARCH_CHILDREN);
  if (ret < 0)
    return ret;
  AVFilterContext *last = out->filter_ctx;
  int pad = out->pad_idx;

  if (ost->audio_channels_mapped) {
    AVChannelLayout mapped{};
    ff::av_channel_layout_default(&mapped, ost->audio_channels_mapped);
    std::string args = LayoutText(mapped);
    ff::av_channel_layout_uninit(&mapped);
    for (int i = 0; i < ost->audio_channels_mapped; i++)
      if (ost->audio_channels_map[i] != -1)
        args += Format("|c%d=c%d", i, ost->audio_channels_map[i]);
    ret = ForwardedFilter("-map_channel", "pan", "pan", args, &last, &pad);
    if (ret < 0)
      return ret;
  }
  if (enc->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    ff::av_channel_layout_default(&enc->ch_layout, enc->ch_layout.nb_channels);

  auto sampleFmtName = [](int f) {
    return std::string(ff::av_get_sample_fmt_name(AVSampleFormat(f)));
  };
  auto rateText = [](int r) { return std::to_string(r); };
  const std::string args =
      ChooseFormat("sample_fmts", ofilter->format, int(AV_SAMPLE_FMT_NONE), ofilter->formats,
                   sampleFmtName) +
      ChooseFormat("sample_rates", ofilter->sample_rate, 0, ofilter->sample_rates, rateText) +
      ChooseChannelLayouts(ofilter);
  if (!args.empty()) {
    ret = InsertFilter(&last, &pad, "aformat",
                       Format("format_out_%d_%d", ost->file_index, ost->index), args.c_str());
    if (ret < 0)
      return ret;
  }
  if (!ost->apad.empty() && of.shortest) {
    bool hasVideo = false;
    for (unsigned i = 0; i < of.ctx->nb_streams; i++)
      hasVideo |= of.ctx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    if (hasVideo) {
      ret = ForwardedFilter("-apad", "apad", "apad", ost->apad, &last, &pad);
      if (ret < 0)
        return ret;
    }
  }
  return FinishOutputChain(ofilter, last, pad,
                           Format("trim for output stream %d:%d", ost->file_index, ost->index));
}

// ---- feeding -------------------------------------------------------------------------------

// Format, size, aspect, rate and layout of a frame or of a stream's codec parameters.
template <typename T> static int CopyParameters(TInputFilter *ifilter, const T *src) {
  ifilter->format = src->format;
  ifilter->width = src->width;
  ifilter->height = src->height;
  ifilter->sample_aspect_ratio = src->sample_aspect_ratio;
  ifilter->sample_rate = src->sample_rate;
  return ff::av_channel_layout_copy(&ifilter->ch_layout, &src->ch_layout);
}

int TFilterGraphs::ifilter_parameters_from_frame(TInputFilter *ifilter, const AVFrame *frame) {
  ifilter->hw_frames_ctx.reset();
  int ret = CopyParameters(ifilter, frame);
  if (ret < 0)
    return ret;
  ifilter->displaymatrix.reset();
  if (const AVFrameSideData *sd = ff::av_frame_get_side_data(frame, AV_FRAME_DATA_DISPLAYMATRIX)) {
    TDisplayMatrix m;
    std::memcpy(m.data(), sd->data, sizeof(m));
    ifilter->displaymatrix = m;
  }
  if (frame->hw_frames_ctx) {
    ifilter->hw_frames_ctx.reset(ff::av_buffer_ref(frame->hw_frames_ctx));
    if (!ifilter->hw_frames_ctx)
      return AVERROR(ENOMEM);
  }
  return 0;
}

static bool NeedsReinit(const TInputFilter *ifilter, const AVFrame *frame) {
  bool need = ifilter->format != frame->format;
  switch (ifilter->ist->st->codecpar->codec_type) {
  case AVMEDIA_TYPE_AUDIO:
    need |= ifilter->sample_rate != frame->sample_rate ||
            ff::av_channel_layout_compare(&ifilter->ch_layout, &frame->ch_layout) != 0;
    break;
  case AVMEDIA_TYPE_VIDEO:
    need |= ifilter->width != frame->width || ifilter->height != frame->height;
    break;
  default:
    break;
  }
  if (!ifilter->ist->reinit_filters && ifilter->graph->graph)
    need = false;
  const AVBufferRef *hw = ifilter->hw_frames_ctx.get();
  if (!!hw != !!frame->hw_frames_ctx || (hw && hw->data != frame->hw_frames_ctx->data))
    need = true;
  const AVFrameSideData *sd = ff::av_frame_get_side_data(frame, AV_FRAME_DATA_DISPLAYMATRIX);
  if (sd)
    need |= !ifilter->displaymatrix ||
            std::memcmp(sd->data, ifilter->displaymatrix->data(), sizeof(TDisplayMatrix)) != 0;
  else if (ifilter->displaymatrix)
    need = true;
  return need;
}

int TFilterGraphs::ifilter_send_frame(TInputFilter *ifilter, AVFrame *frame, bool keep_reference) {
  TFilterGraph *fg = ifilter->graph;
  const bool needReinit = NeedsReinit(ifilter, frame);
  if (needReinit) {
    int ret = ifilter_parameters_from_frame(ifilter, frame);
    if (ret < 0)
      return ret;
  }
  if (needReinit || !fg->graph) {
    if (!ifilter_has_all_input_formats(fg)) {
      AVFrame *tmp = ff::av_frame_clone(frame);
      if (!tmp)
        return AVERROR(ENOMEM);
      int ret = ff::av_fifo_write(ifilter->frame_queue.get(), &tmp, 1);
      if (ret < 0)
        ff::av_frame_free(&tmp);
      return ret;
    }
    int ret = reap_filters ? reap_filters(true) : 0;
    if (ret < 0 && ret != AVERROR_EOF) {
      Log(&E, llError, "%s", FFErrorText("Error while filtering", ret).c_str());
      return ret;
    }
    ret = configure_filtergraph(fg);
    if (ret < 0) {
      Log(&E, llError, "Error reinitializing filters!");
      return ret;
    }
  }
  const int flags = AV_BUFFERSRC_FLAG_PUSH | (keep_reference ? AV_BUFFERSRC_FLAG_KEEP_REF : 0);
  int ret = ff::av_buffersrc_add_frame_flags(ifilter->filter, frame, flags);
  if (ret < 0 && ret != AVERROR_EOF)
    Log(&E, llError, "%s", FFErrorText("Error while filtering", ret).c_str());
  return ret;
}

int TFilterGraphs::ifilter_send_eof(TInputFilter *ifilter, int64_t pts) {
  ifilter->eof = 1;
  if (ifilter->filter)
    return std::min(0, ff::av_buffersrc_close(ifilter->filter, pts, AV_BUFFERSRC_FLAG_PUSH));
  if (ifilter->format < 0) { // never configured: take the container's parameters
    int ret = CopyParameters(ifilter, ifilter->ist->st->codecpar);
    if (ret < 0)
      return ret;
  }
  if (ifilter->format < 0 &&
      (ifilter->type_ == AVMEDIA_TYPE_AUDIO || ifilter->type_ == AVMEDIA_TYPE_VIDEO)) {
    Log(&E, llError, "Cannot determine format of input stream %d:%d after EOF",
        ifilter->ist->file_index, ifilter->ist->st->index);
    return AVERROR_INVALIDDATA;
  }
  return 0;
}

// ---- sub2video -----------------------------------------------------------------------------

int TFilterGraphs::sub2video_prepare(TInputStream *ist, TInputFilter *ifilter) {
  int w = ifilter->width, h = ifilter->height;
  if (!(w && h)) {
    AVFormatContext *avf = E.Finput_files[ist->file_index]->ctx.get();
    for (unsigned i = 0; i < avf->nb_streams; i++)
      if (avf->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        w = std::max(w, avf->streams[i]->codecpar->width);
        h = std::max(h, avf->streams[i]->codecpar->height);
      }
    if (!(w && h)) {
      w = std::max(w, 720);
      h = std::max(h, 576);
    }
    Log(&E, llInfo, "sub2video: using %dx%d canvas", w, h);
  }
  ist->sub2video.w = w;
  ist->sub2video.h = h;
  ifilter->width = ist->dec_ctx->width ? ist->dec_ctx->width : w;
  ifilter->height = ist->dec_ctx->height ? ist->dec_ctx->height : h;
  ifilter->format = AV_PIX_FMT_RGB32;
  ist->sub2video.frame.reset(ff::av_frame_alloc());
  if (!ist->sub2video.frame)
    return AVERROR(ENOMEM);
  ist->sub2video.last_pts = INT64_MIN;
  ist->sub2video.end_pts = INT64_MIN;
  ist->sub2video.initialize = 1;
  return 0;
}

static int BlankCanvas(TInputStream *ist) {
  AVFrame *frame = ist->sub2video.frame.get();
  ff::av_frame_unref(frame);
  frame->width = ist->dec_ctx->width ? ist->dec_ctx->width : ist->sub2video.w;
  frame->height = ist->dec_ctx->height ? ist->dec_ctx->height : ist->sub2video.h;
  frame->format = AV_PIX_FMT_RGB32;
  int ret = ff::av_frame_get_buffer(frame, 0);
  if (ret < 0)
    return ret;
  std::memset(frame->data[0], 0, size_t(frame->height) * size_t(frame->linesize[0]));
  return 0;
}

static void DrawRect(const TObject *sender, AVFrame *canvas, const AVSubtitleRect *r) {
  if (r->type != SUBTITLE_BITMAP) {
    Log(sender, llWarning, "sub2video: non-bitmap subtitle");
    return;
  }
  if (r->x < 0 || r->x + r->w > canvas->width || r->y < 0 || r->y + r->h > canvas->height) {
    Log(sender, llWarning, "sub2video: rectangle (%d %d %d %d) overflowing %d %d", r->x, r->y, r->w,
        r->h, canvas->width, canvas->height);
    return;
  }
  const uint32_t *pal = reinterpret_cast<const uint32_t *>(r->data[1]);
  uint8_t *dst = canvas->data[0] + r->y * canvas->linesize[0] + r->x * 4;
  const uint8_t *src = r->data[0];
  for (int y = 0; y < r->h; y++) {
    uint32_t *d = reinterpret_cast<uint32_t *>(dst);
    for (int x = 0; x < r->w; x++)
      d[x] = pal[src[x]];
    dst += canvas->linesize[0];
    src += r->linesize[0];
  }
}

void TFilterGraphs::sub2video_push_ref(TInputStream *ist, int64_t pts) {
  AVFrame *frame = ist->sub2video.frame.get();
  ist->sub2video.last_pts = frame->pts = pts;
  for (TInputFilter *ifilter : ist->filters) {
    int ret = ff::av_buffersrc_add_frame_flags(ifilter->filter, frame,
                                               AV_BUFFERSRC_FLAG_KEEP_REF | AV_BUFFERSRC_FLAG_PUSH);
    if (ret != AVERROR_EOF && ret < 0)
      Log(&E, llWarning, "Error while add the frame to buffer source(%s).",
          FFErrorText(ret).c_str());
  }
}

void TFilterGraphs::sub2video_update(TInputStream *ist, int64_t heartbeat_pts,
                                     const AVSubtitle *sub) {
  if (!ist->sub2video.frame)
    return;
  int64_t pts, endPts;
  unsigned rects = 0;
  if (sub) {
    pts = ff::av_rescale_q(sub->pts + sub->start_display_time * 1000LL, AV_TIME_BASE_Q,
                           ist->st->time_base);
    endPts = ff::av_rescale_q(sub->pts + sub->end_display_time * 1000LL, AV_TIME_BASE_Q,
                              ist->st->time_base);
    rects = sub->num_rects;
  } else {
    pts = ist->sub2video.initialize ? heartbeat_pts : ist->sub2video.end_pts;
    endPts = INT64_MAX;
  }
  if (BlankCanvas(ist) < 0) {
    Log(&E, llError, "Impossible to get a blank canvas.");
    return;
  }
  for (unsigned i = 0; i < rects; i++)
    DrawRect(&E, ist->sub2video.frame.get(), sub->rects[i]);
  sub2video_push_ref(ist, pts);
  ist->sub2video.end_pts = endPts;
  ist->sub2video.initialize = 0;
}

void TFilterGraphs::sub2video_heartbeat(TInputStream *ist, int64_t pts) {
  const TInputFile &f = *E.Finput_files[ist->file_index];
  for (int i = 0; i < f.nb_streams; i++) {
    TInputStream *ist2 = E.Finput_streams[f.ist_index + i].get();
    if (!ist2->sub2video.frame)
      continue;
    const int64_t pts2 = ff::av_rescale_q(pts, ist->st->time_base, ist2->st->time_base) - 1;
    if (pts2 <= ist2->sub2video.last_pts)
      continue;
    if (pts2 >= ist2->sub2video.end_pts || ist2->sub2video.initialize)
      sub2video_update(ist2, pts2 + 1, nullptr);
    unsigned requests = 0;
    for (TInputFilter *ifilter : ist2->filters)
      requests += ff::av_buffersrc_get_nb_failed_requests(ifilter->filter);
    if (requests)
      sub2video_push_ref(ist2, pts2);
  }
}

void TFilterGraphs::sub2video_flush(TInputStream *ist) {
  if (ist->sub2video.end_pts < INT64_MAX)
    sub2video_update(ist, INT64_MAX, nullptr);
  for (TInputFilter *ifilter : ist->filters) {
    int ret = ff::av_buffersrc_add_frame(ifilter->filter, nullptr);
    if (ret != AVERROR_EOF && ret < 0)
      Log(&E, llWarning, "Flush the frame error.");
  }
}

bool TFilterGraphs::sub2video_process(TInputStream *ist, AVSubtitle &sub) {
  if (ist->sub2video.frame) {
    sub2video_update(ist, INT64_MIN, &sub);
    return false;
  }
  if (ist->filters.empty())
    return false;
  if (!ist->sub2video.sub_queue)
    ist->sub2video.sub_queue.reset(
        ff::av_fifo_alloc2(8, sizeof(AVSubtitle), AV_FIFO_FLAG_AUTO_GROW));
  if (!ist->sub2video.sub_queue || ff::av_fifo_write(ist->sub2video.sub_queue.get(), &sub, 1) < 0)
    Fatal("Failed to malloc sub_queue");
  return true;
}
