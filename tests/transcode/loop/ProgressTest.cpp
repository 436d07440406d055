// Progress reports on known clips: the event's values, the status of the last report, the
// -progress block.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "LoopTestSupport.h"

namespace {

// The text from the last "frame=" on: the last block of a -progress file, or the final status
// among the tool's messages.
std::string FromLastFrame(const std::string &text) {
  const size_t at = text.rfind("frame=");
  return at == std::string::npos ? std::string() : text.substr(at);
}

TEST_F(LoopTest, LastProgressEventCarriesTheFinalValues) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  const std::string out = Scratch("progress.mkv");
  ASSERT_TRUE(task.OpenOutput(out, "-c copy"));
  task.Start(false);
  ASSERT_TRUE(task.E->Finished());
  ASSERT_FALSE(task.Progress.empty());
  const TProgressRecord &last = task.Progress.back();
  EXPECT_EQ(last.fileIndex, -1);
  EXPECT_EQ(last.frameNumber, 50);
  EXPECT_GE(last.fps, 0);
  EXPECT_FLOAT_EQ(last.quality, -1); // stream copy
  EXPECT_EQ(last.currentSize, int64_t(std::filesystem::file_size(out)));
  EXPECT_NEAR(double(last.currentDuration), 2e6, 5e4);
  EXPECT_NEAR(double(last.totalDuration), 2e6, 5e4);
  EXPECT_NEAR(last.bitRate, last.currentSize * 8 / (last.currentDuration / 1000.0), 0.5);
}

TEST_F(LoopTest, EncodedVideoReportsFramesAndItsQuality) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(task.OpenOutput(Scratch("quality.mkv"), "-an -c:v mpeg4 -q:v 5"));
  task.Start(false);
  ASSERT_TRUE(task.E->Finished()) << task.E->FatalMessage();
  ASSERT_FALSE(task.Progress.empty());
  EXPECT_EQ(task.Progress.back().frameNumber, 50);
  EXPECT_FLOAT_EQ(task.Progress.back().quality, 5);
}

TEST_F(LoopTest, ProgressWithoutVideoHasNoFrameCountAndExpectedDurationFromT) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("audio.mp3")));
  ASSERT_TRUE(task.OpenOutput(Scratch("progress.mka"), "-c copy -t 1"));
  task.Start(false);
  ASSERT_FALSE(task.Progress.empty());
  const TProgressRecord &last = task.Progress.back();
  EXPECT_EQ(last.frameNumber, -1);
  EXPECT_EQ(last.fps, -1);
  EXPECT_EQ(last.totalDuration, 1000000);
  EXPECT_NEAR(double(last.currentDuration), 1e6, 5e4);
}

TEST_F(LoopTest, ProgressUrlReceivesKeyValueBlocksEndingWithEnd) {
  TTask task;
  const std::string log = Scratch("progress.txt");
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(task.OpenOutput(Scratch("progress_url.mkv"), "-progress " + log + " -c copy"));
  task.Start(false);
  ASSERT_TRUE(task.E->Finished());
  const std::string block = FromLastFrame(FileContents(log));
  ASSERT_FALSE(block.empty());
  for (const char *key : {"frame=50\n", "fps=", "stream_0_0_q=-1.0\n", "bitrate=", "total_size=",
                          "out_time_us=", "out_time_ms=", "out_time=00:00:0", "dup_frames=0\n",
                          "drop_frames=0\n", "speed=", "progress=end\n"})
    EXPECT_NE(block.find(key), std::string::npos) << key << " missing in\n" << block;
}

// The final status line's "q=... L<histogram>PSNR=Y:.. U:.. V:.. *:.. size=" part.
struct TFinalStatus {
  std::string q, histogram;
  double psnr[4] = {}; // Y, U, V, overall
};

bool ParseFinalStatus(const std::string &line, TFinalStatus &s) {
  const size_t at = line.find(" q=");
  char q[16] = "", histogram[40] = "";
  int end = 0;
  if (at == std::string::npos ||
      std::sscanf(line.c_str() + at,
                  " q=%15[0-9.] L%39[0-9A-F]PSNR=Y:%lf U:%lf V:%lf *:%lf size=%n", q, histogram,
                  &s.psnr[0], &s.psnr[1], &s.psnr[2], &s.psnr[3], &end) != 6 ||
      end == 0)
    return false;
  s.q = q;
  s.histogram = histogram;
  return true;
}

// The stream_0_0_psnr_y/u/v/all values of a -progress block; empty when they are missing.
std::vector<double> BlockPsnr(const std::string &block) {
  const size_t at = block.find("stream_0_0_psnr_y=");
  double v[4];
  if (at == std::string::npos ||
      std::sscanf(block.c_str() + at,
                  "stream_0_0_psnr_y=%lf stream_0_0_psnr_u=%lf stream_0_0_psnr_v=%lf "
                  "stream_0_0_psnr_all=%lf",
                  &v[0], &v[1], &v[2], &v[3]) != 4)
    return {};
  return {v[0], v[1], v[2], v[3]};
}

// -qphist and -psnr: the final status line has the tool's layout (quality, "L", 32 histogram
// digits, PSNR per plane and overall) and PSNR values as the tool computes them; the -progress
// block carries them too.
TEST_F(LoopTest, QpHistogramAndPsnrInTheFinalReport) {
  const std::string options = "-an -c:v mpeg4 -psnr -qphist";
  const std::string toolProgress = Scratch("psnr_tool_progress.txt");
  const std::string tool = FromLastFrame(
      RunText("ffmpeg -nostdin -y -i \"" + Fixture("av.mp4") + "\" " + options + " -progress " +
              toolProgress + " \"" + Scratch("psnr_tool.mkv") + "\" 2>&1 | tr '\\r' '\\n'"));
  TLogCapture log;
  TTask task;
  const std::string progress = Scratch("psnr_progress.txt");
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(task.OpenOutput(Scratch("psnr.mkv"), options + " -progress " + progress));
  task.Start(false);
  ASSERT_TRUE(task.E->Finished()) << task.E->FatalMessage();
  const std::string ours = log.Line("PSNR=Y"); // only the final status is logged

  TFinalStatus t, o;
  ASSERT_TRUE(ParseFinalStatus(tool, t)) << tool;
  ASSERT_TRUE(ParseFinalStatus(ours, o)) << ours;
  EXPECT_EQ(o.q, t.q) << ours << "\n" << tool;
  ASSERT_EQ(o.histogram.size(), 32u) << ours;
  EXPECT_NE(o.histogram[size_t(std::lround(std::stod(o.q)))], '0')
      << "the final quality is counted: " << ours;
  for (int i = 0; i < 4; i++)
    EXPECT_NEAR(o.psnr[i], t.psnr[i], 0.05) << ours << "\n" << tool;

  const std::vector<double> expected = BlockPsnr(FromLastFrame(FileContents(toolProgress)));
  const std::vector<double> got = BlockPsnr(FromLastFrame(FileContents(progress)));
  ASSERT_EQ(expected.size(), 4u);
  ASSERT_EQ(got.size(), 4u) << FileContents(progress);
  for (size_t i = 0; i < 4; i++)
    EXPECT_NEAR(got[i], expected[i], 0.05);
}

} // namespace
