// Progress reports on known clips: the event's values, the status of the last report, the
// -progress block.
#include <filesystem>

#include "LoopTestSupport.h"

namespace {

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
  const std::string text = FileContents(log);
  const size_t lastBlock = text.rfind("frame=");
  ASSERT_NE(lastBlock, std::string::npos) << text;
  const std::string block = text.substr(lastBlock);
  for (const char *key : {"frame=50\n", "fps=", "stream_0_0_q=-1.0\n", "bitrate=", "total_size=",
                          "out_time_us=", "out_time_ms=", "out_time=00:00:0", "dup_frames=0\n",
                          "drop_frames=0\n", "speed=", "progress=end\n"})
    EXPECT_NE(block.find(key), std::string::npos) << key << " missing in\n" << block;
}

} // namespace
