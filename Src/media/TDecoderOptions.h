// TDecoderOptions: the option dictionaries a decoder consumes on its next open (format,
// codec, scaler) and the scaler flags. Reset after every open attempt.
// Main thread or the decoder's thread; owned by one decoder.
#pragma once

#include "components/FFAPI.h"

class TDecoderOptions {
public:
  TDecoderOptions();
  ~TDecoderOptions();
  TDecoderOptions(const TDecoderOptions &) = delete;
  TDecoderOptions &operator=(const TDecoderOptions &) = delete;

  unsigned &sws_flags() { return Fsws_flags; }
  AVDictionary *&sws_dict() { return Fsws_dict; }
  AVDictionary *&format_opts() { return Fformat_opts; }
  AVDictionary *&codec_opts() { return Fcodec_opts; }

  // Frees every dictionary, then sets the scaler entry "flags" to "bicubic".
  void Reset();
  // Evaluates "sws_flags" of the scaler dictionary into sws_flags(); 0 when absent or valid,
  // a negative error when the value cannot be evaluated.
  int FetchSwsFlags();
  // The codec options that apply to decoding stream AStream of AContext with ACodec (entries
  // "key" and "key:specifier" whose specifier matches); the caller frees the result.
  AVDictionary *FilterCodecOpts(AVFormatContext *AContext, AVStream *AStream,
                                const AVCodec *ACodec) const;

private:
  unsigned Fsws_flags = SWS_BICUBIC;
  AVDictionary *Fsws_dict = nullptr;
  AVDictionary *Fformat_opts = nullptr;
  AVDictionary *Fcodec_opts = nullptr;
};
