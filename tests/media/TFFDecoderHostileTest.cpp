// Files whose headers claim absurd values: the decoder neither crashes nor lets the claim
// decide how much it allocates.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <vector>

#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "media/TFFDecoder.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes ReadBytes(const std::string &APath) {
  std::ifstream in(APath, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), {});
}

std::string WriteTemp(const std::string &AName, const TBytes &ABytes) {
  const std::string path = ::testing::TempDir() + AName;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char *>(ABytes.data()), std::streamsize(ABytes.size()));
  return path;
}

void Put32(TBytes &ABytes, size_t AOffset, uint32_t AValue) {
  for (int i = 0; i < 4; ++i)
    ABytes[AOffset + i] = uint8_t(AValue >> (8 * i));
}

void Put16(TBytes &ABytes, size_t AOffset, uint16_t AValue) {
  ABytes[AOffset] = uint8_t(AValue);
  ABytes[AOffset + 1] = uint8_t(AValue >> 8);
}

void Put32BE(TBytes &ABytes, size_t AOffset, uint32_t AValue) {
  for (int i = 0; i < 4; ++i)
    ABytes[AOffset + i] = uint8_t(AValue >> (8 * (3 - i)));
}

size_t Find(const TBytes &ABytes, const char *ATag) {
  auto at = std::search(ABytes.begin(), ABytes.end(), ATag, ATag + std::strlen(ATag));
  return at == ABytes.end() ? std::string::npos : size_t(at - ABytes.begin());
}

// A copy of an AVI whose headers claim ARate frames per second: the video stream header's
// scale and rate, and the main header's microseconds per frame.
std::string AviClaimingRate(const std::string &ASource, uint32_t ARate) {
  TBytes avi = ReadBytes(ASource);
  size_t strh = Find(avi, "strh"), avih = Find(avi, "avih");
  EXPECT_NE(strh, std::string::npos);
  EXPECT_NE(avih, std::string::npos);
  EXPECT_EQ(std::string(avi.begin() + strh + 8, avi.begin() + strh + 12), "vids");
  Put32(avi, strh + 28, 1);
  Put32(avi, strh + 32, ARate);
  Put32(avi, avih + 8, 1000000 / ARate);
  return WriteTemp("rate_" + std::to_string(ARate) + ".avi", avi);
}

TEST(DecoderHostileHeaders, AFrameRateOfTwoMillionStepsWithoutDividingByZero) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(AviClaimingRate(Fixture("mjpeg.avi"), 2000000))) << dec.LastErrMsg();
  const AVRational rate = dec.FirstVideoStreamInfo().FrameRate;
  ASSERT_EQ(rate.num / rate.den, 2000000);
  // The preview's First button on the fresh file, then every stepping operation mid-file.
  EXPECT_TRUE(dec.DecodePreviousKeyFrame()) << dec.LastErrMsg();
  ASSERT_TRUE(dec.Seek(0));
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(dec.Decode()) << i;
  const int64_t tenth = dec.FrameInfo().PTS;
  EXPECT_TRUE(dec.DecodePreviousFrame()) << dec.LastErrMsg();
  EXPECT_LT(dec.FrameInfo().PTS, tenth);
  EXPECT_TRUE(dec.DecodePreviousKeyFrame()) << dec.LastErrMsg();
  EXPECT_TRUE(dec.DecodeNextKeyFrame()) << dec.LastErrMsg();
  ASSERT_TRUE(dec.Seek(0));
  ASSERT_TRUE(dec.Decode());
  EXPECT_EQ(dec.FrameInfo().PTS, 0);
}

// A WAV file of ASamples mono 16-bit samples (a slow ramp) whose header claims ARate
// samples per second.
std::string WavClaimingRate(uint32_t ARate, int ASamples) {
  const uint32_t data = uint32_t(ASamples) * 2;
  TBytes wav(44 + data);
  std::memcpy(&wav[0], "RIFF", 4);
  Put32(wav, 4, 36 + data);
  std::memcpy(&wav[8], "WAVEfmt ", 8);
  Put32(wav, 16, 16);
  Put16(wav, 20, 1); // PCM
  Put16(wav, 22, 1); // mono
  Put32(wav, 24, ARate);
  Put32(wav, 28, ARate * 2);
  Put16(wav, 32, 2);
  Put16(wav, 34, 16);
  std::memcpy(&wav[36], "data", 4);
  Put32(wav, 40, data);
  for (int i = 0; i < ASamples; ++i)
    Put16(wav, 44 + 2 * size_t(i), uint16_t(i * 256));
  return WriteTemp("rate_" + std::to_string(ARate) + ".wav", wav);
}

TEST(DecoderHostileHeaders, AWavClaimingOneHertzComesInBoundedBlocksWithNothingLost) {
  const int samples = 64; // 64 s at 1 Hz: 2.8 million output samples
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(WavClaimingRate(1, samples))) << dec.LastErrMsg();
  ASSERT_EQ(dec.FirstAudioStreamInfo().SampleRate, 1);
  int blocks = 0, largest = 0;
  int64_t bytes = 0, end = AV_NOPTS_VALUE;
  while (dec.DecodeAudio()) {
    const TWaveInfo &w = dec.WaveInfo();
    if (blocks++ > 0) {
      EXPECT_NEAR(double(w.PTS), double(end), 1000) << "block " << blocks;
    }
    end = w.PTS + w.Duration;
    largest = std::max(largest, w.Size);
    bytes += w.Size;
  }
  EXPECT_LE(largest, TFFDecoder::MaxAudioBlockSamples * 4);
  EXPECT_NEAR(double(bytes), samples * 176400.0, 0.01 * samples * 176400);
  EXPECT_NEAR(double(end), samples * 1e6, 0.01 * samples * 1e6);
}

uint32_t Crc32(const uint8_t *AData, size_t ASize) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < ASize; ++i) {
    crc ^= AData[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void AddPngChunk(TBytes &APng, const char *AType, const TBytes &AData) {
  const size_t at = APng.size();
  APng.resize(at + 12 + AData.size());
  Put32BE(APng, at, uint32_t(AData.size()));
  std::memcpy(&APng[at + 4], AType, 4);
  std::copy(AData.begin(), AData.end(), APng.begin() + long(at) + 8);
  Put32BE(APng, at + 8 + AData.size(), Crc32(&APng[at + 4], 4 + AData.size()));
}

// A PNG picture of a few hundred bytes whose header claims AWidth x AHeight RGB pixels: its
// only data is one stored (uncompressed) block of 400 zero bytes.
TBytes PngClaimingSize(uint32_t AWidth, uint32_t AHeight) {
  TBytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  TBytes header(13);
  Put32BE(header, 0, AWidth);
  Put32BE(header, 4, AHeight);
  header[8] = 8; // bits per channel
  header[9] = 2; // RGB
  AddPngChunk(png, "IHDR", header);
  const uint16_t stored = 400;
  TBytes zlib = {0x78,
                 0x01,
                 0x01,
                 uint8_t(stored),
                 uint8_t(stored >> 8),
                 uint8_t(~stored),
                 uint8_t(~stored >> 8)};
  zlib.resize(zlib.size() + stored + 4);
  Put32BE(zlib, zlib.size() - 4, (uint32_t(stored) << 16) | 1); // Adler-32 of the zeros
  AddPngChunk(png, "IDAT", zlib);
  AddPngChunk(png, "IEND", {});
  return png;
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The resident peak is the process's, so the test measures how far opening raises it; under
// CTest each test runs in a process of its own.
TEST(DecoderHostileHeaders, APictureClaiming16000x16000OpensWithoutAllocatingForIt) {
  const std::string path = WriteTemp("huge_picture.avi", PngClaimingSize(16000, 16000));
  const long before = PeakKilobytes();
  TFFDecoder dec;
  if (dec.LoadFile(path)) {
    EXPECT_FALSE(dec.Decode());
    TBitmap bmp;
    EXPECT_FALSE(dec.CopyToBitmap(bmp));
  }
  EXPECT_LT(PeakKilobytes() - before, 100 * 1024) << "kB more at the peak";
}

TEST(DecoderHostileHeaders, ProbingDecodesFramesUpToTheCapOnly) {
  // 8192 x 4320 is the cap itself: probing decodes the picture and learns its size; one row
  // more is refused, and the stream's size stays unknown.
  for (uint32_t height : {4320u, 4321u}) {
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(WriteTemp("cap.png", PngClaimingSize(8192, height)), "png_pipe"))
        << dec.LastErrMsg();
    EXPECT_EQ(dec.FirstVideoStreamInfo().Height, height == 4320 ? 4320 : 0);
  }
}

} // namespace
