// Test helper: settings described by item texts (nullptr = the control's default), so test
// tables read like the tabs.
#pragma once

#include "shell/settings/Profiles.h"
#include "shell/settings/RateControl.h"
#include "shell/settings/SettingsLists.h"
#include "shell/settings/TConversionSettings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

struct TChoice {
  const char *Format = nullptr;
  const char *VideoEncoder = nullptr;
  const char *AudioEncoder = nullptr;
  const char *AudioBitrate = nullptr;
  const char *VideoBitrate = nullptr;
  const char *Aspect = nullptr;
  const char *Channel = nullptr;
  const char *SampleRate = nullptr;
  const char *FrameRate = nullptr;
  const char *FrameSize = nullptr; // a text not in the list goes into the custom slot
  int VideoRateControl = rcBitrate;
  int VideoQuality = -1;
  const char *Speed = nullptr;
  int AudioRateControl = rcBitrate;
  int AudioQuality = -1;
  int Subtitles = sbNone;
  int AudioTracks = atFirst;
  int TargetSize = 0;
  const char *AudioLanguages = "";
};

inline int Position(const TItemList &Items, const char *Text) {
  const int Index = IndexOfItem(Items, Text);
  EXPECT_GE(Index, 0) << "no item " << Text;
  return Index;
}

inline TConversionSettings MakeSettings(const TChoice &C) {
  TConversionSettings S;
  if (C.Format)
    SelectVideoFormat(S, Position(VideoFormatItems(), C.Format));
  if (C.VideoEncoder)
    S.VideoEncoder = Position(VideoEncoderItems(S.VideoFormat), C.VideoEncoder);
  if (C.AudioEncoder)
    S.AudioEncoder = Position(AudioEncoderItems(S.VideoFormat), C.AudioEncoder);
  if (C.AudioBitrate)
    S.AudioBitrate = Position(AudioBitrateItems(), C.AudioBitrate);
  if (C.VideoBitrate)
    S.VideoBitrate = Position(VideoBitrateItems(), C.VideoBitrate);
  if (C.Aspect)
    S.VideoAspect = Position(VideoAspectItems(), C.Aspect);
  if (C.Channel)
    S.AudioChannel = Position(AudioChannelItems(), C.Channel);
  if (C.SampleRate)
    S.AudioSampleRate = Position(AudioSampleRateItems(), C.SampleRate);
  if (C.FrameRate)
    S.VideoFrameRate = Position(VideoFrameRateItems(), C.FrameRate);
  if (C.FrameSize)
    ApplyCustomFrameSize(S, C.FrameSize);
  if (C.Speed)
    S.VideoSpeed = Position(SpeedItems(), C.Speed);
  S.VideoRateControl = C.VideoRateControl;
  S.VideoQuality = C.VideoQuality;
  S.AudioRateControl = C.AudioRateControl;
  S.AudioQuality = C.AudioQuality;
  S.Subtitles = C.Subtitles;
  S.AudioTracks = C.AudioTracks;
  S.TargetSize = C.TargetSize;
  S.AudioLanguages = C.AudioLanguages;
  return S;
}

// The worked example of the option strings: MP4 with H.264 and AAC, every rate and size set.
inline constexpr TChoice FullExample{.Format = "MP4",
                                     .VideoEncoder = "H.264",
                                     .AudioEncoder = "AAC",
                                     .AudioBitrate = "128",
                                     .VideoBitrate = "1500",
                                     .Aspect = "16:9",
                                     .Channel = "Stereo",
                                     .SampleRate = "44100",
                                     .FrameSize = "1280x720"};

// Test name of a profile case: the profile's name in identifier characters, then how it is
// applied.
inline std::string ProfileCaseName(std::string Profile, bool Original) {
  for (char &C : Profile)
    if (!std::isalnum(static_cast<unsigned char>(C)))
      C = '_';
  return Profile + (Original ? "_Original" : "_Profile");
}

// Every profile, applied with and without "Original parameters" to the default settings.
struct TProfileRun {
  int Type;
  int Format;
  bool Original;
};

inline void PrintTo(const TProfileRun &C, std::ostream *Out) {
  *Out << ProfileFormatItems(C.Type)[C.Format] << (C.Original ? " original" : "");
}

inline std::vector<TProfileRun> EveryProfile() {
  std::vector<TProfileRun> Runs;
  for (int T = 0; T < static_cast<int>(ProfileTypeItems().size()); ++T)
    for (int F = 0; F < static_cast<int>(ProfileFormatItems(T).size()); ++F)
      for (bool Original : {true, false})
        Runs.push_back({T, F, Original});
  return Runs;
}

inline std::string ProfileRunName(const ::testing::TestParamInfo<TProfileRun> &Info) {
  return ProfileCaseName(ProfileFormatItems(Info.param.Type)[Info.param.Format],
                         Info.param.Original);
}

// The codec name a reader reports for what an encoder item writes ("?" for an unknown item).
inline const char *CodecOf(const std::string &Item) {
  static const std::pair<const char *, const char *> Codecs[] = {
      {"MPEG4", "mpeg4"}, {"H.264", "h264"}, {"H.265", "hevc"},       {"DivX", "mpeg4"},
      {"xVid", "mpeg4"},  {"VP8", "vp8"},    {"MPEG2", "mpeg2video"}, {"WMV", "wmv2"},
      {"MP3", "mp3"},     {"AC3", "ac3"},    {"AAC", "aac"},          {"MP2", "mp2"},
      {"OGG", "vorbis"},  {"WMA", "wmav2"},  {"VP9", "vp9"},          {"AV1", "av1"},
      {"Opus", "opus"},
  };
  for (const auto &[Name, Codec] : Codecs)
    if (Item == Name)
      return Codec;
  return "?";
}
