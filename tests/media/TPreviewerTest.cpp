// The engine's preview window through the installed factory: caption texts, painting on the
// main thread for a worker, the closed window, and no window system at all.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <thread>

#include "components/CallInMainThread.h"
#include "media/TPreviewer.h"

namespace {

// The caption names the frame's own millisecond, never a later one: at 240 fps the frame at
// 4167 us is followed by one at 8333 us.
TEST(TPreviewer, CaptionShowsThePositionInWholeMillisecondsAtOrBeforeIt) {
  const struct {
    int64_t Position;
    const char *Caption;
  } cases[] = {
      {0, "00:00:00.000"},
      {4167, "00:00:00.004"},
      {8333, "00:00:00.008"},
      {1234567, "00:00:01.234"},
      {3723004000, "01:02:03.004"},
      {359999999999, "99:59:59.999"},
      {-2000000, "-00:00:02.000"},
      {-1500, "-00:00:00.002"},
      {std::numeric_limits<int64_t>::max(), "2562047788:00:54.775"},
      {std::numeric_limits<int64_t>::min() + 1, "-2562047788:00:54.776"},
      {std::numeric_limits<int64_t>::min(), "N/A"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(TPreviewer::Caption(c.Position), c.Caption) << c.Position;
}

// Records what the engine asked of the window and on which thread.
struct TWindowLog {
  std::thread::id MainThread = std::this_thread::get_id();
  std::atomic<int> Created{0}, Painted{0}, Destroyed{0};
  std::atomic<bool> OffMainThread{false};
  std::string Caption;
  int Width = 0;
  bool Closed = false;
  void Check() {
    if (std::this_thread::get_id() != MainThread)
      OffMainThread = true;
  }
};

class TRecordingWindow : public TPreviewWindow {
public:
  explicit TRecordingWindow(TWindowLog &ALog) : FLog(ALog) {
    FLog.Check();
    ++FLog.Created;
  }
  ~TRecordingWindow() override {
    FLog.Check();
    ++FLog.Destroyed;
  }
  void Paint(const TBitmap &ABitmap, const std::string &ACaption) override {
    FLog.Check();
    ++FLog.Painted;
    FLog.Caption = ACaption;
    FLog.Width = ABitmap.Width();
  }
  bool Closed() const override { return FLog.Closed; }

private:
  TWindowLog &FLog;
};

// Runs AWork on a worker while this (main) thread serves its calls.
void OnWorker(const std::function<void()> &AWork) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    AWork();
    done = true;
  });
  WaitInMainThread([&] { return done.load(); });
  worker.join();
}

class TPreviewerWindows : public ::testing::Test {
protected:
  void SetUp() override {
    SetMainThreadDispatcher([](const std::function<void()> &) {}); // served by WaitInMainThread
    SetPreviewWindowFactory([this] { return std::make_unique<TRecordingWindow>(Log); });
    Bitmap.SetSize(32, 24, pf32bit);
  }
  void TearDown() override {
    SetPreviewWindowFactory(nullptr);
    SetMainThreadDispatcher(nullptr);
  }
  TWindowLog Log;
  TBitmap Bitmap;
};

TEST_F(TPreviewerWindows, AWorkerPaintsThroughTheMainThread) {
  OnWorker([&] {
    TPreviewer previewer;
    EXPECT_TRUE(previewer.PaintFrame(Bitmap, 1, 0));
    EXPECT_TRUE(previewer.PaintFrame(Bitmap, 2, 40000));
    EXPECT_EQ(previewer.FrameNumber(), 2);
  });
  EXPECT_EQ(Log.Created, 1);
  EXPECT_EQ(Log.Painted, 2);
  EXPECT_EQ(Log.Destroyed, 1);
  EXPECT_EQ(Log.Caption, "00:00:00.040");
  EXPECT_EQ(Log.Width, 32);
  EXPECT_FALSE(Log.OffMainThread);
}

TEST_F(TPreviewerWindows, AClosedWindowIsNotPaintedAgain) {
  OnWorker([&] {
    TPreviewer previewer;
    EXPECT_TRUE(previewer.PaintFrame(Bitmap, 1, 0));
    CallInMainThread([&] { Log.Closed = true; }); // the user closes it
    EXPECT_FALSE(previewer.PaintFrame(Bitmap, 2, 40000));
    EXPECT_FALSE(previewer.PaintFrame(Bitmap, 3, 80000));
  });
  EXPECT_EQ(Log.Painted, 1);
  EXPECT_EQ(Log.Destroyed, 1);
}

TEST_F(TPreviewerWindows, WithoutAWindowSystemThePreviewIsOff) {
  SetPreviewWindowFactory(nullptr);
  OnWorker([&] {
    TPreviewer previewer;
    EXPECT_FALSE(previewer.PaintFrame(Bitmap, 1, 0));
    EXPECT_FALSE(previewer.PaintFrame(Bitmap, 2, 40000));
  });
  EXPECT_EQ(Log.Created, 0);
}

} // namespace
