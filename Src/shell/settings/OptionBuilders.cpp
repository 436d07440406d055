#include "shell/settings/OptionBuilders.h"

#include "shell/settings/SettingsLists.h"

#include <cstdlib>
#include <vector>

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

// Target presets that lead the options of their containers, with the caps they set on the
// video: the maximum rate (kbit/s) and the decoder buffer (bits).
struct TTargetPreset {
  const char *Format;
  const char *Option;
  int MaxRate;
  int BufSize;
};
constexpr TTargetPreset TargetPresets[] = {{"VOB", "-target ntsc-dvd ", 9000, 1835008},
                                           {"MPG", "-target ntsc-vcd ", 1150, 327680}};

const TTargetPreset *FindTargetPreset(const std::string &Format) {
  for (const TTargetPreset &P : TargetPresets)
    if (Format == P.Format)
      return &P;
  return nullptr;
}

// A video bit rate above the preset's cap makes the encoder refuse to open: the cap is lifted to
// the chosen rate, the buffer grows with it so a frame still fits, and the multiplex rate is
// left to the muxer (the preset's fixed one would underflow on every packet).
std::string RateCapOptions(const TTargetPreset *Preset, const TConversionSettings &S) {
  if (!Preset || S.VideoBitrate <= 0)
    return {};
  const std::string Rate = ItemText(VideoBitrateItems(), S.VideoBitrate);
  const long long Kbits = std::atoll(Rate.c_str());
  if (Kbits <= Preset->MaxRate)
    return {};
  const long long BufSize = Preset->BufSize * Kbits / Preset->MaxRate;
  return " -maxrate:v " + Rate + "k -bufsize:v " + std::to_string(BufSize) + " -muxrate 0";
}

// libvorbis refuses stereo at 44.1 and 48 kHz below 48 kbit/s ("encoder setup failed"). Mono
// and the lower sample rates take the low rates (and 8 kHz mono refuses 48k), so only the
// stereo or original channels at a high or original sample rate are raised.
std::string AudioBitrateText(const TConversionSettings &S, bool Vorbis) {
  const std::string Text = ItemText(AudioBitrateItems(), S.AudioBitrate);
  constexpr int Mono = 1;
  const bool LowSampleRate =
      S.AudioSampleRate > 0 &&
      std::atoi(ItemText(AudioSampleRateItems(), S.AudioSampleRate).c_str()) < 44100;
  if (!Vorbis || S.AudioChannel == Mono || LowSampleRate || std::atoi(Text.c_str()) >= 48)
    return Text;
  return "48";
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
  const std::string Size = VideoFrameSizeText(S);
  const size_t X = Size.find_first_of("xX");
  if (X == std::string::npos)
    return "scale=" + Size;
  // An empty side (a custom size with one edit cleared) follows the other, keeping the aspect
  // at an even size.
  auto Side = [](std::string Text) { return Text.empty() ? std::string("-2") : Text; };
  return "scale=" + Side(Size.substr(0, X)) + ":" + Side(Size.substr(X + 1));
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
  const TTargetPreset *Preset = FindTargetPreset(Format);
  std::string Options = Preset ? Preset->Option : "";
  Options += "-b:a " + AudioBitrateText(S, Format == "WebM") + "k";
  if (S.VideoBitrate > 0)
    Options += " -b:v " + ItemText(VideoBitrateItems(), S.VideoBitrate) + "k";
  Options += RateCapOptions(Preset, S);
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
  const std::string Codec = Lookup(AudioFormatCodecs, ItemText(AudioFormatItems(), S.AudioFormat));
  std::string Options = "-b:a " + AudioBitrateText(S, Codec == "libvorbis") + "k";
  Options += ChannelOption(S.AudioChannel);
  Options += SampleRateOption(S);
  if (!Codec.empty())
    Options += " -c:a " + Codec;
  return Options + " -vn";
}

namespace {

// The codecs that open only at even sides (their pictures are 4:2:0, each chroma sample
// covering two by two pixels): with an odd side, the encoder refuses to open.
bool NeedsEvenSides(const std::string &Codec) {
  const std::string Name = Codec.substr(0, Codec.find(' '));
  return Name == "libx264" || Name == "libx265" || Name == "libxvid" || Name == "wmv2";
}

std::string EvenBelow(int Side) {
  return std::to_string(Side > 1 ? Side - 1 : 2);
}

} // namespace

std::string FrameSizeRefusal(const TConversionSettings &S, const std::string &AText) {
  std::string Unused;
  const std::string Codec = VideoCodecValue(S, Unused);
  const size_t X = AText.find_first_of("xX");
  if (!NeedsEvenSides(Codec) || X == std::string::npos)
    return {};
  const std::string WidthText = AText.substr(0, X), HeightText = AText.substr(X + 1);
  const int Width = WidthText.empty() ? 0 : std::atoi(WidthText.c_str());
  const int Height = HeightText.empty() ? 0 : std::atoi(HeightText.c_str());
  std::vector<std::string> Odd;
  if (Width % 2 != 0)
    Odd.push_back(WidthText);
  if (Height % 2 != 0)
    Odd.push_back(HeightText);
  if (Odd.empty())
    return {};
  const auto Below = [](int Side, const std::string &Text) {
    return Side % 2 != 0 ? EvenBelow(Side) : Text;
  };
  const auto Above = [](int Side, const std::string &Text) {
    return Side % 2 != 0 ? std::to_string(Side + 1) : Text;
  };
  std::string Encoder = VideoEncoderText(S);
  if (Encoder.empty())
    Encoder = Codec.substr(0, Codec.find(' '));
  return Encoder + " takes only an even width and height (4:2:0 colour): " +
         (Odd.size() == 2 ? Odd[0] + " and " + Odd[1] + " are odd" : Odd[0] + " is odd") +
         ". Try " + Below(Width, WidthText) + "x" + Below(Height, HeightText) + " or " +
         Above(Width, WidthText) + "x" + Above(Height, HeightText) + ".";
}
