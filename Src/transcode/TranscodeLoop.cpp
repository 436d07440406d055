#include "transcode/TranscodeLoop.h"

#include <cstring>

#include "components/TFFLogger.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/TaskControl.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

TTranscodeLoop::TTranscodeLoop(TCustomFFmpeg &AEngine, TTaskControl &ATask)
    : E(AEngine), Task(ATask), Demux(AEngine, *this), Decode(AEngine, *this),
      Encode(AEngine, *this), Mux(AEngine, *this), Report(AEngine, *this) {
  E.FilterGraphs().reap_filters = [this](bool flush) { return Encode.reap_filters(flush); };
}

TTranscodeLoop::~TTranscodeLoop() {
  E.FilterGraphs().reap_filters = nullptr;
}

void TTranscodeLoop::Fatal(const std::string &AText) {
  E.FLastErrMsg = AText;
  ::Fatal(&E, AText);
}

void TTranscodeLoop::close_output_stream(TOutputStream &ost) {
  TOutputFile &of = *E.Foutput_files[ost.file_index];
  ost.finished |= ENCODER_FINISHED;
  if (of.shortest) {
    const int64_t end = ff::av_rescale_q(ost.sync_opts - ost.first_pts, ost.enc_ctx->time_base,
                                         AVRational{1, AV_TIME_BASE});
    of.recording_time = std::min(of.recording_time, end);
  }
}

void TTranscodeLoop::finish_output_stream(TOutputStream &ost) {
  TOutputFile &of = *E.Foutput_files[ost.file_index];
  ost.finished = ENCODER_FINISHED | MUXER_FINISHED;
  if (of.shortest)
    for (int i = 0; i < int(of.ctx->nb_streams); i++)
      E.Foutput_streams[of.ost_index + i]->finished = ENCODER_FINISHED | MUXER_FINISHED;
}

int TTranscodeLoop::init_input_stream(TInputStream &ist) {
  ist.next_pts = AV_NOPTS_VALUE;
  ist.next_dts = AV_NOPTS_VALUE;
  if (!ist.decoding_needed)
    return 0;
  return Decode.open_decoder(ist);
}

void TTranscodeLoop::discard_unused_programs() {
  for (auto &f : E.Finput_files) {
    AVFormatContext *ic = f->ctx.get();
    for (unsigned j = 0; j < ic->nb_programs; j++) {
      AVProgram *p = ic->programs[j];
      AVDiscard discard = AVDISCARD_ALL;
      for (unsigned k = 0; k < p->nb_stream_indexes; k++)
        if (!E.Finput_streams[f->ist_index + int(p->stream_index[k])]->discard) {
          discard = AVDISCARD_DEFAULT;
          break;
        }
      p->discard = discard;
    }
  }
}

void TTranscodeLoop::dump_stream_mapping() {
  Log(&E, llInfo, "Stream mapping:");
  for (auto &ostp : E.Foutput_streams) {
    const TOutputStream &ost = *ostp;
    if (!ost.attachment_filename.empty()) {
      Log(&E, llInfo, "  File %s -> Stream #%d:%d", ost.attachment_filename.c_str(), ost.file_index,
          ost.index);
      continue;
    }
    if (ost.source_index < 0)
      continue;
    const TInputStream &ist = *E.Finput_streams[ost.source_index];
    std::string text = Format("  Stream #%d:%d -> #%d:%d", ist.file_index, ist.st->index,
                              ost.file_index, ost.index);
    if (ost.sync_ist && ost.sync_ist != &ist)
      text += Format(" [sync #%d:%d]", ost.sync_ist->file_index, ost.sync_ist->st->index);
    if (ost.stream_copy) {
      text += " (copy)";
    } else {
      const AVCodec *in = ist.dec_ctx->codec;
      const AVCodec *out = ost.enc;
      const char *decName = in ? in->name : "?";
      const char *encName = out ? out->name : "?";
      const char *inCodec = ff::avcodec_get_name(ist.st->codecpar->codec_id);
      const char *outCodec = out ? ff::avcodec_get_name(out->id) : "?";
      text += Format(" (%s (%s) -> %s (%s))", inCodec,
                     in && std::string(decName) == inCodec ? "native" : decName, outCodec,
                     out && std::string(encName) == outCodec ? "native" : encName);
    }
    Log(&E, llInfo, "%s", text.c_str());
  }
}

int TTranscodeLoop::transcode_init() {
  E.FilterGraphs().check_filter_outputs(); // every output of every graph is used
  for (auto &of : E.Foutput_files)
    if (std::strcmp(of->ctx->oformat->name, "rtp") != 0)
      Fwant_sdp = false;
  for (auto &f : E.Finput_files)
    if (f->readrate > 0 || f->rate_emu)
      for (int j = 0; j < f->nb_streams; j++)
        E.Finput_streams[f->ist_index + j]->start = ff::av_gettime_relative();
  int ret = 0;
  for (auto &ist : E.Finput_streams)
    if ((ret = init_input_stream(*ist)) < 0)
      break;
  // Stream copy, subtitles and data now; encoded audio and video once their first frame is
  // known.
  for (auto &ost : E.Foutput_streams) {
    if (ret < 0)
      break;
    const AVMediaType type = ost->enc_ctx->codec_type;
    if (!ost->stream_copy && (type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO))
      continue;
    ret = Encode.init_output_stream_logged(*ost);
  }
  if (ret >= 0) {
    discard_unused_programs();
    for (auto &of : E.Foutput_files) // files without streams
      if ((of->format->flags & AVFMT_NOSTREAMS) && of->ctx->nb_streams == 0 &&
          (ret = Mux.of_check_init(*of)) < 0)
        break;
  }
  dump_stream_mapping();
  return ret;
}

bool TTranscodeLoop::need_output() {
  for (auto &ostp : E.Foutput_streams) {
    TOutputStream &ost = *ostp;
    TOutputFile &of = *E.Foutput_files[ost.file_index];
    AVIOContext *pb = of.ctx->pb;
    if (ost.finished || (pb && uint64_t(ff::avio_seek(pb, 0, SEEK_CUR)) >= of.limit_filesize))
      continue;
    if (ost.frame_number >= ost.max_frames) {
      for (int j = 0; j < int(of.ctx->nb_streams); j++)
        close_output_stream(*E.Foutput_streams[of.ost_index + j]);
      continue;
    }
    return true;
  }
  return false;
}

// The stream that is furthest behind; an uninitialised one whose inputs are not done first.
TOutputStream *TTranscodeLoop::choose_output() {
  int64_t optsMin = INT64_MAX;
  TOutputStream *ostMin = nullptr;
  for (auto &ostp : E.Foutput_streams) {
    TOutputStream &ost = *ostp;
    const int64_t opts =
        ost.last_mux_dts == AV_NOPTS_VALUE
            ? INT64_MIN
            : ff::av_rescale_q(ost.last_mux_dts, ost.st->time_base, AVRational{1, AV_TIME_BASE});
    if (!ost.initialized && !ost.inputs_done)
      return ost.unavailable ? nullptr : &ost;
    if (!ost.finished && opts < optsMin) {
      optsMin = opts;
      ostMin = ost.unavailable ? nullptr : &ost;
    }
  }
  return ostMin;
}

bool TTranscodeLoop::got_eagain() const {
  for (auto &ost : E.Foutput_streams)
    if (ost->unavailable)
      return true;
  return false;
}

void TTranscodeLoop::reset_eagain() {
  for (auto &f : E.Finput_files)
    f->eagain = 0;
  for (auto &ost : E.Foutput_streams)
    ost->unavailable = 0;
}

int TTranscodeLoop::transcode_step() {
  TOutputStream *ost = choose_output();
  if (!ost) {
    if (got_eagain()) {
      reset_eagain();
      ff::av_usleep(10000);
      return 0;
    }
    Log(&E, llVerbose, "No more inputs to read from, finishing.");
    return AVERROR_EOF;
  }
  TInputStream *ist = nullptr;
  const int ret = Decode.input_for(*ost, ist);
  if (ret < 0 || !ist)
    return ret;
  const int read = Demux.process_input(ist->file_index);
  if (read == AVERROR(EAGAIN)) {
    if (E.Finput_files[ist->file_index]->eagain)
      ost->unavailable = 1;
    return 0;
  }
  if (read < 0)
    return read == AVERROR_EOF ? 0 : read;
  return Encode.reap_filters(false);
}

// End of input: drain the decoders of files not yet at their end, then the encoders.
void TTranscodeLoop::flush() {
  for (auto &ist : E.Finput_streams)
    if (!E.Finput_files[ist->file_index]->eof_reached)
      Demux.process_input_packet(*ist, nullptr, false);
  Encode.flush_encoders();
}

int TTranscodeLoop::write_trailers() {
  int failed = 0;
  for (auto &of : E.Foutput_files) {
    of->written = Mux.of_write_trailer(*of) >= 0;
    if (!of->written) {
      failed++;
      if (E.Fexit_on_error)
        Fatal(E.FLastErrMsg.empty() ? "At least one output file failed to be written trailer"
                                    : E.FLastErrMsg);
    }
  }
  return failed;
}

void TTranscodeLoop::close_output_files() {
  for (auto &of : E.Foutput_files) {
    AVFormatContext *oc = of->ctx.get();
    if ((of->format->flags & AVFMT_NOFILE) || !oc->pb)
      continue;
    E.FLastWrite = ff::av_gettime_relative();
    const int ret = ff::avio_closep(&oc->pb);
    if (ret < 0) {
      of->written = false;
      E.FLastErrMsg = FFErrorText(Format("Error closing file %s", oc->url), ret);
      Log(&E, llError, "%s", E.FLastErrMsg.c_str());
      if (E.Fexit_on_error)
        Fatal(E.FLastErrMsg);
    }
  }
}

bool TTranscodeLoop::Transcode() {
  const int64_t timer_start = ff::av_gettime_relative();
  for (auto &ist : E.Finput_streams)
    ist->start = timer_start;
  while (!E.FBroken) {
    Task.Checkpoint();
    E.TakeRateEmuRequest();
    const int64_t cur_time = ff::av_gettime_relative();
    if (!need_output()) {
      Log(&E, llVerbose, "No more output streams to write to, finishing.");
      break;
    }
    const int ret = transcode_step();
    if (ret < 0 && ret != AVERROR_EOF) {
      Log(&E, llError, "%s", FFErrorText("Error while filtering", ret).c_str());
      break;
    }
    Report.print_report(false, timer_start, cur_time);
  }
  flush();
  const int failed = write_trailers();
  Report.print_report(true, timer_start, ff::av_gettime_relative());
  close_output_files();
  return failed == 0;
}
