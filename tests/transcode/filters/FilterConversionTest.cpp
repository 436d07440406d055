// Conversions through filter graphs run to their end and compared with what Debian's ffmpeg
// writes for the same input options and option string: streams, codecs, sizes, rates,
// channels and duration.
#include "../loop/LoopTestSupport.h"

namespace {

struct TFilterConversion {
  const char *name;
  const char *input; // shared fixture, or "f:" + filter fixture
  const char *inOptions;
  const char *options;
  const char *ext;
};

void PrintTo(const TFilterConversion &c, std::ostream *os) {
  *os << c.name;
}

std::string CasePath(const std::string &name) {
  return name.rfind("f:", 0) == 0 ? FilesFixture(name.substr(2)) : Fixture(name);
}

class FilterConversion : public LoopTest,
                         public ::testing::WithParamInterface<TFilterConversion> {};

TEST_P(FilterConversion, SameStreamsAndDurationAsTheTool) {
  const TFilterConversion &c = GetParam();
  const std::string out = Scratch(std::string(c.name) + "." + c.ext);
  const std::string toolOut = Scratch(std::string("tool_") + c.name + "." + c.ext);
  const std::string cmd = std::string("ffmpeg -nostdin -v error -y ") + c.inOptions + " -i \"" +
                          CasePath(c.input) + "\" " + c.options + " \"" + toolOut + "\" 2>&1";
  const std::string toolLog = RunText(cmd);
  const std::vector<TStreamFacts> tool = ProbeStreams(toolOut);
  ASSERT_FALSE(tool.empty()) << cmd << "\n" << toolLog;

  TTask task;
  ASSERT_TRUE(task.OpenInput(CasePath(c.input), c.inOptions)) << task.Error;
  ASSERT_TRUE(task.OpenOutput(out, c.options)) << task.Error;
  task.Start(false);
  EXPECT_TRUE(task.E->Finished()) << task.E->FatalMessage();

  const std::vector<TStreamFacts> ours = ProbeStreams(out);
  ASSERT_EQ(ours.size(), tool.size()) << cmd;
  for (size_t i = 0; i < ours.size(); i++)
    EXPECT_EQ(ours[i], tool[i]) << "stream " << i << "\n" << cmd;
  EXPECT_NEAR(ProbeDuration(out), ProbeDuration(toolOut), 0.05) << cmd;
  EXPECT_TRUE(DecodesCleanly(out));
}

// clang-format off
const TFilterConversion Cases[] = {
    {"app_default_avi", "av.mp4", "", "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn", "avi"},
    {"scale_vflip_x264", "av.mp4", "",
     "-c:v libx264 -c:a aac -vf \"scale=160:120,vflip\" -sn", "mp4"},
    {"size_and_rate", "av.mp4", "", "-s 176x144 -r 15 -c:v mpeg4 -an", "avi"},
    {"pixel_format", "av.mp4", "", "-c:v libx264 -pix_fmt yuv444p -an", "mkv"},
    {"output_duration", "av.mp4", "", "-t 1 -c:v mpeg4 -c:a aac", "mkv"},
    {"input_seek", "av.mp4", "-ss 0.5", "-c:v mpeg4 -c:a aac", "mkv"},
    {"autorotate", "f:rotated.mp4", "", "-c:v mpeg4", "avi"},
    {"audio_extract", "av.mp4", "", "-vn -ar 22050 -ac 1 -c:a libmp3lame", "mp3"},
    {"audio_filter", "av.mp4", "", "-vn -af \"volume=0.5,atempo=2\" -c:a pcm_s16le", "wav"},
    {"vol_and_async", "av.mp4", "", "-vn -vol 128 -async 1 -c:a aac", "m4a"},
    {"map_channel", "audio.wav", "", "-map_channel 0.0.1 -map_channel 0.0.0 -c:a pcm_s16le",
     "wav"},
    {"apad_shortest", "av.mp4", "-t 1", "-apad pad_dur=2 -shortest -c:v mpeg4 -c:a aac", "mkv"},
    {"complex_labelled", "f:two_video.mkv", "",
     "-filter_complex \"[0:v:1]scale=80:60[v]\" -map \"[v]\" -map 0:a -c:v mpeg4 -c:a aac",
     "mkv"},
    {"complex_unlabelled", "av.mp4", "", "-filter_complex \"[0:v]scale=160:120\" -c:v mpeg4",
     "mkv"},
    {"complex_two_pads_one_stream", "av.mp4", "",
     "-filter_complex \"[0:v][0:v]hstack\" -c:v mpeg4 -an", "avi"},
    {"complex_overlay", "f:two_video.mkv", "",
     "-filter_complex \"[0:v:0][0:v:1]overlay=10:10[v]\" -map \"[v]\" -c:v mpeg4", "avi"},
    {"size_change", "f:size_change.ts", "", "-c:v mpeg4", "avi"},
    {"graph_without_inputs", "av.mp4", "",
     "-filter_complex \"testsrc=duration=1:size=160x120:rate=25[v]\" -map \"[v]\" -map 0:a "
     "-c:v mpeg4 -c:a aac", "mkv"},
    {"lavfi_audio", "av.mp4", "",
     "-lavfi \"[0:a]aresample=22050,pan=mono|c0=c0[a]\" -map \"[a]\" -c:a libmp3lame", "mp3"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Filters, FilterConversion, ::testing::ValuesIn(Cases),
                         [](const auto &info) { return std::string(info.param.name); });

// With the graph kept, the tool hands the smaller pictures to an encoder opened for the larger
// ones, which reads past them; the task ends at the change instead, and what it wrote plays.
TEST_F(LoopTest, SizeChangeWithoutReinitEndsBeforeTheEncoderReadsPastAPicture) {
  TLogCapture log;
  TTask task;
  ASSERT_TRUE(task.OpenInput(FilesFixture("size_change.ts"), "-reinit_filter 0")) << task.Error;
  const std::string out = Scratch("size_change_no_reinit.avi");
  ASSERT_TRUE(task.OpenOutput(out, "-c:v mpeg4")) << task.Error;
  task.Start(false);
  EXPECT_FALSE(task.E->Finished());
  // The first error line comes first (the demuxer's complaint about the damaged packet).
  const std::string message = task.E->FatalMessage();
  EXPECT_EQ(message.substr(message.rfind('\n') + 1), "Video encoding failed") << message;
  EXPECT_TRUE(log.Contains("does not fit the encoder opened for"));
  EXPECT_TRUE(DecodesCleanly(out));
}

// Graphs the tool refuses: the task ends without finishing, with the tool's message.
TEST_F(LoopTest, SplitInASimpleGraphEndsTheConversion) {
  TLogCapture log;
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4"))) << task.Error;
  ASSERT_TRUE(task.OpenOutput(Scratch("split.mp4"), "-vf \"split[a][b]\" -an")) << task.Error;
  task.Start(false);
  EXPECT_FALSE(task.E->Finished());
  EXPECT_TRUE(log.Contains("Simple filtergraph \"split[a][b]\" was expected to have exactly 1 "
                           "input and 1 output. However, it had 1 input(s) and >1 output(s)."));
  EXPECT_TRUE(log.Contains("Error reinitializing filters!"));
}

TEST_F(LoopTest, UnconnectedGraphOutputIsFatal) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4"))) << task.Error;
  ASSERT_TRUE(task.OpenOutput(Scratch("unconnected.mkv"),
                              "-filter_complex \"[0:v]null[out]\" -map 0:a -c:a aac"))
      << task.Error;
  task.Start(false);
  EXPECT_FALSE(task.E->Finished());
  EXPECT_TRUE(task.E->FatalException());
  EXPECT_EQ(task.E->FatalMessage(), "Filter null:default has an unconnected output");
}

} // namespace
