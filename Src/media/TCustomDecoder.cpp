#include "media/TCustomDecoder.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "components/CallInMainThread.h"
#include "components/TFFLoader.h"
#include "media/DecoderHelpers.h"
#include "media/TFileInfoText.h"
#include "transcode/common/CodecOptions.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TFFOptions.h"
#include "transcode/common/TextFormat.h"

namespace {

std::string Trim(const char *AText) {
  std::string s = AText ? AText : "";
  auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  s.erase(s.begin(), std::find_if_not(s.begin(), s.end(), blank));
  s.erase(std::find_if_not(s.rbegin(), s.rend(), blank).base(), s.end());
  return s;
}

std::string Tag(const AVDictionary *ADict, const char *AKey) {
  const AVDictionaryEntry *e = ff::av_dict_get(ADict, AKey, nullptr, 0);
  return e ? e->value : "";
}

// Whole-text integer, 0 when the tag is absent or not an integer.
int IntTag(const AVDictionary *ADict, const char *AKey) {
  std::string s = Tag(ADict, AKey);
  int value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size() ? value : 0;
}

const char *KindName(AVMediaType AType) {
  switch (AType) {
  case AVMEDIA_TYPE_AUDIO:
    return "audio";
  case AVMEDIA_TYPE_VIDEO:
    return "video";
  default:
    return "subtitle";
  }
}

// A zero time-base denominator is repaired in place so that rescaling cannot divide by zero.
AVRational RepairedTimeBase(AVStream *AStream) {
  if (AStream->time_base.den == 0)
    AStream->time_base.den = AStream->time_base.num != 0 ? AStream->time_base.num : 1;
  return AStream->time_base;
}

int64_t Scaled(int64_t ATime, AVRational ATimeBase) {
  return ATime == AV_NOPTS_VALUE ? -1 : ff::av_rescale_q(ATime, ATimeBase, AVRational{1, 1000000});
}

// The facts audio and video streams share: language, codec, times and bit rate.
template <class TInfo>
void FillStreamFacts(TInfo &AInfo, AVStream *AStream, std::string ACodecName) {
  AInfo.Language = Tag(AStream->metadata, "language");
  AInfo.CodecName = std::move(ACodecName);
  AVRational tb = RepairedTimeBase(AStream);
  AInfo.StartTime = AStream->start_time;
  AInfo.StartTimeScaled = Scaled(AStream->start_time, tb);
  AInfo.Duration = AStream->duration;
  AInfo.DurationScaled = Scaled(AStream->duration, tb);
  AInfo.BitRate = int(uint32_t(AStream->codecpar->bit_rate));
}

int32_t Mul32(int a, int b) {
  return int32_t(uint32_t(a) * uint32_t(b));
}

} // namespace

TCustomDecoder::TCustomDecoder() : FOptions(std::make_unique<TFFOptions>()) {}

TCustomDecoder::~TCustomDecoder() {
  // Not virtual dispatch here: derived parts are already gone; close the file itself.
  TCustomDecoder::CloseFile();
}

bool TCustomDecoder::AVLibLoaded() const {
  return FFLoader().Loaded(DecoderLibraries);
}

bool TCustomDecoder::LoadAVLib(const std::string &APath) {
  FFLoader().LibraryPath = APath;
  if (!FFLoader().Load(DecoderLibraries)) {
    FLastErrMsg = FFLoader().LastErrMsg();
    return false;
  }
  FOptions->init_opts();
  return true;
}

void TCustomDecoder::Fail(TLogLevel ALevel, const std::string &AMsg) {
  FLastErrMsg = AMsg;
  Log(this, ALevel, AMsg);
}

void TCustomDecoder::Failf(TLogLevel ALevel, const char *AFormat, ...) {
  va_list args;
  va_start(args, AFormat);
  std::string text = FormatV(AFormat, args);
  va_end(args);
  Fail(ALevel, text);
}

void TCustomDecoder::FailLoad(const std::string &AMsg) {
  FLastErrMsg = AMsg;
  FOptions->init_opts();
  CloseFile();
}

bool TCustomDecoder::LoadFile(const std::string &AFileName, const std::string &AFormatName) {
  FFLoader().CheckLibAV(DecoderLibraries);
  CloseFile();
  if (!FOptions->sws_dict())
    FOptions->init_opts();

  const AVInputFormat *format = nullptr;
  if (!AFormatName.empty()) {
    format = ff::av_find_input_format(AFormatName.c_str());
    if (!format) {
      Failf(llError, "Unknown input format: %s", AFormatName.c_str());
      FailLoad(LastErrMsg());
      return false;
    }
  }
  if (!OpenInput(AFileName, format) || !FindStreamInfo(AFileName))
    return false;

  RefreshFileInfo();
  AfterFileLoaded(*FOptions);
  FOptions->init_opts();
  FForceFormat = AFormatName;
  return true;
}

bool TCustomDecoder::OpenInput(const std::string &AFileName, const AVInputFormat *AFormat) {
  AVFormatContext *ctx = ff::avformat_alloc_context();
  if (!ctx)
    throw std::bad_alloc();
  ctx->interrupt_callback.callback = InterruptCallback;
  ctx->interrupt_callback.opaque = this;

  FLastRead = ff::av_gettime_relative();
  // The name is passed as UTF-8 of any length; the library frees the context on failure.
  int ret = ff::avformat_open_input(&ctx, AFileName.c_str(), AFormat, &FOptions->format_opts());
  if (ret < 0) {
    FailLoad(FFErrorText(AFileName, ret));
    return false;
  }
  FOwnedHandle.reset(ctx);
  FFileHandle = ctx;
  const AVDictionaryEntry *e = nullptr;
  while ((e = ff::av_dict_get(FOptions->format_opts(), "", e, AV_DICT_IGNORE_SUFFIX)))
    Log(this, llError, "Option %s not found, ignored.", e->key);
  FFileHandle->flags |= AVFMT_FLAG_NONBLOCK;

  if (OnBeforeFindStreamInfo) {
    AVFormatContext *ctx = FFileHandle;
    if (TriggerEventInMainThread && !IsMainThread())
      CallInMainThread([this, ctx] { OnBeforeFindStreamInfo(this, ctx); });
    else
      OnBeforeFindStreamInfo(this, ctx);
  }
  return true;
}

bool TCustomDecoder::FindStreamInfo(const std::string &AFileName) {
  unsigned count = FFileHandle->nb_streams;
  TDictArray opts(count);
  for (unsigned i = 0; i < count; ++i) {
    AVStream *st = FFileHandle->streams[i];
    opts.Set(i, FilterCodecOpts(FOptions->codec_opts(), st->codecpar->codec_id, FFileHandle, st,
                                nullptr));
    CapFramePixels(opts.Ref(i));
  }
  FLastRead = ff::av_gettime_relative();
  int ret = ff::avformat_find_stream_info(FFileHandle, opts.Data());
  if (ret < 0) {
    FailLoad(AFileName + ": could not find codec parameters");
    return false;
  }
  if (FFileHandle->pb) {
    FFileHandle->pb->eof_reached = 0;
    FFileHandle->pb->error = 0;
  }
  return true;
}

void TCustomDecoder::AfterFileLoaded(TFFOptions &) {}

int TCustomDecoder::InterruptCallback(void *AOpaque) {
  auto *self = static_cast<TCustomDecoder *>(AOpaque);
  int64_t last = self->FLastRead;
  if (last == INT64_MAX || self->ReadTimeout() <= 0)
    return 0;
  if (ff::av_gettime_relative() - last <= int64_t(self->ReadTimeout()) * 1000)
    return 0;
  Log(self, llInfo, last == 0 ? "connecting/reading canceled" : "connecting/reading timeout");
  return 1;
}

void TCustomDecoder::CloseFile() {
  FFileHandle = nullptr;
  FOwnedHandle.reset();
  RefreshFileInfo();
}

void TCustomDecoder::SetFileHandle(AVFormatContext *AHandle) {
  if (AHandle == FFileHandle)
    return;
  FFLoader().CheckLibAV(DecoderLibraries);
  CloseFile();
  FFileHandle = AHandle;
  RefreshFileInfo();
}

void TCustomDecoder::RefreshFileInfo() {
  FFileSize = -1;
  FStreamCount = FProgramCount = -1;
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
  FFirstAudioStreamIndex = FFirstVideoStreamIndex = FFirstSubtitleStreamIndex = -1;
  if (!FFileHandle)
    return;
  FFileSize = ContainerFileSize(FFileHandle);
  FStreamCount = int(FFileHandle->nb_streams);
  FProgramCount = int(FFileHandle->nb_programs);
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
  for (int i = 0; i < FStreamCount; ++i) {
    switch (FFileHandle->streams[i]->codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      if (FVideoStreamCount++ == 0)
        FFirstVideoStreamIndex = i;
      break;
    case AVMEDIA_TYPE_AUDIO:
      if (FAudioStreamCount++ == 0)
        FFirstAudioStreamIndex = i;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      if (FSubtitleStreamCount++ == 0)
        FFirstSubtitleStreamIndex = i;
      break;
    default:
      break;
    }
  }
}

bool TCustomDecoder::CheckFileLoaded() {
  if (FFileHandle)
    return true;
  Fail(llWarning, "file not loaded.");
  return false;
}

TFileStreamInfo TCustomDecoder::FileStreamInfo() {
  TFileStreamInfo info;
  if (!CheckFileLoaded())
    return info;
  const AVFormatContext *ctx = FFileHandle;
  info.StartTime = ctx->start_time;
  info.Duration = ctx->duration == AV_NOPTS_VALUE ? -1 : ctx->duration;
  info.BitRate = int(uint32_t(ctx->bit_rate));
  info.Year = IntTag(ctx->metadata, "year");
  info.Track = IntTag(ctx->metadata, "track");
  info.Title = Tag(ctx->metadata, "title");
  info.Author = Tag(ctx->metadata, "author");
  info.Copyright = Tag(ctx->metadata, "copyright");
  info.Comment = Tag(ctx->metadata, "comment");
  info.Album = Tag(ctx->metadata, "album");
  info.Genre = Tag(ctx->metadata, "genre");
  return info;
}

AVStream *TCustomDecoder::StreamOfKind(int AIndex, AVMediaType AType) {
  if (!CheckFileLoaded())
    return nullptr;
  if (AIndex < 0) {
    AIndex = AType == AVMEDIA_TYPE_AUDIO   ? FFirstAudioStreamIndex
             : AType == AVMEDIA_TYPE_VIDEO ? FFirstVideoStreamIndex
                                           : FFirstSubtitleStreamIndex;
    if (AIndex < 0) {
      Failf(llError, "no %s stream.", KindName(AType));
      return nullptr;
    }
  }
  if (AIndex >= FStreamCount) {
    Failf(llError, "stream index #%d is invalid.", AIndex);
    return nullptr;
  }
  AVStream *st = FFileHandle->streams[AIndex];
  if (st->codecpar->codec_type != AType) {
    Failf(llError, "stream #%d is not %s stream.", AIndex, KindName(AType));
    return nullptr;
  }
  return st;
}

std::string TCustomDecoder::CodecName(AVCodecID AId) const {
  if (AId == AV_CODEC_ID_NONE)
    return "none";
  auto compose = [this](const char *name, const char *longName) {
    std::string result = name ? name : "";
    std::string trimmed = Trim(longName);
    if (GetLongCodecName && !trimmed.empty())
      result += "(" + trimmed + ")";
    return result;
  };
  if (const AVCodecDescriptor *desc = ff::avcodec_descriptor_get(AId))
    return compose(desc->name, desc->long_name);
  ff::av_log(nullptr, AV_LOG_WARNING, "Codec 0x%x is not in the full list.\n", unsigned(AId));
  if (const AVCodec *codec = ff::avcodec_find_decoder(AId))
    return compose(codec->name, codec->long_name);
  return "unknown_codec";
}

TAudioStreamInfo TCustomDecoder::AudioStreamInfos(int AIndex) {
  TAudioStreamInfo info;
  AVStream *st = StreamOfKind(AIndex, AVMEDIA_TYPE_AUDIO);
  if (!st)
    return info;
  FillStreamFacts(info, st, CodecName(st->codecpar->codec_id));
  const AVCodecParameters *par = st->codecpar;
  info.Channels = par->ch_layout.nb_channels;
  info.SampleRate = par->sample_rate;
  info.SampleFormat = AVSampleFormat(par->format);
  return info;
}

namespace {

// The display matrix's turn as a quarter turn counter-clockwise: 0, 90, 180 or 270.
int QuarterTurnOf(const AVStream *st) {
  const auto *matrix = reinterpret_cast<const int32_t *>(
      ff::av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
  if (!matrix)
    return 0;
  const double degrees = ff::av_display_rotation_get(matrix);
  if (std::isnan(degrees))
    return 0;
  const int quarter = int(std::lround(degrees / 90.0)) % 4;
  return (quarter + 4) % 4 * 90;
}

} // namespace

TVideoStreamInfo TCustomDecoder::VideoStreamInfos(int AIndex) {
  TVideoStreamInfo info;
  AVStream *st = StreamOfKind(AIndex, AVMEDIA_TYPE_VIDEO);
  if (!st)
    return info;
  FillStreamFacts(info, st, CodecName(st->codecpar->codec_id));
  const AVCodecParameters *par = st->codecpar;
  info.Height = par->height;
  info.Width = par->width;
  info.SAR = st->sample_aspect_ratio.num != 0 ? st->sample_aspect_ratio : par->sample_aspect_ratio;
  info.SampleAspectRatio = info.SAR.den != 0 ? float(info.SAR.num) / float(info.SAR.den) : 0.0f;
  if (info.SAR.num != 0) {
    ff::av_reduce(&info.DAR.num, &info.DAR.den, Mul32(info.Width, info.SAR.num),
                  Mul32(info.Height, info.SAR.den), 1024 * 1024);
    if (info.DAR.den != 0)
      info.DisplayAspectRatio = float(info.DAR.num) / float(info.DAR.den);
  }
  info.PixFmt = AVPixelFormat(par->format);
  info.FrameRate = GuessFrameRate(st);
  info.Rotation = QuarterTurnOf(st);
  return info;
}

TSubtitleStreamInfo TCustomDecoder::SubtitleStreamInfos(int AIndex) {
  TSubtitleStreamInfo info;
  AVStream *st = StreamOfKind(AIndex, AVMEDIA_TYPE_SUBTITLE);
  if (!st)
    return info;
  info.Language = Tag(st->metadata, "language");
  info.CodecName = CodecName(st->codecpar->codec_id);
  if (const AVCodecDescriptor *desc = ff::avcodec_descriptor_get(st->codecpar->codec_id)) {
    if (desc->props & AV_CODEC_PROP_BITMAP_SUB)
      info.SubFormat = 0;
    else if (desc->props & AV_CODEC_PROP_TEXT_SUB)
      info.SubFormat = 1;
  }
  return info;
}

std::vector<std::string> TCustomDecoder::AudioLanguages() const {
  std::vector<std::string> languages;
  if (!FFileHandle)
    return languages;
  for (unsigned i = 0; i < FFileHandle->nb_streams; ++i)
    if (const AVStream *st = FFileHandle->streams[i];
        st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
      languages.push_back(Tag(st->metadata, "language"));
  return languages;
}

bool TCustomDecoder::IsVideoStream(int AStreamIndex) {
  if (!CheckFileLoaded())
    return false;
  if (AStreamIndex < 0 || AStreamIndex >= FStreamCount) {
    Failf(llError, "stream index #%d is invalid.", AStreamIndex);
    return false;
  }
  return FFileHandle->streams[AStreamIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

std::string TCustomDecoder::FileName() {
  if (!CheckFileLoaded())
    return "";
  return FFileHandle->url ? FFileHandle->url : "";
}

std::string TCustomDecoder::FormatName() {
  if (!CheckFileLoaded())
    return "";
  return FFileHandle->iformat && FFileHandle->iformat->name ? FFileHandle->iformat->name : "";
}

std::string TCustomDecoder::FormatLongName() {
  if (!CheckFileLoaded())
    return "";
  return FFileHandle->iformat && FFileHandle->iformat->long_name ? FFileHandle->iformat->long_name
                                                                 : "";
}

std::string TCustomDecoder::FileInfoText() {
  if (!CheckFileLoaded())
    return "";
  return FormatFileInfoText(FFileHandle);
}
