// Option grammar: option table rows, parsed occurrences and the parse context with the codec,
// format, scaler and resampler pass-through dictionaries. One TFFOptions per engine object and
// per decoder component. Used on the thread that adds tasks and outputs only (main thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/FFAPI.h"

struct TOptionsContext;

// Row flags.
enum : uint32_t {
  ofNone = 0,
  ofHasArg = 0x1,
  ofBool = 0x2,
  ofExpert = 0x4,
  ofString = 0x8,
  ofVideo = 0x10,
  ofAudio = 0x20,
  ofInt = 0x80,
  ofFloat = 0x100,
  ofSubtitle = 0x200,
  ofInt64 = 0x400,
  ofExit = 0x800,
  ofData = 0x1000,
  ofPerFile = 0x2000,
  ofOffset = 0x4000,
  ofSpec = 0x8000,
  ofTime = 0x10000,
  ofDouble = 0x20000,
  ofInput = 0x40000,
  ofOutput = 0x80000,
};

// A handler: optctx is the file's record (null for global options), opt the name as written
// (with colon and stream specifier), arg the value. Below zero is an FFmpeg error code.
using Tfunc_arg =
    std::function<int(TOptionsContext *optctx, const std::string &opt, const std::string &arg)>;

// The field of a file's record that an ofOffset or ofSpec row writes. The table makes it from a
// typed member pointer whose type fits the row's value type (TCustomFFmpegOpt::AddFileField).
using TOptionField = std::function<void *(TOptionsContext &optctx)>;

// Exactly one member is used, chosen by the row's flags: field for ofOffset/ofSpec rows,
// func_arg when set, else dst_ptr (an engine field of the row's value type).
struct TOptionDefUnion {
  void *dst_ptr = nullptr;
  Tfunc_arg func_arg;
  TOptionField field;
};

// One table row. A table is a contiguous array ended by a row with an empty name.
struct TOptionDef {
  std::string name;
  uint32_t flags = 0;
  TOptionDefUnion u;
  std::string help;
  std::string argname;
};

// A row is global when it writes neither a file value nor a per-stream array nor has a
// per-file handler.
inline bool IsGlobalOption(const TOptionDef &po) {
  return (po.flags & (ofPerFile | ofOffset | ofSpec)) == 0;
}

// The value of one per-stream array element; the row's type says which member is used.
struct TSpecifierValue {
  std::string str;
  int i = 0;
  int64_t i64 = 0;
  float f = 0;
  double dbl = 0;
};

// One element of a per-stream (ofSpec) array: specifier is the text after the first colon of
// the option name as written ("" when there is none).
struct TSpecifierOpt {
  std::string specifier;
  TSpecifierValue u;
};
using TSpecifierOpts = std::vector<TSpecifierOpt>;

// One parsed occurrence: the matched row, the name as written and the value text.
struct TOption {
  const TOptionDef *opt = nullptr;
  std::string key;
  std::string val;
};

// Options of one group plus the pass-through dictionaries (owned by TFFOptions).
struct TOptionGroup {
  std::vector<TOption> opts;
  int nb_opts() const { return int(opts.size()); }
  AVDictionary *codec_opts = nullptr;
  AVDictionary *format_opts = nullptr;
  AVDictionary *sws_dict = nullptr;
  AVDictionary *swr_opts = nullptr;
};

struct TOptionParseContext {
  TOptionGroup global_opts;
  TOptionGroup file_opts;
};

// Splits an option text into arguments: blanks are space and tab, double quotes group, a run
// of backslashes before a quote escapes it (pairs give one backslash each), other backslashes
// are copied unchanged, and "" inside a quoted section gives one literal quote and ends it.
std::vector<std::string> SplitOptionText(const std::string &AText);

// Applies a -loglevel value ("[+|-]repeat+[+|-]level+<level>") to the library log, which the
// logger follows. AVERROR(EINVAL) for an unknown level, the message left in AErrorText.
int SetLogLevelOption(const std::string &arg, std::string *AErrorText = nullptr);

// First row of the table whose name equals opt up to its first ':'; null when none.
const TOptionDef *FindOption(const TOptionDef *po, const std::string &opt);

class TFFOptions {
public:
  TFFOptions();
  ~TFFOptions();
  TFFOptions(const TFFOptions &) = delete;
  TFFOptions &operator=(const TFFOptions &) = delete;

  unsigned &sws_flags() { return Fsws_flags; }
  AVDictionary *&sws_dict() { return Fsws_dict; }
  AVDictionary *&swr_opts() { return Fswr_opts; }
  AVDictionary *&format_opts() { return Fformat_opts; }
  AVDictionary *&codec_opts() { return Fcodec_opts; }
  TOptionParseContext &OptionParseContext() { return Foctx; }
  // The last option error message of this parse context: every parse step clears or appends
  // to it. Each engine and decoder has its own, so parses never overwrite each other's text.
  std::string &ErrorText() { return FErrorText; }

  void init_opts();
  void uninit_opts();
  void init_parse_context();
  void uninit_parse_context();

  // Splits argv into the global and the file group. inout names the file's role for messages.
  int parse_options(TOptionsContext *optctx, const std::vector<std::string> &argv,
                    const TOptionDef *options, const std::string &inout,
                    bool AReturnOnInvalidOption);
  // Pass-through of a name the table lacks to the codec/format/scaler/resampler options.
  int opt_default(const std::string &opt, const std::string &arg);
  int opt_default(const std::wstring &opt, const std::wstring &arg);
  // Evaluates sws_flags of the scaler dictionary into sws_flags(); 0 when absent.
  int FetchSwsFlags();

  // Stores one value (handlers are called; conversion errors throw FFmpegException).
  int WriteOption(TOptionsContext *optctx, const TOptionDef *po, const std::string &opt,
                  const std::string &arg);
  // Parse-and-write of one option under its name; 1 when it takes a value, 0 when not.
  int ParseOption(TOptionsContext *optctx, const std::string &opt, const std::string *arg,
                  const TOptionDef *options);
  // Applies one group; fileFlag 0 skips the input/output check.
  int ParseOptionGroup(TOptionsContext *optctx, TOptionGroup &g, const std::string &role,
                       uint32_t fileFlag, const std::string &fileName);

  // Process-wide class of the application's own format context (its children are the
  // application's registered input formats); null when there is none.
  static inline const AVClass *ApplicationFormatClass = nullptr;

private:
  void AddOption(const TOptionDef *po, const std::string &key, const std::string &val);
  void FinishGroup();

  unsigned Fsws_flags = SWS_BICUBIC;
  AVDictionary *Fsws_dict = nullptr;
  AVDictionary *Fswr_opts = nullptr;
  AVDictionary *Fformat_opts = nullptr;
  AVDictionary *Fcodec_opts = nullptr;
  TOptionParseContext Foctx;
  std::string FErrorText;
};
