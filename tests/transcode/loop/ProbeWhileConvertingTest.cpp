// A decoder probing and decoding files (as the adding window and the preview do) while a task
// converts in the same process: neither disturbs the other.
#include <thread>

#include "LoopTestSupport.h"
#include "media/TFFDecoder.h"

namespace {

TEST_F(LoopTest, DecoderProbesAndDecodesWhileATaskConverts) {
  const std::string options = "-bitexact -fflags +bitexact -c:v mpeg4 -threads 1 -c:a mp2";
  TTask alone;
  ASSERT_TRUE(alone.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(alone.OpenOutput(Scratch("probed_alone.mkv"), options));
  alone.Start(false);
  ASSERT_TRUE(alone.E->Finished()) << alone.E->FatalMessage();

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

} // namespace
