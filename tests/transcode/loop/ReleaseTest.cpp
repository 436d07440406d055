// What a task owns is released whatever way it ends: option strings that fail at each stage
// (parsing, opening the output, opening the encoder, configuring a filter graph; a filter graph
// that cannot be made ends the task with the decoding text, as the loop reports it), and the
// process-wide hardware devices that tasks share. The sanitizer builds run these to prove that
// nothing leaks and nothing is used after it was freed.
#include "LoopTestSupport.h"
#include "transcode/HWDevices.h"

namespace {

struct TFailCase {
  const char *name;
  const char *options;
  bool failsToOpen;             // refused by OpenOutputFile, else the task ends fatally
  const char *message;          // part of the open error or of the fatal message
  const char *output = nullptr; // a scratch file when null
};

class FailingTaskTest : public LoopTest, public ::testing::WithParamInterface<TFailCase> {};

TEST_P(FailingTaskTest, EndsWithItsMessage) {
  const TFailCase &c = GetParam();
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  const std::string out = c.output ? c.output : Scratch(std::string("fail_") + c.name + ".mkv");
  const bool opened = task.OpenOutput(out, c.options);
  ASSERT_EQ(opened, !c.failsToOpen) << task.Error;
  if (!opened) {
    EXPECT_NE(task.Error.find(c.message), std::string::npos) << task.Error;
    return;
  }
  task.Start(false);
  EXPECT_FALSE(task.E->Finished());
  EXPECT_TRUE(task.E->FatalException());
  EXPECT_NE(task.E->FatalMessage().find(c.message), std::string::npos) << task.E->FatalMessage();
  EXPECT_EQ(task.Terminations, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Release, FailingTaskTest,
    ::testing::Values(
        TFailCase{"unknown_option", "-c:v mpeg4 -nosuchoption 1", true, "nosuchoption"},
        TFailCase{"bad_progress_url", "-progress /nonexistent/dir/p.txt -c:v mpeg4", true,
                  "Failed to open progress URL"},
        TFailCase{"unknown_filter", "-c:v mpeg4 -vf nosuchfilter", false,
                  "Error reinitializing filters!"},
        TFailCase{"missing_pass_log", "-c:v mpeg4 -pass 2 -passlogfile /nonexistent/dir/log", true,
                  "Error reading log file"},
        TFailCase{"missing_attachment", "-c copy -attach /nonexistent/dir/font.ttf", true,
                  "Could not open attachment file"},
        TFailCase{"unwritable_output_folder", "-c:v mpeg4", true, "No such file",
                  "/nonexistent/dir/x.mkv"},
        TFailCase{"bad_encoder_option", "-c:v libx264 -preset nosuchpreset", false,
                  "Error while opening encoder"},
        TFailCase{"bad_filter_expression", "-c:v mpeg4 -vf scale=w=iw*:h=ih", false,
                  "Error reinitializing filters!"}),
    [](const auto &info) { return std::string(info.param.name); });

// Hardware devices through a software Vulkan device (skipped where none can be made).
class HWDeviceTest : public LoopTest {
protected:
  void SetUp() override {
    AVBufferRef *ref = nullptr;
    if (ff::av_hwdevice_ctx_create(&ref, AV_HWDEVICE_TYPE_VULKAN, nullptr, nullptr, 0) < 0)
      GTEST_SKIP() << "no Vulkan device on this machine";
    ff::av_buffer_unref(&ref);
  }

  // A task whose video goes through its own named device and back.
  std::unique_ptr<TTask> DeviceTask(const std::string &device) {
    auto task = std::make_unique<TTask>();
    EXPECT_TRUE(task->OpenInput(Fixture("av.mp4")));
    EXPECT_TRUE(task->OpenOutput(Scratch(device + ".mkv"),
                                 "-init_hw_device vulkan=" + device + " -filter_hw_device " +
                                     device +
                                     " -vf format=yuv420p,hwupload,hwdownload,format=yuv420p "
                                     "-c:v mpeg4 -an"))
        << task->Error;
    return task;
  }

  static int DeviceCount() {
    int count = 0;
    HWDeviceLast(count);
    return count;
  }
};

// The end of one task releases its own device but not the one a task still waiting to run holds;
// that one is released when its own task ends.
TEST_F(HWDeviceTest, ATaskEndReleasesOnlyDevicesNoOtherTaskHolds) {
  auto waiting = DeviceTask("vk_waiting");
  auto first = DeviceTask("vk_first");
  EXPECT_EQ(DeviceCount(), 2);
  first->Start(false);
  EXPECT_TRUE(first->E->Finished()) << first->E->FatalMessage();
  EXPECT_FALSE(HWDeviceGetByName("vk_first"));
  EXPECT_TRUE(HWDeviceGetByName("vk_waiting"));
  waiting->Start(false);
  EXPECT_TRUE(waiting->E->Finished()) << waiting->E->FatalMessage();
  EXPECT_EQ(DeviceCount(), 0);
  EXPECT_EQ(CountVideoFrames(Scratch("vk_waiting.mkv")), 50);
}

TEST_F(HWDeviceTest, TwoTasksAtOnceEachThroughItsDevice) {
  auto a = DeviceTask("vk_a");
  auto b = DeviceTask("vk_b");
  a->Start(true);
  b->Start(true);
  for (TTask *t : {a.get(), b.get()}) {
    ASSERT_TRUE(t->WaitTerminated());
    EXPECT_TRUE(t->E->Finished()) << t->E->FatalMessage();
  }
  EXPECT_EQ(DeviceCount(), 0);
  EXPECT_EQ(CountVideoFrames(Scratch("vk_a.mkv")), 50);
  EXPECT_EQ(CountVideoFrames(Scratch("vk_b.mkv")), 50);
}

// Without -filter_hw_device a task's filters take the last device it holds, never the one another
// task made after it (the tool's warning names the device picked).
TEST_F(HWDeviceTest, FiltersTakeTheirOwnTasksDevice) {
  auto own = [](const std::string &device) {
    auto task = std::make_unique<TTask>();
    EXPECT_TRUE(task->OpenInput(Fixture("av.mp4")));
    EXPECT_TRUE(task->OpenOutput(Scratch(device + ".mkv"),
                                 "-init_hw_device vulkan=" + device +
                                     " -vf format=yuv420p,hwupload,hwdownload,format=yuv420p "
                                     "-c:v mpeg4 -an"))
        << task->Error;
    return task;
  };
  auto first = own("vk_own_first");
  auto second = own("vk_own_second");
  TLogCapture log;
  first->Start(false);
  EXPECT_TRUE(first->E->Finished()) << first->E->FatalMessage();
  EXPECT_TRUE(log.Contains("device vk_own_first of type vulkan is picked"));
  second->Start(false);
  EXPECT_TRUE(second->E->Finished()) << second->E->FatalMessage();
}

// A task destroyed without running gives its device back as well.
TEST_F(HWDeviceTest, ATaskThatNeverRanReleasesItsDevice) {
  DeviceTask("vk_unused");
  EXPECT_EQ(DeviceCount(), 0);
}

} // namespace
