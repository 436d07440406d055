#include "media/TAudioResampler.h"

#include <cstring>
#include <new>

#include "components/TFFLogger.h"
#include "transcode/FFErrorText.h"

namespace {
const char *SampleFormatName(AVSampleFormat AFormat) {
  const char *name = ff::av_get_sample_fmt_name(AFormat);
  return name ? name : "none";
}
} // namespace

TAudioResampler::~TAudioResampler() {
  Reset();
  ff::av_channel_layout_uninit(&FOutLayout);
}

void TAudioResampler::SetOutput(int AChannels, int ASampleRate, AVSampleFormat AFormat) {
  if (AChannels != FOutChannels)
    ff::av_channel_layout_uninit(&FOutLayout); // the default for the new count on first use
  FOutChannels = AChannels;
  FOutRate = ASampleRate;
  FOutFormat = AFormat;
  Free();
}

void TAudioResampler::Reset() {
  Free();
  ff::av_channel_layout_uninit(&FParam.channel_layout);
  FParam = TAudioParam{};
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

int TAudioResampler::Convert(const AVFrame *AFrame, const uint8_t *&ASamples) {
  if (!FSwr && !CreateResampler())
    return -1;
  int capacity = int(int64_t(AFrame->nb_samples) * FOutRate / AFrame->sample_rate) + 256;
  int bytes = ff::av_samples_get_buffer_size(nullptr, FOutChannels, capacity, FOutFormat, 1);
  if (bytes < 0 || !FResampledBuffer.Reserve(size_t(bytes)))
    return Fail(AVERROR(ENOMEM), "av_fast_malloc() failed");
  uint8_t *out = FResampledBuffer.Data();
  int n = ff::swr_convert(FSwr.get(), &out, capacity,
                          const_cast<const uint8_t **>(AFrame->extended_data), AFrame->nb_samples);
  if (n < 0)
    return Fail(n, FFErrorText("swr_convert() failed", n));
  if (n == capacity) {
    Log(FLogSender, llError, "warning: audio buffer is probably too small");
    ff::swr_init(FSwr.get());
  }
  ASamples = out;
  return n * FOutChannels * ff::av_get_bytes_per_sample(FOutFormat);
}

int TAudioResampler::Resample(const AVFrame *AFrame, int AStreamIndex, TAVBuffer &AOut,
                              size_t AOffset) {
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

  const uint8_t *samples = nullptr;
  int bytes;
  if (PassThrough()) {
    // The samples themselves, without the plane's alignment padding.
    samples = AFrame->data[0];
    bytes = AFrame->nb_samples * channels * ff::av_get_bytes_per_sample(FOutFormat);
  } else {
    bytes = Convert(AFrame, samples);
    if (bytes < 0)
      return bytes;
  }
  if (!AOut.Grow(AOffset + size_t(bytes)))
    return Fail(AVERROR(ENOMEM), "av_fast_malloc() failed");
  if (bytes > 0)
    std::memcpy(AOut.Data() + AOffset, samples, size_t(bytes));
  return bytes;
}
