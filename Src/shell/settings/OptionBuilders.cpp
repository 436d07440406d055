#include "shell/settings/OptionBuilders.h"

#include "shell/settings/Languages.h"
#include "shell/settings/RateControl.h"
#include "shell/settings/SettingsLists.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
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

// Codecs of the audio encoder items whose option text is more than the encoder's name (OGG:
// WebM adds its own; the others write EncoderOfItem), and of the extraction formats (WAV: the
// container's default codec).
constexpr TTextPair AudioCodecs[] = {{"MP3", "libmp3lame"},
                                     {"AC3", "ac3"},
                                     {"AAC", "aac -astrict experimental"},
                                     {"MP2", "mp2"},
                                     {"WMA", "wmav2"}};
constexpr TTextPair AudioFormatCodecs[] = {{"MP3", "libmp3lame"}, {"OGG", "libvorbis"},
                                           {"FLAC", "flac"},      {"WMA", "wmav2"},
                                           {"M4A", "aac"},        {"Opus", "libopus"}};

// Codecs of the video encoder items of the first lists (the others write EncoderOfItem); DivX
// writes its own options, VP8 and no selection take the container's codec.
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

constexpr int Mono = 1;

// libvorbis refuses stereo at 44.1 and 48 kHz below 48 kbit/s ("encoder setup failed"). Mono
// and the lower sample rates take the low rates (and 8 kHz mono refuses 48k), so only the
// stereo or original channels at a high or original sample rate are raised. libopus refuses
// more than 256 kbit/s a channel: mono is lowered to that.
std::string AudioBitrateText(const TConversionSettings &S, const std::string &Encoder) {
  const std::string Text = ItemText(AudioBitrateItems(), S.AudioBitrate);
  const int Kbps = std::atoi(Text.c_str());
  if (Encoder == "libopus")
    return S.AudioChannel == Mono && Kbps > 256 ? "256" : Text;
  const bool LowSampleRate =
      S.AudioSampleRate > 0 &&
      std::atoi(ItemText(AudioSampleRateItems(), S.AudioSampleRate).c_str()) < 44100;
  if (Encoder != "libvorbis" || S.AudioChannel == Mono || LowSampleRate || Kbps >= 48)
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

// libopus takes 8, 12, 16, 24 and 48 kHz only: a rate between them is raised to the next.
std::string SampleRateText(const std::string &Text, const std::string &Encoder) {
  if (Encoder != "libopus")
    return Text;
  const int Rate = std::atoi(Text.c_str());
  for (const int Opus : {8000, 12000, 16000, 24000})
    if (Rate <= Opus)
      return std::to_string(Opus);
  return "48000";
}

std::string SampleRateOption(const TConversionSettings &S, const std::string &Encoder) {
  if (S.AudioSampleRate <= 0)
    return {};
  return " -ar " + SampleRateText(ItemText(AudioSampleRateItems(), S.AudioSampleRate), Encoder);
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
  std::string Codec = Lookup(VideoCodecs, Encoder);
  if (Codec.empty())
    Codec = EncoderOfItem(Encoder);
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

void AddFilter(std::string &Chain, const std::string &Filter) {
  if (Filter.empty())
    return;
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

// VAAPI encoders take pictures in the device's memory: the device is opened for the filters,
// and the chain ends by uploading NV12 pictures to it.
constexpr const char *VaapiDevice = " -init_hw_device vaapi=va:/dev/dri/renderD128 "
                                    "-filter_hw_device va";
constexpr const char *VaapiUpload = "format=nv12,hwupload";

bool IsVaapi(const std::string &Codec) {
  return Codec.ends_with("_vaapi");
}

// The WebM container's own audio codec applies unless the list's choice names another.
bool WebmVorbis(const TConversionSettings &S) {
  const std::string Item = AudioEncoderText(S);
  return VideoFormatText(S) == "WebM" && Item != "Opus" && Item != CopyItem;
}

// The -c:a value of an audio encoder item; "" for OGG, which WebM writes itself.
std::string AudioCodecValue(const std::string &Item) {
  const std::string Codec = Lookup(AudioCodecs, Item);
  return Codec.empty() ? EncoderOfItem(Item) : Codec;
}

// The audio encoder of a video conversion (the container's for WebM's "OGG").
std::string ConversionAudioEncoder(const TConversionSettings &S) {
  return WebmVorbis(S) ? "libvorbis" : EncoderOfItem(AudioEncoderText(S));
}

// "-q:a N" when quality is chosen and Encoder has a scale, else "-b:a Nk".
std::string AudioRateOption(const TConversionSettings &S, const std::string &Encoder) {
  const TQualityScale *Scale = QualityScaleOf(Encoder);
  if (S.AudioRateControl == rcQuality && Scale)
    return QualityOptions(*Scale, S.AudioQuality).substr(1);
  return "-b:a " + AudioBitrateText(S, Encoder) + "k";
}

// Constant quality replaces the video bit rate where the encoder has a scale, unless a target
// size asks for two passes at a bit rate.
const TQualityScale *VideoQualityScale(const TConversionSettings &S) {
  return S.VideoRateControl == rcQuality && S.TargetSize <= 0 ? QualityScaleOf(VideoEncoderName(S))
                                                              : nullptr;
}

// Rates and sizes of the picture, left out for a copied stream.
std::string PictureOptions(const TConversionSettings &S, const TTargetPreset *Preset) {
  std::string Options;
  if (S.VideoBitrate > 0 && !VideoQualityScale(S))
    Options +=
        " -b:v " + ItemText(VideoBitrateItems(), S.VideoBitrate) + "k" + RateCapOptions(Preset, S);
  if (VideoFormatText(S) == "WebM")
    Options += " -f webm ";
  if (S.VideoAspect > 0)
    Options += " -aspect " + ItemText(VideoAspectItems(), S.VideoAspect);
  return Options;
}

// The subtitle stream drawn into the picture of Source: its first, when burning in is chosen
// and the video is encoded (a copied stream cannot be drawn on).
TSubtitleKind BurnedSubtitles(const TConversionSettings &S, const TSourceFacts *Source) {
  if (S.Subtitles != sbBurn || !Source || VideoEncoderText(S) == CopyItem)
    return skNone;
  return Source->FirstSubtitle;
}

// AText with a backslash before each character of ASpecial.
std::string Escaped(const std::string &AText, const char *ASpecial) {
  std::string Out;
  for (const char C : AText) {
    if (C != '\0' && std::strchr(ASpecial, C))
      Out += '\\';
    Out += C;
  }
  return Out;
}

// The subtitles filter on the first subtitle stream of APath. The path is quoted as an option
// value of the filter, and the filter's options escaped again for the graph, so that ':', ',',
// '[', quotes and blanks in a name stay part of it.
std::string SubtitlesFilter(const std::string &APath) {
  std::string Value = "'";
  for (const char C : APath)
    Value += C == '\'' ? std::string("'\\''") : std::string(1, C);
  Value += '\'';
  return "subtitles=" + Escaped("filename=" + Value + ":si=0", "\\'[],;");
}

// The rotation and the chain with the first subtitle stream drawn into the picture: text after
// them, so that it reads upright at the output's size; pictures overlaid before them, where
// their positions fit the source's picture. A VAAPI encoder's upload ends the graph.
std::string BurnInOptions(std::string Chain, const std::string &Filters, const std::string &Codec,
                          TSubtitleKind Burn, const std::string &Path) {
  AddFilter(Chain, Filters);
  if (Burn == skText)
    AddFilter(Chain, SubtitlesFilter(Path));
  const bool Vaapi = IsVaapi(Codec);
  if (Vaapi)
    AddFilter(Chain, VaapiUpload);
  const std::string Device = Vaapi ? VaapiDevice : "";
  if (Burn == skText)
    return Device + " -vf " + QuotedArgument(Chain) + " ";
  std::string Graph = "[0:V:0][0:s:0]overlay";
  AddFilter(Graph, Chain);
  return Device + " -filter_complex " + QuotedArgument(Graph) + " ";
}

// The -vf option of the rotation, the size and the effects; a VAAPI encoder's upload ends it.
// A subtitle stream burned in joins them.
std::string FilterOptions(const TConversionSettings &S, const TEffects &Effects,
                          const std::string &Codec, const TSourceFacts *Source) {
  // Rotation and the chain share one -vf: with two, the engine (like the ffmpeg tool) keeps
  // only the last and the rotation would be lost. Rotation comes first so the chosen
  // resolution is the output's.
  const std::string Rotate = Effects.ef_Rotate ? RotateFilter(Effects.ef_Degrees) : "";
  std::string F = FilterChain(S, Effects);
  if (const TSubtitleKind Burn = BurnedSubtitles(S, Source); Burn != skNone)
    return BurnInOptions(Rotate, F, Codec, Burn, Source->Path);
  if (IsVaapi(Codec)) {
    AddFilter(F, VaapiUpload);
    return VaapiDevice + std::string(" -vf \"") + (Rotate.empty() ? F : Rotate + "," + F) + "\" ";
  }
  if (F.empty() && !Rotate.empty())
    return " -vf \"" + Rotate + "\"";
  if (!F.empty())
    return " -vf \"" + (Rotate.empty() ? F : Rotate + "," + F) + "\" ";
  return {};
}

// Constant quality and speed of the chosen video encoder.
std::string EncoderTuning(const TConversionSettings &S) {
  std::string Options;
  if (const TQualityScale *Scale = VideoQualityScale(S))
    Options += QualityOptions(*Scale, S.VideoQuality);
  return Options + SpeedOptions(VideoEncoderName(S), S.VideoSpeed);
}

// The audio rate of a video conversion; nothing for a copied stream.
std::string SoundRate(const TConversionSettings &S) {
  return AudioEncoderText(S) == CopyItem ? "" : AudioRateOption(S, ConversionAudioEncoder(S));
}

// Channels and sample rate of a video conversion; nothing for a copied stream.
std::string SoundFormat(const TConversionSettings &S) {
  return AudioEncoderText(S) == CopyItem
             ? ""
             : ChannelOption(S.AudioChannel) + SampleRateOption(S, ConversionAudioEncoder(S));
}

// Subtitles are dropped, or the first subtitle stream is kept where the container takes one:
// copied into Matroska, converted to the container's text format for MP4 and WebM.
std::string SubtitleOptions(const TConversionSettings &S) {
  constexpr TTextPair SubtitleCodecs[] = {{"MKV", "copy"},
                                          {"MP4", "mov_text"},
                                          {"M4V", "mov_text"},
                                          {"MOV", "mov_text"},
                                          {"WebM", "webvtt"}};
  const std::string Codec = Lookup(SubtitleCodecs, VideoFormatText(S));
  if (S.Subtitles != sbKeep || Codec.empty())
    return " -sn ";
  return " -c:s " + Codec + " ";
}

// Audio tracks by language, with at least one code that reads as a language.
bool UsesLanguages(const TConversionSettings &S) {
  return S.AudioTracks == atLanguages && !LanguageCodes(S.AudioLanguages).empty();
}

// The audio tracks of the chosen languages: by the codes, or for Source by the tags its tracks
// carry (a code matches its other forms), in the order of the codes; the first track when
// none matches.
std::string LanguageMaps(const TConversionSettings &S, const TSourceFacts *Source) {
  const std::vector<std::string> Codes = LanguageCodes(S.AudioLanguages);
  const std::vector<std::string> Tags =
      Source ? TagsOfLanguages(Codes, Source->AudioLanguages) : Codes;
  if (Tags.empty())
    return " -map 0:a:0?";
  std::string Maps;
  for (const std::string &Tag : Tags)
    Maps += " -map 0:a:m:language:" + Tag + "?";
  return Maps;
}

// Every audio track, or those of the chosen languages: the streams are then chosen by maps, so
// the first picture stream (cover art left out; the overlay's output instead when pictures
// are burned in) and the kept subtitle stream are mapped too.
std::string TrackMaps(const TConversionSettings &S, const TSourceFacts *Source) {
  std::string Maps = BurnedSubtitles(S, Source) == skBitmap ? "" : " -map 0:V:0?";
  Maps += S.AudioTracks == atAll ? " -map 0:a?" : LanguageMaps(S, Source);
  if (S.Subtitles == sbKeep && SubtitleOptions(S) != " -sn ")
    Maps += " -map 0:s:0?";
  return Maps;
}

} // namespace

bool ContainerTakesSubtitles(const TConversionSettings &S) {
  TConversionSettings Keep = S;
  Keep.Subtitles = sbKeep;
  return SubtitleOptions(Keep) != " -sn ";
}

std::string VideoEncoderName(const TConversionSettings &S) {
  std::string Unused;
  const std::string Codec = VideoCodecValue(S, Unused);
  return Codec.substr(0, Codec.find(' '));
}

std::string AudioEncoderName(const TConversionSettings &S) {
  return ConversionAudioEncoder(S);
}

int ConversionTargetSize(const TConversionSettings &S) {
  return VideoEncoderText(S) == CopyItem ? 0 : S.TargetSize;
}

int ConversionAudioKbps(const TConversionSettings &S) {
  constexpr int Typical = 128;
  const std::string Encoder = ConversionAudioEncoder(S);
  if (AudioEncoderText(S) == CopyItem ||
      (S.AudioRateControl == rcQuality && QualityScaleOf(Encoder)))
    return Typical;
  return std::atoi(AudioBitrateText(S, Encoder).c_str());
}

std::string ExtractionEncoderName(const TConversionSettings &S) {
  return ExtractionEncoderOf(ItemText(AudioFormatItems(), S.AudioFormat));
}

std::string ExtractionEncoderOf(const std::string &AudioFormatItem) {
  return Lookup(AudioFormatCodecs, AudioFormatItem);
}

TSourceFacts SourceFacts(const std::string &APath, int ASubFormat,
                         std::vector<std::string> AAudioLanguages) {
  std::error_code Error;
  const std::filesystem::path Absolute = std::filesystem::absolute(APath, Error);
  const TSubtitleKind Kinds[] = {skBitmap, skText};
  return {Error ? APath : Absolute.string(),
          ASubFormat == 0 || ASubFormat == 1 ? Kinds[ASubFormat] : skNone,
          std::move(AAudioLanguages)};
}

bool DependsOnSource(const TConversionSettings &S) {
  return S.Subtitles == sbBurn || UsesLanguages(S);
}

std::vector<std::string> SourceNotes(const TConversionSettings &S, const TSourceFacts &Source) {
  std::vector<std::string> Notes;
  if (S.Subtitles == sbBurn && VideoEncoderText(S) == CopyItem)
    Notes.push_back("Subtitles not burned in: the video is copied");
  else if (S.Subtitles == sbBurn && Source.FirstSubtitle == skNone)
    Notes.push_back("No subtitles to burn in");
  if (UsesLanguages(S) && !Source.AudioLanguages.empty() &&
      TagsOfLanguages(LanguageCodes(S.AudioLanguages), Source.AudioLanguages).empty()) {
    std::string Codes;
    for (const std::string &Code : LanguageCodes(S.AudioLanguages))
      Codes += (Codes.empty() ? "" : ", ") + Code;
    Notes.push_back("No audio track in " + Codes + ": the first one is converted");
  }
  return Notes;
}

std::string BuildVideoOptions(const TConversionSettings &S, const TEffects &Effects,
                              const TSourceFacts *Source) {
  const std::string Format = VideoFormatText(S);
  const bool CopyVideo = VideoEncoderText(S) == CopyItem;
  // A target preset first: it sets codecs, rates and sizes itself, so the choices that follow
  // override it instead of being silently replaced by it.
  const TTargetPreset *Preset = FindTargetPreset(Format);
  std::string Options = Preset ? Preset->Option : "";
  Options += SoundRate(S);
  if (!CopyVideo)
    Options += PictureOptions(S, Preset);
  else if (Format == "WebM")
    Options += " -f webm ";
  Options += SoundFormat(S);
  if (S.VideoFrameRate > 0 && !CopyVideo)
    Options += " -r " + ItemText(VideoFrameRateItems(), S.VideoFrameRate);
  if (const std::string Codec = AudioCodecValue(AudioEncoderText(S)); !Codec.empty())
    Options += " -c:a " + Codec;
  if (WebmVorbis(S))
    Options += " -c:a libvorbis";
  const std::string V = VideoCodecValue(S, Options);
  if (!V.empty())
    Options += " -c:v " + V + (CopyVideo ? "" : EncoderTuning(S));
  if (!CopyVideo)
    Options += FilterOptions(S, Effects, V, Source);
  if (S.AudioTracks == atAll || UsesLanguages(S))
    Options += TrackMaps(S, Source);
  Options += SubtitleOptions(S);
  // A copied audio stream leaves the string without its leading bit rate.
  return Options.starts_with(' ') ? Options.substr(1) : Options;
}

std::string BuildAudioOptions(const TConversionSettings &S) {
  const std::string Codec = ExtractionEncoderName(S);
  std::string Options = AudioRateOption(S, Codec);
  Options += ChannelOption(S.AudioChannel);
  Options += SampleRateOption(S, Codec);
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

// AText as one argument of the option grammar in double quotes: a quote in it, and the
// backslashes before a quote or the closing one, are escaped.
std::string QuotedArgument(const std::string &AText) {
  std::string Out = "\"";
  size_t Backslashes = 0;
  for (const char C : AText) {
    if (C == '"')
      Out.append(Backslashes + 1, '\\');
    Backslashes = C == '\\' ? Backslashes + 1 : 0;
    Out += C;
  }
  Out.append(Backslashes, '\\');
  return Out + '"';
}
