#include "transcode/ProgressReport.h"

#include <bit>
#include <cinttypes>
#include <cmath>
#include <iterator>

#include "components/TFFLogger.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/TranscodeLoop.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

namespace {

constexpr AVRational TimeBaseQ{1, AV_TIME_BASE};

// Peak signal-to-noise ratio in dB of a mean squared error relative to the peak (255²).
double Psnr(double d) {
  return -10.0 * std::log10(d);
}

int64_t OutputSize(AVIOContext *pb) {
  if (!pb)
    return -1;
  int64_t size = ff::avio_size(pb);
  if (size <= 0) // not seekable: the position so far
    size = ff::avio_seek(pb, 0, SEEK_CUR);
  return size;
}

} // namespace

TProgressReport::TProgressReport(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop)
    : E(AEngine), L(ALoop) {}

TProgressReport::~TProgressReport() {
  CloseVideoStats();
}

void TProgressReport::CloseVideoStats() {
  if (!Fvstats_file)
    return;
  if (std::fclose(Fvstats_file.release()))
    Log(&E, llError, "Error closing vstats file, loss of information possible: %s",
        FFErrorText(AVERROR(errno)).c_str());
}

// The first report waits for every header; later ones come once per report interval.
bool TProgressReport::Due(bool is_last, int64_t cur_time) {
  if (!E.Fprint_stats && !is_last && !E.Fprogress_avio && !E.FOnProgress)
    return false;
  if (is_last)
    return true;
  if (Flast_time == -1)
    Flast_time = cur_time;
  if ((cur_time - Flast_time < E.FReportInterval && !Ffirst_report) ||
      (Ffirst_report && L.Fnb_output_dumped < E.Fnb_output_files()))
    return false;
  Flast_time = cur_time;
  return true;
}

// Frames, fps and quality of the first video output; with -qphist the quality histogram, with
// -psnr the PSNR of its last frame (of all its frames on the last report).
void TProgressReport::MeasureFirstVideo(const TOutputStream &ost, bool is_last, TValues &v,
                                        std::string &line, std::string &script) {
  v.frames = ost.packets_written;
  v.fps = v.t > 1 ? double(v.frames) / v.t : 0;
  line +=
      Format("frame=%5" PRId64 " fps=%3.*f q=%3.1f ", v.frames, v.fps < 9.95, v.fps, double(v.q));
  script += Format("frame=%" PRId64 "\nfps=%.2f\n", v.frames, v.fps);
  script += Format("stream_%d_%d_q=%.1f\n", ost.file_index, ost.index, double(v.q));
  if (is_last)
    line += "L";
  if (E.Fqp_hist)
    AppendQpHistogram(v.q, line);
  if ((ost.enc_ctx->flags & AV_CODEC_FLAG_PSNR) &&
      (ost.pict_type != AV_PICTURE_TYPE_NONE || is_last))
    AppendPsnr(ost, is_last, v.frames, line, script);
}

// One report more at quality q; then one hex digit per qp from 0 to 31: log2 of its count + 1.
void TProgressReport::AppendQpHistogram(float q, std::string &line) {
  const long qp = std::lrint(q);
  if (qp >= 0 && qp < long(std::size(Fqp_histogram)))
    Fqp_histogram[qp]++;
  for (int j = 0; j < 32; j++)
    line += Format("%X", std::bit_width(unsigned(Fqp_histogram[j] + 1)) - 1);
}

void TProgressReport::AppendPsnr(const TOutputStream &ost, bool is_last, int64_t frames,
                                 std::string &line, std::string &script) {
  const AVCodecContext *enc = ost.enc_ctx.get();
  double errorSum = 0, scaleSum = 0;
  line += "PSNR=";
  for (int j = 0; j < 3; j++) {
    // The encoder's sums over all frames at the end; the last packet's errors before.
    const double error = is_last ? double(enc->error[j]) : double(ost.error[j]);
    double scale = enc->width * enc->height * 255.0 * 255.0 * (is_last ? double(frames) : 1.0);
    if (j)
      scale /= 4; // chroma planes
    errorSum += error;
    scaleSum += scale;
    const double p = Psnr(error / scale);
    line += Format("%c:%2.2f ", "YUV"[j], p);
    script += Format("stream_%d_%d_psnr_%c=%2.2f\n", ost.file_index, ost.index, "yuv"[j], p);
  }
  const double all = Psnr(errorSum / scaleSum);
  line += Format("*:%2.2f ", all);
  script += Format("stream_%d_%d_psnr_all=%2.2f\n", ost.file_index, ost.index, all);
}

TProgressReport::TValues TProgressReport::Measure(bool is_last, int64_t timer_start,
                                                  int64_t cur_time, std::string &line,
                                                  std::string &script) {
  TValues v;
  v.t = double(cur_time - timer_start) / 1000000.0;
  v.total_size = OutputSize(E.Foutput_files[0]->ctx->pb);
  bool haveVideo = false;
  for (auto &ostp : E.Foutput_streams) {
    TOutputStream &ost = *ostp;
    v.q = ost.stream_copy ? -1.0f : float(ost.quality) / FF_QP2LAMBDA;
    if (ost.enc_ctx->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (haveVideo) {
        line += Format("q=%2.1f ", double(v.q));
        script += Format("stream_%d_%d_q=%.1f\n", ost.file_index, ost.index, double(v.q));
      } else {
        MeasureFirstVideo(ost, is_last, v, line, script);
        haveVideo = true;
      }
    }
    const int64_t end = ff::av_stream_get_end_pts(ost.st);
    if (end != AV_NOPTS_VALUE) {
      int64_t pts = ff::av_rescale_q(end, ost.st->time_base, TimeBaseQ);
      if (E.Fcopy_ts) {
        if (L.Fcopy_ts_first_pts == AV_NOPTS_VALUE && pts > 1)
          L.Fcopy_ts_first_pts = pts;
        if (L.Fcopy_ts_first_pts != AV_NOPTS_VALUE)
          pts -= L.Fcopy_ts_first_pts;
      }
      v.pts = v.pts == AV_NOPTS_VALUE ? pts : std::max(v.pts, pts);
    }
    if (is_last)
      L.Fnb_frames_drop += ost.last_dropped;
  }
  if (v.pts != AV_NOPTS_VALUE && v.pts && v.total_size >= 0)
    v.bitrate = double(v.total_size) * 8 / (double(v.pts) / 1000.0);
  if (v.t != 0.0)
    v.speed = double(v.pts == AV_NOPTS_VALUE ? 0 : v.pts) / AV_TIME_BASE / v.t;
  return v;
}

void TProgressReport::FireProgress(const TValues &v) {
  const int64_t frames = v.frames;
  E.FOnProgress(&E, -1, frames < 0 ? -1 : int(frames), frames < 0 ? -1 : int(std::lround(v.fps)),
                v.q, float(v.bitrate), v.total_size < 0 ? 0 : v.total_size,
                v.pts == AV_NOPTS_VALUE ? 0 : v.pts, E.FOutputDuration);
}

void TProgressReport::WriteProgressBlock(bool is_last, std::string &script) {
  if (!E.Fprogress_avio)
    return;
  script += Format("progress=%s\n", is_last ? "end" : "continue");
  E.FLastWrite = ff::av_gettime_relative();
  ff::avio_write(E.Fprogress_avio.get(), reinterpret_cast<const unsigned char *>(script.data()),
                 int(script.size()));
  ff::avio_flush(E.Fprogress_avio.get());
  if (!is_last)
    return;
  AVIOContext *avio = E.Fprogress_avio.release();
  const int ret = ff::avio_closep(&avio);
  if (ret < 0)
    Log(&E, llError, "Error closing progress log, loss of information possible: %s",
        FFErrorText(ret).c_str());
}

void TProgressReport::print_report(bool is_last, int64_t timer_start, int64_t cur_time) {
  if (!Due(is_last, cur_time))
    return;
  std::string line, script;
  const TValues v = Measure(is_last, timer_start, cur_time, line, script);

  line += v.total_size < 0 ? std::string("size=N/A time=")
                           : Format("size=%8.0fkB time=", double(v.total_size) / 1024.0);
  if (v.pts == AV_NOPTS_VALUE) {
    line += "N/A ";
    script += "out_time_us=N/A\nout_time_ms=N/A\nout_time=N/A\n";
  } else {
    const int64_t abs = std::llabs(v.pts);
    const int us = int(abs % AV_TIME_BASE);
    const int64_t secs = abs / AV_TIME_BASE;
    const char *sign = v.pts < 0 ? "-" : "";
    const int h = int(secs / 3600), m = int(secs / 60 % 60), s = int(secs % 60);
    line += Format("%s%02d:%02d:%02d.%03d ", sign, h, m, s, us / 1000);
    script +=
        Format("out_time_us=%" PRId64 "\nout_time_ms=%" PRId64 "\nout_time=%s%02d:%02d:%02d.%06d\n",
               v.pts, v.pts, sign, h, m, s, us);
  }
  std::string bitrate = v.bitrate < 0 ? "bitrate=N/A" : Format("bitrate=%6.1fkbits/s", v.bitrate);
  line += bitrate;
  script.insert(script.find("out_time_us="),
                bitrate + "\n" +
                    (v.total_size < 0 ? std::string("total_size=N/A\n")
                                      : Format("total_size=%" PRId64 "\n", v.total_size)));
  if (L.Fnb_frames_dup || L.Fnb_frames_drop)
    line += Format(" dup=%" PRId64 " drop=%" PRId64, L.Fnb_frames_dup, L.Fnb_frames_drop);
  script += Format("dup_frames=%" PRId64 "\ndrop_frames=%" PRId64 "\n", L.Fnb_frames_dup,
                   L.Fnb_frames_drop);
  const std::string speed = v.speed < 0 ? "speed=N/A" : Format("speed=%4.3gx", v.speed);
  line += " " + speed;
  script += speed + "\n";

  if (L.FShowDupOrDrop && E.FOnProgress) {
    Log(&E, llInfo, "%s", line.c_str());
    L.FShowDupOrDrop = false;
  }
  if (E.FOnProgress)
    FireProgress(v);
  if ((E.Fprint_stats && !E.FOnProgress) || is_last)
    Log(&E, llInfo, "%s", line.c_str());
  WriteProgressBlock(is_last, script);
  Ffirst_report = 0;
  if (is_last)
    print_final_stats(v.total_size);
}

void TProgressReport::print_final_stats(int64_t total_size) {
  uint64_t sizes[4] = {0, 0, 0, 0}; // video, audio, subtitle, other
  uint64_t extra = 0, data = 0;
  bool pass1Used = true;
  for (auto &ost : E.Foutput_streams) {
    const AVCodecContext *enc = ost->enc_ctx.get();
    const int kind = enc->codec_type == AVMEDIA_TYPE_VIDEO      ? 0
                     : enc->codec_type == AVMEDIA_TYPE_AUDIO    ? 1
                     : enc->codec_type == AVMEDIA_TYPE_SUBTITLE ? 2
                                                                : 3;
    sizes[kind] += ost->data_size;
    extra += uint64_t(enc->extradata_size);
    data += ost->data_size;
    if ((enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) != AV_CODEC_FLAG_PASS1)
      pass1Used = false;
  }
  std::string overhead = "unknown";
  if (data && total_size > 0 && uint64_t(total_size) >= data)
    overhead = Format("%f%%", 100.0 * double(uint64_t(total_size) - data) / double(data));
  Log(&E, llInfo,
      "video:%1.0fkB audio:%1.0fkB subtitle:%1.0fkB other streams:%1.0fkB global headers:%1.0fkB "
      "muxing overhead: %s",
      double(sizes[0]) / 1024.0, double(sizes[1]) / 1024.0, double(sizes[2]) / 1024.0,
      double(sizes[3]) / 1024.0, double(extra) / 1024.0, overhead.c_str());

  for (int i = 0; i < E.Fnb_input_files(); i++) {
    const TInputFile &f = *E.Finput_files[i];
    uint64_t packets = 0, bytes = 0;
    Log(&E, llVerbose, "Input file #%d (%s):", i, f.ctx->url);
    for (int j = 0; j < f.nb_streams; j++) {
      const TInputStream &ist = *E.Finput_streams[f.ist_index + j];
      const AVMediaType type = ist.dec_ctx->codec_type;
      bytes += ist.data_size;
      packets += ist.nb_packets;
      std::string text =
          Format("  Input stream #%d:%d (%s): %" PRIu64 " packets read (%" PRIu64 " bytes); ", i, j,
                 ff::av_get_media_type_string(type), ist.nb_packets, ist.data_size);
      if (ist.decoding_needed)
        text += Format("%" PRIu64 " frames decoded", ist.frames_decoded) +
                (type == AVMEDIA_TYPE_AUDIO ? Format(" (%" PRIu64 " samples)", ist.samples_decoded)
                                            : std::string()) +
                "; ";
      Log(&E, llVerbose, "%s", text.c_str());
    }
    Log(&E, llVerbose, "  Total: %" PRIu64 " packets (%" PRIu64 " bytes) demuxed", packets, bytes);
  }
  for (int i = 0; i < E.Fnb_output_files(); i++) {
    const TOutputFile &of = *E.Foutput_files[i];
    uint64_t packets = 0, bytes = 0;
    Log(&E, llVerbose, "Output file #%d (%s):", i, of.ctx->url);
    for (int j = 0; j < int(of.ctx->nb_streams); j++) {
      const TOutputStream &ost = *E.Foutput_streams[of.ost_index + j];
      const AVMediaType type = ost.enc_ctx->codec_type;
      bytes += ost.data_size;
      packets += uint64_t(ost.packets_written);
      std::string text =
          Format("  Output stream #%d:%d (%s): ", i, j, ff::av_get_media_type_string(type));
      if (ost.encoding_needed)
        text += Format("%" PRId64 " frames encoded", ost.frames_encoded) +
                (type == AVMEDIA_TYPE_AUDIO ? Format(" (%" PRId64 " samples)", ost.samples_encoded)
                                            : std::string()) +
                "; ";
      text += Format("%" PRId64 " packets muxed (%" PRIu64 " bytes); ", ost.packets_written,
                     ost.data_size);
      Log(&E, llVerbose, "%s", text.c_str());
    }
    Log(&E, llVerbose, "  Total: %" PRIu64 " packets (%" PRIu64 " bytes) muxed", packets, bytes);
  }
  if (sizes[0] + data + sizes[1] + sizes[2] + extra == 0)
    Log(&E, llWarning, "Output file is empty, nothing was encoded%s",
        pass1Used ? "" : " (check -ss / -t / -frames parameters if used)");
}

void TProgressReport::do_video_stats(const TOutputStream &ost, const AVPacket *pkt) {
  if (!Fvstats_file) {
    Fvstats_file.reset(std::fopen(E.Fvstats_filename.c_str(), "w"));
    if (!Fvstats_file)
      L.Fatal("fopen() failed: " + E.Fvstats_filename);
  }
  const AVCodecContext *enc = ost.enc_ctx.get();
  const float q = float(ost.quality) / FF_QP2LAMBDA;
  if (E.Fvstats_version <= 1)
    std::fprintf(Fvstats_file.get(), "frame= %5" PRIu64 " q= %2.1f ", ost.packets_encoded,
                 double(q));
  else
    std::fprintf(Fvstats_file.get(), "out= %2d st= %2d frame= %5" PRIu64 " q= %2.1f ",
                 ost.file_index, ost.index, ost.packets_encoded, double(q));
  if (ost.error[0] >= 0 && (enc->flags & AV_CODEC_FLAG_PSNR))
    std::fprintf(Fvstats_file.get(), "PSNR= %6.2f ",
                 Psnr(double(ost.error[0]) / (enc->width * enc->height * 255.0 * 255.0)));
  std::fprintf(Fvstats_file.get(), "f_size= %6d ", pkt->size);
  double ti1 = double(pkt->dts) * av_q2d(ost.mux_timebase);
  if (ti1 < 0.01)
    ti1 = 0.01;
  const double bitrate = (pkt->size * 8) / av_q2d(enc->time_base) / 1000.0;
  const double avgBitrate = double(ost.data_size * 8) / ti1 / 1000.0;
  std::fprintf(Fvstats_file.get(),
               "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
               double(ost.data_size) / 1024, ti1, bitrate, avgBitrate);
  std::fprintf(Fvstats_file.get(), "type= %c\n",
               ff::av_get_picture_type_char(AVPictureType(ost.pict_type)));
}
