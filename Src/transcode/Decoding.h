// TDecoding: the decoders of the input streams. Opens them, decodes packets into frames that
// go on to the filter graphs (or subtitles to their encoders), counts and reports decoding
// errors, and drains them at the end. Also chooses what input the loop reads next for a stream
// fed by a filter graph. Task thread only.
#pragma once

#include <cstdint>

#include "components/FFAPI.h"

class TCustomFFmpeg;
class TTranscodeLoop;
struct TInputStream;
struct TOutputStream;

class TDecoding {
public:
  TDecoding(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop);

  // Opens the decoder of a stream that must be decoded. Negative on failure (reason logged).
  int open_decoder(TInputStream &ist);
  // Decodes one packet (null: drain) and hands its frames on. True once the decoder has
  // reached its end.
  bool DecodePacket(TInputStream &ist, const AVPacket *pkt, bool no_eof);
  // The input stream to read for ost; null with 0 when nothing is to be read now. Runs the
  // filter graph of ost when it is configured.
  int input_for(TOutputStream &ost, TInputStream *&ist);

private:
  // AVERROR_EOF once drained; got is set when a frame came out.
  int decode(AVCodecContext *avctx, AVFrame *frame, bool &got, const AVPacket *pkt);
  void check_decode_result(TInputStream *ist, bool got, int ret);
  int send_frame_to_filters(TInputStream &ist, AVFrame *frame);
  int decode_audio(TInputStream &ist, const AVPacket *pkt, bool &got, bool &failed);
  int decode_video(TInputStream &ist, AVPacket *pkt, bool &got, int64_t &duration_pts, bool eof,
                   bool &failed);
  int transcode_subtitles(TInputStream &ist, const AVPacket *pkt, bool &got, bool &failed);
  void fix_sub_duration(TInputStream &ist, AVSubtitle &subtitle, bool &got, int &ret, int &end);
  int64_t video_duration_dts(const TInputStream &ist, const AVPacket *pkt) const;
  int send_filter_eof(TInputStream &ist);
  int transcode_from_filter(TOutputStream &ost, TInputStream *&best);
  const char *media_name(const TInputStream &ist) const;

  TCustomFFmpeg &E;
  TTranscodeLoop &L;
};
