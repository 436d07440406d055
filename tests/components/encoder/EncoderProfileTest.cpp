// Every profile, applied with and without "Original parameters", converts a small clip through
// the encoder component as a job window runs it, and the output reads back with the codecs the
// profile names, one video and one audio stream. Debian's ffmpeg converts the same clip with
// the same string to the same codecs: a refusal by the tool is a wrong string.
#include "../../shell/settings/SettingsChoice.h"
#include "../../transcode/files/ToolComparison.h"
#include "EncoderTestSupport.h"
#include "shell/settings/OptionBuilders.h"

#include <filesystem>

namespace {

class EncoderProfileRun : public EncoderTest, public ::testing::WithParamInterface<TProfileRun> {};

TEST_P(EncoderProfileRun, ConvertsThroughTheEngine) {
  const TProfileRun &P = GetParam();
  TConversionSettings S;
  ApplyProfile(S, P.Type, P.Format, P.Original);
  const std::string options = BuildVideoOptions(S, {});
  const std::string ext = LowerCase(VideoFormatText(S));
  const std::string output = ScratchDir() + "/profile." + ext;
  // At the clip's own size the whole second runs; the profiles' own sizes reach 4096x2160,
  // where two frames open, feed and flush every encoder and filter at a fraction of the cost.
  const std::string limit = P.Original ? "" : "-t 0.08 ";

  const std::string toolOutput = ScratchDir() + "/tool_profile." + ext;
  std::filesystem::remove(toolOutput);
  const std::string toolCmd = "ffmpeg -nostdin -v error -y -i \"" + Fixture("tiny.mp4") + "\" " +
                              limit + options + " \"" + toolOutput + "\" 2>&1";
  const std::string toolLog = RunText(toolCmd);
  std::vector<TStreamFacts> tool = ProbeStreams(toolOutput);
  ASSERT_EQ(tool.size(), 2u) << "the tool refused: " << toolCmd << "\n" << toolLog;

  TFFEncoder encoder;
  TEventRecorder events(encoder);
  AddConversion(encoder, Fixture("tiny.mp4"), output, "-y " + limit + options);
  encoder.Start(0);
  const std::vector<TTerminateInfo> ends = events.Ends();
  ASSERT_EQ(ends.size(), 2u);
  ASSERT_TRUE(ends[0].Finished) << options << "\n" << ends[0].ExceptionMsg;
  EXPECT_FALSE(ends[0].Exception) << ends[0].ExceptionMsg;

  std::vector<TStreamFacts> streams = ProbeStreams(output);
  ASSERT_EQ(streams.size(), 2u) << options;
  EXPECT_EQ(streams[0]["codec_type"], "video");
  EXPECT_EQ(streams[0]["codec_name"], CodecOf(VideoEncoderText(S))) << options;
  EXPECT_EQ(streams[1]["codec_type"], "audio");
  EXPECT_EQ(streams[1]["codec_name"], CodecOf(AudioEncoderText(S))) << options;
  for (size_t i = 0; i < 2; ++i)
    EXPECT_EQ(tool[i]["codec_name"], streams[i]["codec_name"]) << toolCmd;
  // The whole clip went through (AVI reads AC3 a little longer, as the tool's output does).
  if (P.Original) {
    EXPECT_GT(ProbeDuration(output), 0.9) << options;
  }
}

INSTANTIATE_TEST_SUITE_P(Profiles, EncoderProfileRun, ::testing::ValuesIn(EveryProfile()),
                         ProfileRunName);

} // namespace
