#include "media/TFormatConverter.h"

#include <cstring>
#include <stdexcept>

TFormatConverter::TFormatConverter() = default;

AVPixelFormat TFormatConverter::LibraryFormatOf(TBMPPixelFormat AFormat) {
  switch (AFormat) {
  case pf8bit:
    return AV_PIX_FMT_BGR8;
  case pf15bit:
    return AV_PIX_FMT_BGR555LE;
  case pf16bit:
    return AV_PIX_FMT_BGR565LE;
  case pf24bit:
    return AV_PIX_FMT_BGR24;
  case pf32bit:
    return AV_PIX_FMT_BGRA;
  default:
    return AV_PIX_FMT_NONE;
  }
}

void TFormatConverter::SetBMPPixFmt(TBMPPixelFormat AFormat) {
  AVPixelFormat fmt = LibraryFormatOf(AFormat);
  if (fmt == AV_PIX_FMT_NONE)
    throw std::invalid_argument("Invalid PixelFormat " + std::to_string(int(AFormat)));
  if (AFormat == FBMPPixFmt)
    return;
  FBMPPixFmt = AFormat;
  FAVPixFmt = fmt;
  FBitsPixel = TBitmap::BitsPerPixelOf(AFormat);
  FRGBPictureRef = false; // the RGB picture no longer matches the format
}

void TFormatConverter::SetBitsPixel(int ABitsPixel) {
  switch (ABitsPixel) {
  case 8:
    return SetBMPPixFmt(pf8bit);
  case 15:
    return SetBMPPixFmt(pf15bit);
  case 16:
    return SetBMPPixFmt(pf16bit);
  case 24:
    return SetBMPPixFmt(pf24bit);
  case 32:
    return SetBMPPixFmt(pf32bit);
  default:
    throw std::invalid_argument("Invalid BitsPixel " + std::to_string(ABitsPixel));
  }
}

void TFormatConverter::EnsureRGBBuffer(int AWidth, int AHeight) {
  if (!FRGBBuffer.Lay(FAVPixFmt, AWidth, AHeight, FRGBPicture))
    throw std::invalid_argument("Invalid picture size " + std::to_string(AWidth) + "x" +
                                std::to_string(AHeight));
  FRGBWidth = AWidth;
  FRGBHeight = AHeight;
}

size_t TFormatConverter::RGBRowBytes() const {
  return size_t(FRGBWidth) * size_t(FBitsPixel == 15 ? 16 : FBitsPixel) / 8;
}

bool TFormatConverter::PictureToRGB(const uint8_t *const AData[], const int ALineSize[],
                                    bool ACopyToBitmap, int AHeight, int AWidth,
                                    AVPixelFormat APixFmt) {
  FBitmap.SetSize(AWidth, AHeight, FBMPPixFmt);
  EnsureRGBBuffer(AWidth, AHeight);
  // Format conversion only: same size in and out.
  // The cached context is freed by the call when it cannot be reused.
  FtoRGB_convert_ctx.reset(ff::sws_getCachedContext(FtoRGB_convert_ctx.release(), AWidth, AHeight,
                                                    APixFmt, AWidth, AHeight, FAVPixFmt, Fsws_flags,
                                                    nullptr, nullptr, nullptr));
  if (!FtoRGB_convert_ctx) {
    FLastErrMsg = "Cannot initialize the toRGB conversion context";
    FRGBPictureRef = false;
    return false;
  }
  ff::sws_scale(FtoRGB_convert_ctx.get(), AData, ALineSize, 0, AHeight, FRGBPicture.data,
                FRGBPicture.linesize);
  FRGBPictureRef = true;
  FDIB = TDIB{0, AWidth, AHeight, FRGBPicture.linesize[0], 1, FBitsPixel, FRGBPicture.data[0]};
  if (ACopyToBitmap)
    RGBToBitmap();
  return true;
}

void TFormatConverter::RGBToBitmap() {
  if (!FRGBPictureRef)
    throw std::logic_error("RGBToBitmap needs a converted picture");
  if (FBitmap.Width() != FRGBWidth || FBitmap.Height() != FRGBHeight ||
      FBitmap.PixelFormat() != FBMPPixFmt)
    FBitmap.SetSize(FRGBWidth, FRGBHeight, FBMPPixFmt);
  const size_t row = RGBRowBytes();
  for (int y = 0; y < FRGBHeight; ++y)
    std::memcpy(FBitmap.ScanLine(y), FRGBPicture.data[0] + size_t(y) * FRGBPicture.linesize[0],
                row);
}

void TFormatConverter::BitmapToRGB() {
  if (FBitmap.PixelFormat() != FBMPPixFmt)
    SetBMPPixFmt(FBitmap.PixelFormat());
  EnsureRGBBuffer(FBitmap.Width(), FBitmap.Height());
  // The rows' unused ends are cleared: the scaler reads them in blocks.
  const size_t row = RGBRowBytes(), line = size_t(FRGBPicture.linesize[0]);
  for (int y = 0; y < FRGBHeight; ++y) {
    uint8_t *dst = FRGBPicture.data[0] + size_t(y) * line;
    std::memcpy(dst, FBitmap.ScanLine(y), row);
    std::memset(dst + row, 0, line - row);
  }
  FRGBPictureRef = true;
  FDIB =
      TDIB{0, FRGBWidth, FRGBHeight, FRGBPicture.linesize[0], 1, FBitsPixel, FRGBPicture.data[0]};
}

bool TFormatConverter::RGBToPicture(uint8_t *const AData[], const int ALineSize[], int AHeight,
                                    int AWidth, AVPixelFormat APixFmt) {
  if (!FRGBPictureRef) {
    FLastErrMsg = "no RGB picture, convert a picture first";
    return false;
  }
  FfromRGB_convert_ctx.reset(
      ff::sws_getCachedContext(FfromRGB_convert_ctx.release(), FRGBWidth, FRGBHeight, FAVPixFmt,
                               AWidth, AHeight, APixFmt, Fsws_flags, nullptr, nullptr, nullptr));
  if (!FfromRGB_convert_ctx) {
    FLastErrMsg = "Cannot initialize the fromRGB conversion context";
    return false;
  }
  ff::sws_scale(FfromRGB_convert_ctx.get(), FRGBPicture.data, FRGBPicture.linesize, 0, FRGBHeight,
                AData, ALineSize);
  return true;
}
