// TAudioResampler: converts decoded audio frames into one fixed output format (channels,
// rate, sample format), re-creating its resampler when the source format changes mid-stream
// and passing frames through untouched when they already have the output format.
// Owned by one decoder; one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "components/FFAPI.h"
#include "components/TObject.h"
#include "media/MediaOwners.h"

// Format of the frames currently fed to the resampler.
struct TAudioParam {
  int freq = -1;
  int channels = -1;
  AVChannelLayout channel_layout{}; // order AV_CHANNEL_ORDER_UNSPEC with 0 channels: unset
  AVSampleFormat fmt = AV_SAMPLE_FMT_NONE;
  int st_idx = -1;
};

class TAudioResampler {
public:
  explicit TAudioResampler(const TObject *ALogSender) : FLogSender(ALogSender) {}
  ~TAudioResampler();
  TAudioResampler(const TAudioResampler &) = delete;
  TAudioResampler &operator=(const TAudioResampler &) = delete;

  // Sets the output format; frees the resampler and forgets the output layout when the
  // channel count changes.
  void SetOutput(int AChannels, int ASampleRate, AVSampleFormat AFormat);
  // Converts AFrame of stream AStreamIndex and appends the bytes to AOut at AOffset (AOut
  // grows as needed). Returns the byte count, or a negative error with LastErrMsg set.
  int Resample(const AVFrame *AFrame, int AStreamIndex, TAVBuffer &AOut, size_t AOffset);
  // Frees the resampler (it is re-created on the next frame that needs one).
  void Free() { FSwr.reset(); }
  // Frees the resampler and forgets the source format.
  void Reset();
  const std::string &LastErrMsg() const { return FLastErrMsg; }

private:
  bool SourceChanged(const AVChannelLayout &ALayout, const AVFrame *AFrame) const;
  bool PassThrough() const;
  bool CreateResampler();
  int Convert(const AVFrame *AFrame, const uint8_t *&ASamples);
  int Fail(int AResult, const std::string &AMsg);

  const TObject *FLogSender;
  TAudioParam FParam;
  TSwrPtr FSwr;
  TAVBuffer FResampledBuffer;
  int FOutChannels = 2;
  int FOutRate = 44100;
  AVSampleFormat FOutFormat = AV_SAMPLE_FMT_S16;
  AVChannelLayout FOutLayout{}; // unset until first use: then the default for FOutChannels
  std::string FLastErrMsg;
};
