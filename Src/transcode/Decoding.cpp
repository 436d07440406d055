#include "transcode/Decoding.h"

#include <cinttypes>

#include "components/TFFLogger.h"
#include "transcode/FilterGraphs.h"
#include "transcode/HWDecoding.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/TTaskHooks.h"
#include "transcode/TimestampText.h"
#include "transcode/TranscodeLoop.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

namespace {

constexpr AVRational TimeBaseQ{1, AV_TIME_BASE};

} // namespace

TDecoding::TDecoding(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop) : E(AEngine), L(ALoop) {}

const char *TDecoding::media_name(const TInputStream &ist) const {
  return ff::av_get_media_type_string(ist.dec_ctx->codec_type);
}

int TDecoding::open_decoder(TInputStream &ist) {
  AVCodecContext *dec = ist.dec_ctx.get();
  if (!ist.avdec) {
    Log(&E, llError, "Decoder (codec %s) not found for input stream #%d:%d",
        ff::avcodec_get_name(dec->codec_id), ist.file_index, ist.st->index);
    return AVERROR(EINVAL);
  }
  dec->opaque = &ist;
  dec->get_format = get_format;
#if FF_API_THREAD_SAFE_CALLBACKS
  // Our callbacks are thread-safe: without this, frame threads hand every get_format call to
  // this thread and wait for it, which stalls the decoder (and the whole pipeline).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  dec->thread_safe_callbacks = 1;
#pragma GCC diagnostic pop
#endif
  if (dec->codec_id == AV_CODEC_ID_DVB_SUBTITLE && (ist.decoding_needed & DECODING_FOR_OST)) {
    ff::av_dict_set(ist.decoder_opts.Ref(), "compute_edt", "1", AV_DICT_DONT_OVERWRITE);
    if (ist.decoding_needed & DECODING_FOR_FILTER)
      Log(&E, llWarning,
          "Warning using DVB subtitles for filtering and output at the same time is not fully "
          "supported, also see -compute_edt [0|1]");
  }
  dec->pkt_timebase = ist.st->time_base; // subtitle timing and skipped samples need it
  if (!ff::av_dict_get(ist.decoder_opts.Get(), "threads", nullptr, 0))
    ff::av_dict_set(ist.decoder_opts.Ref(), "threads", "auto", 0);
  if (ist.st->disposition & AV_DISPOSITION_ATTACHED_PIC) // sparse: decode at once
    ff::av_dict_set(ist.decoder_opts.Ref(), "threads", "1", 0);
  int ret = hw_device_setup_for_decode(ist, E.FHWDevices);
  if (ret < 0) {
    Log(&E, llError, "Device setup failed for decoder on input stream #%d:%d : %s", ist.file_index,
        ist.st->index, FFErrorText(ret).c_str());
    return ret;
  }
  ret = ff::avcodec_open2(dec, ist.avdec, ist.decoder_opts.Ref());
  if (ret < 0) {
    Log(&E, llError, "Error while opening decoder for input stream #%d:%d : %s", ist.file_index,
        ist.st->index, FFErrorText(ret).c_str());
    return ret;
  }
  const AVDictionaryEntry *left =
      ff::av_dict_get(ist.decoder_opts.Get(), "", nullptr, AV_DICT_IGNORE_SUFFIX);
  if (left)
    L.Fatal(Format("Option %s not found.", left->key));
  return 0;
}

int TDecoding::decode(AVCodecContext *avctx, AVFrame *frame, bool &got, const AVPacket *pkt) {
  got = false;
  if (pkt) {
    const int ret = ff::avcodec_send_packet(avctx, pkt);
    // Every frame is received before the next packet is sent, so EAGAIN cannot happen here.
    if (ret < 0 && ret != AVERROR_EOF)
      return ret;
  }
  const int ret = ff::avcodec_receive_frame(avctx, frame);
  if (ret < 0 && ret != AVERROR(EAGAIN))
    return ret;
  got = ret >= 0;
  return 0;
}

void TDecoding::check_decode_result(TInputStream *ist, bool got, int ret) {
  if (got || ret < 0)
    L.Fdecode_error_stat[ret < 0]++;
  if (ret < 0 && E.Fexit_on_error)
    L.Fatal(Format("decode %s error", ist ? media_name(*ist) : "subtitle"));
  if (!got || !ist)
    return;
  const AVFrame *frame = ist->decoded_frame.get();
  if (frame->decode_error_flags || (frame->flags & AV_FRAME_FLAG_CORRUPT)) {
    const std::string text = Format("%s: corrupt decoded frame in stream %d",
                                    E.Finput_files[ist->file_index]->ctx->url, ist->st->index);
    if (E.Fexit_on_error)
      L.Fatal(text);
    Log(&E, llWarning, "%s", text.c_str());
  }
}

int TDecoding::send_frame_to_filters(TInputStream &ist, AVFrame *frame) {
  int ret = 0;
  for (size_t i = 0; i < ist.filters.size(); i++) {
    ret = E.FilterGraphs().ifilter_send_frame(ist.filters[i], frame, i + 1 < ist.filters.size());
    if (ret == AVERROR_EOF)
      ret = 0; // the graph does not want more
    if (ret < 0) {
      Log(&E, llError, "Failed to inject frame into filter network: %s", FFErrorText(ret).c_str());
      break;
    }
  }
  return ret;
}

int TDecoding::decode_audio(TInputStream &ist, const AVPacket *pkt, bool &got, bool &failed) {
  AVFrame *frame = ist.decoded_frame.get();
  AVCodecContext *avctx = ist.dec_ctx.get();
  int ret = decode(avctx, frame, got, pkt);
  if (ret < 0)
    failed = true;
  if (ret >= 0 && avctx->sample_rate <= 0) {
    ff::av_log(avctx, AV_LOG_ERROR, "Sample rate %d invalid\n", avctx->sample_rate);
    ret = AVERROR_INVALIDDATA;
  }
  if (ret != AVERROR_EOF)
    check_decode_result(&ist, got, ret);
  if (!got || ret < 0)
    return ret;
  if (frame->nb_samples <= 0)
    L.Fatal(Format("the decoder \"%s\" return bad result.", avctx->codec->name));

  ist.samples_decoded += uint64_t(frame->nb_samples);
  ist.frames_decoded++;
  // Where the next frame starts when the stream has no timestamps or a packet holds several.
  const int64_t step = int64_t(AV_TIME_BASE) * frame->nb_samples / avctx->sample_rate;
  ist.next_pts += step;
  ist.next_dts += step;

  AVRational frameTb = ist.st->time_base;
  if (frame->pts == AV_NOPTS_VALUE) {
    if (pkt && pkt->pts != AV_NOPTS_VALUE) {
      frame->pts = pkt->pts;
    } else {
      frame->pts = ist.dts;
      frameTb = TimeBaseQ;
    }
  }
  // A gap before this packet: the rounding starts over from its timestamp.
  if (pkt && pkt->duration && ist.prev_pkt_pts != AV_NOPTS_VALUE && pkt->pts != AV_NOPTS_VALUE &&
      pkt->pts - ist.prev_pkt_pts > pkt->duration)
    ist.filter_in_rescale_delta_last = AV_NOPTS_VALUE;
  if (pkt)
    ist.prev_pkt_pts = pkt->pts;
  if (frame->pts != AV_NOPTS_VALUE)
    frame->pts = ff::av_rescale_delta(frameTb, frame->pts, AVRational{1, avctx->sample_rate},
                                      frame->nb_samples, &ist.filter_in_rescale_delta_last,
                                      AVRational{1, avctx->sample_rate});
  ist.nb_samples = frame->nb_samples;
  E.Hooks().InputAudio(frame, ist.pts);
  const int err = send_frame_to_filters(ist, frame);
  ff::av_frame_unref(frame);
  return err < 0 ? err : ret;
}

int TDecoding::decode_video(TInputStream &ist, AVPacket *pkt, bool &got, int64_t &duration_pts,
                            bool eof, bool &failed) {
  // Empty packets before the end would signal the end to the decoder: skip them.
  if (!eof && pkt && pkt->size == 0)
    return 0;
  AVFrame *frame = ist.decoded_frame.get();
  AVCodecContext *dec = ist.dec_ctx.get();
  int64_t dts = AV_NOPTS_VALUE;
  if (ist.dts != AV_NOPTS_VALUE)
    dts = ff::av_rescale_q(ist.dts, TimeBaseQ, ist.st->time_base);
  if (pkt)
    pkt->dts = dts;
  if (eof)
    ist.dts_buffer.push_back(dts); // timestamps for the frames the drain returns
  int ret = decode(dec, frame, got, pkt);
  if (ret < 0)
    failed = true;
  if (ist.st->codecpar->video_delay < dec->has_b_frames) {
    if (dec->codec_id == AV_CODEC_ID_H264)
      ist.st->codecpar->video_delay = dec->has_b_frames;
    else
      Log(&E, llWarning, "video_delay is larger in decoder than demuxer %d > %d.",
          dec->has_b_frames, ist.st->codecpar->video_delay);
  }
  if (ret != AVERROR_EOF)
    check_decode_result(&ist, got, ret);
  if (got && ret >= 0 &&
      (dec->width != frame->width || dec->height != frame->height || dec->pix_fmt != frame->format))
    Log(&E, llDebug, "Frame parameters mismatch context %d,%d,%d != %d,%d,%d", frame->width,
        frame->height, frame->format, dec->width, dec->height, dec->pix_fmt);
  if (!got || ret < 0)
    return ret;

  if (ist.top_field_first >= 0)
    frame->top_field_first = ist.top_field_first;
  ist.frames_decoded++;
  int err = 0;
  if (ist.hwaccel_retrieve_data && frame->format == ist.hwaccel_pix_fmt)
    err = ist.hwaccel_retrieve_data(dec, frame);
  if (err >= 0) {
    ist.hwaccel_retrieved_pix_fmt = AVPixelFormat(frame->format);
    int64_t best = frame->best_effort_timestamp;
    duration_pts = frame->pkt_duration;
    if (ist.framerate.num)
      best = ist.cfr_next_pts++;
    if (eof && best == AV_NOPTS_VALUE && !ist.dts_buffer.empty()) {
      best = ist.dts_buffer.front();
      ist.dts_buffer.erase(ist.dts_buffer.begin());
    }
    if (best != AV_NOPTS_VALUE) {
      frame->pts = best;
      const int64_t ts = ff::av_rescale_q(best, ist.st->time_base, TimeBaseQ);
      if (ts != AV_NOPTS_VALUE)
        ist.next_pts = ist.pts = ts;
    }
    if (E.Fdebug_ts)
      Log(&E, llInfo,
          "decoder -> ist_index:%d type:video frame_pts:%s frame_pts_time:%s "
          "best_effort_ts:%" PRId64
          " best_effort_ts_time:%s keyframe:%d frame_type:%d time_base:%d/%d",
          ist.st->index, TsText(frame->pts).c_str(),
          TsTimeText(frame->pts, ist.st->time_base).c_str(), best,
          TsTimeText(best, ist.st->time_base).c_str(), frame->key_frame, frame->pict_type,
          ist.st->time_base.num, ist.st->time_base.den);
    if (ist.st->sample_aspect_ratio.num)
      frame->sample_aspect_ratio = ist.st->sample_aspect_ratio;
    E.Hooks().InputVideo(frame, int(ist.frames_decoded), ist.pts);
    err = send_frame_to_filters(ist, frame);
  }
  ff::av_frame_unref(frame);
  return err < 0 ? err : ret;
}

// -fix_sub_duration: each subtitle is held back until the next one is known, and ends no later
// than the next one starts. end <= 0: the subtitle is dropped.
void TDecoding::fix_sub_duration(TInputStream &ist, AVSubtitle &subtitle, bool &got, int &ret,
                                 int &end) {
  end = 1;
  TPrevSub &prev = ist.prev_sub;
  if (prev.got_output) {
    end = int(ff::av_rescale(subtitle.pts - prev.subtitle.pts, 1000, AV_TIME_BASE));
    if (end < int(prev.subtitle.end_display_time)) {
      Log(&E, llDebug, "Subtitle duration reduced from %" PRIu32 " to %d%s",
          prev.subtitle.end_display_time, end, end <= 0 ? ", dropping it" : "");
      prev.subtitle.end_display_time = uint32_t(end);
    }
  }
  int gotInt = got;
  std::swap(gotInt, prev.got_output);
  got = gotInt;
  std::swap(ret, prev.ret);
  std::swap(subtitle, prev.subtitle);
}

int TDecoding::transcode_subtitles(TInputStream &ist, const AVPacket *pkt, bool &got,
                                   bool &failed) {
  AVSubtitle subtitle{};
  TSubtitleScope held(subtitle); // whatever the variable holds when the scope ends
  int gotInt = 0;
  int ret = ff::avcodec_decode_subtitle2(ist.dec_ctx.get(), &subtitle, &gotInt,
                                         const_cast<AVPacket *>(pkt));
  got = gotInt;
  check_decode_result(nullptr, got, ret);
  if (ret < 0 || !got) {
    failed = true;
    if (!pkt->size)
      E.FilterGraphs().sub2video_flush(&ist);
    return ret;
  }
  int end = 1;
  if (ist.fix_sub_duration)
    fix_sub_duration(ist, subtitle, got, ret, end);
  if (got && end > 0) {
    if ((ist.sub2video.frame || !ist.filters.empty()) &&
        E.FilterGraphs().sub2video_process(&ist, subtitle))
      held.Release(); // queued by the graph
    if (subtitle.num_rects) {
      ist.frames_decoded++;
      for (auto &ost : E.Foutput_streams)
        if (L.Mux.check_output_constraints(ist, *ost) && ost->encoding_needed &&
            ost->enc->type == AVMEDIA_TYPE_SUBTITLE)
          L.Encode.do_subtitle_out(*E.Foutput_files[ost->file_index], *ost, subtitle);
    }
  }
  return ret;
}

int TDecoding::send_filter_eof(TInputStream &ist) {
  const int64_t pts = ff::av_rescale_q_rnd(ist.pts, TimeBaseQ, ist.st->time_base,
                                           AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
  for (TInputFilter *ifilter : ist.filters) {
    const int ret = E.FilterGraphs().ifilter_send_eof(ifilter, pts);
    if (ret < 0)
      return ret;
  }
  return 0;
}

int64_t TDecoding::video_duration_dts(const TInputStream &ist, const AVPacket *pkt) const {
  const AVCodecContext *dec = ist.dec_ctx.get();
  if (pkt && pkt->duration)
    return ff::av_rescale_q(pkt->duration, ist.st->time_base, TimeBaseQ);
  if (dec->framerate.num == 0 || dec->framerate.den == 0)
    return 0;
  const AVCodecParserContext *parser = ff::av_stream_get_parser(ist.st);
  const int ticks = parser ? parser->repeat_pict + 1 : dec->ticks_per_frame;
  return int64_t(AV_TIME_BASE) * dec->framerate.den * ticks / dec->framerate.num /
         dec->ticks_per_frame;
}

bool TDecoding::DecodePacket(TInputStream &ist, const AVPacket *pkt, bool no_eof) {
  AVPacket *avpkt = ist.pkt.get();
  if (pkt) {
    ff::av_packet_unref(avpkt);
    if (ff::av_packet_ref(avpkt, pkt) < 0)
      L.Fatal("av_packet_ref() failed.");
  }
  bool eofReached = false;
  bool repeating = false;
  while (ist.decoding_needed) {
    int64_t duration_dts = 0, duration_pts = 0;
    bool got = false, failed = false;
    int ret = 0;
    ist.pts = ist.next_pts;
    ist.dts = ist.next_dts;
    switch (ist.dec_ctx->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      ret = decode_audio(ist, repeating ? nullptr : avpkt, got, failed);
      ff::av_packet_unref(avpkt);
      break;
    case AVMEDIA_TYPE_VIDEO:
      ret = decode_video(ist, repeating ? nullptr : avpkt, got, duration_pts, !pkt, failed);
      if (!repeating || !pkt || got) {
        duration_dts = video_duration_dts(ist, pkt);
        if (ist.dts != AV_NOPTS_VALUE && duration_dts)
          ist.next_dts += duration_dts;
        else
          ist.next_dts = AV_NOPTS_VALUE;
      }
      if (got)
        ist.next_pts += duration_pts > 0
                            ? ff::av_rescale_q(duration_pts, ist.st->time_base, TimeBaseQ)
                            : duration_dts;
      ff::av_packet_unref(avpkt);
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      if (repeating)
        break;
      ret = transcode_subtitles(ist, avpkt, got, failed);
      if (!pkt && ret >= 0)
        ret = AVERROR_EOF;
      ff::av_packet_unref(avpkt);
      break;
    default:
      return true;
    }
    if (ret == AVERROR_EOF) {
      eofReached = true;
      break;
    }
    if (ret < 0) {
      // A decoder's error ends the task only with -xerror; what failed after decoding always.
      const std::string text =
          failed ? Format("Error while decoding stream #%d:%d: %s", ist.file_index, ist.st->index,
                          FFErrorText(ret).c_str())
                 : Format("Error while processing the decoded data for stream #%d:%d",
                          ist.file_index, ist.st->index);
      if (!failed || E.Fexit_on_error)
        L.Fatal(text);
      Log(&E, llError, "%s", text.c_str());
      break;
    }
    if (got)
      ist.got_output = 1;
    // While draining, one frame per call: a frame that changes the graph's configuration must
    // not take frames still queued in the decoder with it.
    if (!got || !pkt)
      break;
    repeating = true;
  }
  if (!pkt && ist.decoding_needed && eofReached && !no_eof && send_filter_eof(ist) < 0) {
    Log(&E, llFatal, "Error marking filters as finished");
    L.Fatal("Error marking filters as finished");
  }
  return eofReached;
}

// Runs ost's configured graph one step: frames it has ready are reaped; when it needs input,
// best is the input whose source asked most often.
int TDecoding::transcode_from_filter(TOutputStream &ost, TInputStream *&best) {
  TFilterGraph *graph = ost.filter->graph;
  best = nullptr;
  int ret = ff::avfilter_graph_request_oldest(graph->graph.get());
  if (ret >= 0)
    return L.Encode.reap_filters(false);
  if (ret == AVERROR_EOF) {
    ret = L.Encode.reap_filters(true);
    for (auto &ofilter : graph->outputs)
      L.close_output_stream(*ofilter->ost);
    return ret;
  }
  if (ret != AVERROR(EAGAIN))
    return ret;
  unsigned mostRequests = 0;
  for (auto &ifilter : graph->inputs) {
    TInputStream *ist = ifilter->ist;
    const TInputFile &f = *E.Finput_files[ist->file_index];
    if (f.eagain || f.eof_reached)
      continue;
    const unsigned requests = ff::av_buffersrc_get_nb_failed_requests(ifilter->filter);
    if (requests > mostRequests) {
      mostRequests = requests;
      best = ist;
    }
  }
  if (!best)
    for (auto &ofilter : graph->outputs)
      ofilter->ost->unavailable = 1;
  return 0;
}

int TDecoding::input_for(TOutputStream &ost, TInputStream *&ist) {
  ist = nullptr;
  if (!ost.filter) {
    ist = E.Finput_streams[ost.source_index].get();
    return 0;
  }
  TFilterGraph *graph = ost.filter->graph;
  if (!graph->graph && TFilterGraphs::ifilter_has_all_input_formats(graph)) {
    const int ret = E.FilterGraphs().configure_filtergraph(graph);
    if (ret < 0) {
      Log(&E, llError, "Error reinitializing filters!");
      return ret;
    }
  }
  if (graph->graph) {
    // The audio encoder's frame size must be known before the graph hands out frames.
    if (ff::av_buffersink_get_type(ost.filter->filter) == AVMEDIA_TYPE_AUDIO)
      L.Encode.init_output_stream_wrapper(ost, nullptr);
    return transcode_from_filter(ost, ist);
  }
  for (auto &ifilter : graph->inputs) {
    TInputStream *in = ifilter->ist;
    if (!in->got_output && !E.Finput_files[in->file_index]->eof_reached) {
      ist = in;
      return 0;
    }
  }
  ost.inputs_done = 1;
  return 0;
}
