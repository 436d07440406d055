// TFormatConverter: converts decoded frame planes into a packed RGB picture and a TBitmap
// (and back), with cached scaler contexts and reusable buffers so that converting frame
// after frame of one size allocates nothing. Owned by one decoder; one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/FFAPI.h"
#include "media/MediaOwners.h"
#include "media/TBitmap.h"
#include "media/TDecoderTypes.h"

// A plain description of the converted picture.
struct TDIB {
  int Type = 0;
  int Width = 0;
  int Height = 0;
  int WidthBytes = 0; // bytes per row of the packed RGB picture
  int Planes = 1;
  int BitsPixel = 0;
  uint8_t *Bits = nullptr;
};

class TFormatConverter {
public:
  TFormatConverter();
  TFormatConverter(const TFormatConverter &) = delete;
  TFormatConverter &operator=(const TFormatConverter &) = delete;

  // Converts a source picture (planes, line sizes) of the given size and format to the
  // bitmap's format, same size, into RGBPicture; with ACopyToBitmap also into Bitmap.
  // False with LastErrMsg set when no scaler context can be made.
  bool PictureToRGB(const uint8_t *const AData[], const int ALineSize[], bool ACopyToBitmap,
                    int AHeight, int AWidth, AVPixelFormat APixFmt);
  // Copies RGBPicture into Bitmap row by row; requires a successful PictureToRGB
  // (throws std::logic_error otherwise).
  void RGBToBitmap();
  // Copies Bitmap into RGBPicture (sizing the RGB buffer to the bitmap).
  void BitmapToRGB();
  // Converts RGBPicture into caller-given planes of the given size and format.
  bool RGBToPicture(uint8_t *const AData[], const int ALineSize[], int AHeight, int AWidth,
                    AVPixelFormat APixFmt);

  const TBitmap &Bitmap() const { return FBitmap; }
  TBitmap &Bitmap() { return FBitmap; }
  // 8, 15, 16, 24, 32; any other value throws std::invalid_argument "Invalid BitsPixel %d".
  int BitsPixel() const { return FBitsPixel; }
  void SetBitsPixel(int ABitsPixel);
  // pf8bit ... pf32bit; others throw std::invalid_argument "Invalid PixelFormat %d".
  TBMPPixelFormat BMPPixFmt() const { return FBMPPixFmt; }
  void SetBMPPixFmt(TBMPPixelFormat AFormat);
  AVPixelFormat AVPixFmt() const { return FAVPixFmt; }
  const TDIB &DIB() const { return FDIB; }
  const TPicturePlanes &RGBPicture() const { return FRGBPicture; }
  bool RGBPictureRef() const { return FRGBPictureRef; }
  const std::string &LastErrMsg() const { return FLastErrMsg; }
  int sws_flags() const { return Fsws_flags; }
  void set_sws_flags(int AFlags) { Fsws_flags = AFlags; }

  // The library pixel format a bitmap format is converted through.
  static AVPixelFormat LibraryFormatOf(TBMPPixelFormat AFormat);

private:
  // Lays FRGBPicture out for the size in the bitmap's library format.
  void EnsureRGBBuffer(int AWidth, int AHeight);
  // Bytes of pixels in one row of the RGB picture (its line size adds alignment).
  size_t RGBRowBytes() const;

  AVPixelFormat FAVPixFmt = AV_PIX_FMT_BGRA;
  int FBitsPixel = 32;
  TBitmap FBitmap;
  TBMPPixelFormat FBMPPixFmt = pf32bit;
  TDIB FDIB;
  TPictureBuffer FRGBBuffer; // grown, never shrunk
  TPicturePlanes FRGBPicture;
  bool FRGBPictureRef = false;
  int FRGBWidth = 0;
  int FRGBHeight = 0;
  int Fsws_flags = SWS_BICUBIC;
  TSwsPtr FtoRGB_convert_ctx;
  TSwsPtr FfromRGB_convert_ctx;
  std::string FLastErrMsg;
};
