// The encoder component's states, refusals and error texts, and what it hands to its engines.
#include <functional>
#include <stdexcept>

#include "EncoderTestSupport.h"
#include "components/TFFLoader.h"

namespace {

class EncoderStateTest : public EncoderTest {};

// A task operation and the text it is refused with while working.
struct TGuardedOperation {
  const char *text;
  std::function<void(TFFEncoder &)> call;
};

std::vector<TGuardedOperation> TaskOperations(const std::string &AOutput) {
  return {
      {"Cannot AddTask while working.", [](TFFEncoder &e) { e.AddTask(Fixture("av.mp4")); }},
      {"Cannot SetOutput while working.", [=](TFFEncoder &e) { e.SetOutput(0, AOutput); }},
      {"Cannot RemoveTask while working.", [](TFFEncoder &e) { e.RemoveTask(0); }},
      {"Cannot StartTask while working.", [](TFFEncoder &e) { e.Start(1); }},
  };
}

void ExpectRefused(TFFEncoder &AEncoder, const TGuardedOperation &AOperation) {
  try {
    AOperation.call(AEncoder);
    ADD_FAILURE() << "not refused: " << AOperation.text;
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), AOperation.text);
  }
}

TEST_F(EncoderStateTest, RefusesTaskOperationsWhileWorkingAndAfterTheEndUntilClearTasks) {
  TFFEncoder encoder;
  TEventRecorder events(encoder);
  const std::string out = ScratchDir() + "/state.mkv";
  // Paced at the native rate, the 2 s clip keeps the task busy while the refusals are tried.
  AddConversion(encoder, Fixture("av.mp4"), out, "-y -c copy", "-re");
  encoder.Start(1);
  EXPECT_TRUE(encoder.Working());
  EXPECT_FALSE(encoder.Terminated());
  for (const TGuardedOperation &op : TaskOperations(out))
    ExpectRefused(encoder, op);
  ExpectRefused(encoder,
                {"Cannot ClearTasks while working.", [](TFFEncoder &e) { e.ClearTasks(); }});
  EXPECT_EQ(encoder.TasksCount(), 1);

  encoder.Stop(false);
  ASSERT_TRUE(WaitForAllEnded(events));
  EXPECT_TRUE(encoder.Working());
  EXPECT_TRUE(encoder.Terminated());
  for (const TGuardedOperation &op : TaskOperations(out))
    ExpectRefused(encoder, op);

  encoder.ClearTasks();
  EXPECT_FALSE(encoder.Working());
  EXPECT_FALSE(encoder.Terminated());
  EXPECT_EQ(encoder.TasksCount(), 0);
  EXPECT_EQ(encoder.AddTask(Fixture("av.mp4")), 0) << encoder.LastErrMsg();
}

TEST_F(EncoderStateTest, AddTaskWithoutTheLibrariesIsRefused) {
  FFLoader().Unload(EncoderLibraries);
  TFFEncoder encoder;
  EXPECT_FALSE(encoder.AVLibLoaded());
  try {
    encoder.AddTask(Fixture("av.mp4"));
    ADD_FAILURE() << "AddTask ran without the libraries";
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "FFmpeg libraries not loaded.");
  }
  ASSERT_TRUE(encoder.LoadAVLib("")) << encoder.LastErrMsg();
}

TEST_F(EncoderStateTest, AFailedOpenLeavesTheEnginesMessage) {
  TFFEncoder encoder;
  const std::string missing = ScratchDir() + "/missing.mp4";
  EXPECT_LT(encoder.AddTask(missing), 0);
  EXPECT_NE(encoder.LastErrMsg().find("No such file or directory"), std::string::npos)
      << encoder.LastErrMsg();
  EXPECT_EQ(encoder.TasksCount(), 0);

  const int task = encoder.AddTask(Fixture("av.mp4"));
  ASSERT_EQ(task, 0) << encoder.LastErrMsg();
  TOutputOptions output;
  output.Options = "-y -nosuchoption 1";
  EXPECT_LT(encoder.SetOutput(task, ScratchDir() + "/bad.avi", &output), 0);
  EXPECT_NE(encoder.LastErrMsg().find("nosuchoption"), std::string::npos) << encoder.LastErrMsg();
  EXPECT_EQ(encoder.TasksCount(), 1); // the caller removes it
  EXPECT_EQ(encoder.FFmpegs(task)->FOutputOptions.at(0).Options, "");

  try {
    encoder.SetOutput(3, ScratchDir() + "/x.avi");
    ADD_FAILURE() << "index 3 accepted";
  } catch (const std::out_of_range &e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (3)");
  }
}

TEST_F(EncoderStateTest, RecordsKeepTheirFileNamesAndReachTheEngine) {
  TFFEncoder encoder;
  TInputOptions input;
  input.Tag = 7;
  const int task = encoder.AddTask(Fixture("av.mp4"), &input);
  ASSERT_EQ(task, 0) << encoder.LastErrMsg();
  EXPECT_EQ(input.FileName, Fixture("av.mp4"));
  EXPECT_EQ(encoder.FFmpegs(task)->FInputOptions.at(0).Tag, 7);

  TOutputOptions output;
  output.Options = "-y";
  const std::string out = ScratchDir() + "/record.mkv";
  ASSERT_GE(encoder.SetOutput(task, out, &output), 0) << encoder.LastErrMsg();
  EXPECT_EQ(output.FileName, out);
  EXPECT_EQ(encoder.FFmpegs(task)->FOutputOptions.at(0).FileName, out);
  EXPECT_EQ(encoder.FFmpegs(task)->ParentComponent(), &encoder);
}

TEST_F(EncoderStateTest, IntervalsAndTimeOutsReachEveryEngine) {
  TFFEncoder encoder;
  ASSERT_EQ(encoder.AddTask(Fixture("av.mp4")), 0) << encoder.LastErrMsg();
  encoder.SetProgressInterval(5);
  EXPECT_EQ(encoder.ProgressInterval(), 10);
  EXPECT_EQ(encoder.FFmpegs(0)->FReportInterval, 10000);
  encoder.SetProgressInterval(750);
  EXPECT_EQ(encoder.FFmpegs(0)->FReportInterval, 750000);
  ASSERT_EQ(encoder.AddTask(Fixture("av.avi")), 1) << encoder.LastErrMsg();
  EXPECT_EQ(encoder.FFmpegs(1)->FReportInterval, 750000);
  encoder.SetReadTimeout(1234);
  encoder.SetWriteTimeout(4321);
  for (int i = 0; i < 2; i++) {
    EXPECT_EQ(encoder.FFmpegs(i)->FReadTimeout, 1234);
    EXPECT_EQ(encoder.FFmpegs(i)->FWriteTimeout, 4321);
  }
}

struct THookWordCase {
  const char *options;
  const char *engineText;
};

class HookWords : public ::testing::TestWithParam<THookWordCase> {};

TEST_P(HookWords, AreHandedOnInTheirOwnLetterCase) {
  EXPECT_EQ(TCustomEncoder::EngineOutputOptions(GetParam().options), GetParam().engineText);
}

INSTANTIATE_TEST_SUITE_P(
    Options, HookWords,
    ::testing::Values(THookWordCase{"-c:v mpeg4 -videoinputhook", "-c:v mpeg4 -VideoInputHook"},
                      THookWordCase{"-AUDIOINPUTHOOK -audiooutputhook -VideoOutputhook",
                                    "-AudioInputHook -AudioOutputHook -VideoOutputHook"},
                      THookWordCase{"-frameinputhook -frameinputhook -FRAMEOUTPUTHOOK",
                                    "-FrameInputHook -FrameInputHook -FrameOutputHook"},
                      // Only whole words between blanks.
                      THookWordCase{"-metadata title=-videoinputhook -videoinputhooks",
                                    "-metadata title=-videoinputhook -videoinputhooks"},
                      THookWordCase{"  -c copy  ", "-c copy"}, THookWordCase{"", ""}));

TEST_F(EncoderStateTest, AHookWordInAnyCaseOpensTheOutput) {
  TFFEncoder encoder;
  ASSERT_EQ(encoder.AddTask(Fixture("av.mp4")), 0) << encoder.LastErrMsg();
  TOutputOptions output;
  output.Options = "-y -videoinputhook -c:v mpeg4";
  EXPECT_GE(encoder.SetOutput(0, ScratchDir() + "/hook.avi", &output), 0) << encoder.LastErrMsg();
}

} // namespace
