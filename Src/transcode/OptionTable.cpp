// The engine's option table: 196 rows in lookup order, then the end row.
#include <stdexcept>
#include <string>
#include <type_traits>

#include "transcode/TCustomFFmpegOpt.h"

#define FIELD(field) &TOptionsContext::field
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

namespace {

// Whether a field of type T holds the value type a row's flags name.
template <typename T> bool FieldFitsFlags(uint32_t flags) {
  if (flags & ofSpec)
    return std::is_same_v<T, TSpecifierOpts>;
  if (flags & ofString)
    return std::is_same_v<T, std::string>;
  if (flags & (ofBool | ofInt))
    return std::is_same_v<T, int>;
  if (flags & (ofInt64 | ofTime))
    return std::is_same_v<T, int64_t>;
  if (flags & ofFloat)
    return std::is_same_v<T, float>;
  if (flags & ofDouble)
    return std::is_same_v<T, double>;
  return false;
}

} // namespace

template <typename T>
void TCustomFFmpegOpt::AddFileField(const char *name, uint32_t flags, T TOptionsContext::*field,
                                    const char *help, const char *argname) {
  if (!FieldFitsFlags<T>(flags))
    throw std::logic_error(std::string("option row of another type than its field: ") + name);
  AddRow(name, flags, help, argname);
  _OptionDef.back().u.field = [field](TOptionsContext &o) -> void * { return &(o.*field); };
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

  AddHandler("loglevel", ofHasArg, H(opt_loglevel), "set logging level", "loglevel");
  AddHandler("v", ofHasArg, H(opt_loglevel), "set logging level", "loglevel");
  AddHandler("report", ofNone, H(opt_refused), "generate a report", "");
  AddHandler("max_alloc", ofHasArg, H(opt_max_alloc),
             "set maximum size of a single allocated block", "bytes");
  AddHandler("cpuflags", ofHasArg | ofExpert, H(opt_cpuflags), "force specific cpu flags", "flags");
  AddHandler("cpucount", ofHasArg | ofExpert, H(opt_cpucount), "force specific cpu count", "count");
  AddHandler("hide_banner", ofBool | ofExpert, H(opt_ignored), "do not show program banner",
             "hide_banner");
  AddFileField("f", ofHasArg | ofString | ofOffset | ofInput | ofOutput, FIELD(format),
               "force format", "fmt");
  AddField("y", ofBool, &Ffile_overwrite, "overwrite output files", "");
  AddField("n", ofBool, &Fno_file_overwrite, "never overwrite output files", "");
  AddField("ignore_unknown", ofBool, &Fignore_unknown_streams, "Ignore unknown stream types", "");
  AddField("copy_unknown", ofBool | ofExpert, &Fcopy_unknown_streams, "Copy unknown stream types",
           "");
  AddField("recast_media", ofBool | ofExpert, &Frecast_media,
           "allow recasting stream type in order to force a decoder of different media type", "");
  AddFileField("c", ofHasArg | ofString | ofSpec | ofInput | ofOutput, FIELD(codec_names),
               "codec name", "codec");
  AddFileField("codec", ofHasArg | ofString | ofSpec | ofInput | ofOutput, FIELD(codec_names),
               "codec name", "codec");
  AddHandler("pre", ofExit, H(opt_refused), "preset name", "preset");
  AddHandler("map", ofHasArg | ofExpert | ofPerFile | ofOutput, H(opt_map),
             "set input stream mapping",
             "[-]input_file_id[:stream_specifier][,sync_file_id[:stream_specifier]]");
  AddHandler("map_channel", ofHasArg | ofExpert | ofPerFile | ofOutput, H(opt_map_channel),
             "map an audio channel from one stream to another",
             "file.stream.channel[:syncfile.syncstream]");
  AddFileField("map_metadata", ofHasArg | ofString | ofSpec | ofOutput, FIELD(metadata_map),
               "set metadata information of outfile from infile",
               "outfile[,metadata]:infile[,metadata]");
  AddFileField("map_chapters", ofHasArg | ofExpert | ofInt | ofOffset | ofOutput,
               FIELD(chapters_input_file), "set chapters mapping", "input_file_index");
  AddFileField("t", ofHasArg | ofOffset | ofTime | ofInput | ofOutput, FIELD(recording_time),
               "record or transcode \"duration\" seconds of audio/video", "duration");
  AddFileField("t_microsecond", ofHasArg | ofInt64 | ofOffset | ofInput | ofOutput,
               FIELD(recording_time), "record or transcode \"duration\" seconds of audio/video",
               "duration");
  AddFileField("to", ofHasArg | ofOffset | ofTime | ofInput | ofOutput, FIELD(stop_time),
               "record or transcode stop time", "time_stop");
  AddFileField("to_microsecond", ofHasArg | ofInt64 | ofOffset | ofOutput, FIELD(stop_time),
               "record or transcode stop time", "time_stop");
  AddFileField("fs", ofHasArg | ofInt64 | ofOffset | ofOutput, FIELD(limit_filesize),
               "set the limit file size in bytes", "limit_size");
  AddFileField("ss", ofHasArg | ofOffset | ofTime | ofInput | ofOutput, FIELD(start_time),
               "set the start time offset", "time_off");
  AddFileField("ss_microsecond", ofHasArg | ofInt64 | ofOffset | ofInput | ofOutput,
               FIELD(start_time), "set the start time offset", "time_off");
  AddFileField("sseof", ofHasArg | ofOffset | ofTime | ofInput, FIELD(start_time_eof),
               "set the start time offset relative to EOF", "time_off");
  AddFileField("seek_timestamp", ofHasArg | ofInt | ofOffset | ofInput, FIELD(seek_timestamp),
               "enable/disable seeking by timestamp with -ss", "");
  AddFileField("accurate_seek", ofBool | ofExpert | ofOffset | ofInput, FIELD(accurate_seek),
               "enable/disable accurate seeking with -ss", "");
  AddFileField("isync", ofHasArg | ofExpert | ofInt | ofOffset | ofInput, FIELD(input_sync_ref),
               "Indicate the input index for sync reference", "sync ref");
  AddFileField("itsoffset", ofHasArg | ofExpert | ofOffset | ofTime | ofInput,
               FIELD(input_ts_offset), "set the input ts offset", "time_off");
  AddFileField("itsoffset_microsecond", ofHasArg | ofExpert | ofInt64 | ofOffset | ofInput,
               FIELD(input_ts_offset), "set the input ts offset", "time_off");
  AddFileField("itsscale", ofHasArg | ofExpert | ofSpec | ofDouble | ofInput, FIELD(ts_scale),
               "set the input ts scale", "scale");
  AddHandler("timestamp", ofHasArg | ofPerFile | ofOutput, H(opt_recording_timestamp),
             "set the recording timestamp ('now' to set the current time)", "time");
  AddFileField("metadata", ofHasArg | ofString | ofSpec | ofOutput, FIELD(metadata), "add metadata",
               "string=string");
  AddFileField("program", ofHasArg | ofString | ofSpec | ofOutput, FIELD(program),
               "add program with specified streams", "title=string:st=number...");
  AddHandler("dframes", ofHasArg | ofExpert | ofPerFile | ofOutput, TO("frames:d"),
             "set the number of data frames to output", "number");
  AddHandler("benchmark", ofExit, H(opt_refused), "add timings for benchmarking", "");
  AddHandler("benchmark_all", ofExit, H(opt_refused), "add timings for each task", "");
  AddHandler("progress", ofHasArg | ofExpert, H(opt_progress),
             "write program-readable progress information", "url");
  AddHandler("stdin", ofBool | ofExpert, H(opt_accepted),
             "enable or disable interaction on standard input", "");
  AddHandler("timelimit", ofExit, H(opt_refused), "set max runtime in seconds in CPU user time",
             "limit");
  AddField("dump", ofBool | ofExpert, &Fdo_pkt_dump, "dump each input packet", "");
  AddField("hex", ofBool | ofExpert, &Fdo_hex_dump, "when dumping packets, also dump the payload",
           "");
  AddFileField("re", ofBool | ofExpert | ofOffset | ofInput, FIELD(rate_emu),
               "read input at native frame rate; equivalent to -readrate 1", "");
  AddFileField("readrate", ofHasArg | ofExpert | ofFloat | ofOffset | ofInput, FIELD(readrate),
               "read input at specified rate", "speed");
  AddHandler("target", ofHasArg | ofPerFile | ofOutput, H(opt_target),
             "specify target file type (\"vcd\", \"svcd\", \"dvd\", \"dv\" or \"dv50\" with "
             "optional prefixes \"pal-\", \"ntsc-\" or \"film-\")",
             "type");
  AddHandler("vsync", ofHasArg | ofExpert, H(opt_vsync),
             "set video sync method globally; deprecated, use -fps_mode", "");
  AddField("frame_drop_threshold", ofHasArg | ofExpert | ofFloat, &Fframe_drop_threshold,
           "frame drop threshold", "");
  AddField("async", ofHasArg | ofExpert | ofInt, &Faudio_sync_method, "audio sync method", "");
  AddField("adrift_threshold", ofHasArg | ofExpert | ofFloat, &Faudio_drift_threshold,
           "audio drift threshold", "threshold");
  AddField("copyts", ofBool | ofExpert, &Fcopy_ts, "copy timestamps", "");
  AddField("start_at_zero", ofBool | ofExpert, &Fstart_at_zero,
           "shift input timestamps to start at 0 when using copyts", "");
  AddField("copytb", ofHasArg | ofExpert | ofInt, &Fcopy_tb,
           "copy input stream time base when stream copying", "mode");
  AddFileField("shortest", ofBool | ofExpert | ofOffset | ofOutput, FIELD(shortest),
               "finish encoding within shortest input", "");
  AddFileField("bitexact", ofBool | ofExpert | ofOffset | ofInput | ofOutput, FIELD(bitexact),
               "bitexact mode", "");
  AddFileField("apad", ofHasArg | ofString | ofSpec | ofOutput, FIELD(apad), "audio pad", "");
  AddField("dts_delta_threshold", ofHasArg | ofExpert | ofFloat, &Fdts_delta_threshold,
           "timestamp discontinuity delta threshold", "threshold");
  AddField("dts_error_threshold", ofHasArg | ofExpert | ofFloat, &Fdts_error_threshold,
           "timestamp error delta threshold", "threshold");
  AddField("xerror", ofBool | ofExpert, &Fexit_on_error, "exit on error", "error");
  AddHandler("abort_on", ofHasArg | ofExpert, H(opt_ignored),
             "abort on the specified condition flags", "flags");
  AddFileField("copyinkf", ofBool | ofExpert | ofSpec | ofOutput, FIELD(copy_initial_nonkeyframes),
               "copy initial non-keyframes", "");
  AddFileField("copypriorss", ofHasArg | ofExpert | ofInt | ofSpec | ofOutput,
               FIELD(copy_prior_start), "copy or discard frames before start time", "");
  AddFileField("frames", ofHasArg | ofInt64 | ofSpec | ofOutput, FIELD(max_frames),
               "set the number of frames to output", "number");
  AddFileField("tag", ofHasArg | ofExpert | ofString | ofSpec | ofInput | ofOutput,
               FIELD(codec_tags), "force codec tag/fourcc", "fourcc/tag");
  AddFileField("q", ofHasArg | ofExpert | ofSpec | ofDouble | ofOutput, FIELD(qscale),
               "use fixed quality scale (VBR)", "q");
  AddHandler("qscale", ofHasArg | ofExpert | ofPerFile | ofOutput, H(opt_qscale),
             "use fixed quality scale (VBR)", "q");
  AddHandler("profile", ofHasArg | ofExpert | ofPerFile | ofOutput, H(opt_profile), "set profile",
             "profile");
  AddFileField("filter", ofHasArg | ofString | ofSpec | ofOutput, FIELD(filters),
               "set stream filtergraph", "filter_graph");
  AddHandler("filter_threads", ofHasArg, H(opt_filter_threads),
             "number of non-complex filter threads", "");
  AddFileField("filter_script", ofHasArg | ofString | ofSpec | ofOutput, FIELD(filter_scripts),
               "read stream filtergraph description from a file", "filename");
  AddFileField("reinit_filter", ofHasArg | ofInt | ofSpec | ofInput, FIELD(reinit_filters),
               "reinit filtergraph on input parameter changes", "");
  AddHandler("filter_complex", ofHasArg | ofExpert, H(opt_filter_complex),
             "create a complex filtergraph", "graph_description");
  AddField("filter_complex_threads", ofHasArg | ofInt, &Ffilter_complex_nbthreads,
           "number of threads for -filter_complex", "");
  AddHandler("lavfi", ofHasArg | ofExpert, H(opt_filter_complex), "create a complex filtergraph",
             "graph_description");
  AddHandler("filter_complex_script", ofHasArg | ofExpert, H(opt_filter_complex_script),
             "read complex filtergraph description from a file", "filename");
  AddField("auto_conversion_filters", ofBool | ofExpert, &Fauto_conversion_filters,
           "enable automatic conversion filters globally", "");
  AddField("stats", ofBool, &Fprint_stats, "print progress report during encoding", "");
  AddHandler("stats_period", ofHasArg | ofExpert, H(opt_stats_period),
             "set the period at which ffmpeg updates stats and -progress output", "time");
  AddHandler("attach", ofHasArg | ofExpert | ofPerFile | ofOutput, H(opt_attach),
             "add an attachment to the output file", "filename");
  AddFileField("dump_attachment", ofHasArg | ofExpert | ofString | ofSpec | ofInput,
               FIELD(dump_attachment), "extract an attachment into a file", "filename");
  AddFileField("stream_loop", ofHasArg | ofExpert | ofInt | ofOffset | ofInput, FIELD(loop),
               "set number of times input stream shall be looped", "loop count");
  AddField("debug_ts", ofBool | ofExpert, &Fdebug_ts, "print timestamp debugging info", "");
  AddHandler("max_error_rate", ofHasArg | ofFloat, H(opt_ignored),
             "ratio of decoding errors (0.0: no errors, 1.0: 100% errors) above which ffmpeg "
             "returns an error instead of success.",
             "maximum error rate");
  AddFileField("discard", ofHasArg | ofString | ofSpec | ofInput, FIELD(discard), "discard", "");
  AddFileField("disposition", ofHasArg | ofString | ofSpec | ofOutput, FIELD(disposition),
               "disposition", "");
  AddFileField("thread_queue_size", ofHasArg | ofExpert | ofInt | ofOffset | ofInput,
               FIELD(thread_queue_size),
               "set the maximum number of queued packets from the demuxer", "");
  AddField("find_stream_info", ofBool | ofExpert | ofPerFile | ofInput, &Ffind_stream_info,
           "read and decode the streams to fill missing information with heuristics", "");
  AddFileField("bits_per_raw_sample", ofHasArg | ofExpert | ofInt | ofOffset | ofSpec | ofOutput,
               FIELD(bits_per_raw_sample), "set the number of bits per raw sample", "number");

  // Video options.
  AddHandler("vframes", ofHasArg | ofVideo | ofPerFile | ofOutput, TO("frames:v"),
             "set the number of video frames to output", "number");
  AddFileField("r", ofHasArg | ofString | ofVideo | ofSpec | ofInput | ofOutput, FIELD(frame_rates),
               "set frame rate (Hz value, fraction or abbreviation)", "rate");
  AddFileField("fpsmax", ofHasArg | ofString | ofVideo | ofSpec | ofOutput, FIELD(max_frame_rates),
               "set max frame rate (Hz value, fraction or abbreviation)", "rate");
  AddFileField("s", ofHasArg | ofString | ofVideo | ofSubtitle | ofSpec | ofInput | ofOutput,
               FIELD(frame_sizes), "set frame size (WxH or abbreviation)", "size");
  AddFileField("aspect", ofHasArg | ofString | ofVideo | ofSpec | ofOutput,
               FIELD(frame_aspect_ratios), "set aspect ratio (4:3, 16:9 or 1.3333, 1.7777)",
               "aspect");
  AddFileField("pix_fmt", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofInput | ofOutput,
               FIELD(frame_pix_fmts), "set pixel format", "format");
  AddFileField("vn", ofBool | ofVideo | ofOffset | ofInput | ofOutput, FIELD(video_disable),
               "disable video", "");
  AddFileField("rc_override", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofOutput,
               FIELD(rc_overrides), "rate control override for specific intervals", "override");
  AddHandler("vcodec", ofHasArg | ofVideo | ofPerFile | ofInput | ofOutput, TO("codec:v"),
             "force video codec ('copy' to copy stream)", "codec");
  AddHandler("timecode", ofHasArg | ofVideo | ofPerFile | ofOutput, H(opt_timecode),
             "set initial TimeCode value.", "hh:mm:ss[:;.]ff");
  AddFileField("pass", ofHasArg | ofVideo | ofInt | ofSpec | ofOutput, FIELD(pass),
               "select the pass number (1 to 3)", "n");
  AddFileField("passlogfile", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofOutput,
               FIELD(passlogfiles), "select two pass log file name prefix", "prefix");
  AddField("psnr", ofBool | ofExpert | ofVideo, &Fdo_psnr, "calculate PSNR of compressed frames",
           "");
  AddHandler("vstats", ofExpert | ofVideo, H(opt_vstats), "dump video coding statistics to file",
             "");
  AddHandler("vstats_file", ofHasArg | ofExpert | ofVideo, H(opt_vstats_file),
             "dump video coding statistics to file", "file");
  AddField("vstats_version", ofHasArg | ofExpert | ofVideo | ofInt, &Fvstats_version,
           "Version of the vstats format to use.", "");
  AddHandler("vf", ofHasArg | ofVideo | ofPerFile | ofOutput, TO("filter:v"), "set video filters",
             "filter_graph");
  AddFileField("intra_matrix", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofOutput,
               FIELD(intra_matrices), "specify intra matrix coeffs", "matrix");
  AddFileField("inter_matrix", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofOutput,
               FIELD(inter_matrices), "specify inter matrix coeffs", "matrix");
  AddFileField("chroma_intra_matrix", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofOutput,
               FIELD(chroma_intra_matrices), "specify intra matrix coeffs", "matrix");
  AddFileField("top", ofHasArg | ofExpert | ofVideo | ofInt | ofSpec | ofInput | ofOutput,
               FIELD(top_field_first), "top=1/bottom=0/auto=-1 field first", "");
  AddHandler("vtag", ofHasArg | ofExpert | ofVideo | ofPerFile | ofInput | ofOutput,
             H(opt_type_letter), "force video tag/fourcc", "fourcc/tag");
  AddField("qphist", ofBool | ofExpert | ofVideo, &Fqp_hist, "show QP histogram", "");
  AddFileField("fps_mode", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofOutput,
               FIELD(fps_mode), "set framerate mode for matching video streams; overrides vsync",
               "");
  AddFileField("force_fps", ofBool | ofExpert | ofVideo | ofSpec | ofOutput, FIELD(force_fps),
               "force the selected framerate, disable the best supported framerate selection", "");
  AddHandler("streamid", ofHasArg | ofExpert | ofVideo | ofPerFile | ofOutput, H(opt_streamid),
             "set the value of an outfile streamid", "streamIndex:value");
  AddFileField("force_key_frames", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofOutput,
               FIELD(forced_key_frames), "force key frames at specified timestamps", "timestamps");
  AddHandler("ab", ofHasArg | ofAudio | ofPerFile | ofOutput, H(opt_bitrate),
             "audio bitrate (please use -b:a)", "bitrate");
  AddHandler("b", ofHasArg | ofVideo | ofPerFile | ofOutput, H(opt_bitrate),
             "video bitrate (please use -b:v)", "bitrate");
  AddFileField("hwaccel", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofInput,
               FIELD(hwaccels), "use HW accelerated decoding", "hwaccel name");
  AddFileField("hwaccel_device", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofInput,
               FIELD(hwaccel_devices), "select a device for HW acceleration", "devicename");
  AddFileField("hwaccel_output_format", ofHasArg | ofExpert | ofString | ofVideo | ofSpec | ofInput,
               FIELD(hwaccel_output_formats),
               "select output format used with HW accelerated decoding", "format");
  AddHandler("hwaccels", ofExit, H(opt_refused), "show available HW acceleration methods", "");
  AddFileField("autorotate", ofHasArg | ofBool | ofExpert | ofSpec | ofInput, FIELD(autorotate),
               "automatically insert correct rotate filters", "");
  AddFileField("autoscale", ofHasArg | ofBool | ofExpert | ofSpec | ofOutput, FIELD(autoscale),
               "automatically insert a scale filter at the end of the filter graph", "");

  // Audio options.
  AddHandler("aframes", ofHasArg | ofAudio | ofPerFile | ofOutput, TO("frames:a"),
             "set the number of audio frames to output", "number");
  AddHandler("aq", ofHasArg | ofAudio | ofPerFile | ofOutput, TO("q:a"),
             "set audio quality (codec-specific)", "quality");
  AddFileField("ar", ofHasArg | ofAudio | ofInt | ofSpec | ofInput | ofOutput,
               FIELD(audio_sample_rate), "set audio sampling rate (in Hz)", "rate");
  AddFileField("ac", ofHasArg | ofAudio | ofInt | ofSpec | ofInput | ofOutput,
               FIELD(audio_channels), "set number of audio channels", "channels");
  AddFileField("an", ofBool | ofAudio | ofOffset | ofInput | ofOutput, FIELD(audio_disable),
               "disable audio", "");
  AddHandler("acodec", ofHasArg | ofAudio | ofPerFile | ofInput | ofOutput, TO("codec:a"),
             "force audio codec ('copy' to copy stream)", "codec");
  AddHandler("atag", ofHasArg | ofExpert | ofAudio | ofPerFile | ofOutput, H(opt_type_letter),
             "force audio tag/fourcc", "fourcc/tag");
  AddField("vol", ofHasArg | ofAudio | ofInt, &Faudio_volume, "change audio volume (256=normal)",
           "volume");
  AddFileField("sample_fmt", ofHasArg | ofExpert | ofString | ofAudio | ofSpec | ofInput | ofOutput,
               FIELD(sample_fmts), "set sample format", "format");
  AddFileField("channel_layout",
               ofHasArg | ofExpert | ofString | ofAudio | ofSpec | ofInput | ofOutput,
               FIELD(audio_ch_layouts), "set channel layout", "layout");
  AddFileField("ch_layout", ofHasArg | ofExpert | ofString | ofAudio | ofSpec | ofInput | ofOutput,
               FIELD(audio_ch_layouts), "set channel layout", "layout");
  AddHandler("af", ofHasArg | ofAudio | ofPerFile | ofOutput, TO("filter:a"), "set audio filters",
             "filter_graph");
  AddFileField("guess_layout_max", ofHasArg | ofExpert | ofAudio | ofInt | ofSpec | ofInput,
               FIELD(guess_layout_max),
               "set the maximum number of channels to try to guess the channel layout", "");

  // Subtitle options.
  AddFileField("sn", ofBool | ofSubtitle | ofOffset | ofInput | ofOutput, FIELD(subtitle_disable),
               "disable subtitle", "");
  AddHandler("scodec", ofHasArg | ofSubtitle | ofPerFile | ofInput | ofOutput, TO("codec:s"),
             "force subtitle codec ('copy' to copy stream)", "codec");
  AddHandler("stag", ofHasArg | ofExpert | ofSubtitle | ofPerFile | ofOutput, H(opt_type_letter),
             "force subtitle tag/fourcc", "fourcc/tag");
  AddFileField("fix_sub_duration", ofBool | ofExpert | ofSubtitle | ofSpec | ofInput,
               FIELD(fix_sub_duration), "fix subtitles duration", "");
  AddFileField("canvas_size", ofHasArg | ofString | ofSubtitle | ofSpec | ofInput,
               FIELD(canvas_sizes), "set canvas size (WxH or abbreviation)", "size");

  // Muxing options.
  AddFileField("muxdelay", ofHasArg | ofExpert | ofFloat | ofOffset | ofOutput,
               FIELD(mux_max_delay), "set the maximum demux-decode delay", "seconds");
  AddFileField("muxpreload", ofHasArg | ofExpert | ofFloat | ofOffset | ofOutput,
               FIELD(mux_preload), "set the initial demux-decode delay", "seconds");
  AddHandler("sdp_file", ofHasArg | ofExpert | ofOutput, H(opt_sdp_file),
             "specify a file in which to print sdp information", "file");
  AddFileField("time_base", ofHasArg | ofExpert | ofString | ofSpec | ofOutput, FIELD(time_bases),
               "set the desired time base hint for output stream (1:24, 1:48000 or 0.04166, "
               "2.0833e-5)",
               "ratio");
  AddFileField("enc_time_base", ofHasArg | ofExpert | ofString | ofSpec | ofOutput,
               FIELD(enc_time_bases),
               "set the desired time base for the encoder (1:24, 1:48000 or 0.04166, 2.0833e-5). "
               "two special values are defined - 0 = use frame rate (video) or sample rate "
               "(audio),-1 = match source time base",
               "ratio");
  AddFileField("bsf", ofHasArg | ofExpert | ofString | ofSpec | ofOutput, FIELD(bitstream_filters),
               "A comma-separated list of bitstream filters", "bitstream_filters");
  AddHandler("absf", ofHasArg | ofExpert | ofAudio | ofPerFile | ofOutput, H(opt_type_letter),
             "deprecated", "audio bitstream_filters");
  AddHandler("vbsf", ofHasArg | ofExpert | ofVideo | ofPerFile | ofOutput, H(opt_type_letter),
             "deprecated", "video bitstream_filters");
  AddHandler("apre", ofHasArg | ofExpert | ofAudio | ofPerFile | ofOutput, H(opt_preset_file),
             "set the audio options to the indicated preset", "preset");
  AddHandler("vpre", ofHasArg | ofExpert | ofVideo | ofPerFile | ofOutput, H(opt_preset_file),
             "set the video options to the indicated preset", "preset");
  AddHandler("spre", ofHasArg | ofExpert | ofSubtitle | ofPerFile | ofOutput, H(opt_preset_file),
             "set the subtitle options to the indicated preset", "preset");
  AddHandler("fpre", ofHasArg | ofExpert | ofPerFile | ofOutput, H(opt_preset_file),
             "set options from indicated preset file", "filename");
  AddFileField("max_muxing_queue_size", ofHasArg | ofExpert | ofInt | ofSpec | ofOutput,
               FIELD(max_muxing_queue_size),
               "maximum number of packets that can be buffered while waiting for all streams to "
               "initialize",
               "packets");
  AddFileField("muxing_queue_data_threshold", ofHasArg | ofExpert | ofInt | ofSpec | ofOutput,
               FIELD(muxing_queue_data_threshold),
               "set the threshold after which max_muxing_queue_size is taken into account",
               "bytes");

  // Data stream options.
  AddHandler("dcodec", ofHasArg | ofExpert | ofData | ofPerFile | ofInput | ofOutput, TO("codec:d"),
             "force data codec ('copy' to copy stream)", "codec");
  AddFileField("dn", ofBool | ofVideo | ofOffset | ofInput | ofOutput, FIELD(data_disable),
               "disable data", "");

  // Hardware devices.
  AddHandler("qsv_device", ofHasArg | ofExpert | ofString, H(opt_qsv_device),
             "set QSV hardware device (DirectX adapter index, DRM path or X11 display name)",
             "device");
  AddHandler("init_hw_device", ofHasArg | ofExpert, H(opt_init_hw_device),
             "initialise hardware device", "args");
  AddHandler("filter_hw_device", ofHasArg | ofExpert, H(opt_filter_hw_device),
             "set hardware device used when filtering", "device");

  // Options of this engine.
  AddHandler("VideoHookBitsPixel", ofHasArg | ofExpert | ofVideo, H(opt_video_hook_bits),
             "VideoHookBitsPixel", "bpp");
  auto seconds = [this](const char *target) {
    return Tfunc_arg(
        [this, target](TOptionsContext *o, const std::string &, const std::string &arg) {
          return opt_seconds(o, target, arg);
        });
  };
  for (const char *n : {"TimeStart", "timestart"})
    AddHandler(n, ofHasArg | ofExpert, seconds("ss_microsecond"), n, "");
  for (const char *n : {"TimeLength", "timelength"})
    AddHandler(n, ofHasArg | ofExpert, seconds("t_microsecond"), n, "");
  for (const char *n : {"AudioInputHook", "AudioOutputHook", "VideoInputHook", "VideoOutputHook",
                        "FrameInputHook", "FrameOutputHook"})
    AddHandler(n, ofExit, H(opt_accepted), n, "");
  AddHandler("default", ofHasArg, H(opt_default_row), "AVOption passthrough", "");
  _OptionDef.emplace_back(); // end row

  for (const TOptionDef &d : _OptionDef)
    if ((d.flags & ofPerFile) && !(d.flags & (ofInput | ofOutput)))
      throw std::logic_error("per-file option without input/output flag: " + d.name);
  FOptionDef = _OptionDef.data();
}
