// Running tasks through the encoder component: event order on the calling thread and in
// thread mode, tasks at once against one at a time, release after the event, stop.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "../../transcode/files/ToolComparison.h"
#include "EncoderTestSupport.h"
#include "components/CallInMainThread.h"

namespace {

class EncoderRunTest : public EncoderTest {};

const char *const CopyOptions = "-y -c copy";

std::vector<int> TaskOrder(const std::vector<TTerminateInfo> &AEnds) {
  std::vector<int> order;
  for (const TTerminateInfo &end : AEnds)
    order.push_back(end.TaskIndex);
  return order;
}

std::string FileBytes(const std::string &AFile) {
  std::ifstream in(AFile, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(EncoderRunTest, OnTheCallingThreadTasksEndInOrderThenTheLastEvent) {
  TFFEncoder encoder;
  TEventRecorder events(encoder);
  AddConversion(encoder, Fixture("av.mp4"), ScratchDir() + "/serial0.mkv", CopyOptions);
  AddConversion(encoder, Fixture("av.avi"), ScratchDir() + "/serial1.mkv", CopyOptions);
  encoder.Start(0);
  // Start returns only after everything has been delivered, on this thread.
  const std::vector<TTerminateInfo> ends = events.Ends();
  EXPECT_EQ(TaskOrder(ends), (std::vector<int>{0, 1, -1}));
  for (const TTerminateInfo &end : ends) {
    EXPECT_TRUE(end.Finished) << end.TaskIndex << ": " << end.ExceptionMsg;
    EXPECT_FALSE(end.Exception) << end.TaskIndex << ": " << end.ExceptionMsg;
  }
  EXPECT_EQ(events.StartThreads(), std::vector<std::thread::id>(2, std::this_thread::get_id()));
  EXPECT_EQ(events.AllEndedThread(), std::this_thread::get_id());
  EXPECT_TRUE(encoder.Terminated());
}

TEST_F(EncoderRunTest, OneThreadStartsEachNextTaskFromTheTaskThatEnded) {
  TFFEncoder encoder;
  TEventRecorder events(encoder);
  for (int i = 0; i < 3; i++)
    AddConversion(encoder, Fixture("av.mp4"), ScratchDir() + "/one" + std::to_string(i) + ".mkv",
                  CopyOptions);
  encoder.Start(1);
  ASSERT_TRUE(WaitForAllEnded(events));
  // Each task's event has its own delivery thread: only the -1 event's place is fixed.
  std::vector<int> order = TaskOrder(events.Ends());
  ASSERT_EQ(order.size(), 4u);
  EXPECT_EQ(order.back(), -1);
  std::sort(order.begin(), order.end() - 1);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, -1}));
  const std::vector<std::thread::id> starts = events.StartThreads();
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0], std::this_thread::get_id());
  EXPECT_NE(starts[1], std::this_thread::get_id());
  EXPECT_NE(starts[2], starts[1]);
  // Delivered on the main thread through CallInMainThread.
  EXPECT_EQ(events.AllEndedThread(), std::this_thread::get_id());
}

TEST_F(EncoderRunTest, TwoTasksAtOnceWriteWhatOneAtATimeWrites) {
  const std::vector<std::string> inputs{Fixture("av.mp4"), Fixture("av.avi")};
  const std::vector<std::pair<std::string, std::string>> outputs{
      {"-y -c:v mpeg4 -c:a libmp3lame -vf vflip", "avi"},
      {"-y -c:v mpeg4 -c:a aac -vf scale=160:120 -fflags +bitexact", "mkv"}};
  std::vector<std::string> serial, parallel;
  for (int threads : {0, 2}) {
    TFFEncoder encoder;
    TEventRecorder events(encoder);
    for (size_t i = 0; i < inputs.size(); i++) {
      const std::string out = ScratchDir() + "/at_once" + std::to_string(threads) + "_" +
                              std::to_string(i) + "." + outputs[i].second;
      AddConversion(encoder, inputs[i], out, outputs[i].first);
      (threads ? parallel : serial).push_back(out);
    }
    encoder.Start(threads);
    ASSERT_TRUE(WaitForAllEnded(events));
    const std::vector<TTerminateInfo> ends = events.Ends();
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_EQ(ends.back().TaskIndex, -1);
    for (size_t i = 0; i < 2; i++)
      EXPECT_TRUE(ends[i].Finished && !ends[i].Exception) << ends[i].ExceptionMsg;
  }
  for (size_t i = 0; i < inputs.size(); i++) {
    const std::string bytes = FileBytes(serial[i]);
    EXPECT_FALSE(bytes.empty());
    EXPECT_TRUE(bytes == FileBytes(parallel[i])) << serial[i] << " differs from " << parallel[i];
  }
}

TEST_F(EncoderRunTest, AutoReleaseFreesEachTaskAfterItsEventAndKeepsTheSlots) {
  TFFEncoder encoder;
  TEventRecorder events(encoder);
  encoder.SetAutoReleaseTask(true);
  for (int i = 0; i < 3; i++)
    AddConversion(encoder, Fixture("audio.wav"), ScratchDir() + "/rel" + std::to_string(i) + ".wav",
                  CopyOptions);
  encoder.Start(2);
  ASSERT_TRUE(WaitForAllEnded(events));
  EXPECT_EQ(events.Ends().size(), 4u);
  EXPECT_EQ(encoder.TasksCount(), 3);
  for (int i = 0; i < 3; i++)
    EXPECT_EQ(encoder.FFmpegs(i), nullptr) << i;
}

// Stopping a running or a paused task: one event for it (not finished), then the -1 event,
// and the output is complete enough to be read back.
class EncoderStopTest : public EncoderTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EncoderStopTest, EndsTheTaskOnceWithAPlayableOutput) {
  const bool paused = GetParam();
  TFFEncoder encoder;
  TEventRecorder events(encoder);
  const std::string out = ScratchDir() + (paused ? "/stop_paused.mkv" : "/stop_running.mkv");
  AddConversion(encoder, Fixture("av.mp4"), out, CopyOptions, "-re");
  encoder.SetProgressInterval(50);
  encoder.Start(1);
  WaitInMainThread([&] { return events.Progresses() >= 3 || events.AllEnded(); });
  if (paused) {
    encoder.Pause();
    EXPECT_TRUE(encoder.Paused());
  }
  encoder.Stop(true);
  ASSERT_TRUE(WaitForAllEnded(events));
  const std::vector<TTerminateInfo> ends = events.Ends();
  ASSERT_EQ(TaskOrder(ends), (std::vector<int>{0, -1}));
  EXPECT_FALSE(ends[0].Finished);
  EXPECT_FALSE(ends[0].Exception) << ends[0].ExceptionMsg;
  EXPECT_TRUE(ends[1].Finished);
  const double duration = ProbeDuration(out);
  EXPECT_GT(duration, 0.0);
  EXPECT_LT(duration, 1.9);
}

INSTANTIATE_TEST_SUITE_P(Encoder, EncoderStopTest, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "Paused" : "Running"; });

} // namespace
