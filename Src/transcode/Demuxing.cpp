#include "transcode/Demuxing.h"

#include <cinttypes>
#include <cmath>

#include "components/TFFLogger.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/TaskControl.h"
#include "transcode/TimestampText.h"
#include "transcode/TranscodeLoop.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

namespace {

constexpr AVRational TimeBaseQ{1, AV_TIME_BASE};

bool IsAudioOrVideo(const TInputStream &ist) {
  return ist.dec_ctx->codec_type == AVMEDIA_TYPE_VIDEO ||
         ist.dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO;
}

// Keeps the larger of two durations given in their own time bases; returns the base of the
// one kept.
AVRational DurationMax(int64_t tmp, int64_t &duration, AVRational tmpTimeBase,
                       AVRational timeBase) {
  if (!duration || ff::av_compare_ts(duration, timeBase, tmp, tmpTimeBase) < 0) {
    duration = tmp;
    return tmpTimeBase;
  }
  return timeBase;
}

} // namespace

TDemuxing::TDemuxing(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop) : E(AEngine), L(ALoop) {}

// Native-rate pacing: true while a stream of the file is ahead of the wall clock (time spent
// paused does not count as elapsed).
bool TDemuxing::PacedAhead(TInputFile &f) {
  AVFormatContext *ic = f.ctx.get();
  int64_t fileStart = 0;
  if (E.Fcopy_ts)
    fileStart = (ic->start_time != AV_NOPTS_VALUE && !E.Fstart_at_zero ? ic->start_time : 0) +
                (f.start_time != AV_NOPTS_VALUE ? f.start_time : 0);
  const double scale = f.rate_emu ? 1.0 : double(f.readrate);
  const int64_t now = ff::av_gettime_relative();
  for (int i = 0; i < f.nb_streams; i++) {
    const TInputStream &ist = *E.Finput_streams[f.ist_index + i];
    if (!ist.nb_packets || (ist.decoding_needed && !ist.got_output))
      continue;
    const int64_t offset = std::max(ist.first_dts != AV_NOPTS_VALUE ? ist.first_dts : 0, fileStart);
    const int64_t allowance =
        std::llrint(scale * double(now - ist.start)) + offset - L.Task.TotalPauseTime();
    if (ist.dts > allowance)
      return true;
  }
  return false;
}

int TDemuxing::get_input_packet(TInputFile &f, AVPacket *pkt) {
  if ((f.readrate > 0 || f.rate_emu) && PacedAhead(f))
    return AVERROR(EAGAIN);
  E.FLastRead = ff::av_gettime_relative();
  return ff::av_read_frame(f.ctx.get(), pkt);
}

// -stream_loop: back to the start; the file's duration grows by one pass of its longest stream.
int TDemuxing::seek_to_start(TInputFile &f) {
  AVFormatContext *ic = f.ctx.get();
  E.FLastRead = ff::av_gettime_relative();
  int ret = ff::avformat_seek_file(ic, -1, INT64_MIN, ic->start_time, ic->start_time, 0);
  if (ret < 0)
    return ret;
  bool hasAudio = false;
  for (int i = 0; i < f.nb_streams; i++) {
    const TInputStream &ist = *E.Finput_streams[f.ist_index + i];
    if (ist.dec_ctx->codec_type == AVMEDIA_TYPE_AUDIO && ist.nb_samples)
      hasAudio = true;
  }
  for (int i = 0; i < f.nb_streams; i++) {
    const TInputStream &ist = *E.Finput_streams[f.ist_index + i];
    const AVRational tb = ist.st->time_base;
    int64_t duration;
    if (hasAudio) {
      if (ist.dec_ctx->codec_type != AVMEDIA_TYPE_AUDIO || !ist.nb_samples)
        continue;
      duration = ff::av_rescale_q(ist.nb_samples, AVRational{1, ist.dec_ctx->sample_rate}, tb);
    } else if (ist.framerate.num) {
      duration = ff::av_rescale_q(1, av_inv_q(ist.framerate), tb);
    } else if (ist.st->avg_frame_rate.num) {
      duration = ff::av_rescale_q(1, av_inv_q(ist.st->avg_frame_rate), tb);
    } else {
      duration = 1;
    }
    if (!f.duration)
      f.time_base = tb;
    if (ist.max_pts > ist.min_pts &&
        uint64_t(ist.max_pts) - uint64_t(ist.min_pts) < uint64_t(INT64_MAX - duration))
      duration += ist.max_pts - ist.min_pts;
    f.time_base = DurationMax(duration, f.duration, tb, f.time_base);
  }
  if (f.loop > 0)
    f.loop--;
  return ret;
}

// The file has no more packets: drain its decoders and finish the streams that do not go
// through filters.
void TDemuxing::end_of_input(TInputFile &f) {
  for (int i = 0; i < f.nb_streams; i++) {
    const int index = f.ist_index + i;
    TInputStream &ist = *E.Finput_streams[index];
    if (ist.decoding_needed && process_input_packet(ist, nullptr, false))
      return; // more frames to come: the file ends on a later call
    for (auto &ost : E.Foutput_streams)
      if (ost->source_index == index &&
          (ost->stream_copy || (ost->enc && ost->enc->type == AVMEDIA_TYPE_SUBTITLE))) {
        if (ost->stream_copy)
          L.Mux.do_streamcopy(ist, *ost, nullptr); // drains the bitstream filters
        L.finish_output_stream(*ost);
      }
  }
  f.eof_reached = 1;
}

void TDemuxing::report_corrupt_packet(TInputFile &f, const TInputStream &ist) {
  const std::string text =
      Format("%s: corrupt input packet in stream %d", f.ctx->url, ist.st->index);
  if (E.Fexit_on_error)
    L.Fatal(text);
  Log(&E, llError, "%s", text.c_str());
}

void TDemuxing::debug_ts(const char *prefix, TInputFile &f, TInputStream &ist,
                         const AVPacket *pkt) {
  if (!E.Fdebug_ts)
    return;
  const AVRational tb = ist.st->time_base;
  Log(&E, llInfo,
      "%s -> ist_index:%d type:%s pkt_pts:%s pkt_pts_time:%s pkt_dts:%s pkt_dts_time:%s "
      "duration:%s duration_time:%s off:%s off_time:%s",
      prefix, f.ist_index + pkt->stream_index,
      ff::av_get_media_type_string(ist.dec_ctx->codec_type), TsText(pkt->pts).c_str(),
      TsTimeText(pkt->pts, tb).c_str(), TsText(pkt->dts).c_str(), TsTimeText(pkt->dts, tb).c_str(),
      TsText(pkt->duration).c_str(), TsTimeText(pkt->duration, tb).c_str(),
      TsText(f.ts_offset).c_str(), TsTimeText(f.ts_offset, TimeBaseQ).c_str());
}

// Input offset, scale, wrap correction and the file's loop duration.
void TDemuxing::apply_timestamp_offsets(TInputFile &f, TInputStream &ist, AVPacket *pkt) {
  AVFormatContext *ic = f.ctx.get();
  const AVRational tb = ist.st->time_base;
  if (!ist.wrap_correction_done && ic->start_time != AV_NOPTS_VALUE && ist.st->pts_wrap_bits < 64) {
    if (ist.next_dts == AV_NOPTS_VALUE && f.ts_offset == -ic->start_time &&
        (ic->iformat->flags & AVFMT_TS_DISCONT)) {
      int64_t newStart = INT64_MAX;
      for (unsigned i = 0; i < ic->nb_streams; i++) {
        const AVStream *st = ic->streams[i];
        if (st->discard == AVDISCARD_ALL || st->start_time == AV_NOPTS_VALUE)
          continue;
        newStart = std::min(newStart, ff::av_rescale_q(st->start_time, st->time_base, TimeBaseQ));
      }
      if (newStart > ic->start_time) {
        Log(&E, llVerbose, "Correcting start time by %" PRId64, newStart - ic->start_time);
        f.ts_offset = -newStart;
      }
    }
    const int64_t stime = ff::av_rescale_q(ic->start_time, TimeBaseQ, tb);
    const int64_t stime2 = int64_t(uint64_t(stime) + (1ULL << ist.st->pts_wrap_bits));
    const int64_t half = 1LL << (ist.st->pts_wrap_bits - 1);
    ist.wrap_correction_done = 1;
    for (int64_t *ts : {&pkt->dts, &pkt->pts})
      if (stime2 > stime && *ts != AV_NOPTS_VALUE && *ts > stime + half) {
        *ts = int64_t(uint64_t(*ts) - (1ULL << ist.st->pts_wrap_bits));
        ist.wrap_correction_done = 0;
      }
  }
  const int64_t offset = ff::av_rescale_q(f.ts_offset, TimeBaseQ, tb);
  for (int64_t *ts : {&pkt->dts, &pkt->pts})
    if (*ts != AV_NOPTS_VALUE)
      *ts = int64_t(double(*ts + offset) * ist.ts_scale);
}

void TDemuxing::fix_discontinuity(TInputFile &f, TInputStream &ist, AVPacket *pkt) {
  AVFormatContext *ic = f.ctx.get();
  const AVRational tb = ist.st->time_base;
  const bool tsDiscont = ic->iformat->flags & AVFMT_TS_DISCONT;
  const int64_t deltaLimit = int64_t(E.Fdts_delta_threshold * AV_TIME_BASE);
  const int64_t errorLimit = int64_t(E.Fdts_error_threshold * AV_TIME_BASE);
  auto shift = [&](int64_t delta) {
    pkt->dts -= ff::av_rescale_q(delta, TimeBaseQ, tb);
    if (pkt->pts != AV_NOPTS_VALUE)
      pkt->pts -= ff::av_rescale_q(delta, TimeBaseQ, tb);
  };
  auto toMicro = [&](int64_t ts) {
    return ff::av_rescale_q_rnd(ts, tb, TimeBaseQ,
                                AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
  };

  int64_t pktDts = toMicro(pkt->dts);
  if (IsAudioOrVideo(ist) && pktDts != AV_NOPTS_VALUE && ist.next_dts == AV_NOPTS_VALUE &&
      !E.Fcopy_ts && tsDiscont && f.last_ts != AV_NOPTS_VALUE) {
    const int64_t delta = pktDts - f.last_ts;
    if (delta < -deltaLimit || delta > deltaLimit) {
      f.ts_offset -= delta;
      Log(&E, llDebug, "Inter stream timestamp discontinuity %" PRId64 ", new offset= %" PRId64,
          delta, f.ts_offset);
      shift(delta);
    }
  }

  const int64_t loopDuration = ff::av_rescale_q(f.duration, f.time_base, tb);
  if (pkt->pts != AV_NOPTS_VALUE) {
    pkt->pts += loopDuration;
    ist.max_pts = std::max(pkt->pts, ist.max_pts);
    ist.min_pts = std::min(pkt->pts, ist.min_pts);
  }
  if (pkt->dts != AV_NOPTS_VALUE)
    pkt->dts += loopDuration;

  pktDts = toMicro(pkt->dts);
  bool noCorrection = E.Fcopy_ts;
  if (E.Fcopy_ts && pktDts != AV_NOPTS_VALUE && ist.next_dts != AV_NOPTS_VALUE && tsDiscont &&
      ist.st->pts_wrap_bits < 60) {
    const int64_t wrapDts = toMicro(pkt->dts + (1LL << ist.st->pts_wrap_bits));
    if (std::llabs(wrapDts - ist.next_dts) < std::llabs(pktDts - ist.next_dts) / 10)
      noCorrection = false;
  }
  if (!IsAudioOrVideo(ist) || pktDts == AV_NOPTS_VALUE || ist.next_dts == AV_NOPTS_VALUE ||
      noCorrection)
    return;
  int64_t delta = pktDts - ist.next_dts;
  if (tsDiscont) {
    if (delta < -deltaLimit || delta > deltaLimit ||
        pktDts + AV_TIME_BASE / 10 < std::max(ist.pts, ist.dts)) {
      f.ts_offset -= delta;
      Log(&E, llDebug,
          "timestamp discontinuity for stream #%d:%d (id=%d, type=%s): %" PRId64
          ", new offset= %" PRId64,
          ist.file_index, ist.st->index, ist.st->id,
          ff::av_get_media_type_string(ist.dec_ctx->codec_type), delta, f.ts_offset);
      shift(delta);
    }
    return;
  }
  if (delta < -errorLimit || delta > errorLimit) {
    Log(&E, llWarning, "DTS %" PRId64 ", next:%" PRId64 " st:%d invalid dropping", pkt->dts,
        ist.next_dts, pkt->stream_index);
    pkt->dts = AV_NOPTS_VALUE;
  }
  if (pkt->pts != AV_NOPTS_VALUE) {
    delta = ff::av_rescale_q(pkt->pts, tb, TimeBaseQ) - ist.next_dts;
    if (delta < -errorLimit || delta > errorLimit) {
      Log(&E, llWarning, "PTS %" PRId64 ", next:%" PRId64 " invalid dropping st:%d", pkt->pts,
          ist.next_dts, pkt->stream_index);
      pkt->pts = AV_NOPTS_VALUE;
    }
  }
}

int TDemuxing::process_input(int AFileIndex) {
  TInputFile &f = *E.Finput_files[AFileIndex];
  AVPacket *pkt = f.pkt.get();
  int ret = get_input_packet(f, pkt);
  if (ret == AVERROR(EAGAIN)) {
    f.eagain = 1;
    return ret;
  }
  if (ret < 0 && f.loop) {
    for (int i = 0; i < f.nb_streams; i++) {
      TInputStream &ist = *E.Finput_streams[f.ist_index + i];
      if (!ist.processing_needed)
        continue;
      if (process_input_packet(ist, nullptr, true))
        return 0;
      if (ist.decoding_needed)
        ff::avcodec_flush_buffers(ist.dec_ctx.get());
    }
    ret = seek_to_start(f);
    if (ret < 0)
      Log(&E, llWarning, "Seek to start failed.");
    else
      ret = get_input_packet(f, pkt);
    if (ret == AVERROR(EAGAIN)) {
      f.eagain = 1;
      return ret;
    }
  }
  if (ret < 0) {
    if (ret != AVERROR_EOF) {
      const std::string text = FFErrorText(f.ctx->url, ret);
      if (E.Fexit_on_error)
        L.Fatal(text);
      Log(&E, llError, "%s", text.c_str());
    }
    end_of_input(f);
    return AVERROR(EAGAIN);
  }

  for (auto &file : E.Finput_files)
    file->eagain = 0;
  for (auto &ost : E.Foutput_streams)
    ost->unavailable = 0;

  if (pkt->stream_index >= f.nb_streams) { // a stream that appeared after opening
    ff::av_packet_unref(pkt);
    return 0;
  }
  TInputStream &ist = *E.Finput_streams[f.ist_index + pkt->stream_index];
  ist.data_size += uint64_t(pkt->size);
  ist.nb_packets++;
  if (ist.discard) {
    ff::av_packet_unref(pkt);
    return 0;
  }
  if (pkt->flags & AV_PKT_FLAG_CORRUPT)
    report_corrupt_packet(f, ist);
  apply_timestamp_offsets(f, ist, pkt);
  fix_discontinuity(f, ist, pkt);
  if (pkt->dts != AV_NOPTS_VALUE)
    f.last_ts = ff::av_rescale_q(pkt->dts, ist.st->time_base, TimeBaseQ);
  debug_ts("demuxer+ffencoder", f, ist, pkt);
  process_input_packet(ist, pkt, false);
  ff::av_packet_unref(pkt);
  return 0;
}

void TDemuxing::init_first_timestamps(TInputStream &ist, const AVPacket *pkt) {
  if (!ist.saw_first_ts) {
    const AVRational rate = ist.st->avg_frame_rate;
    ist.dts = rate.num ? int64_t(-ist.dec_ctx->has_b_frames * AV_TIME_BASE / av_q2d(rate)) : 0;
    ist.first_dts = ist.dts;
    ist.pts = 0;
    if (pkt && pkt->pts != AV_NOPTS_VALUE && !ist.decoding_needed) {
      ist.dts += ff::av_rescale_q(pkt->pts, ist.st->time_base, TimeBaseQ);
      ist.pts = ist.dts;
    }
    ist.saw_first_ts = 1;
  }
  if (ist.next_dts == AV_NOPTS_VALUE)
    ist.next_dts = ist.dts;
  if (ist.next_pts == AV_NOPTS_VALUE)
    ist.next_pts = ist.pts;
  if (pkt && pkt->dts != AV_NOPTS_VALUE) {
    ist.next_dts = ist.dts = ff::av_rescale_q(pkt->dts, ist.st->time_base, TimeBaseQ);
    if (ist.dec_ctx->codec_type != AVMEDIA_TYPE_VIDEO || !ist.decoding_needed)
      ist.next_pts = ist.pts = ist.dts;
  }
}

// Expected timestamp of the next copied packet.
void TDemuxing::advance_copy_timestamps(TInputStream &ist, const AVPacket *pkt) {
  AVCodecContext *dec = ist.dec_ctx.get();
  ist.dts = ist.next_dts;
  if (dec->codec_type == AVMEDIA_TYPE_AUDIO) {
    if (dec->sample_rate)
      ist.next_dts += int64_t(AV_TIME_BASE) * dec->frame_size / dec->sample_rate;
    else
      ist.next_dts += ff::av_rescale_q(pkt->duration, ist.st->time_base, TimeBaseQ);
  } else if (dec->codec_type == AVMEDIA_TYPE_VIDEO) {
    if (ist.framerate.num) {
      const int64_t next = ff::av_rescale_q(ist.next_dts, TimeBaseQ, av_inv_q(ist.framerate));
      ist.next_dts = ff::av_rescale_q(next + 1, av_inv_q(ist.framerate), TimeBaseQ);
    } else if (pkt->duration) {
      ist.next_dts += ff::av_rescale_q(pkt->duration, ist.st->time_base, TimeBaseQ);
    } else if (dec->framerate.num != 0) {
      const AVCodecParserContext *parser = ff::av_stream_get_parser(ist.st);
      const int ticks = parser ? parser->repeat_pict + 1 : dec->ticks_per_frame;
      ist.next_dts += int64_t(AV_TIME_BASE) * dec->framerate.den * ticks / dec->framerate.num /
                      dec->ticks_per_frame;
    }
  }
  ist.pts = ist.dts;
  ist.next_pts = ist.next_dts;
}

bool TDemuxing::process_input_packet(TInputStream &ist, const AVPacket *pkt, bool no_eof) {
  init_first_timestamps(ist, pkt);
  bool eofReached = false;
  if (ist.decoding_needed)
    eofReached = L.Decode.DecodePacket(ist, pkt, no_eof);
  else if (pkt)
    advance_copy_timestamps(ist, pkt);
  else
    eofReached = true;

  for (auto &ost : E.Foutput_streams)
    if (!ost->encoding_needed && L.Mux.check_output_constraints(ist, *ost))
      L.Mux.do_streamcopy(ist, *ost, pkt);
  return !eofReached;
}
