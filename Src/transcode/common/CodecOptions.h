// Codec option dictionaries per stream: the file group's codec options narrowed to what one
// stream's decoder or encoder takes. Main thread (while files are opened).
#pragma once

#include <string>

#include "components/FFAPI.h"
#include "transcode/common/FFOwners.h"

// Options of opts that apply to stream st of s: a key "name:spec" only when spec matches the
// stream (the specifier is cut off), a key whose name is an option of the codec class or of the
// codec's private class for the stream's direction and media type, or a key "v..."/"a..."/"s..."
// whose rest is a codec option of that media type. codec null: the default decoder or encoder
// of codec_id. A malformed specifier throws FFmpegException.
TDict FilterCodecOpts(const AVDictionary *opts, AVCodecID codec_id, AVFormatContext *s,
                      AVStream *st, const AVCodec *codec);

// Stream-specifier test of stream st of s; a malformed specifier throws FFmpegException with
// the error text prefixed "check_stream_specifier".
bool MatchesStreamSpecifier(AVFormatContext *s, AVStream *st, const char *spec);

// A codec tag given as a number (C notation) or as up to four characters.
uint32_t CodecTagFromText(const std::string &text);

// A copy of opts with every key cut at its first ':'.
TDict StripSpecifiers(const AVDictionary *opts);

// Codec options named in opts that no dictionary in used holds (keys compared without
// specifiers) and that are options of the codec class but not of the format class; each is
// passed to report(key, option). Used for the "not a decoding/encoding option" checks.
template <typename Used, typename Report>
void ForEachUnusedCodecOption(const AVDictionary *opts, const Used &used, Report report) {
  TDict unused = StripSpecifiers(opts);
  for (const AVDictionary *d : used) {
    const AVDictionaryEntry *e = nullptr;
    while ((e = ff::av_dict_get(d, "", e, AV_DICT_IGNORE_SUFFIX)))
      ff::av_dict_set(unused.Ref(), e->key, nullptr, 0);
  }
  const AVDictionaryEntry *e = nullptr;
  while ((e = ff::av_dict_get(unused.Get(), "", e, AV_DICT_IGNORE_SUFFIX))) {
    const AVClass *cc = ff::avcodec_get_class();
    const AVClass *fc = ff::avformat_get_class();
    const int search = AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ;
    const AVOption *option = ff::av_opt_find(&cc, e->key, nullptr, 0, search);
    const AVOption *foption = ff::av_opt_find(&fc, e->key, nullptr, 0, search);
    if (!option || foption)
      continue;
    report(std::string(e->key), option);
  }
}
