// TEncoding: output stream initialisation (encoder opening or stream-copy parameters), the
// encoders with video frame-rate conversion and audio/subtitle encoding, and their flushing.
// Task thread only.
#pragma once

#include "components/FFAPI.h"

class TCustomFFmpeg;
class TTranscodeLoop;
struct TOutputStream;

class TEncoding {
public:
  TEncoding(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop);

  // Opens the encoder (frame: the first frame it will get, may be null) or sets up stream copy,
  // then the bitstream filters; writes the file's header when all its streams are ready.
  // Negative on failure, with the reason logged.
  int init_output_stream(TOutputStream &ost, const AVFrame *frame);
  // As above; a failure is fatal.
  void init_output_stream_wrapper(TOutputStream &ost, const AVFrame *frame);
  // End of stream to every encoder (draining it into the muxer).
  void flush_encoders();

private:
  int init_output_stream_streamcopy(TOutputStream &ost);
  void copy_stream_side_data(TOutputStream &ost, const AVStream *in);

  TCustomFFmpeg &E;
  TTranscodeLoop &L;
};
