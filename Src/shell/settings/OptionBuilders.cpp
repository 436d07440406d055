#include "shell/settings/OptionBuilders.h"

#include "shell/settings/SettingsLists.h"

#include <algorithm>

namespace {

struct TTextPair {
  const char *Key;
  const char *Value;
};

// The value paired with Key, or "" when the table has none.
template <size_t N> std::string Lookup(const TTextPair (&Table)[N], const std::string &Key) {
  for (const auto &[K, V] : Table)
    if (Key == K)
      return V;
  return {};
}

// Codecs of the audio encoder items (OGG: WebM adds its own) and of the extraction formats
// (WAV: the container's default codec).
constexpr TTextPair AudioCodecs[] = {{"MP3", "libmp3lame"},
                                     {"AC3", "ac3"},
                                     {"AAC", "aac -astrict experimental"},
                                     {"MP2", "mp2"},
                                     {"WMA", "wmav2"}};
constexpr TTextPair AudioFormatCodecs[] = {
    {"MP3", "libmp3lame"}, {"OGG", "libvorbis"}, {"FLAC", "flac"}, {"WMA", "wmav2"}};

// Codecs of the video encoder items; DivX writes its own options, VP8 and no selection take
// the container's codec.
constexpr TTextPair VideoCodecs[] = {
    {"MPEG4", "mpeg4"},   {"WMV", "wmv2"},         {"H.264", "libx264 -threads 8 -pix_fmt yuv420p"},
    {"H.265", "libx265"}, {"MPEG2", "mpeg2video"}, {"xVid", "libxvid"}};
constexpr TTextPair ContainerVideoCodecs[] = {
    {"MKV", "libx264"}, {"WMV", "wmv2"}, {"WebM", "libvpx"}};

// Target presets that lead the options of their containers.
constexpr TTextPair TargetPresets[] = {{"VOB", "-target ntsc-dvd "}, {"MPG", "-target ntsc-vcd "}};

std::string ChannelOption(int AudioChannel) {
  switch (AudioChannel) {
  case 1:
    return " -ac 1";
  case 2:
    return " -ac 2";
  default:
    return {};
  }
}

std::string SampleRateOption(const TConversionSettings &S) {
  if (S.AudioSampleRate <= 0)
    return {};
  return " -ar " + ItemText(AudioSampleRateItems(), S.AudioSampleRate);
}

// Video codec value from the encoder item; DivX writes its own options into Options and
// yields an empty value.
std::string VideoCodecValue(const TConversionSettings &S, std::string &Options) {
  const std::string Encoder = VideoEncoderText(S);
  if (Encoder == "DivX") {
    Options += " -c:v mpeg4 -tag:v DIVX -vstrict unofficial";
    if (S.VideoFrameRate == 0)
      Options += " -r 15000/1001";
    return {};
  }
  const std::string Codec = Lookup(VideoCodecs, Encoder);
  return Codec.empty() ? Lookup(ContainerVideoCodecs, VideoFormatText(S)) : Codec;
}

// Any position outside the three choices counts as 90 degrees, as the effects dialog shows it.
std::string RotateFilter(int Degrees) {
  switch (Degrees) {
  case 1:
    return "transpose=1,transpose=1";
  case 2:
    return "transpose=0";
  default:
    return "transpose=1";
  }
}

std::string ScaleFilter(const TConversionSettings &S) {
  if (S.VideoFrameSize <= 0)
    return {};
  std::string Size = VideoFrameSizeText(S);
  std::replace_if(
      Size.begin(), Size.end(), [](char C) { return C == 'x' || C == 'X'; }, ':');
  return "scale=" + Size;
}

void AddFilter(std::string &Chain, const char *Filter) {
  if (!Chain.empty())
    Chain += ',';
  Chain += Filter;
}

std::string FilterChain(const TConversionSettings &S, const TEffects &E) {
  std::string F = ScaleFilter(S);
  if (E.ef_VFlip)
    AddFilter(F, "vflip");
  if (E.ef_HFlip)
    AddFilter(F, "hflip");
  if (E.ef_Dein)
    AddFilter(F, "yadif");
  if (E.ef_Negate)
    AddFilter(F, "negate");
  return F;
}

} // namespace

std::string BuildVideoOptions(const TConversionSettings &S, const TEffects &Effects) {
  const std::string Format = VideoFormatText(S);
  // A target preset first: it sets codecs, rates and sizes itself, so the choices that follow
  // override it instead of being silently replaced by it.
  std::string Options = Lookup(TargetPresets, Format);
  Options += "-b:a " + ItemText(AudioBitrateItems(), S.AudioBitrate) + "k";
  if (S.VideoBitrate > 0)
    Options += " -b:v " + ItemText(VideoBitrateItems(), S.VideoBitrate) + "k";
  if (Format == "WebM")
    Options += " -f webm ";
  if (S.VideoAspect > 0)
    Options += " -aspect " + ItemText(VideoAspectItems(), S.VideoAspect);
  Options += ChannelOption(S.AudioChannel);
  Options += SampleRateOption(S);
  if (S.VideoFrameRate > 0)
    Options += " -r " + ItemText(VideoFrameRateItems(), S.VideoFrameRate);
  if (const std::string Codec = Lookup(AudioCodecs, AudioEncoderText(S)); !Codec.empty())
    Options += " -c:a " + Codec;
  if (Format == "WebM")
    Options += " -c:a libvorbis";
  const std::string V = VideoCodecValue(S, Options);
  if (!V.empty())
    Options += " -c:v " + V;
  // Rotation and the chain share one -vf: with two, the engine (like the ffmpeg tool) keeps
  // only the last and the rotation would be lost. Rotation comes first so the chosen
  // resolution is the output's.
  const std::string Rotate = Effects.ef_Rotate ? RotateFilter(Effects.ef_Degrees) : "";
  const std::string F = FilterChain(S, Effects);
  if (F.empty() && !Rotate.empty())
    Options += " -vf \"" + Rotate + "\"";
  else if (!F.empty())
    Options += " -vf \"" + (Rotate.empty() ? F : Rotate + "," + F) + "\" ";
  Options += " -sn ";
  return Options;
}

std::string BuildAudioOptions(const TConversionSettings &S) {
  std::string Options = "-b:a " + ItemText(AudioBitrateItems(), S.AudioBitrate) + "k";
  Options += ChannelOption(S.AudioChannel);
  Options += SampleRateOption(S);
  const std::string Codec = Lookup(AudioFormatCodecs, ItemText(AudioFormatItems(), S.AudioFormat));
  if (!Codec.empty())
    Options += " -c:a " + Codec;
  return Options + " -vn";
}
