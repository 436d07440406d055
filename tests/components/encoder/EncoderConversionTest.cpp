// Conversions through the encoder component with the option strings the app builds: each
// container of the Video tab with its first and second video encoders, and each audio
// extraction format. The output is read back and compared with what Debian's ffmpeg writes
// from the same clip with the same string; where the tool refuses the string, the task fails.
#include <algorithm>
#include <filesystem>

#include "../../transcode/files/ToolComparison.h"
#include "EncoderTestSupport.h"
#include "shell/settings/OptionBuilders.h"
#include "shell/settings/SettingsLists.h"

namespace {

struct TConversionCase {
  std::string name;
  std::string options;
  std::string ext;
};

void PrintTo(const TConversionCase &c, std::ostream *os) {
  *os << c.name << ": " << c.options;
}

// The default audio bit rate (32k; raised for Vorbis, which refuses it in stereo) and a usual
// one (128k).
const char *const AudioBitrates[] = {"32", "128"};

std::vector<TConversionCase> ConversionCases() {
  std::vector<TConversionCase> cases;
  const TItemList &formats = VideoFormatItems();
  for (int f = 0; f < int(formats.size()); f++)
    for (int v = 0; v < std::min(2, int(VideoEncoderItems(f).size())); v++)
      for (const char *bitrate : AudioBitrates) {
        if (f != vfWebM && bitrate != AudioBitrates[0])
          continue;
        TConversionSettings S;
        SelectVideoFormat(S, f);
        S.VideoEncoder = v;
        S.AudioBitrate = IndexOfItem(AudioBitrateItems(), bitrate);
        cases.push_back({TestName(formats[f] + "_" + VideoEncoderItems(f)[v] + "_" + bitrate + "k"),
                         BuildVideoOptions(S, TEffects()), LowerCase(formats[f])});
      }
  const TItemList &audio = AudioFormatItems();
  for (int f = 0; f < int(audio.size()); f++)
    for (const char *bitrate : AudioBitrates) {
      TConversionSettings S;
      S.AudioFormat = f;
      S.AudioBitrate = IndexOfItem(AudioBitrateItems(), bitrate);
      cases.push_back({TestName("audio_" + audio[f] + "_" + bitrate + "k"), BuildAudioOptions(S),
                       LowerCase(audio[f])});
    }
  return cases;
}

class EncoderConversion : public EncoderTest,
                          public ::testing::WithParamInterface<TConversionCase> {};

TEST_P(EncoderConversion, WritesWhatTheToolWrites) {
  const TConversionCase &c = GetParam();
  const std::string ours = ScratchDir() + "/ours_" + c.name + "." + c.ext;
  const std::string tool = ScratchDir() + "/tool_" + c.name + "." + c.ext;
  RunText("ffmpeg -nostdin -v error -y -i \"" + Fixture("av.mp4") + "\" " + c.options + " \"" +
          tool + "\" 2>&1");
  std::vector<TStreamFacts> expected = ProbeStreams(tool);

  TFFEncoder encoder;
  TEventRecorder events(encoder);
  AddConversion(encoder, Fixture("av.mp4"), ours, "-y " + c.options);
  encoder.Start(0);
  const std::vector<TTerminateInfo> ends = events.Ends();
  ASSERT_EQ(ends.size(), 2u);
  if (expected.empty()) {
    // The tool refuses the string (e.g. an encoder's rate limits): so does the task, and it
    // leaves no file behind.
    EXPECT_FALSE(ends[0].Finished);
    EXPECT_TRUE(ends[0].Exception);
    EXPECT_NE(ends[0].ExceptionMsg.find("Error while opening encoder"), std::string::npos)
        << ends[0].ExceptionMsg;
    EXPECT_FALSE(std::filesystem::exists(ours));
    return;
  }
  EXPECT_TRUE(ends[0].Finished) << ends[0].ExceptionMsg;
  EXPECT_FALSE(ends[0].Exception) << ends[0].ExceptionMsg;

  std::vector<TStreamFacts> got = ProbeStreams(ours);
  ASSERT_EQ(got.size(), expected.size()) << c.options;
  for (size_t i = 0; i < got.size(); i++)
    for (const char *key :
         {"codec_type", "codec_name", "width", "height", "sample_rate", "channels"})
      EXPECT_EQ(got[i][key], expected[i][key]) << "stream " << i << " " << key;
  // Within one frame of the tool's output (25 fps video, or one audio frame).
  EXPECT_NEAR(ProbeDuration(ours), ProbeDuration(tool), 0.041) << c.options;
}

INSTANTIATE_TEST_SUITE_P(AppStrings, EncoderConversion, ::testing::ValuesIn(ConversionCases()),
                         [](const auto &info) { return info.param.name; });

} // namespace
