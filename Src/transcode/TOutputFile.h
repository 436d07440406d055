// Output file and output stream records of the transcoding engine, and the stream and
// channel map elements that the -map and -map_channel options collect.
//
// Threads: OpenOutputFile fills these records on the thread that adds outputs (the main
// thread); afterwards only the task's worker thread uses them. The stream record's fields are
// grouped by the stage that writes them, each group with its thread. Ownership: each record owns
// the FFmpeg objects, dictionaries and files it holds in owner types; `st` belongs to the muxer
// context `ctx` of its output file, which the output file record owns (the I/O included).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/FFAPI.h"
#include "transcode/common/FFOwners.h"

struct TInputStream;
struct TOutputFilter; // filter graph output feeding a stream (filter graphs)

// One element of -map.
struct TStreamMap {
  int disabled = 0;
  int file_index = 0;
  int stream_index = 0;
  int sync_file_index = 0;
  int sync_stream_index = 0;
  std::string linklabel; // "[label]" maps: output of a complex filter graph
};

// One element of -map_channel (-1 = muted channel / not given).
struct TAudioChannelMap {
  int file_idx = -1;
  int stream_idx = -1;
  int channel_idx = -1;
  int ofile_idx = -1;
  int ostream_idx = -1;
};

// Video sync methods (vsync_method, -vsync / -fps_mode).
enum TVideoSync : int {
  VSYNC_AUTO = -1,
  VSYNC_PASSTHROUGH = 0,
  VSYNC_CFR = 1,
  VSYNC_VFR = 2,
  VSYNC_VSCFR = 3, // constant rate without duplicating the first frames
  VSYNC_DROP = 4,
  VSYNC_UNKNOWN = -2 // a -vsync / -fps_mode name that is none of these
};

// finished bits of an output stream.
enum : int { ENCODER_FINISHED = 1, MUXER_FINISHED = 2 };

// The method a -vsync or -fps_mode name stands for (case ignored); "auto" only when allowed.
inline int VideoSyncMethodByName(const std::string &name, bool allowAuto) {
  static const struct {
    const char *name;
    int method;
  } Methods[] = {{"passthrough", VSYNC_PASSTHROUGH},
                 {"cfr", VSYNC_CFR},
                 {"vfr", VSYNC_VFR},
                 {"drop", VSYNC_DROP},
                 {"auto", VSYNC_AUTO}};
  for (const auto &m : Methods)
    if (ff::av_strcasecmp(name.c_str(), m.name) == 0 && (allowAuto || m.method != VSYNC_AUTO))
      return m.method;
  return VSYNC_UNKNOWN;
}

struct TOutputStream {
  TOutputStream() = default;
  TOutputStream(const TOutputStream &) = delete;
  TOutputStream &operator=(const TOutputStream &) = delete;

  // ---- Opening the output (TOutputStreamFactory, OpenOutputFile, the metadata and the filter
  // graphs' binding; main thread); the task only reads these, and the objects they own are set
  // up and used by the stages. ----
  int file_index = 0;
  int index = 0;         // index within its output file
  int source_index = -1; // input stream index, -1 when fed by a complex graph
  AVStream *st = nullptr;
  int encoding_needed = 0;
  int stream_copy = 0;
  TInputStream *sync_ist = nullptr;
  AVRational enc_timebase{0, 0};
  TBSFContextPtr bsf_ctx;
  TCodecContextPtr enc_ctx;
  TCodecParametersPtr ref_par;
  const AVCodec *enc = nullptr;
  int64_t max_frames = INT64_MAX;
  TFramePtr filtered_frame;
  TPacketPtr pkt;
  AVRational max_frame_rate{0, 0};
  int vsync_method = VSYNC_AUTO;
  int is_cfr = 0;
  std::string fps_mode;
  int force_fps = 0;
  int top_field_first = -1;
  int rotate_overridden = 0;
  int autoscale = 1;
  int bits_per_raw_sample = 0;
  double rotate_override_value = 0;
  AVRational frame_aspect_ratio{0, 0};
  std::string forced_keyframes;
  std::vector<int> audio_channels_map; // input channel per output channel, -1 muted
  int audio_channels_mapped = 0;
  std::string logfile_prefix;
  TFilePtr logfile;                // pass-1 statistics
  TOutputFilter *filter = nullptr; // not owned: the filter graph owns it
  std::string avfilter;            // the graph description finally used
  std::string filters;             // -filter
  std::string filters_script;      // -filter_script
  TDict encoder_opts;
  TDict sws_dict;
  TDict swr_opts;
  std::string apad;
  std::string attachment_filename;
  int copy_initial_nonkeyframes = 0;
  int copy_prior_start = -1;
  std::string disposition;
  int keep_pix_fmt = 0;
  int max_muxing_queue_size = 128;
  size_t muxing_queue_data_threshold = 50 * 1024 * 1024;
  TPacketFifoPtr muxing_queue; // packets waiting for the header (filled by TMuxing)

  // ---- Encoding (TEncoding, task thread; frame_rate starts as -r from the opening and is
  // settled when the encoder is set up; Cleanup frees the key frame schedule). ----
  int initialized = 0;
  AVRational frame_rate{0, 0};
  AVRational mux_timebase{0, 0};
  int64_t first_pts = 0;
  int64_t sync_opts = 0;    // also advanced by TMuxing for stream copy
  int64_t frame_number = 0; // also counted by TMuxing for stream copy
  TFramePtr last_frame;
  int64_t last_dropped = 0;
  int64_t last_nb0_frames[3] = {0, 0, 0};
  int64_t forced_kf_ref_pts = AV_NOPTS_VALUE;
  std::vector<int64_t> forced_kf_pts;
  int forced_kf_count = 0;
  int forced_kf_index = 0;
  TExprPtr forced_keyframes_pexpr;
  double forced_keyframes_expr_const_values[5] = {0, 0, 0, 0, 0};
  int dropped_keyframe = 0;
  int64_t frames_encoded = 0;
  int64_t samples_encoded = 0;
  uint64_t packets_encoded = 0;
  int quality = 0;
  int pict_type = 0;
  int64_t error[4] = {0, 0, 0, 0};

  // ---- Muxing (TMuxing, task thread). ----
  int64_t last_mux_dts = AV_NOPTS_VALUE;
  int streamcopy_started = 0;
  uint64_t data_size = 0;
  int64_t packets_written = 0;
  size_t muxing_queue_data_size = 0;

  // ---- The stream's place in the loop (task thread: TMuxing and the loop finish it, TDemuxing
  // and TDecoding mark it unavailable or its inputs done). ----
  int finished = 0; // ENCODER_FINISHED | MUXER_FINISHED
  int unavailable = 0;
  int inputs_done = 0;
};

struct TOutputFile {
  TOutputFile() = default;
  TOutputFile(const TOutputFile &) = delete;
  TOutputFile &operator=(const TOutputFile &) = delete;

  int index = 0;
  const AVOutputFormat *format = nullptr;
  TMuxerContextPtr ctx;
  TDict opts;                          // copy of the file group's format options
  int ost_index = 0;                   // first stream of this file in Foutput_streams
  int64_t recording_time = INT64_MAX;  // -t, microseconds
  int64_t start_time = AV_NOPTS_VALUE; // -ss
  uint64_t limit_filesize = UINT64_MAX;
  int shortest = 0;
  int header_written = 0;
  // An existing file the output replaces once written, and the new file beside it that the
  // muxer writes (both empty when the output is written in place).
  std::string replaced_path;
  std::string temp_path;
  bool written = false; // trailer written and I/O closed without an error
};
