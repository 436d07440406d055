// The wave player over SDL's dummy and disk drivers: the refused channel counts, the sizes it
// derives, no device at all, pause and resume, and the bytes that reach the device.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "media/TWavePlayer.h"

namespace {

// A read callback that writes the non-zero sequence 1 ... 251, 1 ... across calls.
struct TSource {
  static void Read(void *AUserData, uint8_t *ABuffer, int ALength) {
    auto *self = static_cast<TSource *>(AUserData);
    for (int i = 0; i < ALength; ++i)
      ABuffer[i] = uint8_t(self->Written++ % 251 + 1);
    self->Length = ALength;
    ++self->Calls;
  }
  std::atomic<int> Calls{0};
  std::atomic<int> Length{0};
  int64_t Written = 0; // refill thread only
};

// Sets an environment variable for one test and restores it afterwards.
struct TEnvironment {
  TEnvironment(const char *AName, const std::string &AValue) : Name(AName) {
    if (const char *old = std::getenv(AName))
      Old = old, HadOld = true;
    setenv(AName, AValue.c_str(), 1);
  }
  ~TEnvironment() {
    if (HadOld)
      setenv(Name, Old.c_str(), 1);
    else
      unsetenv(Name);
  }
  const char *Name;
  std::string Old;
  bool HadOld = false;
};

TFF_AudioSpec Request(int AFreq, int AChannels, TSource *ASource = nullptr) {
  TFF_AudioSpec spec;
  spec.freq = AFreq;
  spec.format = WaveFormatS16;
  spec.channels = uint8_t(AChannels);
  spec.callback = TSource::Read;
  spec.userdata = ASource;
  return spec;
}

bool WaitFor(const std::function<bool()> &ADone, int AMilliseconds = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMilliseconds);
  while (!ADone() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return ADone();
}

TEST(TWavePlayer, RefusesChannelCountsOtherThanOneTwoFourOrSix) {
  TEnvironment driver("SDL_AUDIODRIVER", "dummy");
  for (int channels : {3, 5, 7, 8}) {
    TWavePlayer player;
    TFF_AudioSpec desired = Request(44100, channels), obtained;
    EXPECT_FALSE(player.Open(desired, obtained)) << channels;
    EXPECT_EQ(player.LastErrMsg(), std::to_string(channels) + " channels not support.");
    EXPECT_FALSE(player.Opened());
  }
  for (int channels : {1, 2, 4, 6}) {
    TWavePlayer player;
    TFF_AudioSpec desired = Request(44100, channels), obtained;
    EXPECT_TRUE(player.Open(desired, obtained)) << channels << ": " << player.LastErrMsg();
    EXPECT_TRUE(player.Opened());
  }
}

TEST(TWavePlayer, DerivesSamplesAndBufferSizeFromTheRate) {
  TEnvironment driver("SDL_AUDIODRIVER", "dummy");
  const struct {
    int Freq, Channels;
    uint16_t Samples;
    uint32_t Size;
  } cases[] = {{44100, 2, 2048, 8192},
               {48000, 2, 4096, 16384},
               {22050, 1, 1024, 2048},
               {8000, 6, 512, 6144},
               {0, 0, 1024, 4096}}; // zero: 22050 Hz stereo
  for (const auto &c : cases) {
    TWavePlayer player;
    TFF_AudioSpec desired = Request(c.Freq, c.Channels), obtained;
    ASSERT_TRUE(player.Open(desired, obtained)) << player.LastErrMsg();
    EXPECT_EQ(obtained.samples, c.Samples) << c.Freq;
    EXPECT_EQ(obtained.size, c.Size) << c.Freq;
    EXPECT_EQ(obtained.freq, c.Freq ? c.Freq : 22050);
    EXPECT_EQ(obtained.channels, c.Channels ? c.Channels : 2);
    EXPECT_EQ(obtained.format, WaveFormatS16);
    EXPECT_EQ(obtained.silence, 0);
  }
}

TEST(TWavePlayer, NoOutputDeviceIsReported) {
  TEnvironment driver("SDL_AUDIODRIVER", "no-such-driver");
  TWavePlayer player;
  TFF_AudioSpec desired = Request(44100, 2), obtained;
  EXPECT_FALSE(player.Open(desired, obtained));
  EXPECT_EQ(player.LastErrMsg(), "No wave audio playing devices found.");
}

// The device starts paused: nothing is pulled until Resume, and Pause stops the pulling.
TEST(TWavePlayer, PauseAndResumeReachTheDevice) {
  TEnvironment driver("SDL_AUDIODRIVER", "dummy");
  TSource source;
  TWavePlayer player;
  TFF_AudioSpec desired = Request(44100, 2, &source), obtained;
  ASSERT_TRUE(player.Open(desired, obtained)) << player.LastErrMsg();
  EXPECT_TRUE(player.Paused());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(source.Calls, 0);
  player.Resume();
  EXPECT_FALSE(player.Paused());
  EXPECT_TRUE(WaitFor([&] { return source.Calls >= 2; }));
  EXPECT_EQ(source.Length, 8192);
  player.Pause();
  EXPECT_TRUE(player.Paused());
  std::this_thread::sleep_for(std::chrono::milliseconds(100)); // a refill under way ends
  const int calls = source.Calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(300)); // ~6 buffers' time
  EXPECT_EQ(source.Calls, calls);
  player.Close();
  EXPECT_FALSE(player.Opened());
}

// Close waits for a read callback under way: the buffers it writes into stay valid.
TEST(TWavePlayer, CloseAndReopenWhileTheCallbackRuns) {
  TEnvironment driver("SDL_AUDIODRIVER", "dummy");
  struct TSlow {
    static void Read(void *AUserData, uint8_t *ABuffer, int ALength) {
      static_cast<std::atomic<int> *>(AUserData)->fetch_add(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      std::fill(ABuffer, ABuffer + ALength, uint8_t(1));
    }
  };
  std::atomic<int> calls{0};
  TWavePlayer player;
  for (int round = 0; round < 3; ++round) {
    TFF_AudioSpec desired = Request(48000, 2), obtained;
    desired.callback = TSlow::Read;
    desired.userdata = &calls;
    ASSERT_TRUE(player.Open(desired, obtained)) << player.LastErrMsg();
    player.Resume();
    const int before = calls;
    EXPECT_TRUE(WaitFor([&] { return calls > before; }));
  }
  player.Close();
}

// Through SDL's disk driver: first the four silent buffers, then the callback's bytes in order.
TEST(TWavePlayer, TheCallbacksBytesReachTheDeviceInOrder) {
  const std::string path = ::testing::TempDir() + "wave_player_disk.raw";
  TEnvironment driver("SDL_AUDIODRIVER", "disk");
  TEnvironment file("SDL_DISKAUDIOFILE", path);
  TSource source;
  {
    TWavePlayer player;
    TFF_AudioSpec desired = Request(44100, 2, &source), obtained;
    ASSERT_TRUE(player.Open(desired, obtained)) << player.LastErrMsg();
    player.Resume();
    EXPECT_TRUE(WaitFor([&] { return source.Calls >= 8; }));
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> played{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GE(played.size(), size_t(8 * 8192));
  const size_t silent = 4 * 8192;
  EXPECT_EQ(std::count(played.begin(), played.begin() + silent, 0), long(silent));
  // A late refill makes the device play silence in between (the sequence has no zero byte).
  std::vector<uint8_t> sound;
  std::copy_if(played.begin() + silent, played.end(), std::back_inserter(sound),
               [](uint8_t AByte) { return AByte != 0; });
  ASSERT_GE(sound.size(), size_t(3 * 8192));
  bool inOrder = true;
  for (size_t i = 0; i < sound.size(); ++i)
    inOrder = inOrder && sound[i] == uint8_t(i % 251 + 1);
  EXPECT_TRUE(inOrder);
  std::remove(path.c_str());
}

} // namespace
