// -target: the option sets of the VCD, SVCD, DVD and DV targets.
#include <cmath>

#include "components/TFFLogger.h"
#include "transcode/TCustomFFmpegOpt.h"
#include "transcode/common/FFOwners.h"

namespace {

enum TNorm { PAL, NTSC, FILM, UNKNOWN };

} // namespace

// Norm of the first video stream of the inputs opened so far whose time base decides it.
int TCustomFFmpegOpt::DetectTargetNorm() const {
  for (const auto &f : Finput_files) {
    AVFormatContext *ctx = f->ctx.get();
    for (unsigned i = 0; ctx && i < ctx->nb_streams; ++i) {
      const AVStream *st = ctx->streams[i];
      if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || st->time_base.num <= 0)
        continue;
      long long fr = std::llround(st->time_base.den * 1000.0 / st->time_base.num);
      if (fr == 25000)
        return PAL;
      if (fr == 29970 || fr == 23976)
        return NTSC;
    }
  }
  return UNKNOWN;
}

int TCustomFFmpegOpt::opt_target(TOptionsContext *o, const std::string &, const std::string &arg) {
  static const char *const FrameRates[] = {"25", "30000/1001", "24000/1001"};
  int norm = UNKNOWN;
  std::string type = arg;
  for (auto [prefix, n] : {std::pair{"pal-", PAL}, {"ntsc-", NTSC}, {"film-", FILM}})
    if (arg.rfind(prefix, 0) == 0) {
      norm = n;
      type = arg.substr(std::char_traits<char>::length(prefix));
    }
  if (norm == UNKNOWN) {
    norm = DetectTargetNorm();
    if (norm == UNKNOWN)
      throw FFmpegException("Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\n"
                            "Please prefix target with \"pal-\", \"ntsc-\" or \"film-\",\r\n"
                            "or set a framerate with \"-r xxx\".");
    Log(this, llInfo, "Assuming %s for target.", norm == PAL ? "PAL" : "NTSC");
  }
  const bool pal = norm == PAL;

  int ret = 0;
  auto opt = [&](const char *name, const std::string &value) {
    if (ret >= 0)
      ret = ParseOption(o, name, value);
  };
  TDict codecOpts, formatOpts; // freed on every way out, a throwing option included
  auto codec = [&](const char *name, const char *value) {
    ff::av_dict_set(codecOpts.Ref(), name, value, 0);
  };
  auto format = [&](const char *name, const char *value) {
    ff::av_dict_set(formatOpts.Ref(), name, value, 0);
  };

  if (type == "vcd") {
    opt("c:v", "mpeg1video");
    opt("c:a", "mp2");
    opt("f", "vcd");
    opt("s", pal ? "352x288" : "352x240");
    opt("r", FrameRates[norm]);
    codec("g", pal ? "15" : "18");
    codec("b:v", "1150000");
    codec("maxrate:v", "1150000");
    codec("minrate:v", "1150000");
    codec("bufsize:v", "327680");
    codec("b:a", "224000");
    opt("ar", "44100");
    opt("ac", "2");
    format("packetsize", "2324");
    format("muxrate", "1411200");
    // Initial demux-decode delay of a VCD: (36000 + 3 * 1200) / 90000 s.
    o->mux_preload = 0.44f;
  } else if (type == "svcd") {
    opt("c:v", "mpeg2video");
    opt("c:a", "mp2");
    opt("f", "svcd");
    opt("s", pal ? "480x576" : "480x480");
    opt("r", FrameRates[norm]);
    opt("pix_fmt", "yuv420p");
    codec("g", pal ? "15" : "18");
    codec("b:v", "2040000");
    codec("maxrate:v", "2516000");
    codec("minrate:v", "0");
    codec("bufsize:v", "1835008");
    codec("scan_offset", "1");
    codec("b:a", "224000");
    opt("ar", "44100");
    format("packetsize", "2324");
  } else if (type == "dvd") {
    opt("c:v", "mpeg2video");
    opt("c:a", "ac3");
    opt("f", "dvd");
    opt("s", pal ? "720x576" : "720x480");
    opt("r", FrameRates[norm]);
    opt("pix_fmt", "yuv420p");
    codec("g", pal ? "15" : "18");
    codec("b:v", "6000000");
    codec("maxrate:v", "9000000");
    codec("minrate:v", "0");
    codec("bufsize:v", "1835008");
    format("packetsize", "2048");
    format("muxrate", "10080000");
    codec("b:a", "448000");
    opt("ar", "48000");
  } else if (type.rfind("dv", 0) == 0) {
    opt("f", "dv");
    opt("s", pal ? "720x576" : "720x480");
    opt("pix_fmt", type == "dv50" ? "yuv422p" : (pal ? "yuv420p" : "yuv411p"));
    opt("r", FrameRates[norm]);
    opt("ar", "48000");
    opt("ac", "2");
  } else {
    OptionErrorText() = "Unknown target: " + type;
    Log(this, llError, OptionErrorText());
    return AVERROR(EINVAL);
  }
  // The text's own codec and format options win, wherever they stand.
  ff::av_dict_copy(&o->g->codec_opts, codecOpts.Get(), AV_DICT_DONT_OVERWRITE);
  ff::av_dict_copy(&o->g->format_opts, formatOpts.Get(), AV_DICT_DONT_OVERWRITE);
  return ret < 0 ? ret : 0;
}
