#include "media/TBitmap.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {
// Palette of the 3:3:2 index layout (blue 7-6, green 5-3, red 2-0), as 0xAARRGGBB.
std::vector<uint32_t> Bgr8Palette() {
  std::vector<uint32_t> palette(256);
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = (i & 7) * 255 / 7, g = ((i >> 3) & 7) * 255 / 7, b = (i >> 6) * 255 / 3;
    palette[i] = 0xFF000000u | (r << 16) | (g << 8) | b;
  }
  return palette;
}
} // namespace

int TBitmap::BitsPerPixelOf(TBMPPixelFormat AFormat) {
  switch (AFormat) {
  case pf8bit:
    return 8;
  case pf15bit:
  case pf16bit:
    return 16;
  case pf24bit:
    return 24;
  case pf32bit:
    return 32;
  default:
    return 0;
  }
}

int TBitmap::StrideOf(int AWidth, TBMPPixelFormat AFormat) {
  int bytes = (std::max(AWidth, 0) * BitsPerPixelOf(AFormat) + 7) / 8;
  return (bytes + 3) & ~3;
}

void TBitmap::SetSize(int AWidth, int AHeight, TBMPPixelFormat AFormat) {
  if (BitsPerPixelOf(AFormat) == 0)
    throw std::invalid_argument("Invalid PixelFormat " + std::to_string(int(AFormat)));
  FWidth = std::max(AWidth, 0);
  FHeight = std::max(AHeight, 0);
  FPixelFormat = AFormat;
  FStride = StrideOf(FWidth, AFormat);
  FPixels.resize(size_t(FStride) * FHeight);
  if (AFormat == pf8bit) {
    if (FPalette.empty())
      FPalette = Bgr8Palette();
  } else {
    FPalette.clear();
  }
}

void TBitmap::FillBlack() {
  if (FPixelFormat != pf32bit) {
    std::fill(FPixels.begin(), FPixels.end(), uint8_t(0));
    return;
  }
  const uint32_t black = 0xFF000000u; // B, G, R = 0, A = 255 in little-endian memory
  for (int y = 0; y < FHeight; ++y) {
    uint8_t *row = ScanLine(y);
    for (int x = 0; x < FWidth; ++x)
      std::memcpy(row + 4 * x, &black, 4);
  }
}
