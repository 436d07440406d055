// Audio decoding into 16-bit stereo 44100 Hz blocks.
#include <stdexcept>

#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "media/TFFDecoder.h"

namespace {

struct TAudioTotals {
  int Blocks = 0;
  int64_t Bytes = 0;
  int64_t Duration = 0;
  int64_t FirstPTS = AV_NOPTS_VALUE;
  int64_t LastPTS = AV_NOPTS_VALUE;
};

TAudioTotals DecodeAllAudio(TFFDecoder &ADecoder, int AStream = -1) {
  TAudioTotals t;
  while (ADecoder.DecodeAudio(AStream)) {
    const TWaveInfo &w = ADecoder.WaveInfo();
    EXPECT_TRUE(w.Ready);
    EXPECT_GT(w.Size, 0);
    EXPECT_EQ(w.Size % 4, 0) << "whole stereo 16-bit samples";
    if (t.Blocks == 0)
      t.FirstPTS = w.PTS;
    t.LastPTS = w.PTS;
    ++t.Blocks;
    t.Bytes += w.Size;
    t.Duration += w.Duration;
  }
  return t;
}

struct TAudioCase {
  const char *File;
  int64_t Microseconds; // length of the audio
  int64_t Tolerance;    // codec priming and resampler delay
};

void PrintTo(const TAudioCase &c, std::ostream *os) {
  *os << c.File;
}

class DecoderAudio : public ::testing::TestWithParam<TAudioCase> {};

TEST_P(DecoderAudio, DeliversTheWholeStreamInTheOutputFormatThenEnds) {
  const TAudioCase &c = GetParam();
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture(c.File))) << dec.LastErrMsg();
  TAudioTotals t = DecodeAllAudio(dec);
  const TWaveInfo &w = dec.WaveInfo();
  EXPECT_EQ(w.Channels, 2);
  EXPECT_EQ(w.SampleRate, 44100);
  EXPECT_EQ(w.SampleFormat, AV_SAMPLE_FMT_S16);
  EXPECT_EQ(w.BytesPerSample, 2);
  EXPECT_EQ(w.BytesPerSecond, 176400);
  EXPECT_NEAR(double(t.Bytes), double(c.Microseconds) * 176400 / 1000000,
              double(c.Tolerance) * 176400 / 1000000);
  EXPECT_NEAR(double(t.Duration), double(c.Microseconds), double(c.Tolerance + 1000 * t.Blocks));
  EXPECT_NEAR(double(t.FirstPTS), 0, 60000);
  EXPECT_EQ(dec.LastErrMsg(), "TFFDecoder.DecodeAudio(): stream eof reached.");
  EXPECT_FALSE(dec.DecodeAudio());
  EXPECT_EQ(dec.LastErrMsg(), "TFFDecoder.DecodeAudio(): stream eof reached.");

  // Seek back to the start and the stream plays again.
  ASSERT_TRUE(dec.Seek(0, sfAny)) << dec.LastErrMsg();
  EXPECT_FALSE(dec.WaveInfo().Ready);
  ASSERT_TRUE(dec.DecodeAudio()) << dec.LastErrMsg();
  EXPECT_NEAR(double(dec.WaveInfo().PTS), double(t.FirstPTS), 60000);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DecoderAudio,
    ::testing::Values(TAudioCase{"audio.wav", 1000000, 0},        // passed through untouched
                      TAudioCase{"av.mp4", 2000000, 50000},       // AAC, planar float
                      TAudioCase{"surround.mp4", 1000000, 50000}, // 48 kHz 5.1 AAC
                      TAudioCase{"audio.mp3", 3000000, 80000},    // 22.05 kHz mono MP3
                      TAudioCase{"rate_change.mp3", 2000000, 120000},
                      TAudioCase{"audio_first.mkv", 2000000, 50000})); // 48 kHz Vorbis

// A seek to the start plays the stream again exactly as a fresh open does: the codec's
// priming or pre-skip handled the same way, no samples left over from before the seek, whatever
// was read before it.
struct TRestartCase {
  const char *File;
  int Stream;       // the audio stream played again
  int ReadBefore;   // a stream decoded for a while before the seek; -1: nothing read
  const char *Name; // what the case shows
};

void PrintTo(const TRestartCase &c, std::ostream *os) {
  *os << c.File << " " << c.Name;
}

class DecoderAudioRestart : public ::testing::TestWithParam<TRestartCase> {};

TEST_P(DecoderAudioRestart, SeekToStartGivesTheSamplesOfAFreshOpen) {
  const TRestartCase &c = GetParam();
  TFFDecoder fresh;
  ASSERT_TRUE(fresh.LoadFile(Fixture(c.File))) << fresh.LastErrMsg();
  const TAudioTotals whole = DecodeAllAudio(fresh, c.Stream);
  ASSERT_GT(whole.Bytes, 0);

  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture(c.File)));
  for (int i = 0; c.ReadBefore >= 0 && i < 5; ++i) // stop mid-stream
    ASSERT_TRUE(dec.IsVideoStream(c.ReadBefore) ? dec.Decode(c.ReadBefore)
                                                : dec.DecodeAudio(c.ReadBefore));
  for (int pass = 0; pass < 2; ++pass) { // after a part and after the whole stream
    ASSERT_TRUE(dec.Seek(0, sfAny)) << dec.LastErrMsg();
    const TAudioTotals again = DecodeAllAudio(dec, c.Stream);
    EXPECT_EQ(again.Bytes, whole.Bytes) << "pass " << pass;
    EXPECT_EQ(again.FirstPTS, whole.FirstPTS) << "pass " << pass;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DecoderAudioRestart,
    ::testing::Values(
        // Samples held in the resampler at the seek.
        TRestartCase{"audio.mp3", 0, 0, "MP3 priming, 22.05 kHz resampled"},
        TRestartCase{"opus.ogg", 0, 0, "Opus pre-skip, 48 kHz resampled"},
        TRestartCase{"surround.mp4", 0, 0, "5.1 AAC resampled"},
        TRestartCase{"audio.wav", 0, 0, "passed through"},
        // A seek before any packet was read.
        TRestartCase{"audio.mp3", 0, -1, "MP3 priming, nothing read"},
        TRestartCase{"opus.ogg", 0, -1, "Opus pre-skip, nothing read"},
        TRestartCase{"av_two_opus.ogg", 1, -1, "first Opus stream, nothing read"},
        // Audio packets passed over while another stream was decoded.
        TRestartCase{"av_two_opus.ogg", 1, 0, "first Opus stream after video"},
        TRestartCase{"av_two_opus.ogg", 2, 1, "second Opus stream after the first"},
        TRestartCase{"av_two_opus.ogg", 1, 2, "first Opus stream after the second"}),
    [](const auto &AInfo) { return "Case" + std::to_string(AInfo.index); });

TEST(DecoderAudioBlocks, APlanarFloatAacFrameBecomesOneBlockOf4096Bytes) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  ASSERT_TRUE(dec.DecodeAudio());
  ASSERT_TRUE(dec.DecodeAudio());       // the first AAC frame may be shortened by priming
  EXPECT_EQ(dec.WaveInfo().Size, 4096); // 1024 samples x 2 channels x 2 bytes
  EXPECT_EQ(dec.WaveInfo().Duration, 23220);
  EXPECT_EQ(dec.WaveInfo().StreamIndex, 1);
}

TEST(DecoderAudioBlocks, AnS16StereoWaveIsPassedThroughByteForByte) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("audio.wav")));
  TAudioTotals t = DecodeAllAudio(dec);
  EXPECT_EQ(t.Bytes, 176400); // exactly one second, no padding bytes
  EXPECT_EQ(t.FirstPTS, 0);
}

TEST(DecoderAudioBlocks, AudioOperationsWithoutAnAudioStreamFail) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("ntsc.mp4")));
  EXPECT_FALSE(dec.DecodeAudio());
  EXPECT_EQ(dec.LastErrMsg(), "no audio stream.");
  EXPECT_FALSE(dec.DecodeAudio(0));
  EXPECT_EQ(dec.LastErrMsg(), "stream #0 is not audio stream.");
}

TEST(DecoderAudioBlocks, ChangingTheOutputRateResamplesToIt) {
  TFFDecoder dec;
  dec.SetDesireAudioSampleRate(22050);
  dec.SetDesireAudioChannels(1);
  ASSERT_TRUE(dec.LoadFile(Fixture("audio.wav")));
  TAudioTotals t = DecodeAllAudio(dec);
  EXPECT_EQ(dec.WaveInfo().BytesPerSecond, 44100);
  EXPECT_NEAR(double(t.Bytes), 44100, 1000);
}

TEST(DecoderAudioBlocks, OutputSettingsOutsideTheirBoundsAreRefused) {
  TFFDecoder dec;
  for (int rate : {0, -44100, TFFDecoder::MaxAudioSampleRate + 1})
    EXPECT_THROW(dec.SetDesireAudioSampleRate(rate), std::invalid_argument) << rate;
  for (int channels : {0, -2, TFFDecoder::MaxAudioChannels + 1})
    EXPECT_THROW(dec.SetDesireAudioChannels(channels), std::invalid_argument) << channels;
  ASSERT_TRUE(dec.LoadFile(Fixture("audio.wav")));
  ASSERT_TRUE(dec.DecodeAudio());
  EXPECT_EQ(dec.WaveInfo().BytesPerSecond, 176400);
  EXPECT_GT(dec.WaveInfo().Duration, 0);
}

TEST(DecoderAudioBlocks, VideoAndAudioShareTheEndOfFile) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  while (dec.DecodeAudio()) {
  }
  EXPECT_FALSE(dec.Decode());
  EXPECT_EQ(dec.LastErrMsg(), "TFFDecoder.Decode() for video: stream eof reached.");
  ASSERT_TRUE(dec.Seek(0, sfAny));
  EXPECT_TRUE(dec.Decode());
}

} // namespace
