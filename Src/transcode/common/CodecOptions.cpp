#include "transcode/common/CodecOptions.h"

#include <cstring>

#include "transcode/common/FFErrorText.h"
#include "transcode/common/FFmpegException.h"

bool MatchesStreamSpecifier(AVFormatContext *s, AVStream *st, const char *spec) {
  int ret = ff::avformat_match_stream_specifier(s, st, spec);
  if (ret < 0)
    throw FFmpegException(FFErrorText("check_stream_specifier", ret));
  return ret > 0;
}

TDict FilterCodecOpts(const AVDictionary *opts, AVCodecID codec_id, AVFormatContext *s,
                      AVStream *st, const AVCodec *codec) {
  const bool encoding = s->oformat != nullptr;
  int flags = encoding ? AV_OPT_FLAG_ENCODING_PARAM : AV_OPT_FLAG_DECODING_PARAM;
  char prefix = 0;
  if (!codec)
    codec = encoding ? ff::avcodec_find_encoder(codec_id) : ff::avcodec_find_decoder(codec_id);
  switch (st->codecpar->codec_type) {
  case AVMEDIA_TYPE_VIDEO:
    prefix = 'v';
    flags |= AV_OPT_FLAG_VIDEO_PARAM;
    break;
  case AVMEDIA_TYPE_AUDIO:
    prefix = 'a';
    flags |= AV_OPT_FLAG_AUDIO_PARAM;
    break;
  case AVMEDIA_TYPE_SUBTITLE:
    prefix = 's';
    flags |= AV_OPT_FLAG_SUBTITLE_PARAM;
    break;
  default:
    break;
  }

  TDict ret;
  const AVClass *cc = ff::avcodec_get_class();
  const AVDictionaryEntry *t = nullptr;
  while ((t = ff::av_dict_get(opts, "", t, AV_DICT_IGNORE_SUFFIX))) {
    std::string key = t->key;
    size_t colon = key.find(':');
    if (colon != std::string::npos) {
      if (!MatchesStreamSpecifier(s, st, key.c_str() + colon + 1))
        continue;
      key.resize(colon);
    }
    const AVClass *priv = codec ? codec->priv_class : nullptr;
    if (ff::av_opt_find(&cc, key.c_str(), nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ) || !codec ||
        (priv && ff::av_opt_find(&priv, key.c_str(), nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ)))
      ff::av_dict_set(ret.Ref(), key.c_str(), t->value, 0);
    else if (prefix && key.size() > 1 && key[0] == prefix &&
             ff::av_opt_find(&cc, key.c_str() + 1, nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ))
      ff::av_dict_set(ret.Ref(), key.c_str() + 1, t->value, 0);
  }
  return ret;
}

TDict StripSpecifiers(const AVDictionary *opts) {
  TDict ret;
  const AVDictionaryEntry *e = nullptr;
  while ((e = ff::av_dict_get(opts, "", e, AV_DICT_IGNORE_SUFFIX))) {
    std::string key = e->key;
    size_t colon = key.find(':');
    if (colon != std::string::npos)
      key.resize(colon);
    ff::av_dict_set(ret.Ref(), key.c_str(), e->value, 0);
  }
  return ret;
}

uint32_t CodecTagFromText(const std::string &text) {
  char *next = nullptr;
  uint32_t tag = uint32_t(std::strtoul(text.c_str(), &next, 0));
  if (*next) {
    unsigned char b[4] = {0, 0, 0, 0};
    std::memcpy(b, text.data(), std::min<size_t>(4, text.size()));
    tag = MKTAG(b[0], b[1], b[2], b[3]);
  }
  return tag;
}
