// Frames, seeking, key-frame and previous-frame stepping, bitmaps.
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "media/TFFDecoder.h"

namespace {

struct TForwardPass {
  std::vector<int64_t> PTS;
  std::vector<bool> Key;
};

// Decodes a whole file once from the start, recording every frame.
TForwardPass DecodeAll(TFFDecoder &ADecoder) {
  TForwardPass pass;
  while (ADecoder.Decode()) {
    pass.PTS.push_back(ADecoder.FrameInfo().PTS);
    pass.Key.push_back(ADecoder.FrameInfo().IsKeyFrame);
  }
  return pass;
}

struct TStreamCase {
  const char *File;
  size_t Frames;
};

void PrintTo(const TStreamCase &c, std::ostream *os) {
  *os << c.File;
}

class DecoderFrames : public ::testing::TestWithParam<TStreamCase> {
protected:
  void SetUp() override { ASSERT_TRUE(Dec.LoadFile(Fixture(GetParam().File))) << Dec.LastErrMsg(); }
  TFFDecoder Dec;
};

TEST_P(DecoderFrames, DecodesEveryFrameInOrderThenReportsTheEndTwice) {
  TForwardPass pass = DecodeAll(Dec);
  ASSERT_EQ(pass.PTS.size(), GetParam().Frames);
  EXPECT_EQ(pass.PTS.front(), 0);
  EXPECT_TRUE(pass.Key.front());
  for (size_t i = 1; i < pass.PTS.size(); ++i)
    EXPECT_GT(pass.PTS[i], pass.PTS[i - 1]) << "frame " << i;
  EXPECT_EQ(Dec.LastErrMsg(), "TFFDecoder.Decode() for video: stream eof reached.");
  EXPECT_TRUE(Dec.IsEOF());
  EXPECT_FALSE(Dec.Decode());
  EXPECT_EQ(Dec.LastErrMsg(), "TFFDecoder.Decode() for video: stream eof reached.");
}

TEST_P(DecoderFrames, SeekToZeroLandsOnTheFirstFrameFromAnywhere) {
  TForwardPass pass = DecodeAll(Dec);
  ASSERT_FALSE(pass.PTS.empty());
  for (size_t stop : {pass.PTS.size() - 1, pass.PTS.size() / 2, size_t(1)}) {
    ASSERT_TRUE(Dec.Seek(0)) << Dec.LastErrMsg();
    EXPECT_FALSE(Dec.IsEOF());
    for (size_t i = 0; i <= stop; ++i)
      ASSERT_TRUE(Dec.Decode()) << i;
    EXPECT_EQ(Dec.FrameInfo().PTS, pass.PTS[stop]);
    ASSERT_TRUE(Dec.Seek(0));
    ASSERT_TRUE(Dec.Decode());
    EXPECT_EQ(Dec.FrameInfo().PTS, pass.PTS.front()) << "after frame " << stop;
  }
}

TEST_P(DecoderFrames, PreviousFrameStepsExactlyOneFrameBack) {
  TForwardPass pass = DecodeAll(Dec);
  size_t n = pass.PTS.size();
  ASSERT_GT(n, 30u);
  // Inside a GOP, right after a key frame, on a key frame, the last frame, the second frame.
  for (size_t k : {size_t(12), size_t(26), size_t(25), n - 1, size_t(1)}) {
    ASSERT_TRUE(Dec.Seek(0));
    for (size_t i = 0; i <= k; ++i)
      ASSERT_TRUE(Dec.Decode());
    ASSERT_EQ(Dec.FrameInfo().PTS, pass.PTS[k]);
    ASSERT_TRUE(Dec.DecodePreviousFrame()) << Dec.LastErrMsg();
    EXPECT_EQ(Dec.FrameInfo().PTS, pass.PTS[k - 1]) << "from frame " << k;
    ASSERT_TRUE(Dec.DecodePreviousFrame()) << Dec.LastErrMsg();
    EXPECT_EQ(Dec.FrameInfo().PTS, pass.PTS[k - 2 + (k == 1)]) << "twice from frame " << k;
  }
}

TEST_P(DecoderFrames, KeyFrameSteppingVisitsTheKeyFramesBothWays) {
  TForwardPass pass = DecodeAll(Dec);
  std::vector<int64_t> keys;
  for (size_t i = 0; i < pass.PTS.size(); ++i)
    if (pass.Key[i])
      keys.push_back(pass.PTS[i]);
  ASSERT_FALSE(keys.empty());

  // From a freshly loaded file backwards: the last key frame.
  ASSERT_TRUE(Dec.LoadFile(Fixture(GetParam().File)));
  ASSERT_TRUE(Dec.DecodePreviousKeyFrame()) << Dec.LastErrMsg();
  EXPECT_EQ(Dec.FrameInfo().PTS, keys.back());
  for (size_t i = keys.size() - 1; i-- > 0;) {
    ASSERT_TRUE(Dec.DecodePreviousKeyFrame()) << Dec.LastErrMsg();
    EXPECT_EQ(Dec.FrameInfo().PTS, keys[i]);
    EXPECT_TRUE(Dec.FrameInfo().IsKeyFrame);
  }
  // And forwards again from the first frame.
  for (size_t i = 1; i < keys.size(); ++i) {
    ASSERT_TRUE(Dec.DecodeNextKeyFrame()) << Dec.LastErrMsg();
    EXPECT_EQ(Dec.FrameInfo().PTS, keys[i]);
  }
}

TEST_P(DecoderFrames, SteppingForwardReusesTheFrameBufferAndNeverMovesBack) {
  ASSERT_TRUE(Dec.Decode());
  const uint8_t *buffer = Dec.FrameInfo().Buffer;
  int64_t position = Dec.Position();
  while (Dec.Decode()) {
    EXPECT_EQ(Dec.FrameInfo().Buffer, buffer);
    EXPECT_GE(Dec.Position(), position);
    position = Dec.Position();
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DecoderFrames,
                         ::testing::Values(TStreamCase{"av.mp4", 50}, TStreamCase{"av.avi", 50},
                                           TStreamCase{"ntsc.mp4", 60},
                                           TStreamCase{"audio_first.mkv", 50}));

TEST(DecoderVideo, AVideoOperationOnAnAudioOnlyFileFailsWithTheReason) {
  TFFDecoder dec;
  EXPECT_FALSE(dec.Decode());
  EXPECT_EQ(dec.LastErrMsg(), "file not loaded.");
  ASSERT_TRUE(dec.LoadFile(Fixture("audio.mp3")));
  EXPECT_FALSE(dec.Decode());
  EXPECT_EQ(dec.LastErrMsg(), "no video stream.");
  EXPECT_FALSE(dec.Decode(0));
  EXPECT_EQ(dec.LastErrMsg(), "stream #0 is not video stream.");
  EXPECT_FALSE(dec.DecodePreviousFrame(3));
  EXPECT_EQ(dec.LastErrMsg(), "stream index #3 is invalid.");
}

TEST(DecoderVideo, AnImage2StillDecodesOnceAndCannotSeek) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("still.png"), "image2"));
  EXPECT_EQ(dec.FormatName(), "image2");
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(dec.Decode()) << i;
  EXPECT_EQ(dec.FrameInfo().Width, 320);
  EXPECT_FALSE(dec.Seek(0));
  EXPECT_EQ(dec.LastErrMsg(), "\"image2\" format cannot to be seeked.");
}

TEST(DecoderVideo, StepsOnASinglePictureEndWithoutLooping) {
  for (const char *format : {"", "image2"}) {
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(Fixture("still.png"), format));
    ASSERT_TRUE(dec.Decode()) << format;
    dec.DecodePreviousFrame();
    dec.DecodePreviousKeyFrame();
    dec.DecodeNextKeyFrame();
    EXPECT_EQ(dec.FrameInfo().Width, 320) << format;
  }
}

TEST(DecoderVideo, AStreamWithoutTimesStillDecodesToTheEnd) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("unknown_duration.h264")));
  int frames = 0;
  while (dec.Decode())
    ++frames;
  EXPECT_EQ(frames, 25);
  EXPECT_TRUE(dec.IsEOF());
}

struct TSeekCase {
  int64_t Target;
  TSeekFlags Flags;
  int64_t Landing; // PTS of the next decoded frame
};

void PrintTo(const TSeekCase &c, std::ostream *os) {
  *os << c.Target << " flags " << c.Flags;
}

class DecoderSeek : public ::testing::TestWithParam<TSeekCase> {};

// av.mp4 has key frames at 0 and 1 s; a seek the demuxer refuses is retried with the
// backward flag toggled.
TEST_P(DecoderSeek, LandsOnTheKeyFrameTheFlagsAskFor) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  ASSERT_TRUE(dec.Decode());
  ASSERT_TRUE(dec.Seek(GetParam().Target, GetParam().Flags)) << dec.LastErrMsg();
  EXPECT_FALSE(dec.FrameInfo().Ready);
  ASSERT_TRUE(dec.Decode());
  EXPECT_EQ(dec.FrameInfo().PTS, GetParam().Landing);
  EXPECT_TRUE(dec.FrameInfo().IsKeyFrame);
}

INSTANTIATE_TEST_SUITE_P(
    KeyFrames, DecoderSeek,
    ::testing::Values(TSeekCase{0, 0, 0}, TSeekCase{500000, 0, 1000000},
                      TSeekCase{500000, sfBackward, 0}, TSeekCase{1000000, 0, 1000000},
                      TSeekCase{1500000, sfBackward, 1000000},
                      TSeekCase{1500000, 0, 1000000},       // nothing after: retried backward
                      TSeekCase{9000000, 0, 1000000},       // past the end: retried backward
                      TSeekCase{-1000000, sfBackward, 0})); // before the start: retried forward

TEST(DecoderVideo, SeekFailureNamesTheTarget) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  ASSERT_TRUE(dec.Decode());
  EXPECT_FALSE(dec.Seek(-5000000000000LL, sfByte));
  EXPECT_EQ(dec.LastErrMsg(), "TFFDecoder.Seek(): could not seek to position -5000000000000 bytes");
  ASSERT_TRUE(dec.Seek(0));
  EXPECT_TRUE(dec.Decode());
}

// ---- bitmaps ----

struct TBitmapCase {
  int BitsPixel;
  TBMPPixelFormat Format;
  int Stride; // for 320 pixels
};

void PrintTo(const TBitmapCase &c, std::ostream *os) {
  *os << c.BitsPixel << " bits";
}

class DecoderBitmap : public ::testing::TestWithParam<TBitmapCase> {};

TEST_P(DecoderBitmap, CopiesTheFrameInTheChosenFormat) {
  const TBitmapCase &c = GetParam();
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  TBitmap bmp;
  EXPECT_FALSE(dec.CopyToBitmap(bmp));
  EXPECT_EQ(dec.LastErrMsg(), "picture not ready, please decode first");

  ASSERT_TRUE(dec.Decode());
  TBitmap reference;
  ASSERT_TRUE(dec.CopyToBitmap(reference)); // 32-bit by default
  dec.SetBitmapBitsPixel(c.BitsPixel);
  ASSERT_TRUE(dec.CopyToBitmap(bmp)) << dec.LastErrMsg();
  EXPECT_EQ(bmp.PixelFormat(), c.Format);
  EXPECT_EQ(bmp.Width(), 320);
  EXPECT_EQ(bmp.Height(), 240);
  EXPECT_EQ(bmp.Stride(), c.Stride);
  EXPECT_EQ(bmp.ByteSize(), size_t(c.Stride) * 240);
  EXPECT_EQ(bmp.Palette().size(), c.Format == pf8bit ? 256u : 0u);

  // Sample pixels of every row band agree with the 32-bit copy within the format's depth.
  for (int y : {0, 60, 120, 239})
    for (int x : {0, 100, 319}) {
      const uint8_t *ref = reference.ScanLine(y) + 4 * x;
      int b = ref[0], g = ref[1], r = ref[2];
      int tb, tg, tr, tolerance;
      if (c.Format == pf32bit || c.Format == pf24bit) {
        const uint8_t *p = bmp.ScanLine(y) + x * (c.BitsPixel / 8);
        tb = p[0], tg = p[1], tr = p[2], tolerance = 0;
        if (c.Format == pf32bit) {
          EXPECT_EQ(p[3], 255);
        }
      } else if (c.Format == pf8bit) {
        uint32_t argb = bmp.Palette()[bmp.ScanLine(y)[x]];
        tr = (argb >> 16) & 255, tg = (argb >> 8) & 255, tb = argb & 255, tolerance = 128;
      } else {
        const uint8_t *p = bmp.ScanLine(y) + 2 * x;
        int w = p[0] | (p[1] << 8);
        bool is565 = c.Format == pf16bit;
        tr = (w & 31) << 3;
        tg = is565 ? ((w >> 5) & 63) << 2 : ((w >> 5) & 31) << 3;
        tb = is565 ? ((w >> 11) & 31) << 3 : ((w >> 10) & 31) << 3;
        tolerance = 12;
      }
      EXPECT_NEAR(tb, b, tolerance) << x << "," << y;
      EXPECT_NEAR(tg, g, tolerance) << x << "," << y;
      EXPECT_NEAR(tr, r, tolerance) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, DecoderBitmap,
                         ::testing::Values(TBitmapCase{8, pf8bit, 320},
                                           TBitmapCase{15, pf15bit, 640},
                                           TBitmapCase{16, pf16bit, 640},
                                           TBitmapCase{24, pf24bit, 960},
                                           TBitmapCase{32, pf32bit, 1280}));

TEST(DecoderBitmapSettings, RepeatedCopiesReuseTheBuffersOfBitmapAndConverter) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  TBitmap bmp;
  ASSERT_TRUE(dec.Decode());
  ASSERT_TRUE(dec.CopyToBitmap(bmp));
  const uint8_t *pixels = bmp.Bits();
  const uint8_t *rgb = dec.FormatConverter().DIB().Bits;
  for (int i = 0; i < 10 && dec.Decode(); ++i) {
    ASSERT_TRUE(dec.CopyToBitmap(bmp));
    EXPECT_EQ(bmp.Bits(), pixels);
    EXPECT_EQ(dec.FormatConverter().DIB().Bits, rgb);
  }
  EXPECT_EQ(dec.FormatConverter().DIB().WidthBytes, 1280);
  EXPECT_EQ(dec.FormatConverter().DIB().BitsPixel, 32);
}

TEST(DecoderBitmapSettings, ConvertsBackFromRGBIntoTheFramesOwnFormat) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  ASSERT_TRUE(dec.Decode());
  const TFrameInfo &f = dec.FrameInfo();
  TFormatConverter &conv = dec.FormatConverter();
  TPicturePlanes back;
  std::vector<uint8_t> buffer(size_t(f.Width) * f.Height * 3 / 2);
  EXPECT_FALSE(conv.RGBToPicture(back.data, back.linesize, f.Height, f.Width, f.PixFmt));
  ASSERT_TRUE(
      conv.PictureToRGB(f.Picture.data, f.Picture.linesize, false, f.Height, f.Width, f.PixFmt));
  // yuv420p: a full-size luma plane and two quarter-size chroma planes.
  back.data[0] = buffer.data();
  back.data[1] = back.data[0] + f.Width * f.Height;
  back.data[2] = back.data[1] + f.Width * f.Height / 4;
  back.linesize[0] = f.Width;
  back.linesize[1] = back.linesize[2] = f.Width / 2;
  ASSERT_TRUE(conv.RGBToPicture(back.data, back.linesize, f.Height, f.Width, f.PixFmt));
  for (int y : {0, 100, 239})
    for (int x : {0, 160, 319})
      EXPECT_NEAR(back.data[0][y * f.Width + x], f.Picture.data[0][y * f.Picture.linesize[0] + x],
                  6)
          << x << "," << y;
}

TEST(DecoderBitmapSettings, RejectsBitDepthsWithoutAFormat) {
  TFFDecoder dec;
  for (int bits : {0, 1, 4, 12, 48}) {
    try {
      dec.SetBitmapBitsPixel(bits);
      ADD_FAILURE() << bits << " accepted";
    } catch (const std::invalid_argument &e) {
      EXPECT_EQ(std::string(e.what()), "Invalid BitsPixel " + std::to_string(bits));
    }
  }
  EXPECT_EQ(dec.BitmapBitsPixel(), 32);
  EXPECT_THROW(dec.FormatConverter().SetBMPPixFmt(pf4bit), std::invalid_argument);
}

// ---- the optional filter graph ----

TEST(DecoderFilters, FramesPassThroughTheGraphAndABadGraphIsDropped) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  dec.VideoFilters = "scale=160:120,hflip";
  int frames = 0;
  while (dec.Decode()) {
    EXPECT_EQ(dec.FrameInfo().Width, 160);
    EXPECT_EQ(dec.FrameInfo().Height, 120);
    ++frames;
  }
  EXPECT_EQ(frames, 50);

  ASSERT_TRUE(dec.Seek(0));
  dec.VideoFilters = "no_such_filter";
  ASSERT_TRUE(dec.Decode());
  EXPECT_EQ(dec.VideoFilters, "");
  EXPECT_EQ(dec.FrameInfo().Width, 320);
  EXPECT_EQ(dec.FrameInfo().PTS, 0);
}

} // namespace
