#include "transcode/TCustomFFmpegOpt.h"

#include <algorithm>

#include "components/TFFLogger.h"
#include "transcode/SignalledStop.h"
#include "transcode/common/FFErrorText.h"

namespace {

std::string Trim(const std::string &s) {
  const char *blanks = " \t\r\n\f\v";
  size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos)
    return {};
  return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

// Line breaks (CR LF, CR, LF) made LF.
std::string ToLF(const std::string &s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      r += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n')
        ++i;
    } else
      r += s[i];
  }
  return r;
}

std::string ToCRLF(const std::string &s) {
  std::string r;
  for (char c : ToLF(s)) {
    if (c == '\n')
      r += '\r';
    r += c;
  }
  return r;
}

std::string ReplaceAll(std::string s, const std::string &what, const std::string &with) {
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + with.size()))
    s.replace(p, what.size(), with);
  return s;
}

} // namespace

TCustomFFmpegOpt::TCustomFFmpegOpt() : FOptions(std::make_unique<TFFOptions>()) {
  FReadCallback.callback = ReadInterrupt;
  FReadCallback.opaque = this;
  FWriteCallback.callback = WriteInterrupt;
  FWriteCallback.opaque = this;
}

TCustomFFmpegOpt::~TCustomFFmpegOpt() = default;

void TCustomFFmpegOpt::InitOptionsContext(TOptionsContext &o) {
  o = TOptionsContext{};
  FOptions->init_parse_context();
  o.g = &FOptions->OptionParseContext().file_opts;
}

void TCustomFFmpegOpt::UninitOptionsContext(TOptionsContext &o) {
  o = TOptionsContext{};
  FOptions->uninit_parse_context();
}

int TCustomFFmpegOpt::ParseOption(TOptionsContext *optctx, const std::string &opt,
                                  const std::string &arg) {
  return FOptions->ParseOption(optctx, opt, &arg, OptionDef());
}

int TCustomFFmpegOpt::ParseLogLevel(const std::vector<std::string> &argv) {
  auto find = [&](const std::string &wanted) -> int {
    for (size_t i = 0; i < argv.size(); ++i) {
      const std::string &a = argv[i];
      if (a.size() < 2 || a[0] != '-')
        continue;
      std::string opt = a.substr(1);
      const TOptionDef *po = FindOption(FOptionDef, opt);
      if (!po && opt.compare(0, 2, "no") == 0)
        po = FindOption(FOptionDef, opt.substr(2));
      if (po ? po->name == wanted : opt == wanted)
        return int(i);
      if (!po || (po->flags & ofHasArg))
        ++i;
    }
    return -1;
  };
  int i = find("loglevel");
  if (i < 0)
    i = find("v");
  if (i >= 0 && size_t(i) + 1 < argv.size())
    SetLogLevelOption(argv[i + 1]);
  return 0;
}

int TCustomFFmpegOpt::ParseOptions(TOptionsContext &optctx, const std::string &text,
                                   uint32_t fileFlag, const std::string &fileName,
                                   const std::string &role, const std::string &presets) {
  BuildOptionTable();
  int r;
  if (!text.empty()) {
    Log(this, llInfo, "ParseOptions for %s: %s", role.c_str(), text.c_str());
    std::vector<std::string> argv = SplitOptionText(text);
    ParseLogLevel(argv);
    OptionErrorText().clear();
    r = FOptions->parse_options(&optctx, argv, FOptionDef, role, HaltOnInvalidOption);
    TOptionParseContext &ctx = FOptions->OptionParseContext();
    // Global rows write engine fields; the file's record is passed along all the same so
    // that TimeStart/TimeLength (global rows) can set the file's start and duration.
    if (r >= 0 && ctx.global_opts.nb_opts() > 0)
      r = FOptions->ParseOptionGroup(&optctx, ctx.global_opts, "global", 0, "");
    if (r >= 0)
      r = ParsePresets(optctx, presets, role);
    if (r >= 0 && ctx.file_opts.nb_opts() > 0)
      r = FOptions->ParseOptionGroup(&optctx, ctx.file_opts, role, fileFlag, fileName);
  } else
    r = ParsePresets(optctx, presets, role);
  if (r >= 0)
    return r;
  const std::string err = FFErrorText(r);
  Log(this, llFatal, err);
  if (!HaltOnInvalidOption)
    return 0;
  FLastErrMsg = OptionErrorText().empty() ? err : OptionErrorText() + "\r\n" + err;
  return r;
}

int TCustomFFmpegOpt::ParsePresets(TOptionsContext &optctx, const std::string &presets,
                                   const std::string &role) {
  if (presets.empty())
    return 0;
  BuildOptionTable();
  Log(this, llInfo, "ParsePresets for %s:%s%s", role.c_str(), "\r\n", ToCRLF(presets).c_str());
  std::string text = ReplaceAll(ToLF(Trim(presets)), "<CRLF>", "\n");
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    int ret = ApplyPresetLine(optctx, text.substr(start, end - start), "", "");
    if (ret < 0)
      return ret;
    start = end + 1;
  }
  return 0;
}

// One line of a preset text or preset file. where/fileName prefix the messages of a preset
// file ("path: " and "name: "); both are empty for a preset text.
int TCustomFFmpegOpt::ApplyPresetLine(TOptionsContext &o, const std::string &rawLine,
                                      const std::string &where, const std::string &fileName) {
  const std::string line = Trim(rawLine);
  if (line.empty() || line[0] == '#')
    return 0;
  size_t eq = line.find('=');
  const std::string key = Trim(line.substr(0, eq));
  const std::string value = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
  if (key.empty() || value.empty()) {
    std::string msg = where + "Invalid syntax: \"" + line + "\"";
    Log(this, llError, msg);
    if (HaltOnInvalidOption) {
      OptionErrorText() = msg;
      return AVERROR(EINVAL);
    }
  }
  ff::av_log(nullptr, AV_LOG_DEBUG, "Applying preset %s with argument %s.\n", key.c_str(),
             value.c_str());
  OptionErrorText().clear();
  int ret;
  static const char *const CodecKeys[][2] = {
      {"acodec", "codec:a"}, {"vcodec", "codec:v"}, {"scodec", "codec:s"}, {"dcodec", "codec:d"}};
  const char *codecOpt = nullptr;
  for (const auto &k : CodecKeys)
    if (ff::av_strcasecmp(key.c_str(), k[0]) == 0)
      codecOpt = k[1];
  if (codecOpt)
    ret = ParseOption(&o, codecOpt, value);
  else {
    // Fresh codec and format dictionaries; their entries go to the file group.
    AVDictionary *savedCodec = FOptions->codec_opts(), *savedFormat = FOptions->format_opts();
    FOptions->codec_opts() = nullptr;
    FOptions->format_opts() = nullptr;
    ret = FOptions->opt_default(key, value);
    if (o.g) {
      ff::av_dict_copy(&o.g->codec_opts, FOptions->codec_opts(), 0);
      ff::av_dict_copy(&o.g->format_opts, FOptions->format_opts(), 0);
    }
    ff::av_dict_free(&FOptions->codec_opts());
    ff::av_dict_free(&FOptions->format_opts());
    FOptions->codec_opts() = savedCodec;
    FOptions->format_opts() = savedFormat;
  }
  if (ret < 0) {
    std::string msg = fileName + "Invalid option or argument: \"" + line + "\", parsed as \"" +
                      key + "\" = \"" + value + "\"";
    Log(this, llError, msg);
    if (HaltOnInvalidOption) {
      OptionErrorText() = OptionErrorText().empty() ? msg : OptionErrorText() + "\r\n" + msg;
      return ret;
    }
  }
  return 0;
}

bool TCustomFFmpegOpt::CheckStreamSpecifier(AVFormatContext *s, AVStream *st,
                                            const std::string &spec) {
  int ret = ff::avformat_match_stream_specifier(s, st, spec.c_str());
  if (ret < 0)
    throw FFmpegException(FFErrorText("check_stream_specifier", ret));
  return ret > 0;
}

const TSpecifierOpt *TCustomFFmpegOpt::MatchPerStreamOpt(const TSpecifierOpts &opts,
                                                         AVFormatContext *s, AVStream *st) {
  const TSpecifierOpt *found = nullptr;
  for (const TSpecifierOpt &so : opts)
    if (CheckStreamSpecifier(s, st, so.specifier))
      found = &so;
  return found;
}

std::string TCustomFFmpegOpt::MatchPerStreamStr(const TSpecifierOpts &opts, AVFormatContext *s,
                                                AVStream *st, const std::string &def) {
  const TSpecifierOpt *so = MatchPerStreamOpt(opts, s, st);
  return so ? so->u.str : def;
}

int TCustomFFmpegOpt::MatchPerStreamInt(const TSpecifierOpts &opts, AVFormatContext *s,
                                        AVStream *st, int def) {
  const TSpecifierOpt *so = MatchPerStreamOpt(opts, s, st);
  return so ? so->u.i : def;
}

int64_t TCustomFFmpegOpt::MatchPerStreamInt64(const TSpecifierOpts &opts, AVFormatContext *s,
                                              AVStream *st, int64_t def) {
  const TSpecifierOpt *so = MatchPerStreamOpt(opts, s, st);
  return so ? so->u.i64 : def;
}

float TCustomFFmpegOpt::MatchPerStreamFloat(const TSpecifierOpts &opts, AVFormatContext *s,
                                            AVStream *st, float def) {
  const TSpecifierOpt *so = MatchPerStreamOpt(opts, s, st);
  return so ? so->u.f : def;
}

double TCustomFFmpegOpt::MatchPerStreamDouble(const TSpecifierOpts &opts, AVFormatContext *s,
                                              AVStream *st, double def) {
  const TSpecifierOpt *so = MatchPerStreamOpt(opts, s, st);
  return so ? so->u.dbl : def;
}

// A stop request (or a stop signal) aborts reads only: writing must go on so that a stopped
// task still gets its trailers. AStamp 0: not stamped yet.
int TCustomFFmpegOpt::InterruptCheck(int64_t AStamp, int ATimeoutMs, bool AReading) const {
  if (AReading && (FBroken || GSignalledStop)) {
    Log(this, llInfo, "reading/writing broken");
    return 1;
  }
  if (AStamp && ATimeoutMs > 0 && ff::av_gettime_relative() - AStamp > int64_t(ATimeoutMs) * 1000) {
    Log(this, llInfo, AReading ? "connecting/reading timeout" : "connecting/writing timeout");
    return 1;
  }
  return 0;
}

int TCustomFFmpegOpt::ReadInterrupt(void *AEngine) {
  auto *e = static_cast<TCustomFFmpegOpt *>(AEngine);
  return e->InterruptCheck(e->FLastRead, e->FReadTimeout, true);
}

int TCustomFFmpegOpt::WriteInterrupt(void *AEngine) {
  auto *e = static_cast<TCustomFFmpegOpt *>(AEngine);
  return e->InterruptCheck(e->FLastWrite, e->FWriteTimeout, false);
}
