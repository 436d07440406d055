#include "transcode/TOutputStreamFactory.h"

#include <cstring>

#include "components/TFFLogger.h"
#include "transcode/FileReader.h"
#include "transcode/common/CodecOptions.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

namespace {

// Statistics of a long first pass: a line per frame.
constexpr size_t MaxPassLogSize = 1u << 30;

constexpr const char *DefaultPassLogPrefix = "ffencoder2pass";

} // namespace

TOutputStreamFactory::TOutputStreamFactory(TCustomFFmpeg &engine, TOptionsContext &opts,
                                           TOutputFile &file)
    : E(engine), o(opts), of(file), oc(file.ctx.get()) {}

TOutputStream *TOutputStreamFactory::NewStreamFor(int source) {
  const AVStream *st = E.Finput_streams[source]->st;
  switch (st->codecpar->codec_type) {
  case AVMEDIA_TYPE_VIDEO:
    return NewVideoStream(source);
  case AVMEDIA_TYPE_AUDIO:
    return NewAudioStream(source);
  case AVMEDIA_TYPE_SUBTITLE:
    return NewSubtitleStream(source);
  case AVMEDIA_TYPE_DATA:
    return NewDataStream(source);
  case AVMEDIA_TYPE_ATTACHMENT:
    return NewAttachmentStream(source);
  default:
    break;
  }
  if (E.Fcopy_unknown_streams)
    return NewOutputStream(AVMEDIA_TYPE_UNKNOWN, source);
  const TInputStream &ist = *E.Finput_streams[source];
  std::string text =
      Format("Cannot map stream #%d:%d - unsupported type.", ist.file_index, ist.st->index);
  if (E.Fignore_unknown_streams) {
    Log(&E, llWarning, "%s", text.c_str());
    return nullptr;
  }
  Fatal(&E, text + "\r\nIf you want unsupported types ignored instead of failing, please use the "
                   "-ignore_unknown option\r\nIf you want them copied, please use -copy_unknown");
}

void TOutputStreamFactory::ChooseEncoder(TOutputStream &ost) {
  AVStream *st = ost.st;
  const AVMediaType type = st->codecpar->codec_type;
  std::string name = TCustomFFmpeg::MatchPerStreamStr(o.codec_names, oc, st);
  if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_SUBTITLE) {
    // Other media types have no encoders: they are copied whatever -c names.
    ost.stream_copy = 1;
    ost.encoding_needed = 0;
    return;
  }
  if (name.empty()) {
    st->codecpar->codec_id = ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
    ost.enc = ff::avcodec_find_encoder(st->codecpar->codec_id);
    if (!ost.enc) {
      std::string text =
          Format("Automatic encoder selection failed for output stream #%d:%d. Default encoder "
                 "for format %s (codec %s) is probably disabled. Please choose an encoder "
                 "manually.",
                 ost.file_index, st->index, oc->oformat->name,
                 ff::avcodec_get_name(st->codecpar->codec_id));
      Fatal(&E, text);
    }
  } else if (name == "copy") {
    ost.stream_copy = 1;
  } else {
    ost.enc = E.FindCodecOrDie(name, type, true);
    st->codecpar->codec_id = ost.enc->id;
  }
  ost.encoding_needed = !ost.stream_copy;
}

TOutputStream *TOutputStreamFactory::NewOutputStream(AVMediaType type, int source) {
  AVStream *st = ff::avformat_new_stream(oc, nullptr);
  if (!st)
    Fatal(&E, "Could not alloc stream.");
  const int idx = int(oc->nb_streams) - 1;
  if (idx < o.nb_streamid_map())
    st->id = o.streamid_map[idx];

  E.Foutput_streams.push_back(std::make_unique<TOutputStream>());
  TOutputStream &ost = *E.Foutput_streams.back();
  ost.file_index = of.index;
  ost.index = idx;
  ost.st = st;
  ost.forced_kf_ref_pts = AV_NOPTS_VALUE;
  st->codecpar->codec_type = type;
  ChooseEncoder(ost);

  ost.enc_ctx.reset(ff::avcodec_alloc_context3(ost.enc));
  if (!ost.enc_ctx)
    Fatal(&E, "Error allocating the encoding context.");
  ost.enc_ctx->codec_type = type;
  ost.ref_par.reset(ff::avcodec_parameters_alloc());
  ost.filtered_frame.reset(ff::av_frame_alloc());
  ost.pkt.reset(ff::av_packet_alloc());
  if (!ost.ref_par || !ost.filtered_frame || !ost.pkt)
    Fatal(&E, "Error allocating the encoding context.");

  ost.encoder_opts =
      FilterCodecOpts(o.g->codec_opts, ost.enc ? ost.enc->id : AV_CODEC_ID_NONE, oc, st, ost.enc);
  if (o.bitexact)
    ost.enc_ctx->flags |= AV_CODEC_FLAG_BITEXACT;
  ApplyCommonOptions(ost);

  ost.sws_dict.Copy(o.g->sws_dict);
  ost.swr_opts.Copy(o.g->swr_opts);
  if (ost.enc && ff::av_get_exact_bits_per_sample(ost.enc->id) == 24)
    ff::av_dict_set(ost.swr_opts.Ref(), "output_sample_bits", "24", 0);

  ost.source_index = source;
  if (source >= 0) {
    TInputStream &ist = *E.Finput_streams[source];
    ost.sync_ist = &ist;
    ist.discard = 0;
    ist.st->discard = AVDiscard(ist.user_set_discard);
  }
  ost.last_mux_dts = AV_NOPTS_VALUE;
  ost.muxing_queue.reset(ff::av_fifo_alloc2(8, sizeof(AVPacket *), 0));
  if (!ost.muxing_queue)
    Fatal(&E, "Error allocating the encoding context.");
  return &ost;
}

void TOutputStreamFactory::ApplyCommonOptions(TOutputStream &ost) {
  AVStream *st = ost.st;
  const AVMediaType type = st->codecpar->codec_type;

  std::string tb = TCustomFFmpeg::MatchPerStreamStr(o.time_bases, oc, st);
  if (!tb.empty()) {
    AVRational q;
    if (ff::av_parse_ratio(&q, tb.c_str(), INT_MAX, 0, nullptr) < 0 || q.num <= 0 || q.den <= 0)
      Fatal(&E, Format("Invalid time base: %s", tb.c_str()));
    st->time_base = q;
  }
  std::string etb = TCustomFFmpeg::MatchPerStreamStr(o.enc_time_bases, oc, st);
  if (!etb.empty()) {
    AVRational q;
    if (ff::av_parse_ratio(&q, etb.c_str(), INT_MAX, 0, nullptr) < 0 || q.den <= 0)
      Fatal(&E, Format("Invalid time base: %s", etb.c_str()));
    ost.enc_timebase = q;
  }

  ost.max_frames = TCustomFFmpeg::MatchPerStreamInt64(o.max_frames, oc, st, INT64_MAX);
  for (const TSpecifierOpt &so : o.max_frames)
    if (so.specifier.empty() && type != AVMEDIA_TYPE_VIDEO) {
      Log(&E, llWarning,
          "Applying unspecific -frames to non video streams, maybe you meant "
          "-vframes ?");
      break;
    }
  ost.copy_prior_start = TCustomFFmpeg::MatchPerStreamInt(o.copy_prior_start, oc, st, -1);

  std::string bsfs = TCustomFFmpeg::MatchPerStreamStr(o.bitstream_filters, oc, st);
  if (!bsfs.empty()) {
    AVBSFContext *bsf = nullptr;
    int ret = ff::av_bsf_list_parse_str(bsfs.c_str(), &bsf);
    if (ret < 0)
      Fatal(&E, Format("Error parsing bitstream filter sequence \"%s\": %s", bsfs.c_str(),
                       FFErrorText(ret).c_str()));
    ost.bsf_ctx.reset(bsf);
  }

  std::string tag = TCustomFFmpeg::MatchPerStreamStr(o.codec_tags, oc, st);
  if (!tag.empty())
    st->codecpar->codec_tag = ost.enc_ctx->codec_tag = CodecTagFromText(tag);

  double q = TCustomFFmpeg::MatchPerStreamDouble(o.qscale, oc, st, -1);
  if (q >= 0) {
    ost.enc_ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ost.enc_ctx->global_quality = int(FF_QP2LAMBDA * q);
  }
  ost.disposition = TCustomFFmpeg::MatchPerStreamStr(o.disposition, oc, st);
  ost.bits_per_raw_sample = TCustomFFmpeg::MatchPerStreamInt(o.bits_per_raw_sample, oc, st, 0);
  ost.enc_ctx->bits_per_raw_sample = ost.bits_per_raw_sample;
  if (oc->oformat->flags & AVFMT_GLOBALHEADER)
    ost.enc_ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  ost.max_muxing_queue_size =
      std::min(TCustomFFmpeg::MatchPerStreamInt(o.max_muxing_queue_size, oc, st, 128),
               int(INT_MAX / sizeof(AVPacket *)));
  ost.muxing_queue_data_threshold =
      size_t(std::max(0, TCustomFFmpeg::MatchPerStreamInt(o.muxing_queue_data_threshold, oc, st,
                                                          50 * 1024 * 1024)));
  ost.copy_initial_nonkeyframes =
      TCustomFFmpeg::MatchPerStreamInt(o.copy_initial_nonkeyframes, oc, st, 0);
}

void TOutputStreamFactory::ReadFilters(TOutputStream &ost) {
  ost.filters_script = TCustomFFmpeg::MatchPerStreamStr(o.filter_scripts, oc, ost.st);
  ost.filters = TCustomFFmpeg::MatchPerStreamStr(o.filters, oc, ost.st);
}

// Filters and stream copy exclude each other; an encoded stream gets its graph text (a
// pass-through filter when none was given).
void TOutputStreamFactory::FinishFilters(TOutputStream &ost, AVMediaType type) {
  const char *kind = ff::av_get_media_type_string(type);
  if (ost.stream_copy) {
    if (ost.filters_script.empty() && ost.filters.empty())
      return;
    const bool script = !ost.filters_script.empty();
    Fatal(&E, Format("%s \"%s\" was defined for %s output stream %d:%d but codec copy was "
                     "selected.\r\nFiltering and streamcopy cannot be used together.",
                     script ? "Filtergraph script" : "Filtergraph",
                     script ? ost.filters_script.c_str() : ost.filters.c_str(), kind,
                     ost.file_index, ost.index));
  }
  if (!ost.filters_script.empty() && !ost.filters.empty()) // the tool counts files from 1 here
    Fatal(&E, Format("Both -filter and -filter_script set for output stream #%d:%d.",
                     ost.file_index + 1, ost.index));
  if (!ost.filters_script.empty()) {
    const TFileReadResult r = ReadWholeFile(ost.filters_script, ost.avfilter);
    if (!r.ok)
      Fatal(&E, FileReadError(Format("Error reading file %s", ost.filters_script.c_str()), r));
  } else if (!ost.filters.empty())
    ost.avfilter = ost.filters;
  else
    ost.avfilter = type == AVMEDIA_TYPE_VIDEO ? "null" : "anull";
}

void TOutputStreamFactory::ApplyVideoRate(TOutputStream &ost) {
  std::string rate = TCustomFFmpeg::MatchPerStreamStr(o.frame_rates, oc, ost.st);
  if (!rate.empty() && ff::av_parse_video_rate(&ost.frame_rate, rate.c_str()) < 0)
    Fatal(&E, Format("Invalid framerate value: %s", rate.c_str()));
  std::string maxRate = TCustomFFmpeg::MatchPerStreamStr(o.max_frame_rates, oc, ost.st);
  if (!maxRate.empty() && ff::av_parse_video_rate(&ost.max_frame_rate, maxRate.c_str()) < 0)
    Fatal(&E, Format("Invalid maximum framerate value: %s", maxRate.c_str()));
  if (!rate.empty() && !maxRate.empty())
    Fatal(&E, "Only one of -fpsmax and -r can be set for a stream.");
  if ((!rate.empty() || !maxRate.empty()) && E.Fvideo_sync_method == VSYNC_PASSTHROUGH)
    Log(&E, llError, "Using -vsync passthrough and -r/-fpsmax can produce invalid output files");

  std::string aspect = TCustomFFmpeg::MatchPerStreamStr(o.frame_aspect_ratios, oc, ost.st);
  if (!aspect.empty()) {
    AVRational q;
    if (ff::av_parse_ratio(&q, aspect.c_str(), 255, 0, nullptr) < 0 || q.num <= 0 || q.den <= 0)
      Fatal(&E, Format("Invalid aspect ratio: %s", aspect.c_str()));
    ost.frame_aspect_ratio = q;
  }
}

void TOutputStreamFactory::ApplyVideoPicture(TOutputStream &ost) {
  AVCodecContext *enc = ost.enc_ctx.get();
  std::string size = TCustomFFmpeg::MatchPerStreamStr(o.frame_sizes, oc, ost.st);
  if (!size.empty() && ff::av_parse_video_size(&enc->width, &enc->height, size.c_str()) < 0)
    Fatal(&E, Format("Invalid frame size: %s.", size.c_str()));
  std::string pix = TCustomFFmpeg::MatchPerStreamStr(o.frame_pix_fmts, oc, ost.st);
  if (!pix.empty() && pix[0] == '+') {
    ost.keep_pix_fmt = 1;
    pix.erase(0, 1);
  }
  if (!pix.empty() && (enc->pix_fmt = ff::av_get_pix_fmt(pix.c_str())) == AV_PIX_FMT_NONE)
    Fatal(&E, Format("Unknown pixel format requested: %s.", pix.c_str()));
  ost.st->sample_aspect_ratio = enc->sample_aspect_ratio;
}

void TOutputStreamFactory::ApplyMatrices(TOutputStream &ost) {
  struct {
    const TSpecifierOpts &opts;
    uint16_t *AVCodecContext::*field;
  } matrices[] = {{o.intra_matrices, &AVCodecContext::intra_matrix},
                  {o.chroma_intra_matrices, &AVCodecContext::chroma_intra_matrix},
                  {o.inter_matrices, &AVCodecContext::inter_matrix}};
  for (auto &m : matrices) {
    std::string text = TCustomFFmpeg::MatchPerStreamStr(m.opts, oc, ost.st);
    if (text.empty())
      continue;
    auto *dest = static_cast<uint16_t *>(ff::av_mallocz(sizeof(uint16_t) * 64));
    if (!dest)
      Fatal(&E, "Could not allocate memory for matrix.");
    ost.enc_ctx.get()->*m.field = dest; // freed with the context
    const char *p = text.c_str();
    for (int i = 0;; i++) {
      dest[i] = uint16_t(std::atoi(p));
      if (i == 63)
        break;
      p = std::strchr(p, ',');
      if (!p)
        Fatal(&E, Format("Syntax error in matrix \"%s\" at coeff %d", text.c_str(), i));
      p++;
    }
  }
}

void TOutputStreamFactory::ApplyRcOverride(TOutputStream &ost) {
  std::string text = TCustomFFmpeg::MatchPerStreamStr(o.rc_overrides, oc, ost.st);
  if (text.empty())
    return;
  AVCodecContext *enc = ost.enc_ctx.get();
  const char *p = text.c_str();
  int i = 0;
  for (; p; i++) {
    int start, end, q;
    if (std::sscanf(p, "%d,%d,%d", &start, &end, &q) != 3)
      Fatal(&E, "error parsing rc_override");
    void *grown = ff::av_realloc_array(enc->rc_override, i + 1, sizeof(RcOverride));
    if (!grown)
      Fatal(&E, "Could not (re)allocate memory for rc_override.");
    enc->rc_override = static_cast<RcOverride *>(grown);
    RcOverride &r = enc->rc_override[i];
    r.start_frame = start;
    r.end_frame = end;
    r.qscale = q > 0 ? q : 0;
    r.quality_factor = q > 0 ? 1.0f : -q / 100.0f;
    p = std::strchr(p, '/');
    if (p)
      p++;
  }
  enc->rc_override_count = i;
}

void TOutputStreamFactory::ApplyTwoPass(TOutputStream &ost) {
  AVCodecContext *enc = ost.enc_ctx.get();
  const int pass = TCustomFFmpeg::MatchPerStreamInt(o.pass, oc, ost.st, 0);
  if (pass & 1) {
    enc->flags |= AV_CODEC_FLAG_PASS1;
    ff::av_dict_set(ost.encoder_opts.Ref(), "flags", "+pass1", AV_DICT_APPEND);
  }
  if (pass & 2) {
    enc->flags |= AV_CODEC_FLAG_PASS2;
    ff::av_dict_set(ost.encoder_opts.Ref(), "flags", "+pass2", AV_DICT_APPEND);
  }
  ost.logfile_prefix = TCustomFFmpeg::MatchPerStreamStr(o.passlogfiles, oc, ost.st);
  if (!pass)
    return;
  std::string name = Format(
      "%s-%d.log", ost.logfile_prefix.empty() ? DefaultPassLogPrefix : ost.logfile_prefix.c_str(),
      E.Fnb_output_streams() - 1);
  const int same = (pass & 1) ? E.InputNamed("file:" + name) : -1;
  if (same >= 0) // the pass-1 log would be written over it
    Fatal(&E, Format("-passlogfile %s same as Input #%d - exiting", name.c_str(), same));
  if (std::strcmp(ost.enc->name, "libx264") == 0) {
    ff::av_dict_set(ost.encoder_opts.Ref(), "stats", name.c_str(), AV_DICT_DONT_OVERWRITE);
    return;
  }
  if (enc->flags & AV_CODEC_FLAG_PASS2) {
    std::string stats;
    const TFileReadResult r = ReadWholeFile(name, stats, MaxPassLogSize);
    if (!r.ok)
      Fatal(&E, FileReadError(
                    Format("Error reading log file \"%s\" for pass-2 encoding", name.c_str()), r));
    enc->stats_in = static_cast<char *>(ff::av_malloc(stats.size() + 1));
    if (!enc->stats_in)
      Fatal(&E, Format("Error reading log file \"%s\" for pass-2 encoding", name.c_str()));
    std::memcpy(enc->stats_in, stats.c_str(), stats.size() + 1);
  }
  if (enc->flags & AV_CODEC_FLAG_PASS1) {
    ost.logfile.reset(std::fopen(name.c_str(), "wb"));
    if (!ost.logfile)
      Fatal(&E, Format("Cannot write log file \"%s\" for pass-1 encoding", name.c_str()));
  }
}

// -fps_mode, else the engine's method; automatic: by container, then constant rate without
// duplicated first frames where the source allows it.
void TOutputStreamFactory::ApplySyncMethod(TOutputStream &ost) {
  ost.vsync_method = E.Fvideo_sync_method;
  ost.fps_mode = TCustomFFmpeg::MatchPerStreamStr(o.fps_mode, oc, ost.st);
  if (!ost.fps_mode.empty()) {
    ost.vsync_method = VideoSyncMethodByName(ost.fps_mode, true);
    if (ost.vsync_method == VSYNC_UNKNOWN)
      Fatal(&E, Format("Invalid value %s specified for fps_mode of #%d:%d.", ost.fps_mode.c_str(),
                       ost.file_index, ost.index));
  }
  if (ost.vsync_method == VSYNC_AUTO) {
    const int flags = oc->oformat->flags;
    if (std::strcmp(oc->oformat->name, "avi") == 0)
      ost.vsync_method = VSYNC_VFR;
    else if (flags & AVFMT_VARIABLE_FPS)
      ost.vsync_method = (flags & AVFMT_NOTIMESTAMPS) ? VSYNC_PASSTHROUGH : VSYNC_VFR;
    else
      ost.vsync_method = VSYNC_CFR;
    if (ost.vsync_method == VSYNC_CFR && ost.source_index >= 0) {
      const TInputFile &f = *E.Finput_files[E.Finput_streams[ost.source_index]->file_index];
      if (f.nb_streams == 1 && f.input_ts_offset == 0)
        ost.vsync_method = VSYNC_VSCFR;
    }
    if (ost.vsync_method == VSYNC_CFR && E.Fcopy_ts)
      ost.vsync_method = VSYNC_VSCFR;
  }
  ost.is_cfr = ost.vsync_method == VSYNC_CFR || ost.vsync_method == VSYNC_VSCFR;
}

TOutputStream *TOutputStreamFactory::NewVideoStream(int source) {
  TOutputStream &ost = *NewOutputStream(AVMEDIA_TYPE_VIDEO, source);
  ApplyVideoRate(ost);
  ReadFilters(ost);
  ost.autoscale = TCustomFFmpeg::MatchPerStreamInt(o.autoscale, oc, ost.st, 1);
  if (!ost.stream_copy) {
    ApplyVideoPicture(ost);
    ApplyMatrices(ost);
    ApplyRcOverride(ost);
    if (E.Fdo_psnr)
      ost.enc_ctx->flags |= AV_CODEC_FLAG_PSNR;
    ApplyTwoPass(ost);
    ost.forced_keyframes = TCustomFFmpeg::MatchPerStreamStr(o.forced_key_frames, oc, ost.st);
    ost.force_fps = TCustomFFmpeg::MatchPerStreamInt(o.force_fps, oc, ost.st, 0);
    ost.top_field_first = TCustomFFmpeg::MatchPerStreamInt(o.top_field_first, oc, ost.st, -1);
    ApplySyncMethod(ost);
  }
  FinishFilters(ost, AVMEDIA_TYPE_VIDEO);
  return &ost;
}

void TOutputStreamFactory::ApplyAudioFormat(TOutputStream &ost) {
  AVCodecContext *enc = ost.enc_ctx.get();
  const int channels = TCustomFFmpeg::MatchPerStreamInt(o.audio_channels, oc, ost.st, 0);
  if (channels) {
    ff::av_channel_layout_uninit(&enc->ch_layout);
    enc->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
    enc->ch_layout.nb_channels = channels;
  }
  std::string layout = TCustomFFmpeg::MatchPerStreamStr(o.audio_ch_layouts, oc, ost.st);
  if (!layout.empty() && ff::av_channel_layout_from_string(&enc->ch_layout, layout.c_str()) < 0) {
    uint64_t mask = ff::av_get_channel_layout(layout.c_str());
    if (!mask)
      Fatal(&E, Format("Unknown channel layout: %s", layout.c_str()));
    Log(&E, llWarning, "Channel layout \"%s\" uses a deprecated syntax.", layout.c_str());
    ff::av_channel_layout_uninit(&enc->ch_layout);
    ff::av_channel_layout_from_mask(&enc->ch_layout, mask);
  }
  std::string fmt = TCustomFFmpeg::MatchPerStreamStr(o.sample_fmts, oc, ost.st);
  if (!fmt.empty() && (enc->sample_fmt = ff::av_get_sample_fmt(fmt.c_str())) == AV_SAMPLE_FMT_NONE)
    Fatal(&E, Format("Invalid sample format '%s'", fmt.c_str()));
  enc->sample_rate = TCustomFFmpeg::MatchPerStreamInt(o.audio_sample_rate, oc, ost.st, 0);
  ost.apad = TCustomFFmpeg::MatchPerStreamStr(o.apad, oc, ost.st);
}

void TOutputStreamFactory::ApplyChannelMaps(TOutputStream &ost) {
  for (const TAudioChannelMap &map : o.audio_channel_maps) {
    if ((map.ofile_idx != -1 && map.ofile_idx != ost.file_index) ||
        (map.ostream_idx != -1 && map.ostream_idx != ost.st->index))
      continue;
    const TInputStream *ist = nullptr;
    if (map.channel_idx != -1) {
      if (ost.source_index < 0)
        Fatal(&E, Format("Cannot determine input stream for channel mapping %d.%d", ost.file_index,
                         ost.st->index));
      ist = E.Finput_streams[ost.source_index].get();
    }
    if (!ist || (ist->file_index == map.file_idx && ist->st->index == map.stream_idx)) {
      ost.audio_channels_map.push_back(map.channel_idx);
      ost.audio_channels_mapped++;
    }
  }
}

TOutputStream *TOutputStreamFactory::NewAudioStream(int source) {
  TOutputStream &ost = *NewOutputStream(AVMEDIA_TYPE_AUDIO, source);
  ReadFilters(ost);
  if (!ost.stream_copy) {
    ApplyAudioFormat(ost);
    ApplyChannelMaps(ost);
  }
  FinishFilters(ost, AVMEDIA_TYPE_AUDIO);
  return &ost;
}

TOutputStream *TOutputStreamFactory::NewSubtitleStream(int source) {
  TOutputStream &ost = *NewOutputStream(AVMEDIA_TYPE_SUBTITLE, source);
  if (!ost.stream_copy) {
    std::string size = TCustomFFmpeg::MatchPerStreamStr(o.frame_sizes, oc, ost.st);
    if (!size.empty() &&
        ff::av_parse_video_size(&ost.enc_ctx->width, &ost.enc_ctx->height, size.c_str()) < 0)
      Fatal(&E, Format("Invalid frame size: %s.", size.c_str()));
  }
  return &ost;
}

TOutputStream *TOutputStreamFactory::NewDataStream(int source) {
  return NewOutputStream(AVMEDIA_TYPE_DATA, source);
}

// An attachment is written with the header: the loop never waits for packets of it.
TOutputStream *TOutputStreamFactory::NewAttachmentStream(int source) {
  TOutputStream &ost = *NewOutputStream(AVMEDIA_TYPE_ATTACHMENT, source);
  ost.stream_copy = 1;
  ost.encoding_needed = 0;
  ost.finished = ENCODER_FINISHED | MUXER_FINISHED;
  return &ost;
}
