#include "shell/settings/OptionBuilders.h"

#include "shell/settings/SettingsLists.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  return Text;
}

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

std::string AudioCodecOption(const std::string &Encoder) {
  if (Encoder == "MP3")
    return " -c:a libmp3lame";
  if (Encoder == "AC3")
    return " -c:a ac3";
  if (Encoder == "AAC")
    return " -c:a aac -astrict experimental";
  if (Encoder == "MP2")
    return " -c:a mp2";
  if (Encoder == "WMA")
    return " -c:a wmav2";
  return {};
}

// The codec value the container implies before the encoder list has its say.
std::string ContainerVideoCodec(const std::string &Format) {
  const std::string Ext = "." + Lower(Format);
  if (Ext == ".mkv")
    return "libx264";
  if (Ext == ".wmv")
    return "wmv2";
  if (Ext == ".webm")
    return "libvpx";
  return {};
}

// Video codec value from the encoder item; DivX writes its own options into Options and
// yields an empty value.
std::string VideoCodecValue(const TConversionSettings &S, std::string &Options) {
  std::string V = ContainerVideoCodec(VideoFormatText(S));
  const std::string Encoder = VideoEncoderText(S);
  if (S.VideoEncoder > 0)
    V = Lower(Encoder);
  if (Encoder == "MPEG4")
    return "mpeg4";
  if (Encoder == "WMV")
    return "wmv2";
  if (Encoder == "H.264")
    return "libx264 -threads 8 -pix_fmt yuv420p";
  if (Encoder == "H.265")
    return "libx265";
  if (Encoder == "MPEG2")
    return "mpeg2video";
  if (V == "xvid")
    V = "libxvid";
  if (V == "x264")
    V = "libx264 -threads 8 -pix_fmt yuv420p";
  if (V == "x265")
    V = "libx265";
  if (V == "qsv")
    V = "h264_qsv";
  if (V == "divx") {
    V.clear();
    Options += " -c:v mpeg4 -tag:v DIVX -vstrict unofficial";
    if (S.VideoFrameRate == 0)
      Options += " -r 15000/1001";
  }
  return V;
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

std::string TargetPreset(const std::string &Format) {
  if (Format == "VOB")
    return "-target ntsc-dvd ";
  if (Format == "MPG")
    return "-target ntsc-vcd ";
  return {};
}

} // namespace

std::string BuildVideoOptions(const TConversionSettings &S, const TEffects &Effects) {
  const std::string Format = VideoFormatText(S);
  // A target preset first: it sets codecs, rates and sizes itself, so the choices that follow
  // override it instead of being silently replaced by it.
  std::string Options = TargetPreset(Format);
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
  Options += AudioCodecOption(AudioEncoderText(S));
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
  switch (S.AudioFormat) {
  case 0:
    Options += " -c:a libmp3lame";
    break;
  case 2:
    Options += " -c:a libvorbis";
    break;
  case 3:
    Options += " -c:a flac";
    break;
  case 4:
    Options += " -c:a wmav2";
    break;
  default: // WAV: the container's default codec
    break;
  }
  return Options + " -vn";
}
