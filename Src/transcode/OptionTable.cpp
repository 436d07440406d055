// The engine's option table: 196 rows in lookup order, then the end row.
#include <cstddef>
#include <stdexcept>

#include "transcode/TCustomFFmpegOpt.h"

#define OFF(field) offsetof(TOptionsContext, field)
#define H(fn)                                                                                      \
  [this](TOptionsContext *o, const std::string &opt, const std::string &arg) {                     \
    return fn(o, opt, arg);                                                                        \
  }
#define TO(name)                                                                                   \
  [this](TOptionsContext *o, const std::string &, const std::string &arg) {                        \
    return opt_redispatch(o, name, arg);                                                           \
  }

void TCustomFFmpegOpt::AddRow(const char *name, uint32_t flags, const char *help,
                              const char *argname) {
  TOptionDef d;
  d.name = name;
  d.flags = flags;
  d.help = help;
  d.argname = argname;
  _OptionDef.push_back(std::move(d));
}

void TCustomFFmpegOpt::AddField(const char *name, uint32_t flags, void *dst, const char *help,
                                const char *argname) {
  AddRow(name, flags, help, argname);
  _OptionDef.back().u.dst_ptr = dst;
}

void TCustomFFmpegOpt::AddOffset(const char *name, uint32_t flags, size_t off, const char *help,
                                 const char *argname) {
  AddRow(name, flags, help, argname);
  _OptionDef.back().u.off = off;
}

void TCustomFFmpegOpt::AddHandler(const char *name, uint32_t flags, Tfunc_arg handler,
                                  const char *help, const char *argname) {
  AddRow(name, flags, help, argname);
  _OptionDef.back().u.func_arg = std::move(handler);
}

void TCustomFFmpegOpt::BuildOptionTable() {
  if (FOptionDef)
    return;
  _OptionDef.clear();
  _OptionDef.reserve(197);
  // Informational commands of the command-line tool: ignored with a warning.
  static const struct {
    const char *name, *help, *argname;
  } Info[] = {{"L", "show license", ""},
              {"h", "show help", "topic"},
              {"?", "show help", "topic"},
              {"help", "show help", "topic"},
              {"-help", "show help", "topic"},
              {"version", "show version", ""},
              {"buildconf", "show build configuration", ""},
              {"formats", "show available formats", ""},
              {"muxers", "show available muxers", ""},
              {"demuxers", "show available demuxers", ""},
              {"devices", "show available devices", ""},
              {"codecs", "show available codecs", ""},
              {"decoders", "show available decoders", ""},
              {"encoders", "show available encoders", ""},
              {"bsfs", "show available bit stream filters", ""},
              {"protocols", "show available protocols", ""},
              {"filters", "show available filters", ""},
              {"pix_fmts", "show available pixel formats", ""},
              {"layouts", "show standard channel layouts", ""},
              {"sample_fmts", "show available audio sample formats", ""},
              {"dispositions", "show available stream dispositions", ""},
              {"colors", "show available color names", ""}};
  for (const auto &i : Info)
    AddHandler(i.name, ofExit, H(opt_ignored), i.help, i.argname);

  AddHandler("loglevel", 0x1, H(opt_loglevel), "set logging level", "loglevel");
  AddHandler("v", 0x1, H(opt_loglevel), "set logging level", "loglevel");
  AddHandler("report", 0x0, H(opt_refused), "generate a report", "");
  AddHandler("max_alloc", 0x1, H(opt_max_alloc), "set maximum size of a single allocated block",
             "bytes");
  AddHandler("cpuflags", 0x5, H(opt_cpuflags), "force specific cpu flags", "flags");
  AddHandler("cpucount", 0x5, H(opt_cpucount), "force specific cpu count", "count");
  AddHandler("hide_banner", 0x6, H(opt_ignored), "do not show program banner", "hide_banner");
  AddOffset("f", 0xc4009, OFF(format), "force format", "fmt");
  AddField("y", 0x2, &Ffile_overwrite, "overwrite output files", "");
  AddField("n", 0x2, &Fno_file_overwrite, "never overwrite output files", "");
  AddField("ignore_unknown", 0x2, &Fignore_unknown_streams, "Ignore unknown stream types", "");
  AddField("copy_unknown", 0x6, &Fcopy_unknown_streams, "Copy unknown stream types", "");
  AddField("recast_media", 0x6, &Frecast_media,
           "allow recasting stream type in order to force a decoder of different media type", "");
  AddOffset("c", 0xc8009, OFF(codec_names), "codec name", "codec");
  AddOffset("codec", 0xc8009, OFF(codec_names), "codec name", "codec");
  AddHandler("pre", 0x800, H(opt_refused), "preset name", "preset");
  AddHandler("map", 0x82005, H(opt_map), "set input stream mapping",
             "[-]input_file_id[:stream_specifier][,sync_file_id[:stream_specifier]]");
  AddHandler("map_channel", 0x82005, H(opt_map_channel),
             "map an audio channel from one stream to another",
             "file.stream.channel[:syncfile.syncstream]");
  AddOffset("map_metadata", 0x88009, OFF(metadata_map),
            "set metadata information of outfile from infile",
            "outfile[,metadata]:infile[,metadata]");
  AddOffset("map_chapters", 0x84085, OFF(chapters_input_file), "set chapters mapping",
            "input_file_index");
  AddOffset("t", 0xd4001, OFF(recording_time),
            "record or transcode \"duration\" seconds of audio/video", "duration");
  AddOffset("t_microsecond", 0xc4401, OFF(recording_time),
            "record or transcode \"duration\" seconds of audio/video", "duration");
  AddOffset("to", 0xd4001, OFF(stop_time), "record or transcode stop time", "time_stop");
  AddOffset("to_microsecond", 0x84401, OFF(stop_time), "record or transcode stop time",
            "time_stop");
  AddOffset("fs", 0x84401, OFF(limit_filesize), "set the limit file size in bytes", "limit_size");
  AddOffset("ss", 0xd4001, OFF(start_time), "set the start time offset", "time_off");
  AddOffset("ss_microsecond", 0xc4401, OFF(start_time), "set the start time offset", "time_off");
  AddOffset("sseof", 0x54001, OFF(start_time_eof), "set the start time offset relative to EOF",
            "time_off");
  AddOffset("seek_timestamp", 0x44081, OFF(seek_timestamp),
            "enable/disable seeking by timestamp with -ss", "");
  AddOffset("accurate_seek", 0x44006, OFF(accurate_seek),
            "enable/disable accurate seeking with -ss", "");
  AddOffset("isync", 0x44085, OFF(input_sync_ref), "Indicate the input index for sync reference",
            "sync ref");
  AddOffset("itsoffset", 0x54005, OFF(input_ts_offset), "set the input ts offset", "time_off");
  AddOffset("itsoffset_microsecond", 0x44405, OFF(input_ts_offset), "set the input ts offset",
            "time_off");
  AddOffset("itsscale", 0x68005, OFF(ts_scale), "set the input ts scale", "scale");
  AddHandler("timestamp", 0x82001, H(opt_recording_timestamp),
             "set the recording timestamp ('now' to set the current time)", "time");
  AddOffset("metadata", 0x88009, OFF(metadata), "add metadata", "string=string");
  AddOffset("program", 0x88009, OFF(program), "add program with specified streams",
            "title=string:st=number...");
  AddHandler("dframes", 0x82005, TO("frames:d"), "set the number of data frames to output",
             "number");
  AddHandler("benchmark", 0x800, H(opt_refused), "add timings for benchmarking", "");
  AddHandler("benchmark_all", 0x800, H(opt_refused), "add timings for each task", "");
  AddHandler("progress", 0x5, H(opt_progress), "write program-readable progress information",
             "url");
  AddHandler("stdin", 0x800, H(opt_refused), "enable or disable interaction on standard input", "");
  AddHandler("timelimit", 0x800, H(opt_refused), "set max runtime in seconds in CPU user time",
             "limit");
  AddField("dump", 0x6, &Fdo_pkt_dump, "dump each input packet", "");
  AddField("hex", 0x6, &Fdo_hex_dump, "when dumping packets, also dump the payload", "");
  AddOffset("re", 0x44006, OFF(rate_emu),
            "read input at native frame rate; equivalent to -readrate 1", "");
  AddOffset("readrate", 0x44105, OFF(readrate), "read input at specified rate", "speed");
  AddHandler("target", 0x82001, H(opt_target),
             "specify target file type (\"vcd\", \"svcd\", \"dvd\", \"dv\" or \"dv50\" with "
             "optional prefixes \"pal-\", \"ntsc-\" or \"film-\")",
             "type");
  AddHandler("vsync", 0x5, H(opt_vsync),
             "set video sync method globally; deprecated, use -fps_mode", "");
  AddField("frame_drop_threshold", 0x105, &Fframe_drop_threshold, "frame drop threshold", "");
  AddField("async", 0x85, &Faudio_sync_method, "audio sync method", "");
  AddField("adrift_threshold", 0x105, &Faudio_drift_threshold, "audio drift threshold",
           "threshold");
  AddField("copyts", 0x6, &Fcopy_ts, "copy timestamps", "");
  AddField("start_at_zero", 0x6, &Fstart_at_zero,
           "shift input timestamps to start at 0 when using copyts", "");
  AddField("copytb", 0x85, &Fcopy_tb, "copy input stream time base when stream copying", "mode");
  AddOffset("shortest", 0x84006, OFF(shortest), "finish encoding within shortest input", "");
  AddOffset("bitexact", 0xc4006, OFF(bitexact), "bitexact mode", "");
  AddOffset("apad", 0x88009, OFF(apad), "audio pad", "");
  AddField("dts_delta_threshold", 0x105, &Fdts_delta_threshold,
           "timestamp discontinuity delta threshold", "threshold");
  AddField("dts_error_threshold", 0x105, &Fdts_error_threshold, "timestamp error delta threshold",
           "threshold");
  AddField("xerror", 0x6, &Fexit_on_error, "exit on error", "error");
  AddHandler("abort_on", 0x5, H(opt_ignored), "abort on the specified condition flags", "flags");
  AddOffset("copyinkf", 0x88006, OFF(copy_initial_nonkeyframes), "copy initial non-keyframes", "");
  AddOffset("copypriorss", 0x88085, OFF(copy_prior_start),
            "copy or discard frames before start time", "");
  AddOffset("frames", 0x88401, OFF(max_frames), "set the number of frames to output", "number");
  AddOffset("tag", 0xc800d, OFF(codec_tags), "force codec tag/fourcc", "fourcc/tag");
  AddOffset("q", 0xa8005, OFF(qscale), "use fixed quality scale (VBR)", "q");
  AddHandler("qscale", 0x82005, H(opt_qscale), "use fixed quality scale (VBR)", "q");
  AddHandler("profile", 0x82005, H(opt_profile), "set profile", "profile");
  AddOffset("filter", 0x88009, OFF(filters), "set stream filtergraph", "filter_graph");
  AddHandler("filter_threads", 0x1, H(opt_filter_threads), "number of non-complex filter threads",
             "");
  AddOffset("filter_script", 0x88009, OFF(filter_scripts),
            "read stream filtergraph description from a file", "filename");
  AddOffset("reinit_filter", 0x48081, OFF(reinit_filters),
            "reinit filtergraph on input parameter changes", "");
  AddHandler("filter_complex", 0x5, H(opt_filter_complex), "create a complex filtergraph",
             "graph_description");
  AddField("filter_complex_threads", 0x81, &Ffilter_complex_nbthreads,
           "number of threads for -filter_complex", "");
  AddHandler("lavfi", 0x5, H(opt_filter_complex), "create a complex filtergraph",
             "graph_description");
  AddHandler("filter_complex_script", 0x5, H(opt_filter_complex_script),
             "read complex filtergraph description from a file", "filename");
  AddField("auto_conversion_filters", 0x6, &Fauto_conversion_filters,
           "enable automatic conversion filters globally", "");
  AddField("stats", 0x2, &Fprint_stats, "print progress report during encoding", "");
  AddHandler("stats_period", 0x5, H(opt_stats_period),
             "set the period at which ffmpeg updates stats and -progress output", "time");
  AddHandler("attach", 0x82005, H(opt_attach), "add an attachment to the output file", "filename");
  AddOffset("dump_attachment", 0x4800d, OFF(dump_attachment), "extract an attachment into a file",
            "filename");
  AddOffset("stream_loop", 0x44085, OFF(loop), "set number of times input stream shall be looped",
            "loop count");
  AddField("debug_ts", 0x6, &Fdebug_ts, "print timestamp debugging info", "");
  AddHandler("max_error_rate", 0x101, H(opt_ignored),
             "ratio of decoding errors (0.0: no errors, 1.0: 100% errors) above which ffmpeg "
             "returns an error instead of success.",
             "maximum error rate");
  AddOffset("discard", 0x48009, OFF(discard), "discard", "");
  AddOffset("disposition", 0x88009, OFF(disposition), "disposition", "");
  AddOffset("thread_queue_size", 0x44085, OFF(thread_queue_size),
            "set the maximum number of queued packets from the demuxer", "");
  AddField("find_stream_info", 0x42006, &Ffind_stream_info,
           "read and decode the streams to fill missing information with heuristics", "");
  AddOffset("bits_per_raw_sample", 0x8c085, OFF(bits_per_raw_sample),
            "set the number of bits per raw sample", "number");

  // Video options.
  AddHandler("vframes", 0x82011, TO("frames:v"), "set the number of video frames to output",
             "number");
  AddOffset("r", 0xc8019, OFF(frame_rates), "set frame rate (Hz value, fraction or abbreviation)",
            "rate");
  AddOffset("fpsmax", 0x88019, OFF(max_frame_rates),
            "set max frame rate (Hz value, fraction or abbreviation)", "rate");
  AddOffset("s", 0xc8219, OFF(frame_sizes), "set frame size (WxH or abbreviation)", "size");
  AddOffset("aspect", 0x88019, OFF(frame_aspect_ratios),
            "set aspect ratio (4:3, 16:9 or 1.3333, 1.7777)", "aspect");
  AddOffset("pix_fmt", 0xc801d, OFF(frame_pix_fmts), "set pixel format", "format");
  AddOffset("vn", 0xc4012, OFF(video_disable), "disable video", "");
  AddOffset("rc_override", 0x8801d, OFF(rc_overrides),
            "rate control override for specific intervals", "override");
  AddHandler("vcodec", 0xc2011, TO("codec:v"), "force video codec ('copy' to copy stream)",
             "codec");
  AddHandler("timecode", 0x82011, H(opt_timecode), "set initial TimeCode value.",
             "hh:mm:ss[:;.]ff");
  AddOffset("pass", 0x88091, OFF(pass), "select the pass number (1 to 3)", "n");
  AddOffset("passlogfile", 0x8801d, OFF(passlogfiles), "select two pass log file name prefix",
            "prefix");
  AddField("psnr", 0x16, &Fdo_psnr, "calculate PSNR of compressed frames", "");
  AddHandler("vstats", 0x14, H(opt_vstats), "dump video coding statistics to file", "");
  AddHandler("vstats_file", 0x15, H(opt_vstats_file), "dump video coding statistics to file",
             "file");
  AddField("vstats_version", 0x95, &Fvstats_version, "Version of the vstats format to use.", "");
  AddHandler("vf", 0x82011, TO("filter:v"), "set video filters", "filter_graph");
  AddOffset("intra_matrix", 0x8801d, OFF(intra_matrices), "specify intra matrix coeffs", "matrix");
  AddOffset("inter_matrix", 0x8801d, OFF(inter_matrices), "specify inter matrix coeffs", "matrix");
  AddOffset("chroma_intra_matrix", 0x8801d, OFF(chroma_intra_matrices),
            "specify intra matrix coeffs", "matrix");
  AddOffset("top", 0xc8095, OFF(top_field_first), "top=1/bottom=0/auto=-1 field first", "");
  AddHandler("vtag", 0x82015, H(opt_type_letter), "force video tag/fourcc", "fourcc/tag");
  AddField("qphist", 0x16, &Fqp_hist, "show QP histogram", "");
  AddOffset("fps_mode", 0x8801d, OFF(fps_mode),
            "set framerate mode for matching video streams; overrides vsync", "");
  AddOffset("force_fps", 0x88016, OFF(force_fps),
            "force the selected framerate, disable the best supported framerate selection", "");
  AddHandler("streamid", 0x82015, H(opt_streamid), "set the value of an outfile streamid",
             "streamIndex:value");
  AddOffset("force_key_frames", 0x8801d, OFF(forced_key_frames),
            "force key frames at specified timestamps", "timestamps");
  AddHandler("ab", 0x82021, H(opt_bitrate), "audio bitrate (please use -b:a)", "bitrate");
  AddHandler("b", 0x82011, H(opt_bitrate), "video bitrate (please use -b:v)", "bitrate");
  AddOffset("hwaccel", 0x4801d, OFF(hwaccels), "use HW accelerated decoding", "hwaccel name");
  AddOffset("hwaccel_device", 0x4801d, OFF(hwaccel_devices), "select a device for HW acceleration",
            "devicename");
  AddOffset("hwaccel_output_format", 0x4801d, OFF(hwaccel_output_formats),
            "select output format used with HW accelerated decoding", "format");
  AddHandler("hwaccels", 0x800, H(opt_refused), "show available HW acceleration methods", "");
  AddOffset("autorotate", 0x48007, OFF(autorotate), "automatically insert correct rotate filters",
            "");
  AddOffset("autoscale", 0x48007, OFF(autoscale),
            "automatically insert a scale filter at the end of the filter graph", "");

  // Audio options.
  AddHandler("aframes", 0x82021, TO("frames:a"), "set the number of audio frames to output",
             "number");
  AddHandler("aq", 0x82021, TO("q:a"), "set audio quality (codec-specific)", "quality");
  AddOffset("ar", 0xc80a1, OFF(audio_sample_rate), "set audio sampling rate (in Hz)", "rate");
  AddOffset("ac", 0xc80a1, OFF(audio_channels), "set number of audio channels", "channels");
  AddOffset("an", 0xc4022, OFF(audio_disable), "disable audio", "");
  AddHandler("acodec", 0xc2021, TO("codec:a"), "force audio codec ('copy' to copy stream)",
             "codec");
  AddHandler("atag", 0x82025, H(opt_type_letter), "force audio tag/fourcc", "fourcc/tag");
  AddField("vol", 0xa1, &Faudio_volume, "change audio volume (256=normal)", "volume");
  AddOffset("sample_fmt", 0xc802d, OFF(sample_fmts), "set sample format", "format");
  AddOffset("channel_layout", 0xc802d, OFF(audio_ch_layouts), "set channel layout", "layout");
  AddOffset("ch_layout", 0xc802d, OFF(audio_ch_layouts), "set channel layout", "layout");
  AddHandler("af", 0x82021, TO("filter:a"), "set audio filters", "filter_graph");
  AddOffset("guess_layout_max", 0x480a5, OFF(guess_layout_max),
            "set the maximum number of channels to try to guess the channel layout", "");

  // Subtitle options.
  AddOffset("sn", 0xc4202, OFF(subtitle_disable), "disable subtitle", "");
  AddHandler("scodec", 0xc2201, TO("codec:s"), "force subtitle codec ('copy' to copy stream)",
             "codec");
  AddHandler("stag", 0x82205, H(opt_type_letter), "force subtitle tag/fourcc", "fourcc/tag");
  AddOffset("fix_sub_duration", 0x48206, OFF(fix_sub_duration), "fix subtitles duration", "");
  AddOffset("canvas_size", 0x48209, OFF(canvas_sizes), "set canvas size (WxH or abbreviation)",
            "size");

  // Muxing options.
  AddOffset("muxdelay", 0x84105, OFF(mux_max_delay), "set the maximum demux-decode delay",
            "seconds");
  AddOffset("muxpreload", 0x84105, OFF(mux_preload), "set the initial demux-decode delay",
            "seconds");
  AddHandler("sdp_file", 0x80005, H(opt_sdp_file),
             "specify a file in which to print sdp information", "file");
  AddOffset("time_base", 0x8800d, OFF(time_bases),
            "set the desired time base hint for output stream (1:24, 1:48000 or 0.04166, "
            "2.0833e-5)",
            "ratio");
  AddOffset("enc_time_base", 0x8800d, OFF(enc_time_bases),
            "set the desired time base for the encoder (1:24, 1:48000 or 0.04166, 2.0833e-5). "
            "two special values are defined - 0 = use frame rate (video) or sample rate "
            "(audio),-1 = match source time base",
            "ratio");
  AddOffset("bsf", 0x8800d, OFF(bitstream_filters), "A comma-separated list of bitstream filters",
            "bitstream_filters");
  AddHandler("absf", 0x82025, H(opt_type_letter), "deprecated", "audio bitstream_filters");
  AddHandler("vbsf", 0x82015, H(opt_type_letter), "deprecated", "video bitstream_filters");
  AddHandler("apre", 0x82025, H(opt_preset_file), "set the audio options to the indicated preset",
             "preset");
  AddHandler("vpre", 0x82015, H(opt_preset_file), "set the video options to the indicated preset",
             "preset");
  AddHandler("spre", 0x82205, H(opt_preset_file),
             "set the subtitle options to the indicated preset", "preset");
  AddHandler("fpre", 0x82005, H(opt_preset_file), "set options from indicated preset file",
             "filename");
  AddOffset("max_muxing_queue_size", 0x88085, OFF(max_muxing_queue_size),
            "maximum number of packets that can be buffered while waiting for all streams to "
            "initialize",
            "packets");
  AddOffset("muxing_queue_data_threshold", 0x88085, OFF(muxing_queue_data_threshold),
            "set the threshold after which max_muxing_queue_size is taken into account", "bytes");

  // Data stream options.
  AddHandler("dcodec", 0xc3005, TO("codec:d"), "force data codec ('copy' to copy stream)", "codec");
  AddOffset("dn", 0xc4012, OFF(data_disable), "disable data", "");

  // Hardware devices.
  AddHandler("qsv_device", 0xd, H(opt_qsv_device),
             "set QSV hardware device (DirectX adapter index, DRM path or X11 display name)",
             "device");
  AddHandler("init_hw_device", 0x5, H(opt_init_hw_device), "initialise hardware device", "args");
  AddHandler("filter_hw_device", 0x5, H(opt_filter_hw_device),
             "set hardware device used when filtering", "device");

  // Options of this engine.
  AddHandler("VideoHookBitsPixel", 0x15, H(opt_video_hook_bits), "VideoHookBitsPixel", "bpp");
  auto seconds = [this](const char *target) {
    return Tfunc_arg(
        [this, target](TOptionsContext *o, const std::string &, const std::string &arg) {
          return opt_seconds(o, target, arg);
        });
  };
  for (const char *n : {"TimeStart", "timestart"})
    AddHandler(n, 0x5, seconds("ss_microsecond"), n, "");
  for (const char *n : {"TimeLength", "timelength"})
    AddHandler(n, 0x5, seconds("t_microsecond"), n, "");
  for (const char *n : {"AudioInputHook", "AudioOutputHook", "VideoInputHook", "VideoOutputHook",
                        "FrameInputHook", "FrameOutputHook"})
    AddHandler(n, 0x800, H(opt_accepted), n, "");
  AddHandler("default", 0x1, H(opt_default_row), "AVOption passthrough", "");
  _OptionDef.emplace_back(); // end row

  for (const TOptionDef &d : _OptionDef)
    if ((d.flags & ofPerFile) && !(d.flags & (ofInput | ofOutput)))
      throw std::logic_error("per-file option without input/output flag: " + d.name);
  FOptionDef = _OptionDef.data();
}
