// TAudioResampler: converts decoded audio frames into one fixed output format (channels,
// rate, sample format), re-creating its resampler when the source format changes mid-stream
// and passing frames through untouched when they already have the output format. Output
// comes in pieces of a caller-given bound; what exceeds it is held back, never dropped.
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
  // Converts AFrame of stream AStreamIndex and appends at most AMaxSamples samples (per
  // channel) to AOut at AOffset (AOut grows as needed); what does not fit is held back for
  // Drain, so that no header can make one block any larger. Returns the byte count, or a
  // negative error with LastErrMsg set. Call only when Drain has nothing left.
  int Resample(const AVFrame *AFrame, int AStreamIndex, TAVBuffer &AOut, size_t AOffset,
               int AMaxSamples);
  // Appends at most AMaxSamples held-back samples (per channel) to AOut at AOffset; the byte
  // count, 0 when nothing is held back, or a negative error with LastErrMsg set. AEnd (the
  // stream has ended): also the samples the resampler's filter still delays.
  int Drain(TAVBuffer &AOut, size_t AOffset, int AMaxSamples, bool AEnd = false);
  // Bytes of one output sample of every channel.
  int OutputFrameBytes() const;
  // Frees the resampler and drops held-back samples (the resampler is re-created on the next
  // frame that needs one).
  void Free();
  // Drops held-back samples and what the resampler buffers (after a seek).
  void Discard();
  // Frees the resampler and forgets the source format.
  void Reset();
  const std::string &LastErrMsg() const { return FLastErrMsg; }

private:
  bool SourceChanged(const AVChannelLayout &ALayout, const AVFrame *AFrame) const;
  bool PassThrough() const;
  bool CreateResampler();
  // Converts AInCount samples of AIn (none: only what the resampler holds) into at most
  // AMaxSamples samples at AOut + AOffset.
  int Convert(const uint8_t *const *AIn, int AInCount, TAVBuffer &AOut, size_t AOffset,
              int AMaxSamples);
  // Appends ACount output-format samples; the byte count or a negative error.
  int CopySamples(const uint8_t *ASamples, int ACount, TAVBuffer &AOut, size_t AOffset);
  // Copies samples of FHeld from FHeldOffset on, at most AMaxSamples.
  int CopyHeld(TAVBuffer &AOut, size_t AOffset, int AMaxSamples);
  void DropHeld();
  int Fail(int AResult, const std::string &AMsg);

  const TObject *FLogSender;
  TAudioParam FParam;
  TSwrPtr FSwr;
  TFramePtr FHeld; // a passed-through frame that did not fit into its block
  int FHeldOffset = 0;
  int FOutChannels = 2;
  int FOutRate = 44100;
  AVSampleFormat FOutFormat = AV_SAMPLE_FMT_S16;
  AVChannelLayout FOutLayout{}; // unset until first use: then the default for FOutChannels
  std::string FLastErrMsg;
};
