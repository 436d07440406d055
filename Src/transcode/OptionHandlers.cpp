// Handlers of the option table rows.
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <sstream>

#include "components/TFFLogger.h"
#include "transcode/FileReader.h"
#include "transcode/TCustomFFmpegOpt.h"
#include "transcode/common/FFErrorText.h"

namespace {

template <class T> bool ParseDecimal(const std::string &s, T &v) {
  const char *b = s.data(), *e = s.data() + s.size();
  if (b != e && *b == '+')
    ++b;
  auto r = std::from_chars(b, e, v);
  return b != e && r.ec == std::errc() && r.ptr == e;
}

// Logs msg at error level, keeps it as the engine's option error text and returns
// AVERROR(EINVAL).
int Fail(TCustomFFmpegOpt *E, const std::string &msg) {
  E->Options().ErrorText() = msg;
  Log(E, llError, msg);
  return AVERROR(EINVAL);
}

std::string SetCodecOption(TOptionsContext *o, const std::string &name, const std::string &arg) {
  ff::av_dict_set(&o->g->codec_opts, name.c_str(), arg.c_str(), 0);
  return name;
}

// A file's bytes as UTF-8 text: a byte-order mark selects UTF-8 or UTF-16, else UTF-8 is
// assumed.
std::string DecodeText(const std::string &s) {
  if (s.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return s.substr(3);
  bool le = s.compare(0, 2, "\xFF\xFE") == 0, be = s.compare(0, 2, "\xFE\xFF") == 0;
  if (!le && !be)
    return s;
  std::string out;
  for (size_t i = 2; i + 1 < s.size(); i += 2) {
    uint32_t c =
        le ? uint8_t(s[i]) | uint8_t(s[i + 1]) << 8 : uint8_t(s[i]) << 8 | uint8_t(s[i + 1]);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < s.size()) {
      uint32_t c2 = le ? uint8_t(s[i + 2]) | uint8_t(s[i + 3]) << 8
                       : uint8_t(s[i + 2]) << 8 | uint8_t(s[i + 3]);
      c = 0x10000 + ((c - 0xD800) << 10) + (c2 - 0xDC00);
      i += 2;
    }
    if (c < 0x80)
      out += char(c);
    else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

} // namespace

int TCustomFFmpegOpt::opt_ignored(TOptionsContext *, const std::string &opt, const std::string &) {
  Log(this, llWarning, "options \"%s\" not supported, ignore", opt.c_str());
  return 0;
}

int TCustomFFmpegOpt::opt_refused(TOptionsContext *, const std::string &opt, const std::string &) {
  return Fail(this, "options \"" + opt + "\" not supported");
}

int TCustomFFmpegOpt::opt_accepted(TOptionsContext *, const std::string &, const std::string &) {
  return 0;
}

int TCustomFFmpegOpt::opt_loglevel(TOptionsContext *, const std::string &, const std::string &arg) {
  return SetLogLevelOption(arg, &OptionErrorText());
}

// -max_alloc, -cpuflags and -cpucount set library state of the whole process, as they do for
// the ffmpeg tool: the last task that gives one sets it for every task. Codecs, scalers and
// filters pick their CPU routines when they are opened, so a change reaches only what opens
// later and never disturbs a running conversion's results. The lock keeps the read-modify-write
// of two tasks parsing at once from interleaving.
static std::mutex GProcessWideLock;

int TCustomFFmpegOpt::opt_max_alloc(TOptionsContext *, const std::string &,
                                    const std::string &arg) {
  size_t max = 0;
  if (!ParseDecimal(arg, max)) {
    Log(this, llFatal, "Invalid max_alloc \"%s\".", arg.c_str());
    return AVERROR(EINVAL);
  }
  std::lock_guard<std::mutex> lock(GProcessWideLock);
  ff::av_max_alloc(max);
  return 0;
}

int TCustomFFmpegOpt::opt_cpuflags(TOptionsContext *, const std::string &, const std::string &arg) {
  std::lock_guard<std::mutex> lock(GProcessWideLock);
  unsigned flags = unsigned(ff::av_get_cpu_flags());
  int ret = ff::av_parse_cpu_caps(&flags, arg.c_str());
  if (ret < 0) {
    OptionErrorText() = "Failed to parse cpu flags \"" + arg + "\": " + FFErrorText(ret);
    Log(this, llError, OptionErrorText());
    return ret;
  }
  ff::av_force_cpu_flags(int(flags));
  return 0;
}

int TCustomFFmpegOpt::opt_cpucount(TOptionsContext *, const std::string &, const std::string &arg) {
  int count = 0;
  if (!ParseDecimal(arg, count) || count < -1)
    return Fail(this, "Value \"" + arg + "\" for parameter 'count' out of range [-1 - " +
                          std::to_string(INT_MAX) + "]");
  std::lock_guard<std::mutex> lock(GProcessWideLock);
  ff::av_cpu_force_count(count);
  return 0;
}

int TCustomFFmpegOpt::opt_redispatch(TOptionsContext *o, const std::string &name,
                                     const std::string &arg) {
  int ret = ParseOption(o, name, arg);
  return ret < 0 ? ret : 0;
}

// vtag, atag, stag, absf, vbsf: the name without its first letter, a colon and that letter.
int TCustomFFmpegOpt::opt_type_letter(TOptionsContext *o, const std::string &opt,
                                      const std::string &arg) {
  return opt_redispatch(o, opt.substr(1) + ":" + opt[0], arg);
}

int TCustomFFmpegOpt::opt_qscale(TOptionsContext *o, const std::string &opt,
                                 const std::string &arg) {
  if (opt == "qscale") {
    Log(this, llWarning, "Please use -q:a or -q:v, -qscale is ambiguous");
    return opt_redispatch(o, "q:v", arg);
  }
  return opt_redispatch(o, "q" + opt.substr(6), arg);
}

int TCustomFFmpegOpt::opt_profile(TOptionsContext *o, const std::string &opt,
                                  const std::string &arg) {
  if (opt == "profile") {
    Log(this, llWarning, "Please use -profile:a or -profile:v, -profile is ambiguous");
    SetCodecOption(o, "profile:v", arg);
  } else
    SetCodecOption(o, opt, arg);
  return 0;
}

int TCustomFFmpegOpt::opt_bitrate(TOptionsContext *o, const std::string &opt,
                                  const std::string &arg) {
  if (opt == "ab")
    SetCodecOption(o, "b:a", arg);
  else if (opt == "b") {
    Log(this, llWarning, "Please use -b:a or -b:v, -b is ambiguous");
    SetCodecOption(o, "b:v", arg);
  } else
    SetCodecOption(o, opt, arg);
  return 0;
}

int TCustomFFmpegOpt::opt_timecode(TOptionsContext *o, const std::string &,
                                   const std::string &arg) {
  int ret = ParseOption(o, "metadata:g", "timecode=" + arg);
  if (ret >= 0)
    SetCodecOption(o, "gop_timecode", arg);
  return ret < 0 ? ret : 0;
}

// TimeStart, TimeLength: decimal seconds, applied as microseconds to the target row.
int TCustomFFmpegOpt::opt_seconds(TOptionsContext *o, const std::string &target,
                                  const std::string &arg) {
  double seconds = 0;
  if (!ParseDecimal(arg, seconds) || !std::isfinite(seconds) || std::fabs(seconds) > 9.2e12)
    return Fail(this, "\"" + arg + "\" is not a valid number of seconds");
  auto us = int64_t(std::nearbyint(seconds * 1000000.0)); // halves to even
  return opt_redispatch(o, target, std::to_string(us));
}

int TCustomFFmpegOpt::opt_video_hook_bits(TOptionsContext *, const std::string &,
                                          const std::string &arg) {
  int bits = 0;
  if (!ParseDecimal(arg, bits))
    return Fail(this, "\"" + arg + "\" is not a valid integer value");
  SetVideoHookBitsPixel(bits);
  return 0;
}

int TCustomFFmpegOpt::opt_default_row(TOptionsContext *, const std::string &opt,
                                      const std::string &arg) {
  return FOptions->opt_default(opt, arg);
}

int TCustomFFmpegOpt::opt_stats_period(TOptionsContext *, const std::string &opt,
                                       const std::string &arg) {
  int64_t us = 0;
  if (ff::av_parse_time(&us, arg.c_str(), 1) < 0)
    return Fail(this, "Invalid duration specification for \"" + opt + "\": \"" + arg + "\"");
  if (us <= 0)
    return Fail(this, "stats_period " + arg + " must be positive.");
  FReportInterval = us;
  Log(this, llInfo, "ffmpeg stats and -progress period set to %s.", arg.c_str());
  return 0;
}

int TCustomFFmpegOpt::opt_progress(TOptionsContext *, const std::string &, const std::string &arg) {
  const std::string url = arg == "-" ? "pipe:" : arg;
  const int same = InputNamed(url);
  if (same >= 0) // opening it would truncate the input
    return Fail(this,
                "-progress " + arg + " same as Input #" + std::to_string(same) + " - exiting");
  FLastWrite = ff::av_gettime_relative();
  AVIOContext *avio = nullptr;
  int ret = ff::avio_open2(&avio, url.c_str(), AVIO_FLAG_WRITE, &FWriteCallback, nullptr);
  if (ret < 0) {
    OptionErrorText() = "Failed to open progress URL \"" + url + "\": " + FFErrorText(ret);
    Log(this, llError, OptionErrorText());
    return ret;
  }
  Fprogress_avio.reset(avio);
  return 0;
}

int TCustomFFmpegOpt::opt_filter_complex(TOptionsContext *, const std::string &,
                                         const std::string &arg) {
  auto fg = std::make_unique<TFilterGraph>();
  fg->index = Fnb_filtergraphs();
  fg->graph_desc = arg;
  Ffiltergraphs.push_back(std::move(fg));
  Finput_stream_potentially_available = 1;
  return 0;
}

int TCustomFFmpegOpt::opt_filter_complex_script(TOptionsContext *o, const std::string &opt,
                                                const std::string &arg) {
  std::string graph;
  const TFileReadResult r = ReadWholeFile(arg, graph);
  if (!r.ok)
    return Fail(this, FileReadError("Cannot read the filter graph file \"" + arg + "\"", r));
  return opt_filter_complex(o, opt, DecodeText(graph));
}

int TCustomFFmpegOpt::opt_filter_threads(TOptionsContext *, const std::string &,
                                         const std::string &arg) {
  Ffilter_nbthreads = arg;
  return 0;
}

int TCustomFFmpegOpt::opt_sdp_file(TOptionsContext *, const std::string &, const std::string &arg) {
  Fsdp_filename = arg;
  return 0;
}

int TCustomFFmpegOpt::opt_vstats(TOptionsContext *, const std::string &, const std::string &) {
  std::time_t now = std::time(nullptr);
  std::tm lt{};
  localtime_r(&now, &lt);
  char name[64];
  std::snprintf(name, sizeof name, "vstats_%02d%02d%02d.log", lt.tm_hour, lt.tm_min, lt.tm_sec);
  Fvstats_filename = name;
  return 0;
}

int TCustomFFmpegOpt::opt_vstats_file(TOptionsContext *, const std::string &,
                                      const std::string &arg) {
  Fvstats_filename = arg;
  return 0;
}

int TCustomFFmpegOpt::opt_vsync(TOptionsContext *, const std::string &opt, const std::string &arg) {
  Log(this, llWarning, "-vsync is deprecated. Use -fps_mode");
  const int named = VideoSyncMethodByName(arg, false);
  if (named != VSYNC_UNKNOWN) {
    Fvideo_sync_method = named;
    return 0;
  }
  if (Fvideo_sync_method != VSYNC_AUTO)
    return 0;
  Log(this, llWarning,
      "Passing a number to -vsync is deprecated, use a string argument as "
      "described in the manual.");
  // As the tool: numbers only for auto, passthrough, cfr and vfr (drop has no number).
  int method = 0;
  if (!ParseDecimal(arg, method) || method < VSYNC_AUTO || method > VSYNC_VFR)
    return Fail(this, "The value for \"" + opt + "\" was \"" + arg + "\" which is invalid");
  Fvideo_sync_method = method;
  return 0;
}

int TCustomFFmpegOpt::opt_init_hw_device(TOptionsContext *, const std::string &,
                                         const std::string &arg) {
  if (arg == "list") {
    Log(this, llInfo, "Supported hardware device types:");
    for (AVHWDeviceType t = ff::av_hwdevice_iterate_types(AV_HWDEVICE_TYPE_NONE);
         t != AV_HWDEVICE_TYPE_NONE; t = ff::av_hwdevice_iterate_types(t))
      Log(this, llInfo, "%s", ff::av_hwdevice_get_type_name(t));
    return -1;
  }
  return InitHWDevice(arg);
}

int TCustomFFmpegOpt::InitHWDevice(const std::string &arg) {
  THWDevicePtr dev;
  const int ret = HWDeviceInitFromString(arg, &dev);
  if (dev)
    FHWDevices.push_back(std::move(dev));
  return ret;
}

int TCustomFFmpegOpt::opt_filter_hw_device(TOptionsContext *, const std::string &,
                                           const std::string &arg) {
  if (Ffilter_hw_device) {
    ff::av_log(nullptr, AV_LOG_ERROR, "Only one filter device can be used.\n");
    return AVERROR(EINVAL);
  }
  Ffilter_hw_device = HWDeviceGetByName(arg);
  if (!Ffilter_hw_device) {
    ff::av_log(nullptr, AV_LOG_ERROR, "Invalid filter device %s.\n", arg.c_str());
    return AVERROR(EINVAL);
  }
  return 0;
}

int TCustomFFmpegOpt::opt_qsv_device(TOptionsContext *, const std::string &,
                                     const std::string &arg) {
  return InitHWDevice("qsv=__qsv_device:hw_any,child_device=" + arg);
}

int TCustomFFmpegOpt::opt_map(TOptionsContext *, const std::string &opt, const std::string &) {
  return Fail(this, "options \"" + opt + "\" not supported");
}

int TCustomFFmpegOpt::opt_map_channel(TOptionsContext *, const std::string &opt,
                                      const std::string &) {
  return Fail(this, "options \"" + opt + "\" not supported");
}

int TCustomFFmpegOpt::opt_streamid(TOptionsContext *o, const std::string &opt,
                                   const std::string &arg) {
  size_t colon = arg.find(':');
  int64_t index = 0, value = 0;
  const std::string indexText = arg.substr(0, colon);
  const std::string valueText = colon == std::string::npos ? "" : arg.substr(colon + 1);
  if (colon == std::string::npos || !ParseDecimal(indexText, index) ||
      !ParseDecimal(valueText, value))
    return Fail(this, "Invalid value \"" + arg + "\" for option \"" + opt +
                          "\", required syntax is \"index:value\"");
  auto outOfRange = [&](const std::string &text, int64_t max) {
    return Fail(this, "The value for \"streamid\" was \"" + text + "\" which is not within 0 - " +
                          std::to_string(max));
  };
  if (index < 0 || index > 1023)
    return outOfRange(indexText, 1023);
  if (value < 0 || value > INT_MAX)
    return outOfRange(valueText, INT_MAX);
  if (o->streamid_map.size() < size_t(index) + 1)
    o->streamid_map.resize(size_t(index) + 1, 0);
  o->streamid_map[size_t(index)] = int(value);
  return 0;
}

int TCustomFFmpegOpt::opt_attach(TOptionsContext *o, const std::string &, const std::string &arg) {
  o->attachments.push_back(arg);
  return 0;
}

int TCustomFFmpegOpt::opt_recording_timestamp(TOptionsContext *o, const std::string &opt,
                                              const std::string &arg) {
  int64_t us = 0;
  if (ff::av_parse_time(&us, arg.c_str(), 0) < 0)
    return Fail(this, "Invalid date specification for \"" + opt + "\": \"" + arg + "\"");
  auto secs = std::time_t(std::nearbyint(double(us) / 1000000.0)); // halves to even
  std::tm lt{};
  if (!localtime_r(&secs, &lt))
    return Fail(this, "Invalid date specification for \"" + opt + "\": \"" + arg + "\"");
  char when[64];
  std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &lt);
  // The zone as an offset from UTC: "+" when local time is ahead of UTC.
  std::string zone = "UTC";
  if (long off = lt.tm_gmtoff) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "UTC%s%.2ld:%.2ld", off > 0 ? "+" : "-", std::labs(off) / 3600,
                  std::labs(off) % 3600 / 60);
    zone = buf;
  }
  int ret = ParseOption(o, "metadata", std::string("creation_time=") + when + " " + zone);
  Log(this, llWarning, "%s is deprecated, set the \"creation_time\" metadata tag instead.",
      opt.c_str());
  return ret < 0 ? ret : 0;
}

int TCustomFFmpegOpt::opt_preset_file(TOptionsContext *o, const std::string &,
                                      const std::string &arg) {
  std::string text;
  const TFileReadResult r = ReadWholeFile(arg, text);
  if (r.missing)
    return Fail(this, "Preset file \"" + arg + "\" not found");
  if (!r.ok)
    return Fail(this, "Preset file \"" + arg + "\" cannot be read: " + r.reason);
  text = DecodeText(text);
  Log(this, llInfo, "Parse preset file: %s", arg.c_str());
  const std::string where = arg + ": ";
  const std::string name = std::filesystem::path(arg).filename().string() + ": ";
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    int ret = ApplyPresetLine(*o, line, where, name);
    if (ret < 0)
      return ret;
  }
  return 0;
}
