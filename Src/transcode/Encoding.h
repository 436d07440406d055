// TEncoding: output stream initialisation (encoder opening or stream-copy parameters), reaping
// the filter graphs into the encoders, video frame-rate conversion, audio and subtitle
// encoding, and flushing the encoders at the end. Task thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/FFAPI.h"

class TCustomFFmpeg;
class TTranscodeLoop;
struct TOutputFile;
struct TOutputStream;

class TEncoding {
public:
  TEncoding(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop);

  // Opens the encoder (frame: the first frame it will get, may be null) or sets up stream copy,
  // then the bitstream filters; writes the file's header when all its streams are ready.
  // Negative on failure, with the reason logged.
  int init_output_stream(TOutputStream &ost, AVFrame *frame);
  // As above once per stream; a failure is fatal.
  void init_output_stream_wrapper(TOutputStream &ost, AVFrame *frame);
  // init_output_stream with its failure logged, as the tool's transcode_init does.
  int init_output_stream_logged(TOutputStream &ost);
  // Encodes what the filter graphs have ready (flush: the graphs have ended).
  int reap_filters(bool flush);
  void do_subtitle_out(TOutputFile &of, TOutputStream &ost, AVSubtitle &sub);
  // End of stream to every encoder (draining it into the muxer).
  void flush_encoders();

private:
  int init_output_stream_encode(TOutputStream &ost, AVFrame *frame);
  void init_video_encoder(TOutputStream &ost, AVFrame *frame);
  void init_encoder_time_base(TOutputStream &ost, AVRational defaultTimeBase);
  int open_encoder(TOutputStream &ost);
  int hw_device_setup_for_encode(TOutputStream &ost);
  void set_encoder_id(TOutputFile &of, TOutputStream &ost);
  int init_output_stream_streamcopy(TOutputStream &ost);
  void copy_stream_side_data(TOutputStream &ost, const AVStream *in);
  bool check_recording_time(TOutputStream &ost);
  double adjust_frame_pts_to_encoder_tb(TOutputFile &of, TOutputStream &ost, AVFrame *frame);
  double frame_duration(TOutputStream &ost, const AVFrame *next);
  int init_forced_keyframes(TOutputStream &ost);
  bool forced_keyframe_due(TOutputStream &ost, const AVFrame &picture, bool first);
  void do_video_out(TOutputFile &of, TOutputStream &ost, AVFrame *next);
  void do_audio_out(TOutputFile &of, TOutputStream &ost, AVFrame *frame);
  // AVERROR_EOF once the encoder is drained.
  int encode_frame(TOutputFile &of, TOutputStream &ost, AVFrame *frame);
  void update_video_stats(TOutputStream &ost, const AVPacket *pkt);
  bool start_unfed_stream(TOutputStream &ost);

  TCustomFFmpeg &E;
  TTranscodeLoop &L;
  std::string FError; // why init_output_stream failed, when it says more
  std::string InitFailure(const TOutputStream &ost, int ret) const;
  std::vector<uint8_t> Fsubtitle_out; // subtitle encode buffer
};
