// Frames of many sizes and pixel formats through the bitmap path: decode, convert to every
// bitmap format, copy back to the RGB picture and convert that into planes again. CTest runs
// this program under valgrind or guard pages (overrun_check.sh), which see writes past a
// buffer that the scaler makes inside the libraries (the address sanitizer does not
// instrument them).
#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "media/TFFDecoder.h"

namespace {

struct TClip {
  int Width;
  int Height;
  const char *PixFmt;
};

void PrintTo(const TClip &c, std::ostream *os) {
  *os << c.Width << "x" << c.Height << " " << c.PixFmt;
}

std::string ClipFile(const TClip &c) {
  return Fixture("frames_" + std::to_string(c.Width) + "x" + std::to_string(c.Height) + "_" +
                 c.PixFmt + ".mkv");
}

// Planes allocated by the library for RGBToPicture to write into.
class TLibraryPicture {
public:
  TLibraryPicture(int AWidth, int AHeight, AVPixelFormat AFormat) {
    Size = ff::av_image_alloc(Planes.data, Planes.linesize, AWidth, AHeight, AFormat, 64);
  }
  ~TLibraryPicture() { ff::av_freep(&Planes.data[0]); }
  TPicturePlanes Planes;
  int Size;
};

class BitmapPath : public ::testing::TestWithParam<TClip> {};

TEST_P(BitmapPath, EveryBitmapFormatKeepsTheFrameSizeAndConvertsBack) {
  const TClip &c = GetParam();
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(ClipFile(c))) << dec.LastErrMsg();
  for (int bits : {32, 24, 16, 15, 8}) {
    SCOPED_TRACE(bits);
    dec.SetBitmapBitsPixel(bits);
    ASSERT_TRUE(dec.Seek(0)) << dec.LastErrMsg();
    for (int frame = 0; frame < 2; ++frame) {
      ASSERT_TRUE(dec.Decode()) << dec.LastErrMsg();
      ASSERT_EQ(dec.FrameInfo().Width, c.Width);
      ASSERT_EQ(dec.FrameInfo().Height, c.Height);
      TBitmap bmp;
      ASSERT_TRUE(dec.CopyToBitmap(bmp)) << dec.LastErrMsg();
      EXPECT_EQ(bmp.Width(), c.Width);
      EXPECT_EQ(bmp.Height(), c.Height);
      EXPECT_EQ(bmp.BitsPerPixel(), bits == 15 ? 16 : bits);
      EXPECT_EQ(bmp.Stride(), TBitmap::StrideOf(c.Width, bmp.PixelFormat()));
    }
    TFormatConverter &conv = dec.FormatConverter();
    conv.BitmapToRGB();
    TLibraryPicture yuv(c.Width, c.Height, AV_PIX_FMT_YUV420P);
    ASSERT_GT(yuv.Size, 0);
    EXPECT_TRUE(conv.RGBToPicture(yuv.Planes.data, yuv.Planes.linesize, c.Height, c.Width,
                                  AV_PIX_FMT_YUV420P))
        << conv.LastErrMsg();
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BitmapPath,
                         ::testing::Values(TClip{1, 1, "yuv420p"}, TClip{2, 2, "yuv420p"},
                                           TClip{3, 5, "yuv420p"}, TClip{17, 9, "yuv420p"},
                                           TClip{33, 31, "yuv444p"}, TClip{101, 57, "rgb24"},
                                           TClip{13, 7, "gray"}, TClip{63, 47, "yuv422p10le"},
                                           TClip{1920, 4, "yuv420p"}, TClip{4, 270, "yuv420p"},
                                           TClip{360, 640, "yuv420p"}, TClip{856, 480, "yuv420p"}));

// Proof that the checker sees what it is there for: the scaler writes one row more than the
// buffer holds. Run only by the overrun check's own test, which expects it to be caught.
TEST(PlantedOverrun, DISABLED_ScalerWritesOneRowPastTheBuffer) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(ClipFile(TClip{101, 57, "rgb24"}))) << dec.LastErrMsg();
  ASSERT_TRUE(dec.Decode()) << dec.LastErrMsg();
  TBitmap bmp;
  ASSERT_TRUE(dec.CopyToBitmap(bmp)) << dec.LastErrMsg();
  TFormatConverter &conv = dec.FormatConverter();
  conv.BitmapToRGB();
  const int width = 101, height = 57;
  const int stride = width * 4;
  auto *planes = static_cast<uint8_t *>(ff::av_malloc(size_t(stride) * height));
  ASSERT_NE(planes, nullptr);
  uint8_t *data[4] = {planes};
  const int linesize[4] = {stride};
  conv.RGBToPicture(data, linesize, height + 1, width, AV_PIX_FMT_BGRA);
  ff::av_free(planes);
}

} // namespace
