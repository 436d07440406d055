// Constant-quality scales and speed presets of the encoders that offer them. The option
// builders write these options; the window ranges its quality slider and enables its rate
// control and speed choices by the same tables.
#pragma once

#include "shell/settings/SettingsLists.h"

#include <string>

// Rate control choice of the Video and Audio tabs.
enum TRateControl { rcBitrate, rcQuality };

// One encoder's constant-quality scale: the option that sets it, its range and a sensible
// default. LowerIsBetter for the rate factors and LAME's VBR levels; Vorbis counts upwards.
struct TQualityScale {
  const char *Encoder;
  const char *Option; // "-crf", "-q:a"
  int Min;
  int Max;
  int Default;
  bool LowerIsBetter;
  const char *Extra; // what the encoder needs beside it for constant quality (" -b:v 0")
};

// The scale of a libavcodec encoder, or nullptr when it is controlled by bit rate only.
const TQualityScale *QualityScaleOf(const std::string &Encoder);

// Quality as written: -1 (not chosen) is the scale's default; others are kept within range.
int QualityValue(const TQualityScale &Scale, int Quality);

// " -crf 23" (plus Extra) for a chosen quality.
std::string QualityOptions(const TQualityScale &Scale, int Quality);

// Speed choice of the Video tab: "Default" (the encoder's own), "Fastest" ... "Slowest".
const TItemList &SpeedItems();

// Whether the encoder takes a speed choice (x264, x265, SVT-AV1, VP9).
bool HasSpeedPresets(const std::string &Encoder);

// The encoder's options for the speed at position Speed of SpeedItems(); "" for "Default" or
// an encoder without presets.
std::string SpeedOptions(const std::string &Encoder, int Speed);
