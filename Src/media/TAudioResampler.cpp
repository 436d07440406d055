#include "media/TAudioResampler.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "components/TFFLogger.h"
#include "transcode/common/FFErrorText.h"

namespace {
const char *SampleFormatName(AVSampleFormat AFormat) {
  const char *name = ff::av_get_sample_fmt_name(AFormat);
  return name ? name : "none";
}

// An unset layout owns nothing: leaving it alone keeps a resampler that never met the
// libraries (they may not be loaded) from calling into them.
void UninitLayout(AVChannelLayout &ALayout) {
  if (ALayout.order != AV_CHANNEL_ORDER_UNSPEC || ALayout.nb_channels != 0)
    ff::av_channel_layout_uninit(&ALayout);
}
} // namespace

TAudioResampler::~TAudioResampler() {
  Reset();
  UninitLayout(FOutLayout);
}

void TAudioResampler::SetOutput(int AChannels, int ASampleRate, AVSampleFormat AFormat) {
  if (AChannels != FOutChannels)
    UninitLayout(FOutLayout); // the default for the new count on first use
  FOutChannels = AChannels;
  FOutRate = ASampleRate;
  FOutFormat = AFormat;
  Free();
}

void TAudioResampler::Free() {
  FSwr.reset();
  DropHeld();
}

void TAudioResampler::Discard() {
  DropHeld();
  // Re-initialising empties the resampler's buffers.
  if (FSwr && ff::swr_init(FSwr.get()) < 0)
    FSwr.reset();
}

void TAudioResampler::Reset() {
  Free();
  UninitLayout(FParam.channel_layout);
  FParam = TAudioParam{};
}

int TAudioResampler::OutputFrameBytes() const {
  return FOutChannels * ff::av_get_bytes_per_sample(FOutFormat);
}

bool TAudioResampler::SourceChanged(const AVChannelLayout &ALayout, const AVFrame *AFrame) const {
  return ff::av_channel_layout_compare(&ALayout, &FParam.channel_layout) != 0 ||
         AFrame->ch_layout.nb_channels != FParam.channels || AFrame->sample_rate != FParam.freq ||
         AFrame->format != FParam.fmt;
}

bool TAudioResampler::PassThrough() const {
  return FParam.channels == FOutChannels && FParam.freq == FOutRate && FParam.fmt == FOutFormat &&
         ff::av_channel_layout_compare(&FParam.channel_layout, &FOutLayout) == 0;
}

int TAudioResampler::Fail(int AResult, const std::string &AMsg) {
  FLastErrMsg = AMsg;
  Log(FLogSender, llError, AMsg);
  return AResult;
}

bool TAudioResampler::CreateResampler() {
  SwrContext *swr = nullptr;
  if (ff::swr_alloc_set_opts2(&swr, &FOutLayout, FOutFormat, FOutRate, &FParam.channel_layout,
                              FParam.fmt, FParam.freq, 0, nullptr) < 0)
    swr = nullptr;
  FSwr.reset(swr);
  if (FSwr && ff::swr_init(FSwr.get()) < 0) {
    Log(FLogSender, llFatal, "swr_init() failed");
    FSwr.reset();
  }
  char text[256];
  std::snprintf(text, sizeof text, "%d Hz %s %d channels to %d Hz %s %d channels", FParam.freq,
                SampleFormatName(FParam.fmt), FParam.channels, FOutRate,
                SampleFormatName(FOutFormat), FOutChannels);
  if (!FSwr) {
    Fail(-1, std::string("Can not resample ") + text);
    return false;
  }
  Log(FLogSender, llInfo, "need resample %s", text);
  return true;
}

int TAudioResampler::Convert(const uint8_t *const *AIn, int AInCount, TAVBuffer &AOut,
                             size_t AOffset, int AMaxSamples) {
  const size_t frameBytes = size_t(OutputFrameBytes());
  if (!AOut.Grow(AOffset + size_t(AMaxSamples) * frameBytes))
    return Fail(AVERROR(ENOMEM), "av_fast_malloc() failed");
  // Input beyond what fits stays inside the resampler until Drain asks for it.
  uint8_t *out = AOut.Data() + AOffset;
  int n =
      ff::swr_convert(FSwr.get(), &out, AMaxSamples, const_cast<const uint8_t **>(AIn), AInCount);
  if (n < 0)
    return Fail(n, FFErrorText("swr_convert() failed", n));
  return n * int(frameBytes);
}

int TAudioResampler::CopySamples(const uint8_t *ASamples, int ACount, TAVBuffer &AOut,
                                 size_t AOffset) {
  const size_t bytes = size_t(ACount) * size_t(OutputFrameBytes());
  if (!AOut.Grow(AOffset + bytes))
    return Fail(AVERROR(ENOMEM), "av_fast_malloc() failed");
  if (bytes > 0)
    std::memcpy(AOut.Data() + AOffset, ASamples, bytes);
  return int(bytes);
}

int TAudioResampler::CopyHeld(TAVBuffer &AOut, size_t AOffset, int AMaxSamples) {
  const int count = std::min(FHeld->nb_samples - FHeldOffset, AMaxSamples);
  int bytes = CopySamples(FHeld->data[0] + size_t(FHeldOffset) * size_t(OutputFrameBytes()), count,
                          AOut, AOffset);
  FHeldOffset += count;
  if (bytes < 0 || FHeldOffset >= FHeld->nb_samples)
    DropHeld();
  return bytes;
}

void TAudioResampler::DropHeld() {
  if (FHeld)
    ff::av_frame_unref(FHeld.get());
  FHeldOffset = 0;
}

int TAudioResampler::Drain(TAVBuffer &AOut, size_t AOffset, int AMaxSamples, bool AEnd) {
  if (FHeld && FHeld->nb_samples > 0)
    return CopyHeld(AOut, AOffset, AMaxSamples);
  if (!FSwr)
    return 0;
  // No input but a real pointer: the resampler hands out what it holds without flushing;
  // a null one at the end flushes the samples its filter still delays.
  static const uint8_t *const none[AV_NUM_DATA_POINTERS] = {};
  return Convert(AEnd ? nullptr : none, 0, AOut, AOffset, AMaxSamples);
}

int TAudioResampler::Resample(const AVFrame *AFrame, int AStreamIndex, TAVBuffer &AOut,
                              size_t AOffset, int AMaxSamples) {
  int channels = AFrame->ch_layout.nb_channels;
  AVChannelLayout layout{};
  if (AFrame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC &&
      ff::av_channel_layout_check(&AFrame->ch_layout))
    ff::av_channel_layout_copy(&layout, &AFrame->ch_layout);
  else
    ff::av_channel_layout_default(&layout, channels);

  if (SourceChanged(layout, AFrame)) {
    if (FParam.channels != -1)
      Log(FLogSender, llInfo,
          "Audio stream #%d frame changed from %d Hz %s %d channels to %d Hz %s %d channels",
          AStreamIndex, FParam.freq, SampleFormatName(FParam.fmt), FParam.channels,
          AFrame->sample_rate, SampleFormatName(AVSampleFormat(AFrame->format)), channels);
    Free();
    ff::av_channel_layout_uninit(&FParam.channel_layout);
    FParam.channel_layout = layout; // takes ownership
    FParam.channels = channels;
    FParam.freq = AFrame->sample_rate;
    FParam.fmt = AVSampleFormat(AFrame->format);
  } else {
    ff::av_channel_layout_uninit(&layout);
  }
  FParam.st_idx = AStreamIndex;
  if (FOutLayout.nb_channels == 0)
    ff::av_channel_layout_default(&FOutLayout, FOutChannels);

  if (!PassThrough()) {
    if (!FSwr && !CreateResampler())
      return -1;
    return Convert(AFrame->extended_data, AFrame->nb_samples, AOut, AOffset, AMaxSamples);
  }
  // The samples themselves, without the plane's alignment padding; the part of a frame that
  // exceeds the bound is held and handed out by Drain.
  const int count = std::min(AFrame->nb_samples, AMaxSamples);
  int bytes = CopySamples(AFrame->data[0], count, AOut, AOffset);
  if (bytes < 0 || count == AFrame->nb_samples)
    return bytes;
  if (!FHeld) {
    FHeld.reset(ff::av_frame_alloc());
    if (!FHeld)
      throw std::bad_alloc();
  }
  int ret = ff::av_frame_ref(FHeld.get(), AFrame);
  if (ret < 0)
    return Fail(ret, FFErrorText("av_frame_ref() failed", ret));
  FHeldOffset = count;
  return bytes;
}
