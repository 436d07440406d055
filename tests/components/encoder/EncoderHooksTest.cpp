// Hooks and previews through the encoder component: the output's hook flags route the engine's
// hooks to the component's events, PreviewBitmap brings the preview event, and stream copy is
// refused while a hook needs decoded frames.
#include <cstring>
#include <vector>

#include "../../transcode/files/ToolComparison.h"
#include "EncoderTestSupport.h"
#include "media/TBitmap.h"

namespace {

class EncoderHooksTest : public EncoderTest {};

int AddHookedTask(TFFEncoder &AEncoder, const std::string &AOutput, const std::string &AOptions) {
  const int task = AEncoder.AddTask(Fixture("av.mp4"));
  EXPECT_GE(task, 0) << AEncoder.LastErrMsg();
  TOutputOptions output;
  output.Options = AOptions;
  output.VideoOutputHook = true;
  EXPECT_GE(AEncoder.SetOutput(task, AOutput, &output), 0) << AEncoder.LastErrMsg();
  return task;
}

TEST_F(EncoderHooksTest, TheOutputHookAndThePreviewReachTheEvents) {
  TFFEncoder encoder;
  TEventRecorder events(encoder);
  std::vector<THookInfo> hooked;
  std::vector<TPreviewInfo> previews;
  encoder.OnVideoOutputHook = [&](TObject *, THookInfo *AInfo) {
    hooked.push_back(*AInfo);
    for (int y = 0; y < AInfo->Bitmap->Height(); ++y)
      std::memset(AInfo->Bitmap->ScanLine(y), 255, size_t(AInfo->Bitmap->Stride()));
  };
  encoder.OnPreviewBitmap = [&](TObject *, const TPreviewInfo &AInfo) {
    previews.push_back(AInfo);
  };
  encoder.SetPreviewBitmap(true);
  const std::string out = ScratchDir() + "/encoder_hooked.mkv";
  AddHookedTask(encoder, out, "-y -c:v mpeg4 -q:v 2 -an -frames:v 10");
  encoder.Start(0);
  ASSERT_TRUE(events.AllEnded());
  ASSERT_EQ(events.Ends().size(), 2u);
  EXPECT_TRUE(events.Ends()[0].Finished) << events.Ends()[0].ExceptionMsg;
  ASSERT_EQ(hooked.size(), 10u);
  EXPECT_EQ(hooked[0].FrameNumber, 1);
  EXPECT_EQ(hooked[9].FrameNumber, 10);
  EXPECT_TRUE(hooked[0].Update);
  EXPECT_FALSE(hooked[0].StopHook);
  EXPECT_GT(FirstFrameLuma(out), 225);
  ASSERT_FALSE(previews.empty());
  EXPECT_EQ(previews[0].TaskIndex, 0);
  EXPECT_EQ(previews[0].FrameNumber, 1);
  EXPECT_LE(previews.size(), 10u);
}

TEST_F(EncoderHooksTest, StreamCopyWithAVideoHookIsRefused) {
  TFFEncoder encoder;
  TEventRecorder events(encoder);
  encoder.OnVideoOutputHook = [](TObject *, THookInfo *) {};
  AddHookedTask(encoder, ScratchDir() + "/encoder_copy.mkv", "-y -c:v copy -an");
  encoder.Start(0);
  ASSERT_TRUE(events.AllEnded());
  const TTerminateInfo end = events.Ends()[0];
  EXPECT_TRUE(end.Exception);
  EXPECT_NE(end.ExceptionMsg.find(
                "-vcodec/-c:video copy and VideoHook are incompatible (frames are not decoded)"),
            std::string::npos)
      << end.ExceptionMsg;
}

} // namespace
