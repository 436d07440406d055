#include "transcode/OutputMetadata.h"

#include <cstring>

#include "components/TFFLogger.h"
#include "transcode/SaturatedMath.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

namespace {

bool Matches(AVFormatContext *s, AVStream *st, const char *spec) {
  int ret = ff::avformat_match_stream_specifier(s, st, spec);
  if (ret < 0)
    throw FFmpegException(FFErrorText("check_stream_specifier", ret));
  return ret > 0;
}

struct TMetaSpec {
  char type = 'g';
  int index = 0;
  std::string streamSpec;
};

TMetaSpec ParseMetaType(TCustomFFmpeg &E, const std::string &arg) {
  TMetaSpec m;
  if (arg.empty())
    return m;
  m.type = arg[0];
  switch (arg[0]) {
  case 'g':
    break;
  case 's':
    if (arg.size() > 1 && arg[1] != ':')
      Fatal(&E,
            Format("Invalid metadata specifier %s.", arg.c_str() + 1)); // as the tool: "x" of "sx"
    m.streamSpec = arg.size() > 1 ? arg.substr(2) : "";
    break;
  case 'c':
  case 'p':
    if (arg.size() > 1 && arg[1] == ':')
      m.index = int(std::strtol(arg.c_str() + 2, nullptr, 0));
    break;
  default:
    Fatal(&E, Format("Invalid metadata type %c.", arg[0]));
  }
  return m;
}

struct TManual {
  bool global = false, streams = false, chapters = false;
};

AVDictionary **MetaOf(TCustomFFmpeg &E, AVFormatContext *ctx, const TMetaSpec &m) {
  auto check = [&E](int index, unsigned count, const char *desc) {
    if (index < 0 || unsigned(index) >= count)
      Fatal(&E, Format("Invalid %s index %d while processing metadata maps.", desc, index));
  };
  switch (m.type) {
  case 'c':
    check(m.index, ctx->nb_chapters, "chapter");
    return &ctx->chapters[m.index]->metadata;
  case 'p':
    check(m.index, ctx->nb_programs, "program");
    return &ctx->programs[m.index]->metadata;
  case 's':
    return nullptr;
  default:
    return &ctx->metadata;
  }
}

void CopyMetadata(TCustomFFmpeg &E, const std::string &outspec, const std::string &inspec,
                  AVFormatContext *oc, AVFormatContext *ic, TManual &manual) {
  TMetaSpec in = ParseMetaType(E, inspec);
  TMetaSpec out = ParseMetaType(E, outspec);
  if (!ic) { // -map_metadata -1: only switches the automatic copies off
    manual.global |= out.type == 'g' || outspec.empty();
    manual.streams |= out.type == 's' || outspec.empty();
    manual.chapters |= out.type == 'c' || outspec.empty();
    return;
  }
  manual.global |= in.type == 'g' || out.type == 'g';
  manual.streams |= in.type == 's' || out.type == 's';
  manual.chapters |= in.type == 'c' || out.type == 'c';

  AVDictionary **metaIn = MetaOf(E, ic, in);
  AVDictionary **metaOut = MetaOf(E, oc, out);
  if (in.type == 's') {
    for (unsigned i = 0; i < ic->nb_streams && !metaIn; i++)
      if (Matches(ic, ic->streams[i], in.streamSpec.c_str()))
        metaIn = &ic->streams[i]->metadata;
    if (!metaIn)
      Fatal(&E, Format("Stream specifier %s does not match  any streams.", in.streamSpec.c_str()));
  }
  if (out.type == 's') {
    for (unsigned i = 0; i < oc->nb_streams; i++)
      if (Matches(oc, oc->streams[i], out.streamSpec.c_str()))
        ff::av_dict_copy(&oc->streams[i]->metadata, *metaIn, AV_DICT_DONT_OVERWRITE);
  } else {
    ff::av_dict_copy(metaOut, *metaIn, AV_DICT_DONT_OVERWRITE);
  }
}

void CopyChapters(const TInputFile &ifile, const TOutputFile &of, AVFormatContext *os,
                  bool copyMetadata) {
  AVFormatContext *is = ifile.ctx.get();
  for (unsigned i = 0; i < is->nb_chapters; i++) {
    const AVChapter *in = is->chapters[i];
    if (in->time_base.num <= 0 || in->time_base.den <= 0)
      continue; // times in no unit: the file's claim cannot be placed
    const int64_t start = of.start_time == AV_NOPTS_VALUE ? 0 : of.start_time;
    const int64_t tsOff =
        ff::av_rescale_q(SatSub(start, ifile.ts_offset), AV_TIME_BASE_Q, in->time_base);
    const int64_t rt = of.recording_time == INT64_MAX
                           ? INT64_MAX
                           : ff::av_rescale_q(of.recording_time, AV_TIME_BASE_Q, in->time_base);
    if (in->end < tsOff)
      continue;
    if (rt != INT64_MAX && in->start > SatAdd(rt, tsOff))
      break;
    auto *out = static_cast<AVChapter *>(ff::av_mallocz(sizeof(AVChapter)));
    if (!out)
      throw FFmpegException(FFErrorText(AVERROR(ENOMEM)));
    out->id = in->id;
    out->time_base = in->time_base;
    out->start = std::max<int64_t>(0, SatSub(in->start, tsOff));
    out->end = std::min(rt, SatSub(in->end, tsOff));
    if (copyMetadata)
      ff::av_dict_copy(&out->metadata, in->metadata, 0);
    if (ff::av_dynarray_add_nofree(&os->chapters, reinterpret_cast<int *>(&os->nb_chapters), out) <
        0) {
      ff::av_free(out);
      throw FFmpegException(FFErrorText(AVERROR(ENOMEM)));
    }
  }
}

// Splits "key=value:key=value" (tokens may be quoted/escaped as the library's tokenizer reads).
std::vector<std::pair<std::string, std::string>> ProgramPairs(TCustomFFmpeg &E,
                                                              const std::string &text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  const char *p = text.c_str();
  while (*p) {
    char *tok = ff::av_get_token(&p, ":");
    if (!tok)
      break;
    if (*p)
      p++;
    const char *p2 = tok;
    char *key = ff::av_get_token(&p2, "=");
    std::string k = key ? key : "";
    bool hasValue = *p2 == '=';
    std::string v = hasValue ? p2 + 1 : "";
    ff::av_free(key);
    ff::av_free(tok);
    if (!hasValue)
      Fatal(&E, Format("No \"=\" character in program string %s.", text.c_str()));
    pairs.emplace_back(k, v);
  }
  return pairs;
}

void SetPrograms(TCustomFFmpeg &E, TOptionsContext &o, AVFormatContext *oc) {
  for (size_t i = 0; i < o.program.size(); i++) {
    const std::string &text = o.program[i].u.str;
    if (text.empty())
      Fatal(&E, "program string is empty.");
    auto pairs = ProgramPairs(E, text);
    int progid = int(i) + 1;
    for (auto &[k, v] : pairs)
      if (k == "program_num")
        progid = int(std::strtol(v.c_str(), nullptr, 0));
    AVProgram *program = ff::av_new_program(oc, progid);
    if (!program)
      Fatal(&E, "Could not allocate program");
    for (auto &[k, v] : pairs) {
      if (k == "title")
        ff::av_dict_set(&program->metadata, "title", v.c_str(), 0);
      else if (k == "st")
        ff::av_program_add_stream_index(oc, progid, unsigned(std::strtol(v.c_str(), nullptr, 0)));
      else if (k != "program_num")
        Fatal(&E, Format("Unknown program key %s.", k.c_str()));
    }
  }
}

void SetManualMetadata(TCustomFFmpeg &E, TOptionsContext &o, TOutputFile &of) {
  AVFormatContext *oc = of.ctx.get();
  for (const TSpecifierOpt &so : o.metadata) {
    const std::string &text = so.u.str;
    size_t eq = text.find('=');
    if (eq == std::string::npos)
      Fatal(&E, Format("No \"=\" character in metadata string %s.", text.c_str()));
    std::string key = text.substr(0, eq), val = text.substr(eq + 1);
    const char *value = val.empty() ? nullptr : val.c_str();
    TMetaSpec m = ParseMetaType(E, so.specifier);
    if (m.type == 's') {
      for (unsigned j = 0; j < oc->nb_streams; j++) {
        if (!Matches(oc, oc->streams[j], m.streamSpec.c_str()))
          continue;
        TOutputStream &ost = *E.Foutput_streams[of.ost_index + j];
        char *tail = nullptr;
        double theta = ff::av_strtod(val.c_str(), &tail);
        if (key == "rotate") {
          if (!*tail) {
            ost.rotate_overridden = 1;
            ost.rotate_override_value = theta;
          }
        } else
          ff::av_dict_set(&oc->streams[j]->metadata, key.c_str(), value, 0);
      }
      continue;
    }
    AVDictionary **dict = &oc->metadata;
    if (m.type == 'c') {
      if (m.index < 0 || unsigned(m.index) >= oc->nb_chapters)
        Fatal(&E, Format("Invalid chapter index %d in metadata specifier.", m.index));
      dict = &oc->chapters[m.index]->metadata;
    } else if (m.type == 'p') {
      if (m.index < 0 || unsigned(m.index) >= oc->nb_programs)
        Fatal(&E, Format("Invalid program index %d in metadata specifier.", m.index));
      dict = &oc->programs[m.index]->metadata;
    }
    ff::av_dict_set(dict, key.c_str(), value, 0);
  }
}

// Input dispositions are copied; -disposition overrides them. Without any -disposition, each
// media type with several streams and no default one gets its first stream (not an attached
// picture) marked default.
void SetDispositions(TCustomFFmpeg &E, TOutputFile &of) {
  AVFormatContext *oc = of.ctx.get();
  int count[AVMEDIA_TYPE_NB] = {};
  bool haveDefault[AVMEDIA_TYPE_NB] = {};
  bool manual = false;
  for (unsigned i = 0; i < oc->nb_streams; i++) {
    TOutputStream &ost = *E.Foutput_streams[of.ost_index + i];
    const int type = ost.st->codecpar->codec_type;
    if (type >= 0 && type < AVMEDIA_TYPE_NB)
      count[type]++;
    manual |= !ost.disposition.empty();
    if (ost.source_index >= 0) {
      ost.st->disposition = E.Finput_streams[ost.source_index]->st->disposition;
      if ((ost.st->disposition & AV_DISPOSITION_DEFAULT) && type >= 0 && type < AVMEDIA_TYPE_NB)
        haveDefault[type] = true;
    }
  }
  if (manual) {
    const AVClass *sc = ff::av_stream_get_class();
    const AVOption *opt = ff::av_opt_find(&sc, "disposition", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
    for (unsigned i = 0; i < oc->nb_streams; i++) {
      TOutputStream &ost = *E.Foutput_streams[of.ost_index + i];
      if (ost.disposition.empty())
        continue;
      if (!opt ||
          ff::av_opt_eval_flags(&sc, opt, ost.disposition.c_str(), &ost.st->disposition) < 0)
        Fatal(&E, "Error setting output stream dispositions");
    }
    return;
  }
  for (unsigned i = 0; i < oc->nb_streams; i++) {
    AVStream *st = oc->streams[i];
    const int type = st->codecpar->codec_type;
    if (type < 0 || type >= AVMEDIA_TYPE_NB || count[type] < 2 || haveDefault[type] ||
        (st->disposition & AV_DISPOSITION_ATTACHED_PIC))
      continue;
    st->disposition |= AV_DISPOSITION_DEFAULT;
    haveDefault[type] = true;
  }
}

} // namespace

void SetOutputMetadata(TCustomFFmpeg &E, TOptionsContext &o, TOutputFile &of) {
  AVFormatContext *oc = of.ctx.get();
  TManual manual;
  for (const TSpecifierOpt &so : o.metadata_map) {
    char *p = nullptr;
    int inIndex = int(std::strtol(so.u.str.c_str(), &p, 0));
    if (inIndex >= E.Fnb_input_files())
      Fatal(&E, Format("Invalid input file index %d while processing metadata maps", inIndex));
    CopyMetadata(E, so.specifier, *p ? p + 1 : p, oc,
                 inIndex >= 0 ? E.Finput_files[inIndex]->ctx.get() : nullptr, manual);
  }

  int chapters = o.chapters_input_file;
  if (chapters >= E.Fnb_input_files()) {
    if (chapters != INT_MAX)
      Fatal(&E, Format("Invalid input file index %d in chapter mapping.", chapters));
    chapters = -1;
    for (int i = 0; i < E.Fnb_input_files(); i++)
      if (E.Finput_files[i]->ctx->nb_chapters) {
        chapters = i;
        break;
      }
  }
  if (chapters >= 0)
    CopyChapters(*E.Finput_files[chapters], of, oc, !manual.chapters);

  if (!manual.global && E.Fnb_input_files()) {
    ff::av_dict_copy(&oc->metadata, E.Finput_files[0]->ctx->metadata, AV_DICT_DONT_OVERWRITE);
    if (o.recording_time != INT64_MAX)
      ff::av_dict_set(&oc->metadata, "duration", nullptr, 0);
    for (const char *key : {"creation_time", "company_name", "product_name", "product_version"})
      ff::av_dict_set(&oc->metadata, key, nullptr, 0);
  }
  if (!manual.streams)
    for (int i = of.ost_index; i < E.Fnb_output_streams(); i++) {
      TOutputStream &ost = *E.Foutput_streams[i];
      if (ost.source_index < 0)
        continue;
      ff::av_dict_copy(&ost.st->metadata, E.Finput_streams[ost.source_index]->st->metadata,
                       AV_DICT_DONT_OVERWRITE);
      if (!ost.stream_copy)
        ff::av_dict_set(&ost.st->metadata, "encoder", nullptr, 0);
    }

  SetPrograms(E, o, oc);
  SetManualMetadata(E, o, of);
  SetDispositions(E, of);
}
