// Small helpers of the decoder shared by its file-level and frame-level halves.
#pragma once

#include <cstdint>
#include <string>

#include "components/FFAPI.h"

// The stream's guessed frame rate: its real base rate, replaced by the average rate when the
// base rate is implausibly high (field-rate timestamps) and the average is plausible. The
// codec's ticks per frame are not visible without a codec context, so an unknown base rate
// falls back to the average rate. 0/x when unknown.
AVRational GuessFrameRate(const AVStream *AStream);

// Size of the open file: 0 for formats that read no file, else the reader's size; when that
// is 0 and the URL names an existing file, its size on disk (-1 when unreadable).
int64_t ContainerFileSize(const AVFormatContext *AContext);

// The largest frame, in pixels, the decoder lets the libraries decode, probing included:
// 8192 x 4320, the largest video frame in use. A header claiming more (16000 x 16000 in a
// file of 469 bytes) would otherwise make them allocate for it (795 MB) before they find the
// data missing.
constexpr int64_t MaxFramePixels = int64_t(8192) * 4320;
// Adds the cap to codec options ("max_pixels") unless they set one.
void CapFramePixels(AVDictionary **AOptions);
