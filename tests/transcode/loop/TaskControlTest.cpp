// The task's thread and state model: start, pause, resume, stop, termination reported once,
// fatal errors recorded, inputs and outputs that fail while converting.
#include <chrono>
#include <filesystem>
#include <thread>

#include "LoopTestSupport.h"

namespace {

using namespace std::chrono;
using std::this_thread::sleep_for;

double Seconds(steady_clock::time_point since) {
  return duration<double>(steady_clock::now() - since).count();
}

TEST_F(LoopTest, NoOutputFileEndsAtOnceWithTheFatalMessage) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  task.Start(true); // the report comes on this thread, without a worker
  EXPECT_EQ(task.Terminations, 1);
  EXPECT_TRUE(task.E->Terminated());
  EXPECT_FALSE(task.E->Converting());
  EXPECT_TRUE(task.E->FatalException());
  EXPECT_EQ(task.E->FatalMessage(), "At least one output file must be specified");
  task.Start(true); // a terminated task does not start again
  EXPECT_EQ(task.Terminations, 1);
}

TEST_F(LoopTest, StartTwiceRunsOnceAndPauseResumeOutsideTheirStatesDoNothing) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4"), "-re"));
  ASSERT_TRUE(task.OpenOutput(Scratch("twice.mkv"), "-c copy"));
  task.E->Resume(); // not paused
  task.E->Pause();  // not started
  EXPECT_EQ(task.E->Suspended(), -1);
  task.Start(true);
  task.Start(true);
  task.Start(false); // would block this thread if it ran
  EXPECT_EQ(task.E->Suspended(), 0);
  task.E->Resume();
  EXPECT_EQ(task.E->Suspended(), 0);
  task.E->Stop(true);
  EXPECT_EQ(task.Terminations, 1);
}

// A paced (-re) 2 s input paused for 1 s: nothing is written while paused, and after the
// pause the input is still read at its native rate (no burst for the paused second).
TEST_F(LoopTest, PauseHoldsTheLoopAndPacingIgnoresPausedTime) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4"), "-re"));
  const std::string out = Scratch("paused.mkv");
  ASSERT_TRUE(task.OpenOutput(out, "-c copy"));
  task.E->FReportInterval = 10000;
  const auto start = steady_clock::now();
  task.Start(true);
  sleep_for(milliseconds(500));
  task.E->Pause();
  EXPECT_EQ(task.E->Suspended(), 1);
  sleep_for(milliseconds(100)); // the step in progress completes
  const int eventsAtPause = task.ProgressEvents;
  sleep_for(milliseconds(1000));
  EXPECT_EQ(task.ProgressEvents, eventsAtPause);
  task.E->Resume();
  ASSERT_TRUE(task.WaitTerminated());
  EXPECT_GT(Seconds(start), 2.0 + 1.0 - 0.3);
  EXPECT_TRUE(task.E->Finished());
  EXPECT_EQ(task.Terminations, 1);
  EXPECT_NEAR(ProbeDuration(out), 2.0, 0.05);
}

// Pacing switched off during a task lets it run at full speed; switched on again it continues
// from where the task is, without a catch-up pause.
TEST_F(LoopTest, SetRateEmuSwitchesPacingDuringATask) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4"), "-re"));
  ASSERT_TRUE(task.OpenOutput(Scratch("rate_emu.mkv"), "-c copy"));
  const auto start = steady_clock::now();
  task.Start(true);
  sleep_for(milliseconds(300));
  task.E->SetRateEmu(false);
  ASSERT_TRUE(task.WaitTerminated());
  EXPECT_LT(Seconds(start), 1.5);
  EXPECT_TRUE(task.E->Finished());

  TTask paced;
  ASSERT_TRUE(paced.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(paced.OpenOutput(Scratch("rate_emu_on.mkv"), "-c copy"));
  paced.E->SetRateEmu(true);
  const auto pacedStart = steady_clock::now();
  paced.Start(false);
  EXPECT_GT(Seconds(pacedStart), 1.7);
  EXPECT_TRUE(paced.E->Finished());
}

// Tasks share no state: two conversions running at once write the same bytes as each alone.
TEST_F(LoopTest, TwoTasksAtOnceWriteWhatEachWritesAlone) {
  const char *inputs[] = {"av.mp4", "av.avi"};
  const std::string options = "-bitexact -c:v mpeg4 -threads 1 -c:a mp2 -fflags +bitexact";
  auto convert = [&](const std::string &prefix, bool together) {
    std::vector<std::unique_ptr<TTask>> tasks;
    for (const char *in : inputs) {
      tasks.push_back(std::make_unique<TTask>());
      ASSERT_TRUE(tasks.back()->OpenInput(Fixture(in)));
      ASSERT_TRUE(tasks.back()->OpenOutput(Scratch(prefix + in + ".mkv"), options));
      if (!together) {
        tasks.back()->Start(false);
        EXPECT_TRUE(tasks.back()->E->Finished());
      }
    }
    if (!together)
      return;
    for (auto &t : tasks)
      t->Start(true);
    for (auto &t : tasks) {
      ASSERT_TRUE(t->WaitTerminated());
      EXPECT_TRUE(t->E->Finished()) << t->E->FatalMessage();
    }
  };
  convert("alone_", false);
  convert("together_", true);
  for (const char *in : inputs)
    EXPECT_EQ(RunText("cmp -s " + Scratch(std::string("alone_") + in + ".mkv") + " " +
                      Scratch(std::string("together_") + in + ".mkv") + " && echo same"),
              "same\n")
        << in;
}

// Nothing of one task reaches the next: successive tasks on one thread, with the encoders' own
// threading, write the same bytes, and two of them at once write those bytes as well. (libx264
// is left out: its output depends on the contents of the memory it is given, which the ffmpeg
// tool shows as well when the heap is filled with a pattern.)
TEST_F(LoopTest, RepeatedTasksWriteTheSameBytes) {
  const std::string options = "-bitexact -fflags +bitexact -c:v mpeg4 -c:a aac";
  std::vector<std::string> outs;
  auto run = [&](int n, bool together) {
    std::vector<std::unique_ptr<TTask>> tasks;
    for (int i = 0; i < n; i++) {
      outs.push_back(Scratch("repeat" + std::to_string(outs.size()) + ".mkv"));
      tasks.push_back(std::make_unique<TTask>());
      ASSERT_TRUE(tasks.back()->OpenInput(Fixture("av.mp4")));
      ASSERT_TRUE(tasks.back()->OpenOutput(outs.back(), options));
    }
    for (auto &t : tasks)
      t->Start(together);
    for (auto &t : tasks) {
      ASSERT_TRUE(t->WaitTerminated());
      EXPECT_TRUE(t->E->Finished()) << t->E->FatalMessage();
    }
  };
  for (int i = 0; i < 3; i++)
    run(1, false);
  run(2, true);
  for (size_t i = 1; i < outs.size(); i++)
    EXPECT_EQ(RunText("cmp -s " + outs[0] + " " + outs[i] + " && echo same"), "same\n")
        << "task " << i;
}

struct TStopCase {
  const char *name;
  bool paused;
};

class StopTest : public LoopTest, public ::testing::WithParamInterface<TStopCase> {};

// Stopped half-way: the trailer is written, the output plays, Finished is false, one event.
TEST_P(StopTest, StoppedTaskWritesItsTrailerAndReportsOnce) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4"), "-re"));
  const std::string out = Scratch(std::string("stopped_") + GetParam().name + ".mkv");
  ASSERT_TRUE(task.OpenOutput(out, "-c copy"));
  task.Start(true);
  sleep_for(milliseconds(700));
  if (GetParam().paused)
    task.E->Pause();
  const auto stopAt = steady_clock::now();
  task.E->Stop(true);
  EXPECT_LT(Seconds(stopAt), 0.5);
  EXPECT_TRUE(task.E->Terminated());
  EXPECT_FALSE(task.E->Finished());
  EXPECT_FALSE(task.E->FatalException()) << task.E->FatalMessage();
  sleep_for(milliseconds(50));
  EXPECT_EQ(task.Terminations, 1);
  const double written = ProbeDuration(out);
  EXPECT_GT(written, 0.3);
  EXPECT_LT(written, 1.6);
  EXPECT_TRUE(DecodesCleanly(out));
}

INSTANTIATE_TEST_SUITE_P(Loop, StopTest,
                         ::testing::Values(TStopCase{"running", false}, TStopCase{"paused", true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(LoopTest, RequestTerminateBeforeStartReportsOnceFromAnotherThread) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(task.OpenOutput(Scratch("never.mkv"), "-c copy"));
  task.E->RequestTerminate(true);
  task.E->RequestTerminate(true);
  EXPECT_EQ(task.Terminations, 1);
  EXPECT_TRUE(task.E->Terminated());
  EXPECT_FALSE(task.E->Finished());
  task.Start(false);
  EXPECT_EQ(task.Terminations, 1);
}

// The device is full: writing fails, the task ends with the trailer failure and its cause as
// its fatal error.
TEST_F(LoopTest, UnwritableOutputEndsWithTheTrailerFailure) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(task.OpenOutput("/dev/full", "-c copy -f matroska"));
  task.Start(false);
  EXPECT_EQ(task.Terminations, 1);
  EXPECT_FALSE(task.E->Finished());
  EXPECT_TRUE(task.E->FatalException());
  // The first error line, then the end of the run with its cause.
  EXPECT_EQ(task.E->FatalMessage(),
            "Error writing trailer of /dev/full: No space left on device\r\n"
            "At least one output file failed to be written trailer: "
            "Error writing trailer of /dev/full: No space left on device");
}

// Damaged inputs convert what they can (or end with a message); they never crash or hang.
struct TDamagedCase {
  const char *name;
  const char *file;
  const char *options;
};

class DamagedInputTest : public LoopTest, public ::testing::WithParamInterface<TDamagedCase> {};

TEST_P(DamagedInputTest, ConvertsWhatItCanWithoutCrashing) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(LoopFixture(GetParam().file)));
  const std::string out = Scratch(std::string("damaged_") + GetParam().name + ".mkv");
  ASSERT_TRUE(task.OpenOutput(out, GetParam().options));
  task.Start(false);
  EXPECT_EQ(task.Terminations, 1);
  if (task.E->FatalException())
    EXPECT_FALSE(task.E->FatalMessage().empty());
  else
    EXPECT_GT(ProbeDuration(out), 0.5);
}

const TDamagedCase DamagedCases[] = {
    {"truncated_copy", "truncated.ts", "-c copy"},
    {"zeroed_copy", "zeroed.ts", "-c copy"},
    {"flipped_copy", "flipped.ts", "-c copy"},
    {"truncated_encoded", "truncated.ts", "-c:v mpeg4 -c:a mp2"},
    {"zeroed_encoded", "zeroed.ts", "-c:v mpeg4 -c:a mp2"},
    {"flipped_encoded", "flipped.ts", "-c:v mpeg4 -c:a mp2"},
};

INSTANTIATE_TEST_SUITE_P(Loop, DamagedInputTest, ::testing::ValuesIn(DamagedCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
