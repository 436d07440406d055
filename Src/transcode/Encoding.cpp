#include "transcode/Encoding.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstring>

#include "components/TFFLogger.h"
#include "transcode/FilterGraphs.h"
#include "transcode/HWDevices.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/TTaskHooks.h"
#include "transcode/TimestampText.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}
#include "transcode/TranscodeLoop.h"

namespace {

// -top on an output coded with interlacing: the picture gets that field order.
void ApplyTopFieldFirst(const TOutputStream &ost, AVFrame *picture) {
  if ((ost.enc_ctx->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) &&
      ost.top_field_first >= 0)
    picture->top_field_first = !!ost.top_field_first;
}

// Whether the input that feeds ost is paced at its native rate (-re, -readrate or SetRateEmu).
bool PacedAtNativeRate(const TCustomFFmpeg &E, const TOutputStream &ost) {
  if (E.Frate_emu)
    return true;
  if (ost.source_index < 0 || size_t(ost.source_index) >= E.Finput_streams.size())
    return false;
  const TInputFile &f =
      *E.Finput_files[size_t(E.Finput_streams[size_t(ost.source_index)]->file_index)];
  return f.rate_emu || f.readrate > 0;
}

} // namespace

TEncoding::TEncoding(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop) : E(AEngine), L(ALoop) {}

void TEncoding::copy_stream_side_data(TOutputStream &ost, const AVStream *in) {
  for (int i = 0; i < in->nb_side_data; i++) {
    const AVPacketSideData &sd = in->side_data[i];
    uint8_t *dst = ff::av_stream_new_side_data(ost.st, sd.type, sd.size);
    if (!dst)
      L.Fatal("Could not allocate stream side data.");
    std::memcpy(dst, sd.data, sd.size);
  }
  if (ost.rotate_overridden) {
    auto *matrix = reinterpret_cast<int32_t *>(
        ff::av_stream_new_side_data(ost.st, AV_PKT_DATA_DISPLAYMATRIX, sizeof(int32_t) * 9));
    if (matrix)
      ff::av_display_rotation_set(matrix, -ost.rotate_override_value);
  }
}

int TEncoding::init_output_stream_streamcopy(TOutputStream &ost) {
  TOutputFile &of = *E.Foutput_files[ost.file_index];
  TInputStream &ist = *E.Finput_streams[ost.source_index];
  AVCodecParameters *dst = ost.st->codecpar;
  AVCodecParameters *src = ost.ref_par.get();
  uint32_t codecTag = dst->codec_tag;

  int ret = ff::avcodec_parameters_to_context(ost.enc_ctx.get(), ist.st->codecpar);
  if (ret >= 0)
    ret = ff::av_opt_set_dict(ost.enc_ctx.get(), ost.encoder_opts.Ref());
  if (ret < 0) {
    Log(&E, llFatal, "Error setting up codec context options.");
    return ret;
  }
  ret = ff::avcodec_parameters_from_context(src, ost.enc_ctx.get());
  if (ret < 0) {
    Log(&E, llFatal, "Error getting reference codec parameters.");
    return ret;
  }
  if (!codecTag) {
    unsigned int tag = 0;
    const AVCodecTag *const *tags = of.format->codec_tag;
    if (!tags || ff::av_codec_get_id(tags, src->codec_tag) == src->codec_id ||
        !ff::av_codec_get_tag2(tags, src->codec_id, &tag))
      codecTag = src->codec_tag;
  }
  ret = ff::avcodec_parameters_copy(dst, src);
  if (ret < 0)
    return ret;
  dst->codec_tag = codecTag;

  if (!ost.frame_rate.num)
    ost.frame_rate = ist.framerate;
  ost.st->avg_frame_rate = ost.frame_rate.num ? ost.frame_rate : ist.st->avg_frame_rate;
  ret = ff::avformat_transfer_internal_stream_timing_info(of.format, ost.st, ist.st,
                                                          AVTimebaseSource(E.Fcopy_tb));
  if (ret < 0)
    return ret;
  if (ost.st->time_base.num <= 0 || ost.st->time_base.den <= 0) {
    if (ost.frame_rate.num)
      ost.st->time_base = av_inv_q(ost.frame_rate);
    else
      ost.st->time_base = ff::av_add_q(ff::av_stream_get_codec_timebase(ost.st), AVRational{0, 1});
  }
  if (ost.st->duration <= 0 && ist.st->duration > 0) // a hint for the muxer
    ost.st->duration = ff::av_rescale_q(ist.st->duration, ist.st->time_base, ost.st->time_base);
  copy_stream_side_data(ost, ist.st);

  if (const std::string conflict = E.Hooks().StreamCopyConflict(dst->codec_type); !conflict.empty())
    L.Fatal(conflict);
  switch (dst->codec_type) {
  case AVMEDIA_TYPE_AUDIO:
    if (E.Faudio_volume != 256)
      L.Fatal("-acodec copy and -vol are incompatible (frames are not decoded)");
    if ((dst->block_align == 1 || dst->block_align == 1152 || dst->block_align == 576) &&
        dst->codec_id == AV_CODEC_ID_MP3)
      dst->block_align = 0;
    if (dst->codec_id == AV_CODEC_ID_AC3)
      dst->block_align = 0;
    break;
  case AVMEDIA_TYPE_VIDEO: {
    AVRational sar;
    if (ost.frame_aspect_ratio.num) { // -aspect
      sar = ff::av_mul_q(ost.frame_aspect_ratio, AVRational{dst->height, dst->width});
      Log(&E, llWarning, "Overriding aspect ratio with stream copy may produce invalid files");
    } else if (ist.st->sample_aspect_ratio.num) {
      sar = ist.st->sample_aspect_ratio;
    } else {
      sar = src->sample_aspect_ratio;
    }
    ost.st->sample_aspect_ratio = dst->sample_aspect_ratio = sar;
    ost.st->avg_frame_rate = ist.st->avg_frame_rate;
    ost.st->r_frame_rate = ist.st->r_frame_rate;
    break;
  }
  default:
    break;
  }
  ost.mux_timebase = ist.st->time_base;
  return 0;
}

int TEncoding::init_output_stream(TOutputStream &ost, AVFrame *frame) {
  int ret = 0;
  FError.clear();
  if (ost.encoding_needed)
    ret = init_output_stream_encode(ost, frame);
  else if (ost.stream_copy)
    ret = init_output_stream_streamcopy(ost);
  if (ret < 0)
    return ret;
  ret = L.Mux.init_output_bsfs(ost);
  if (ret < 0)
    return ret;
  ost.initialized = 1;
  return L.Mux.of_check_init(*E.Foutput_files[ost.file_index]);
}

std::string TEncoding::InitFailure(const TOutputStream &ost, int ret) const {
  return Format("Error initializing output stream %d:%d -- %s", ost.file_index, ost.index,
                FError.empty() ? FFErrorText(ret).c_str() : FError.c_str());
}

void TEncoding::init_output_stream_wrapper(TOutputStream &ost, AVFrame *frame) {
  if (ost.initialized)
    return;
  const int ret = init_output_stream(ost, frame);
  if (ret < 0)
    L.Fatal(InitFailure(ost, ret));
}

int TEncoding::init_output_stream_logged(TOutputStream &ost) {
  const int ret = init_output_stream(ost, nullptr);
  if (ret < 0)
    Log(&E, llError, "%s", InitFailure(ost, ret).c_str());
  return ret;
}

// ---- encoders ------------------------------------------------------------------------------

namespace {

constexpr int MaxCopiesWhileStopping = 11;
constexpr int64_t GenericDefaultBitRate = 200000;
// Constants of a -force_key_frames expression, by position.
enum { FKF_N, FKF_N_FORCED, FKF_PREV_FORCED_N, FKF_PREV_FORCED_T, FKF_T };

int Log2(unsigned v) {
  return v ? 31 - __builtin_clz(v) : 0;
}

int64_t MidPred(int64_t a, int64_t b, int64_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

void ParametersFromCodecpar(TInputFilter &f, const AVCodecParameters *par) {
  f.format = par->format;
  f.sample_rate = par->sample_rate;
  f.width = par->width;
  f.height = par->height;
  f.sample_aspect_ratio = par->sample_aspect_ratio;
  ff::av_channel_layout_uninit(&f.ch_layout);
  ff::av_channel_layout_copy(&f.ch_layout, &par->ch_layout);
}

} // namespace

void TEncoding::set_encoder_id(TOutputFile &of, TOutputStream &ost) {
  if (ff::av_dict_get(ost.st->metadata, "encoder", nullptr, 0))
    return;
  int formatFlags = 0;
  int codecFlags = ost.enc_ctx->flags;
  const AVDictionaryEntry *e = ff::av_dict_get(of.opts.Get(), "fflags", nullptr, 0);
  if (e) {
    const AVOption *o = ff::av_opt_find(of.ctx.get(), "fflags", nullptr, 0, 0);
    if (!o)
      return;
    ff::av_opt_eval_flags(of.ctx.get(), o, e->value, &formatFlags);
  }
  e = ff::av_dict_get(ost.encoder_opts.Get(), "flags", nullptr, 0);
  if (e) {
    const AVOption *o = ff::av_opt_find(ost.enc_ctx.get(), "flags", nullptr, 0, 0);
    if (!o)
      return;
    ff::av_opt_eval_flags(ost.enc_ctx.get(), o, e->value, &codecFlags);
  }
  const bool bitexact =
      (formatFlags & AVFMT_FLAG_BITEXACT) || (codecFlags & AV_CODEC_FLAG_BITEXACT);
  const std::string id = std::string(bitexact ? "Lavc " : LIBAVCODEC_IDENT " ") + ost.enc->name;
  ff::av_dict_set(&ost.st->metadata, "encoder", id.c_str(), AV_DICT_DONT_OVERWRITE);
}

void TEncoding::init_encoder_time_base(TOutputStream &ost, AVRational defaultTimeBase) {
  AVCodecContext *enc = ost.enc_ctx.get();
  if (ost.enc_timebase.num > 0) {
    enc->time_base = ost.enc_timebase;
    return;
  }
  if (ost.enc_timebase.num < 0) { // -enc_time_base demux
    if (ost.source_index >= 0) {
      enc->time_base = E.Finput_streams[ost.source_index]->st->time_base;
      return;
    }
    Log(&E, llWarning, "Input stream data not available, using default time base");
  }
  enc->time_base = defaultTimeBase;
}

void TEncoding::init_video_encoder(TOutputStream &ost, AVFrame *frame) {
  AVCodecContext *enc = ost.enc_ctx.get();
  AVFilterContext *sink = ost.filter->filter;
  const TOutputFile &of = *E.Foutput_files[ost.file_index];
  init_encoder_time_base(ost, av_inv_q(ost.frame_rate));
  if (!(enc->time_base.num && enc->time_base.den))
    enc->time_base = ff::av_buffersink_get_time_base(sink);
  if (av_q2d(enc->time_base) < 0.001 && ost.vsync_method != VSYNC_PASSTHROUGH &&
      (ost.vsync_method == VSYNC_CFR || ost.vsync_method == VSYNC_VSCFR ||
       (ost.vsync_method == VSYNC_AUTO && !(of.format->flags & AVFMT_VARIABLE_FPS))))
    Log(&E, llWarning,
        "Frame rate very high for a muxer not efficiently supporting it.\nPlease consider "
        "specifying a lower framerate, a different muxer or setting vsync/fps_mode to vfr");
  enc->width = ff::av_buffersink_get_w(sink);
  enc->height = ff::av_buffersink_get_h(sink);
  enc->sample_aspect_ratio = ost.st->sample_aspect_ratio =
      ost.frame_aspect_ratio.num
          ? ff::av_mul_q(ost.frame_aspect_ratio, AVRational{enc->height, enc->width})
          : ff::av_buffersink_get_sample_aspect_ratio(sink);
  enc->pix_fmt = AVPixelFormat(ff::av_buffersink_get_format(sink));
  if (ost.bits_per_raw_sample)
    enc->bits_per_raw_sample = ost.bits_per_raw_sample;
  else if (ost.source_index >= 0 && ost.filter->graph->is_meta)
    enc->bits_per_raw_sample =
        std::min(E.Finput_streams[ost.source_index]->dec_ctx->bits_per_raw_sample,
                 ff::av_pix_fmt_desc_get(enc->pix_fmt)->comp[0].depth);
  if (frame) {
    enc->color_range = frame->color_range;
    enc->color_primaries = frame->color_primaries;
    enc->color_trc = frame->color_trc;
    enc->colorspace = frame->colorspace;
    enc->chroma_sample_location = frame->chroma_location;
  }
  enc->framerate = ost.frame_rate;
  ost.st->avg_frame_rate = ost.frame_rate;
  if (frame) { // field order from the first frame
    ApplyTopFieldFirst(ost, frame);
    if (frame->interlaced_frame) {
      if (enc->codec->id == AV_CODEC_ID_MJPEG)
        enc->field_order = frame->top_field_first ? AV_FIELD_TT : AV_FIELD_BB;
      else
        enc->field_order = frame->top_field_first ? AV_FIELD_TB : AV_FIELD_BT;
    } else {
      enc->field_order = AV_FIELD_PROGRESSIVE;
    }
  }
  if (ost.top_field_first == 0)
    enc->field_order = AV_FIELD_BB;
  else if (ost.top_field_first == 1)
    enc->field_order = AV_FIELD_TT;
}

int TEncoding::init_output_stream_encode(TOutputStream &ost, AVFrame *frame) {
  AVCodecContext *enc = ost.enc_ctx.get();
  TOutputFile &of = *E.Foutput_files[ost.file_index];
  const TInputStream *ist =
      ost.source_index >= 0 ? E.Finput_streams[ost.source_index].get() : nullptr;
  set_encoder_id(of, ost);
  if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
    if (!ost.frame_rate.num)
      ost.frame_rate = ff::av_buffersink_get_frame_rate(ost.filter->filter);
    if (ist && !ost.frame_rate.num && !ost.max_frame_rate.num) {
      ost.frame_rate = AVRational{25, 1};
      Log(&E, llWarning,
          "No information about the input framerate is available. Falling back to a default "
          "value of 25fps for output stream #%d:%d. Use the -r option if you want a different "
          "framerate.",
          ost.file_index, ost.index);
    }
    if (ost.max_frame_rate.num &&
        (av_q2d(ost.frame_rate) > av_q2d(ost.max_frame_rate) || !ost.frame_rate.den))
      ost.frame_rate = ost.max_frame_rate;
    if (enc->codec->supported_framerates && !ost.force_fps)
      ost.frame_rate = enc->codec->supported_framerates[ff::av_find_nearest_q_idx(
          ost.frame_rate, enc->codec->supported_framerates)];
    if (enc->codec_id == AV_CODEC_ID_MPEG4) // within the limits of the format
      ff::av_reduce(&ost.frame_rate.num, &ost.frame_rate.den, ost.frame_rate.num,
                    ost.frame_rate.den, 65535);
  }
  switch (enc->codec_type) {
  case AVMEDIA_TYPE_AUDIO: {
    AVFilterContext *sink = ost.filter->filter;
    enc->sample_fmt = AVSampleFormat(ff::av_buffersink_get_format(sink));
    enc->sample_rate = ff::av_buffersink_get_sample_rate(sink);
    const int ret = ff::av_buffersink_get_ch_layout(sink, &enc->ch_layout);
    if (ret < 0)
      return ret;
    if (ost.bits_per_raw_sample)
      enc->bits_per_raw_sample = ost.bits_per_raw_sample;
    else if (ist && ost.filter->graph->is_meta)
      enc->bits_per_raw_sample = std::min(ist->dec_ctx->bits_per_raw_sample,
                                          ff::av_get_bytes_per_sample(enc->sample_fmt) << 3);
    init_encoder_time_base(ost, AVRational{1, enc->sample_rate});
    break;
  }
  case AVMEDIA_TYPE_VIDEO:
    if (!ost.last_frame)
      ost.last_frame.reset(ff::av_frame_alloc()); // the frame duplicates repeat
    if (!ost.last_frame)
      return AVERROR(ENOMEM);
    init_video_encoder(ost, frame);
    if (const int ret = init_forced_keyframes(ost); ret < 0)
      return ret;
    break;
  case AVMEDIA_TYPE_SUBTITLE:
    enc->time_base = AVRational{1, AV_TIME_BASE};
    if (!enc->width && ist) {
      enc->width = ist->st->codecpar->width;
      enc->height = ist->st->codecpar->height;
    }
    break;
  default:
    break;
  }
  ost.mux_timebase = enc->time_base;
  return open_encoder(ost);
}

// A hardware encoder gets the filters' hardware frames when it takes frames of their format, else
// the first device of a type it can use through a device context (one of that type in the list).
int TEncoding::hw_device_setup_for_encode(TOutputStream &ost) {
  AVCodecContext *enc = ost.enc_ctx.get();
  const AVBufferRef *frames =
      ost.filter ? ff::av_buffersink_get_hw_frames_ctx(ost.filter->filter) : nullptr;
  if (frames && reinterpret_cast<const AVHWFramesContext *>(frames->data)->format != enc->pix_fmt)
    frames = nullptr;
  THWDevicePtr dev;
  const AVCodecHWConfig *config;
  for (int i = 0; (config = ff::avcodec_get_hw_config(ost.enc, i)); i++) {
    if (frames && (config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_FRAMES_CTX) &&
        (config->pix_fmt == AV_PIX_FMT_NONE || config->pix_fmt == enc->pix_fmt)) {
      ff::av_log(enc, AV_LOG_VERBOSE, "Using input frames context (format %s) with %s encoder.\n",
                 ff::av_get_pix_fmt_name(enc->pix_fmt), ost.enc->name);
      enc->hw_frames_ctx = ff::av_buffer_ref(frames);
      return enc->hw_frames_ctx ? 0 : AVERROR(ENOMEM);
    }
    if (!dev && (config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX))
      dev = HWDeviceGetByType(config->device_type);
  }
  if (!dev)
    return 0; // no device needed, or none there
  ff::av_log(enc, AV_LOG_VERBOSE, "Using device %s (type %s) with %s encoder.\n", dev->name.c_str(),
             ff::av_hwdevice_get_type_name(dev->type_), ost.enc->name);
  enc->hw_device_ctx = ff::av_buffer_ref(dev->device_ref.get());
  if (!enc->hw_device_ctx)
    return AVERROR(ENOMEM);
  E.FHWDevices.push_back(std::move(dev)); // the task holds what its encoder uses
  return 0;
}

int TEncoding::open_encoder(TOutputStream &ost) {
  AVCodecContext *enc = ost.enc_ctx.get();
  const TInputStream *ist =
      ost.source_index >= 0 ? E.Finput_streams[ost.source_index].get() : nullptr;
  const AVCodecContext *dec = ist ? ist->dec_ctx.get() : nullptr;
  if (dec && dec->subtitle_header) {
    // The ASS code reads it as a terminated string.
    enc->subtitle_header = static_cast<uint8_t *>(ff::av_mallocz(dec->subtitle_header_size + 1));
    if (!enc->subtitle_header)
      return AVERROR(ENOMEM);
    std::memcpy(enc->subtitle_header, dec->subtitle_header, dec->subtitle_header_size);
    enc->subtitle_header_size = dec->subtitle_header_size;
  }
  if (!ff::av_dict_get(ost.encoder_opts.Get(), "threads", nullptr, 0))
    ff::av_dict_set(ost.encoder_opts.Ref(), "threads", "auto", 0);
  // An audio encoder without its own default bit rate (its context still has the generic one)
  // gets 128 kbit/s.
  if (enc->codec_type == AVMEDIA_TYPE_AUDIO && enc->bit_rate == GenericDefaultBitRate &&
      !ff::av_dict_get(ost.encoder_opts.Get(), "b", nullptr, 0) &&
      !ff::av_dict_get(ost.encoder_opts.Get(), "ab", nullptr, 0))
    ff::av_dict_set(ost.encoder_opts.Ref(), "b", "128000", 0);
  int ret = hw_device_setup_for_encode(ost);
  if (ret < 0) {
    FError = Format("Device setup failed for encoder on output stream #%d:%d : %s", ost.file_index,
                    ost.index, FFErrorText(ret).c_str());
    return ret;
  }
  if (ist && ist->avdec && ist->avdec->type == AVMEDIA_TYPE_SUBTITLE &&
      ost.enc->type == AVMEDIA_TYPE_SUBTITLE) {
    const int kinds = AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB;
    const AVCodecDescriptor *in = ff::avcodec_descriptor_get(dec->codec_id);
    const AVCodecDescriptor *out = ff::avcodec_descriptor_get(enc->codec_id);
    const int inProps = in ? in->props & kinds : 0;
    const int outProps = out ? out->props & kinds : 0;
    if (inProps && outProps && inProps != outProps) {
      FError = "Subtitle encoding currently only possible from text to text or bitmap to bitmap";
      return AVERROR_INVALIDDATA;
    }
  }
  ret = ff::avcodec_open2(enc, ost.enc, ost.encoder_opts.Ref());
  if (ret < 0) {
    FError = Format("Error while opening encoder for output stream #%d:%d - maybe incorrect "
                    "parameters such as bit_rate, rate, width or height",
                    ost.file_index, ost.index);
    return ret;
  }
  if (ost.enc->type == AVMEDIA_TYPE_AUDIO &&
      !(ost.enc->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
    ff::av_buffersink_set_frame_size(ost.filter->filter, unsigned(enc->frame_size));
  const AVDictionaryEntry *left =
      ff::av_dict_get(ost.encoder_opts.Get(), "", nullptr, AV_DICT_IGNORE_SUFFIX);
  if (left)
    L.Fatal(Format("Option %s not found.", left->key));
  if (enc->bit_rate && enc->bit_rate < 1000 && enc->codec_id != AV_CODEC_ID_CODEC2)
    Log(&E, llWarning,
        "The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
  if (ff::avcodec_parameters_from_context(ost.st->codecpar, enc) < 0)
    L.Fatal("Error initializing the output stream codec context.");
  for (int i = 0; i < enc->nb_coded_side_data; i++) {
    const AVPacketSideData &sd = enc->coded_side_data[i];
    uint8_t *dst = ff::av_stream_new_side_data(ost.st, sd.type, sd.size);
    if (!dst)
      return AVERROR(ENOMEM);
    std::memcpy(dst, sd.data, sd.size);
  }
  if (ist) // the input's global side data, a rotation already applied by the filters reset
    for (int i = 0; i < ist->st->nb_side_data; i++) {
      const AVPacketSideData &sd = ist->st->side_data[i];
      if (sd.type == AV_PKT_DATA_CPB_PROPERTIES)
        continue;
      uint8_t *dst = ff::av_stream_new_side_data(ost.st, sd.type, sd.size);
      if (!dst)
        return AVERROR(ENOMEM);
      std::memcpy(dst, sd.data, sd.size);
      if (ist->autorotate && sd.type == AV_PKT_DATA_DISPLAYMATRIX)
        ff::av_display_rotation_set(reinterpret_cast<int32_t *>(dst), 0);
    }
  if (ost.st->time_base.num <= 0 || ost.st->time_base.den <= 0)
    ost.st->time_base = ff::av_add_q(enc->time_base, AVRational{0, 1});
  if (ost.st->duration <= 0 && ist && ist->st->duration > 0)
    ost.st->duration = ff::av_rescale_q(ist->st->duration, ist->st->time_base, ost.st->time_base);
  return 0;
}

bool TEncoding::check_recording_time(TOutputStream &ost) {
  const TOutputFile &of = *E.Foutput_files[ost.file_index];
  if (of.recording_time != INT64_MAX &&
      ff::av_compare_ts(ost.sync_opts - ost.first_pts, ost.enc_ctx->time_base, of.recording_time,
                        AVRational{1, AV_TIME_BASE}) >= 0) {
    L.close_output_stream(ost);
    return false;
  }
  return true;
}

// Moves the frame's pts from the filter's time base to the encoder's (minus the output's -ss);
// returns it more precisely as a double.
double TEncoding::adjust_frame_pts_to_encoder_tb(TOutputFile &of, TOutputStream &ost,
                                                 AVFrame *frame) {
  double floatPts = double(AV_NOPTS_VALUE);
  AVCodecContext *enc = ost.enc_ctx.get();
  if (frame && frame->pts != AV_NOPTS_VALUE && ost.filter && ost.filter->graph->graph) {
    const int64_t start = of.start_time == AV_NOPTS_VALUE ? 0 : of.start_time;
    const AVRational filterTb = ff::av_buffersink_get_time_base(ost.filter->filter);
    AVRational tb = enc->time_base;
    const int extraBits = std::clamp(29 - Log2(unsigned(tb.den)), 0, 16);
    tb.den <<= extraBits;
    floatPts = double(ff::av_rescale_q(frame->pts, filterTb, tb) -
                      ff::av_rescale_q(start, AVRational{1, AV_TIME_BASE}, tb));
    floatPts /= 1 << extraBits;
    // Away from exact midpoints, so that rounding does not depend on tiny differences.
    floatPts += (floatPts > 0 ? 1 : floatPts < 0 ? -1 : 0) * 1.0 / (1 << 17);
    frame->pts = ff::av_rescale_q(frame->pts, filterTb, enc->time_base) -
                 ff::av_rescale_q(start, AVRational{1, AV_TIME_BASE}, enc->time_base);
  }
  if (E.Fdebug_ts)
    Log(&E, llInfo, "filter -> pts:%s pts_time:%s exact:%f time_base:%d/%d",
        frame ? TsText(frame->pts).c_str() : "NULL",
        frame ? TsTimeText(frame->pts, enc->time_base).c_str() : "NULL", floatPts,
        enc->time_base.num, enc->time_base.den);
  return floatPts;
}

// Expected duration of the next frame in encoder time base units.
double TEncoding::frame_duration(TOutputStream &ost, const AVFrame *next) {
  const AVCodecContext *enc = ost.enc_ctx.get();
  const TInputStream *ist =
      ost.source_index >= 0 ? E.Finput_streams[ost.source_index].get() : nullptr;
  double duration = 0;
  const AVRational rate = ff::av_buffersink_get_frame_rate(ost.filter->filter);
  if (rate.num > 0 && rate.den > 0)
    duration = 1 / (av_q2d(rate) * av_q2d(enc->time_base));
  if (ist && ist->st->start_time != AV_NOPTS_VALUE && ist->first_dts != AV_NOPTS_VALUE &&
      ost.frame_rate.num)
    duration = std::min(duration, 1 / (av_q2d(ost.frame_rate) * av_q2d(enc->time_base)));
  if (ost.filters_script.empty() && ost.filters.empty() &&
      (E.Ffiltergraphs.empty() || E.Ffiltergraphs[0]->graph_desc.empty()) && next && ist) {
    const long frames = std::lrint(double(next->pkt_duration) * av_q2d(ist->st->time_base) /
                                   av_q2d(enc->time_base));
    if (frames > 0)
      duration = double(frames);
  }
  return duration;
}

// -force_key_frames: a list of times (and "chapters" with an optional offset), or "expr:"
// with an expression of n, n_forced, prev_forced_n, prev_forced_t and t; "source" and
// "source_no_drop" follow the input's key frames when a frame is encoded.
int TEncoding::init_forced_keyframes(TOutputStream &ost) {
  const std::string &kf = ost.forced_keyframes;
  if (kf.empty() || kf.rfind("source", 0) == 0)
    return 0;
  if (kf.rfind("expr:", 0) == 0) {
    static const char *const names[] = {"n", "n_forced", "prev_forced_n", "prev_forced_t",
                                        "t", nullptr};
    AVExpr *expr = nullptr;
    const int ret = ff::av_expr_parse(&expr, kf.c_str() + 5, names, nullptr, nullptr, nullptr,
                                      nullptr, 0, nullptr);
    if (ret < 0) {
      Log(&E, llError, "Invalid force_key_frames expression '%s'", kf.c_str() + 5);
      return ret;
    }
    ost.forced_keyframes_pexpr.reset(expr);
    double *v = ost.forced_keyframes_expr_const_values;
    v[FKF_N] = v[FKF_N_FORCED] = 0;
    v[FKF_PREV_FORCED_N] = v[FKF_PREV_FORCED_T] = NAN;
    return 0;
  }
  const AVRational tb = ost.enc_ctx->time_base;
  std::vector<int64_t> &pts = ost.forced_kf_pts;
  pts.clear();
  for (size_t pos = 0; pos <= kf.size();) {
    size_t comma = kf.find(',', pos);
    if (comma == std::string::npos)
      comma = kf.size();
    const std::string item = kf.substr(pos, comma - pos);
    pos = comma + 1;
    const bool chapters = item.rfind("chapters", 0) == 0;
    const std::string timeText = chapters ? item.substr(8) : item;
    int64_t t = 0;
    if ((!chapters || !timeText.empty()) && ff::av_parse_time(&t, timeText.c_str(), 1) < 0)
      L.Fatal(Format("Invalid duration specification for force_key_frames: %s", timeText.c_str()));
    t = ff::av_rescale_q(t, AVRational{1, AV_TIME_BASE}, tb);
    if (!chapters) {
      pts.push_back(t);
      continue;
    }
    const AVFormatContext *oc = E.Foutput_files[ost.file_index]->ctx.get();
    for (unsigned j = 0; j < oc->nb_chapters; j++)
      pts.push_back(ff::av_rescale_q(oc->chapters[j]->start, oc->chapters[j]->time_base, tb) + t);
  }
  std::sort(pts.begin(), pts.end());
  ost.forced_kf_count = int(pts.size());
  return 0;
}

bool TEncoding::forced_keyframe_due(TOutputStream &ost, const AVFrame &picture, bool first) {
  if (ost.forced_kf_index < ost.forced_kf_count &&
      picture.pts >= ost.forced_kf_pts[size_t(ost.forced_kf_index)]) {
    ost.forced_kf_index++;
    return true;
  }
  if (ost.forced_keyframes_pexpr) {
    double *v = ost.forced_keyframes_expr_const_values;
    v[FKF_T] = picture.pts != AV_NOPTS_VALUE
                   ? double(picture.pts - ost.forced_kf_ref_pts) * av_q2d(ost.enc_ctx->time_base)
                   : NAN;
    const bool due = ff::av_expr_eval(ost.forced_keyframes_pexpr.get(), v, nullptr) != 0;
    if (due) {
      v[FKF_PREV_FORCED_N] = v[FKF_N];
      v[FKF_PREV_FORCED_T] = v[FKF_T];
      v[FKF_N_FORCED] += 1;
    }
    v[FKF_N] += 1;
    return due;
  }
  if (ost.forced_keyframes.rfind("source_no_drop", 0) == 0 && first) {
    const bool due = picture.key_frame == 1 || ost.dropped_keyframe;
    ost.dropped_keyframe = 0;
    return due;
  }
  return ost.forced_keyframes.rfind("source", 0) == 0 && picture.key_frame == 1 && first;
}

void TEncoding::do_video_out(TOutputFile &of, TOutputStream &ost, AVFrame *next) {
  AVCodecContext *enc = ost.enc_ctx.get();
  init_output_stream_wrapper(ost, next);
  double syncIpts = adjust_frame_pts_to_encoder_tb(of, ost, next);
  double duration = frame_duration(ost, next);
  int64_t nbFrames, nb0Frames;
  if (!next) { // flushing: repeat the recent pattern
    nb0Frames = nbFrames =
        MidPred(ost.last_nb0_frames[0], ost.last_nb0_frames[1], ost.last_nb0_frames[2]);
  } else {
    double delta0 = syncIpts - double(ost.sync_opts); // drift of this frame against the output
    double delta = delta0 + duration;
    nb0Frames = 0; // copies of the previous frame
    nbFrames = 1;
    if (delta0 < 0 && delta > 0 && ost.vsync_method != VSYNC_PASSTHROUGH &&
        ost.vsync_method != VSYNC_DROP) {
      if (delta0 < -0.6)
        Log(&E, llVerbose, "Past duration %f too large", -delta0);
      else
        Log(&E, llDebug, "Clipping frame in rate conversion by %f", -delta0);
      syncIpts = double(ost.sync_opts);
      duration += delta0;
      delta0 = 0;
    }
    switch (ost.vsync_method) {
    case VSYNC_VSCFR:
      if (ost.frame_number == 0 && delta0 >= 0.5) {
        Log(&E, llDebug, "Not duplicating %d initial frames", int(std::lrint(delta0)));
        delta = duration;
        delta0 = 0;
        ost.sync_opts = std::llrint(syncIpts);
      }
      [[fallthrough]];
    case VSYNC_CFR:
      if (E.Fframe_drop_threshold != 0 && delta < E.Fframe_drop_threshold && ost.frame_number)
        nbFrames = 0;
      else if (delta < -1.1)
        nbFrames = 0;
      else if (delta > 1.1) {
        nbFrames = std::llrint(delta);
        if (delta0 > 1.1)
          nb0Frames = std::llrint(delta0 - 0.6);
      }
      break;
    case VSYNC_VFR:
      if (delta <= -0.6)
        nbFrames = 0;
      else if (delta > 0.6)
        ost.sync_opts = std::llrint(syncIpts);
      break;
    case VSYNC_DROP:
    case VSYNC_PASSTHROUGH:
      ost.sync_opts = std::llrint(syncIpts);
      break;
    default:
      L.Fatal("Never occur");
    }
  }
  // Frames in = packets out for video; reordering forbids dropping on the encoder's side.
  nbFrames = std::min(nbFrames, ost.max_frames - ost.frame_number);
  nb0Frames = std::min(nb0Frames, nbFrames);
  ost.last_nb0_frames[2] = ost.last_nb0_frames[1];
  ost.last_nb0_frames[1] = ost.last_nb0_frames[0];
  ost.last_nb0_frames[0] = nb0Frames;
  if (nb0Frames == 0 && ost.last_dropped) {
    L.Fnb_frames_drop++;
    L.FShowDupOrDrop = true;
    Log(&E, llVerbose, "*** dropping frame %" PRId64 " from stream %d at ts %" PRId64,
        ost.frame_number, ost.st->index, ost.last_frame->pts);
  }
  if (nbFrames > (nb0Frames && ost.last_dropped) + (nbFrames > nb0Frames)) {
    if (nbFrames > E.Fdts_error_threshold * 30) {
      Log(&E, llError, "%" PRId64 " frame duplication too large, skipping", nbFrames - 1);
      L.Fnb_frames_drop++;
      L.FShowDupOrDrop = true;
      return;
    }
    L.Fnb_frames_dup += nbFrames - (nb0Frames && ost.last_dropped) - (nbFrames > nb0Frames);
    L.FShowDupOrDrop = true;
    Log(&E, llVerbose, "*** %" PRId64 " dup!", nbFrames - 1);
    if (L.Fnb_frames_dup > L.Fdup_warning) {
      Log(&E, llWarning, "More than %" PRId64 " frames duplicated", L.Fdup_warning);
      L.Fdup_warning *= 10;
    }
  }
  ost.last_dropped = nbFrames == nb0Frames && next;
  ost.dropped_keyframe = ost.last_dropped && next && next->key_frame;

  for (int64_t i = 0; i < nbFrames; i++) {
    if (E.FBroken && i >= MaxCopiesWhileStopping) {
      Log(&E, llInfo, "break in do_video_out()");
      break;
    }
    AVFrame *picture = i < nb0Frames && ost.last_frame->buf[0] ? ost.last_frame.get() : next;
    if (!picture)
      return;
    picture->pts = ost.sync_opts;
    if (!check_recording_time(ost))
      return;
    ApplyTopFieldFirst(ost, picture);
    picture->quality = enc->global_quality;
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    if (ost.forced_kf_ref_pts == AV_NOPTS_VALUE && picture->pts != AV_NOPTS_VALUE)
      ost.forced_kf_ref_pts = picture->pts;
    if (forced_keyframe_due(ost, *picture, i == 0)) {
      picture->pict_type = AV_PICTURE_TYPE_I;
      Log(&E, llDebug, "Forced keyframe at time %f",
          double(picture->pts - ost.forced_kf_ref_pts) * av_q2d(enc->time_base));
    }
    AVFrame *hooked =
        E.Hooks().OutputVideo(picture, int(ost.frame_number) + 1,
                              ff::av_rescale_q(picture->pts, enc->time_base, AV_TIME_BASE_Q));
    if (encode_frame(of, ost, hooked) < 0)
      L.Fatal("Video encoding failed");
    ost.sync_opts++;
    ost.frame_number++;
  }
  ff::av_frame_unref(ost.last_frame.get());
  if (next)
    ff::av_frame_move_ref(ost.last_frame.get(), next);
}

void TEncoding::do_audio_out(TOutputFile &of, TOutputStream &ost, AVFrame *frame) {
  adjust_frame_pts_to_encoder_tb(of, ost, frame);
  if (!check_recording_time(ost))
    return;
  if (frame->pts == AV_NOPTS_VALUE || E.Faudio_sync_method < 0)
    frame->pts = ost.sync_opts;
  ost.sync_opts = frame->pts + frame->nb_samples;
  E.Hooks().OutputAudio(frame, ff::av_rescale_q(frame->pts, ost.enc_ctx->time_base, AV_TIME_BASE_Q),
                        PacedAtNativeRate(E, ost));
  if (encode_frame(of, ost, frame) < 0)
    L.Fatal("Audio encoding failed");
}

void TEncoding::update_video_stats(TOutputStream &ost, const AVPacket *pkt) {
  const uint8_t *sd = ff::av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, nullptr);
  ost.quality = sd ? int(AV_RL32(sd)) : -1;
  ost.pict_type = sd ? sd[4] : int(AV_PICTURE_TYPE_NONE);
  for (int i = 0; i < 4; i++)
    ost.error[i] = sd && i < sd[5] ? int64_t(AV_RL64(sd + 8 + 8 * i)) : -1;
  if (!E.Fvstats_filename.empty())
    L.Report.do_video_stats(ost, pkt);
}

int TEncoding::encode_frame(TOutputFile &of, TOutputStream &ost, AVFrame *frame) {
  AVCodecContext *enc = ost.enc_ctx.get();
  AVPacket *pkt = ost.pkt.get();
  const char *type = ff::av_get_media_type_string(enc->codec_type);
  if (frame) {
    ost.frames_encoded++;
    ost.samples_encoded += frame->nb_samples;
    if (E.Fdebug_ts)
      Log(&E, llInfo, "encoder <- type:%s frame_pts:%s frame_pts_time:%s time_base:%d/%d", type,
          TsText(frame->pts).c_str(), TsTimeText(frame->pts, enc->time_base).c_str(),
          enc->time_base.num, enc->time_base.den);
  }
  if (frame && enc->codec_type == AVMEDIA_TYPE_VIDEO &&
      (frame->width != enc->width || frame->height != enc->height)) {
    // Kept graphs (-reinit_filter 0) pass a new input size through; an encoder opened for
    // another size would read past the picture, so the frame is refused instead.
    Log(&E, llError, "Video frame of %dx%d does not fit the encoder opened for %dx%d", frame->width,
        frame->height, enc->width, enc->height);
    return AVERROR(EINVAL);
  }
  int ret = ff::avcodec_send_frame(enc, frame);
  if (ret < 0 && !(ret == AVERROR_EOF && !frame)) {
    Log(&E, llError, "Error submitting %s frame to the encoder", type);
    return ret;
  }
  for (;;) {
    ret = ff::avcodec_receive_packet(enc, pkt);
    if ((ret >= 0 || ret == AVERROR_EOF) && ost.logfile && enc->stats_out) // two-pass log
      std::fprintf(ost.logfile.get(), "%s", enc->stats_out);
    if (ret == AVERROR(EAGAIN))
      return 0;
    if (ret == AVERROR_EOF) {
      L.Mux.output_packet(of, pkt, ost, true);
      return ret;
    }
    if (ret < 0) {
      Log(&E, llError, "%s encoding failed", type);
      return ret;
    }
    if (E.Fdebug_ts)
      Log(&E, llInfo,
          "encoder -> type:%s pkt_pts:%s pkt_pts_time:%s pkt_dts:%s pkt_dts_time:%s "
          "duration:%s duration_time:%s",
          type, TsText(pkt->pts).c_str(), TsTimeText(pkt->pts, enc->time_base).c_str(),
          TsText(pkt->dts).c_str(), TsTimeText(pkt->dts, enc->time_base).c_str(),
          TsText(pkt->duration).c_str(), TsTimeText(pkt->duration, enc->time_base).c_str());
    ff::av_packet_rescale_ts(pkt, enc->time_base, ost.mux_timebase);
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO)
      update_video_stats(ost, pkt);
    ost.packets_encoded++;
    L.Mux.output_packet(of, pkt, ost, false);
  }
}

void TEncoding::do_subtitle_out(TOutputFile &of, TOutputStream &ost, AVSubtitle &sub) {
  constexpr int MaxSize = 1024 * 1024;
  if (sub.pts == AV_NOPTS_VALUE) {
    if (E.Fexit_on_error)
      L.Fatal("Subtitle packets must have a pts");
    Log(&E, llError, "Subtitle packets must have a pts");
    return;
  }
  AVCodecContext *enc = ost.enc_ctx.get();
  AVPacket *pkt = ost.pkt.get();
  Fsubtitle_out.resize(MaxSize);
  // DVB subtitles need one packet to draw them and one to clear them.
  const int nb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE ? 2 : 1;
  int64_t pts = sub.pts; // -ss of the output shifts it, so that -t works
  if (of.start_time != AV_NOPTS_VALUE)
    pts -= of.start_time;
  const AVRational ms{1, 1000};
  for (int i = 0; i < nb; i++) {
    const unsigned savedRects = sub.num_rects;
    ost.sync_opts = ff::av_rescale_q(pts, AVRational{1, AV_TIME_BASE}, enc->time_base);
    if (!check_recording_time(ost))
      return;
    sub.pts = pts + ff::av_rescale_q(sub.start_display_time, ms, AVRational{1, AV_TIME_BASE});
    sub.end_display_time -= sub.start_display_time;
    sub.start_display_time = 0;
    if (i == 1)
      sub.num_rects = 0;
    ost.frames_encoded++;
    const int size = ff::avcodec_encode_subtitle(enc, Fsubtitle_out.data(), MaxSize, &sub);
    if (i == 1)
      sub.num_rects = savedRects;
    if (size < 0)
      L.Fatal("Subtitle encoding failed");
    ff::av_packet_unref(pkt);
    pkt->data = Fsubtitle_out.data();
    pkt->size = size;
    pkt->pts = ff::av_rescale_q(sub.pts, AVRational{1, AV_TIME_BASE}, ost.mux_timebase);
    pkt->duration = ff::av_rescale_q(sub.end_display_time, ms, ost.mux_timebase);
    if (enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE)
      pkt->pts += ff::av_rescale_q(i == 0 ? sub.start_display_time : sub.end_display_time, ms,
                                   ost.mux_timebase);
    pkt->dts = pkt->pts;
    L.Mux.output_packet(of, pkt, ost, false);
  }
}

int TEncoding::reap_filters(bool flush) {
  for (auto &ostp : E.Foutput_streams) {
    TOutputStream &ost = *ostp;
    if (!ost.filter || !ost.filter->graph->graph)
      continue;
    TOutputFile &of = *E.Foutput_files[ost.file_index];
    AVFilterContext *sink = ost.filter->filter;
    const AVMediaType type = ff::av_buffersink_get_type(sink);
    if (type == AVMEDIA_TYPE_AUDIO) // the sink needs the encoder's frame size first
      init_output_stream_wrapper(ost, nullptr);
    AVFrame *frame = ost.filtered_frame.get();
    for (;;) {
      const int ret = ff::av_buffersink_get_frame_flags(sink, frame, AV_BUFFERSINK_FLAG_NO_REQUEST);
      if (ret < 0) {
        if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
          Log(&E, llWarning, "Error in av_buffersink_get_frame_flags(): %s",
              FFErrorText(ret).c_str());
        else if (flush && ret == AVERROR_EOF && type == AVMEDIA_TYPE_VIDEO)
          do_video_out(of, ost, nullptr);
        break;
      }
      if (ost.finished) {
        ff::av_frame_unref(frame);
        continue;
      }
      if (type == AVMEDIA_TYPE_VIDEO) {
        if (!ost.frame_aspect_ratio.num)
          ost.enc_ctx->sample_aspect_ratio = frame->sample_aspect_ratio;
        do_video_out(of, ost, frame);
      } else if (type == AVMEDIA_TYPE_AUDIO) {
        if (!(ost.enc_ctx->codec->capabilities & AV_CODEC_CAP_PARAM_CHANGE) &&
            ost.enc_ctx->ch_layout.nb_channels != frame->ch_layout.nb_channels)
          Log(&E, llError,
              "Audio filter graph output is not normalized and encoder does not "
              "support parameter changes");
        else
          do_audio_out(of, ost, frame);
      }
      ff::av_frame_unref(frame);
    }
  }
  return 0;
}

// An encoded stream that never got a frame: configure its graph from the input's parameters
// so that the encoder can still be opened and flushed. False when that is not possible.
bool TEncoding::start_unfed_stream(TOutputStream &ost) {
  Log(&E, llWarning, "Finishing stream %d:%d without any data written to it.", ost.file_index,
      ost.st->index);
  TFilterGraph *fg = ost.filter ? ost.filter->graph : nullptr;
  if (fg && !fg->graph) {
    for (auto &ifilter : fg->inputs)
      if (ifilter->format < 0)
        ParametersFromCodecpar(*ifilter, ifilter->ist->st->codecpar);
    if (!TFilterGraphs::ifilter_has_all_input_formats(fg))
      return false;
    if (E.FilterGraphs().configure_filtergraph(fg) < 0)
      L.Fatal("Error configuring filter graph");
    L.finish_output_stream(ost);
  }
  init_output_stream_wrapper(ost, nullptr);
  return true;
}

void TEncoding::flush_encoders() {
  for (auto &ostp : E.Foutput_streams) {
    TOutputStream &ost = *ostp;
    if (!ost.encoding_needed)
      continue;
    if (!ost.initialized && !start_unfed_stream(ost))
      continue;
    const AVMediaType type = ost.enc_ctx->codec_type;
    if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO)
      continue;
    if (encode_frame(*E.Foutput_files[ost.file_index], ost, nullptr) != AVERROR_EOF)
      L.Fatal(Format("%s encoding failed", ff::av_get_media_type_string(type)));
  }
}
