#include "transcode/Muxing.h"

#include <cinttypes>
#include <cstring>
#include <vector>

#include "components/TFFLogger.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/TimestampText.h"
#include "transcode/TranscodeLoop.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

namespace {

constexpr AVRational TimeBaseQ{1, AV_TIME_BASE};
constexpr size_t MaxSdpSize = 16384;
constexpr const char *CheckLogHint =
    "Please check error log message(reported by FFLogger) to find out more detail information.";

} // namespace

TMuxing::TMuxing(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop) : E(AEngine), L(ALoop) {}

bool TMuxing::check_output_constraints(const TInputStream &ist, const TOutputStream &ost) const {
  const TOutputFile &of = *E.Foutput_files[ost.file_index];
  const int index = E.Finput_files[ist.file_index]->ist_index + ist.st->index;
  if (ost.source_index != index || (ost.finished & ENCODER_FINISHED))
    return false;
  return of.start_time == AV_NOPTS_VALUE || ist.pts >= of.start_time;
}

void TMuxing::do_streamcopy(TInputStream &ist, TOutputStream &ost, const AVPacket *pkt) {
  TOutputFile &of = *E.Foutput_files[ost.file_index];
  TInputFile &f = *E.Finput_files[ist.file_index];
  int64_t startTime = of.start_time == AV_NOPTS_VALUE ? 0 : of.start_time;
  const int64_t ostTbStart = ff::av_rescale_q(startTime, TimeBaseQ, ost.mux_timebase);
  AVPacket *opkt = ost.pkt.get();
  ff::av_packet_unref(opkt);
  if (!pkt) {
    output_packet(of, opkt, ost, true);
    return;
  }
  if (!ost.frame_number && !(pkt->flags & AV_PKT_FLAG_KEY) && !ost.copy_initial_nonkeyframes)
    return;
  if (!ost.frame_number && !ost.copy_prior_start) {
    int64_t compStart = startTime;
    if (E.Fcopy_ts && f.start_time != AV_NOPTS_VALUE)
      compStart = std::max(startTime, f.start_time + f.ts_offset);
    if (pkt->pts == AV_NOPTS_VALUE
            ? ist.pts < compStart
            : pkt->pts < ff::av_rescale_q(compStart, TimeBaseQ, ist.st->time_base))
      return;
  }
  if (of.recording_time != INT64_MAX && ist.pts >= of.recording_time + startTime) {
    L.close_output_stream(ost);
    return;
  }
  if (f.recording_time != INT64_MAX) {
    int64_t inputStart = 0;
    if (E.Fcopy_ts) {
      inputStart += f.start_time != AV_NOPTS_VALUE ? f.start_time : 0;
      inputStart += E.Fstart_at_zero ? 0 : f.ctx->start_time;
    }
    if (ist.pts >= f.recording_time + inputStart) {
      L.close_output_stream(ost);
      return;
    }
  }
  if (ff::av_packet_ref(opkt, pkt) < 0)
    L.Fatal("av_packet_ref() failed.");
  const AVRational itb = ist.st->time_base;
  if (pkt->pts != AV_NOPTS_VALUE)
    opkt->pts = ff::av_rescale_q(pkt->pts, itb, ost.mux_timebase) - ostTbStart;
  if (pkt->dts == AV_NOPTS_VALUE) {
    opkt->dts = ff::av_rescale_q(ist.dts, TimeBaseQ, ost.mux_timebase);
  } else if (ost.st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
    int duration = ff::av_get_audio_frame_duration(ist.dec_ctx.get(), pkt->size);
    if (!duration)
      duration = ist.dec_ctx->frame_size;
    opkt->dts = ff::av_rescale_delta(itb, pkt->dts, AVRational{1, ist.dec_ctx->sample_rate},
                                     duration, &ist.filter_in_rescale_delta_last, ost.mux_timebase);
    opkt->pts = opkt->dts - ostTbStart; // the dts becomes this pts just below
  } else {
    opkt->dts = ff::av_rescale_q(pkt->dts, itb, ost.mux_timebase);
  }
  opkt->dts -= ostTbStart;
  opkt->duration = ff::av_rescale_q(pkt->duration, itb, ost.mux_timebase);
  ost.sync_opts += opkt->duration;
  output_packet(of, opkt, ost, false);
  ost.streamcopy_started = 1;
}

void TMuxing::output_packet(TOutputFile &of, AVPacket *pkt, TOutputStream &ost, bool eof) {
  int ret = 0;
  if (ost.bsf_ctx) {
    ret = ff::av_bsf_send_packet(ost.bsf_ctx.get(), eof ? nullptr : pkt);
    if (ret >= 0) {
      while ((ret = ff::av_bsf_receive_packet(ost.bsf_ctx.get(), pkt)) >= 0)
        of_write_packet(of, pkt, ost, false);
      if (ret == AVERROR(EAGAIN))
        ret = 0;
    }
  } else if (!eof) {
    of_write_packet(of, pkt, ost, false);
  }
  if (ret < 0 && ret != AVERROR_EOF) {
    const std::string text = Format("Error applying bitstream filters to an output packet for "
                                    "stream #%d:%d.",
                                    ost.file_index, ost.index);
    if (E.Fexit_on_error)
      L.Fatal(text);
    Log(&E, llError, "%s", text.c_str());
  }
}

// Holds a packet until the file's header is written. The queue doubles while its bytes stay
// within the threshold; beyond it, only up to max_muxing_queue_size packets.
void TMuxing::queue_packet(TOutputStream &ost, AVPacket *pkt) {
  if (!ff::av_fifo_can_write(ost.muxing_queue.get())) {
    const size_t cur = ff::av_fifo_can_read(ost.muxing_queue.get());
    const bool overSize =
        ost.muxing_queue_data_size + size_t(pkt->size) > ost.muxing_queue_data_threshold;
    const size_t limit = overSize ? size_t(ost.max_muxing_queue_size) : SIZE_MAX;
    const size_t newSize = std::min(2 * cur, limit);
    if (newSize <= cur)
      L.Fatal(
          Format("Too many packets buffered for output stream %d:%d.", ost.file_index, ost.index));
    if (ff::av_fifo_grow2(ost.muxing_queue.get(), newSize - cur) < 0)
      L.Fatal("Failed to malloc muxing queue.");
  }
  if (ff::av_packet_make_refcounted(pkt) < 0)
    L.Fatal("av_packet_make_refcounted() failed.");
  AVPacket *held = ff::av_packet_alloc();
  if (!held)
    L.Fatal("av_packet_alloc() failed.");
  ff::av_packet_move_ref(held, pkt);
  ost.muxing_queue_data_size += size_t(held->size);
  ff::av_fifo_write(ost.muxing_queue.get(), &held, 1);
}

void TMuxing::fix_timestamps(TOutputFile &of, TOutputStream &ost, AVPacket *pkt) {
  AVFormatContext *s = of.ctx.get();
  AVStream *st = ost.st;
  const AVMediaType type = st->codecpar->codec_type;
  if ((type == AVMEDIA_TYPE_VIDEO && ost.vsync_method == VSYNC_DROP) ||
      (type == AVMEDIA_TYPE_AUDIO && E.Faudio_sync_method < 0))
    pkt->pts = pkt->dts = AV_NOPTS_VALUE;
  if (type == AVMEDIA_TYPE_VIDEO && ost.frame_rate.num && ost.is_cfr) {
    if (pkt->duration > 0)
      Log(&E, llWarning, "Overriding packet duration by frame rate, this should not happen");
    pkt->duration = ff::av_rescale_q(1, av_inv_q(ost.frame_rate), ost.mux_timebase);
  }
  ff::av_packet_rescale_ts(pkt, ost.mux_timebase, st->time_base);
  if (s->oformat->flags & AVFMT_NOTIMESTAMPS)
    return;
  if (pkt->dts != AV_NOPTS_VALUE && pkt->pts != AV_NOPTS_VALUE && pkt->dts > pkt->pts) {
    Log(&E, llWarning,
        "Invalid DTS: %" PRId64 " PTS: %" PRId64 " in output stream %d:%d, replacing by guess",
        pkt->dts, pkt->pts, ost.file_index, st->index);
    const int64_t a = pkt->pts, b = pkt->dts, c = ost.last_mux_dts + 1;
    pkt->pts = pkt->dts = a + b + c - std::min({a, b, c}) - std::max({a, b, c});
  }
  if ((type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_SUBTITLE) &&
      pkt->dts != AV_NOPTS_VALUE && ost.last_mux_dts != AV_NOPTS_VALUE) {
    const int64_t max = ost.last_mux_dts + !(s->oformat->flags & AVFMT_TS_NONSTRICT);
    if (pkt->dts < max) {
      TLogLevel level = max - pkt->dts > 2 || type == AVMEDIA_TYPE_VIDEO ? llWarning : llDebug;
      if (E.Fexit_on_error) {
        Log(&E, llError,
            "Non-monotonous DTS in output stream %d:%d; previous: %" PRId64 ", current: %" PRId64
            "; aborting.",
            ost.file_index, st->index, ost.last_mux_dts, pkt->dts);
        L.Fatal(Format("Non-monotonous DTS in output stream %d:%d; previous: %" PRId64
                       ", current: %" PRId64,
                       ost.file_index, st->index, ost.last_mux_dts, pkt->dts));
      }
      Log(&E, level,
          "Non-monotonous DTS in output stream %d:%d; previous: %" PRId64 ", current: %" PRId64
          "; changing to %" PRId64 ". This may result in incorrect timestamps in the output file.",
          ost.file_index, st->index, ost.last_mux_dts, pkt->dts, max);
      if (pkt->pts >= pkt->dts)
        pkt->pts = std::max(pkt->pts, max);
      pkt->dts = max;
    }
  }
}

void TMuxing::of_write_packet(TOutputFile &of, AVPacket *pkt, TOutputStream &ost, bool unqueue) {
  AVStream *st = ost.st;
  // Encoded video is counted where it is encoded (reordering); the rest here, once.
  if (!(st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && ost.encoding_needed) && !unqueue) {
    if (ost.frame_number >= ost.max_frames) {
      ff::av_packet_unref(pkt);
      return;
    }
    ost.frame_number++;
  }
  if (!of.header_written) {
    queue_packet(ost, pkt);
    return;
  }
  fix_timestamps(of, ost, pkt);
  ost.last_mux_dts = pkt->dts;
  ost.data_size += uint64_t(pkt->size);
  ost.packets_written++;
  pkt->stream_index = ost.index;
  if (E.Fdebug_ts) {
    const AVRational tb = st->time_base;
    Log(&E, llInfo,
        "muxer <- type:%s pkt_pts:%s pkt_pts_time:%s pkt_dts:%s pkt_dts_time:%s duration:%s "
        "duration_time:%s size:%d",
        ff::av_get_media_type_string(st->codecpar->codec_type), TsText(pkt->pts).c_str(),
        TsTimeText(pkt->pts, tb).c_str(), TsText(pkt->dts).c_str(),
        TsTimeText(pkt->dts, tb).c_str(), TsText(pkt->duration).c_str(),
        TsTimeText(pkt->duration, tb).c_str(), pkt->size);
  }
  E.FLastWrite = ff::av_gettime_relative();
  const int ret = ff::av_interleaved_write_frame(of.ctx.get(), pkt);
  if (ret < 0) {
    const std::string text = FFErrorText("av_interleaved_write_frame()", ret);
    Log(&E, llError, "%s. %s", text.c_str(), CheckLogHint);
    if (PacketWriteError.empty())
      PacketWriteError = text;
    close_all_output_streams(ost);
  }
}

// A failed write: this stream is done for muxing too, every other one for encoding, so the
// loop winds down to its flush and trailers.
void TMuxing::close_all_output_streams(TOutputStream &failed) {
  for (auto &ost : E.Foutput_streams)
    ost->finished |= ost.get() == &failed ? (MUXER_FINISHED | ENCODER_FINISHED) : ENCODER_FINISHED;
}

int TMuxing::of_check_init(TOutputFile &of) {
  for (int i = 0; i < int(of.ctx->nb_streams); i++)
    if (!E.Foutput_streams[of.ost_index + i]->initialized)
      return 0;
  E.FLastWrite = ff::av_gettime_relative();
  int ret = ff::avformat_write_header(of.ctx.get(), of.opts.Ref());
  if (ret < 0) {
    Log(&E, llError,
        "Could not write header for output file #%d (incorrect codec parameters ?): %s", of.index,
        FFErrorText(ret).c_str());
    return ret;
  }
  of.header_written = 1;
  ff::av_dump_format(of.ctx.get(), of.index, of.ctx->url, 1);
  L.Fnb_output_dumped++;
  if (!E.Fsdp_filename.empty() || L.Fwant_sdp) {
    ret = print_sdp();
    if (ret < 0) {
      Log(&E, llError, "Error writing the SDP.");
      return ret;
    }
  }
  for (int i = 0; i < int(of.ctx->nb_streams); i++) {
    TOutputStream &ost = *E.Foutput_streams[of.ost_index + i];
    AVPacket *queued = nullptr;
    while (ff::av_fifo_read(ost.muxing_queue.get(), &queued, 1) >= 0) {
      TPacketPtr pkt(queued);
      ost.muxing_queue_data_size -= size_t(pkt->size);
      of_write_packet(of, pkt.get(), ost, true);
    }
  }
  return 0;
}

int TMuxing::print_sdp() {
  std::vector<AVFormatContext *> rtp;
  for (auto &of : E.Foutput_files) {
    if (!of->header_written)
      return 0;
    if (std::strcmp(of->ctx->oformat->name, "rtp") == 0)
      rtp.push_back(of->ctx.get());
  }
  if (rtp.empty()) {
    Log(&E, llError, "No output streams in the SDP.");
    return AVERROR(EINVAL);
  }
  std::vector<char> sdp(MaxSdpSize);
  int ret = ff::av_sdp_create(rtp.data(), int(rtp.size()), sdp.data(), int(sdp.size()));
  if (ret < 0)
    return ret;
  const std::string text(sdp.data());
  if (E.Fsdp_filename.empty()) {
    const size_t end = text.find_last_not_of(" \t\r\n");
    Log(&E, llInfo, "SDP:\r\n%s", text.substr(0, end == std::string::npos ? 0 : end + 1).c_str());
    return 0;
  }
  AVIOContext *pb = nullptr;
  E.FLastWrite = ff::av_gettime_relative();
  ret = ff::avio_open2(&pb, E.Fsdp_filename.c_str(), AVIO_FLAG_WRITE, &E.FWriteCallback, nullptr);
  if (ret < 0) {
    Log(&E, llError, "Failed to open sdp file \"%s\"", E.Fsdp_filename.c_str());
    return ret;
  }
  ff::avio_write(pb, reinterpret_cast<const unsigned char *>(text.data()), int(text.size()));
  return ff::avio_closep(&pb);
}

int TMuxing::of_write_trailer(TOutputFile &of) {
  if (!of.header_written) {
    Log(&E, llError,
        "Nothing was written into output file %d (%s), because at least one of its streams "
        "received no packets.",
        of.index, of.ctx->url);
    return AVERROR(EINVAL);
  }
  E.FLastWrite = ff::av_gettime_relative();
  const int ret = ff::av_write_trailer(of.ctx.get());
  if (ret < 0) {
    const std::string text =
        Format("Error writing trailer of %s: %s", of.ctx->url, FFErrorText(ret).c_str());
    Log(&E, llError, "%s", text.c_str());
    if (TrailerWriteError.empty())
      TrailerWriteError = text;
  }
  return ret;
}

int TMuxing::init_output_bsfs(TOutputStream &ost) {
  AVBSFContext *ctx = ost.bsf_ctx.get();
  if (!ctx)
    return 0;
  int ret = ff::avcodec_parameters_copy(ctx->par_in, ost.st->codecpar);
  if (ret < 0)
    return ret;
  ctx->time_base_in = ost.st->time_base;
  ret = ff::av_bsf_init(ctx);
  if (ret < 0) {
    Log(&E, llError, "Error initializing bitstream filter: %s", ctx->filter->name);
    return ret;
  }
  ret = ff::avcodec_parameters_copy(ost.st->codecpar, ctx->par_out);
  if (ret < 0)
    return ret;
  ost.st->time_base = ctx->time_base_out;
  return 0;
}
