#include "media/TDecoderOptions.h"

#include <cstring>
#include <string>

TDecoderOptions::TDecoderOptions() = default;

TDecoderOptions::~TDecoderOptions() {
  ff::av_dict_free(&Fsws_dict);
  ff::av_dict_free(&Fformat_opts);
  ff::av_dict_free(&Fcodec_opts);
}

void TDecoderOptions::Reset() {
  ff::av_dict_free(&Fsws_dict);
  ff::av_dict_free(&Fformat_opts);
  ff::av_dict_free(&Fcodec_opts);
  ff::av_dict_set(&Fsws_dict, "flags", "bicubic", 0);
}

int TDecoderOptions::FetchSwsFlags() {
  const AVDictionaryEntry *e = ff::av_dict_get(Fsws_dict, "sws_flags", nullptr, 0);
  if (!e)
    return 0;
  // Evaluate the flag names against the scaler's own option table.
  const AVClass *cls = ff::sws_get_class();
  const AVOption *o = ff::av_opt_find(&cls, "sws_flags", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
  if (!o)
    return AVERROR_OPTION_NOT_FOUND;
  int flags = 0;
  int ret = ff::av_opt_eval_flags(&cls, o, e->value, &flags);
  if (ret < 0)
    return ret;
  Fsws_flags = unsigned(flags);
  return 0;
}

AVDictionary *TDecoderOptions::FilterCodecOpts(AVFormatContext *AContext, AVStream *AStream,
                                               const AVCodec *ACodec) const {
  AVDictionary *result = nullptr;
  int flags = AV_OPT_FLAG_DECODING_PARAM;
  char prefix = 0;
  switch (AStream->codecpar->codec_type) {
  case AVMEDIA_TYPE_VIDEO:
    flags |= AV_OPT_FLAG_VIDEO_PARAM;
    prefix = 'v';
    break;
  case AVMEDIA_TYPE_AUDIO:
    flags |= AV_OPT_FLAG_AUDIO_PARAM;
    prefix = 'a';
    break;
  case AVMEDIA_TYPE_SUBTITLE:
    flags |= AV_OPT_FLAG_SUBTITLE_PARAM;
    prefix = 's';
    break;
  default:
    break;
  }
  const AVClass *cc = ff::avcodec_get_class();
  const AVDictionaryEntry *e = nullptr;
  while ((e = ff::av_dict_get(Fcodec_opts, "", e, AV_DICT_IGNORE_SUFFIX))) {
    std::string key = e->key;
    size_t colon = key.find(':');
    if (colon != std::string::npos) {
      int match = ff::avformat_match_stream_specifier(AContext, AStream, e->key + colon + 1);
      if (match <= 0)
        continue;
      key.resize(colon);
    }
    bool generic = ff::av_opt_find(&cc, key.c_str(), nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ);
    bool priv = ACodec && ACodec->priv_class &&
                ff::av_opt_find(const_cast<const AVClass **>(&ACodec->priv_class), key.c_str(),
                                nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ);
    // "-b:v"-style keys name their media type with a one-letter prefix.
    bool typed = prefix && key.size() > 1 && key[0] == prefix &&
                 ff::av_opt_find(&cc, key.c_str() + 1, nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ);
    if (generic || !ACodec || priv)
      ff::av_dict_set(&result, key.c_str(), e->value, 0);
    else if (typed)
      ff::av_dict_set(&result, key.c_str() + 1, e->value, 0);
  }
  return result;
}
