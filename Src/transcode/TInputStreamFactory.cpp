#include "transcode/TInputStreamFactory.h"

#include <climits>
#include <cstring>

#include "components/TFFLogger.h"
#include "transcode/common/CodecOptions.h"
#include "transcode/common/TextFormat.h"

TInputStreamFactory::TInputStreamFactory(TCustomFFmpeg &engine, TOptionsContext &opts,
                                         AVFormatContext *ctx, int index)
    : E(engine), o(opts), ic(ctx), fileIndex(index) {}

void TInputStreamFactory::AddStreams(std::vector<std::unique_ptr<TInputStream>> &streams) {
  const AVClass *cc = ff::avcodec_get_class();
  const AVOption *discardOpt = ff::av_opt_find(&cc, "skip_frame", nullptr, 0, 0);
  for (unsigned i = 0; i < ic->nb_streams; i++) {
    AVStream *st = ic->streams[i];
    AVCodecParameters *par = st->codecpar;
    auto ist = std::make_unique<TInputStream>();
    ist->st = st;
    ist->file_index = fileIndex;
    ist->discard = 1;
    st->discard = AVDISCARD_ALL;
    ist->ts_scale = TCustomFFmpeg::MatchPerStreamDouble(o.ts_scale, ic, st, 1.0);
    ist->autorotate = TCustomFFmpeg::MatchPerStreamInt(o.autorotate, ic, st, 1);
    std::string tag = TCustomFFmpeg::MatchPerStreamStr(o.codec_tags, ic, st);
    if (!tag.empty())
      par->codec_tag = CodecTagFromText(tag);
    ist->avdec = E.ChooseDecoder(o, ic, st);
    ist->decoder_opts = FilterCodecOpts(o.g->codec_opts, par->codec_id, ic, st, ist->avdec);
    ist->reinit_filters = TCustomFFmpeg::MatchPerStreamInt(o.reinit_filters, ic, st, -1);

    std::string discard = TCustomFFmpeg::MatchPerStreamStr(o.discard, ic, st);
    ist->user_set_discard = AVDISCARD_NONE;
    if ((o.video_disable && par->codec_type == AVMEDIA_TYPE_VIDEO) ||
        (o.audio_disable && par->codec_type == AVMEDIA_TYPE_AUDIO) ||
        (o.subtitle_disable && par->codec_type == AVMEDIA_TYPE_SUBTITLE) ||
        (o.data_disable && par->codec_type == AVMEDIA_TYPE_DATA))
      ist->user_set_discard = AVDISCARD_ALL;
    if (!discard.empty() &&
        ff::av_opt_eval_int(&cc, discardOpt, discard.c_str(), &ist->user_set_discard) < 0)
      Fatal(&E, Format("Error parsing discard %s.", discard.c_str()));

    ist->dec_ctx.reset(ff::avcodec_alloc_context3(ist->avdec));
    if (!ist->dec_ctx)
      Fatal(&E, "Error allocating the decoder context.");
    if (ff::avcodec_parameters_to_context(ist->dec_ctx.get(), par) < 0)
      Fatal(&E, "Error initializing the decoder context.");
    ist->decoded_frame.reset(ff::av_frame_alloc());
    ist->pkt.reset(ff::av_packet_alloc());
    if (!ist->decoded_frame || !ist->pkt)
      Fatal(&E, "Error allocating the decoder context.");
    if (o.bitexact)
      ist->dec_ctx->flags |= AV_CODEC_FLAG_BITEXACT;

    switch (par->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
      if (!ist->avdec)
        ist->avdec = ff::avcodec_find_decoder(par->codec_id);
      ist->dec_ctx->framerate = st->avg_frame_rate;
      std::string rate = TCustomFFmpeg::MatchPerStreamStr(o.frame_rates, ic, st);
      if (!rate.empty() && ff::av_parse_video_rate(&ist->framerate, rate.c_str()) < 0)
        Fatal(&E, Format("Error parsing framerate %s.", rate.c_str()));
      ist->top_field_first = TCustomFFmpeg::MatchPerStreamInt(o.top_field_first, ic, st, -1);
      SetupHWAccel(*ist);
      break;
    }
    case AVMEDIA_TYPE_AUDIO: {
      ist->guess_layout_max = TCustomFFmpeg::MatchPerStreamInt(o.guess_layout_max, ic, st, INT_MAX);
      AVChannelLayout &cl = ist->dec_ctx->ch_layout;
      if (cl.order == AV_CHANNEL_ORDER_UNSPEC && cl.nb_channels > 0 &&
          cl.nb_channels <= ist->guess_layout_max) {
        int channels = cl.nb_channels;
        ff::av_channel_layout_uninit(&cl);
        ff::av_channel_layout_default(&cl, channels);
        char name[128] = "";
        ff::av_channel_layout_describe(&cl, name, sizeof name);
        Log(&E, llWarning, "Guessed Channel Layout for Input Stream #%d.%d : %s", fileIndex,
            st->index, name);
      }
      break;
    }
    case AVMEDIA_TYPE_DATA:
    case AVMEDIA_TYPE_SUBTITLE: {
      if (!ist->avdec)
        ist->avdec = ff::avcodec_find_decoder(par->codec_id);
      ist->fix_sub_duration = TCustomFFmpeg::MatchPerStreamInt(o.fix_sub_duration, ic, st, 0);
      std::string canvas = TCustomFFmpeg::MatchPerStreamStr(o.canvas_sizes, ic, st);
      if (!canvas.empty() &&
          ff::av_parse_video_size(&ist->dec_ctx->width, &ist->dec_ctx->height, canvas.c_str()) < 0)
        Fatal(&E, Format("Invalid canvas size: %s.", canvas.c_str()));
      break;
    }
    default:
      break;
    }
    if (ff::avcodec_parameters_from_context(par, ist->dec_ctx.get()) < 0)
      Fatal(&E, "Error initializing the decoder context.");
    streams.push_back(std::move(ist));
  }
}

void TInputStreamFactory::SetupHWAccel(TInputStream &ist) {
  std::string hwaccel = TCustomFFmpeg::MatchPerStreamStr(o.hwaccels, ic, ist.st);
  std::string outFormat = TCustomFFmpeg::MatchPerStreamStr(o.hwaccel_output_formats, ic, ist.st);
  if (!hwaccel.empty()) {
    // Old command lines: cuvid and qsv decoders once implied their own output format.
    if (hwaccel == "cuvid" || hwaccel == "qsv") {
      const char *name = hwaccel == "cuvid" ? "cuda" : "qsv";
      Log(&E, llWarning,
          "WARNING: defaulting hwaccel_output_format to %s for compatibility with old "
          "commandlines. This behaviour is DEPRECATED and will be removed in the future. Please "
          "explicitly set \"-hwaccel_output_format %s\".",
          name, name);
      if (outFormat.empty())
        outFormat = name;
    }
    if (hwaccel == "nvdec" || hwaccel == "cuvid")
      hwaccel = "cuda";
    if (hwaccel == "none")
      ist.hwaccel_id = HWACCEL_NONE;
    else if (hwaccel == "auto")
      ist.hwaccel_id = HWACCEL_AUTO;
    else {
      AVHWDeviceType type = ff::av_hwdevice_find_type_by_name(hwaccel.c_str());
      if (type != AV_HWDEVICE_TYPE_NONE) {
        ist.hwaccel_id = HWACCEL_GENERIC;
        ist.hwaccel_device_type = type;
      } else {
        std::string list = "Supported hwaccels:";
        type = AV_HWDEVICE_TYPE_NONE;
        while ((type = ff::av_hwdevice_iterate_types(type)) != AV_HWDEVICE_TYPE_NONE)
          list += std::string(" ") + ff::av_hwdevice_get_type_name(type);
        Fatal(&E, Format("Unrecognized hwaccel: %s.\r\n%s", hwaccel.c_str(), list.c_str()));
      }
    }
  }
  ist.hwaccel_device = TCustomFFmpeg::MatchPerStreamStr(o.hwaccel_devices, ic, ist.st);
  if (!outFormat.empty()) {
    ist.hwaccel_output_format = ff::av_get_pix_fmt(outFormat.c_str());
    if (ist.hwaccel_output_format == AV_PIX_FMT_NONE)
      Fatal(&E, Format("Unrecognised hwaccel output format: %s", outFormat.c_str()));
  }
  ist.hwaccel_pix_fmt = AV_PIX_FMT_NONE;
}
