// Plain helpers of the preview and properties windows: time and size texts, the track bar
// scale, the frame count and the fitted picture rectangle. No widgets, so they are tested
// headlessly.
#pragma once

#include <QLocale>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <string>

#include "components/FFAPI.h"

// "hh:mm:ss.mmm" of a position in microseconds (divisions truncate toward zero).
QString TimeText(int64_t t);

// Number of frames of a clip: seconds x rate, rounded to nearest (ties to even) and kept
// within 0 ... INT_MAX whatever the file claims; 0 when the duration is unknown or the rate
// has no positive denominator. AStreamDuration is the video
// stream's duration in microseconds (used when > 0), AFileDuration the container's (-1
// unknown).
int FrameCountOf(int64_t AStreamDuration, int64_t AFileDuration, AVRational AFrameRate);

// Track bar position of a time: APTS / ADuration of AMax, rounded to nearest (ties to even)
// and kept within 0 ... AMax; 0 when the duration is unknown (<= 0).
int TrackBarPositionOf(int64_t APTS, int64_t ADuration, int AMax);
// The time a track bar position stands for: APosition / AMax of ADuration, rounded to
// nearest (ties to even) and kept within 0 ... ADuration; 0 when AMax < 1.
int64_t TrackBarTimeOf(int APosition, int AMax, int64_t ADuration);

// Maximum, tick interval and page step of the position track bar.
struct TTrackBarScale {
  int Max = 0;
  int Tick = 1;
  int Page = 2;
};
// AFrames > 0 replaces the current maximum.
TTrackBarScale TrackBarScaleOf(int ACurrentMax, int AFrames);

// Where a w x h picture lands when fitted into a W x H area, keeping its aspect ratio and
// centred; the rest of the area stays black. Empty when either size is empty.
QRect FittedRect(int W, int H, int w, int h);

// True for a container that holds one picture: "image2" and the picture pipes ("png_pipe",
// "bmp_pipe", ...), which cannot be stepped through.
bool IsSinglePictureFormat(const std::string &AFormatName);

// Properties window size text: bytes, KB, MB with group separators and no decimals, GB with
// two decimals.
QString PropertiesSizeText(int64_t ASize, const QLocale &ALocale = QLocale());

// The decoder filter that shows a picture as its display matrix says, for a stream's Rotation
// (degrees counter-clockwise, TVideoStreamInfo), turning it as the ffmpeg tool's automatic
// rotation does: "" when it needs none.
std::string DisplayTurnFilter(int ARotation);

// Where a preview window of an APicture-sized picture opens on a screen whose area for windows
// is AArea, beside AJob (the frame of the window it belongs to; empty: none). Its size is the
// picture's, scaled down with its aspect kept to at most half the area (half the width beside
// the job window, half the height above or below it) and to the room there; it lies on the
// side with the most room for the picture (right, left, below, above on a tie), next to AJob
// and never over it. Without room beside AJob, it is centred in the area.
QRect PreviewPlacement(QSize APicture, const QRect &AArea, const QRect &AJob);
