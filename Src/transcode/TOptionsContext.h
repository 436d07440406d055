// Per-file option record: one value per file row of the option table, filled while a file's
// option text is parsed and read when the file is opened. Field names follow the FFmpeg tool's
// own names; the comment gives the option. Per-stream arrays (TSpecifierOpts) keep every
// occurrence; look values up with the stream-specifier helpers of TCustomFFmpegOpt.
// The option table addresses its fields by typed member pointers.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "transcode/TOutputFile.h" // TStreamMap, TAudioChannelMap
#include "transcode/common/TFFOptions.h"

struct TOptionsContext {
  TOptionGroup *g = nullptr; // the file group of the parse context

  // input and output files
  int64_t start_time = AV_NOPTS_VALUE;     // ss, ss_microsecond
  int64_t start_time_eof = AV_NOPTS_VALUE; // sseof
  int seek_timestamp = 0;                  // seek_timestamp
  std::string format;                      // f
  TSpecifierOpts codec_names;              // c, codec (vcodec, acodec, scodec, dcodec)
  TSpecifierOpts audio_channels;           // ac
  TSpecifierOpts audio_sample_rate;        // ar
  TSpecifierOpts frame_rates;              // r
  TSpecifierOpts max_frame_rates;          // fpsmax
  TSpecifierOpts frame_sizes;              // s
  TSpecifierOpts frame_pix_fmts;           // pix_fmt
  TSpecifierOpts audio_ch_layouts;         // ch_layout, channel_layout

  // input files
  int64_t input_ts_offset = 0;           // itsoffset, itsoffset_microsecond
  int loop = 0;                          // stream_loop
  int rate_emu = 0;                      // re
  float readrate = 0;                    // readrate
  int accurate_seek = 1;                 // accurate_seek
  int thread_queue_size = -1;            // thread_queue_size
  int input_sync_ref = -1;               // isync
  TSpecifierOpts ts_scale;               // itsscale
  TSpecifierOpts dump_attachment;        // dump_attachment
  TSpecifierOpts hwaccels;               // hwaccel
  TSpecifierOpts hwaccel_devices;        // hwaccel_device
  TSpecifierOpts hwaccel_output_formats; // hwaccel_output_format
  TSpecifierOpts autorotate;             // autorotate

  // output files
  std::vector<TStreamMap> stream_maps;              // map
  std::vector<TAudioChannelMap> audio_channel_maps; // map_channel
  std::vector<std::string> attachments;             // attach
  int chapters_input_file = INT_MAX;                // map_chapters
  int64_t recording_time = INT64_MAX;               // t, t_microsecond
  int64_t stop_time = INT64_MAX;                    // to, to_microsecond
  int64_t limit_filesize = INT64_MAX;               // fs
  float mux_preload = 0;                            // muxpreload
  float mux_max_delay = 0.7f;                       // muxdelay
  int shortest = 0;                                 // shortest
  int bitexact = 0;                                 // bitexact
  int video_disable = 0;                            // vn
  int audio_disable = 0;                            // an
  int subtitle_disable = 0;                         // sn
  int data_disable = 0;                             // dn
  std::vector<int> streamid_map;                    // streamid
  int nb_stream_maps() const { return int(stream_maps.size()); }
  int nb_audio_channel_maps() const { return int(audio_channel_maps.size()); }
  int nb_attachments() const { return int(attachments.size()); }
  int nb_streamid_map() const { return int(streamid_map.size()); }

  TSpecifierOpts metadata;                    // metadata (timestamp, timecode)
  TSpecifierOpts max_frames;                  // frames (vframes, aframes, dframes)
  TSpecifierOpts bitstream_filters;           // bsf (absf, vbsf)
  TSpecifierOpts codec_tags;                  // tag (vtag, atag, stag)
  TSpecifierOpts sample_fmts;                 // sample_fmt
  TSpecifierOpts qscale;                      // q (qscale, aq)
  TSpecifierOpts forced_key_frames;           // force_key_frames
  TSpecifierOpts force_fps;                   // force_fps
  TSpecifierOpts frame_aspect_ratios;         // aspect
  TSpecifierOpts rc_overrides;                // rc_override
  TSpecifierOpts intra_matrices;              // intra_matrix
  TSpecifierOpts inter_matrices;              // inter_matrix
  TSpecifierOpts chroma_intra_matrices;       // chroma_intra_matrix
  TSpecifierOpts top_field_first;             // top
  TSpecifierOpts metadata_map;                // map_metadata
  TSpecifierOpts copy_initial_nonkeyframes;   // copyinkf
  TSpecifierOpts copy_prior_start;            // copypriorss
  TSpecifierOpts filters;                     // filter (vf, af)
  TSpecifierOpts filter_scripts;              // filter_script
  TSpecifierOpts reinit_filters;              // reinit_filter
  TSpecifierOpts fix_sub_duration;            // fix_sub_duration
  TSpecifierOpts canvas_sizes;                // canvas_size
  TSpecifierOpts pass;                        // pass
  TSpecifierOpts passlogfiles;                // passlogfile
  TSpecifierOpts max_muxing_queue_size;       // max_muxing_queue_size
  TSpecifierOpts muxing_queue_data_threshold; // muxing_queue_data_threshold
  TSpecifierOpts guess_layout_max;            // guess_layout_max
  TSpecifierOpts apad;                        // apad
  TSpecifierOpts discard;                     // discard
  TSpecifierOpts disposition;                 // disposition
  TSpecifierOpts program;                     // program
  TSpecifierOpts time_bases;                  // time_base
  TSpecifierOpts enc_time_bases;              // enc_time_base
  TSpecifierOpts autoscale;                   // autoscale
  TSpecifierOpts bits_per_raw_sample;         // bits_per_raw_sample
  TSpecifierOpts fps_mode;                    // fps_mode
};
