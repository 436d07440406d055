#include "media/TFFDecoder.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <stdexcept>
#include <strings.h>

#include "media/DecoderHelpers.h"
#include "transcode/common/CodecOptions.h"
#include "transcode/common/FFErrorText.h"
#include "transcode/common/TFFOptions.h"

namespace {
constexpr AVRational Microseconds{1, 1000000};
// Times a file gives are kept within +-2^61 microseconds (73,000 years) before stepping
// arithmetic adds frame durations to them.
constexpr int64_t MaxStepTime = int64_t(1) << 61;

int64_t StepTime(int64_t ATime) {
  return std::clamp(ATime, -MaxStepTime, MaxStepTime);
}
const char *const DecodeVideoMethod = "Decode() for video";
const char *const DecodeAudioMethod = "DecodeAudio()";
const char *const SeekMethod = "Seek()";
} // namespace

TFFDecoder::TFFDecoder() : FFilterGraph(this), FResampler(this) {
  ResetWaveInfo();
}

TFFDecoder::~TFFDecoder() {
  TFFDecoder::CloseFile();
}

void TFFDecoder::AfterFileLoaded(TFFOptions &AOptions) {
  if (ff::av_dict_get(AOptions.sws_dict(), "sws_flags", nullptr, 0) && AOptions.FetchSwsFlags() < 0)
    return;
  FFormatConv.set_sws_flags(int(AOptions.sws_flags()));
}

void TFFDecoder::CloseFile() {
  FSeekIndex = -1;
  FAudioStarts.clear();
  FReadFromOpen = true;
  FDesireVideoIndex = -1;
  FFrameRate = AVRational{0, 0};
  FEOF = FEOFpkt = false;
  FHeld = false;
  FIndex.Clear();
  FIndexTriedStream = -1;
  FTimesDecoded = false;
  ResetPicture();
  FLastPTS = AV_NOPTS_VALUE;
  FResampler.Reset();
  ResetWaveInfo();
  FDesireAudioIndex = -1;
  FVideoStreamIndex = -1;
  FVideoCodec.reset();
  FAudioStreamIndex = -1;
  FAudioCodec.reset();
  TCustomDecoder::CloseFile();
}

// ---- state helpers ----

void TFFDecoder::ResetPicture() {
  if (FPicture.PTS != AV_NOPTS_VALUE)
    FLastPTS = FPicture.PTS;
  uint8_t *buffer = FPicture.Buffer;
  int size = FPicture.Size;
  FPicture = TFrameInfo{};
  FFrame = FKeyFrameRead = -1;
  FPicture.Buffer = buffer;
  FPicture.Size = size;
  FFilterGraph.Reset();
}

void TFFDecoder::ResetWaveInfo() {
  TWaveInfo &w = FWaveInfo;
  w = TWaveInfo{};
  w.Channels = FDesireAudioChannels;
  w.SampleRate = FDesireAudioSampleRate;
  w.SampleFormat = FDesireAudioSampleFormat;
  w.BytesPerSample =
      ff::av_get_bytes_per_sample ? ff::av_get_bytes_per_sample(FDesireAudioSampleFormat) : 0;
  w.BytesPerSecond = w.BytesPerSample * w.SampleRate * w.Channels;
  w.PTS = w.OriginalDTS = w.OriginalPTS = w.Duration = AV_NOPTS_VALUE;
}

void TFFDecoder::ResetDecoding() {
  if (FVideoCodec)
    ff::avcodec_flush_buffers(FVideoCodec.get());
  if (FAudioCodec)
    ff::avcodec_flush_buffers(FAudioCodec.get());
  FEOF = FEOFpkt = false;
  if (FHeld)
    ff::av_packet_unref(FPacket.get());
  FHeld = false;
  ResetPicture();
  ResetWaveInfo();
  FResampler.Discard();
}

int64_t TFFDecoder::FrameDuration() const {
  // A file may claim any rate (two million frames per second rounds to 0 microseconds): a
  // frame lasts at least one microsecond, so that stepping never divides by zero.
  if (FFrameRate.num > 0 && FFrameRate.den > 0)
    return std::max<int64_t>(1, int64_t(1000000) * FFrameRate.den / FFrameRate.num);
  return 1000000 / 25;
}

int64_t TFFDecoder::ReaderPosition() const {
  return FFileHandle && FFileHandle->pb ? ff::avio_seek(FFileHandle->pb, 0, SEEK_CUR) : -1;
}

int64_t TFFDecoder::Position() {
  if (!CheckFileLoaded())
    return -1;
  if (!FFileHandle->pb) {
    Fail(llWarning, "cannot get position");
    return -1;
  }
  return ReaderPosition();
}

int64_t TFFDecoder::StreamTimeToMicroseconds(int AStreamIndex, int64_t ATime) const {
  const AVStream *st = FFileHandle->streams[AStreamIndex];
  // Both times come from the file: the difference saturates instead of overflowing.
  const int64_t start = st->start_time;
  if (start > 0 && ATime < INT64_MIN + 1 + start)
    ATime = INT64_MIN + 1;
  else if (start < 0 && start != AV_NOPTS_VALUE && ATime > INT64_MAX + start)
    ATime = INT64_MAX;
  else if (start != AV_NOPTS_VALUE)
    ATime -= start;
  return ff::av_rescale_q(ATime, st->time_base, Microseconds);
}

// ---- stream selection and decoders ----

bool TFFDecoder::CheckFileHandle() {
  if (!CheckFileLoaded())
    return false;
  if (!FOwnedHandle) { // a lent handle is not ours to seek
    Fail(llWarning, "file cannot be seeked, handle is readonly.");
    throw std::runtime_error(LastErrMsg());
  }
  return true;
}

bool TFFDecoder::IsImage2() const {
  return FFileHandle && FFileHandle->iformat && FFileHandle->iformat->name &&
         strcasecmp(FFileHandle->iformat->name, "image2") == 0;
}

bool TFFDecoder::CheckSeekable() {
  if (!CheckFileHandle())
    return false;
  if (IsImage2()) {
    Fail(llInfo, "\"image2\" format cannot to be seeked.");
    return false;
  }
  return true;
}

int TFFDecoder::SelectStream(int AStreamIndex, AVMediaType AType, int &ADesireIndex) {
  if (!CheckFileHandle())
    return -1;
  const char *kind = AType == AVMEDIA_TYPE_VIDEO ? "video" : "audio";
  if (AStreamIndex < 0) {
    AStreamIndex = ADesireIndex >= 0             ? ADesireIndex
                   : AType == AVMEDIA_TYPE_VIDEO ? FirstVideoStreamIndex()
                                                 : FirstAudioStreamIndex();
    if (AStreamIndex < 0) {
      Failf(llError, "no %s stream.", kind);
      return -1;
    }
  }
  if (AStreamIndex >= StreamCount()) {
    Failf(llError, "stream index #%d is invalid.", AStreamIndex);
    return -1;
  }
  if (FFileHandle->streams[AStreamIndex]->codecpar->codec_type != AType) {
    Failf(llError, "stream #%d is not %s stream.", AStreamIndex, kind);
    return -1;
  }
  return AStreamIndex;
}

int TFFDecoder::SelectVideoStream(int AStreamIndex) {
  int index = SelectStream(AStreamIndex, AVMEDIA_TYPE_VIDEO, FDesireVideoIndex);
  if (index < 0)
    return -1;
  if (index != FDesireVideoIndex) {
    ResetPicture();
    FHeld = false;
    FFrameRate = GuessFrameRate(FFileHandle->streams[index]);
  }
  FDesireVideoIndex = FSeekIndex = index;
  return index;
}

int TFFDecoder::SelectAudioStream(int AStreamIndex) {
  int index = SelectStream(AStreamIndex, AVMEDIA_TYPE_AUDIO, FDesireAudioIndex);
  if (index < 0)
    return -1;
  if (index != FDesireAudioIndex) {
    ResetWaveInfo();
    FreeResampler();
  }
  FDesireAudioIndex = FSeekIndex = index;
  return index;
}

TCodecContextPtr TFFDecoder::OpenDecoder(int AStreamIndex, bool AVideo) {
  AVStream *st = FFileHandle->streams[AStreamIndex];
  TCodecContextPtr ctx(ff::avcodec_alloc_context3(nullptr));
  if (!ctx) {
    Fail(llError, "failed to alloc avcodec context.");
    return nullptr;
  }
  if (ff::avcodec_parameters_to_context(ctx.get(), st->codecpar) < 0) {
    Fail(llError, "failed to get avcodec context.");
    return nullptr;
  }
  if (AVideo && (ctx->width == 0 || ctx->height == 0)) {
    Fail(llError, "frame size of codec is invalid.");
    return nullptr;
  }
  if (AVideo)
    ctx->thread_count = 1; // each packet yields its frame without threading delay
  ctx->pkt_timebase = st->time_base;
  (AVideo ? FVideoCodec : FAudioCodec).reset();
  (AVideo ? FVideoStreamIndex : FAudioStreamIndex) = -1;
  const AVCodec *codec = ff::avcodec_find_decoder(ctx->codec_id);
  if (!codec) {
    Failf(llError, "Unsupported codec (id=%d) for input file stream #%d", int(ctx->codec_id),
          AStreamIndex);
    return nullptr;
  }
  TDict opts =
      FilterCodecOpts(Options().codec_opts(), st->codecpar->codec_id, FFileHandle, st, codec);
  CapFramePixels(opts.Ref());
  int ret = ff::avcodec_open2(ctx.get(), codec, opts.Ref());
  if (ret < 0) {
    Failf(llError, "Error while opening codec for input file stream #%d", AStreamIndex);
    return nullptr;
  }
  return ctx;
}

bool TFFDecoder::OpenStreamDecoder(bool AVideo) {
  TCodecContextPtr &codec = AVideo ? FVideoCodec : FAudioCodec;
  int &streamIndex = AVideo ? FVideoStreamIndex : FAudioStreamIndex;
  const int desireIndex = AVideo ? FDesireVideoIndex : FDesireAudioIndex;
  if (codec && streamIndex == desireIndex)
    return true;
  codec = OpenDecoder(desireIndex, AVideo);
  if (!codec)
    return false;
  streamIndex = desireIndex;
  return true;
}

// ---- the packet loop shared by video and audio ----

void TFFDecoder::AllocPacket() {
  if (!FPacket) {
    FPacket.reset(ff::av_packet_alloc());
    if (!FPacket)
      throw std::bad_alloc();
  }
}

bool TFFDecoder::ReadPackets(const char *AMethod, int AStreamIndex, TPacketHandler AHandler,
                             bool AStopOnError) {
  AllocPacket();
  AVPacket *pkt = FPacket.get();
  const std::string cls = ClassName();
  for (;;) {
    FLastRead = ff::av_gettime_relative();
    int ret = ff::av_read_frame(FFileHandle, pkt);
    if (ret == AVERROR(EAGAIN)) {
      Failf(llInfo, "%s.%s: no data, please try again.", cls.c_str(), AMethod);
      return false;
    }
    if (ret < 0) {
      if (FEOFpkt) {
        if (ret == AVERROR(EPIPE) || ret == AVERROR_EOF ||
            (FFileHandle->pb && ff::avio_feof(FFileHandle->pb))) {
          Failf(llInfo, "%s.%s: stream eof reached.", cls.c_str(), AMethod);
          FEOF = true;
        } else {
          Failf(llInfo, "%s.%s: unknown error #%d.", cls.c_str(), AMethod, ret);
        }
        return false;
      }
      // First failure: an empty packet drains the decoder's delayed frames.
      FEOFpkt = true;
      ff::av_packet_unref(pkt);
      pkt->stream_index = AStreamIndex;
    } else if (NoteAudioStart(pkt), pkt->stream_index != AStreamIndex) {
      ff::av_packet_unref(pkt);
      continue;
    }
    int result = (this->*AHandler)(pkt);
    ff::av_packet_unref(pkt);
    if (result > 0)
      return true;
    if (result < 0 && AStopOnError)
      return false;
  }
}

// ---- video ----

bool TFFDecoder::Decode(int AStreamIndex) {
  int index = SelectVideoStream(AStreamIndex);
  if (index < 0)
    return false;
  if (FPicture.Ready && IsImage2())
    return true; // a still image is decoded once
  if (FHeld) {
    // A seek left the reader on a key frame's packet: it is decoded first.
    FHeld = false;
    const int held = OpenStreamDecoder(true) ? DecodeVideoPacket(FPacket.get()) : 0;
    ff::av_packet_unref(FPacket.get());
    if (held > 0)
      return true;
  }
  if (FEOF && FEOFpkt) {
    Failf(llInfo, "%s.%s: stream eof reached.", ClassName().c_str(), DecodeVideoMethod);
    return false;
  }
  if (!OpenStreamDecoder(true))
    return false;
  // A frame still held by the decoder (several delayed frames while draining, or a packet
  // that held more than one frame) is delivered before anything more is read.
  if (ReceiveVideoFrame(nullptr) > 0)
    return true;
  return ReadPackets(DecodeVideoMethod, index, &TFFDecoder::DecodeVideoPacket, false);
}

int TFFDecoder::DecodeVideoPacket(AVPacket *APacket) {
  FVideoCodec->reordered_opaque = APacket->pts;
  int ret = ff::avcodec_send_packet(FVideoCodec.get(), APacket);
  if (ret < 0 && ret != AVERROR_EOF)
    return ret;
  return ReceiveVideoFrame(APacket);
}

int TFFDecoder::ReceiveVideoFrame(const AVPacket *APacket) {
  if (!FDecodedFrame) {
    FDecodedFrame.reset(ff::av_frame_alloc());
    FFilteredFrame.reset(ff::av_frame_alloc());
    if (!FDecodedFrame || !FFilteredFrame)
      throw std::bad_alloc();
  }
  AVFrame *frame = FDecodedFrame.get();
  ff::av_frame_unref(frame);
  int ret = ff::avcodec_receive_frame(FVideoCodec.get(), frame);
  if (ret == AVERROR(EAGAIN))
    return 0;
  if (ret < 0)
    return ret;
  Log(this, llDebug, "pkt.st_idx=%d, dts=%" PRId64 ", pts=%" PRId64 ", flags=%d, pict_type=%d(%c)",
      FVideoStreamIndex, frame->pkt_dts, frame->pts, APacket ? APacket->flags : 0,
      int(frame->pict_type), ff::av_get_picture_type_char(frame->pict_type));
  frame->pts = frame->best_effort_timestamp;

  const AVStream *st = FFileHandle->streams[FVideoStreamIndex];
  TVideoFilterSource source{frame->width,
                            frame->height,
                            AVPixelFormat(frame->format),
                            st->time_base,
                            frame->sample_aspect_ratio,
                            FFrameRate};
  AVFrame *out = FFilterGraph.Filter(frame, FFilteredFrame.get(), VideoFilters, source);
  if (!out)
    return 0;
  return StoreFrameInfo(out, APacket) ? 1 : AVERROR(EINVAL);
}

bool TFFDecoder::StoreFrameInfo(const AVFrame *AFrame, const AVPacket *APacket) {
  AVPixelFormat fmt = AVPixelFormat(AFrame->format);
  TPicturePlanes planes;
  if (!FPictureBuffer.Lay(fmt, AFrame->width, AFrame->height, planes)) {
    Failf(llError, "cannot store a frame of format %d and size %dx%d", int(fmt), AFrame->width,
          AFrame->height);
    return false;
  }
  FPicture.Buffer = FPictureBuffer.Data();
  FPicture.Size = int(FPictureBuffer.Size());

  FPicture.PixFmt = fmt;
  FPicture.Width = AFrame->width;
  FPicture.Height = AFrame->height;
  FPicture.IsKeyFrame = AFrame->key_frame != 0;
  FPicture.IsInterlaced = AFrame->interlaced_frame != 0;
  FPicture.IsTopFieldFirst = AFrame->top_field_first != 0;
  FPicture.PictureType = AFrame->pict_type;
  FPicture.Frame = AFrame;

  // The frame's own best-effort time; the packet's times only when the decoder knows none.
  int64_t t = AFrame->pts;
  if (t == AV_NOPTS_VALUE && APacket)
    t = APacket->dts != AV_NOPTS_VALUE ? APacket->dts : APacket->pts;
  int64_t pts = AV_NOPTS_VALUE;
  if (t != AV_NOPTS_VALUE) {
    pts = StreamTimeToMicroseconds(FVideoStreamIndex, t);
    Log(this, llDebug, "decode PTS: %0.3f", double(pts) / 1000000);
  } else if (FEOFpkt && FPicture.PTS != AV_NOPTS_VALUE && FLastPTS != AV_NOPTS_VALUE) {
    pts = 2 * FPicture.PTS - FLastPTS; // draining without times: continue the cadence
  }
  const int64_t previous = FPicture.PTS;
  if (previous != AV_NOPTS_VALUE)
    FLastPTS = previous;
  FPicture.PTS = pts;
  FFrame = IndexedFrame(previous, FFrame);
  if (FPicture.IsKeyFrame)
    FKeyFrameRead = -1;
  FPicture.OriginalDTS = AFrame->pkt_dts;
  FPicture.OriginalPTS = APacket && APacket->pts != AV_NOPTS_VALUE ? APacket->pts : AFrame->pts;
  FPicture.StreamIndex = FVideoStreamIndex;
  FPicture.Position = AFrame->pkt_pos;

  FPicture.Picture = planes;
  ff::av_image_copy(FPicture.Picture.data, FPicture.Picture.linesize,
                    const_cast<const uint8_t **>(AFrame->data), AFrame->linesize, fmt,
                    AFrame->width, AFrame->height);
  FPicture.Ready = true;
  return true;
}

bool TFFDecoder::Seek(int64_t APTS, TSeekFlags ASeekFlags) {
  if (!CheckSeekable())
    return false;
  const std::string cls = ClassName();
  if (FFileHandle->pb)
    Log(this, llDebug, "%s.%s: current position %" PRId64 " bytes", cls.c_str(), SeekMethod,
        ReaderPosition());
  LearnAudioStarts();
  if (SeekIndexedKey(APTS, ASeekFlags))
    return true;
  int64_t target = APTS;
  bool videoIndex = FSeekIndex >= 0 &&
                    FFileHandle->streams[FSeekIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
  if (APTS == 0 && FFrameRate.den != 0 && videoIndex)
    target = -FrameDuration() / 2; // so that the first frame is not skipped
  const bool restart = APTS == 0 && !(ASeekFlags & sfByte);
  const int audio = restart ? RestartedAudioStream() : -1;
  const int stream = audio >= 0 ? audio : FSeekIndex;
  if (audio >= 0) {
    // The first packet's own time: a start time moved on by the codec's priming (MP3)
    // would land one frame late.
    target = FAudioStarts[size_t(audio)].PTS;
  } else if (!(ASeekFlags & sfByte)) {
    if (FSeekIndex < 0) {
      if (FFileHandle->start_time != AV_NOPTS_VALUE)
        target += FFileHandle->start_time;
    } else {
      const AVStream *st = FFileHandle->streams[FSeekIndex];
      target = ff::av_rescale_q(target, Microseconds, st->time_base);
      if (st->start_time != AV_NOPTS_VALUE)
        target += st->start_time;
    }
  }
  ResetDecoding();

  auto seek = [this, stream, target](int AFlags) {
    FLastRead = ff::av_gettime_relative();
    if (FFileHandle->iformat && FFileHandle->iformat->read_seek2)
      return ff::avformat_seek_file(FFileHandle, stream, INT64_MIN, target, INT64_MAX, AFlags);
    return ff::av_seek_frame(FFileHandle, stream, target, AFlags);
  };
  if (seek(ASeekFlags) < 0 && seek(ASeekFlags ^ sfBackward) < 0) {
    if (ASeekFlags & sfByte)
      Failf(llError, "%s.%s: could not seek to position %" PRId64 " bytes", cls.c_str(), SeekMethod,
            APTS);
    else
      Failf(llError, "%s.%s: could not seek to position %0.3f seconds", cls.c_str(), SeekMethod,
            double(APTS) / 1000000);
    return false;
  }
  for (TAudioStart &start : FAudioStarts)
    start.Restarted = restart;
  if (FFileHandle->pb)
    Log(this, llDebug, "%s.%s: seek to position %" PRId64 " bytes", cls.c_str(), SeekMethod,
        ReaderPosition());
  return true;
}

bool TFFDecoder::SearchNextKeyFrame(int AStreamIndex) {
  const int index = AStreamIndex;
  int64_t target = FrameDuration();
  if (CurrentPTS() > 0)
    target += StepTime(CurrentPTS());
  return Seek(target, 0) && Decode(index);
}

bool TFFDecoder::SearchPreviousKeyFrame(int AStreamIndex) {
  const int index = AStreamIndex;
  const int64_t D = FrameDuration();
  int64_t R = KnownPTS();
  if (R == AV_NOPTS_VALUE) // from a fresh file: the last key frame
    R = FFileHandle->duration != AV_NOPTS_VALUE ? FFileHandle->duration : 0;
  R = StepTime(R);
  const bool byteReader = FFileHandle->pb != nullptr;
  int64_t S = ReaderPosition();
  int64_t M = -2;
  // Past the start by more than a few frames nothing earlier can turn up.
  const int64_t limit = R / D + 4;
  for (int64_t n = 1; n <= limit; ++n) {
    const int64_t back = n * D;
    int64_t B = ReaderPosition();
    Seek(R - back, sfBackward);
    int64_t A = ReaderPosition();
    if (byteReader) {
      if (A >= S && S > 0 && A != B && back <= R)
        continue; // the seek moved, but not back before the starting point
      if (M == -1)
        M = A;
      else if (M > 0 && A >= M && back <= R)
        continue; // the same key frame as the last attempt
    }
    if (M == -2)
      M = -1;
    if (!Decode(index)) {
      if (back > R || FEOF)
        break;
      continue;
    }
    int64_t cur = CurrentPTS();
    if (cur < R || cur <= 0 || (cur == R && back > R))
      return true;
    if (cur >= R && A < M)
      M = -1;
  }
  SetLastErrMsg("Could not seek to the previous key-frame. " + LastErrMsg());
  return false;
}

bool TFFDecoder::SearchPreviousFrame(int AStreamIndex) {
  const int index = AStreamIndex;
  const int64_t D = FrameDuration();
  const int64_t R = KnownPTS() != AV_NOPTS_VALUE ? StepTime(KnownPTS()) : 0;
  const int64_t T = R - 2 * D;
  int64_t best = AV_NOPTS_VALUE;
  if (!SearchPreviousKeyFrame(index))
    return false;
  for (;;) {
    if (CurrentPTS() != AV_NOPTS_VALUE && CurrentPTS() > T)
      return true; // the frame just before R
    if (!Decode(index))
      return false;
    if (CurrentPTS() < R)
      best = CurrentPTS();
    // R reached (or passed) without passing T, as with uneven frame times.
    if (CurrentPTS() >= R && SearchPreviousKeyFrame(index))
      break;
  }
  if (best == AV_NOPTS_VALUE)
    return true;
  while (CurrentPTS() < best && Decode(index)) {
  }
  return true;
}

// ---- frame-exact stepping ----

namespace {
// Key frames tried, one group earlier each time, before a landing gives up: a frame of an
// open group needs the group before it.
constexpr int MaxLandingAttempts = 3;
} // namespace

bool TFFDecoder::DecodeNextKeyFrame(int AStreamIndex) {
  int index = SelectVideoStream(AStreamIndex);
  if (index < 0)
    return false;
  if (!IndexReady(index, true))
    return SearchNextKeyFrame(index);
  const int key = FIndex.KeyAfterFrame(ShownFrame());
  if (key < 0) {
    Fail(llInfo, "no key frame after the current frame.");
    return false;
  }
  return LandOn(index, FIndex.Key(key).Frame);
}

bool TFFDecoder::DecodePreviousKeyFrame(int AStreamIndex) {
  int index = SelectVideoStream(AStreamIndex);
  if (index < 0)
    return false;
  if (!IndexReady(index, true))
    return SearchPreviousKeyFrame(index);
  // From a fresh file: the last key frame.
  const int key =
      KnownPTS() == AV_NOPTS_VALUE ? FIndex.LastKey() : FIndex.KeyBeforeFrame(ShownFrame());
  if (key < 0) {
    SetLastErrMsg("Could not seek to the previous key-frame. no key frame before the current "
                  "frame.");
    Log(this, llInfo, "%s", LastErrMsg().c_str());
    return false;
  }
  return LandOn(index, FIndex.Key(key).Frame);
}

bool TFFDecoder::DecodePreviousFrame(int AStreamIndex) {
  int index = SelectVideoStream(AStreamIndex);
  if (index < 0)
    return false;
  if (!IndexReady(index, true))
    return SearchPreviousFrame(index);
  // By position, not by time: frames may share a time stamp. On the first frame: shown again.
  return LandOn(index, std::max<int64_t>(ShownFrame() - 1, 0));
}

int64_t TFFDecoder::ShownFrame() const {
  return FFrame >= 0 ? FFrame : FIndex.FramesBefore(KnownPTS());
}

int64_t TFFDecoder::IndexedFrame(int64_t APreviousPTS, int64_t APreviousFrame) const {
  const int64_t pts = CurrentPTS();
  if (FIndex.Stream() != FVideoStreamIndex || !FIndex.HasTimes() || pts == AV_NOPTS_VALUE)
    return -1;
  // The key frame a seek read: the one of its time the index chose.
  if (FPicture.IsKeyFrame && FIndex.FrameTime(FKeyFrameRead) == pts)
    return FKeyFrameRead;
  // The next of frames that share a time stamp.
  if (APreviousFrame >= 0 && pts == APreviousPTS && FIndex.FrameTime(APreviousFrame + 1) == pts)
    return APreviousFrame + 1;
  return FIndex.FrameAt(pts, FPicture.IsKeyFrame);
}

int64_t TFFDecoder::VideoFrameCount() {
  int index = SelectVideoStream(-1);
  if (index < 0 || IsImage2())
    return 0;
  IndexReady(index, false); // the count needs no frame times
  return FIndex.Stream() == index ? int64_t(FIndex.PacketCount()) : 0;
}

bool TFFDecoder::SeekIndexedKey(int64_t APTS, TSeekFlags ASeekFlags) {
  if ((ASeekFlags & (sfByte | sfAny | sfFrame)) || FSeekIndex < 0 ||
      FSeekIndex != FDesireVideoIndex || !IndexReady(FSeekIndex, true))
    return false;
  const bool backward = ASeekFlags & sfBackward;
  int key = APTS == 0 ? 0 : backward ? FIndex.KeyAtOrBefore(APTS) : FIndex.KeyAtOrAfter(APTS);
  if (key < 0) // nothing that way: the nearest key frame the other way
    key = backward ? 0 : FIndex.LastKey();
  if (key < 0)
    return false;
  ResetDecoding();
  const TFrameIndex::TKey &k = FIndex.Key(key);
  // The next Decode starts with the key frame's packet.
  FHeld = ReadToKeyPacket(k, false) || ReadToKeyPacket(k, true);
  return FHeld;
}

bool TFFDecoder::IndexReady(int AStreamIndex, bool ANeedTimes) {
  const bool scanned = FIndexTriedStream == AStreamIndex;
  if (scanned && !(ANeedTimes && NeedsDecodedTimes()))
    return FIndex.Stream() == AStreamIndex && FIndex.HasTimes();
  if (!FFileHandle->pb && !FFileHandle->iformat->read_seek && !FFileHandle->iformat->read_seek2)
    return false;
  const int64_t shown = FPicture.Ready ? CurrentPTS() : AV_NOPTS_VALUE;
  if (!scanned) {
    FIndexTriedStream = AStreamIndex;
    FTimesDecoded = false;
    BuildIndex(AStreamIndex);
  }
  if (ANeedTimes && NeedsDecodedTimes()) {
    FTimesDecoded = true;
    RecordDecodedTimes(AStreamIndex);
  }
  const bool timed = FIndex.Stream() == AStreamIndex && FIndex.HasTimes();
  const int64_t frame = timed ? FIndex.FrameAt(shown, false) : -1;
  ResetDecoding();
  if (shown == AV_NOPTS_VALUE || (timed && (frame < 0 || !LandOn(AStreamIndex, frame)))) {
    RewindInput();
    ResetDecoding();
  } else if (!timed && Seek(shown, sfBackward)) {
    while (Decode(AStreamIndex) && CurrentPTS() < shown) {
    }
  }
  return timed;
}

bool TFFDecoder::NeedsDecodedTimes() const {
  return FIndex.Stream() == FIndexTriedStream && FIndex.PacketCount() > 0 && !FIndex.HasTimes() &&
         !FTimesDecoded;
}

void TFFDecoder::BuildIndex(int AStreamIndex) {
  ResetDecoding();
  const auto toMicroseconds = [this, AStreamIndex](int64_t ATime) {
    return StreamTimeToMicroseconds(AStreamIndex, ATime);
  };
  const auto onRead = [this] { FLastRead = ff::av_gettime_relative(); };
  if (!RewindInput() || !FIndex.Scan(FFileHandle, AStreamIndex, toMicroseconds, onRead))
    FIndex.Clear();
}

void TFFDecoder::RecordDecodedTimes(int AStreamIndex) {
  ResetDecoding();
  if (!RewindInput())
    return;
  FIndex.StartDecodedTimes();
  while (Decode(AStreamIndex))
    FIndex.AddDecodedFrame(CurrentPTS(), FPicture.IsKeyFrame);
  FIndex.FinishDecodedTimes();
}

bool TFFDecoder::SeeksByByte() const {
  const AVInputFormat *fmt = FFileHandle->iformat;
  return FFileHandle->pb && !(fmt->flags & AVFMT_NO_BYTE_SEEK) && !fmt->read_seek &&
         !fmt->read_seek2;
}

bool TFFDecoder::RewindInput() {
  LearnAudioStarts();
  FLastRead = ff::av_gettime_relative();
  if (SeeksByByte())
    return ff::av_seek_frame(FFileHandle, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
  const AVStream *st = FFileHandle->streams[FDesireVideoIndex];
  const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  return ff::av_seek_frame(FFileHandle, FDesireVideoIndex, start, AVSEEK_FLAG_BACKWARD) >= 0 ||
         ff::avformat_seek_file(FFileHandle, -1, INT64_MIN, INT64_MIN, INT64_MAX, 0) >= 0;
}

bool TFFDecoder::ReadToKeyPacket(const TFrameIndex::TKey &AKey, bool AFromStart) {
  AllocPacket();
  LearnAudioStarts();
  FLastRead = ff::av_gettime_relative();
  bool placed;
  if (AFromStart)
    placed = RewindInput();
  else if (SeeksByByte() && AKey.Pos >= 0)
    placed = ff::av_seek_frame(FFileHandle, -1, AKey.Pos, AVSEEK_FLAG_BYTE) >= 0;
  else
    placed = ff::av_seek_frame(FFileHandle, FDesireVideoIndex,
                               AKey.StreamDTS != AV_NOPTS_VALUE ? AKey.StreamDTS : AKey.StreamPTS,
                               AVSEEK_FLAG_BACKWARD) >= 0;
  if (!placed)
    return false;
  const bool byDTS = AKey.StreamDTS != AV_NOPTS_VALUE;
  AVPacket *pkt = FPacket.get();
  for (;;) {
    FLastRead = ff::av_gettime_relative();
    if (ff::av_read_frame(FFileHandle, pkt) < 0)
      return false;
    if (pkt->stream_index == FDesireVideoIndex) {
      if (byDTS ? pkt->dts == AKey.StreamDTS
                : (AKey.StreamPTS != AV_NOPTS_VALUE ? pkt->pts == AKey.StreamPTS
                                                    : pkt->pos == AKey.Pos)) {
        FKeyFrameRead = AKey.Frame;
        return true;
      }
      if (byDTS && pkt->dts != AV_NOPTS_VALUE && pkt->dts > AKey.StreamDTS)
        break; // the seek went past the key frame
    }
    ff::av_packet_unref(pkt);
  }
  ff::av_packet_unref(pkt);
  return false;
}

bool TFFDecoder::LandOn(int AStreamIndex, int64_t AFrame) {
  const int64_t time = FIndex.FrameTime(AFrame);
  int key = std::max(FIndex.KeyAtOrBeforeFrame(AFrame), 0);
  for (int attempt = 0; attempt < MaxLandingAttempts && key >= 0; ++attempt, --key) {
    ResetDecoding();
    if (!OpenStreamDecoder(true))
      return false;
    const TFrameIndex::TKey &k = FIndex.Key(key);
    if (!ReadToKeyPacket(k, false) && !ReadToKeyPacket(k, true))
      break;
    bool have = DecodeVideoPacket(FPacket.get()) > 0;
    ff::av_packet_unref(FPacket.get());
    while (!have || CurrentPTS() == AV_NOPTS_VALUE || CurrentPTS() < time ||
           (CurrentPTS() == time && FFrame < AFrame)) {
      if (!(have = Decode(AStreamIndex)))
        return false;
    }
    if (FFrame == AFrame)
      return true;
    // The frame came out of the decoder before this key frame's group (open GOP).
  }
  Failf(llError, "%s.%s: could not reach the frame at %0.3f seconds", ClassName().c_str(),
        SeekMethod, double(time) / 1000000);
  return false;
}

bool TFFDecoder::CopyToBitmap(TBitmap &ABitmap) {
  if (!FPicture.Ready) {
    Fail(llError, "picture not ready, please decode first");
    return false;
  }
  if (!FFormatConv.PictureToRGB(FPicture.Picture.data, FPicture.Picture.linesize, true,
                                FPicture.Height, FPicture.Width, FPicture.PixFmt)) {
    ABitmap.SetSize(FPicture.Width, FPicture.Height, FFormatConv.BMPPixFmt());
    ABitmap.FillBlack();
    Fail(llError, FFormatConv.LastErrMsg());
    return false;
  }
  ABitmap = FFormatConv.Bitmap();
  return true;
}

// ---- audio ----

void TFFDecoder::SetDesireAudioChannels(int AChannels) {
  if (AChannels < 1 || AChannels > MaxAudioChannels)
    throw std::invalid_argument("Invalid channel count " + std::to_string(AChannels));
  SetAudioOutput(AChannels, FDesireAudioSampleRate);
}

void TFFDecoder::SetDesireAudioSampleRate(int ARate) {
  if (ARate < 1 || ARate > MaxAudioSampleRate)
    throw std::invalid_argument("Invalid sample rate " + std::to_string(ARate));
  SetAudioOutput(FDesireAudioChannels, ARate);
}

void TFFDecoder::SetAudioOutput(int AChannels, int ARate) {
  if (AChannels == FDesireAudioChannels && ARate == FDesireAudioSampleRate)
    return;
  FDesireAudioChannels = AChannels;
  FDesireAudioSampleRate = ARate;
  FResampler.SetOutput(FDesireAudioChannels, FDesireAudioSampleRate, FDesireAudioSampleFormat);
  ResetWaveInfo();
  FreeResampler();
}

void TFFDecoder::FreeResampler() {
  FResampler.Free();
}

bool TFFDecoder::DecodeAudio(int AStreamIndex) {
  int index = SelectAudioStream(AStreamIndex);
  if (index < 0)
    return false;
  if (FEOF && FEOFpkt) {
    Failf(llInfo, "%s.%s: stream eof reached.", ClassName().c_str(), DecodeAudioMethod);
    return false;
  }
  if (!OpenStreamDecoder(false))
    return false;
  if (FHeld) { // a video key frame's packet a seek left: audio reads on from there
    ff::av_packet_unref(FPacket.get());
    FHeld = false;
  }
  FLastPTS = AV_NOPTS_VALUE;
  // Samples already decoded (the rest of a block cut at the bound, or frames the decoder
  // still holds) are delivered before anything more is read.
  int held = CollectAudioBlock(nullptr);
  if (held != 0)
    return held > 0;
  return ReadPackets(DecodeAudioMethod, index, &TFFDecoder::DecodeAudioPacket, true);
}

TFFDecoder::TAudioStart *TFFDecoder::AudioStart(int AStreamIndex) {
  if (AStreamIndex < 0 || AStreamIndex >= StreamCount() ||
      FFileHandle->streams[AStreamIndex]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
    return nullptr;
  if (FAudioStarts.size() < size_t(StreamCount()))
    FAudioStarts.resize(size_t(StreamCount()));
  return &FAudioStarts[size_t(AStreamIndex)];
}

bool TFFDecoder::NoteAudioStart(const AVPacket *APacket) {
  TAudioStart *start = FReadFromOpen ? AudioStart(APacket->stream_index) : nullptr;
  if (!start || start->Seen)
    return false;
  start->Seen = true;
  start->PTS = APacket->pts;
  start->Pos = APacket->pos;
  size_t size = 0;
  if (const uint8_t *skip = ff::av_packet_get_side_data(APacket, AV_PKT_DATA_SKIP_SAMPLES, &size))
    start->Skip.assign(skip, skip + size);
  return true;
}

void TFFDecoder::LearnAudioStarts() {
  if (!FReadFromOpen)
    return;
  int unseen = 0;
  for (int i = 0; i < StreamCount(); ++i)
    if (const TAudioStart *start = AudioStart(i); start && !start->Seen)
      ++unseen;
  TPacketPtr pkt(unseen > 0 ? ff::av_packet_alloc() : nullptr);
  if (unseen > 0 && !pkt)
    throw std::bad_alloc();
  while (unseen > 0 &&
         (FLastRead = ff::av_gettime_relative(), ff::av_read_frame(FFileHandle, pkt.get()) >= 0)) {
    if (NoteAudioStart(pkt.get()))
      --unseen;
    ff::av_packet_unref(pkt.get());
  }
  FReadFromOpen = false;
}

int TFFDecoder::RestartedAudioStream() {
  // With no stream chosen, an audio-only file starts over on its first audio stream.
  const int stream = FSeekIndex >= 0               ? FSeekIndex
                     : FirstVideoStreamIndex() < 0 ? FirstAudioStreamIndex()
                                                   : -1;
  const TAudioStart *start = AudioStart(stream);
  if (!start || start->PTS == AV_NOPTS_VALUE)
    return -1;
  // The audio stream that begins first in the file: no stream's first packet is passed over.
  int first = stream;
  for (size_t i = 0; i < FAudioStarts.size(); ++i) {
    const TAudioStart &other = FAudioStarts[i];
    if (other.PTS != AV_NOPTS_VALUE && other.Pos >= 0 &&
        other.Pos < FAudioStarts[size_t(first)].Pos)
      first = int(i);
  }
  return first;
}

void TFFDecoder::KeepStartSkip(AVPacket *APacket) {
  TAudioStart *start = AudioStart(APacket->stream_index);
  if (!start)
    return;
  const bool restarted = start->Restarted;
  start->Restarted = false;
  if (!restarted || start->Skip.empty() || APacket->pts != start->PTS ||
      ff::av_packet_get_side_data(APacket, AV_PKT_DATA_SKIP_SAMPLES, nullptr))
    return;
  uint8_t *skip =
      ff::av_packet_new_side_data(APacket, AV_PKT_DATA_SKIP_SAMPLES, start->Skip.size());
  if (skip)
    std::copy(start->Skip.begin(), start->Skip.end(), skip);
}

int TFFDecoder::DecodeAudioPacket(AVPacket *APacket) {
  if (APacket->data) // not the empty packet that drains the decoder
    KeepStartSkip(APacket);
  int ret = ff::avcodec_send_packet(FAudioCodec.get(), APacket);
  if (ret < 0 && ret != AVERROR_EOF) {
    // A damaged packet ends only this packet; decoding goes on with the next one.
    ResetWaveInfo();
    Log(this, llError, "%s",
        FFErrorText("Error while decoding audio stream #" + std::to_string(APacket->stream_index),
                    ret)
            .c_str());
    return 0;
  }
  return CollectAudioBlock(APacket);
}

int TFFDecoder::CollectAudioBlock(const AVPacket *APacket) {
  ResetWaveInfo();
  if (!FAudioDecodedFrame) {
    FAudioDecodedFrame.reset(ff::av_frame_alloc());
    if (!FAudioDecodedFrame)
      throw std::bad_alloc();
  }
  const int index = FAudioStreamIndex;
  const int frameBytes = FResampler.OutputFrameBytes();
  int total = FResampler.Drain(FAudioBuffer, 0, MaxAudioBlockSamples);
  bool continued = total > 0; // the block goes on where the last one stopped
  int64_t firstFramePTS = AV_NOPTS_VALUE;
  AVFrame *frame = FAudioDecodedFrame.get();
  while (total >= 0 && total < MaxAudioBlockSamples * frameBytes) {
    int ret = ff::avcodec_receive_frame(FAudioCodec.get(), frame);
    if (ret == AVERROR_EOF) {
      // The decoder is drained: so is the resampler.
      int bytes = FResampler.Drain(FAudioBuffer, size_t(total),
                                   MaxAudioBlockSamples - total / frameBytes, true);
      continued = continued || (total == 0 && bytes > 0);
      total = bytes < 0 ? bytes : total + bytes;
      break;
    }
    if (ret == AVERROR(EAGAIN))
      break;
    if (ret < 0) {
      Log(this, llError, "%s",
          FFErrorText("Error while decoding audio stream #" + std::to_string(index), ret).c_str());
      break;
    }
    if (total == 0)
      firstFramePTS = frame->best_effort_timestamp;
    else if (!continued)
      Log(this, llWarning, "Multiple frames in a packet from stream %d", index);
    int bytes = FResampler.Resample(frame, index, FAudioBuffer, size_t(total),
                                    MaxAudioBlockSamples - total / frameBytes);
    ff::av_frame_unref(frame);
    total = bytes < 0 ? bytes : total + bytes;
  }
  if (total < 0) {
    SetLastErrMsg(FResampler.LastErrMsg());
    return total;
  }
  if (total == 0)
    return 0;
  StoreWaveInfo(APacket, continued, firstFramePTS, total);
  return 1;
}

void TFFDecoder::StoreWaveInfo(const AVPacket *APacket, bool AContinued, int64_t AFramePTS,
                               int ASize) {
  const int index = FAudioStreamIndex;
  int64_t t = APacket && !AContinued
                  ? (APacket->dts != AV_NOPTS_VALUE ? APacket->dts : APacket->pts)
                  : AV_NOPTS_VALUE;
  if (t == AV_NOPTS_VALUE)
    t = AFramePTS; // the draining packet and held frames have no times of their own
  if (AContinued)
    FWaveInfo.PTS = FAudioBlockEnd; // the rest of a block cut at the bound
  else
    FWaveInfo.PTS = t == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : StreamTimeToMicroseconds(index, t);
  FWaveInfo.OriginalDTS = APacket ? APacket->dts : AV_NOPTS_VALUE;
  FWaveInfo.OriginalPTS = APacket ? APacket->pts : AV_NOPTS_VALUE;
  FWaveInfo.StreamIndex = index;
  FWaveInfo.Ready = true;
  FWaveInfo.Buffer = FAudioBuffer.Data();
  FWaveInfo.Size = ASize;
  if (FWaveInfo.BytesPerSample > 0)
    FWaveInfo.Duration = std::llround(double(ASize) * 1000000 / FWaveInfo.BytesPerSample /
                                      FDesireAudioSampleRate / FDesireAudioChannels);
  FAudioBlockEnd = FWaveInfo.PTS != AV_NOPTS_VALUE && FWaveInfo.Duration != AV_NOPTS_VALUE
                       ? FWaveInfo.PTS + FWaveInfo.Duration
                       : AV_NOPTS_VALUE;
}
