// TTranscodeLoop: the running state of one task, from transcode_init to Cleanup, and the loop
// that drives it: choose the output stream that is furthest behind, read the input that feeds
// it, hand packets to stream copy or the decoders, reap the filter graphs into the encoders,
// report progress; then flush, write the trailers and close the outputs.
//
// The stages are the tool's functions over shared records, not owners of their streams' state:
// TDemuxing (reading), TDecoding (decoding), TEncoding (encoders and frame-rate conversion),
// TMuxing (headers, queues, packets, trailers), TProgressReport (status, -progress, final
// statistics, -vstats). They keep only small state of their own (encoder failure text, buffers,
// report timers); the streams' state is in the engine's records, TInputStream and TOutputStream,
// whose fields are grouped by the stage that writes them (TInputFile.h, TOutputFile.h), and the
// run's counters are here. The loop also writes the engine's FLastErrMsg (Fatal, trailers).
// Only the task's thread uses this object.
#pragma once

#include <cstdint>
#include <string>

#include "transcode/Decoding.h"
#include "transcode/Demuxing.h"
#include "transcode/Encoding.h"
#include "transcode/Muxing.h"
#include "transcode/ProgressReport.h"

class TCustomFFmpeg;
class TTaskControl;

class TTranscodeLoop {
public:
  TTranscodeLoop(TCustomFFmpeg &AEngine, TTaskControl &ATask);
  ~TTranscodeLoop();
  TTranscodeLoop(const TTranscodeLoop &) = delete;
  TTranscodeLoop &operator=(const TTranscodeLoop &) = delete;

  // Opens decoders, prepares stream copy, writes headers where possible. Negative on failure
  // (the reason logged); fatal conditions throw FFmpegException.
  int transcode_init();
  // The main loop through trailers and closing. Returns false when a trailer failed.
  bool Transcode();

  // Where the command-line tool would exit: FLastErrMsg := AText, logged at fatal level, raised
  // as FFmpegException.
  [[noreturn]] void Fatal(const std::string &AText);

  // Stream states shared by the stages.
  void close_output_stream(TOutputStream &ost);
  void finish_output_stream(TOutputStream &ost);

  TCustomFFmpeg &E;
  TTaskControl &Task;
  TDemuxing Demux;
  TDecoding Decode;
  TEncoding Encode;
  TMuxing Mux;
  TProgressReport Report;

  // Counters of the run.
  int64_t Fnb_frames_dup = 0;
  int64_t Fnb_frames_drop = 0;
  int64_t Fdup_warning = 1000;
  uint64_t Fdecode_error_stat[2] = {0, 0}; // frames decoded without / with error
  int Fnb_output_dumped = 0;
  int64_t Fcopy_ts_first_pts = AV_NOPTS_VALUE;
  bool Fwant_sdp = true; // every output is rtp: its SDP is logged
  bool FShowDupOrDrop = false;

private:
  int init_input_stream(TInputStream &ist);
  void discard_unused_programs();
  void dump_stream_mapping();
  bool need_output();
  TOutputStream *choose_output();
  bool got_eagain() const;
  void reset_eagain();
  int transcode_step();
  void flush();
  int write_trailers();
  void close_output_files();
};
