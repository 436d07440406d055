// TDemuxing: the input side of the loop. Reads packets (native-rate pacing, -stream_loop),
// fixes their timestamps (offsets, wrap, discontinuities) and hands them to stream copy and to
// the decoders, whose frames go on to the filter graphs. Task thread only.
#pragma once

#include <cstdint>

#include "components/FFAPI.h"

class TCustomFFmpeg;
class TTranscodeLoop;
struct TInputFile;
struct TInputStream;

class TDemuxing {
public:
  TDemuxing(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop);

  // Reads and processes one packet of input file AFileIndex. AVERROR(EAGAIN) when the file has
  // nothing now (paced, or just reached its end), AVERROR_EOF once it is done.
  int process_input(int AFileIndex);
  // One packet of ist (null: end of stream, flushing the decoder). False when the stream has
  // reached its end.
  bool process_input_packet(TInputStream &ist, const AVPacket *pkt, bool no_eof);

private:
  int get_input_packet(TInputFile &f, AVPacket *pkt);
  bool PacedAhead(TInputFile &f);
  int seek_to_start(TInputFile &f);
  void end_of_input(TInputFile &f);
  void report_corrupt_packet(TInputFile &f, const TInputStream &ist);
  void apply_timestamp_offsets(TInputFile &f, TInputStream &ist, AVPacket *pkt);
  void fix_discontinuity(TInputFile &f, TInputStream &ist, AVPacket *pkt);
  void init_first_timestamps(TInputStream &ist, const AVPacket *pkt);
  void advance_copy_timestamps(TInputStream &ist, const AVPacket *pkt);
  void debug_ts(const char *prefix, TInputFile &f, TInputStream &ist, const AVPacket *pkt);

  TCustomFFmpeg &E;
  TTranscodeLoop &L;
};
