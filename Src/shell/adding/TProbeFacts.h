// What the adding run learns about one candidate file, and the file list entry made from it.
// Plain values, so the entry layout can be tested without probing real files.
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

#include "components/FFAPI.h"
#include "components/filelist/FileListUtils.h"

class TCustomDecoder;

struct TProbeFacts {
  int64_t Duration = -1; // container duration in microseconds, -1 unknown
  int64_t Size = 0;      // bytes on disk
  // Video facts of stream 0, only when stream 0 is a video stream.
  bool VideoAtStream0 = false;
  AVRational FrameRate{0, 1};
  int BitRate = 0; // bits per second
  int Width = 0;
  int Height = 0;
  int Rotation = 0; // TVideoStreamInfo::Rotation: the display matrix's quarter turn
};

// The facts of the file the decoder has open; ASize is the file's size on disk.
TProbeFacts ProbeFactsOf(TCustomDecoder &ADecoder, int64_t ASize);

// Size in bytes of the file a path text (shell/LocalPath.h) names, 0 when there is none.
int64_t FileSizeOf(const QString &APath);

// Sub-item texts of the video columns.
QString FrameRateText(AVRational AFrameRate);
QString BitRateText(int ABitRate);
// "320x240"; a picture its display matrix turns is named as it is shown, with the turn:
// "360x640 (rotated 90 degrees)" for a 640x360 stream turned a quarter.
QString FrameSizeText(int AWidth, int AHeight, int ARotation = 0);

// The list entry of a probed file: caption = the file name as displayed, then the eight
// sub-items; sub-item 2 is APath itself.
TFileEntry FileEntryOf(const QString &APath, const TProbeFacts &AFacts,
                       const QLocale &ALocale = QLocale());
