// TMuxing: the output side of the loop. Copies packets of stream-copied streams, runs the
// output bitstream filters, holds packets in a stream's muxing queue until its file's header is
// written, fixes timestamps for the muxer and writes interleaved; writes headers (and the SDP of
// rtp outputs) and trailers.
// Task thread only.
#pragma once

#include <string>

#include "components/FFAPI.h"

class TCustomFFmpeg;
class TTranscodeLoop;
struct TInputStream;
struct TOutputFile;
struct TOutputStream;

class TMuxing {
public:
  TMuxing(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop);

  // Whether packets of ist may still go to ost.
  bool check_output_constraints(const TInputStream &ist, const TOutputStream &ost) const;
  // One packet of ist copied to ost (null: end of stream, draining the bitstream filters).
  void do_streamcopy(TInputStream &ist, TOutputStream &ost, const AVPacket *pkt);
  // A packet of ost through its bitstream filters to the muxer (eof: drain the filters).
  void output_packet(TOutputFile &of, AVPacket *pkt, TOutputStream &ost, bool eof);
  // Writes the file's header once all its streams are initialised, then its queued packets.
  int of_check_init(TOutputFile &of);
  int of_write_trailer(TOutputFile &of);
  int init_output_bsfs(TOutputStream &ost);

  // The task's first failed packet write and first failed trailer, as the tool words them
  // ("...: Broken pipe"); empty while none failed.
  std::string PacketWriteError;
  std::string TrailerWriteError;

private:
  void of_write_packet(TOutputFile &of, AVPacket *pkt, TOutputStream &ost, bool unqueue);
  void queue_packet(TOutputStream &ost, AVPacket *pkt);
  void fix_timestamps(TOutputFile &of, TOutputStream &ost, AVPacket *pkt);
  void close_all_output_streams(TOutputStream &failed);
  // The SDP of every rtp output once all headers are written: to -sdp_file, else to the log.
  int print_sdp();

  TCustomFFmpeg &E;
  TTranscodeLoop &L;
};
