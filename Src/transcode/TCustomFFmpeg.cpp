#include "transcode/TCustomFFmpeg.h"

#include <sys/stat.h>

#include <cctype>
#include <cinttypes>
#include <climits>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "components/TFFLogger.h"
#include "transcode/FileReader.h"
#include "transcode/HWDevices.h"
#include "transcode/OutputMetadata.h"
#include "transcode/ReplacedOutput.h"
#include "transcode/SaturatedMath.h"
#include "transcode/StreamMaps.h"
#include "transcode/StreamSelection.h"
#include "transcode/TAppFormats.h"
#include "transcode/TInputStreamFactory.h"
#include "transcode/TOutputStreamFactory.h"
#include "transcode/TTaskHooks.h"
#include "transcode/TaskControl.h"
#include "transcode/TranscodeLoop.h"
#include "transcode/common/CodecOptions.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TextFormat.h"

namespace {

// Value of the last element whose specifier is exactly spec ("v", "a", ...), or empty.
std::string LastOfType(const TSpecifierOpts &opts, const char *spec) {
  std::string value;
  for (const TSpecifierOpt &so : opts)
    if (so.specifier == spec)
      value = so.u.str;
  return value;
}

bool FileExists(const std::string &path) {
  struct stat sb;
  return ::stat(path.c_str(), &sb) == 0;
}

// The local path a name opens through the file protocol ("file:" removed), or empty.
std::string LocalPath(const std::string &name) {
  const char *proto = ff::avio_find_protocol_name(name.c_str());
  if (!proto || std::strcmp(proto, "file") != 0)
    return {};
  return name.rfind("file:", 0) == 0 ? name.substr(5) : name;
}

// Whether two local paths name one file: the same spelling, or another one, a symlink or a
// hard link (device and inode).
bool SameFile(const std::string &a, const std::string &b) {
  std::error_code ec;
  return !a.empty() && !b.empty() && (a == b || std::filesystem::equivalent(a, b, ec));
}

// The local files a URL reads: its file, or the files under cache:, subfile and concat:
// ("concat:a.ts|b.ts", "subfile,,start,0,end,99,,:a.ts").
std::vector<std::string> LocalFilesOf(const std::string &url) {
  const char *proto = ff::avio_find_protocol_name(url.c_str());
  const std::string name = proto ? proto : "";
  if (name == "file")
    return {LocalPath(url)};
  const size_t colon = url.find(':');
  if (colon == std::string::npos || (name != "cache" && name != "subfile" && name != "concat"))
    return {};
  const std::string inner = url.substr(colon + 1);
  if (name != "concat")
    return LocalFilesOf(inner);
  std::vector<std::string> files;
  std::istringstream parts(inner);
  for (std::string part; std::getline(parts, part, '|');)
    for (const std::string &file : LocalFilesOf(part))
      files.push_back(file);
  return files;
}

// "-" stands for standard input or output, as in the ffmpeg tool.
std::string PipeName(const std::string &name) {
  return name == "-" ? "pipe:" : name;
}

// Whether name can be a file that pattern makes: %d or %0Nd stand for a number, %% for a
// percent sign, any other conversion (a time format of the segment muxer) for anything.
bool PatternCanName(const char *pattern, const char *name) {
  if (!*pattern)
    return !*name;
  if (pattern[0] == '%' && pattern[1] == '%')
    return *name == '%' && PatternCanName(pattern + 2, name + 1);
  if (pattern[0] != '%')
    return *pattern == *name && PatternCanName(pattern + 1, name + 1);
  const char *conv = pattern + 1;
  while (std::isdigit(static_cast<unsigned char>(*conv)))
    ++conv;
  if (!*conv)
    return false;
  const bool number = *conv == 'd';
  for (const char *end = name + 1; end <= name + std::strlen(name); ++end) {
    if (number && !std::isdigit(static_cast<unsigned char>(end[-1])))
      break;
    if (PatternCanName(conv + 1, end))
      return true;
  }
  return false;
}

// The file names a muxer that opens its files itself may write: the slaves of a tee ("[opts]name"
// separated by '|'), else the name itself, which may be a pattern.
std::vector<std::string> LaterOutputNames(const AVOutputFormat *fmt, const std::string &name) {
  if (std::strcmp(fmt->name, "tee") != 0)
    return {name};
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= name.size()) {
    size_t bar = name.find('|', start);
    std::string slave = name.substr(start, bar == std::string::npos ? bar : bar - start);
    if (!slave.empty() && slave[0] == '[') {
      const size_t close = slave.find(']');
      slave = close == std::string::npos ? std::string() : slave.substr(close + 1);
    }
    if (!slave.empty())
      names.push_back(slave);
    if (bar == std::string::npos)
      break;
    start = bar + 1;
  }
  return names;
}

} // namespace

int TCustomFFmpeg::OpenInputFile(TOptionsContext &o, const std::string &Options,
                                 const std::string &FileName, const std::string &Presets) {
  ForgetErrors();
  const TErrorReceiverScope receiver(this);
  try {
    return ExplainOpenFailure(DoOpenInputFile(o, Options, PipeName(FileName), Presets));
  } catch (const std::exception &e) {
    FLastErrMsg = e.what();
    RethrowExplained();
  }
}

void TCustomFFmpeg::ErrorLogged(const std::string &AText, bool ALibrary) const {
  std::lock_guard lock(FErrorsLock);
  std::string &first = ALibrary ? FFirstLibraryError : FFirstError;
  if (first.empty())
    first = AText;
}

void TCustomFFmpeg::ForgetErrors() {
  std::lock_guard lock(FErrorsLock);
  FFirstError.clear();
  FFirstLibraryError.clear();
}

namespace {

void AddLine(std::string &AText, const std::string &ALine) {
  if (!ALine.empty() && AText.find(ALine) == std::string::npos)
    AText += (AText.empty() ? "" : "\r\n") + ALine;
}

} // namespace

std::string TCustomFFmpeg::ExplainedError(const std::string &AText) const {
  std::lock_guard lock(FErrorsLock);
  std::string text = FFirstError;
  AddLine(text, FFirstLibraryError);
  AddLine(text, AText);
  return text;
}

void TCustomFFmpeg::RethrowExplained() {
  const std::string told = FLastErrMsg;
  ExplainOpenFailure(AVERROR(EINVAL));
  if (FLastErrMsg == told)
    throw;
  throw FFmpegException(FLastErrMsg);
}

int TCustomFFmpeg::ExplainOpenFailure(int ret) {
  if (ret < 0) {
    std::lock_guard lock(FErrorsLock);
    AddLine(FLastErrMsg, FFirstLibraryError);
  }
  return ret;
}

bool TCustomFFmpeg::ResolveStopTime(TOptionsContext &o) {
  if (o.stop_time != INT64_MAX && o.recording_time != INT64_MAX) {
    o.stop_time = INT64_MAX;
    Log(this, llWarning, "-t and -to cannot be used together; using -t.");
  }
  if (o.stop_time != INT64_MAX && o.recording_time == INT64_MAX) {
    int64_t start = o.start_time == AV_NOPTS_VALUE ? 0 : o.start_time;
    if (o.stop_time <= start) {
      FLastErrMsg = "-to value smaller than -ss; aborting.";
      Log(this, llError, "%s", FLastErrMsg.c_str());
      return false;
    }
    o.recording_time = SatSub(o.stop_time, start);
  }
  return true;
}

const AVCodec *TCustomFFmpeg::FindCodecOrDie(const std::string &name, AVMediaType type,
                                             bool encoder) const {
  const char *kind = encoder ? "encoder" : "decoder";
  const AVCodec *codec = encoder ? ff::avcodec_find_encoder_by_name(name.c_str())
                                 : ff::avcodec_find_decoder_by_name(name.c_str());
  if (!codec) {
    const AVCodecDescriptor *desc = ff::avcodec_descriptor_get_by_name(name.c_str());
    if (desc) {
      codec = encoder ? ff::avcodec_find_encoder(desc->id) : ff::avcodec_find_decoder(desc->id);
      if (codec)
        Log(this, llVerbose, "Matched %s \"%s\" for codec \"%s\".", kind, codec->name, desc->name);
    }
  }
  if (!codec)
    Fatal(this, Format("Unknown %s '%s'", kind, name.c_str()));
  if (codec->type != type && !Frecast_media)
    Fatal(this, Format("Invalid %s type '%s'", kind, name.c_str()));
  return codec;
}

const AVCodec *TCustomFFmpeg::ChooseDecoder(TOptionsContext &o, AVFormatContext *s,
                                            AVStream *st) const {
  std::string name = MatchPerStreamStr(o.codec_names, s, st);
  if (name.empty())
    return ff::avcodec_find_decoder(st->codecpar->codec_id);
  const AVCodec *codec = FindCodecOrDie(name, st->codecpar->codec_type, false);
  st->codecpar->codec_id = codec->id;
  if (Frecast_media && st->codecpar->codec_type != codec->type)
    st->codecpar->codec_type = codec->type;
  return codec;
}

// Per-stream values that demuxers read as their own options; the last element wins whatever
// its specifier. ch_layout and framerate only for a forced format that has such an option.
void TCustomFFmpeg::SetPerFormatOptions(TOptionsContext &o, const AVInputFormat *fmt) {
  AVDictionary **fo = &o.g->format_opts;
  auto hasPrivate = [fmt](const char *name) {
    const AVClass *pc = fmt ? fmt->priv_class : nullptr;
    return pc && ff::av_opt_find(&pc, name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
  };
  if (!o.audio_sample_rate.empty())
    ff::av_dict_set_int(fo, "sample_rate", o.audio_sample_rate.back().u.i, 0);
  if (!o.audio_channels.empty() && hasPrivate("ch_layout"))
    ff::av_dict_set(fo, "ch_layout", Format("%dC", o.audio_channels.back().u.i).c_str(), 0);
  if (!o.audio_ch_layouts.empty() && hasPrivate("ch_layout"))
    ff::av_dict_set(fo, "ch_layout", o.audio_ch_layouts.back().u.str.c_str(), 0);
  if (!o.frame_rates.empty() && hasPrivate("framerate"))
    ff::av_dict_set(fo, "framerate", o.frame_rates.back().u.str.c_str(), 0);
  if (!o.frame_sizes.empty())
    ff::av_dict_set(fo, "video_size", o.frame_sizes.back().u.str.c_str(), 0);
  if (!o.frame_pix_fmts.empty())
    ff::av_dict_set(fo, "pixel_format", o.frame_pix_fmts.back().u.str.c_str(), 0);
}

void TCustomFFmpeg::SetForcedDecoders(TOptionsContext &o, AVFormatContext *ic) {
  struct {
    const char *spec;
    AVMediaType type;
    const AVCodec **codec;
    AVCodecID *id;
  } forced[] = {
      {"v", AVMEDIA_TYPE_VIDEO, &ic->video_codec, &ic->video_codec_id},
      {"a", AVMEDIA_TYPE_AUDIO, &ic->audio_codec, &ic->audio_codec_id},
      {"s", AVMEDIA_TYPE_SUBTITLE, &ic->subtitle_codec, &ic->subtitle_codec_id},
      {"d", AVMEDIA_TYPE_DATA, &ic->data_codec, &ic->data_codec_id},
  };
  for (auto &f : forced) {
    std::string name = LastOfType(o.codec_names, f.spec);
    if (name.empty())
      continue;
    *f.codec = FindCodecOrDie(name, f.type, false);
    *f.id = (*f.codec)->id;
  }
}

// Format options the container did not take. Entries that are codec options are not the
// container's business and are dropped first.
int TCustomFFmpeg::CheckLeftoverFormatOptions(TOptionsContext &o) {
  const AVDictionaryEntry *e = nullptr;
  while ((e = ff::av_dict_get(o.g->codec_opts, "", e, AV_DICT_IGNORE_SUFFIX)))
    ff::av_dict_set(&o.g->format_opts, e->key, nullptr, AV_DICT_MATCH_CASE);
  e = ff::av_dict_get(o.g->format_opts, "", nullptr, AV_DICT_IGNORE_SUFFIX);
  if (!e)
    return 0;
  std::string text = Format("Option %s not found.", e->key);
  if (HaltOnInvalidOption)
    Fatal(this, text);
  return Fail(llError, text, 0);
}

// -ss / -sseof: timestamp receives the start (without the container's start time) and
// o.start_time the effective seek start (AV_NOPTS_VALUE when none).
int TCustomFFmpeg::ResolveSeek(TOptionsContext &o, AVFormatContext *ic, const std::string &FileName,
                               int64_t &timestamp) {
  if (o.start_time != AV_NOPTS_VALUE && o.start_time_eof != AV_NOPTS_VALUE) {
    Log(this, llWarning, "Cannot use -ss and -sseof both, using -ss for %s", FileName.c_str());
    o.start_time_eof = AV_NOPTS_VALUE;
  }
  if (o.start_time_eof != AV_NOPTS_VALUE) {
    if (o.start_time_eof >= 0)
      return Fail(llError, "-sseof value must be negative; aborting", AVERROR(EINVAL));
    if (ic->duration > 0) {
      o.start_time = ic->duration + o.start_time_eof;
      if (o.start_time < 0) {
        Log(this, llWarning, "-sseof value seeks to before start of file %s; ignored",
            FileName.c_str());
        o.start_time = AV_NOPTS_VALUE;
      }
    } else {
      Log(this, llWarning, "Cannot use -sseof, duration of %s not known", FileName.c_str());
    }
  }
  timestamp = o.start_time == AV_NOPTS_VALUE ? 0 : o.start_time;
  return 0;
}

int TCustomFFmpeg::DoOpenInputFile(TOptionsContext &o, const std::string &Options,
                                   const std::string &FileName, const std::string &Presets) {
  FOpeningInput = FileName;
  int ret = ParseOptions(o, Options, ofInput, FileName, "input file", Presets);
  FOpeningInput.clear();
  if (ret < 0)
    return ret;
  if (!ResolveStopTime(o))
    return AVERROR(EINVAL);

  const AVInputFormat *fmt = nullptr;
  if (!o.format.empty()) {
    fmt = FindAppInputFormat(o.format);
    if (!fmt)
      fmt = ff::av_find_input_format(o.format.c_str());
    if (!fmt)
      return Fail(llFatal, Format("Unknown input format: \"%s\"", o.format.c_str()),
                  AVERROR(EINVAL));
  }

  // Owned here until the open takes it (the open frees it when it fails).
  std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> pending(
      ff::avformat_alloc_context(), ff::avformat_free_context);
  if (!pending)
    return Fail(llFatal, "avformat_alloc_context() failed", AVERROR(ENOMEM));
  if (fmt && fmt == FindAppInputFormat(fmt->name)) // its options are children of this class
    pending->av_class = AppFormatContextClass();
  SetPerFormatOptions(o, fmt);
  SetForcedDecoders(o, pending.get());
  pending->flags |= AVFMT_FLAG_NONBLOCK;
  if (o.bitexact)
    pending->flags |= AVFMT_FLAG_BITEXACT;
  pending->interrupt_callback = FReadCallback;

  bool scanAllPmtsSet = false;
  if (!ff::av_dict_get(o.g->format_opts, "scan_all_pmts", nullptr, AV_DICT_MATCH_CASE)) {
    ff::av_dict_set(&o.g->format_opts, "scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);
    scanAllPmtsSet = true;
  }
  FLastRead = ff::av_gettime_relative();
  AVFormatContext *raw = pending.release();
  ret = ff::avformat_open_input(&raw, FileName.c_str(), fmt, &o.g->format_opts);
  if (ret < 0) {
    FLastErrMsg = FFErrorText(FileName, ret);
    Log(this, llFatal, "%s", FLastErrMsg.c_str());
    if (ret == AVERROR_PROTOCOL_NOT_FOUND)
      Log(this, llError, "Did you mean file:%s?", FileName.c_str());
    return ret;
  }
  TInputContextPtr ic(raw);
  if (scanAllPmtsSet)
    ff::av_dict_set(&o.g->format_opts, "scan_all_pmts", nullptr, AV_DICT_MATCH_CASE);
  CheckLeftoverFormatOptions(o);

  for (unsigned i = 0; i < ic->nb_streams; i++)
    ChooseDecoder(o, ic.get(), ic->streams[i]);

  if (Ffind_stream_info) {
    TDictArray probeOpts(ic->nb_streams);
    for (unsigned i = 0; i < ic->nb_streams; i++)
      probeOpts.Set(i, FilterCodecOpts(o.g->codec_opts, ic->streams[i]->codecpar->codec_id,
                                       ic.get(), ic->streams[i], nullptr));
    if (FOnBeforeFindStreamInfo)
      FOnBeforeFindStreamInfo(this, ic.get());
    FLastRead = ff::av_gettime_relative();
    ret = ff::avformat_find_stream_info(ic.get(), probeOpts.Data());
    if (ret < 0) {
      FLastErrMsg = Format("%s: could not find codec parameters", FileName.c_str());
      Log(this, llFatal, "%s", FLastErrMsg.c_str());
      if (ic->nb_streams == 0)
        return ret;
    }
  }

  int64_t timestamp = 0;
  ret = ResolveSeek(o, ic.get(), FileName, timestamp);
  if (ret < 0)
    return ret;
  if (ic->duration > 0)
    FInputDuration = std::max(FInputDuration, SatSub(ic->duration, timestamp));
  if (!o.seek_timestamp && ic->start_time != AV_NOPTS_VALUE)
    timestamp = SatAdd(timestamp, ic->start_time);
  if (o.start_time != AV_NOPTS_VALUE) {
    int64_t seekTo = timestamp;
    if (!(ic->iformat->flags & AVFMT_SEEK_TO_PTS)) {
      for (unsigned i = 0; i < ic->nb_streams; i++)
        if (ic->streams[i]->codecpar->video_delay) {
          seekTo = SatSub(seekTo, 3 * AV_TIME_BASE / 23);
          break;
        }
    }
    FLastRead = ff::av_gettime_relative();
    if (ff::avformat_seek_file(ic.get(), -1, INT64_MIN, seekTo, seekTo, 0) < 0)
      Log(this, llWarning, "%s: could not seek to position %0.3f", FileName.c_str(),
          double(timestamp) / AV_TIME_BASE);
  }

  const int fileIndex = Fnb_input_files();
  std::vector<std::unique_ptr<TInputStream>> streams;
  TInputStreamFactory(*this, o, ic.get(), fileIndex).AddStreams(streams);
  ff::av_dump_format(ic.get(), fileIndex, FileName.c_str(), 0);

  auto f = std::make_unique<TInputFile>();
  f->ist_index = Fnb_input_streams();
  f->start_time = o.start_time;
  f->recording_time = o.recording_time;
  f->input_sync_ref = o.input_sync_ref;
  f->input_ts_offset = o.input_ts_offset;
  f->seek_base = timestamp;
  f->nb_streams = int(ic->nb_streams);
  f->rate_emu = o.rate_emu;
  f->accurate_seek = o.accurate_seek;
  f->loop = o.loop;
  f->readrate = o.readrate;
  // These two texts count the inputs from 1, as the tool's do.
  if (f->readrate < 0.0f)
    Fatal(this, Format("Option -readrate for Input #%d is %0.3f; it must be non-negative.",
                       fileIndex + 1, double(f->readrate)));
  if (f->readrate > 0.0f && f->rate_emu) {
    Log(this, llWarning, "Both -readrate and -re set for Input #%d. Using -readrate %0.3f.",
        fileIndex + 1, double(f->readrate));
    f->rate_emu = 0;
  }
  f->pkt.reset(ff::av_packet_alloc());
  if (!f->pkt)
    Fatal(this, "av_packet_alloc() failed");

  ret = CheckUnusedDecoderOptions(o, fileIndex, FileName, streams);
  if (ret < 0)
    return ret;
  DumpAttachments(o, ic.get());

  if (f->rate_emu)
    Frate_emu = 1;
  f->ctx = std::move(ic);
  SetTsOffset(*f);
  for (auto &s : streams)
    Finput_streams.push_back(std::move(s));
  Finput_files.push_back(std::move(f));
  Finput_stream_potentially_available = 1;
  return fileIndex;
}

int TCustomFFmpeg::Fail(TLogLevel level, const std::string &text, int err) {
  FLastErrMsg = text;
  Log(this, level, "%s", text.c_str());
  return err;
}

int TCustomFFmpeg::CheckUnusedDecoderOptions(
    TOptionsContext &o, int fileIndex, const std::string &FileName,
    const std::vector<std::unique_ptr<TInputStream>> &streams) {
  std::vector<const AVDictionary *> used;
  for (auto &s : streams)
    used.push_back(s->decoder_opts.Get());
  return CheckUnusedCodecOptions(o, used, false, fileIndex, FileName);
}

// Codec options no stream took: an error when they are not for this direction (decoding or
// encoding), else a warning. gop_timecode, set by -timecode for every output, is never reported.
int TCustomFFmpeg::CheckUnusedCodecOptions(TOptionsContext &o,
                                           const std::vector<const AVDictionary *> &used,
                                           bool encoding, int fileIndex,
                                           const std::string &FileName) {
  const char *direction = encoding ? "output" : "input";
  const int paramFlag = encoding ? AV_OPT_FLAG_ENCODING_PARAM : AV_OPT_FLAG_DECODING_PARAM;
  int ret = 0;
  ForEachUnusedCodecOption(
      o.g->codec_opts, used, [&](const std::string &key, const AVOption *option) {
        if (ret < 0 || (encoding && key == "gop_timecode"))
          return;
        const char *help = option->help ? option->help : "";
        if (!(option->flags & paramFlag)) {
          FLastErrMsg = Format("Codec AVOption %s (%s) specified for %s file #%d (%s) is not "
                               "%s option.",
                               key.c_str(), help, direction, fileIndex, FileName.c_str(),
                               encoding ? "an encoding" : "a decoding");
          Log(this, llError, "%s", FLastErrMsg.c_str());
          ret = AVERROR(EINVAL);
          return;
        }
        Log(this, llWarning,
            "Codec AVOption %s (%s) specified for %s file #%d (%s) has not been used for any "
            "stream. The most likely reason is either wrong type (e.g. a video option with no "
            "video streams) or that it is a private option of some %s which was not "
            "actually used for any stream.",
            key.c_str(), help, direction, fileIndex, FileName.c_str(),
            encoding ? "encoder" : "decoder");
      });
  return ret;
}

void TCustomFFmpeg::DumpAttachments(TOptionsContext &o, AVFormatContext *ic) {
  for (const TSpecifierOpt &so : o.dump_attachment)
    for (unsigned j = 0; j < ic->nb_streams; j++)
      if (CheckStreamSpecifier(ic, ic->streams[j], so.specifier))
        DumpAttachment(ic, ic->streams[j], so.u.str);
}

// Writes one attachment stream's data to a file; problems are logged, never fatal except
// -y together with -n.
void TCustomFFmpeg::DumpAttachment(AVFormatContext *current, AVStream *st,
                                   const std::string &name) {
  const int fileIndex = Fnb_input_files();
  if (!st->codecpar->extradata_size) {
    Log(this, llWarning, "No extradata to dump in stream #%d:%d.", fileIndex, st->index);
    return;
  }
  std::string filename = name;
  if (filename.empty()) {
    const AVDictionaryEntry *e = ff::av_dict_get(st->metadata, "filename", nullptr, 0);
    if (e)
      filename = e->value;
  }
  if (filename.empty()) {
    Log(this, llError, "No filename specified and no \"filename\" tag in stream #%d:%d.", fileIndex,
        st->index);
    return;
  }
  if (Ffile_overwrite && Fno_file_overwrite)
    Fatal(this, "Error, both -y and -n supplied.");
  const std::string path = LocalPath(filename);
  if (!path.empty() && !Ffile_overwrite && FileExists(path)) {
    FLastErrMsg = Format("File \"%s\" already exists. Ignored.", filename.c_str());
    Log(this, llWarning, "%s", FLastErrMsg.c_str());
    return;
  }
  // Never over an input, not even with -y.
  const int same = InputFileAt(filename, current);
  if (same >= 0) {
    FLastErrMsg = Format("Output %s same as Input #%d - ignored.", filename.c_str(), same);
    Log(this, llWarning, "%s", FLastErrMsg.c_str());
    return;
  }
  FLastWrite = ff::av_gettime_relative();
  AVIOContext *raw = nullptr;
  if (ff::avio_open2(&raw, filename.c_str(), AVIO_FLAG_WRITE, &FWriteCallback, nullptr) < 0) {
    Log(this, llError, "Could not open file %s for writing.", filename.c_str());
    return;
  }
  TAVIOPtr out(raw);
  ff::avio_write(out.get(), st->codecpar->extradata, st->codecpar->extradata_size);
  ff::avio_flush(out.get());
}

// ---- outputs -------------------------------------------------------------------------------

int TCustomFFmpeg::OpenOutputFile(TOptionsContext &o, const std::string &Options,
                                  const std::string &AFileName, const std::string &Presets) {
  const std::string FileName = PipeName(AFileName);
  const std::string path = LocalPath(FileName);
  TOutputUndo undo{Foutput_streams.size(),
                   Foutput_files.size(),
                   Ffiltergraphs.size(),
                   path.empty() || FileExists(path),
                   {}};
  for (const auto &ist : Finput_streams)
    undo.inputs.push_back(
        {ist->discard, ist->st->discard, ist->decoding_needed, ist->processing_needed});
  ForgetErrors();
  const TErrorReceiverScope receiver(this);
  try {
    int ret = DoOpenOutputFile(o, Options, FileName, Presets);
    if (ret < 0)
      UndoOutputFile(undo, FileName);
    return ExplainOpenFailure(ret);
  } catch (const std::exception &e) {
    FLastErrMsg = e.what();
    UndoOutputFile(undo, FileName);
    RethrowExplained();
  }
}

// Removes what a failed OpenOutputFile made: its streams, its file record (closing the I/O
// and freeing the muxer) and an empty output file it created; the inputs get their use back.
void TCustomFFmpeg::UndoOutputFile(const TOutputUndo &undo, const std::string &FileName) {
  for (size_t i = 0; i < undo.inputs.size(); i++) {
    TInputStream &ist = *Finput_streams[i];
    ist.discard = undo.inputs[i].discard;
    ist.st->discard = undo.inputs[i].stDiscard;
    ist.decoding_needed = undo.inputs[i].decodingNeeded;
    ist.processing_needed = undo.inputs[i].processingNeeded;
  }
  FFilterGraphs.UndoOutput(undo.graphs, undo.streams);
  Foutput_streams.resize(undo.streams);
  if (Foutput_files.size() <= undo.files)
    return;
  const std::string temp = Foutput_files.back()->temp_path;
  Foutput_files.pop_back(); // closes the I/O and frees the muxer
  if (!temp.empty())
    std::remove(temp.c_str());
  // Only a file this attempt created; one that was there before is never removed.
  const std::string path = LocalPath(FileName);
  struct stat sb;
  if (!undo.fileExisted && ::stat(path.c_str(), &sb) == 0 && S_ISREG(sb.st_mode) && sb.st_size == 0)
    std::remove(path.c_str());
}

void TCustomFFmpeg::SetTsOffset(TInputFile &f) const {
  int64_t base = f.seek_base;
  if (Fcopy_ts)
    base = (Fstart_at_zero && f.ctx->start_time != AV_NOPTS_VALUE) ? f.ctx->start_time : 0;
  f.ts_offset = SatSub(f.input_ts_offset, base);
}

void TCustomFFmpeg::SettleInputOffsets() {
  // The tool applies global options before it opens any file: -copyts and -start_at_zero
  // among any output's options count for the inputs opened before it. Each output settles the
  // offsets again from the inputs' own values, so the -isync adjustments are not added twice.
  for (auto &f : Finput_files)
    SetTsOffset(*f);
  for (int i = 0; i < Fnb_input_files(); i++) {
    TInputFile &self = *Finput_files[i];
    if (self.input_sync_ref == -1 || self.input_sync_ref == i)
      continue;
    if (self.input_sync_ref >= Fnb_input_files() || self.input_sync_ref < -1)
      Fatal(this, Format("-isync for input %d references non-existent input %d.", i,
                         self.input_sync_ref));
    if (Fcopy_ts && !Fstart_at_zero)
      Fatal(this, "Use of -isync requires that start_at_zero be set if copyts is set.");
    TInputFile &ref = *Finput_files[self.input_sync_ref];
    if (ref.input_sync_ref != -1 && ref.input_sync_ref != self.input_sync_ref) {
      Log(this, llError, "-isync for input %d references a resynced input %d. Sync not set.", i,
          self.input_sync_ref);
      continue;
    }
    int64_t selfStart, refStart;
    if (self.ctx->start_time_realtime != AV_NOPTS_VALUE &&
        ref.ctx->start_time_realtime != AV_NOPTS_VALUE) {
      selfStart = self.ctx->start_time_realtime;
      refStart = ref.ctx->start_time_realtime;
    } else if (self.ctx->start_time != AV_NOPTS_VALUE && ref.ctx->start_time != AV_NOPTS_VALUE) {
      selfStart = self.ctx->start_time;
      refStart = ref.ctx->start_time;
    } else {
      Log(this, llInfo,
          "Unable to identify start times for Inputs #%d and %d both. No sync adjustment made.", i,
          self.input_sync_ref);
      continue;
    }
    int64_t selfSeek = self.start_time == AV_NOPTS_VALUE ? 0 : self.start_time;
    int64_t refSeek = ref.start_time == AV_NOPTS_VALUE ? 0 : ref.start_time;
    const int64_t adjustment =
        SatAdd(SatAdd(SatSub(selfStart, refStart), Fcopy_ts ? 0 : SatSub(selfSeek, refSeek)),
               ref.input_ts_offset);
    self.ts_offset = SatAdd(self.ts_offset, adjustment);
    Log(this, llInfo, "Adjusted ts offset for Input #%d by %" PRId64 " us to sync with Input #%d.",
        i, adjustment, self.input_sync_ref);
  }
}

int TCustomFFmpeg::DoOpenOutputFile(TOptionsContext &o, const std::string &Options,
                                    const std::string &FileName, const std::string &Presets) {
  int ret = ParseOptions(o, Options, ofOutput, FileName, "output file", Presets);
  if (ret < 0)
    return ret;
  SettleInputOffsets();
  ret = FFilterGraphs.init_complex_filters();
  if (ret < 0)
    return Fail(llError, FFErrorText("Error initializing complex filters", ret), ret);
  if (!ResolveStopTime(o))
    return AVERROR(EINVAL);

  AVFormatContext *raw = nullptr;
  const AVOutputFormat *appFormat = o.format.empty() ? nullptr : FindAppOutputFormat(o.format);
  ret = ff::avformat_alloc_output_context2(
      &raw, appFormat, appFormat || o.format.empty() ? nullptr : o.format.c_str(),
      FileName.c_str());
  if (!raw)
    return Fail(llError, FFErrorText(FileName, ret < 0 ? ret : AVERROR(ENOMEM)),
                ret < 0 ? ret : AVERROR(ENOMEM));
  auto ofile = std::make_unique<TOutputFile>();
  ofile->ctx.reset(raw);
  ofile->index = Fnb_output_files();
  ofile->format = raw->oformat;
  ofile->ost_index = Fnb_output_streams();
  ofile->recording_time = o.recording_time;
  ofile->start_time = o.start_time;
  ofile->limit_filesize = uint64_t(o.limit_filesize);
  ofile->shortest = o.shortest;
  ofile->opts.Copy(o.g->format_opts);
  Foutput_files.push_back(std::move(ofile));
  TOutputFile &of = *Foutput_files.back();
  AVFormatContext *oc = of.ctx.get();
  if (o.recording_time != INT64_MAX)
    oc->duration = o.recording_time;
  oc->interrupt_callback = FWriteCallback;
  if (o.bitexact)
    oc->flags |= AVFMT_FLAG_BITEXACT;

  CreateOutputStreams(o, of);
  SetDecodingNeeded(of);
  CreateSimpleFilterGraphs(of);
  AddAttachments(o, of);
  ret = CheckOutputFile(o, of, FileName);
  if (ret < 0)
    return ret;

  if (o.mux_preload != 0)
    ff::av_dict_set_int(of.opts.Ref(), "preload", int64_t(o.mux_preload * AV_TIME_BASE), 0);
  oc->max_delay = int(o.mux_max_delay * AV_TIME_BASE);
  SetOutputMetadata(*this, o, of);
  ret = OpenOutputIO(of, FileName);
  if (ret < 0)
    return ret;
  if (o.recording_time != INT64_MAX)
    FOutputDuration = std::max(FOutputDuration, o.recording_time);
  return of.index;
}

// "[label]" maps: the complex graph output with that label feeds a new stream.
void TCustomFFmpeg::MapComplexGraphOutput(TOutputStreamFactory &factory, const std::string &label) {
  TOutputFilter *ofilter = FFilterGraphs.FindUnboundOutput(label);
  if (!ofilter)
    Fatal(this, Format("Output with label \"%s\" does not exist in any defined filter graph, "
                       "or was already used elsewhere.",
                       label.c_str()));
  FFilterGraphs.init_output_filter(ofilter, factory);
}

void TCustomFFmpeg::CreateOutputStreams(TOptionsContext &o, TOutputFile &of) {
  TOutputStreamFactory factory(*this, o, of);
  FFilterGraphs.BindUnlabelledOutputs(factory, o.video_disable, o.audio_disable,
                                      o.subtitle_disable);
  if (o.stream_maps.empty()) {
    SelectStreamsAutomatically(o, of);
    return;
  }
  for (const TStreamMap &map : o.stream_maps) {
    if (map.disabled)
      continue;
    if (!map.linklabel.empty()) {
      MapComplexGraphOutput(factory, map.linklabel);
      continue;
    }
    const int src = Finput_files[map.file_index]->ist_index + map.stream_index;
    TInputStream &ist = *Finput_streams[src];
    if (ist.user_set_discard == AVDISCARD_ALL)
      Fatal(this, Format("Stream #%d:%d is disabled and cannot be mapped.", map.file_index,
                         map.stream_index));
    const AVMediaType type = ist.st->codecpar->codec_type;
    if ((o.subtitle_disable && type == AVMEDIA_TYPE_SUBTITLE) ||
        (o.audio_disable && type == AVMEDIA_TYPE_AUDIO) ||
        (o.video_disable && type == AVMEDIA_TYPE_VIDEO) ||
        (o.data_disable && type == AVMEDIA_TYPE_DATA))
      continue;
    TOutputStream *ost = factory.NewStreamFor(src);
    if (ost)
      ost->sync_ist =
          Finput_streams[Finput_files[map.sync_file_index]->ist_index + map.sync_stream_index]
              .get();
  }
}

void TCustomFFmpeg::SelectStreamsAutomatically(TOptionsContext &o, TOutputFile &of) {
  AVFormatContext *oc = of.ctx.get();
  TOutputStreamFactory factory(*this, o, of);
  TInputsView in{Finput_files, Finput_streams};
  auto guess = [oc](AVMediaType type) {
    return ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
  };
  if (!o.video_disable && guess(AVMEDIA_TYPE_VIDEO) != AV_CODEC_ID_NONE) {
    int idx = BestVideoStream(in, oc->oformat);
    if (idx >= 0)
      factory.NewVideoStream(idx);
  }
  if (!o.audio_disable && guess(AVMEDIA_TYPE_AUDIO) != AV_CODEC_ID_NONE) {
    int idx = BestAudioStream(in);
    if (idx >= 0)
      factory.NewAudioStream(idx);
  }
  const bool subtitleNamed = !LastOfType(o.codec_names, "s").empty();
  if (!o.subtitle_disable &&
      (ff::avcodec_find_encoder(oc->oformat->subtitle_codec) || subtitleNamed)) {
    int idx = FirstSubtitleStream(in, oc->oformat, subtitleNamed);
    if (idx >= 0)
      factory.NewSubtitleStream(idx);
  }
  if (!o.data_disable) {
    AVCodecID id = guess(AVMEDIA_TYPE_DATA);
    int idx = id != AV_CODEC_ID_NONE ? FirstDataStream(in, id) : -1;
    if (idx >= 0)
      factory.NewDataStream(idx);
  }
}

// Which input streams must be decoded or read for this output.
void TCustomFFmpeg::SetDecodingNeeded(TOutputFile &of) {
  for (int i = of.ost_index; i < Fnb_output_streams(); i++) {
    TOutputStream &ost = *Foutput_streams[i];
    if (ost.source_index < 0)
      continue;
    TInputStream &ist = *Finput_streams[ost.source_index];
    if (ost.encoding_needed) {
      ist.decoding_needed |= DECODING_FOR_OST;
      ist.processing_needed = 1;
    } else if (ost.stream_copy) {
      ist.processing_needed = 1;
    }
  }
}

// Every encoded video or audio stream of the file without a complex graph gets a simple graph
// fed by its source stream; then the graphs' outputs learn what the encoders want.
void TCustomFFmpeg::CreateSimpleFilterGraphs(TOutputFile &of) {
  for (int i = of.ost_index; i < Fnb_output_streams(); i++) {
    TOutputStream &ost = *Foutput_streams[i];
    const AVMediaType type = ost.st->codecpar->codec_type;
    if (!ost.encoding_needed || ost.source_index < 0 || ost.filter ||
        (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO))
      continue;
    TInputStream &ist = *Finput_streams[ost.source_index];
    if (FFilterGraphs.init_simple_filtergraph(&ist, &ost) < 0)
      Fatal(this, Format("Error initializing a simple filtergraph between streams %d:%d->%d:%d",
                         ist.file_index, ist.st->index, ost.file_index, ost.index));
  }
  FFilterGraphs.SetOutputConstraints(of.ost_index);
}

// The bytes of one -attach file followed by the input padding (zeroed), and their count.
// Local files go through the guarded reader; other URLs through the library's I/O.
std::pair<uint8_t *, int> TCustomFFmpeg::ReadAttachment(const std::string &name) {
  std::string bytes;
  const std::string path = LocalPath(name);
  if (!path.empty()) {
    const TFileReadResult r = ReadWholeFile(path, bytes, MaxAttachmentSize);
    if (r.tooLarge)
      Fatal(this, Format("Attachment %s too large.", name.c_str()));
    if (!r.ok)
      Fatal(this, FileReadError(Format("Could not open attachment file %s.", name.c_str()), r));
  } else {
    FLastWrite = ff::av_gettime_relative();
    AVIOContext *raw = nullptr;
    if (ff::avio_open2(&raw, name.c_str(), AVIO_FLAG_READ, &FWriteCallback, nullptr) < 0)
      Fatal(this, Format("Could not open attachment file %s.", name.c_str()));
    TAVIOPtr pb(raw);
    const int64_t len = ff::avio_size(pb.get());
    if (len > int64_t(MaxAttachmentSize))
      Fatal(this, Format("Attachment %s too large.", name.c_str()));
    bytes.resize(size_t(std::max<int64_t>(len, 0)));
    const int got =
        len > 0 ? ff::avio_read(pb.get(), reinterpret_cast<uint8_t *>(bytes.data()), int(len)) : 0;
    bytes.resize(size_t(std::max(got, 0)));
  }
  if (bytes.empty())
    Fatal(this, Format("Could not get size of the attachment %s.", name.c_str()));
  auto *data = static_cast<uint8_t *>(ff::av_malloc(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!data)
    Fatal(this, Format("Attachment %s too large.", name.c_str()));
  std::memcpy(data, bytes.data(), bytes.size());
  std::memset(data + bytes.size(), 0, AV_INPUT_BUFFER_PADDING_SIZE);
  return {data, int(bytes.size())};
}

void TCustomFFmpeg::AddAttachments(TOptionsContext &o, TOutputFile &of) {
  TOutputStreamFactory factory(*this, o, of);
  for (const std::string &name : o.attachments) {
    TOutputStream *ost = factory.NewAttachmentStream(-1);
    ost->stream_copy = 0;
    ost->attachment_filename = name;
    // The stream's parameters own the data from here on.
    std::tie(ost->st->codecpar->extradata, ost->st->codecpar->extradata_size) =
        ReadAttachment(name);
    size_t slash = name.rfind('/');
    if (slash == std::string::npos)
      slash = name.rfind('\\');
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    ff::av_dict_set(&ost->st->metadata, "filename", base.c_str(), AV_DICT_DONT_OVERWRITE);
  }
}

// Index of the input file that name denotes, or -1; opening, when given, is the input being
// opened (the next index). Files are compared by identity (device and inode), so another
// spelling of the path or a link to the file counts as the same file.
int TCustomFFmpeg::InputFileAt(const std::string &name, const AVFormatContext *opening) const {
  const std::string path = LocalPath(name);
  if (path.empty())
    return -1;
  for (int i = 0; i <= Fnb_input_files(); i++) {
    const AVFormatContext *ic = i < Fnb_input_files() ? Finput_files[i]->ctx.get() : opening;
    if (!ic || (ic->iformat->flags & AVFMT_NOFILE) || !ic->url)
      continue;
    for (const std::string &file : LocalFilesOf(ic->url))
      if (SameFile(file, path))
        return i;
  }
  return -1;
}

int TCustomFFmpeg::InputNamed(const std::string &name) const {
  const int same = InputFileAt(name);
  if (same >= 0 || FOpeningInput.empty())
    return same;
  const std::string path = LocalPath(name);
  for (const std::string &file : LocalFilesOf(FOpeningInput))
    if (SameFile(file, path))
      return Fnb_input_files();
  return -1;
}

// -vstats_file, -sdp_file and -segment_list are written once the task runs (-progress and
// the pass-1 logs are checked where they are opened): refused with the output, like it.
std::string TCustomFFmpeg::SideOutputOverInput(const TOutputFile &of) const {
  const AVDictionaryEntry *list = ff::av_dict_get(of.opts.Get(), "segment_list", nullptr, 0);
  // The name as given and as opened (the statistics file is a path, not a URL).
  const std::tuple<const char *, std::string, std::string> written[] = {
      {"-vstats_file", Fvstats_filename, "file:" + Fvstats_filename},
      {"-sdp_file", Fsdp_filename, Fsdp_filename},
      {"-segment_list", list ? list->value : "", list ? list->value : ""}};
  for (const auto &[option, name, opened] : written) {
    const int same = name.empty() ? -1 : InputNamed(opened);
    if (same >= 0)
      return Format("%s %s same as Input #%d - exiting", option, name.c_str(), same);
  }
  return {};
}

// As InputFileAt for a name that may be a pattern (an image sequence or segment name): the
// existing files that the pattern can make are compared with the inputs.
int TCustomFFmpeg::InputFileMatching(const std::string &pattern) const {
  const std::string path = LocalPath(pattern);
  if (path.find('%') == std::string::npos)
    return InputFileAt(pattern);
  const std::filesystem::path p(path);
  const std::string base = p.filename().string();
  std::error_code ec;
  std::filesystem::directory_iterator it(p.has_parent_path() ? p.parent_path() : ".", ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (!PatternCanName(base.c_str(), entry.c_str()))
      continue;
    const int same = InputFileAt("file:" + it->path().string());
    if (same >= 0)
      return same;
  }
  return -1;
}

// Checks of a complete stream set, then the output I/O.
int TCustomFFmpeg::CheckOutputFile(TOptionsContext &o, TOutputFile &of,
                                   const std::string &FileName) {
  AVFormatContext *oc = of.ctx.get();
  if (!oc->nb_streams && !(oc->oformat->flags & AVFMT_NOSTREAMS)) {
    ff::av_dump_format(oc, of.index, oc->url, 1);
    return Fail(llError, Format("Output file #%d does not contain any stream", of.index),
                AVERROR(EINVAL));
  }

  std::vector<const AVDictionary *> used;
  for (int i = of.ost_index; i < Fnb_output_streams(); i++)
    used.push_back(Foutput_streams[i]->encoder_opts.Get());
  int ret = CheckUnusedCodecOptions(o, used, true, of.index, FileName);
  if (ret < 0)
    return ret;

  if ((oc->oformat->flags & AVFMT_NEEDNUMBER) && !ff::av_filename_number_test(oc->url))
    return Fail(llError, FFErrorText(FileName, AVERROR(EINVAL)), AVERROR(EINVAL));
  if (!(oc->oformat->flags & AVFMT_NOSTREAMS) && !Finput_stream_potentially_available)
    return Fail(llError, "No input streams but output needs an input stream", AVERROR(EINVAL));
  const int same = OutputNamesInput(oc->oformat, FileName);
  if (same >= 0) // writing would destroy the input
    return Fail(llError, Format("Output %s same as Input #%d - exiting", FileName.c_str(), same),
                AVERROR(EINVAL));
  const std::string side = SideOutputOverInput(of);
  return side.empty() ? 0 : Fail(llError, side, AVERROR(EINVAL));
}

// The input a new output would write over, or -1. Muxers that open their files themselves
// (image sequences, segments, tee) are checked by the names they can write.
int TCustomFFmpeg::OutputNamesInput(const AVOutputFormat *fmt, const std::string &FileName) const {
  if (!(fmt->flags & AVFMT_NOFILE))
    return InputFileAt(FileName);
  if (std::strcmp(fmt->name, "null") == 0)
    return -1;
  for (const std::string &name : LaterOutputNames(fmt, FileName)) {
    const int same = InputFileMatching(name);
    if (same >= 0)
      return same;
  }
  return -1;
}

// The tool's rule for an existing local output file: never with -n, and without -y only when
// no one asks first (FOverwriteNeedsY); -y together with -n is refused.
int TCustomFFmpeg::CheckOverwrite(const std::string &FileName) {
  if (Ffile_overwrite && Fno_file_overwrite)
    return Fail(llError, "Error, both -y and -n supplied.", AVERROR(EINVAL));
  const std::string path = LocalPath(FileName);
  if (Ffile_overwrite || !(Fno_file_overwrite || FOverwriteNeedsY) || path.empty() ||
      !FileExists(path))
    return 0;
  return Fail(
      llError,
      Format("File \"%s\" already exists. Not overwriting it without -y.", FileName.c_str()),
      AVERROR(EEXIST));
}

// Opens the output I/O: the last step, once everything that can be checked has been. An
// existing file is not truncated: the muxer writes a new file beside it (its name becomes the
// muxer's URL, which some muxers open again), renamed over the old one by Cleanup once written.
int TCustomFFmpeg::OpenOutputIO(TOutputFile &of, const std::string &FileName) {
  AVFormatContext *oc = of.ctx.get();
  if (oc->oformat->flags & AVFMT_NOFILE)
    return 0;
  int ret = CheckOverwrite(FileName);
  if (ret < 0)
    return ret;
  const std::string replaced = ReplaceableFile(LocalPath(FileName));
  of.temp_path = replaced.empty() ? std::string() : CreateFileBeside(replaced);
  if (!of.temp_path.empty()) {
    of.replaced_path = replaced;
    ff::av_free(oc->url);
    oc->url = ff::av_strdup(("file:" + of.temp_path).c_str());
  }
  FLastWrite = ff::av_gettime_relative();
  const char *url = of.temp_path.empty() ? FileName.c_str() : oc->url;
  ret = ff::avio_open2(&oc->pb, url, AVIO_FLAG_WRITE, &oc->interrupt_callback, of.opts.Ref());
  return ret < 0 ? Fail(llError, FFErrorText(FileName, ret), ret) : 0;
}

// ---- -map and -map_channel -------------------------------------------------------------------

int TCustomFFmpeg::opt_map(TOptionsContext *o, const std::string &, const std::string &arg) {
  ParseStreamMap(this, TInputsView{Finput_files, Finput_streams}, arg, o->stream_maps);
  return 0;
}

int TCustomFFmpeg::opt_map_channel(TOptionsContext *o, const std::string &,
                                   const std::string &arg) {
  ParseChannelMap(this, TInputsView{Finput_files, Finput_streams}, arg, o->audio_channel_maps);
  return 0;
}

// ---- the task: control, phases, release ----------------------------------------------------

TCustomFFmpeg::TCustomFFmpeg()
    : FHooks(std::make_unique<TTaskHooks>()), FTask(std::make_unique<TTaskControl>(*this)) {}

TCustomFFmpeg::~TCustomFFmpeg() {
  if (FOnDestroy)
    FOnDestroy(this);
  Stop(true);
  Cleanup();
  FTask.reset(); // joins the task's threads
}

void TCustomFFmpeg::StartConvert(bool AUseThread, TThreadPriority APriority) {
  FTask->StartConvert(AUseThread, APriority);
}
// The player follows the task only: a task not running (or stopped while paused) leaves it.
void TCustomFFmpeg::Pause() {
  FTask->Pause();
  if (FTask->Suspended() == 1)
    FHooks->Pause();
}
void TCustomFFmpeg::Resume() {
  FTask->Resume();
  if (FTask->Suspended() == 0)
    FHooks->Resume();
}
void TCustomFFmpeg::SetVideoHookBitsPixel(int ABitsPixel) {
  TCustomFFmpegOpt::SetVideoHookBitsPixel(ABitsPixel);
  try {
    FHooks->SetVideoHookBitsPixel(ABitsPixel);
  } catch (const std::invalid_argument &e) {
    Log(this, llWarning, "%s: the hook bitmaps keep their depth", e.what());
  }
}
void TCustomFFmpeg::SetHooks(std::unique_ptr<TTaskHooks> AHooks) {
  FHooks = std::move(AHooks);
  if (FVideoHookBitsPixel == 0)
    return;
  try {
    FHooks->SetVideoHookBitsPixel(FVideoHookBitsPixel);
  } catch (const std::invalid_argument &) {
    // logged when the depth was set
  }
}
void TCustomFFmpeg::Stop(bool AWaitForStop) {
  FTask->Stop(AWaitForStop);
}
void TCustomFFmpeg::RequestTerminate(bool AWaitForStop) {
  FTask->RequestTerminate(AWaitForStop);
}
void TCustomFFmpeg::Run() {
  FTask->Run();
}
bool TCustomFFmpeg::Converting() const {
  return FTask->Converting();
}
bool TCustomFFmpeg::Terminated() const {
  return FTask->Terminated();
}
bool TCustomFFmpeg::Finished() const {
  return FTask->Finished();
}
bool TCustomFFmpeg::FatalException() const {
  return FTask->FatalException();
}
std::string TCustomFFmpeg::FatalMessage() const {
  return FTask->FatalMessage();
}
int TCustomFFmpeg::Suspended() const {
  return FTask->Suspended();
}
uint64_t TCustomFFmpeg::ThreadID() const {
  return FTask->ThreadID();
}

// Position of the first stream of f that has one, in microseconds.
static int64_t FirstKnownPosition(const TCustomFFmpeg &E, const TInputFile &f) {
  for (int i = 0; i < f.nb_streams; i++) {
    const TInputStream &ist = *E.Finput_streams[f.ist_index + i];
    if (ist.saw_first_ts && ist.dts != AV_NOPTS_VALUE)
      return ist.dts;
  }
  return AV_NOPTS_VALUE;
}

void TCustomFFmpeg::SetRateEmu(bool Value) {
  if (FTask->Converting() && !FTask->OnTaskThread())
    FRateEmuRequest = Value;
  else
    ApplyRateEmu(Value);
}

void TCustomFFmpeg::TakeRateEmuRequest() {
  const int request = FRateEmuRequest.exchange(-1);
  if (request >= 0)
    ApplyRateEmu(request != 0);
}

void TCustomFFmpeg::ApplyRateEmu(bool Value) {
  if (bool(Frate_emu) == Value)
    return;
  if (Value) {
    // Pacing continues from where the task is now, not from where it stopped pacing.
    for (auto &f : Finput_files) {
      const int64_t pos = FirstKnownPosition(*this, *f);
      if (pos == AV_NOPTS_VALUE)
        continue;
      FTask->ShiftTotalPauseTime(pos - (f->last_pts == AV_NOPTS_VALUE ? 0 : f->last_pts));
      break;
    }
  } else {
    for (auto &f : Finput_files)
      f->last_pts = FirstKnownPosition(*this, *f);
  }
  Frate_emu = Value;
  for (auto &f : Finput_files)
    f->rate_emu = Value;
}

bool TCustomFFmpeg::PrepareTranscode() {
  if (FTranscodeInitialized)
    return true;
  if (FOutputDuration <= 0) // no output had -t
    FOutputDuration = FInputDuration > 0 ? FInputDuration : -1;
  FLastErrMsg.clear();
  try {
    FLoop = std::make_unique<TTranscodeLoop>(*this, *FTask);
    const int ret = FLoop->transcode_init();
    if (ret < 0) {
      if (FLastErrMsg.empty()) // the task's message starts with the logged reason
        FLastErrMsg = FFErrorText("transcode_init() error", ret);
      FinishTranscode();
      return false;
    }
  } catch (const std::exception &e) {
    FLastErrMsg = e.what();
    FinishTranscode();
    return false;
  }
  FTranscodeInitialized = true;
  return true;
}

void TCustomFFmpeg::Transcode() {
  const bool trailersWritten = FLoop->Transcode();
  // A failed write fails the task, as it sets the tool's exit status, with its cause: a full
  // disk, a reader that went away, a muxer that refused a packet. A failed packet is the first
  // error the tool reports too.
  const std::string packetError = FLoop->Mux.PacketWriteError;
  const std::string trailerError = FLoop->Mux.TrailerWriteError;
  FTask->SetFinished(!FBroken && trailersWritten && packetError.empty());
  FinishTranscode();
  if (!packetError.empty())
    FLoop->Fatal(packetError);
  else if (!trailersWritten)
    FLoop->Fatal("At least one output file failed to be written trailer" +
                 (trailerError.empty() ? std::string() : ": " + trailerError));
}

void TCustomFFmpeg::PrintReport(bool is_last, int64_t timer_start, int64_t cur_time) {
  FLoop->Report.print_report(is_last, timer_start, cur_time);
}

void TCustomFFmpeg::FinishTranscode() {
  for (auto &ost : Foutput_streams) {
    if (ost->logfile && std::fclose(ost->logfile.release()))
      Log(this, llError, "Error closing logfile, loss of information possible: %s",
          FFErrorText(AVERROR(errno)).c_str());
    ost->forced_kf_pts.clear();
    ost->forced_keyframes_pexpr.reset();
    ost->encoder_opts.Clear();
    ost->sws_dict.Clear();
    ost->swr_opts.Clear();
    if (ost->enc_ctx)
      ff::av_freep(&ost->enc_ctx->stats_in);
  }
  ReleaseHWDevices();
  FTranscodeCleanuped = true;
}

// Drops this task's device references, then has the process-wide list release every device
// no other task holds.
void TCustomFFmpeg::ReleaseHWDevices() {
  Ffilter_hw_device.reset();
  FHWDevices.clear();
  HWDeviceUninitAll();
}

// Releases everything the task opened. An output whose header was never written and that is
// still an empty file is removed, so that a failed start leaves nothing behind; an output
// written beside an existing file replaces it when the task wrote it without a fatal error.
void TCustomFFmpeg::Cleanup() {
  if (FTranscodeInitialized && !FTranscodeCleanuped)
    FinishTranscode();
  FHooks->EndOfRun();
  FHooks->Cleanup();
  FLoop.reset();
  Foutput_streams.clear();
  Ffiltergraphs.clear();
  std::vector<std::string> emptyOutputs;
  std::vector<TReplacement> replacements;
  for (auto &of : Foutput_files)
    if (!of->temp_path.empty())
      replacements.push_back({of->temp_path, of->replaced_path, of->written});
    else if (!of->header_written && of->ctx && of->ctx->pb && of->ctx->url)
      emptyOutputs.push_back(of->ctx->url);
  Foutput_files.clear();
  for (const std::string &url : emptyOutputs) {
    const std::string name = LocalPath(url);
    struct stat sb;
    if (!name.empty() && ::stat(name.c_str(), &sb) == 0 && S_ISREG(sb.st_mode) && sb.st_size == 0)
      std::remove(name.c_str());
  }
  FinishReplacements(replacements);
  Finput_streams.clear();
  Finput_files.clear();
  ReleaseHWDevices();
}

void TCustomFFmpeg::FinishReplacements(const std::vector<TReplacement> &replacements) {
  const bool failed = FTask->FatalException();
  for (const TReplacement &r : replacements) {
    const std::string error = FinishReplacement(r.temp, r.target, r.written && !failed);
    if (!error.empty())
      Log(this, llError, "Could not replace %s: %s", r.target.c_str(), error.c_str());
  }
}
