// Automatic stream choice of an output without -map: which input stream feeds the output's
// video, audio, subtitle and data stream. Pure functions over the opened inputs.
#pragma once

#include <memory>
#include <vector>

#include "components/FFAPI.h"
#include "transcode/TInputFile.h"

struct TInputsView {
  const std::vector<std::unique_ptr<TInputFile>> &files;
  const std::vector<std::unique_ptr<TInputStream>> &streams;
};

// Best video stream: per file the highest width x height (+1e8 for a stream that announced new
// packets, +5e6 for a default stream; attached pictures score 1 unless the muxer takes them as
// APIC, then only they qualify); across files the default bonus no longer counts. -1: none.
int BestVideoStream(const TInputsView &in, const AVOutputFormat *ofmt);
// Best audio stream: the same with the channel count as the base score. -1: none.
int BestAudioStream(const TInputsView &in);
// First subtitle stream whose kind (text/bitmap) suits the muxer's default subtitle encoder,
// or the first one at all when an encoder was named. -1: none.
int FirstSubtitleStream(const TInputsView &in, const AVOutputFormat *ofmt, bool encoderGiven);
// First data stream with exactly codec id. -1: none.
int FirstDataStream(const TInputsView &in, AVCodecID id);
