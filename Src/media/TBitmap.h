// TBitmap: the core's picture, a small owned pixel buffer (width, height, row stride, pixel
// format). No toolkit types: windows wrap Bits() in a QImage without copying.
//
// Memory layout per format (rows top to bottom, each row Stride() bytes, Stride() a multiple
// of 4 so a QImage can use the buffer directly):
//   pf32bit  4 bytes B,G,R,A per pixel (QImage::Format_ARGB32 / RGB32 on little-endian);
//            alpha is defined (255) when AlphaDefined() is true
//   pf24bit  3 bytes B,G,R per pixel (QImage::Format_BGR888)
//   pf16bit  16-bit little-endian words, blue in bits 15-11, green 10-5, red 4-0
//   pf15bit  16-bit little-endian words, blue in bits 14-10, green 9-5, red 4-0
//   pf8bit   one palette index per pixel; Palette() holds 256 0xAARRGGBB entries
//            (index bits: blue 7-6, green 5-3, red 2-0)
// Owned by whoever holds it; copying copies the pixels. Not thread-safe; use from one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The bitmap pixel formats, in the order of the classic pixel-format enumeration; only
// pf8bit ... pf32bit hold pixels here.
enum TBMPPixelFormat : int {
  pfDevice,
  pf1bit,
  pf4bit,
  pf8bit,
  pf15bit,
  pf16bit,
  pf24bit,
  pf32bit,
  pfCustom
};

class TBitmap {
public:
  TBitmap() = default;

  // Resizes to AWidth x AHeight in AFormat (one of pf8bit ... pf32bit; throws
  // std::invalid_argument otherwise). Keeps the buffer when the byte size is unchanged;
  // pixel contents are undefined after a change.
  void SetSize(int AWidth, int AHeight, TBMPPixelFormat AFormat);
  // Sets every pixel to opaque black.
  void FillBlack();

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Stride() const { return FStride; }
  TBMPPixelFormat PixelFormat() const { return FPixelFormat; }
  int BitsPerPixel() const { return BitsPerPixelOf(FPixelFormat); }
  bool AlphaDefined() const { return FPixelFormat == pf32bit; }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }

  uint8_t *Bits() { return FPixels.data(); }
  const uint8_t *Bits() const { return FPixels.data(); }
  uint8_t *ScanLine(int ARow) { return FPixels.data() + size_t(ARow) * FStride; }
  const uint8_t *ScanLine(int ARow) const { return FPixels.data() + size_t(ARow) * FStride; }
  size_t ByteSize() const { return FPixels.size(); }
  // 256 entries for pf8bit, empty otherwise.
  const std::vector<uint32_t> &Palette() const { return FPalette; }

  // 8, 16, 16, 24, 32 for pf8bit ... pf32bit; 0 for the others.
  static int BitsPerPixelOf(TBMPPixelFormat AFormat);
  // Row length in bytes for a width, rounded up to a multiple of 4.
  static int StrideOf(int AWidth, TBMPPixelFormat AFormat);

private:
  int FWidth = 0;
  int FHeight = 0;
  int FStride = 0;
  TBMPPixelFormat FPixelFormat = pf32bit;
  std::vector<uint8_t> FPixels;
  std::vector<uint32_t> FPalette;
};
