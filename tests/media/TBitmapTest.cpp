// The core bitmap's geometry.
#include <stdexcept>

#include <gtest/gtest.h>

#include "media/TBitmap.h"

namespace {

struct TStrideCase {
  TBMPPixelFormat Format;
  int Width;
  int Stride;
};

void PrintTo(const TStrideCase &c, std::ostream *os) {
  *os << "format " << int(c.Format) << " width " << c.Width;
}

class BitmapStride : public ::testing::TestWithParam<TStrideCase> {};

TEST_P(BitmapStride, RowsAreWholeWordsLongEnoughForTheWidth) {
  const TStrideCase &c = GetParam();
  TBitmap bmp;
  bmp.SetSize(c.Width, 3, c.Format);
  EXPECT_EQ(bmp.Stride(), c.Stride);
  EXPECT_EQ(bmp.ByteSize(), size_t(c.Stride) * 3);
  EXPECT_EQ(bmp.ScanLine(2) - bmp.ScanLine(0), 2 * c.Stride);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BitmapStride,
    ::testing::Values(TStrideCase{pf8bit, 321, 324}, TStrideCase{pf15bit, 321, 644},
                      TStrideCase{pf16bit, 2, 4}, TStrideCase{pf24bit, 321, 964},
                      TStrideCase{pf24bit, 4, 12}, TStrideCase{pf32bit, 321, 1284},
                      TStrideCase{pf32bit, 0, 0}));

TEST(Bitmap, FillBlackIsOpaqueAndOtherFormatsAreRejected) {
  TBitmap bmp;
  bmp.SetSize(3, 2, pf32bit);
  bmp.FillBlack();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const uint8_t *p = bmp.ScanLine(y) + 4 * x;
      EXPECT_EQ(p[0] | p[1] | p[2], 0);
      EXPECT_EQ(p[3], 255);
    }
  EXPECT_THROW(bmp.SetSize(3, 2, pf1bit), std::invalid_argument);
  EXPECT_THROW(bmp.SetSize(3, 2, pfCustom), std::invalid_argument);
}

TEST(Bitmap, ThePaletteOfThe8BitFormatSpansBlackToWhite) {
  TBitmap bmp;
  bmp.SetSize(1, 1, pf8bit);
  ASSERT_EQ(bmp.Palette().size(), 256u);
  EXPECT_EQ(bmp.Palette()[0], 0xFF000000u);
  EXPECT_EQ(bmp.Palette()[255], 0xFFFFFFFFu);
  EXPECT_EQ(bmp.Palette()[7], 0xFFFF0000u);    // red bits 2-0
  EXPECT_EQ(bmp.Palette()[0xC0], 0xFF0000FFu); // blue bits 7-6
  bmp.SetSize(1, 1, pf24bit);
  EXPECT_TRUE(bmp.Palette().empty());
}

} // namespace
