#include "transcode/common/TFFOptions.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <type_traits>

#include "components/TFFLogger.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/FFmpegException.h"
#include "transcode/common/TextFormat.h"

namespace {
// An empty dictionary owns nothing; skipping it keeps an options object that never met the
// libraries (they may not be loaded) from calling into them.
void FreeDict(AVDictionary **ADict) {
  if (*ADict)
    ff::av_dict_free(ADict);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Copies one argument starting at p (not a blank) into arg; returns the position after it.
const char *ReadArgument(const char *p, std::string &arg) {
  bool quoted = false;
  while (*p && (quoted || !IsBlank(*p))) {
    if (*p == '\\') {
      size_t n = std::strspn(p, "\\");
      if (p[n] != '"') {
        arg.append(n, '\\');
        p += n;
        continue;
      }
      arg.append(n / 2, '\\');
      p += n;
      if (n % 2) {
        arg += '"';
        ++p;
      }
      continue;
    }
    if (*p == '"') {
      if (quoted && p[1] == '"') {
        arg += '"';
        p += 2;
      } else
        ++p;
      quoted = !quoted;
      continue;
    }
    arg += *p++;
  }
  return p;
}

// The whole of s as an integer or floating-point number (a leading + allowed).
template <class T> bool ParseNumber(const std::string &s, T &v) {
  const char *b = s.data(), *e = s.data() + s.size();
  if (b != e && *b == '+')
    ++b;
  auto r = std::from_chars(b, e, v);
  return r.ec == std::errc() && r.ptr == e && b != e;
}

// An option value as the tool reads numbers: an exact decimal first, else the library's
// number reader (SI suffixes such as k or M, hexadecimal); integer rows take only integral
// values within their type's range.
template <class T> bool ParseOptionNumber(const std::string &s, T &v) {
  if (ParseNumber(s, v))
    return true;
  if (s.empty())
    return false;
  char *tail = nullptr;
  const double d = ff::av_strtod(s.c_str(), &tail);
  if (!tail || *tail || std::isnan(d))
    return false;
  if constexpr (std::is_integral_v<T>) {
    const double lo = double(std::numeric_limits<T>::min());
    const double hi = double(std::numeric_limits<T>::max()) + 1.0; // exact: a power of two
    if (!(d >= lo && d < hi) || d != std::trunc(d))
      return false;
  }
  v = T(d);
  return true;
}

[[noreturn]] void ThrowExpected(const char *what, const std::string &opt, const std::string &arg) {
  throw FFmpegException(
      Format("Expected %s for \"%s\" but found \"%s\"", what, opt.c_str(), arg.c_str()));
}

// Flag options whose value starts with + or - add to the entry instead of replacing it.
int DictFlagsFor(const AVOption *o, const std::string &arg) {
  return (o->type == AV_OPT_TYPE_FLAGS && !arg.empty() && (arg[0] == '+' || arg[0] == '-'))
             ? AV_DICT_APPEND
             : 0;
}

// A found option whose flags word is 0 counts as not found.
const AVOption *FindAVOption(const AVClass *cls, const std::string &name, int searchFlags) {
  if (!cls)
    return nullptr;
  const AVOption *o = ff::av_opt_find(&cls, name.c_str(), nullptr, 0, searchFlags);
  return (o && o->flags) ? o : nullptr;
}

std::string ToUtf8(const std::wstring &w) {
  std::string s;
  for (wchar_t wc : w) {
    auto c = uint32_t(wc);
    if (c < 0x80)
      s += char(c);
    else if (c < 0x800) {
      s += char(0xC0 | (c >> 6));
      s += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += char(0xE0 | (c >> 12));
      s += char(0x80 | ((c >> 6) & 0x3F));
      s += char(0x80 | (c & 0x3F));
    } else {
      s += char(0xF0 | (c >> 18));
      s += char(0x80 | ((c >> 12) & 0x3F));
      s += char(0x80 | ((c >> 6) & 0x3F));
      s += char(0x80 | (c & 0x3F));
    }
  }
  return s;
}

void MoveDict(AVDictionary *&from, AVDictionary *&to) {
  if (to)
    throw std::logic_error("option group dictionary already set");
  to = from;
  from = nullptr;
}

} // namespace

std::vector<std::string> SplitOptionText(const std::string &AText) {
  std::vector<std::string> args;
  const char *p = AText.c_str(); // the text ends at its first zero byte
  for (;;) {
    while (IsBlank(*p))
      ++p;
    if (!*p)
      break;
    std::string arg;
    p = ReadArgument(p, arg);
    args.push_back(std::move(arg));
  }
  return args;
}

const TOptionDef *FindOption(const TOptionDef *po, const std::string &opt) {
  std::string name = opt.substr(0, opt.find(':'));
  for (; po && !po->name.empty(); ++po)
    if (po->name == name)
      return po;
  return nullptr;
}

// The level and flags belong to the process-wide logger, as -loglevel does for the ffmpeg tool:
// the last task that gives one sets them for every task. The lock makes the read-modify-write of
// both values one step when two tasks parse at once.
int SetLogLevelOption(const std::string &arg, std::string *AErrorText) {
  static std::mutex Lock;
  std::lock_guard<std::mutex> lock(Lock);
  static const struct {
    const char *name;
    int level;
  } Levels[] = {{"quiet", AV_LOG_QUIET},     {"panic", AV_LOG_PANIC},     {"fatal", AV_LOG_FATAL},
                {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
                {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG},     {"trace", AV_LOG_TRACE}};
  TFFLogger *logger = GlobalLogger();
  int flags = logger->LogFlags();
  int level = LibraryLevel(logger->LogLevel());
  const char *p = arg.c_str();
  int tokens = 0;
  while (*p) {
    const char *token = p;
    char cmd = 0;
    if (*token == '+' || *token == '-')
      cmd = *token++;
    if (!tokens && !cmd)
      flags = 0;
    if (!std::strncmp(token, "repeat", 6)) {
      flags = cmd == '-' ? (flags | AV_LOG_SKIP_REPEATED) : (flags & ~AV_LOG_SKIP_REPEATED);
      p = token + 6;
    } else if (!std::strncmp(token, "level", 5)) {
      flags = cmd == '-' ? (flags & ~AV_LOG_PRINT_LEVEL) : (flags | AV_LOG_PRINT_LEVEL);
      p = token + 5;
    } else
      break;
    ++tokens;
  }
  if (*p) {
    if (*p == '+')
      ++p;
    else if (!tokens)
      flags = logger->LogFlags();
    bool found = false;
    for (const auto &l : Levels)
      if (!std::strcmp(l.name, p)) {
        level = l.level;
        found = true;
        break;
      }
    if (!found && !ParseNumber(std::string(p), level)) {
      std::string msg = Format("Invalid loglevel \"%s\". Possible levels are numbers or:\r\n", p);
      for (const auto &l : Levels)
        msg += Format("\"%s\"\r\n", l.name);
      if (AErrorText)
        *AErrorText = msg;
      std::string lf;
      for (char c : msg)
        if (c != '\r')
          lf += c;
      ff::av_log(nullptr, AV_LOG_ERROR, "%s", lf.c_str());
      return AVERROR(EINVAL);
    }
  }
  logger->SetLogFlags(flags);
  logger->SetLogLevel(LogLevelOfLibraryLevel(level));
  return 0;
}

TFFOptions::TFFOptions() = default;

TFFOptions::~TFFOptions() {
  uninit_parse_context();
}

void TFFOptions::init_opts() {
  uninit_opts();
  ff::av_dict_set(&Fsws_dict, "flags", "bicubic", 0);
}

void TFFOptions::uninit_opts() {
  FreeDict(&Fsws_dict);
  FreeDict(&Fswr_opts);
  FreeDict(&Fformat_opts);
  FreeDict(&Fcodec_opts);
}

void TFFOptions::init_parse_context() {
  uninit_parse_context();
  init_opts();
}

void TFFOptions::uninit_parse_context() {
  TOptionGroup &f = Foctx.file_opts;
  FreeDict(&f.codec_opts);
  FreeDict(&f.format_opts);
  FreeDict(&f.sws_dict);
  FreeDict(&f.swr_opts);
  TOptionGroup &g = Foctx.global_opts;
  FreeDict(&g.codec_opts);
  FreeDict(&g.format_opts);
  FreeDict(&g.sws_dict);
  FreeDict(&g.swr_opts);
  f.opts.clear();
  g.opts.clear();
  uninit_opts();
}

void TFFOptions::AddOption(const TOptionDef *po, const std::string &key, const std::string &val) {
  TOptionGroup &g = IsGlobalOption(*po) ? Foctx.global_opts : Foctx.file_opts;
  g.opts.push_back(TOption{po, key, val});
}

void TFFOptions::FinishGroup() {
  TOptionGroup &g = Foctx.file_opts;
  MoveDict(Fcodec_opts, g.codec_opts);
  MoveDict(Fformat_opts, g.format_opts);
  MoveDict(Fsws_dict, g.sws_dict);
  MoveDict(Fswr_opts, g.swr_opts);
  init_opts();
}

int TFFOptions::parse_options(TOptionsContext *, const std::vector<std::string> &argv,
                              const TOptionDef *options, const std::string &,
                              bool AReturnOnInvalidOption) {
  ff::av_log(nullptr, AV_LOG_DEBUG, "Parsing the options.\n");
  const size_t argc = argv.size();
  for (size_t i = 0; i < argc; ++i) {
    const std::string &a = argv[i];
    ff::av_log(nullptr, AV_LOG_DEBUG, "Reading option \"%s\" ... ", a.c_str());
    if (a.size() < 2 || a[0] != '-') {
      std::string msg =
          a.empty() ? "Failed to parse options" : "Failed to parse options on \"" + a + "\"";
      if (AReturnOnInvalidOption) {
        FErrorText = msg;
        ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", msg.c_str());
        return AVERROR(EINVAL);
      }
      if (a.empty())
        ff::av_log(nullptr, AV_LOG_ERROR, "Invalid option found while parsing options, ignore\n");
      else
        ff::av_log(nullptr, AV_LOG_ERROR,
                   "Invalid option \"%s\" found while parsing options, ignore\n", a.c_str());
      continue;
    }
    const std::string opt = a.substr(1);
    const bool hasNext = i + 1 < argc;
    if (const TOptionDef *po = FindOption(options, opt)) {
      std::string val = "1";
      if (po->flags & ofHasArg) {
        if (!hasNext) {
          ff::av_log(nullptr, AV_LOG_ERROR, "Missing argument for option \"%s\".\n", opt.c_str());
          FErrorText = "Missing argument for option \"" + opt + "\".";
          return AVERROR(EINVAL);
        }
        val = argv[++i];
      }
      AddOption(po, opt, val);
      ff::av_log(nullptr, AV_LOG_DEBUG, "matched as option \"%s\" (%s) with argument \"%s\".\n",
                 po->name.c_str(), po->help.c_str(), val.c_str());
      continue;
    }
    if (hasNext) {
      int ret = opt_default(opt, argv[i + 1]);
      if (ret >= 0) {
        ff::av_log(nullptr, AV_LOG_DEBUG, "matched as AVOption \"%s\" with argument \"%s\".\n",
                   opt.c_str(), argv[i + 1].c_str());
        ++i;
        continue;
      }
      if (ret != AVERROR_OPTION_NOT_FOUND) {
        ff::av_log(nullptr, AV_LOG_ERROR, "Error parsing option \"%s\" with argument \"%s\".\n",
                   opt.c_str(), argv[i + 1].c_str());
        return ret;
      }
    }
    if (opt.compare(0, 2, "no") == 0) {
      const TOptionDef *po = FindOption(options, opt.substr(2));
      if (po && (po->flags & ofBool)) {
        AddOption(po, opt, "0");
        ff::av_log(nullptr, AV_LOG_DEBUG, "matched as option \"%s\" (%s) with argument 0.\n",
                   po->name.c_str(), po->help.c_str());
        continue;
      }
    }
    ff::av_log(nullptr, AV_LOG_ERROR, "Unrecognized option \"%s\".\n", opt.c_str());
    if (AReturnOnInvalidOption) {
      FErrorText = "Unrecognized option \"" + opt + "\".";
      return AVERROR_OPTION_NOT_FOUND;
    }
  }
  FinishGroup();
  ff::av_log(nullptr, AV_LOG_DEBUG, "Finished parsing the options.\n");
  return 0;
}

int TFFOptions::opt_default(const std::string &opt, const std::string &arg) {
  if (opt == "debug" || opt == "fdebug")
    GlobalLogger()->SetLogLevel(llDebug);
  const std::string stripped = opt.substr(0, std::min<size_t>(opt.find(':'), 127));
  const int search = AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ;
  bool consumed = false;

  const AVClass *cc = ff::avcodec_get_class();
  const AVOption *o = FindAVOption(cc, stripped, search);
  if (!o && !opt.empty() && (opt[0] == 'v' || opt[0] == 'a' || opt[0] == 's'))
    o = FindAVOption(cc, opt.substr(1), AV_OPT_SEARCH_FAKE_OBJ);
  if (o) {
    ff::av_dict_set(&Fcodec_opts, opt.c_str(), arg.c_str(), DictFlagsFor(o, arg));
    consumed = true;
  }

  o = FindAVOption(ff::avformat_get_class(), opt, search);
  if (!o)
    o = FindAVOption(ApplicationFormatClass, opt, search);
  if (o) {
    ff::av_dict_set(&Fformat_opts, opt.c_str(), arg.c_str(), DictFlagsFor(o, arg));
    if (consumed)
      ff::av_log(nullptr, AV_LOG_VERBOSE, "Routing option \"%s\" to both codec and muxer layer\n",
                 opt.c_str());
    consumed = true;
  }

  if (!consumed && (o = FindAVOption(ff::sws_get_class(), opt, search))) {
    static const char *const Refused[] = {"srcw", "srch",       "dstw",
                                          "dsth", "src_format", "dst_format"};
    for (const char *r : Refused)
      if (opt == r) {
        FErrorText = "Directly using swscale dimensions/format options is not supported, "
                     "please use the -s or -pix_fmt options";
        ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", FErrorText.c_str());
        return AVERROR(EINVAL);
      }
    ff::av_dict_set(&Fsws_dict, opt.c_str(), arg.c_str(), DictFlagsFor(o, arg));
    consumed = true;
  }

  if (!consumed && (o = FindAVOption(ff::swr_get_class(), opt, search))) {
    ff::av_dict_set(&Fswr_opts, opt.c_str(), arg.c_str(), DictFlagsFor(o, arg));
    consumed = true;
  }

  if (consumed)
    return 0;
  FErrorText = "Option not found \"" + opt + "\"";
  return AVERROR_OPTION_NOT_FOUND;
}

int TFFOptions::opt_default(const std::wstring &opt, const std::wstring &arg) {
  return opt_default(ToUtf8(opt), ToUtf8(arg));
}

int TFFOptions::FetchSwsFlags() {
  const AVDictionaryEntry *e = ff::av_dict_get(Fsws_dict, "sws_flags", nullptr, 0);
  if (!e)
    return 0;
  const AVClass *sc = ff::sws_get_class();
  const AVOption *o = ff::av_opt_find(&sc, "sws_flags", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
  int flags = 0;
  int ret = o ? ff::av_opt_eval_flags(&sc, o, e->value, &flags) : AVERROR_OPTION_NOT_FOUND;
  if (ret < 0) {
    ff::av_log(nullptr, AV_LOG_ERROR, "av_opt_eval_flags() failed\n");
    return ret;
  }
  Fsws_flags = unsigned(flags);
  return 0;
}

int TFFOptions::WriteOption(TOptionsContext *optctx, const TOptionDef *po, const std::string &opt,
                            const std::string &arg) {
  void *dst = po->u.dst_ptr;
  if (po->flags & (ofOffset | ofSpec)) {
    if (!optctx)
      throw std::logic_error("file option without a file record: " + po->name);
    dst = po->u.field(*optctx);
  }
  if (po->flags & ofSpec) {
    auto &arr = *static_cast<TSpecifierOpts *>(dst);
    if ((arr.size() + 1) * sizeof(TSpecifierOpt) >= size_t(INT_MAX))
      throw FFmpegException("Array too big.");
    TSpecifierOpt so;
    size_t colon = opt.find(':');
    if (colon != std::string::npos)
      so.specifier = opt.substr(colon + 1);
    arr.push_back(std::move(so));
    TSpecifierValue &v = arr.back().u;
    if (po->flags & ofString)
      dst = &v.str;
    else if (po->flags & (ofBool | ofInt))
      dst = &v.i;
    else if (po->flags & (ofInt64 | ofTime))
      dst = &v.i64;
    else if (po->flags & ofFloat)
      dst = &v.f;
    else
      dst = &v.dbl;
  }

  if (po->u.func_arg) {
    FErrorText.clear();
    int ret = po->u.func_arg(optctx, opt, arg);
    if (ret < 0) {
      std::string msg = Format("Failed to set value \"%s\" for option \"%s\": %s", arg.c_str(),
                               opt.c_str(), FFErrorText(ret).c_str());
      FErrorText = FErrorText.empty() ? msg : FErrorText + "\r\n" + msg;
      ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", msg.c_str());
      return ret;
    }
    return 0;
  }
  if (!dst)
    throw std::logic_error("option row without a target: " + po->name);

  if (po->flags & ofString)
    *static_cast<std::string *>(dst) = arg;
  else if (po->flags & (ofBool | ofInt)) {
    if (!ParseOptionNumber(arg, *static_cast<int *>(dst)))
      ThrowExpected("integer", opt, arg);
  } else if (po->flags & ofInt64) {
    if (!ParseOptionNumber(arg, *static_cast<int64_t *>(dst)))
      ThrowExpected("int64", opt, arg);
  } else if (po->flags & ofTime) {
    int64_t us = 0;
    if (ff::av_parse_time(&us, arg.c_str(), 1) < 0)
      throw FFmpegException(Format("Invalid %s specification for \"%s\": \"%s\"", "duration",
                                   opt.c_str(), arg.c_str()));
    *static_cast<int64_t *>(dst) = us;
  } else if (po->flags & ofFloat) {
    if (!ParseOptionNumber(arg, *static_cast<float *>(dst)))
      ThrowExpected("float", opt, arg);
  } else if (po->flags & ofDouble) {
    if (!ParseOptionNumber(arg, *static_cast<double *>(dst)))
      ThrowExpected("double", opt, arg);
  }
  return 0;
}

int TFFOptions::ParseOption(TOptionsContext *optctx, const std::string &opt, const std::string *arg,
                            const TOptionDef *options) {
  const TOptionDef *po = FindOption(options, opt);
  const std::string *val = arg;
  static const std::string One = "1", Zero = "0";
  if (!po && opt.compare(0, 2, "no") == 0) {
    po = FindOption(options, opt.substr(2));
    if (po && (po->flags & ofBool))
      val = &Zero;
    else
      po = nullptr;
  } else if (po && (po->flags & ofBool))
    val = &One;
  if (!po)
    po = FindOption(options, "default");
  if (!po) {
    FErrorText = "Unrecognized option \"" + opt + "\"";
    ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", FErrorText.c_str());
    return AVERROR(EINVAL);
  }
  if ((po->flags & ofHasArg) && !val) {
    FErrorText = "Missing argument for option \"" + opt + "\"";
    ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", FErrorText.c_str());
    return AVERROR(EINVAL);
  }
  int ret = WriteOption(optctx, po, opt, val ? *val : One);
  if (ret < 0)
    return ret;
  return (po->flags & ofHasArg) ? 1 : 0;
}

int TFFOptions::ParseOptionGroup(TOptionsContext *optctx, TOptionGroup &g, const std::string &role,
                                 uint32_t fileFlag, const std::string &fileName) {
  ff::av_log(nullptr, AV_LOG_DEBUG, "Parsing a group of options: %s.\n", role.c_str());
  for (const TOption &o : g.opts) {
    if (fileFlag && !(o.opt->flags & fileFlag)) {
      std::string msg = Format("Option %s (%s) cannot be applied to %s %s -- you are trying to "
                               "apply an input option to an output file or vice versa. Move "
                               "this option before the file it belongs to.",
                               o.key.c_str(), o.opt->help.c_str(), role.c_str(), fileName.c_str());
      FErrorText = msg;
      ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", msg.c_str());
      return AVERROR(EINVAL);
    }
    ff::av_log(nullptr, AV_LOG_DEBUG, "Applying option %s (%s) with argument %s.\n", o.key.c_str(),
               o.opt->help.c_str(), o.val.c_str());
    int ret = WriteOption(optctx, o.opt, o.key, o.val);
    if (ret < 0)
      return ret;
  }
  ff::av_log(nullptr, AV_LOG_DEBUG, "Successfully parsed a group of options.\n");
  return 0;
}
