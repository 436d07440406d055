// The media layer's buffers: a grow-only buffer and a picture buffer from the library
// allocator. The FFmpeg objects' owners are the shared ones (transcode/common/FFOwners.h).
#pragma once

#include <cstring>
#include <memory>
#include <new>

#include "components/FFAPI.h"
#include "media/TDecoderTypes.h"
#include "transcode/common/FFOwners.h"

// A grow-only byte buffer from the library allocator (aligned for SIMD code), with Padding
// bytes past its size that the libraries' block-wise reads and writes may touch. Bytes it
// gains are zeroed, as the libraries zero their own frame pools: block-wise code reads the
// unused ends of rows.
class TAVBuffer {
public:
  static constexpr size_t Padding = AV_INPUT_BUFFER_PADDING_SIZE;

  TAVBuffer() = default;
  ~TAVBuffer() {
    if (FData) // never allocated: the libraries may not even be loaded
      ff::av_free(FData);
  }
  TAVBuffer(const TAVBuffer &) = delete;
  TAVBuffer &operator=(const TAVBuffer &) = delete;
  // Makes room for at least ASize bytes; contents are not kept when it grows (it is zeroed
  // then). False when the allocation fails (the buffer is then empty).
  bool Reserve(size_t ASize) {
    if (ASize <= FSize)
      return true;
    ff::av_free(FData);
    FData = static_cast<uint8_t *>(ff::av_mallocz(ASize + Padding));
    FSize = FData ? ASize : 0;
    return FData != nullptr;
  }
  // Like Reserve, but keeps the contents.
  bool Grow(size_t ASize) {
    if (ASize <= FSize)
      return true;
    auto *p = static_cast<uint8_t *>(ff::av_realloc(FData, ASize + Padding));
    if (!p)
      return false;
    std::memset(p + FSize, 0, ASize - FSize + Padding);
    FData = p;
    FSize = ASize;
    return true;
  }
  uint8_t *Data() const { return FData; }
  size_t Size() const { return FSize; }

private:
  uint8_t *FData = nullptr;
  size_t FSize = 0;
};

// A grow-only buffer holding one picture laid out as the libraries lay out their own frames:
// rows of a width rounded up to WidthAlign pixels, every line size a multiple of LineAlign
// bytes, and padding after the last plane, so that the scaler's block-wise reads and writes
// stay inside it.
class TPictureBuffer {
public:
  static constexpr int WidthAlign = 16;
  static constexpr int LineAlign = 64;

  // Lays an AWidth x AHeight picture of AFormat over the buffer (grown when needed) into
  // APlanes. False for a size or format the libraries refuse; throws std::bad_alloc.
  bool Lay(AVPixelFormat AFormat, int AWidth, int AHeight, TPicturePlanes &APlanes) {
    if (AWidth <= 0 || AWidth > INT32_MAX - WidthAlign)
      return false;
    const int width = FFALIGN(AWidth, WidthAlign);
    const int size = ff::av_image_get_buffer_size(AFormat, width, AHeight, LineAlign);
    if (size < 0)
      return false;
    if (!FBuffer.Reserve(size_t(size)))
      throw std::bad_alloc();
    APlanes = TPicturePlanes{};
    return ff::av_image_fill_arrays(APlanes.data, APlanes.linesize, FBuffer.Data(), AFormat, width,
                                    AHeight, LineAlign) >= 0;
  }
  uint8_t *Data() const { return FBuffer.Data(); }
  size_t Size() const { return FBuffer.Size(); }

private:
  TAVBuffer FBuffer;
};
