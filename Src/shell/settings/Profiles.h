// The fixed catalogue of ready-made profiles of the Profiles tab and their application to the
// Video and Audio tab settings.
#pragma once

#include "shell/settings/SettingsLists.h"
#include "shell/settings/TConversionSettings.h"

// One profile: item texts of the Video and Audio tab lists (encoders: of the container's
// lists); nullptr = the profile leaves that control as it is (for the encoders: the first item
// of the refilled list stays selected).
struct TProfile {
  const char *Name; // cb_Format item text
  const char *VideoFormat;
  const char *VideoEncoder;
  const char *VideoFrameSize;
  const char *VideoBitrate;
  const char *VideoFrameRate;
  const char *AudioSampleRate;
  const char *AudioBitrate;
  const char *AudioChannel;
  const char *AudioEncoder;
};

// cb_Type items: "General", "HD Video", "4K Video", "iPhone", "iPad", "Apple TV".
const TItemList &ProfileTypeItems();

// cb_Format items of a type (empty outside the catalogue).
TItemList ProfileFormatItems(int ProfileType);

// The profile at (type, format) or nullptr when either position is outside the catalogue.
const TProfile *FindProfile(int ProfileType, int ProfileFormat);

// "Apply": container (with the encoder lists refilled), then the profile's other controls; with
// OriginalParameters the aspect, frame rate, frame size, video bit rate, sample rate and
// channels go back to "Original". An unknown profile sets nothing but the reset still runs.
void ApplyProfile(TConversionSettings &S, int ProfileType, int ProfileFormat,
                  bool OriginalParameters);
