#include "shell/settings/ConversionKeys.h"

#include "shell/settings/SettingsLists.h"

namespace {

// Position within a list of Count items, else Default.
int InPositionList(int Position, size_t Count, int Default) {
  return Position >= 0 && Position < static_cast<int>(Count) ? Position : Default;
}

// The list positions of the conversion settings and their keys, in save order. An
// encoder position is checked against the encoder list of the container read before it and
// falls back to the list's first item.
struct TPositionKey {
  const char *Key;
  int TConversionSettings::*Field;
  const TItemList &(*Items)();           // the position's list, or
  const TItemList &(*EncoderItems)(int); // the container's encoder list
};

const TPositionKey PositionKeys[] = {
    {"CPUusage", &TConversionSettings::CPUUsage, CPUUsageItems, nullptr},
    {"Threads", &TConversionSettings::Threads, ThreadsItems, nullptr},
    {"VideoFormat2", &TConversionSettings::VideoFormat, VideoFormatItems, nullptr},
    {"VideoEncoder2", &TConversionSettings::VideoEncoder, nullptr, VideoEncoderItems},
    {"VideoAspect2", &TConversionSettings::VideoAspect, VideoAspectItems, nullptr},
    {"VideoFrameSize2", &TConversionSettings::VideoFrameSize, VideoFrameSizeItems, nullptr},
    {"VideoFrameRate2", &TConversionSettings::VideoFrameRate, VideoFrameRateItems, nullptr},
    {"VideoBitRate2", &TConversionSettings::VideoBitrate, VideoBitrateItems, nullptr},
    {"AudioFormat2", &TConversionSettings::AudioFormat, AudioFormatItems, nullptr},
    {"AudioEncoder2", &TConversionSettings::AudioEncoder, nullptr, AudioEncoderItems},
    {"AudioChannel2", &TConversionSettings::AudioChannel, AudioChannelItems, nullptr},
    {"AudioSampleRate2", &TConversionSettings::AudioSampleRate, AudioSampleRateItems, nullptr},
    {"AudioBitRate2", &TConversionSettings::AudioBitrate, AudioBitrateItems, nullptr},
};

// Keys added after the first settings files, with the range each value must lie in. They are
// written after every older key, and only once they differ from their defaults (or the file
// has them already), so files of settings that never used them stay as they were.
struct TAddedKey {
  const char *Key;
  int TConversionSettings::*Field;
  int Min;
  int Max;
};

const TAddedKey AddedKeys[] = {
    {"VideoRateControl", &TConversionSettings::VideoRateControl, 0, 1},
    {"VideoQuality", &TConversionSettings::VideoQuality, -1, 63},
    {"VideoSpeed", &TConversionSettings::VideoSpeed, 0, 5},
    {"AudioRateControl", &TConversionSettings::AudioRateControl, 0, 1},
    {"AudioQuality", &TConversionSettings::AudioQuality, -1, 10},
    {"Subtitles", &TConversionSettings::Subtitles, 0, 2},
    {"AudioTracks", &TConversionSettings::AudioTracks, 0, 2},
    {"TargetSize", &TConversionSettings::TargetSize, 0, 1000000},
};

// The languages of the audio tracks, a text key written after the numbers.
constexpr const char *AudioLanguagesKey = "AudioLanguages";

} // namespace

void ReadConversionKeys(const TIniFile &Ini, const std::string &Section, TConversionSettings &C,
                        const TConversionSettings &D) {
  for (const TPositionKey &K : PositionKeys) {
    const TItemList &Items = K.Items ? K.Items() : K.EncoderItems(C.VideoFormat);
    const int Default = K.Items ? D.*K.Field : 0;
    C.*K.Field = InPositionList(Ini.ReadInteger(Section, K.Key, Default), Items.size(), Default);
  }
  for (const TAddedKey &K : AddedKeys) {
    const int Value = Ini.ReadInteger(Section, K.Key, D.*K.Field);
    C.*K.Field = Value >= K.Min && Value <= K.Max ? Value : D.*K.Field;
  }
  C.AudioLanguages = Ini.ReadString(Section, AudioLanguagesKey, D.AudioLanguages);
  C.EncoderListFormat = -1;
}

void WritePositionKeys(TIniFile &Ini, const std::string &Section, const TConversionSettings &C) {
  for (const TPositionKey &K : PositionKeys)
    Ini.SetValue(Section, K.Key, std::to_string(C.*K.Field));
}

void WriteAddedKeys(TIniFile &Ini, const std::string &Section, const TConversionSettings &C) {
  const TConversionSettings D;
  for (const TAddedKey &K : AddedKeys)
    if (C.*K.Field != D.*K.Field || Ini.Value(Section, K.Key))
      Ini.SetValue(Section, K.Key, std::to_string(C.*K.Field));
  if (C.AudioLanguages != D.AudioLanguages || Ini.Value(Section, AudioLanguagesKey))
    Ini.SetValue(Section, AudioLanguagesKey, C.AudioLanguages);
}

bool IsFrameSizeText(const std::string &Text) {
  const size_t X = Text.find_first_of("xX");
  if (X == std::string::npos)
    return false;
  const auto Digits = [](const std::string &Part) {
    return Part.find_first_not_of("0123456789") == std::string::npos;
  };
  return Digits(Text.substr(0, X)) && Digits(Text.substr(X + 1));
}
