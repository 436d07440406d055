// Option strings of chosen settings must be accepted by Debian's ffmpeg (the behavioural
// reference of the engine) on a real clip and give the codecs and sizes the settings name: this
// catches a wrong literal that a string comparison would copy along. (Every encoder pair and
// every profile runs through the tool beside our engine in the builder-string and profile
// tests.)
#include "SettingsChoice.h"

#include "shell/settings/OptionBuilders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TRun {
  int Status;
  std::string Output;
};

TRun RunCommand(const std::string &Command) {
  TRun Result{-1, {}};
  FILE *Pipe = popen((Command + " 2>&1").c_str(), "r");
  if (!Pipe)
    return Result;
  char Buffer[4096];
  for (size_t N; (N = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
    Result.Output.append(Buffer, N);
  Result.Status = pclose(Pipe);
  while (!Result.Output.empty() && Result.Output.back() == '\n')
    Result.Output.pop_back();
  return Result;
}

std::string Quote(const std::string &Path) {
  return "'" + Path + "'";
}

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(), ::tolower);
  return Text;
}

// The requested entries of the first matching stream, comma-separated ("" when none).
std::string Probe(const std::string &File, const char *Stream, const std::string &Entries) {
  const std::string Out =
      RunCommand("ffprobe -v error -select_streams " + std::string(Stream) +
                 " -show_entries stream=" + Entries + " -of csv=p=0 " + Quote(File))
          .Output;
  const size_t Fields = std::count(Entries.begin(), Entries.end(), ',') + 1;
  std::string Result;
  size_t Field = 0;
  for (char C : Out.substr(0, Out.find('\n'))) {
    if (C == ',' && ++Field == Fields)
      break;
    Result += C;
  }
  return Result;
}
class FFmpegAcceptanceTest : public ::testing::Test {
protected:
  void SetUp() override {
    Input = std::string(QUILLET_FIXTURES) + "/av.mp4";
    ASSERT_TRUE(fs::exists(Input)) << Input;
    Folder = fs::temp_directory_path() / ("quillet-options-" + std::to_string(getpid()));
    fs::create_directories(Folder);
  }
  void TearDown() override { fs::remove_all(Folder); }

  // Converts the first Seconds of the fixture as the job window would: the option string is
  // handed over verbatim (the shell splits it as the engine's grammar does) and the output is
  // named by the container's extension.
  std::string Convert(const std::string &Options, const std::string &Extension,
                      const char *Seconds = "0.2") {
    const std::string Output = (Folder / ("out" + Extension)).string();
    const TRun R = RunCommand("ffmpeg -nostdin -v error -i " + Quote(Input) + " " + Options +
                              " -t " + Seconds + " -y " + Quote(Output));
    EXPECT_EQ(R.Status, 0) << Options << "\n" << R.Output;
    EXPECT_GT(fs::exists(Output) ? fs::file_size(Output) : 0, 0u) << Options;
    return Output;
  }

  std::string Input;
  fs::path Folder;
};

TEffects Effects(bool VFlip, bool HFlip, bool Negate, bool Dein, bool Rotate, int Degrees) {
  return {VFlip, HFlip, Negate, Dein, Rotate, Degrees};
}

// Rates, sizes, aspect and effects: accepted, and the picture has the expected size.
struct TSettingsCase {
  const char *Name;
  TChoice Choice;
  TEffects Effects;
  const char *Video; // codec,width,height
};

void PrintTo(const TSettingsCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class SettingsCaseTest : public FFmpegAcceptanceTest,
                         public ::testing::WithParamInterface<TSettingsCase> {};

TEST_P(SettingsCaseTest, FFmpegAcceptsTheOptions) {
  const TSettingsCase &C = GetParam();
  const TConversionSettings S = MakeSettings(C.Choice);
  const std::string Output =
      Convert(BuildVideoOptions(S, C.Effects), "." + Lower(VideoFormatText(S)));
  EXPECT_EQ(Probe(Output, "v:0", "codec_name,width,height"), C.Video);
}

const TSettingsCase SettingsCases[] = {
    {"FullExample", FullExample, Effects(true, false, false, false, false, 0), "h264,1280,720"},
    {"MonoLowRatesAllFilters",
     {.Format = "AVI",
      .AudioBitrate = "64",
      .VideoBitrate = "256",
      .Aspect = "4:3",
      .Channel = "Mono",
      .SampleRate = "22050",
      .FrameRate = "10",
      .FrameSize = "160x120"},
     Effects(true, true, true, true, false, 0),
     "mpeg4,160,120"},
    {"DivxAt25", {.Format = "AVI", .VideoEncoder = "DivX", .FrameRate = "25"}, {}, "mpeg4,320,240"},
    {"WebmSized",
     {.Format = "WebM", .AudioBitrate = "128", .VideoBitrate = "4000", .FrameSize = "640x480"},
     {},
     "vp8,640,480"},
    {"Rotate90", {}, Effects(false, false, false, false, true, 0), "mpeg4,240,320"},
    {"Rotate180", {}, Effects(false, false, false, false, true, 1), "mpeg4,320,240"},
    {"Rotate270", {.Format = "MKV"}, Effects(false, false, false, false, true, 2), "mpeg4,240,320"},
    {"RotateKeptWithScale",
     {.FrameSize = "640x480"},
     Effects(false, true, false, false, true, 0),
     "mpeg4,640,480"},
    {"VobProfileLike",
     {.Format = "VOB",
      .AudioBitrate = "192",
      .VideoBitrate = "5000",
      .FrameRate = "30",
      .FrameSize = "720x480"},
     {},
     "mpeg2video,720,480"},
    {"CustomSize", {.Format = "MOV", .FrameSize = "1920X816"}, {}, "mpeg4,1920,816"},
    // The mendings of strings the tool refused: Vorbis at the default audio bit rate, a video
    // bit rate above the VCD preset's cap, a custom size with an empty side.
    {"WebmDefaults", {.Format = "WebM"}, {}, "vp8,320,240"},
    {"MpgAboveVcdCap", {.Format = "MPG", .VideoBitrate = "1500"}, {}, "mpeg2video,352,240"},
    {"CustomSizeWithoutWidth", {.FrameSize = "x720"}, {}, "mpeg4,960,720"},
    {"CustomSizeWithoutHeight", {.FrameSize = "160x"}, {}, "mpeg4,160,120"},
};

INSTANTIATE_TEST_SUITE_P(Table, SettingsCaseTest, ::testing::ValuesIn(SettingsCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// Audio extraction into each audio format.
class AudioFormatTest : public FFmpegAcceptanceTest, public ::testing::WithParamInterface<int> {};

TEST_P(AudioFormatTest, FFmpegAcceptsTheOptions) {
  static const char *Extensions[] = {".mp3", ".wav", ".ogg", ".flac", ".wma"};
  static const char *Codecs[] = {"mp3", "pcm_s16le", "vorbis", "flac", "wmav2"};
  TConversionSettings S =
      MakeSettings({.AudioBitrate = "64", .Channel = "Mono", .SampleRate = "22050"});
  S.AudioFormat = GetParam();
  const std::string Output = Convert(BuildAudioOptions(S), Extensions[GetParam()]);
  EXPECT_EQ(Probe(Output, "a:0", "codec_name,sample_rate,channels"),
            std::string(Codecs[GetParam()]) + ",22050,1");
  EXPECT_EQ(Probe(Output, "v", "codec_name"), "");
}

INSTANTIATE_TEST_SUITE_P(All, AudioFormatTest, ::testing::Range(0, 5),
                         [](const auto &Info) { return AudioFormatItems()[Info.param]; });

} // namespace
