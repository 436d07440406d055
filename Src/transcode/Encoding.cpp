#include "transcode/Encoding.h"

#include <cstring>

#include "components/TFFLogger.h"
#include "transcode/FFErrorText.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/TextFormat.h"
#include "transcode/TranscodeLoop.h"

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
    ret = ff::av_opt_set_dict(ost.enc_ctx.get(), &ost.encoder_opts);
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

int TEncoding::init_output_stream(TOutputStream &ost, const AVFrame *frame) {
  (void)frame;
  int ret = 0;
  if (ost.stream_copy)
    ret = init_output_stream_streamcopy(ost);
  if (ret < 0)
    return ret;
  ret = L.Mux.init_output_bsfs(ost);
  if (ret < 0)
    return ret;
  ost.initialized = 1;
  return L.Mux.of_check_init(*E.Foutput_files[ost.file_index]);
}

void TEncoding::init_output_stream_wrapper(TOutputStream &ost, const AVFrame *frame) {
  if (ost.initialized)
    return;
  const int ret = init_output_stream(ost, frame);
  if (ret < 0)
    L.Fatal(Format("Error initializing output stream %d:%d -- %s", ost.file_index, ost.index,
                   FFErrorText(ret).c_str()));
}

void TEncoding::flush_encoders() {
  for (auto &ost : E.Foutput_streams)
    if (ost->encoding_needed && !ost->initialized)
      Log(&E, llWarning, "Finishing stream %d:%d without any data written to it.", ost->file_index,
          ost->index);
}
