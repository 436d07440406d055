// Input file and input stream records of the transcoding engine.
//
// Threads: OpenInputFile fills these records on the thread that adds tasks (the main thread);
// afterwards only the task's worker thread reads and changes them. The stream record's fields
// are grouped by the stage that writes them, each group with its thread. Ownership: each record
// owns the FFmpeg objects held in owner types (contexts, frames, packets, dictionaries) and frees
// them when it is destroyed; `st` belongs to `ctx` of its input file. The engine owns every
// record (Cleanup destroys them).
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "components/FFAPI.h"
#include "transcode/common/FFOwners.h"

struct TInputFilter; // filter graph input fed by a stream (filter graphs)

// Hardware acceleration kind of a decoder.
enum THWAccelID : int { HWACCEL_NONE = 0, HWACCEL_AUTO = 1, HWACCEL_GENERIC = 2 };

// A named hardware device of the process-wide device list.
struct THWDevice {
  std::string name;
  AVHWDeviceType type_ = AV_HWDEVICE_TYPE_NONE;
  TBufferRefPtr device_ref;
};

// Subtitle decoded last, kept for -fix_sub_duration.
struct TPrevSub {
  int got_output = 0;
  int ret = 0;
  AVSubtitle subtitle{};
  ~TPrevSub() {
    if (got_output)
      ff::avsubtitle_free(&subtitle);
  }
};

// Subtitle-to-video state of a bitmap subtitle stream that feeds a video filter.
struct TISsub2video {
  int64_t last_pts = 0;
  int64_t end_pts = 0;
  TSubtitleFifoPtr sub_queue; // queued subtitles
  TFramePtr frame;
  int w = 0;
  int h = 0;
  unsigned initialize = 0;
};

// decoding_needed bits.
enum : int { DECODING_FOR_OST = 1, DECODING_FOR_FILTER = 2 };

struct TInputStream {
  TInputStream() = default;
  TInputStream(const TInputStream &) = delete;
  TInputStream &operator=(const TInputStream &) = delete;

  // ---- Opening the input (TInputStreamFactory, main thread); the task only reads these. ----
  int file_index = 0;
  AVStream *st = nullptr;   // owned by the input file's ctx
  int user_set_discard = 0; // AVDiscard value from -discard
  TCodecContextPtr dec_ctx;
  const AVCodec *avdec = nullptr;
  TFramePtr decoded_frame;
  TPacketPtr pkt;
  double ts_scale = 1.0;
  TDict decoder_opts;
  AVRational framerate{0, 0};
  int top_field_first = -1;
  int guess_layout_max = INT_MAX;
  int autorotate = 1;
  int fix_sub_duration = 0;
  int reinit_filters = -1;

  // ---- Opening the outputs (OpenOutputFile and the filter graphs' binding, main thread): who
  // uses the stream. An output that fails puts them back; the task only reads them. ----
  int discard = 1;         // nothing uses the stream (yet)
  int decoding_needed = 0; // DECODING_FOR_OST | DECODING_FOR_FILTER
  int processing_needed = 0;
  std::vector<TInputFilter *> filters; // not owned: the filter graphs own their inputs
  int nb_filters = 0;

  // ---- Hardware decoding: chosen when the input is opened (main thread), settled when the
  // decoder is set up (HWDecoding, task thread), then read by TDecoding. ----
  THWAccelID hwaccel_id = HWACCEL_NONE;
  AVHWDeviceType hwaccel_device_type = AV_HWDEVICE_TYPE_NONE;
  std::string hwaccel_device;
  AVPixelFormat hwaccel_output_format = AV_PIX_FMT_NONE;
  AVPixelFormat hwaccel_pix_fmt = AV_PIX_FMT_NONE;
  void (*hwaccel_uninit)(AVCodecContext *s) = nullptr;
  int (*hwaccel_retrieve_data)(AVCodecContext *s, AVFrame *frame) = nullptr;

  // ---- Timestamps predicted from the packets read and the frames decoded (TDemuxing and
  // TDecoding, task thread; the loop sets start and clears the predictions at a -stream_loop
  // restart). ----
  int64_t start = 0; // pacing start stamp (set when the loop starts)
  int64_t next_dts = AV_NOPTS_VALUE;
  int64_t first_dts = AV_NOPTS_VALUE;
  int64_t dts = 0;
  int64_t next_pts = AV_NOPTS_VALUE;
  int64_t pts = 0;

  // ---- Demuxing (TDemuxing, task thread). ----
  int wrap_correction_done = 0;
  int64_t min_pts = INT64_MAX;
  int64_t max_pts = INT64_MIN;
  int saw_first_ts = 0;
  uint64_t data_size = 0;
  uint64_t nb_packets = 0;

  // ---- Decoding (TDecoding, task thread). ----
  int64_t prev_pkt_pts = AV_NOPTS_VALUE;
  int64_t filter_in_rescale_delta_last = AV_NOPTS_VALUE;
  int64_t cfr_next_pts = 0; // next frame number under input -r
  int64_t nb_samples = 0;
  TPrevSub prev_sub;
  AVPixelFormat hwaccel_retrieved_pix_fmt = AV_PIX_FMT_NONE;
  uint64_t frames_decoded = 0;
  uint64_t samples_decoded = 0;
  std::vector<int64_t> dts_buffer;
  int got_output = 0;
  int64_t frame_number = 0; // decoded video frames handed to the input hooks

  // ---- Subtitles fed to video filters (TFilterGraphs, task thread). ----
  TISsub2video sub2video;
};

struct TInputFile {
  TInputFile() = default;
  TInputFile(const TInputFile &) = delete;
  TInputFile &operator=(const TInputFile &) = delete;

  TInputContextPtr ctx;
  int eof_reached = 0;
  int eagain = 0;
  int ist_index = 0; // first stream of this file in Finput_streams
  int loop = 0;      // remaining -stream_loop count
  int64_t duration = 0;
  AVRational time_base{1, 1};
  int64_t input_ts_offset = 0; // -itsoffset, microseconds
  int input_sync_ref = -1;     // -isync
  int64_t ts_offset = 0;
  int64_t seek_base = 0; // without -copyts timestamps start here: the -ss point plus the start
  int64_t last_ts = 0;
  int64_t start_time = AV_NOPTS_VALUE; // -ss
  int64_t recording_time = INT64_MAX;  // -t
  int nb_streams = 0;
  int nb_streams_warn = 0;
  int rate_emu = 0;
  float readrate = 0;
  int accurate_seek = 0;
  TPacketPtr pkt;
  int64_t last_pts = AV_NOPTS_VALUE; // remembered for real-time pacing switches
};
