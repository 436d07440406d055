// Hooks and previews of a task engine: hooks that change, stop or throw on real frames, the
// preview timing, the preview window closed by the user, the audio preview resampled and
// played through SDL, and stream copy refused while something needs decoded frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <vector>

#include "../files/FilesTestSupport.h"
#include "../files/ToolComparison.h"
#include "media/TPreviewer.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/hooks/Hooks.h"

namespace {

class HooksTest : public FilesTest {
protected:
  TCustomFFmpeg Engine;
  THooks &Hooks = HooksOf(Engine);
};

// A 64x48 yuv420p frame of one grey level.
TFramePtr GreyFrame(int AY) {
  TFramePtr frame(ff::av_frame_alloc());
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = 64;
  frame->height = 48;
  EXPECT_EQ(ff::av_frame_get_buffer(frame.get(), 0), 0);
  for (int plane = 0; plane < 3; ++plane)
    for (int y = 0; y < (plane ? 24 : 48); ++y)
      std::memset(frame->data[plane] + y * frame->linesize[plane], plane ? 128 : AY,
                  plane ? 32 : 64);
  return frame;
}

int CentreLuma(const AVFrame *AFrame) {
  return AFrame->data[0][24 * AFrame->linesize[0] + 32];
}

void Invert(TObject *, TBitmap &ABitmap, int, int64_t, bool &, bool &) {
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Stride(); ++x)
      ABitmap.ScanLine(y)[x] = uint8_t(255 - ABitmap.ScanLine(y)[x]);
}

// Both sides: an inverting video hook, and a frame hook that blacks out the luma, change the
// frame that goes on.
TEST_F(HooksTest, VideoAndFrameHooksChangeThePicture) {
  const auto blackLuma = [](TObject *, TPicturePlanes &APicture, AVPixelFormat, int, int AWidth,
                            int AHeight, int64_t) {
    for (int y = 0; y < AHeight; ++y)
      std::memset(APicture.data[0] + y * APicture.linesize[0], 16, size_t(AWidth));
  };
  const struct {
    bool Output, Frame;
    int Luma;
  } cases[] = {{false, false, 202}, {true, false, 202}, {false, true, 16}, {true, true, 16}};
  for (const auto &c : cases) {
    TCustomFFmpeg engine;
    THooks &hooks = HooksOf(engine);
    if (c.Frame)
      (c.Output ? hooks.FOnOutputFrameHook : hooks.FOnInputFrameHook) = blackLuma;
    else
      (c.Output ? hooks.FOnOutputVideoHook : hooks.FOnInputVideoHook) = Invert;
    TFramePtr frame = GreyFrame(50);
    TFramePtr shared(ff::av_frame_clone(frame.get())); // the decoder's reference stays intact
    // Output: the encoder gets a hooked copy, the frame stays for duplicates.
    const AVFrame *encoded = frame.get();
    if (c.Output)
      encoded = hooks.OutputVideo(frame.get(), 1, 0);
    else
      hooks.InputVideo(frame.get(), 1, 0);
    EXPECT_NEAR(CentreLuma(encoded), c.Luma, 6) << c.Output << c.Frame;
    EXPECT_EQ(CentreLuma(shared.get()), 50);
    if (c.Output) {
      EXPECT_EQ(CentreLuma(frame.get()), 50);
    }
  }
}

TEST_F(HooksTest, AHookThatStopsIsNotCalledAgain) {
  int calls = 0;
  Hooks.FOnOutputVideoHook = [&](TObject *, TBitmap &, int, int64_t, bool &, bool &AStop) {
    ++calls;
    AStop = true;
  };
  for (int i = 1; i <= 3; ++i)
    Hooks.OutputVideo(GreyFrame(50).get(), i, 0);
  EXPECT_EQ(calls, 1);
}

TEST_F(HooksTest, AHookThatThrowsLeavesTheFrameAndStaysActive) {
  int calls = 0;
  Hooks.FOnInputVideoHook = [&](TObject *, TBitmap &ABitmap, int, int64_t, bool &, bool &) {
    ++calls;
    ABitmap.FillBlack();
    throw std::runtime_error("hook failed");
  };
  for (int i = 1; i <= 3; ++i) {
    TFramePtr frame = GreyFrame(50);
    Hooks.InputVideo(frame.get(), i, 0);
    EXPECT_EQ(CentreLuma(frame.get()), 50);
  }
  EXPECT_EQ(calls, 3);
}

// The first frame always; then never two previews within the interval.
TEST_F(HooksTest, PreviewEventsAtMostOncePerInterval) {
  std::vector<std::chrono::steady_clock::time_point> times;
  std::vector<int> frames;
  Hooks.FOnPreviewBitmap = [&](TObject *, const TBitmap &ABitmap, int AFrame, int64_t) {
    EXPECT_EQ(ABitmap.Width(), 64);
    times.push_back(std::chrono::steady_clock::now());
    frames.push_back(AFrame);
  };
  Hooks.SetPostHooks(PostHookBit(phBitmap));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 1; i <= 25; ++i) { // a second of 25 frame/s
    Hooks.OutputVideo(GreyFrame(50).get(), i, i * 40000);
    std::this_thread::sleep_until(start + std::chrono::milliseconds(40 * i));
  }
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.front(), 1);
  EXPECT_LE(times.size(), 10u);
  EXPECT_GE(times.size(), 3u);
  for (size_t i = 1; i < times.size(); ++i)
    EXPECT_GT(times[i] - times[i - 1], std::chrono::milliseconds(100));
}

// A window the test closes as a user would.
struct TWindowLog {
  int Painted = 0, Destroyed = 0;
  bool Closed = false;
};
class TTestWindow : public TPreviewWindow {
public:
  explicit TTestWindow(TWindowLog &ALog) : FLog(ALog) {}
  ~TTestWindow() override { ++FLog.Destroyed; }
  void Paint(const TBitmap &, const std::string &) override { ++FLog.Painted; }
  bool Closed() const override { return FLog.Closed; }

private:
  TWindowLog &FLog;
};

TEST_F(HooksTest, ClosingThePreviewWindowEndsThePreviews) {
  TWindowLog log;
  SetPreviewWindowFactory([&] { return std::make_unique<TTestWindow>(log); });
  Hooks.SetPreviewInterval(0);
  Hooks.SetPostHooks(PostHookBit(phPreview));
  Hooks.OutputVideo(GreyFrame(50).get(), 1, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  log.Closed = true;
  Hooks.OutputVideo(GreyFrame(50).get(), 2, 40000);
  EXPECT_EQ(Hooks.PostHooks() & PostHookBit(phPreview), 0u);
  EXPECT_EQ(log.Destroyed, 1);
  Hooks.OutputVideo(GreyFrame(50).get(), 3, 80000);
  EXPECT_EQ(log.Painted, 1);
  SetPreviewWindowFactory(nullptr);
}

TEST_F(HooksTest, SwitchingThePreviewWindowOffFreesIt) {
  TWindowLog log;
  SetPreviewWindowFactory([&] { return std::make_unique<TTestWindow>(log); });
  Hooks.SetPostHooks(PostHookBit(phPreview));
  Hooks.OutputVideo(GreyFrame(50).get(), 1, 0);
  EXPECT_EQ(log.Painted, 1);
  Hooks.SetPostHooks(0);
  EXPECT_EQ(log.Destroyed, 1);
  SetPreviewWindowFactory(nullptr);
}

// A planar float frame of AChannels channels: a 1 kHz tone.
TFramePtr ToneFrame(int AChannels, int ARate, int ASamples, int64_t AFirst) {
  TFramePtr frame(ff::av_frame_alloc());
  frame->format = AV_SAMPLE_FMT_FLTP;
  frame->sample_rate = ARate;
  frame->nb_samples = ASamples;
  ff::av_channel_layout_default(&frame->ch_layout, AChannels);
  EXPECT_EQ(ff::av_frame_get_buffer(frame.get(), 0), 0);
  for (int c = 0; c < AChannels; ++c)
    for (int i = 0; i < ASamples; ++i)
      reinterpret_cast<float *>(frame->data[c])[i] =
          0.5f * float(std::sin(2 * M_PI * 1000 * double(AFirst + i) / ARate));
  return frame;
}

// Sets an environment variable for one test.
struct TEnvironment {
  TEnvironment(const char *AName, const std::string &AValue) : Name(AName) {
    setenv(AName, AValue.c_str(), 1);
  }
  ~TEnvironment() { setenv(Name, "dummy", 1); }
  const char *Name;
};

TEST_F(HooksTest, FiveChannelsArePreviewedAsStereo) {
  TEnvironment driver("SDL_AUDIODRIVER", "dummy");
  int hookChannels = 0, hookSize = 0;
  Hooks.FOnOutputAudioHook = [&](TObject *, int64_t, const AVFrame *, int ASize, int, int AChannels,
                                 AVSampleFormat) {
    hookChannels = AChannels;
    hookSize = ASize;
  };
  Hooks.SetPreviewAudio(true);
  Hooks.OutputAudio(ToneFrame(5, 48000, 1024, 0).get(), 0, false);
  EXPECT_TRUE(Hooks.PreviewAudio());
  EXPECT_EQ(hookChannels, 5);
  EXPECT_EQ(hookSize, 1024 * 4);                            // one plane of floats
  EXPECT_EQ(Hooks.WaveBuffer().WriteCount(), 1024 * 2 * 2); // stereo, 16-bit
}

TEST_F(HooksTest, WithoutASoundDeviceTheAudioPreviewSwitchesOff) {
  TEnvironment driver("SDL_AUDIODRIVER", "no-such-driver");
  Hooks.SetPreviewAudio(true);
  Hooks.OutputAudio(ToneFrame(2, 44100, 1024, 0).get(), 0, false);
  EXPECT_FALSE(Hooks.PreviewAudio());
}

// The 16-bit samples SDL's disk driver wrote to APath from byte AFrom to byte ATo.
std::vector<int16_t> PlayedSamples(const std::string &APath, size_t AFrom = 0,
                                   size_t ATo = SIZE_MAX) {
  std::ifstream in(APath, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  ATo = std::min(ATo, bytes.size()) & ~size_t(1);
  std::vector<int16_t> samples(ATo > AFrom ? (ATo - AFrom) / 2 : 0);
  std::memcpy(samples.data(), bytes.data() + AFrom, samples.size() * 2);
  return samples;
}

int LoudSamples(const std::vector<int16_t> &ASamples) {
  return int(std::count_if(ASamples.begin(), ASamples.end(),
                           [](int16_t s) { return std::abs(s) > 1000; }));
}

size_t FileSize(const std::string &APath) {
  std::ifstream in(APath, std::ios::binary | std::ios::ate);
  return in ? size_t(in.tellg()) : 0;
}

bool WaitUntil(const std::function<bool()> &ADone, int ASeconds = 10) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(ASeconds);
  while (!ADone() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return ADone();
}

// Played through SDL's disk driver, the converted tone reaches the device.
TEST_F(HooksTest, TheAudioPreviewPlaysTheTone) {
  const std::string path = ScratchDir() + "/preview_audio.raw";
  TEnvironment driver("SDL_AUDIODRIVER", "disk");
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  Hooks.SetPreviewAudio(true);
  for (int i = 0; i < 20; ++i) // about 0.5 s
    Hooks.OutputAudio(ToneFrame(2, 44100, 1024, i * 1024).get(), 0, false);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (Hooks.WaveBuffer().ReadCount() < 8 * 8192 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  Hooks.EndOfRun();
  Hooks.Cleanup();
  const std::vector<int16_t> samples = PlayedSamples(path);
  double energy = 0;
  int loud = 0;
  for (int16_t s : samples) {
    energy += double(s) * s;
    loud += std::abs(s) > 8000;
  }
  ASSERT_GT(samples.size(), 0u);
  EXPECT_GT(loud, 8 * 1024); // several buffers of the 0.5 amplitude tone
  EXPECT_GT(std::sqrt(energy / double(samples.size())), 2000.0);
}

// A task paced at its native rate with the audio preview on, played through SDL's disk driver.
class AudioPreviewTask : public HooksTest {
protected:
  void SetUp() override {
    setenv("SDL_DISKAUDIOFILE", Played.c_str(), 1);
    Hooks.SetPreviewAudio(true);
    ASSERT_GE(OpenIn(Engine, "-re", Fixture("av.mp4")).ret, 0);
    const TOpenResult out = OpenOut(Engine, "-vn -c:a pcm_s16le", ScratchDir() + "/paced.wav");
    ASSERT_GE(out.ret, 0) << out.error;
    Engine.StartConvert(true);
    // Playing: the device has taken the first buffers of the tone.
    ASSERT_TRUE(WaitUntil([&] { return Hooks.WaveBuffer().ReadCount() >= 4 * 8192; }));
  }
  const std::string Played = ScratchDir() + "/paced_preview.raw";
  TEnvironment Driver{"SDL_AUDIODRIVER", "disk"};
};

// The device keeps running while the task is paused (the disk driver writes on): what it
// plays then is silence, and the tone comes back with Resume.
TEST_F(AudioPreviewTask, PauseAndResumeReachThePlayer) {
  Engine.Pause();
  const size_t pausedAt = FileSize(Played);
  std::this_thread::sleep_for(std::chrono::milliseconds(50)); // a refill under way ends
  const int64_t readAtPause = Hooks.WaveBuffer().ReadCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  const size_t resumedAt = FileSize(Played);
  EXPECT_EQ(Hooks.WaveBuffer().ReadCount(), readAtPause);
  Engine.Resume();
  ASSERT_TRUE(WaitUntil([&] { return Engine.Terminated(); }));
  // Buffers queued before the pause may still play: skip five of 8192 bytes.
  ASSERT_GT(resumedAt, pausedAt + 6 * 8192);
  EXPECT_EQ(LoudSamples(PlayedSamples(Played, pausedAt + 5 * 8192, resumedAt)), 0);
  EXPECT_GT(LoudSamples(PlayedSamples(Played, resumedAt)), 4 * 1024);
  EXPECT_TRUE(Engine.Finished()) << Engine.FatalMessage();
}

// While the task is paused, or stopping (its last frames still going through the encoders),
// frames still reach the preview, but the player takes nothing more from its buffer.
TEST_F(HooksTest, ThePreviewIsSilentWhilePausedOrStopping) {
  TEnvironment driver("SDL_AUDIODRIVER", "disk");
  setenv("SDL_DISKAUDIOFILE", (ScratchDir() + "/silent_preview.raw").c_str(), 1);
  for (const bool stop : {false, true}) {
    TCustomFFmpeg engine;
    THooks &hooks = HooksOf(engine);
    hooks.SetPreviewAudio(true);
    int64_t first = 0;
    const auto feed = [&](int AFrames) {
      for (int i = 0; i < AFrames; ++i, first += 1024)
        hooks.OutputAudio(ToneFrame(2, 44100, 1024, first).get(), 0, true);
    };
    feed(40);
    ASSERT_TRUE(WaitUntil([&] { return hooks.WaveBuffer().ReadCount() >= 2 * 8192; }));
    if (stop)
      engine.Stop(false); // not started: only marks the stop
    else
      HooksOf(engine).Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // a refill under way ends
    const int64_t read = hooks.WaveBuffer().ReadCount();
    feed(20);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(hooks.WaveBuffer().ReadCount(), read) << stop;
    EXPECT_GT(hooks.WaveBuffer().DataSize(), 0) << stop;
  }
}

TEST_F(HooksTest, StreamCopyIsRefusedWhileSomethingNeedsDecodedFrames) {
  const struct {
    const char *Options;
    void (*Set)(THooks &);
    const char *Text;
  } cases[] = {
      {"-c:v copy -an", [](THooks &h) { h.FOnOutputVideoHook = Invert; },
       "-vcodec/-c:video copy and VideoHook are incompatible (frames are not decoded)"},
      {"-c:v copy -an",
       [](THooks &h) {
         h.FOnInputFrameHook = [](TObject *, TPicturePlanes &, AVPixelFormat, int, int, int,
                                  int64_t) {};
       },
       "-vcodec/-c:video copy and FrameHook are incompatible (frames are not decoded)"},
      {"-c:v copy -an", [](THooks &h) { h.SetPostHooks(PostHookBit(phBitmap)); },
       "-vcodec/-c:video copy and Preview are incompatible (frames are not decoded)"},
      {"-c:a copy -vn",
       [](THooks &h) {
         h.FOnInputAudioHook = [](TObject *, int64_t, const AVFrame *, int, int, int,
                                  AVSampleFormat) {};
       },
       "-acodec/-c:audio copy and AudioHook are incompatible (frames are not decoded)"},
  };
  for (const auto &c : cases) {
    TCustomFFmpeg engine;
    c.Set(HooksOf(engine));
    ASSERT_GE(OpenIn(engine, "", Fixture("av.mp4")).ret, 0);
    const TOpenResult out = OpenOut(engine, c.Options, ScratchDir() + "/hooked_copy.mkv");
    ASSERT_GE(out.ret, 0) << out.error;
    engine.StartConvert(false);
    EXPECT_TRUE(engine.FatalException()) << c.Text;
    EXPECT_NE(engine.FatalMessage().find(c.Text), std::string::npos) << engine.FatalMessage();
  }
}

void White(TObject *, TBitmap &ABitmap, int, int64_t, bool &, bool &) {
  for (int y = 0; y < ABitmap.Height(); ++y)
    std::memset(ABitmap.ScanLine(y), 255, size_t(ABitmap.Stride()));
}

// A conversion with a hook that paints every picture white writes white pictures, whether the
// hook sees the decoded frames or the frames going to the encoder; the preview event comes
// for the first frame.
TEST_F(HooksTest, HookedConversionWritesTheHookedPictures) {
  for (bool output : {false, true}) {
    TCustomFFmpeg engine;
    (output ? HooksOf(engine).FOnOutputVideoHook : HooksOf(engine).FOnInputVideoHook) = White;
    std::vector<int> previewed;
    HooksOf(engine).FOnPreviewBitmap = [&](TObject *, const TBitmap &, int AFrame, int64_t) {
      previewed.push_back(AFrame);
    };
    HooksOf(engine).SetPostHooks(PostHookBit(phBitmap));
    const std::string out = ScratchDir() + "/hooked.mkv";
    ASSERT_GE(OpenIn(engine, "", Fixture("av.mp4")).ret, 0);
    const TOpenResult opened = OpenOut(engine, "-c:v mpeg4 -q:v 2 -an -frames:v 10", out);
    ASSERT_GE(opened.ret, 0) << opened.error;
    engine.StartConvert(false);
    ASSERT_TRUE(engine.Finished()) << engine.FatalMessage();
    EXPECT_GT(FirstFrameLuma(out), 225) << output;
    ASSERT_FALSE(previewed.empty());
    EXPECT_EQ(previewed.front(), 1);
  }
}

} // namespace
