// What happens beside a converting task in the same process: a decoder probing and decoding
// files (as the adding window and the preview do), another task whose options set the
// process-wide log level and CPU flags. Neither disturbs the running task.
#include <thread>

#include "LoopTestSupport.h"
#include "components/TFFLogger.h"
#include "media/TFFDecoder.h"

namespace {

// The reference: the same conversion with nothing beside it.
void ConvertAlone(const std::string &out, const std::string &options) {
  TTask alone;
  ASSERT_TRUE(alone.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(alone.OpenOutput(out, options));
  alone.Start(false);
  ASSERT_TRUE(alone.E->Finished()) << alone.E->FatalMessage();
}

TEST_F(LoopTest, DecoderProbesAndDecodesWhileATaskConverts) {
  const std::string options = "-bitexact -fflags +bitexact -c:v mpeg4 -threads 1 -c:a mp2";
  ConvertAlone(Scratch("probed_alone.mkv"), options);

  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4"), "-readrate 4"));
  ASSERT_TRUE(task.OpenOutput(Scratch("probed_task.mkv"), options));
  task.Start(true);
  int probes = 0;
  while (!task.Terminations) {
    for (const char *file : {"av.mp4", "av.avi"}) {
      TFFDecoder dec;
      ASSERT_TRUE(dec.LoadFile(Fixture(file))) << dec.LastErrMsg();
      EXPECT_EQ(dec.FirstVideoStreamInfo().Width, 320);
      int frames = 0;
      while (frames < 10 && dec.Decode())
        frames++;
      EXPECT_EQ(frames, 10) << file;
      probes++;
    }
  }
  EXPECT_GT(probes, 1);
  EXPECT_TRUE(task.E->Finished()) << task.E->FatalMessage();
  EXPECT_EQ(RunText("cmp -s " + Scratch("probed_alone.mkv") + " " + Scratch("probed_task.mkv") +
                    " && echo same"),
            "same\n");
}

// The log level and CPU flags stay process-wide (as the ffmpeg tool's), so the last task that
// gives them sets them; opening such a task while another converts changes nothing of the
// running one's output.
TEST_F(LoopTest, ProcessWideOptionsOfANewTaskLeaveARunningTaskAlone) {
  const std::string options = "-bitexact -fflags +bitexact -c:v mpeg4 -threads 1 -an";
  ConvertAlone(Scratch("global_alone.mkv"), options);

  const TLogLevel level = GlobalLogger()->LogLevel();
  const int flags = GlobalLogger()->LogFlags();
  TTask running;
  ASSERT_TRUE(running.OpenInput(Fixture("av.mp4"), "-readrate 4"));
  ASSERT_TRUE(running.OpenOutput(Scratch("global_running.mkv"), options));
  running.Start(true);
  for (int i = 0; i < 4 && !running.Terminations; i++) {
    TTask opened;
    ASSERT_TRUE(opened.OpenInput(Fixture("av.mp4"), "-loglevel +repeat+warning -cpuflags +sse2"));
    EXPECT_EQ(GlobalLogger()->LogLevel(), llWarning);
    ASSERT_TRUE(opened.OpenOutput(Scratch("global_opened.mkv"), "-loglevel info " + options));
  }
  ASSERT_TRUE(running.WaitTerminated());
  EXPECT_TRUE(running.E->Finished()) << running.E->FatalMessage();
  EXPECT_EQ(RunText("cmp -s " + Scratch("global_alone.mkv") + " " + Scratch("global_running.mkv") +
                    " && echo same"),
            "same\n");
  GlobalLogger()->SetLogFlags(flags);
  GlobalLogger()->SetLogLevel(level);
  ff::av_force_cpu_flags(-1); // detected again
}

} // namespace
