// Files whose headers claim absurd values: the decoder neither crashes nor lets the claim
// decide how much it allocates.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
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

} // namespace
