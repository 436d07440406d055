// A frame larger than the block bound comes out in pieces of at most the bound, in order,
// nothing dropped: passed through as it is, or converted by the resampler.
#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "media/TAudioResampler.h"

namespace {

struct TPiecesCase {
  int Rate;
  AVSampleFormat Format;
  int Samples;
};

void PrintTo(const TPiecesCase &c, std::ostream *os) {
  *os << c.Rate << " Hz " << (c.Format == AV_SAMPLE_FMT_S16 ? "s16" : "fltp");
}

// A stereo frame whose sample i holds the value i in both channels (as 16-bit or float).
TFramePtr RampFrame(const TPiecesCase &c) {
  TFramePtr frame(ff::av_frame_alloc());
  frame->nb_samples = c.Samples;
  frame->format = c.Format;
  frame->sample_rate = c.Rate;
  ff::av_channel_layout_default(&frame->ch_layout, 2);
  EXPECT_EQ(ff::av_frame_get_buffer(frame.get(), 0), 0);
  for (int i = 0; i < c.Samples; ++i) {
    if (c.Format == AV_SAMPLE_FMT_S16) {
      auto *s = reinterpret_cast<int16_t *>(frame->data[0]);
      s[2 * i] = s[2 * i + 1] = int16_t(i);
    } else {
      for (int ch = 0; ch < 2; ++ch)
        reinterpret_cast<float *>(frame->data[ch])[i] = float(i % 64) / 64;
    }
  }
  return frame;
}

class AudioResamplerPieces : public ::testing::TestWithParam<TPiecesCase> {};

TEST_P(AudioResamplerPieces, ComeOutBoundedInOrderAndComplete) {
  const TPiecesCase &c = GetParam();
  const int bound = 4096;
  TAudioResampler resampler(nullptr);
  TFramePtr frame = RampFrame(c);
  TAVBuffer out;
  int total = resampler.Resample(frame.get(), 0, out, 0, bound);
  ASSERT_EQ(total, bound * 4);
  for (int bytes; (bytes = resampler.Drain(out, size_t(total), bound)) > 0; total += bytes)
    ASSERT_LE(bytes, bound * 4);
  for (int bytes; (bytes = resampler.Drain(out, size_t(total), bound, true)) > 0; total += bytes)
    ASSERT_LE(bytes, bound * 4);
  const double expected = double(c.Samples) * 44100 / c.Rate;
  EXPECT_NEAR(total / 4, expected, 2);
  if (c.Rate == 44100 && c.Format == AV_SAMPLE_FMT_S16) {
    const auto *s = reinterpret_cast<const int16_t *>(out.Data());
    for (int i = 0; i < c.Samples; ++i)
      ASSERT_EQ(s[2 * i], int16_t(i)) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Frames, AudioResamplerPieces,
                         ::testing::Values(TPiecesCase{44100, AV_SAMPLE_FMT_S16, 10000},
                                           TPiecesCase{48000, AV_SAMPLE_FMT_FLTP, 20000},
                                           TPiecesCase{8000, AV_SAMPLE_FMT_S16, 3000}));

} // namespace
